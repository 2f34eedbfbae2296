// The document of a text report: the adapter over TGravana.

#include "report_document_adapters.h"

#include "app/common/printing_hooks.h"
#include "app/common/viewer_settings.h"
#include "pdfwriter/qdx_pdf_security.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "textreport/export/report_format.h"
#include "textreport/gravana.h"
#include "textreport/gvtools.h"
#include "textreport/io/gvp_file.h"
#include "textreport/render/page_renderer.h"

#include <QFileInfo>
#include <QPainter>
#include <QPicture>

#include <sys/mman.h>
#include <unistd.h>

namespace zr::app {

using namespace zr::textreport;

namespace {

// A file of the process's own that lives in memory only, named by a path the loader can open.
class MemoryFile {
public:
    explicit MemoryFile(const QByteArray& bytes) {
        m_fd = memfd_create("zeralconv-report", MFD_CLOEXEC);
        qsizetype done = 0;
        while (m_fd >= 0 && done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0) {
                ::close(m_fd);
                m_fd = -1;
            } else {
                done += n;
            }
        }
    }
    ~MemoryFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool valid() const { return m_fd >= 0; }
    QString path() const { return QStringLiteral("/proc/self/fd/%1").arg(m_fd); }

private:
    int m_fd = -1;
};

// The print job's explicit page list: the selection in its final order.
QByteArray pageList(const std::vector<int>& pages) {
    QByteArray list;
    for (const int p : pages) {
        list += (list.isEmpty() ? "" : ",") + QByteArray::number(p);
    }
    return list;
}

class TextReportDocument final : public ReportDocument {
public:
    // `name` stands for the file in messages.
    TextReportDocument(Interaction& ui, QString name)
        : ReportDocument(ui), m_name(std::move(name)), m_g(ui) {
        applyViewerSettings(m_g);
        m_g.OpcoesPreview.Preview = false;
        m_g.Abrir();
    }
    ~TextReportDocument() override {
        if (m_g.state().aberto) {
            m_g.Abortar(); // closed without previewing or printing it
        }
    }

    LoadResult load(const QString& path, const DocumentSettings& settings) {
        const LoadResult result = m_g.LerRelatorio(path);
        return applySettings(result, settings);
    }
    // Reads the report from `bytes`, through a file in memory while there is one to be had
    // (else from `name`, the file they came from), without progress.
    LoadResult load(const QByteArray& bytes, const QString& name) {
        m_memory = std::make_unique<MemoryFile>(bytes);
        m_g.MostrarProgresso = false;
        return m_g.LerRelatorio(m_memory->valid() ? m_memory->path() : name);
    }

    // The printer model and accents asked for replace the report's own.
    LoadResult applySettings(LoadResult result, const DocumentSettings& settings) {
        if (settings.model) {
            m_g.Impressora = *settings.model;
            m_g.MontarSequencias(m_g.Impressora, m_g.TamanhoQteLinhas, m_g.TamanhoQteLPP);
        }
        if (settings.accents) {
            m_g.Acentuacao = *settings.accents;
        }
        return result;
    }

    ReportContent kind() const override { return ReportContent::TextReport; }
    QString title() const override { return codepages::fromCp1252(m_g.TitulodoRelatorio); }
    int pageCount() const override {
        // An empty store is a report of no page (the engine counts it as one blank page).
        return m_g.store() && !m_g.store()->empty() ? m_g.TotalPaginas() : 0;
    }
    QSize pageSize(int) const override {
        const PageGeometry page =
            pageGeometry(PageLayout::Print, m_g.TamanhoQteColunas, m_g.TamanhoQteLinhas);
        return {page.width, page.height};
    }
    void paintPage(int page, QPainter& painter, double scale) override {
        QPicture picture;
        m_g.DesenharPagina(page, picture, false);
        const QSize size = pageSize(page);
        drawPagePicture(
            painter, picture,
            QRectF(0, 0, std::round(size.width() * scale), std::round(size.height() * scale)));
    }
    QString pageText(int page) override;

    Outcome describe(std::vector<InfoLine>& lines) override {
        lines = {{"format", "GVP " + QByteArray::number(m_g.versaoLida())},
                 {"title", title().toUtf8()},
                 {"pages", QByteArray::number(m_g.TotalPaginas())},
                 {"items", QByteArray::number(m_g.store()->size())},
                 {"lines", QByteArray::number(m_g.TamanhoQteLinhas)},
                 {"columns", QByteArray::number(m_g.TamanhoQteColunas)},
                 {"lpp", m_g.TamanhoQteLPP == TLinha::Seis ? "6" : "8"},
                 {"pitch", QByteArray::number(pitchOf(m_g.FonteTamanhoPadrao))},
                 {"style", gvp::styleLetters(m_g.FonteEstiloPadrao)}};
        return Outcome::success();
    }

    Outcome listFonts(QByteArray&) override {
        m_ui.message(MessageKind::Error,
                     QStringLiteral("%1 não é um relatório preparado (.QP3): só estes usam "
                                    "fontes do sistema")
                         .arg(m_name));
        return Outcome::failure();
    }

    Outcome write(QStringView format, const QString& target, const WriteOptions& options,
                  const std::vector<int>& pages) override;
    PrintOutcome printPages(const PrintRequest& request, const PrintLayout& layout,
                            const std::vector<int>& pages) override;

private:
    // The print job takes the selection as an explicit list in its final order, and adds the
    // copies and their collation itself.
    void setPrintJob(const std::vector<int>& pages, int copies, bool collate) {
        JobOptions& job = m_g.state().job;
        job.faixa = pageList(pages);
        job.inverter = false;
        job.parImpar = 0;
        job.copias = copies;
        job.agrupar = collate;
    }

    // While it lives, the report holds just `pages`, in that order, numbered from 1, so that
    // the engine's saves and exports write just those pages. The page-count macro keeps
    // showing the whole report's count ("page 3 of 10", not "of 2").
    class PageSubset;

    QString m_name;
    std::unique_ptr<MemoryFile> m_memory; // what the report was read from, when in memory
    TGravana m_g;
};

class TextReportDocument::PageSubset {
public:
    PageSubset(TGravana& g, const std::vector<int>& pages) : m_g(g) {
        static constexpr QByteArrayView kPageCount = "&PAGE&";
        static constexpr qsizetype kTextStart = 20; // an item's text follows its 20-byte header
        const QByteArray pageCount = g.ExpandirMacros(kPageCount);
        const PageStore& old = *g.store();
        auto subset = std::make_unique<PageStore>();
        for (std::size_t k = 0; k < pages.size(); ++k) {
            const QByteArray number = QByteArray::number(qulonglong(k + 1)).rightJustified(4, '0');
            const auto [first, last] = g.itensDaPagina(pages[k]);
            for (qsizetype i = first; i < last; ++i) {
                QByteArray item = old.item(i).toByteArray();
                item.replace(0, 4, number);
                // The engine expands the first occurrence only, in any case.
                const qsizetype at =
                    item.contains('&') ? item.toUpper().indexOf(kPageCount, kTextStart) : -1;
                if (at >= 0) {
                    item.replace(at, kPageCount.size(), pageCount);
                }
                subset->appendUnsorted(item);
            }
        }
        subset->sort();
        m_whole = std::exchange(g.state().store, std::move(subset));
    }
    ~PageSubset() { m_g.state().store = std::move(m_whole); }
    PageSubset(const PageSubset&) = delete;
    PageSubset& operator=(const PageSubset&) = delete;

private:
    TGravana& m_g;
    std::unique_ptr<PageStore> m_whole;
};

QString TextReportDocument::pageText(int page) {
    // The page's grid, line by line: a later item overwrites the rest of its line from its
    // column on, as the plain-text export lays it out.
    QStringList lines;
    const auto [first, last] = m_g.itensDaPagina(page);
    for (qsizetype i = first; i < last; ++i) {
        const DecodedItem& d = m_g.DecodificarItem(m_g.store()->item(i));
        if (d.tipo == 'C' || d.linha < 1) {
            continue;
        }
        while (lines.size() < d.linha) {
            lines.append(QString());
        }
        QString& line = lines[d.linha - 1];
        const qsizetype at = std::max(0, d.coluna - 1);
        if (line.size() < at) {
            line.append(QString(at - line.size(), u' '));
        } else {
            line.truncate(at);
        }
        line += codepages::fromCp1252(d.tipo == 'B' ? ConverterBox(d.texto) : d.texto);
    }
    return lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n';
}

Outcome TextReportDocument::write(QStringView format, const QString& target,
                                  const WriteOptions& options, const std::vector<int>& pages) {
    if (format == u"png") {
        return writePicture(target, options);
    }
    const std::optional<TextReportFormat> as = textReportFormatOf(format);
    if (!as) {
        return Outcome::failure();
    }
    if (*as == TextReportFormat::Prn) {
        setPrintJob(pages, options.copies, options.collate);
        return writeReportAs(m_g, *as, target);
    }
    if (*as == TextReportFormat::Pdf) {
        m_g.OpcoesPDF.userPassword = options.userPassword;
        m_g.OpcoesPDF.ownerPassword = options.ownerPassword;
        m_g.OpcoesPDF.aes256 = options.aes256;
        m_g.OpcoesPDF.permissions = zr::pdf::TqdxPDFSecurity::PermissionValue(
            options.allowPrint, options.allowModify, options.allowCopy, options.allowAnnotate);
        m_g.OpcoesPDF.archival = options.archival;
        m_g.OpcoesPDF.universal = options.universal;
    }
    std::optional<PageSubset> subset;
    if (!PageSelection::everyPageInOrder(pages, pageCount())) {
        subset.emplace(m_g, pages);
    }
    return writeReportAs(m_g, *as, target);
}

PrintOutcome TextReportDocument::printPages(const PrintRequest& request, const PrintLayout&,
                                            const std::vector<int>& pages) {
    setPrintJob(pages, request.copies, request.collate);
    const QString previous = chosenPrinter();
    setCurrentPrinter(request.destination.queue);
    m_g.UsaGerenciadorImpr = true; // raw models go to the queue, not to a port
    connectSystemPrinting(m_g);
    const Outcome printed = m_g.Imprimir(QString());
    setCurrentPrinter(previous);
    return {printed, printed.done() ? m_g.lastJobId() : 0};
}

} // namespace

std::unique_ptr<ReportDocument> openTextReportDocument(const QString& path, Interaction& ui,
                                                       const DocumentSettings& settings,
                                                       bool* cancelled) {
    auto document = std::make_unique<TextReportDocument>(ui, QFileInfo(path).fileName());
    const LoadResult result = document->load(path, settings);
    if (cancelled) {
        *cancelled = result == LoadResult::Cancelled;
    }
    if (result != LoadResult::Loaded && result != LoadResult::CountWarning) {
        return nullptr;
    }
    return document;
}

std::unique_ptr<ReportDocument> openTextReportDocument(const QByteArray& bytes, const QString& name,
                                                       Interaction& ui) {
    auto document = std::make_unique<TextReportDocument>(ui, QFileInfo(name).fileName());
    const LoadResult result = document->load(bytes, name);
    if (result != LoadResult::Loaded && result != LoadResult::CountWarning) {
        return nullptr;
    }
    return document;
}

} // namespace zr::app
