#pragma once

// The system's printers, as the print system (CUPS) reports them. Every query asks the print
// system afresh: printers come and go while the program runs. Names are CUPS destination names,
// "queue" or "queue/instance"; a job goes to the queue with the options it is given, so an
// instance's saved options (print_destination.h) are the caller's to start from.
//
// The graphic-mode functions (MetricasImpressora, openGraphicPrinter, currentGraphicPrinter)
// need a QGuiApplication; without one they report no printer.

#include "platform/printing/print_output.h"
#include "platform/printing/printer_metrics.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace zr {

// The printer the program prints on: the one last chosen in a print dialog of the program
// (setCurrentPrinter), otherwise the system's default printer.
struct CurrentPrinter {
    QString deviceName; // empty when there is no such printer (none chosen and no default, or
                        // the chosen one is gone)
    QString port;       // the device the queue writes to (its device URI), "LPT" ports cut to 4
};

// The current printer's name and port, asked of the print system afresh.
CurrentPrinter ImpressoraAtual();

// The names of the system's printers, in the print system's order.
QStringList systemPrinters();

// The same, each with its port (as CurrentPrinter::port).
struct SystemPrinter {
    QString name;
    QString port;
};
QList<SystemPrinter> systemPrintersWithPorts();

// Makes a printer the program's current printer (not the system default) for the whole process.
// An empty name goes back to the system default. The name is kept as given: a printer that is
// removed later leaves the program without a current printer rather than falling back silently.
void setCurrentPrinter(const QString& name);

// The name last given to setCurrentPrinter, empty while the system default is used.
QString chosenPrinter();

// The current printer's page (its default paper, portrait) in device pixels; all zero when
// there is no printer.
PrinterMetrics MetricasImpressora();

// A raw job on a printer (bytes passed to the printer unchanged), named `documentName`.
// Null on failure, with a message ready to show in `error` (no such printer, the print service
// does not answer, the queue refused the job and the print system's reason).
std::unique_ptr<RawOutput> startRawJob(const QString& printerName, const QString& documentName,
                                       QString& error);

// A job of one PDF document on a printer, with job attributes `options` (one the scheduler
// refuses fails the job, with its reason in the message); the bytes go to the scheduler as they are
// written, so a long document is spooled while it is produced. Null on failure, with a message
// ready to show.
std::unique_ptr<RawOutput> startPdfJob(const QString& printerName, const QString& documentName,
                                       const std::vector<std::pair<QByteArray, QByteArray>>& options,
                                       QString& error);

// startRawJob on the current printer. When the chosen printer is gone, the message names it.
std::unique_ptr<RawOutput> startRawJobOnCurrentPrinter(const QString& documentName, QString& error);

// The system printer in graphic mode, for pages drawn with QPainter, on the printer's default
// paper; metrics() tell where its unprintable strips are. Each document goes to the printer's
// queue as one PDF job when it ends (error() tells when the queue did not take it); a document
// dropped before its end is not printed. Null on failure (no such printer, no
// QGuiApplication), with a message in `error`; never another printer in its place.
std::unique_ptr<GraphicPrinter> openGraphicPrinter(const QString& printerName, QString& error);

// The current printer in graphic mode, one per process. beginDocument opens the printer that is
// current at that moment (false when there is none) and endDocument sends the document and lets
// the printer go, so each document goes to the printer current when it began. Between documents
// metrics() are MetricasImpressora() and painter() is an inactive painter.
GraphicPrinter& currentGraphicPrinter();

} // namespace zr
