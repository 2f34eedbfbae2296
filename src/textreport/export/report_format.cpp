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

Outcome writeReportAs(TGravana& gravana, TextReportFormat format, const QString& fileName) {
    switch (format) {
    case TextReportFormat::Gvp:
        return gravana.GravarRelatorio(fileName);
    case TextReportFormat::Prn:
        return gravana.GravarPRN(fileName);
    case TextReportFormat::Txt:
        return gravana.GravarTXT(fileName);
    case TextReportFormat::Htm:
        return gravana.GravarHTML(fileName);
    case TextReportFormat::Pdf:
        return gravana.GerarPDF(fileName);
    }
    return Outcome::failure();
}

} // namespace zr::textreport
