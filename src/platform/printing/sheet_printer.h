#pragma once

// A graphic print document whose sheets may each have their own paper and orientation, sent to
// a printer queue (or written to a file) with job options: copies, two-sided printing and the
// paper source. Pages are drawn with QPainter. Nothing here knows of reports.

#include <QMarginsF>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;

namespace zr {

struct SheetJobOptions {
    QString title;       // the job's name at the print system
    int copies = 1;      // the print system makes the copies (1..999)
    bool collate = true;
    QString sides;       // IPP "sides" keyword; empty for the printer's default
    QString mediaSource; // IPP media-source keyword / PPD InputSlot; empty for the default
    QString outputFile;  // when not empty, the document is written there as PDF, not printed
    int dpi = 600;       // resolution of the painter's device pixels
};

class SheetPrinter {
public:
    // A document for `printerName` (checked to exist now and again when the document is sent).
    // Null with a message in `error` when the printer does not exist or there is no
    // QGuiApplication. With an output file in the options the printer may be empty.
    static std::unique_ptr<SheetPrinter> open(const QString& printerName, QString& error);

    // A document not ended is dropped: nothing of it is printed.
    virtual ~SheetPrinter() = default;

    // Starts the document. False (with `error`) when one is already started or the spool file
    // cannot be made.
    virtual bool beginDocument(const SheetJobOptions& options, QString& error) = 0;
    // Starts the next sheet on `paperMm` (upright width x height) turned to landscape or not.
    // The painter draws in device pixels with (0, 0) at the sheet's physical top-left corner.
    virtual bool beginSheet(QSizeF paperMm, bool landscape) = 0;
    virtual void endSheet() = 0;
    // Active only between beginSheet and endSheet.
    virtual QPainter& painter() = 0;
    // Ends the document and hands it to the print system (or leaves the file). False, with a
    // message, when the printer is gone, refuses the job or the file cannot be written: the
    // document is then not printed.
    virtual bool endDocument(QString& error) = 0;
    // Drops the document: nothing of it is printed.
    virtual void abortDocument() = 0;
    virtual int sheetCount() const = 0;
};

} // namespace zr
