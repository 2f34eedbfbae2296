#pragma once

// A print job as either program asks for it, for either kind of report: the destination with
// its saved options, copies and their collation, sides, paper, and a prepared report's print
// mode with its sheet. The request starts from what the destination has saved, as lp starts a
// job from it; what the user chooses then takes the place of the saved value.

#include "platform/printing/print_destination.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <utility>
#include <vector>

namespace zr::app {

struct PrintRequest {
    PrintDestination destination;
    QString title; // the job's name; empty: the report's
    int copies = 1;
    bool collate = true;
    // A prepared report's print mode (TqdxPrintMode: 0 default, 1 split, 2 join, 3 scale) and
    // the sheet of the last three: its paper code, and for code 256 its size (upright, mm).
    int mode = 0;
    int sheet = 9;
    QSizeF sheetMm;
    QString sides; // IPP "sides": one-sided, two-sided-long-edge, two-sided-short-edge; empty:
                   // the queue's default
    QString media; // the job's "media" as lp takes it; empty: in the modes the sheet's paper
    std::vector<std::pair<QByteArray, QByteArray>> options; // further NAME=VALUE options

    // The request the destination's saved options make: their copies, collation, sides and
    // paper (the modes' sheet too), and the rest as further options.
    static PrintRequest startingFrom(const PrintDestination& destination);

    // Asks for the paper `media` (a name printMediaByName takes): the job's media and the
    // modes' sheet.
    void setMedia(const PrintMedia& media, const QString& asGiven);
    // Takes a NAME=VALUE option as lp does: copies, collation, sides and media into their
    // fields, any other in the place of one of that name.
    void setOption(const QByteArray& name, const QByteArray& value);

    // Why the destination cannot take the request (more copies than it allows), ready to show;
    // empty when it can.
    QString problem() const;
};

} // namespace zr::app
