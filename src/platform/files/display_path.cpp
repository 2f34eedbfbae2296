#include "display_path.h"

#include <QDir>

#include <cstring>

namespace zr {

QString displayPath(const QString& path, int maxChars) {
    const QString shown = QDir::toNativeSeparators(path);
    if (maxChars < 8 || shown.size() <= maxChars) {
        return shown;
    }
    const qsizetype head = maxChars / 3;
    const qsizetype tail = maxChars - head - 1;
    return shown.left(head) + QChar(0x2026) + shown.right(tail);
}

QString systemReason(int error) {
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
}

} // namespace zr
