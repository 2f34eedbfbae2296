#include "reportlib/print/qdx_print_job.h"

#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/printing/print_destination.h"
#include "platform/printing/printer_info.h"
#include "platform/printing/printer_properties.h"
#include "platform/printing/sheet_printer.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_components.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/print/qdx_res.h"
#include "reportlib/render/page_services.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zr::reportlib::preview {

namespace {

constexpr double kMmPerInch = 25.4;
// Sizes beyond this (ten metres) are taken as this, so that no count overflows.
constexpr double kMaxLength = 10000.0;
// A page is never cut into more tiles than this.
constexpr int kMaxTiles = 400;

double clampLength(double v) {
    if (!std::isfinite(v) || v <= 0) {
        return 0;
    }
    return std::min(v, kMaxLength);
}

} // namespace

// ---- Arithmetic -------------------------------------------------------------------------------

std::vector<int> PrintPageOrder(const QString& range, int count, int printPages, bool reverse) {
    QString error;
    const std::optional<PageSelection> selection = PageSelection::parse(range, &error);
    if (!selection) {
        throw std::invalid_argument(error.toStdString());
    }
    const PageSelection::Parity parity = printPages == ppOdd    ? PageSelection::Parity::Odd
                                         : printPages == ppEven ? PageSelection::Parity::Even
                                                                : PageSelection::Parity::All;
    std::vector<int> order = selection->pages(count, parity, reverse);
    for (int& page : order) {
        --page;
    }
    return order;
}

int FitCount(double length, double sheet) {
    length = clampLength(length);
    sheet = clampLength(sheet);
    if (length <= 0 || sheet <= 0) {
        return 1;
    }
    const double whole = std::trunc(length / sheet);
    int n = 0;
    if (std::abs(whole * sheet - length) >= 11) {
        n = int(whole) + 1;
    } else {
        n = int(std::nearbyint(length / sheet)); // half to even
    }
    return std::max(n, 1);
}

TqdxFit Fit(double pageW, double pageH, double sheetW, double sheetH) {
    const TqdxFit upright{FitCount(pageW, sheetW), FitCount(pageH, sheetH), false};
    const TqdxFit turned{FitCount(pageW, sheetH), FitCount(pageH, sheetW), true};
    return turned.cols * turned.rows < upright.cols * upright.rows ? turned : upright;
}

QSizeF SheetSize(int code, double width, double height, bool landscape) {
    if (code != 256) {
        if (const auto size = StandardPaperSize(code)) {
            const double w = size->first / 10.0;
            const double h = size->second / 10.0;
            return landscape ? QSizeF(h, w) : QSizeF(w, h);
        }
    }
    return QSizeF(width, height);
}

TqdxScale ScaleFactors(double pageW, double pageH, double sheetW, double sheetH) {
    TqdxScale s;
    if (clampLength(pageW) > 0 && clampLength(pageH) > 0) {
        s.x = sheetW / pageW;
        s.y = sheetH / pageH;
        s.print = std::min(s.x, s.y);
    }
    return s;
}

TqdxSplitPlan SplitPlan(double pageW, double pageH, double sheetW, double sheetH,
                        const QMarginsF& margins, double splice) {
    TqdxSplitPlan plan;
    splice = std::clamp(std::isfinite(splice) ? splice : 0.0, 0.0, 100.0);
    // First fit on the whole sheet; where the page needs more than one sheet, every sheet loses
    // its splice strip and the unprintable strips across that direction, so fit again.
    TqdxFit fit = Fit(pageW, pageH, sheetW, sheetH);
    double reduceW = fit.cols > 1 ? splice + margins.top() + margins.bottom() : 0;
    double reduceH = fit.rows > 1 ? splice + margins.left() + margins.right() : 0;
    if (fit.turned) {
        std::swap(reduceW, reduceH);
    }
    fit = Fit(pageW, pageH, std::max(sheetW - reduceW, 1.0), std::max(sheetH - reduceH, 1.0));
    if (fit.cols * fit.rows > kMaxTiles) {
        fit.cols = std::min(fit.cols, 20);
        fit.rows = std::min(fit.rows, kMaxTiles / fit.cols);
    }
    plan.fit = fit;
    plan.sheetW = fit.turned ? sheetH : sheetW;
    plan.sheetH = fit.turned ? sheetW : sheetH;
    // A turned sheet is the upright one a quarter turn counter-clockwise: its left strip is the
    // upright bottom one.
    const QMarginsF m = fit.turned ? QMarginsF(margins.bottom(), margins.left(), margins.top(),
                                               margins.right())
                                   : margins;
    const double l = m.left(), t = m.top(), r = m.right(), b = m.bottom();
    const double stepX = plan.sheetW - l - r - splice;
    const double stepY = plan.sheetH - t - b - splice;
    for (int row = 0; row < fit.rows; ++row) {
        for (int col = 0; col < fit.cols; ++col) {
            TqdxTile tile;
            tile.row = row;
            tile.col = col;
            tile.offsetX = col == 0 ? -l : -col * stepX;
            tile.offsetY = row == 0 ? -t : -row * stepY;
            // Later tiles leave their splice strip blank: it repeats the neighbour's edge.
            const double sx = col == 0 ? 0 : splice;
            const double sy = row == 0 ? 0 : splice;
            tile.clip = QRectF(sx, sy, std::max(plan.sheetW - l - r - sx, 0.0),
                               std::max(plan.sheetH - t - b - sy, 0.0));
            plan.tiles.push_back(tile);
        }
    }
    return plan;
}

TqdxJoinPlan JoinPlan(double pageW, double pageH, double sheetW, double sheetH) {
    // The sheet is the length to fill, the page the unit.
    const TqdxFit fit = Fit(sheetW, sheetH, pageW, pageH);
    TqdxJoinPlan plan;
    plan.cols = fit.turned ? fit.rows : fit.cols;
    plan.rows = fit.turned ? fit.cols : fit.rows;
    plan.landscape = fit.turned;
    plan.sheetW = fit.turned ? sheetH : sheetW;
    plan.sheetH = fit.turned ? sheetW : sheetH;
    plan.cols = std::clamp(plan.cols, 1, 100);
    plan.rows = std::clamp(plan.rows, 1, 100);
    return plan;
}

// ---- The PDF device ---------------------------------------------------------------------------

QString SidesKeyword(int duplex) {
    switch (duplex) {
    case dmVertical:
        return QStringLiteral("two-sided-long-edge");
    case dmHorizontal:
        return QStringLiteral("two-sided-short-edge");
    case dmSimplex:
        return QStringLiteral("one-sided");
    default:
        return {};
    }
}

QString MediaSourceKeyword(int bin) {
    return BinKeyword(bin);
}

void TqdxPrintDevice::DrawPage(TqdxPreviewPages& pages, int index, int copyNo, double zx,
                               double zy, double xMm, double yMm, const QRectF& clipMm) {
    (void)copyNo; // PaintPage shows the store's CopyNo, which the job has set
    QPainter& canvas = Canvas();
    const double dx = DpiX() / kMmPerInch, dy = DpiY() / kMmPerInch;
    canvas.save();
    if (!clipMm.isEmpty()) {
        canvas.setClipRect(QRectF(clipMm.x() * dx, clipMm.y() * dy, clipMm.width() * dx,
                                  clipMm.height() * dy));
    }
    try {
        render::PaintPage(pages, index, canvas, DpiX() / 96.0 * zx, DpiY() / 96.0 * zy, xMm * dx,
                          yMm * dy);
    } catch (...) {
        canvas.restore();
        throw;
    }
    canvas.restore();
}

namespace {

// The sheets as a PDF streamed to a queue or written to a file. Whole pages go through the PDF
// export's writer (fonts embedded, pages as the export writes them); other layouts are drawn
// with QPainter through the printing layer's sheet printer.
class PdfPrintDevice final : public TqdxPrintDevice {
public:
    PdfPrintDevice(QString printer, QString file, int dpi, PrintRequest request)
        : m_printer(std::move(printer)), m_file(std::move(file)), m_dpi(std::clamp(dpi, 72, 2400)),
          m_request(std::move(request)) {
        if (!m_printer.isEmpty()) {
            const PrinterInfo info = printerInfo(m_printer);
            m_papers = info.papers;
            if (info.defaultPaper >= 0) {
                m_default = info.papers[info.defaultPaper].sizeMm;
            }
            // A file is no queue, and a raw queue sends the whole document again for each
            // copy (collated, the second starting on the back of the first's last sheet): their
            // copies are drawn.
            m_maxCopies = m_file.isEmpty() && !info.raw ? info.maxCopies : 1;
        }
    }

    void ApplyPrintSettings(const TqdxSheetSettings& settings) override { m_settings = settings; }
    const TqdxSheetSettings& Settings() const override { return m_settings; }
    QMarginsF Margins() const override {
        const bool landscape = m_settings.landscape;
        const double w = landscape ? m_settings.height : m_settings.width;
        const double h = landscape ? m_settings.width : m_settings.height;
        const QMarginsF m = PaperMargins(w, h);
        return landscape ? QMarginsF(m.bottom(), m.left(), m.top(), m.right()) : m;
    }
    QMarginsF PaperMargins(double widthMm, double heightMm) const override {
        // The queue's paper of that size; a size it does not list gets the strips of its
        // default paper, which the printer leaves unprinted on any sheet.
        const PrinterPaper* fallback = nullptr;
        for (const PrinterPaper& paper : m_papers) {
            if (std::abs(paper.sizeMm.width() - widthMm) < 1.0 &&
                std::abs(paper.sizeMm.height() - heightMm) < 1.0) {
                return paper.marginsMm;
            }
            if (!fallback && paper.sizeMm == m_default) {
                fallback = &paper;
            }
        }
        return fallback ? fallback->marginsMm : QMarginsF();
    }
    QSizeF DefaultPaper() const override { return m_default; }
    int MaxCopies() const override { return m_maxCopies; }
    int JobId() const override { return m_jobId; }
    void ExpectWholePages(bool whole) override { m_wholePages = whole; }
    int DpiX() const override { return m_dpi; }
    int DpiY() const override { return m_dpi; }

    bool StartDocument(const QString& title, QString& error) override {
        AbortDocument();
        // The document's options are those applied before its first sheet: two-sided printing,
        // the first page's paper source and the copies the queue makes.
        SheetJobOptions options;
        options.title = title;
        options.copies = m_settings.copies;
        options.collate = m_settings.collate;
        options.sides = SidesKeyword(m_settings.duplex);
        options.mediaSource = MediaSourceKeyword(m_settings.bin);
        options.media = m_request.media;
        // Sheets of the modes are the job's paper: the queue would otherwise print them on its
        // default paper, shrunk or cut. Whole pages carry their own sizes.
        if (options.media.isEmpty() && !m_wholePages) {
            const double w = m_settings.width, h = m_settings.height;
            options.media = printMediaNameForSize(QSizeF(std::min(w, h), std::max(w, h)));
        }
        // What was chosen in the printer's properties: its source stands for the automatic
        // bin, and its driver options go with the job, as do the caller's.
        const PrinterProperties chosen = rememberedProperties(m_printer);
        if (options.mediaSource.isEmpty() && m_settings.bin == 7) {
            options.mediaSource = chosen.mediaSource;
        }
        options.extra = chosen.options;
        options.extra.insert(options.extra.end(), m_request.options.begin(),
                             m_request.options.end());
        options.outputFile = m_file;
        options.dpi = m_dpi;
        m_jobId = 0;
        m_form = 0;
        return startExport(options, error);
    }

    void StartSheet() override {
        if (m_export) {
            m_sheetOpen = true;
            m_pagePut = false;
            m_placements.clear();
        }
    }
    bool PutWholePage(TqdxPreviewPages& pages, int index, int copyNo) override {
        if (!m_export || !m_sheetOpen || m_pagePut || !m_placements.empty()) {
            return false;
        }
        exportBackground(pages, index);
        render::ExportPage(pages, index, *m_export, copyNo);
        m_pagePut = true;
        return true;
    }
    QPainter& Canvas() override { return m_idle; }
    void DrawPage(TqdxPreviewPages& pages, int index, int copyNo, double zx, double zy,
                  double xMm, double yMm, const QRectF& clipMm) override {
        if (!m_export || !m_sheetOpen || m_pagePut) {
            return;
        }
        // Each page is written once as a form (again only for another copy number) and placed
        // on as many sheets, tiles or cells as show it.
        if (m_form <= 0 || m_formIndex != index || m_formCopy != copyNo) {
            exportBackground(pages, index);
            m_export->FormOutput = true;
            try {
                render::ExportPage(pages, index, *m_export, copyNo);
            } catch (...) {
                m_export->FormOutput = false;
                throw;
            }
            m_export->FormOutput = false;
            m_form = m_export->LastForm();
            m_formHeight = m_export->LastFormHeight();
            m_formIndex = index;
            m_formCopy = copyNo;
        }
        constexpr double pt = 72 / kMmPerInch;
        const QMarginsF m = Margins();
        const double sheetH = m_settings.height * pt;
        const double x = (m.left() + xMm) * pt, y = (m.top() + yMm) * pt;
        pdf::TqdxPDFExport::FormPlacement p;
        p.form = m_form;
        p.matrix[0] = zx;
        p.matrix[3] = zy;
        p.matrix[4] = x;
        p.matrix[5] = sheetH - y - zy * m_formHeight;
        if (!clipMm.isEmpty()) {
            p.clip = QRectF((m.left() + clipMm.x()) * pt,
                            sheetH - (m.top() + clipMm.y() + clipMm.height()) * pt,
                            clipMm.width() * pt, clipMm.height() * pt);
        }
        m_placements.push_back(p);
    }
    void FinishSheet() override {
        if (m_export && m_sheetOpen && !m_pagePut) {
            // The pages placed on it; none: a blank sheet (the back of a two-sided copy).
            constexpr double pt = 72 / kMmPerInch;
            m_export->PlaceForms(std::max(m_settings.width, 1.0) * pt,
                                 std::max(m_settings.height, 1.0) * pt, m_placements);
        }
        m_placements.clear();
        m_sheetOpen = false;
    }

    bool FinishDocument(QString& error) override {
        if (m_export) {
            m_export->EndOutput();
            const bool ok = m_export->Succeeded();
            if (!ok) {
                error = m_file.isEmpty()
                            ? QStringLiteral("A impressora \"%1\" não recebeu o trabalho.")
                                  .arg(m_printer)
                            : m_export->ErrorText;
            }
            m_export.reset();
            return ok;
        }
        error = QStringLiteral("Nenhum documento em impressão.");
        return false;
    }

    void AbortDocument() override {
        m_export.reset(); // its file or job is dropped unfinished
        m_sheetOpen = false;
        m_placements.clear();
    }

private:
    // A page's background picture is printed when it has one, shown and printable.
    void exportBackground(TqdxPreviewPages& pages, int index) {
        TqdxReportPage* page = pages.PageObject(index);
        m_export->Background = page && page->BackPictureVisible && page->BackPicturePrintable &&
                               !page->Background().Picture.Empty();
    }

    bool startExport(const SheetJobOptions& options, QString& error) {
        auto filter = std::make_unique<pdf::TqdxPDFExport>();
        filter->ShowDialog = false;
        filter->ShowProgress = false;
        // The export's own PDF, as `convert` writes it (pictures at the export's scale), with the
        // fonts embedded: the printer has none of ours.
        filter->EmbeddedFonts = true;
        filter->ObjectStreams = true;
        filter->Title = options.title;
        filter->Creator = QStringLiteral("ZeralVisualizador");
        filter->KeepIncompleteOutput = false;
        if (m_file.isEmpty()) {
            filter->Output = startPdfJob(m_printer, options.title.isEmpty()
                                                        ? QStringLiteral("Quadrel Document")
                                                        : options.title,
                                         cupsJobOptions(options), error);
            if (!filter->Output) {
                return false;
            }
            m_jobId = filter->Output->jobId();
        } else {
            filter->FileName = m_file;
        }
        try {
            if (!filter->BeginOutput()) {
                error = filter->ErrorText;
                return false;
            }
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
            return false;
        }
        m_export = std::move(filter);
        return true;
    }

    QString m_printer;
    QString m_file;
    int m_dpi;
    PrintRequest m_request;
    QList<PrinterPaper> m_papers;
    QSizeF m_default{210, 297};
    int m_maxCopies = 1;
    int m_jobId = 0;
    bool m_wholePages = true;
    bool m_sheetOpen = false;
    bool m_pagePut = false;
    TqdxSheetSettings m_settings;
    std::unique_ptr<pdf::TqdxPDFExport> m_export;
    std::vector<pdf::TqdxPDFExport::FormPlacement> m_placements;
    int m_form = 0; // the form of the page placed last
    int m_formIndex = -1;
    int m_formCopy = 0;
    double m_formHeight = 0;
    QPainter m_idle;
};

} // namespace

std::unique_ptr<TqdxPrintDevice> OpenPdfPrintDevice(const QString& printer,
                                                    const QString& outputFile, int dpi,
                                                    const PrintRequest& request) {
    return std::make_unique<PdfPrintDevice>(printer, outputFile, dpi, request);
}

// ---- The job ----------------------------------------------------------------------------------

namespace {

class PrintRun {
public:
    PrintRun(TqdxReport& report, TqdxPrintDevice& device, int duplex, const PrintRequest& request)
        : m_report(report), m_pages(report.PreviewPages()), m_device(device),
          m_options(report.PrintOptions), m_duplexChoice(duplex), m_request(request) {}

    TqdxPrintResult run() {
        TqdxPrintResult result;
        m_report.Terminated = false;
        CancelRequest::clear();
        const int count = m_pages.Count();
        const bool join = m_options.PrintMode == pmJoin;
        m_order = PrintPageOrder(QString::fromLatin1(m_options.PageNumbers), count,
                                 join ? int(ppAll) : m_options.PrintPages,
                                 join ? false : m_options.Reverse);
        m_copies = std::clamp(m_options.Copies, 1, 9999);
        // The report's name is cp1252 text, as everything the report files hold.
        m_title = !m_request.title.isEmpty() ? m_request.title
                                             : codepages::fromCp1252(m_report.ReportOptions.Name);
        if (m_options.PrintMode != pmDefault) {
            // "Padrão" (256) is the paper the request names, else the printer's own.
            const QSizeF own =
                m_request.mediaMm.isValid() ? m_request.mediaMm : m_device.DefaultPaper();
            const QSizeF sheet = SheetSize(m_options.PrintOnSheet, own.width(), own.height(), false);
            m_sheetW = sheet.width();
            m_sheetH = sheet.height();
        }
        // Copies the printer makes are asked of it once, the document drawn once, as lp sends a
        // file: uncollated ones in every mode that puts one page on a sheet, collated ones in
        // the default mode (they all show copy number 1).
        if (m_copies > 1 && !join && m_device.MaxCopies() >= m_copies &&
            (!m_options.Collate || m_options.PrintMode == pmDefault)) {
            m_queueCopies = m_copies;
            m_copies = 1;
        }
        SilentProgress silent;
        std::unique_ptr<Progress> progress;
        if (m_report.UserInteraction && m_report.ShowProgress) {
            ProgressInfo info;
            info.caption = qdxResources().Text("clPrinting");
            info.label = m_title;
            info.maximum = qint64(m_order.size()) * (m_options.Collate ? m_copies : 1);
            progress = m_report.UserInteraction->beginProgress(info);
        }
        m_progress = progress ? progress.get() : &silent;

        try {
            const int passes = m_options.Collate ? m_copies : 1;
            for (int copy = 1; copy <= passes && m_ok; ++copy) {
                m_collateCopy = copy;
                pass();
                // Each collated copy (also each one the printer makes) starts on a front.
                if (m_ok && m_sideFlag && (m_options.Collate || passes > 1)) {
                    blankSheet();
                }
            }
        } catch (const std::exception& e) {
            if (m_started) {
                m_device.AbortDocument();
            }
            m_started = false;
            m_error = QString::fromUtf8(e.what());
            m_ok = false;
        }
        m_progress = nullptr;
        progress.reset();
        m_pages.CopyNo = 0;

        if (m_cancelled) {
            result.cancelled = true;
        } else if (m_ok && m_started) {
            QString error;
            result.jobId = m_device.JobId();
            if (m_device.FinishDocument(error)) {
                result.printed = true;
                result.sheets = m_sheets;
            } else {
                result.error = error;
                result.jobId = 0;
            }
        } else if (m_ok) {
            result.error = QStringLiteral("Nenhuma página a imprimir.");
        } else {
            result.error = m_error;
        }
        return result;
    }

private:
    bool cancelled() {
        if (m_progress->cancelled() || CancelRequest::isSet()) {
            m_report.Terminated = true;
        }
        return m_report.Terminated;
    }

    void abort() {
        if (m_started) {
            m_device.AbortDocument();
        }
        m_started = false;
        m_cancelled = true;
        m_ok = false;
    }

    bool start() {
        if (m_started) {
            return true;
        }
        QString error;
        m_device.ExpectWholePages(m_options.PrintMode == pmDefault);
        if (!m_device.StartDocument(m_title, error)) {
            m_error = error;
            m_ok = false;
            return false;
        }
        m_started = true;
        return true;
    }

    static bool twoSided(int duplex) { return duplex == dmVertical || duplex == dmHorizontal; }

    int duplexOf(const TqdxReportPage& page) const {
        return m_duplexChoice != dmNone ? m_duplexChoice : page.Duplex;
    }

    // The back of a two-sided sheet left blank.
    void blankSheet() {
        m_device.StartSheet();
        m_device.FinishSheet();
        ++m_sheets;
        m_sideFlag = !m_sideFlag;
    }

    void pass() {
        if (m_options.PrintMode == pmJoin) {
            joinPass();
            return;
        }
        for (std::size_t k = 0; k < m_order.size(); ++k) {
            if (!m_ok) {
                return;
            }
            if (cancelled()) {
                abort();
                return;
            }
            const int index = m_order[k];
            TqdxReportPage* page = m_pages.PageObject(index);
            if (!page) {
                continue;
            }
            int copies = 1;
            if (m_options.Collate) {
                m_pages.CopyNo = m_collateCopy;
            } else {
                copies = m_copies;
                m_pages.CopyNo = 1;
            }
            if (m_options.PrintMode == pmSplit) {
                splitPage(*page, index, copies);
            } else if (copies > 1 && twoSided(duplexOf(*page))) {
                // Copies drawn by the job on two-sided sheets: each copy of a sheet is the
                // sheet whole, its front (this page) and its back (the next one, or blank).
                const int back = k + 1 < m_order.size() ? m_order[k + 1] : -1;
                for (int c = 0; c < copies && m_ok; ++c) {
                    defaultPage(*m_pages.PageObject(index), index, 1);
                    if (back < 0) {
                        blankSheet();
                    } else if (TqdxReportPage* backPage = m_pages.PageObject(back)) {
                        defaultPage(*backPage, back, 1);
                    }
                }
                k += back < 0 ? 0 : 1;
            } else {
                defaultPage(*page, index, copies);
            }
            m_progress->setValue(index + 1);
            m_progress->step();
            m_pages.ClearCache();
        }
    }

    int binFor(const TqdxReportPage& page) {
        if (std::find(m_usedBins.begin(), m_usedBins.end(), page.Bin) == m_usedBins.end()) {
            m_usedBins.push_back(page.Bin);
            return page.Bin;
        }
        return page.BinOtherPages;
    }

    // The duplex of a sheet of `page`; the side flag follows the sheets of a two-sided run.
    int duplexFor(const TqdxReportPage& page) {
        const int duplex = duplexOf(page);
        if (duplex != m_lastDuplex) {
            m_sideFlag = false;
        }
        m_lastDuplex = duplex;
        return duplex;
    }
    void sheetPrinted(int duplex) {
        ++m_sheets;
        if (twoSided(duplex)) {
            m_sideFlag = !m_sideFlag;
        }
    }

    void apply(const TqdxSheetSettings& s) {
        if (!m_applied || !(s == m_last)) {
            m_device.ApplyPrintSettings(s);
            m_last = s;
            m_applied = true;
        }
    }

    // Page `index` with its paper corner at (`xMm`, `yMm`) from the sheet's physical corner.
    void paint(int index, double zx, double zy, double xMm, double yMm, const QRectF& clipMm = {}) {
        const QMarginsF m = m_device.Margins();
        m_device.DrawPage(m_pages, index, m_pages.CopyNo, zx, zy, xMm - m.left(), yMm - m.top(),
                          clipMm.isEmpty() ? QRectF() : clipMm.translated(-m.left(), -m.top()));
    }

    // A page asked for `copies` times is printed that many times over (uncollated copies the
    // printer does not make itself).
    void defaultPage(TqdxReportPage& page, int index, int copies) {
        const int bin = binFor(page);
        const int duplex = duplexFor(page);
        const bool landscape = page.Orientation() == poLandscape;
        TqdxSheetSettings s;
        double zx = 1, zy = 1;
        if (m_options.PrintMode == pmScale) {
            const QSizeF sheet = SheetSize(m_options.PrintOnSheet, landscape ? m_sheetH : m_sheetW,
                                           landscape ? m_sheetW : m_sheetH, landscape);
            s = {m_options.PrintOnSheet, sheet.width(), sheet.height(), landscape, bin, duplex,
                 m_queueCopies, m_options.Collate};
            const TqdxScale scale =
                ScaleFactors(page.PaperWidth(), page.PaperHeight(), sheet.width(), sheet.height());
            zx = scale.x;
            zy = scale.y;
            m_pages.PrintScale = scale.print;
        } else {
            s = {page.PaperSize(), page.PaperWidth(), page.PaperHeight(), landscape, bin, duplex,
                 m_queueCopies, m_options.Collate};
        }
        apply(s);
        if (!start()) {
            return;
        }
        for (int c = 0; c < copies; ++c) {
            m_device.StartSheet();
            // Scale mode draws the page stretched from the sheet's corner; default mode puts the
            // page's paper corner on the sheet's corner.
            if (m_options.PrintMode != pmDefault ||
                !m_device.PutWholePage(m_pages, index, m_pages.CopyNo)) {
                paint(index, zx, zy, 0, 0);
            }
            m_device.FinishSheet();
            sheetPrinted(duplex);
        }
        QCoreApplication::processEvents();
    }

    void splitPage(TqdxReportPage& page, int index, int copies) {
        const int bin = index == 0 ? page.Bin : page.BinOtherPages;
        const int duplex = duplexFor(page);
        // The tiles step by what the printer prints of its paper.
        const TqdxSplitPlan plan =
            SplitPlan(page.PaperWidth(), page.PaperHeight(), m_sheetW, m_sheetH,
                      m_device.PaperMargins(m_sheetW, m_sheetH), m_options.SplicingLine);
        apply({m_options.PrintOnSheet, plan.sheetW, plan.sheetH, plan.fit.turned, bin, duplex,
               m_queueCopies, m_options.Collate});
        if (!start()) {
            return;
        }
        for (int c = 0; c < copies; ++c) {
            for (const TqdxTile& tile : plan.tiles) {
                m_device.StartSheet();
                if (!tile.clip.isEmpty()) {
                    m_device.DrawPage(m_pages, index, m_pages.CopyNo, 1, 1, tile.offsetX,
                                      tile.offsetY, tile.clip);
                }
                m_device.FinishSheet();
                sheetPrinted(duplex);
                QCoreApplication::processEvents();
            }
            // Copies drawn by the job: each copy of the tiles starts on a front.
            if (copies > 1 && m_sideFlag) {
                blankSheet();
            }
        }
    }

    void joinPass() {
        const int n = int(m_order.size());
        if (n == 0) {
            return;
        }
        TqdxReportPage* first = m_pages.PageObject(m_order[0]);
        if (!first) {
            return;
        }
        const double pageW = first->PaperWidth(), pageH = first->PaperHeight();
        const TqdxJoinPlan plan = JoinPlan(pageW, pageH, m_sheetW, m_sheetH);
        const int duplex = duplexFor(*first);
        apply({m_options.PrintOnSheet, plan.sheetW, plan.sheetH, plan.landscape, first->Bin, duplex,
               1, true});
        if (!start()) {
            return;
        }
        // Collated copies repeat the whole pass, each page once a pass; otherwise each page
        // fills `copies` cells in a row.
        const int perPage = m_options.Collate ? 1 : m_copies;
        int cursor = -1;
        int copy = 1;
        while (cursor < n - 1 || copy != 1) {
            m_device.StartSheet();
            bool more = true;
            for (int row = 0; row < plan.rows && more; ++row) {
                for (int col = 0; col < plan.cols; ++col) {
                    if (copy == 1) {
                        ++cursor;
                    }
                    if (cursor >= n) {
                        more = false;
                        break;
                    }
                    m_pages.CopyNo = m_options.Collate ? m_collateCopy : copy;
                    copy = copy >= perPage ? 1 : copy + 1;
                    joinCell(m_order[size_t(cursor)], col * pageW, row * pageH, pageW, pageH);
                    m_pages.ClearCache();
                }
            }
            m_device.FinishSheet();
            sheetPrinted(duplex);
            m_progress->setValue(std::min(cursor + 1, n));
            m_progress->step();
            QCoreApplication::processEvents();
            if (cancelled()) {
                abort();
                return;
            }
            if (cursor >= n - 1 && copy == 1) {
                break;
            }
        }
    }

    // One page in the cell at (`x`, `y`) mm of the paper, `cellW` x `cellH` mm: drawn clipped to
    // the cell, and scaled down to fit when it is larger than the cell.
    void joinCell(int index, double x, double y, double cellW, double cellH) {
        double z = 1;
        if (const TqdxReportPage* page = m_pages.PageObject(index)) {
            const double w = page->PaperWidth(), h = page->PaperHeight();
            if ((w > cellW + 0.5 || h > cellH + 0.5) && w > 0 && h > 0) {
                z = std::min(cellW / w, cellH / h);
            }
        }
        paint(index, z, z, x, y, QRectF(x, y, cellW, cellH));
    }

    TqdxReport& m_report;
    TqdxPreviewPages& m_pages;
    TqdxPrintDevice& m_device;
    const TqdxPrintOptions& m_options;
    int m_duplexChoice;
    const PrintRequest& m_request;
    std::vector<int> m_order;
    int m_copies = 1;      // copies the job draws
    int m_queueCopies = 1; // copies the printer makes of the document
    QString m_title;
    double m_sheetW = 210, m_sheetH = 297;
    Progress* m_progress = nullptr;
    bool m_started = false;
    bool m_ok = true;
    bool m_cancelled = false;
    QString m_error;
    int m_collateCopy = 1;
    int m_lastDuplex = 0;
    bool m_sideFlag = false;
    std::vector<int> m_usedBins;
    TqdxSheetSettings m_last;
    bool m_applied = false;
    int m_sheets = 0;
};

} // namespace

TqdxPrintResult PrintPreparedPages(TqdxReport& report, TqdxPrintDevice& device, int duplex,
                                   const PrintRequest& request) {
    // A bad range is refused before anything happens.
    QString rangeError;
    if (!PageSelection::parse(QString::fromLatin1(report.PrintOptions.PageNumbers), &rangeError)) {
        throw std::invalid_argument(rangeError.toStdString());
    }
    report.PreviewPages().PrintScale = 1;
    PrintRun run(report, device, duplex, request);
    TqdxPrintResult result = run.run();
    if (!result.printed && !result.cancelled && !result.error.isEmpty() && report.UserInteraction) {
        report.UserInteraction->message(MessageKind::Error, result.error,
                                        qdxResources().Text("mbError"));
    }
    return result;
}

TqdxPrintResult PrintReport(TqdxReport& report, const QString& printer, const QString& outputFile,
                            const PrintRequest& request) {
    QString queue = printer;
    if (queue.isEmpty() && outputFile.isEmpty()) {
        const QString named = QString::fromLatin1(report.PrintOptions.Printer);
        queue = systemPrinters().contains(named, Qt::CaseInsensitive) ? named
                                                                      : ImpressoraAtual().deviceName;
    }
    if (queue.isEmpty() && outputFile.isEmpty()) {
        TqdxPrintResult result;
        result.error = qdxResources().Text("clNoPrinters");
        if (report.UserInteraction) {
            report.UserInteraction->message(MessageKind::Error, result.error,
                                            qdxResources().Text("mbError"));
        }
        return result;
    }
    const std::unique_ptr<TqdxPrintDevice> device =
        OpenPdfPrintDevice(queue, outputFile, 300, request);
    return PrintPreparedPages(report, *device, report.PrintOptions.Duplex, request);
}

TqdxPrintResult PrintRequested(TqdxReport& report, const PrintRequest& request) {
    TqdxPrintOptions& o = report.PrintOptions;
    const int copies = o.Copies;
    const bool collate = o.Collate;
    const int duplex = o.Duplex;
    o.Copies = request.copies;
    o.Collate = request.collate;
    o.Duplex = dmNone;
    for (const int mode : {dmSimplex, dmVertical, dmHorizontal}) {
        if (!request.sides.isEmpty() && request.sides == SidesKeyword(mode)) {
            o.Duplex = mode;
        }
    }
    struct Restore {
        TqdxPrintOptions& o;
        int copies, duplex;
        bool collate;
        ~Restore() {
            o.Copies = copies;
            o.Collate = collate;
            o.Duplex = duplex;
        }
    } restore{o, copies, duplex, collate};
    return PrintReport(report, request.destination.name(), {}, request);
}

} // namespace zr::reportlib::preview
