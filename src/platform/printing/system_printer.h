#pragma once

#include <QString>

namespace zr {

// The system's current (default) printer: its name and the port it prints to.
struct CurrentPrinter {
    QString deviceName; // empty when the system has no printer
    QString port;       // the device the queue writes to, for instance "LPT1" or a device URI
};

// Asks the print system (freshly, not from a cache) for the default printer. A port that
// names a parallel port ("LPT...") is cut to its first four characters.
CurrentPrinter ImpressoraAtual();

} // namespace zr
