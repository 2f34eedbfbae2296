#include "file_message.h"

#include "platform/files/display_path.h"

namespace zr::textreport {

QString fileMessage(const QString& what, const QString& fileName, const QString& reason) {
    QString text = what + QStringLiteral("\r\rArquivo: ") + displayPath(fileName);
    if (!reason.isEmpty()) {
        text += QLatin1Char('\r') + reason;
    }
    return text;
}

QString fileMessage(const QString& what, const QString& fileName, int error) {
    return fileMessage(what, fileName, systemReason(error));
}

} // namespace zr::textreport
