#pragma once

// A graphic print document whose sheets may each have their own paper and orientation, sent to
// a printer queue (or written to a file) with job options: copies, two-sided printing and the
// paper source. Pages are drawn with QPainter on a PDF that goes out while it is drawn: to the
// queue as one CUPS job whose bytes reach the scheduler sheet by sheet, or to a file that
// replaces an older one only when the document ends well. Memory does not grow with the number
// of sheets. Nothing here knows of reports.

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QPainter;

namespace zr {

struct SheetJobOptions {
    QString title;       // the job's name at the print system
    int copies = 1;      // the print system makes the copies (1..999)
    bool collate = true;
    QString sides;       // IPP "sides" keyword; empty for the printer's default
    QString mediaSource; // IPP media-source keyword / PPD InputSlot; empty for the default
    QString media;       // IPP media name ("A4", "iso_a4_210x297mm"); empty for the default
    // Further job attributes, such as those chosen in the printer's properties dialog or given
    // on a command line. Where one names an attribute set above, the one above wins.
    std::vector<std::pair<QByteArray, QByteArray>> extra;
    QString outputFile;  // when not empty, the document is written there as PDF, not printed
    int dpi = 600;       // resolution of the painter's device pixels (72..2400)
};

// The CUPS job attributes for `options` (copies and collation, sides, media source, the rest).
std::vector<std::pair<QByteArray, QByteArray>> cupsJobOptions(const SheetJobOptions& options);

class SheetPrinter {
public:
    // A document for `printerName` ("queue" or "queue/instance", checked to exist now and again
    // when the document starts). Null with a message in `error` when the printer does not exist
    // or there is no QGuiApplication. With an output file in the options the printer may be
    // empty.
    static std::unique_ptr<SheetPrinter> open(const QString& printerName, QString& error);

    // A document not ended is dropped: nothing of it is printed, no file is left.
    ~SheetPrinter();
    SheetPrinter(const SheetPrinter&) = delete;
    SheetPrinter& operator=(const SheetPrinter&) = delete;

    // Starts the document: creates the job on the queue (options it does not support are
    // dropped) or the temporary file beside the output file. False (with `error`) when one is
    // already started, the queue is gone or refuses the job, or the file cannot be made.
    bool beginDocument(const SheetJobOptions& options, QString& error);
    // Starts the next sheet on `paperMm` (upright width x height) turned to landscape or not.
    // The painter draws in device pixels with (0, 0) at the sheet's physical top-left corner.
    bool beginSheet(QSizeF paperMm, bool landscape);
    void endSheet();
    // Active only between beginSheet and endSheet.
    QPainter& painter();
    // Ends the document and hands it to the print system (or renames the file into place).
    // False, with a message, when the queue did not take the job whole or the file cannot be
    // written: the document is then not printed (and an older file stays as it was).
    bool endDocument(QString& error);
    // Drops the document: the job is cancelled on the queue, the temporary file removed.
    void abortDocument();
    int sheetCount() const;
    // The print system's number of the job once the document has begun on a queue; else 0.
    int jobId() const;

private:
    explicit SheetPrinter(QString queue);
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zr
