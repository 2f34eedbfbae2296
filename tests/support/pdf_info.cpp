#include "pdf_info.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace zr::test {

bool pdfInfoAvailable() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

std::optional<PdfInfo> pdfInfo(const QByteArray& pdf) {
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) {
        return std::nullopt;
    }
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {file.fileName()});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    PdfInfo info;
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                  QRegularExpression::MultilineOption);
    const QRegularExpression title(QStringLiteral("^Title:\\s+(.*)$"),
                                   QRegularExpression::MultilineOption);
    if (const auto m = pages.match(out); m.hasMatch()) {
        info.pages = m.captured(1).toInt();
    }
    if (const auto m = size.match(out); m.hasMatch()) {
        info.pageSize = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    if (const auto m = title.match(out); m.hasMatch()) {
        info.title = m.captured(1).trimmed();
    }
    return info;
}

} // namespace zr::test
