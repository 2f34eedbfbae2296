#pragma once

// A destination of the print system as lp takes it: a queue, or an instance of one
// ("queue/instance"), with the options saved for it (the server's defaults, then the user's and
// the system's lpoptions), and the papers a job may ask for by name. Nothing here knows of
// reports.

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace zr {

struct PrintDestination {
    QString queue;    // the queue jobs go to, spelt as the print system spells it
    QString instance; // the instance whose options these are; empty for the queue's own
    // The job options saved for the destination, as lp starts a job from them; the queue's
    // description (its state, device, make and model) is not among them.
    std::vector<std::pair<QByteArray, QByteArray>> options;
    int maxCopies = 1; // the most copies a job may ask for (the queue's copies-supported)
    // The queue passes documents on as they come, with no filter: copies it is asked for are
    // the whole document sent again, so a job draws its own.
    bool raw = false;

    // "queue" or "queue/instance".
    QString name() const;
};

struct DestinationLookup {
    enum class Problem { None, NoService, NoDefault, NotInstalled };
    std::optional<PrintDestination> destination;
    Problem problem = Problem::None;
    QString message; // why there is no destination, ready to show
};

// The destination named `name` ("queue" or "queue/instance", in any case), or the user's
// default one when `name` is empty (lpoptions, PRINTER or LPDEST, then the server's default).
DestinationLookup findPrintDestination(const QString& name);

// A paper a job asks for by name, as lp takes it: a self-describing PWG name
// ("iso_a4_210x297mm"), a legacy IPP name ("iso-a4", "na-letter"), a PPD size name in any case
// ("A4", "letter", "Legal") or a custom size ("Custom.100x150mm", in in, mm, cm or pt; points
// without a unit).
struct PrintMedia {
    QString name;  // the PWG name the job is given
    QSizeF sizeMm; // width x height, upright as named
};
std::optional<PrintMedia> printMediaByName(const QString& name);

// The PWG name of the paper of `sizeMm`: a standard one within a millimetre, else a custom
// size; empty for no size.
QString printMediaNameForSize(QSizeF sizeMm);

} // namespace zr
