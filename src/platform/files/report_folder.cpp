#include "report_folder.h"

#include <QDir>
#include <QFileInfo>

namespace zr {

namespace {

QString& lastFolder() {
    static QString folder;
    return folder;
}

} // namespace

QString reportFolder(const QString& currentFile) {
    if (!currentFile.isEmpty()) {
        const QFileInfo file(currentFile);
        if (file.absoluteDir().exists()) {
            return file.absolutePath();
        }
    }
    if (!lastFolder().isEmpty() && QDir(lastFolder()).exists()) {
        return lastFolder();
    }
    return QDir::homePath();
}

void rememberReportFolder(const QString& chosenFile) {
    if (!chosenFile.isEmpty()) {
        lastFolder() = QFileInfo(chosenFile).absolutePath();
    }
}

} // namespace zr
