#pragma once

// Printing prepared pages: the arithmetic of the print modes (pure functions), the job that
// walks the pages onto a print device sheet by sheet, and the devices themselves (a CUPS queue
// or a PDF file, both fed one sheet at a time so that memory does not grow with the report).
//
// The job never shows a dialog: the caller (the preview's print command, after its dialog, or
// the converter) has written the choices into the report's PrintOptions.

#include "platform/printing/print_request.h"
#include "reportlib/document/qdx_report.h"

#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <QByteArray>

#include <memory>
#include <utility>
#include <vector>

class QPainter;

namespace zr::reportlib::preview {

// ---- Arithmetic -------------------------------------------------------------------------------

// The page indexes (0-based) a job prints, in printing order: the pages the range text selects
// (PageSelection: empty = all, "1,3,5-12", in the order written, each once, pages beyond `count`
// dropped), `printPages` (ppAll/ppOdd/ppEven) on the page number, reversed when asked. Throws
// std::invalid_argument, with the message ready to show, for a text that is no page selection.
std::vector<int> PrintPageOrder(const QString& range, int count, int printPages, bool reverse);

// How many lengths `sheet` are needed along `length` (millimetres): up to 11 mm beyond whole
// sheets are dropped, otherwise the part sheet counts. At least 1 for any positive length.
int FitCount(double length, double sheet);

struct TqdxFit {
    int cols = 1;
    int rows = 1;
    bool turned = false; // the sheet is used turned (landscape)
    bool operator==(const TqdxFit&) const = default;
};
// Tiles of `sheetW` x `sheetH` over `pageW` x `pageH`; the turned sheet wins only when it needs
// strictly fewer tiles.
TqdxFit Fit(double pageW, double pageH, double sheetW, double sheetH);

// A standard paper's size in millimetres (portrait, turned when `landscape`); for code 256 or an
// unknown code, `width` x `height` as given.
QSizeF SheetSize(int code, double width, double height, bool landscape);

// The scale mode's factors: the page stretched to the sheet on each axis.
struct TqdxScale {
    double x = 1;
    double y = 1;
    double print = 1; // the smaller, the store's PrintScale
};
TqdxScale ScaleFactors(double pageW, double pageH, double sheetW, double sheetH);

// One tile of the split mode, in millimetres on the sheet: where the page's corner goes (the
// offset, usually negative) and the part of the sheet drawn on (the rest is left blank).
struct TqdxTile {
    int row = 0;
    int col = 0;
    double offsetX = 0;
    double offsetY = 0;
    QRectF clip;
};
struct TqdxSplitPlan {
    TqdxFit fit;
    double sheetW = 0; // the sheet as used (turned when fit.turned)
    double sheetH = 0;
    std::vector<TqdxTile> tiles; // row by row
};
// The split mode for a page of `pageW` x `pageH` on sheets `sheetW` x `sheetH` (portrait) with
// the printer's unprintable `margins` (of the upright sheet; turned with the sheet) and a splice
// strip of `splice` mm repeated on every later tile for pasting. Tiles and clips are in
// millimetres from the sheet's printable corner.
TqdxSplitPlan SplitPlan(double pageW, double pageH, double sheetW, double sheetH,
                        const QMarginsF& margins, double splice);

// The join mode: pages of `pageW` x `pageH` in a grid on the sheet.
struct TqdxJoinPlan {
    int cols = 1;
    int rows = 1;
    bool landscape = false;
    double sheetW = 0; // as used
    double sheetH = 0;
    int cells() const { return cols * rows; }
};
TqdxJoinPlan JoinPlan(double pageW, double pageH, double sheetW, double sheetH);

// The IPP keywords a print queue is given for a duplex choice (TqdxDuplexMode) and a paper bin
// code (the printer layer's table, BinKeyword); empty for the queue's default.
QString SidesKeyword(int duplex);
QString MediaSourceKeyword(int bin);

// ---- Devices ----------------------------------------------------------------------------------

// What a sheet is printed on. Paper sizes are millimetres as oriented (width across).
struct TqdxSheetSettings {
    int paperCode = 9;
    double width = 210;
    double height = 297;
    bool landscape = false;
    int bin = 7;         // 7: the printer's automatic choice
    int duplex = 0;      // TqdxDuplexMode
    int copies = 1;      // copies the queue makes of the document (the job draws the others)
    bool collate = true; // how the queue makes them
    bool operator==(const TqdxSheetSettings&) const = default;
};

// A printer as the job sees it. Canvas() is in device dots with (0, 0) at the sheet's printable
// corner, so the job shifts pages by the unprintable margins.
class TqdxPrintDevice {
public:
    virtual ~TqdxPrintDevice() = default;
    // For the sheets started after it.
    virtual void ApplyPrintSettings(const TqdxSheetSettings& settings) = 0;
    virtual const TqdxSheetSettings& Settings() const = 0;
    virtual QMarginsF Margins() const { return {}; } // unprintable strips, mm, as oriented
    // The unprintable strips of an upright paper of `widthMm` x `heightMm`, upright.
    virtual QMarginsF PaperMargins(double widthMm, double heightMm) const {
        (void)widthMm, (void)heightMm;
        return {};
    }
    // The printer's own paper ("Padrão", code 256), upright, in millimetres.
    virtual QSizeF DefaultPaper() const { return {210, 297}; }
    // The most copies of a document the printer makes itself (1: the job draws every copy).
    virtual int MaxCopies() const { return 1; }
    // The print system's number of the job, once the document has started on a queue; else 0.
    virtual int JobId() const { return 0; }
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // False with a message when the job cannot be started (queue gone, refusing, file not
    // writable).
    virtual bool StartDocument(const QString& title, QString& error) = 0;
    // Told before StartDocument: every sheet of the document holds one whole page at the page's
    // own size, or is left blank (the default mode). A device may then take pages whole
    // (PutWholePage) rather than have them drawn on Canvas().
    virtual void ExpectWholePages(bool whole) { (void)whole; }
    virtual void StartSheet() = 0;
    // Puts page `index` of `pages` on the sheet started, whole, showing copy `copyNo`. False
    // when the device does not take whole pages: the page is then drawn on Canvas().
    virtual bool PutWholePage(TqdxPreviewPages& pages, int index, int copyNo) {
        (void)pages, (void)index, (void)copyNo;
        return false;
    }
    virtual QPainter& Canvas() = 0;
    // Draws page `index` of `pages` on the sheet started, showing copy `copyNo`, scaled by `zx`
    // and `zy`, its paper corner at (`xMm`, `yMm`) from the sheet's printable corner, clipped to
    // `clipMm` (same origin; an empty one clips nothing). By default through Canvas().
    virtual void DrawPage(TqdxPreviewPages& pages, int index, int copyNo, double zx, double zy,
                          double xMm, double yMm, const QRectF& clipMm);
    virtual void FinishSheet() = 0;
    // Hands the job over. False with a message when it was not taken whole.
    virtual bool FinishDocument(QString& error) = 0;
    // Drops the document: nothing of it is printed (or the file is not left behind).
    virtual void AbortDocument() = 0;
};

// A PDF of the sheets, written as they are finished: to the CUPS queue `printer` (one job), or
// to the file `outputFile` when that is not empty (replaced only when the document ends well).
// Everything is written by the PDF export's own writer: whole pages (the default mode) as
// pages, the other layouts as each page once as a form placed on its sheets by a matrix. The
// queue's papers give the margins and the default paper.
// `request` gives the job's title (else the report's name), its media and further options;
// copies, collation and sides are the report's PrintOptions'.
std::unique_ptr<TqdxPrintDevice> OpenPdfPrintDevice(const QString& printer,
                                                    const QString& outputFile, int dpi = 300,
                                                    const PrintRequest& request = {});

// ---- The job ----------------------------------------------------------------------------------

struct TqdxPrintResult {
    bool printed = false;   // the whole job was handed over
    bool cancelled = false; // the user stopped it
    int sheets = 0;         // sheets handed over (0 unless printed)
    int jobId = 0;          // the queue's job number (0 for a file)
    QString error;          // why it was not printed
};

// Prints the report's prepared pages with its PrintOptions on `device`: copies, collation and
// CopyNo, the range, odd/even, reverse, duplex with blank sheets between collated copies, bins
// per page, and the four modes. `duplex` is the job's duplex choice (TqdxDuplexMode, 0 = each
// page's own). Progress goes through the report's UserInteraction; cancelling (there, or the
// report's Terminated) aborts the document. Errors are also shown through UserInteraction.
// A bad or backward range text throws std::invalid_argument before anything is printed.
// The store's CopyNo is 0 and the options are unchanged afterwards. Copies are left to the
// device where it makes them (uncollated ones, and collated ones of the default mode, which
// then all show copy number 1); otherwise the job draws them, repeating each two-sided sheet
// whole. The modes' sheet of code 256 is `request`'s paper when it names one, else the
// printer's own.
TqdxPrintResult PrintPreparedPages(TqdxReport& report, TqdxPrintDevice& device, int duplex,
                                   const PrintRequest& request = {});

// The preview's print command without a dialog: PrintPreparedPages on `printer` (empty: the
// report's PrintOptions.Printer when it is a system queue, else the current printer) or into the
// PDF file `outputFile`.
TqdxPrintResult PrintReport(TqdxReport& report, const QString& printer,
                            const QString& outputFile = {}, const PrintRequest& request = {});

// What either program asks of a queue: PrintReport on `request`'s destination, whose copies,
// collation and sides take the place of the report's PrintOptions' for this print (the pages,
// the mode and its sheet stay the PrintOptions').
TqdxPrintResult PrintRequested(TqdxReport& report, const PrintRequest& request);

} // namespace zr::reportlib::preview
