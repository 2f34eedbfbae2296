#include "report_format.h"

#include "textreport/gravana.h"

namespace zr::textreport {

std::optional<TextReportFormat> textReportFormatOf(QStringView extension) {
    const QString e = extension.toString().toLower();
    if (e == QLatin1String("gvp")) {
        return TextReportFormat::Gvp;
    }
    if (e == QLatin1String("prn")) {
        return TextReportFormat::Prn;
    }
    if (e == QLatin1String("txt")) {
        return TextReportFormat::Txt;
    }
    if (e == QLatin1String("htm") || e == QLatin1String("html")) {
        return TextReportFormat::Htm;
    }
    if (e == QLatin1String("pdf")) {
        return TextReportFormat::Pdf;
    }
    return std::nullopt;
}

std::optional<TextReportFormat> textReportFormatOfFileName(const QString& fileName) {
    const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= nameStart) {
        return std::nullopt;
    }
    return textReportFormatOf(QStringView(fileName).mid(dot + 1));
}

QString extensionOf(TextReportFormat format) {
    switch (format) {
    case TextReportFormat::Gvp:
        return QStringLiteral("GVP");
    case TextReportFormat::Prn:
        return QStringLiteral("PRN");
    case TextReportFormat::Txt:
        return QStringLiteral("TXT");
    case TextReportFormat::Htm:
        return QStringLiteral("HTM");
    case TextReportFormat::Pdf:
        return QStringLiteral("PDF");
    }
    return {};
}

void writeReportAs(TGravana& gravana, TextReportFormat format, const QString& fileName) {
    switch (format) {
    case TextReportFormat::Gvp:
        gravana.GravarRelatorio(fileName);
        return;
    case TextReportFormat::Prn:
        gravana.GravarPRN(fileName);
        return;
    case TextReportFormat::Txt:
        gravana.GravarTXT(fileName);
        return;
    case TextReportFormat::Htm:
        gravana.GravarHTML(fileName);
        return;
    case TextReportFormat::Pdf:
        gravana.GerarPDF(fileName);
        return;
    }
}

} // namespace zr::textreport
