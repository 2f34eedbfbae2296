// The document of a prepared report: the adapter over TqdxReport and its page store.

#include "report_document_adapters.h"

#include "app/common/font_report.h"
#include "app/common/report_file.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_scoped_interaction.h"
#include "reportlib/document/qdx_xml.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/page_text.h"

#include <QBuffer>
#include <QPainter>

#include <exception>
#include <new>

namespace zr::app {

using namespace zr::reportlib;

namespace {

class PreparedReportDocument final : public ReportDocument {
public:
    explicit PreparedReportDocument(Interaction& ui) : ReportDocument(ui) {}

    // Reads the report from `path` (whole) or from `bytes`, and checks that its pages can be
    // built. False, having said why, when it cannot be used.
    bool load(const QString& path, const QByteArray* bytes);

    ReportContent kind() const override { return ReportContent::PreparedReport; }
    QString title() const override { return codepages::fromCp1252(m_report.ReportOptions.Name); }
    int pageCount() const override { return store().Count(); }
    QSize pageSize(int page) const override { return store().PageExtent(page - 1); }
    void paintPage(int page, QPainter& painter, double scale) override {
        render::PaintPage(store(), page - 1, painter, scale, scale, 0, 0);
    }
    QString pageText(int page) override { return render::PageText(store(), page - 1); }

    Outcome describe(std::vector<InfoLine>& lines) override {
        // Gathered whole, so that a page that cannot be measured leaves no half description.
        lines = {{"format", "QP3"},
                 {"title", title().toUtf8()},
                 {"pages", QByteArray::number(pageCount())}};
        return guarded([&] {
            for (int page = 1; page <= pageCount(); ++page) {
                const QSize size = pageSize(page);
                lines.emplace_back("page " + QByteArray::number(page),
                                   QByteArray::number(size.width()) + " x " +
                                       QByteArray::number(size.height()));
            }
            return Outcome::success();
        });
    }

    Outcome listFonts(QByteArray& text) override { return WriteFontReport(m_report, m_ui, text); }

    Outcome write(QStringView format, const QString& target, const WriteOptions& options,
                  const std::vector<int>& pages) override {
        if (format == u"png") {
            return writePicture(target, options);
        }
        if (format == u"pdf") {
            return writePdf(target, options,
                            PageSelection::everyPageInOrder(pages, pageCount()) ? std::vector<int>{}
                                                                                : pages);
        }
        int error = 0;
        if (!store().SaveToFile(target, &error)) {
            m_ui.message(MessageKind::Error, writeFailedMessage(target, error));
            return Outcome::failure(error);
        }
        return Outcome::success();
    }

    PrintOutcome printPages(const PrintRequest& request, const PrintLayout& layout,
                            const std::vector<int>& pages) override;

private:
    TqdxPreviewPages& store() const { return m_report.PreviewPages(); }

    // Runs `work`, turning what the engine throws for a page it cannot build (a range that is
    // none, an object it cannot read) into a failure it has reported.
    template <typename Work> auto guarded(Work work) -> decltype(work()) {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            throw; // reported where the job ends
        } catch (const std::exception& e) {
            m_ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
            return decltype(work()){Outcome::failure()};
        }
    }

    Outcome writePdf(const QString& target, const WriteOptions& options,
                     const std::vector<int>& order);

    mutable TqdxReport m_report;
};

bool PreparedReportDocument::load(const QString& path, const QByteArray* bytes) {
    QString error;
    try {
        if (bytes) {
            QByteArray copy = *bytes;
            QBuffer buffer(&copy);
            buffer.open(QIODevice::ReadOnly);
            store().LoadFromStream(buffer);
        } else {
            store().LoadFromFile(path, true);
        }
        error = preparedReportDefect(store());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const TqdxInvalidXMLException&) {
        error = QStringLiteral("Formato do arquivo é inválido...");
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!error.isEmpty()) {
        m_ui.message(MessageKind::Error, error);
        return false;
    }
    // A file cut short keeps the pages that end before the cut, and says so.
    for (const QString& warning : store().LoadWarnings()) {
        m_ui.message(MessageKind::Warning, warning);
    }
    // Attributes that could not be applied do not stop the report from being shown or saved.
    if (!m_report.Errors.isEmpty()) {
        m_ui.message(MessageKind::Warning, m_report.ErrorsText());
    }
    return true;
}

Outcome PreparedReportDocument::writePdf(const QString& target, const WriteOptions& options,
                                         const std::vector<int>& order) {
    reportlib::pdf::TqdxPDFExport filter;
    reportlib::pdf::ApplyMainWindowDefaults(filter);
    filter.Report = &m_report;
    filter.FileName = target;
    filter.ShowDialog = false; // no door that writes through the document asks
    filter.PageOrder = order;
    filter.UserPassword = options.userPassword;
    filter.OwnerPassword = options.ownerPassword;
    // What the options dialog would set: the permissions, the outline, the background, the
    // pictures' quality, and the title, the report's name unless one is given.
    filter.ProtectionFlags = (options.allowPrint ? reportlib::pdf::ePrint : 0) |
                             (options.allowModify ? reportlib::pdf::eModify : 0) |
                             (options.allowCopy ? reportlib::pdf::eCopy : 0) |
                             (options.allowAnnotate ? reportlib::pdf::eAnnot : 0);
    filter.Outline = options.outline;
    filter.Background = options.background;
    if (options.quality != 0) {
        filter.Quality = options.quality;
    }
    filter.Title = options.title.value_or(title());
    if (options.aes256) {
        filter.Encryption = reportlib::pdf::TqdxPDFEncryption::AES_256;
    }
    if (options.outline) {
        // Read only, as the export reads it: a report without an outline is not given one.
        bool items = false;
        if (store().Document().Root().Find("outline") >= 0) {
            store().Outline().LevelRoot();
            items = store().Outline().Count() > 0;
            store().Outline().Reset();
        }
        if (!items) {
            m_ui.message(MessageKind::Warning,
                         QStringLiteral("O relatório não tem resumo: o PDF não terá marcadores."));
        }
    }
    filter.PdfA = options.archival;
    filter.PdfUA = options.universal;
    filter.ObjectStreams = true;
    // Either the whole file is written or an existing one is left alone.
    filter.KeepIncompleteOutput = false;
    // Progress, and the report's error display.
    const ScopedUserInteraction interaction(m_report, m_ui);
    return guarded([&] {
        // When the export fails the report's error display has said why, except for the last
        // step (see TqdxPDFExport).
        if (!render::Export(store(), &filter)) {
            return Outcome::failure(filter.SystemError);
        }
        if (!filter.Succeeded()) {
            if (!filter.ErrorText.isEmpty()) {
                m_ui.message(MessageKind::Error, filter.ErrorText);
            }
            return Outcome::failure(filter.SystemError);
        }
        return Outcome::success();
    });
}

PrintOutcome PreparedReportDocument::printPages(const PrintRequest& request,
                                                const PrintLayout& layout,
                                                const std::vector<int>& pages) {
    TqdxPrintOptions& o = m_report.PrintOptions;
    // The pages in their order, as an explicit list.
    QStringList numbers;
    if (!PageSelection::everyPageInOrder(pages, pageCount())) {
        for (const int p : pages) {
            numbers.append(QString::number(p));
        }
    }
    o.PageNumbers = numbers.join(QLatin1Char(',')).toLatin1();
    o.PrintPages = ppAll;
    o.Reverse = false;
    o.PrintMode = layout.mode;
    o.PrintOnSheet = layout.sheet;
    if (layout.sheet == 0) {
        // The request's paper: a standard one by its code, any other by its size.
        const int code = request.mediaMm.isValid()
                             ? preview::StandardPaperCodeBySize(request.mediaMm.width(),
                                                                request.mediaMm.height(), 1.0)
                             : 9;
        o.PrintOnSheet = code != 0 ? code : preview::kCustomPaper;
    }
    o.ShowDialog = false;
    const ScopedUserInteraction interaction(m_report, m_ui);
    return guarded([&] {
        const preview::TqdxPrintResult result = preview::PrintRequested(m_report, request);
        if (result.cancelled) {
            return PrintOutcome{Outcome::cancellation(), 0};
        }
        return PrintOutcome{result.printed ? Outcome::success() : Outcome::failure(),
                            result.printed ? result.jobId : 0};
    });
}

} // namespace

std::unique_ptr<ReportDocument>
openPreparedReportDocument(const QString& path, const QByteArray* bytes, Interaction& ui) {
    auto document = std::make_unique<PreparedReportDocument>(ui);
    if (!document->load(path, bytes)) {
        return nullptr;
    }
    return document;
}

} // namespace zr::app
