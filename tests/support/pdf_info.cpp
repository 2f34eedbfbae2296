#include "pdf_info.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
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

ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    ProgramRun r;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        return r;
    }
    r.found = true;
    QProcess p;
    p.start(path, arguments);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = "did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString qpdfCheckProblems(const QString& path, const QString& password) {
    QStringList arguments{QStringLiteral("--check")};
    if (!password.isEmpty()) {
        arguments << QStringLiteral("--password=") + password;
    }
    arguments << path;
    const ProgramRun r = runProgram(QStringLiteral("qpdf"), arguments);
    if (!r.found) {
        return QStringLiteral("qpdf missing");
    }
    if (r.exitCode != 0 || r.out.contains("WARNING") || !r.err.isEmpty()) {
        return QStringLiteral("qpdf --check exit %1:\n%2%3")
            .arg(r.exitCode)
            .arg(QString::fromUtf8(r.out), QString::fromUtf8(r.err));
    }
    return {};
}

std::optional<QByteArray> popplerText(const QString& path, const QString& password) {
    QStringList arguments{QStringLiteral("-layout"), QStringLiteral("-enc"),
                          QStringLiteral("UTF-8")};
    if (!password.isEmpty()) {
        arguments << QStringLiteral("-upw") << password;
    }
    arguments << path << QStringLiteral("-");
    const ProgramRun r = runProgram(QStringLiteral("pdftotext"), arguments);
    if (!r.found || r.exitCode != 0) {
        return std::nullopt;
    }
    return r.out;
}

QStringList popplerPageTexts(const QByteArray& pdf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pages.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        return {};
    }
    file.close();
    const std::optional<QByteArray> text = popplerText(path);
    QStringList pages = text ? QString::fromUtf8(*text).split(QLatin1Char('\f')) : QStringList();
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast(); // after the last page's form feed
    }
    for (QString& page : pages) {
        page = page.simplified();
    }
    return pages;
}

std::optional<QByteArray> pdfjsText(const QString& script, const QString& path,
                                    const QString& password, bool& available, QString* error) {
    QStringList arguments{script, path};
    if (!password.isEmpty()) {
        arguments << password;
    }
    const ProgramRun r = runProgram(QStringLiteral("node"), arguments);
    available = r.found && r.exitCode != 2;
    if (!available || r.exitCode != 0) {
        if (error) {
            *error = QString::fromUtf8(r.err);
        }
        return std::nullopt;
    }
    return r.out;
}

} // namespace zr::test
