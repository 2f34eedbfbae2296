#include "display_path.h"

#include <QDir>

#include <algorithm>
#include <cstring>

namespace zr {

namespace {

const QChar kEllipsis(0x2026);

QString cutInTheMiddle(const QString& text, int length) {
    const int kept = std::max(0, length - 1);
    return text.left(kept - kept / 2) + kEllipsis + text.right(kept / 2);
}

} // namespace

QString displayPath(const QString& path, int maxChars) {
    const QString shown = QDir::toNativeSeparators(path);
    if (shown.size() <= maxChars) {
        return shown;
    }
    const qsizetype slash = shown.lastIndexOf(QDir::separator());
    const QString name = shown.mid(slash + 1);
    // The start of the folder that is worth keeping beside the name: a few characters at least.
    constexpr int kFolderStart = 12;
    if (slash < 0 || name.size() + 2 + kFolderStart > maxChars) {
        return cutInTheMiddle(shown, maxChars);
    }
    // "/home/ana/rel…/name": the folder's start, the ellipsis, the separator and the name.
    return shown.left(maxChars - name.size() - 2) + kEllipsis + QDir::separator() + name;
}

QString systemReason(int error) {
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
}

} // namespace zr
