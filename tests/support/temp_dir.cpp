#include "temp_dir.h"

#include <QFile>

namespace zr::test {

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = path(name);
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
    }
    return p;
}

QByteArray TempDir::read(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

} // namespace zr::test
