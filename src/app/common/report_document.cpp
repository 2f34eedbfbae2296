#include "report_document.h"

#include "app/common/report_document_adapters.h"
#include "app/common/report_file.h"
#include "platform/files/atomic_file.h"
#include "platform/interaction/interaction.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <exception>
#include <new>

namespace zr::app {

namespace {

// Largest picture: 100 million pixels (400 MiB in memory), 16,384 pixels on a side.
constexpr qint64 kMaxPicturePixels = 100'000'000;
constexpr qint64 kMaxPictureSide = 16384;

// The message for a picture the size of which no memory would hold.
QString pictureTooLargeMessage(qint64 width, qint64 height) {
    return QStringLiteral("A imagem seria grande demais (%1 x %2 pixels): use uma escala menor.")
        .arg(width)
        .arg(height);
}

} // namespace

const QStringList& reportFormats(ReportContent kind) {
    static const QStringList text = {
        QStringLiteral("gvp"),  QStringLiteral("prn"), QStringLiteral("txt"), QStringLiteral("htm"),
        QStringLiteral("html"), QStringLiteral("pdf"), QStringLiteral("png")};
    static const QStringList prepared = {QStringLiteral("qp3"), QStringLiteral("pdf"),
                                         QStringLiteral("png")};
    static const QStringList none;
    return kind == ReportContent::TextReport       ? text
           : kind == ReportContent::PreparedReport ? prepared
                                                   : none;
}

QImage ReportDocument::pageImage(int page, double scale) {
    if (page < 1 || page > pageCount()) {
        m_ui.message(
            MessageKind::Error,
            QStringLiteral("O relatório não tem a página %1 (tem %2).").arg(page).arg(pageCount()));
        return {};
    }
    const QSize paper = pageSize(page);
    if (paper.isEmpty() || !(scale > 0)) {
        m_ui.message(MessageKind::Error, QStringLiteral("A página não pôde ser desenhada."));
        return {};
    }
    const qint64 width = std::max<qint64>(1, qRound64(paper.width() * scale));
    const qint64 height = std::max<qint64>(1, qRound64(paper.height() * scale));
    if (width * height > kMaxPicturePixels || width > kMaxPictureSide || height > kMaxPictureSide) {
        m_ui.message(MessageKind::Error, pictureTooLargeMessage(width, height));
        return {};
    }
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) {
        throw std::bad_alloc(); // the size is allowed: only memory was missing
    }
    image.fill(Qt::white);
    try {
        QPainter painter(&image);
        paintPage(page, painter, scale);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        m_ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return {};
    }
    return image;
}

PrintOutcome ReportDocument::print(const PrintRequest& request, const PrintLayout& layout,
                                   const std::vector<int>& pages) {
    if (const QString problem = request.problem(); !problem.isEmpty()) {
        m_ui.message(MessageKind::Error, problem);
        return {Outcome::failure(), 0};
    }
    return printPages(request, layout, pages);
}

Outcome ReportDocument::writePicture(const QString& target, const WriteOptions& options) {
    const QImage image = pageImage(options.page, options.scale);
    if (image.isNull()) {
        return Outcome::failure();
    }
    return writePng(image, target, m_ui);
}

Outcome writePng(const QImage& image, const QString& target, Interaction& ui) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        ui.message(MessageKind::Error, writeFailedMessage(target));
        return Outcome::failure();
    }
    AtomicFile file(target);
    if (!file.open() || !file.write(png) || !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(target, file.error()));
        return Outcome::failure(file.error());
    }
    return Outcome::success();
}

std::unique_ptr<ReportDocument> openReportDocument(const QString& path, Interaction& ui,
                                                   const DocumentSettings& settings,
                                                   bool* cancelled) {
    if (cancelled) {
        *cancelled = false;
    }
    QString error;
    switch (judgeReportFile(path, error)) {
    case ReportContent::TextReport:
        return openTextReportDocument(path, ui, settings, cancelled);
    case ReportContent::PreparedReport:
        return openPreparedReportDocument(path, nullptr, ui);
    case ReportContent::Unknown:
        break;
    }
    ui.message(MessageKind::Error, error);
    return nullptr;
}

std::unique_ptr<ReportDocument> openReportDocument(const QByteArray& bytes, ReportContent kind,
                                                   const QString& name, Interaction& ui) {
    switch (kind) {
    case ReportContent::TextReport:
        return openTextReportDocument(bytes, name, ui);
    case ReportContent::PreparedReport:
        return openPreparedReportDocument(name, &bytes, ui);
    case ReportContent::Unknown:
        break;
    }
    ui.message(MessageKind::Error,
               QStringLiteral("O arquivo não é um relatório Zeral (.GVP ou .QP3): ") + name);
    return nullptr;
}

} // namespace zr::app
