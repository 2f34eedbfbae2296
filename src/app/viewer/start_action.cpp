#include "start_action.h"

#include "app/common/document_kind.h"
#include "app/common/report_content.h"
#include "main_window.h"
#include "platform/interaction/interaction.h"
#include "reportlib/pdf/qdx_export_pdf.h"

#include <QFileInfo>

namespace zr::app {

bool isExistingFile(const QString& path) {
    return QFileInfo(path).isFile();
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= u' ') {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString fileExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash) {
        return {};
    }
    return fileName.mid(dot);
}

QString pdfExportNameFor(const QString& fileName) {
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    return name.chopped(std::min<qsizetype>(4, name.size()));
}

StartDecision startActionFor(const QString& argument, const FileExists& exists) {
    const QString fileName = trimBlanks(argument);
    if (fileName.isEmpty() || !exists(fileName)) {
        return {};
    }
    const QString extension = fileExtension(fileName);
    if (extension == QLatin1String(".GVP")) {
        return {StartAction::OpenGvp, fileName, {}};
    }
    if (extension.toUpper() == QLatin1String(".QP3")) {
        // The trimmed name is the one known to exist, so it is also the one to load.
        return {StartAction::OpenQp3, fileName, pdfExportNameFor(fileName)};
    }
    return {};
}

QString desktopPdfExportName(const QString& fileName) {
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden file's name, not an extension.
    return dot > 0 ? name.left(dot) : name;
}

StartDecision openFileDecision(const QString& fileName, QString& problem) {
    problem.clear();
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists()) {
        problem = fileName.isEmpty()
                      ? QStringLiteral("Nenhum arquivo foi indicado para abrir.")
                      : QStringLiteral("O arquivo não foi encontrado:\r\r%1").arg(fileName);
        return {};
    }
    switch (reportContentOfFile(fileName)) {
    case ReportContent::TextReport:
        return {StartAction::OpenGvp, fileName, {}};
    case ReportContent::PreparedReport:
        return {StartAction::OpenQp3, fileName, desktopPdfExportName(fileName)};
    case ReportContent::Unknown:
        break;
    }
    problem = info.isFile() && !info.isReadable()
                  ? QStringLiteral("O arquivo não pode ser lido:\r\r%1").arg(fileName)
                  : QStringLiteral("O arquivo não é um relatório do ZeralVisualizador (.GVP ou "
                                   ".QP3):\r\r%1")
                        .arg(fileName);
    return {};
}

int openFromDesktop(TfrmMenu& window, Interaction& ui, const QString& fileName) {
    QString problem;
    const StartDecision decision = openFileDecision(fileName, problem);
    if (decision.action == StartAction::None) {
        ui.message(MessageKind::Error, problem, QString::fromUtf8(kViewerCaption));
        return 1;
    }
    window.openReport(decision.fileName, decision.pdfExportName);
    return 0;
}

StartAction openActionFor(const QString& fileName) {
    return detectDocumentKind(fileName) == DocumentKind::PreparedReport ? StartAction::OpenQp3
                                                                        : StartAction::OpenGvp;
}

} // namespace zr::app
