#pragma once

#include "platform/printing/print_output.h"
#include "platform/printing/printer_metrics.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace zr {

// The printer the program prints on: the one last chosen in a print dialog of the program
// (setCurrentPrinter), otherwise the system's default printer.
struct CurrentPrinter {
    QString deviceName; // empty when the system has no printer
    QString port;       // the device the queue writes to (its device URI), "LPT" ports cut to 4
};

// The current printer's name and port, asked of the print system afresh.
CurrentPrinter ImpressoraAtual();

// The names of the system's printers, in the print system's order.
QStringList systemPrinters();

// Makes a printer the program's current printer (not the system default). An empty name goes
// back to the system default.
void setCurrentPrinter(const QString& name);

// The current printer's page metrics in device pixels; all zero when there is no printer.
PrinterMetrics MetricasImpressora();

// A raw job on a printer (bytes passed to the printer unchanged), named `documentName`.
// Null on failure, with a message in `error`.
std::unique_ptr<RawOutput> startRawJob(const QString& printerName, const QString& documentName,
                                       QString& error);

// The system printer in graphic mode, for pages drawn with QPainter. Null on failure.
std::unique_ptr<GraphicPrinter> openGraphicPrinter(const QString& printerName, QString& error);

} // namespace zr
