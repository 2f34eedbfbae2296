#include "file_message.h"

#include <algorithm>
#include <cstring>

namespace zr::textreport {

namespace {

const QChar kEllipsis(0x2026);

QString cutInTheMiddle(const QString& text, qsizetype length) {
    const qsizetype kept = std::max<qsizetype>(0, length - 1);
    return text.left(kept - kept / 2) + kEllipsis + text.right(kept / 2);
}

} // namespace

QString shownPath(const QString& path, qsizetype length) {
    if (path.size() <= length) {
        return path;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    // The start of the folder that is worth keeping beside the name: a few characters at least.
    constexpr qsizetype kFolderStart = 12;
    if (slash < 0 || name.size() + 2 + kFolderStart > length) {
        return cutInTheMiddle(path, length);
    }
    // "/home/ana/rel…/name": the folder's start, the ellipsis, the slash and the name.
    return path.left(length - name.size() - 2) + kEllipsis + QLatin1Char('/') + name;
}

QString fileMessage(const QString& what, const QString& fileName, const QString& reason) {
    QString text = what + QStringLiteral("\r\rArquivo: ") + shownPath(fileName);
    if (!reason.isEmpty()) {
        text += QLatin1Char('\r') + reason;
    }
    return text;
}

QString fileMessage(const QString& what, const QString& fileName, int error) {
    return fileMessage(what, fileName,
                       error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString());
}

} // namespace zr::textreport
