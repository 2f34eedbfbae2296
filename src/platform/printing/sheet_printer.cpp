#include "sheet_printer.h"

#include "system_printer.h"
#include "platform/files/atomic_file.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <functional>

namespace zr {

namespace {

QString notInstalled(const QString& name) {
    return QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(name);
}

// The PDF's bytes, passed on as QPdfWriter writes them. A failure is remembered and reported
// when the document ends (QPdfWriter would not stop for it).
class SinkDevice final : public QIODevice {
public:
    explicit SinkDevice(std::function<bool(QByteArrayView)> write) : m_write(std::move(write)) {
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }
    void discard() { m_discard = true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        if (!m_discard && !m_failed && !m_write(QByteArrayView(data, len))) {
            m_failed = true;
        }
        return len;
    }

private:
    std::function<bool(QByteArrayView)> m_write;
    bool m_failed = false;
    bool m_discard = false;
};

} // namespace

std::vector<std::pair<QByteArray, QByteArray>> cupsJobOptions(const SheetJobOptions& options) {
    std::vector<std::pair<QByteArray, QByteArray>> job;
    const int copies = std::clamp(options.copies, 1, 9999);
    if (copies > 1) {
        job.emplace_back("copies", QByteArray::number(copies));
        job.emplace_back("multiple-document-handling",
                         options.collate ? "separate-documents-collated-copies"
                                         : "separate-documents-uncollated-copies");
    }
    if (!options.sides.isEmpty()) {
        job.emplace_back("sides", options.sides.toUtf8());
    }
    if (!options.mediaSource.isEmpty()) {
        job.emplace_back("media-source", options.mediaSource.toUtf8());
    }
    if (!options.media.isEmpty()) {
        job.emplace_back("media", options.media.toUtf8());
    }
    const std::size_t ours = job.size();
    for (const auto& option : options.extra) {
        const auto clash = std::find_if(job.begin(), job.begin() + std::ptrdiff_t(ours),
                                        [&](const auto& o) { return o.first == option.first; });
        if (clash == job.begin() + std::ptrdiff_t(ours)) {
            job.emplace_back(option.first, option.second);
        }
    }
    return job;
}

struct SheetPrinter::Impl {
    QString queue;
    SheetJobOptions options;
    std::unique_ptr<RawOutput> job;
    std::unique_ptr<AtomicFile> file;
    std::unique_ptr<SinkDevice> sink;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    bool started = false;
    bool inSheet = false;
    int sheets = 0;

    // Drops everything of the document; an unfinished job is cancelled, the temporary file
    // removed.
    void reset() {
        if (sink) {
            sink->discard();
        }
        if (painter.isActive()) {
            painter.end();
        }
        writer.reset();
        job.reset();
        if (file) {
            file->discard();
            file.reset();
        }
        sink.reset();
        started = false;
        inSheet = false;
    }
};

SheetPrinter::SheetPrinter(QString queue) : d(std::make_unique<Impl>()) {
    d->queue = std::move(queue);
}

SheetPrinter::~SheetPrinter() {
    d->reset();
}

std::unique_ptr<SheetPrinter> SheetPrinter::open(const QString& printerName, QString& error) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("A impressão gráfica precisa da interface gráfica do programa.");
        return nullptr;
    }
    if (!printerName.isEmpty() && !systemPrinters().contains(printerName, Qt::CaseInsensitive)) {
        error = notInstalled(printerName);
        return nullptr;
    }
    return std::unique_ptr<SheetPrinter>(new SheetPrinter(printerName));
}

bool SheetPrinter::beginDocument(const SheetJobOptions& options, QString& error) {
    if (d->started) {
        error = QStringLiteral("Já há um documento em andamento.");
        return false;
    }
    d->options = options;
    d->sheets = 0;
    if (!options.outputFile.isEmpty()) {
        d->file = std::make_unique<AtomicFile>(options.outputFile);
        if (!d->file->open()) {
            error = QStringLiteral("Não foi possível criar o arquivo \"%1\": %2")
                        .arg(options.outputFile, d->file->errorString());
            d->file.reset();
            return false;
        }
        d->sink = std::make_unique<SinkDevice>(
            [file = d->file.get()](QByteArrayView bytes) { return file->write(bytes); });
    } else {
        // The queue may have gone since the printer was chosen: startPdfJob says so.
        d->job = startPdfJob(d->queue, options.title.isEmpty() ? QStringLiteral("Quadrel Document")
                                                               : options.title,
                             cupsJobOptions(options), error);
        if (!d->job) {
            return false;
        }
        d->sink = std::make_unique<SinkDevice>(
            [job = d->job.get()](QByteArrayView bytes) { return job->write(bytes); });
    }
    d->writer = std::make_unique<QPdfWriter>(d->sink.get());
    d->writer->setResolution(std::clamp(options.dpi, 72, 2400));
    d->writer->setTitle(options.title);
    d->writer->setCreator(QStringLiteral("ZeralVisualizador"));
    d->started = true;
    return true;
}

bool SheetPrinter::beginSheet(QSizeF paperMm, bool landscape) {
    if (!d->started || d->inSheet || !(paperMm.width() > 0) || !(paperMm.height() > 0)) {
        return false;
    }
    const QPageSize size(paperMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    const QPageLayout layout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF());
    d->writer->setPageLayout(layout);
    if (!d->painter.isActive()) {
        if (!d->painter.begin(d->writer.get())) {
            return false;
        }
    } else if (!d->writer->newPage()) {
        return false;
    }
    d->painter.resetTransform();
    d->inSheet = true;
    ++d->sheets;
    return true;
}

void SheetPrinter::endSheet() {
    d->inSheet = false;
}

QPainter& SheetPrinter::painter() {
    return d->painter;
}

bool SheetPrinter::endDocument(QString& error) {
    if (!d->started) {
        error = QStringLiteral("Nenhum documento em andamento.");
        return false;
    }
    if (d->sheets == 0) {
        // Nothing drawn: nothing is sent and no file is made.
        d->reset();
        return true;
    }
    if (d->painter.isActive() && !d->painter.end()) {
        error = QStringLiteral("Não foi possível gerar o documento.");
        d->reset();
        return false;
    }
    d->writer.reset(); // writes the document's tail
    bool ok = !d->sink->failed();
    if (d->file) {
        ok = ok && d->file->commit();
        if (!ok) {
            error = QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                        .arg(d->options.outputFile, d->file->errorString());
        }
    } else if (d->job) {
        ok = ok && d->job->finish();
        if (!ok) {
            error = QStringLiteral("A impressora \"%1\" não recebeu o trabalho (erro %2).")
                        .arg(d->queue)
                        .arg(d->job->error());
        }
    }
    d->reset();
    return ok;
}

void SheetPrinter::abortDocument() {
    d->reset();
}

int SheetPrinter::sheetCount() const {
    return d->sheets;
}

int SheetPrinter::jobId() const {
    return d->job ? d->job->jobId() : 0;
}

} // namespace zr
