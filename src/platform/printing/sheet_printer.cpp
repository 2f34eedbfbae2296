#include "sheet_printer.h"

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>

#include <cups/cups.h>

namespace zr {

namespace {

bool queueExists(const QString& name) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const qsizetype slash = name.indexOf(QLatin1Char('/'));
    const QByteArray queue = name.left(slash).toUtf8();
    const QByteArray instance = slash < 0 ? QByteArray() : name.mid(slash + 1).toUtf8();
    const bool found = !name.isEmpty() &&
                       cupsGetDest(queue.constData(),
                                   instance.isEmpty() ? nullptr : instance.constData(), count,
                                   dests) != nullptr;
    cupsFreeDests(count, dests);
    return found;
}

QString notInstalled(const QString& name) {
    return QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(name);
}

// QPrinter writing a PDF file; each sheet may have its own paper. The file goes to the queue
// as one CUPS job with the options when the document ends.
class PdfSheetPrinter final : public SheetPrinter {
public:
    explicit PdfSheetPrinter(QString queue) : m_queue(std::move(queue)) {}
    ~PdfSheetPrinter() override { abortDocument(); }

    bool beginDocument(const SheetJobOptions& options, QString& error) override {
        if (m_started) {
            error = QStringLiteral("Já há um documento em andamento.");
            return false;
        }
        m_options = options;
        m_sheets = 0;
        m_file = std::make_unique<QTemporaryFile>();
        if (!m_file->open()) {
            error = QStringLiteral("Não foi possível criar o arquivo temporário da impressão (%1).")
                        .arg(m_file->errorString());
            m_file.reset();
            return false;
        }
        m_file->close();
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(m_file->fileName());
        m_printer->setResolution(options.dpi > 0 ? options.dpi : 600);
        m_printer->setFullPage(true);
        m_printer->setDocName(options.title);
        m_printer->setCreator(QStringLiteral("ZeralVisualizador"));
        m_started = true;
        return true;
    }

    bool beginSheet(QSizeF paperMm, bool landscape) override {
        if (!m_started || m_inSheet || !(paperMm.width() > 0) || !(paperMm.height() > 0)) {
            return false;
        }
        const QPageSize size(paperMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
        const QPageLayout layout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                 QMarginsF());
        if (!m_painter.isActive()) {
            m_printer->setPageLayout(layout);
            if (!m_painter.begin(m_printer.get())) {
                return false;
            }
        } else {
            m_printer->setPageLayout(layout);
            if (!m_printer->newPage()) {
                return false;
            }
        }
        m_painter.resetTransform();
        m_inSheet = true;
        ++m_sheets;
        return true;
    }

    void endSheet() override { m_inSheet = false; }

    QPainter& painter() override { return m_painter; }

    bool endDocument(QString& error) override {
        if (!m_started) {
            error = QStringLiteral("Nenhum documento em andamento.");
            return false;
        }
        m_inSheet = false;
        m_started = false;
        if (m_painter.isActive() && !m_painter.end()) {
            error = QStringLiteral("Não foi possível gerar o documento.");
            finish();
            return false;
        }
        const bool ok = m_sheets == 0 || (m_options.outputFile.isEmpty() ? send(error) : save(error));
        finish();
        return ok;
    }

    void abortDocument() override {
        m_inSheet = false;
        m_started = false;
        if (m_painter.isActive()) {
            m_painter.end();
        }
        finish();
    }

    int sheetCount() const override { return m_sheets; }

private:
    void finish() {
        m_printer.reset();
        m_file.reset();
    }

    bool save(QString& error) {
        QFile::remove(m_options.outputFile);
        if (!QFile::copy(m_file->fileName(), m_options.outputFile)) {
            error = QStringLiteral("Não foi possível gravar o arquivo \"%1\".")
                        .arg(m_options.outputFile);
            return false;
        }
        return true;
    }

    bool send(QString& error) {
        // The queue may have gone while the pages were drawn.
        if (!queueExists(m_queue)) {
            error = notInstalled(m_queue);
            return false;
        }
        QFile file(m_file->fileName());
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("Não foi possível ler o documento da impressão.");
            return false;
        }
        cups_option_t* options = nullptr;
        int count = 0;
        const QByteArray copies = QByteArray::number(qBound(1, m_options.copies, 999));
        count = cupsAddOption("copies", copies.constData(), count, &options);
        if (m_options.copies > 1) {
            count = cupsAddOption("multiple-document-handling",
                                  m_options.collate ? "separate-documents-collated-copies"
                                                    : "separate-documents-uncollated-copies",
                                  count, &options);
        }
        const QByteArray sides = m_options.sides.toUtf8();
        if (!sides.isEmpty()) {
            count = cupsAddOption("sides", sides.constData(), count, &options);
        }
        const QByteArray source = m_options.mediaSource.toUtf8();
        if (!source.isEmpty()) {
            count = cupsAddOption("media-source", source.constData(), count, &options);
        }
        const QByteArray queue = m_queue.section(QLatin1Char('/'), 0, 0).toUtf8();
        const QByteArray title = m_options.title.toUtf8();
        const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), title.constData(),
                                      count, options);
        bool ok = job > 0;
        if (ok) {
            ok = cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), job, title.constData(),
                                   CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
            while (ok && !file.atEnd()) {
                const QByteArray block = file.read(64 * 1024);
                ok = !block.isEmpty() &&
                     cupsWriteRequestData(CUPS_HTTP_DEFAULT, block.constData(),
                                          size_t(block.size())) == HTTP_STATUS_CONTINUE;
            }
            const ipp_status_t status = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData());
            ok = ok && status <= IPP_STATUS_OK_EVENTS_COMPLETE;
            if (!ok) {
                cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), job, 0);
            }
        }
        cupsFreeOptions(count, options);
        if (!ok) {
            error = QStringLiteral("%1 - a impressora \"%2\" não aceitou o documento (%3).")
                        .arg(int(cupsLastError()))
                        .arg(m_queue, QString::fromUtf8(cupsLastErrorString()));
        }
        return ok;
    }

    QString m_queue;
    SheetJobOptions m_options;
    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
    bool m_started = false;
    bool m_inSheet = false;
    int m_sheets = 0;
};

} // namespace

std::unique_ptr<SheetPrinter> SheetPrinter::open(const QString& printerName, QString& error) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("A impressão gráfica precisa da interface gráfica do programa.");
        return nullptr;
    }
    if (!printerName.isEmpty() && !queueExists(printerName)) {
        error = notInstalled(printerName);
        return nullptr;
    }
    return std::make_unique<PdfSheetPrinter>(printerName);
}

} // namespace zr
