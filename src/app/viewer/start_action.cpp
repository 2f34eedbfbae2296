#include "start_action.h"

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

StartAction openActionFor(const QString& fileName) {
    return fileExtension(fileName).toUpper() == QLatin1String(".QP3") ? StartAction::OpenQp3
                                                                      : StartAction::OpenGvp;
}

} // namespace zr::app
