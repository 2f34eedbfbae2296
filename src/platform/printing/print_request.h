#pragma once

// A print job as a user asks for it, in either program: the destination with its saved
// options, copies and their collation, sides, paper and further options. The request starts
// from what the destination has saved, as lp starts a job from it; what the user chooses then
// takes the place of the saved value. Nothing here knows of reports: how pages are laid on
// sheets is the print job's.

#include "platform/printing/print_destination.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <utility>
#include <vector>

namespace zr {

struct PrintRequest {
    PrintDestination destination;
    QString title; // the job's name; empty: the document's
    int copies = 1;
    bool collate = true;
    QString sides;  // IPP "sides": one-sided, two-sided-long-edge, two-sided-short-edge; empty:
                    // the queue's default
    QString media;  // the job's "media" as lp takes it; empty: the print job's choice
    QSizeF mediaMm; // that paper's size, upright, when it is one printMediaByName knows
    std::vector<std::pair<QByteArray, QByteArray>> options; // further NAME=VALUE options

    // The request the destination's saved options make: their copies, collation, sides and
    // paper, and the rest as further options.
    static PrintRequest startingFrom(const PrintDestination& destination);

    // Asks for the paper `paper`, named `asGiven` (a name printMediaByName takes).
    void setMedia(const PrintMedia& paper, const QString& asGiven);
    // Takes a NAME=VALUE option as lp does: copies, collation, sides and media into their
    // fields, any other in the place of one of that name.
    void setOption(const QByteArray& name, const QByteArray& value);

    // Why the destination cannot take the request (more copies than it allows), ready to show;
    // empty when it can.
    QString problem() const;
};

} // namespace zr
