#pragma once

// Where a print job goes. A text-mode job writes bytes to a RawOutput (a port, a file, or the
// print spooler); a graphic-mode job draws pages on a GraphicPrinter (the system printer).

#include "platform/printing/printer_metrics.h"

#include <QByteArrayView>
#include <QString>

class QPainter;

namespace zr {

class RawOutput {
public:
    virtual ~RawOutput() = default;
    // Sends bytes at once. False on failure (see error()).
    virtual bool write(QByteArrayView bytes) = 0;
    // Ends the output; for a file, this is when it takes the place of an older one. False on
    // failure.
    virtual bool finish() = 0;
    // The system error number of the first failure, 0 when none.
    virtual int error() const = 0;
    // The print system's words for the first failure of a job ("Printer not accepting jobs."),
    // empty when none or when error() tells it all.
    virtual QString reason() const { return {}; }
    // The print system's number of the job the bytes go to; 0 for outputs that are no job.
    virtual int jobId() const { return 0; }
};

// The system printer used in graphic mode. The job begins the document, draws each page on
// painter() (starting a new page between pages) and ends the document.
class GraphicPrinter {
public:
    virtual ~GraphicPrinter() = default;
    virtual bool beginDocument(const QString& title, bool landscape) = 0;
    virtual void newPage() = 0;
    virtual QPainter& painter() = 0;
    virtual PrinterMetrics metrics() const = 0;
    virtual void endDocument() = 0;
    // When the last document ended could not be handed to the print system: its status code (or
    // the system's error number); 0 when it was.
    virtual int error() const { return 0; }
    // The print system's words for that failure; empty when none.
    virtual QString reason() const { return {}; }
    // The print system's number of the job the last document went to; 0 when it gave none.
    virtual int jobId() const { return 0; }
};

} // namespace zr
