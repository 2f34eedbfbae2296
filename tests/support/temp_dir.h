#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace zr::test {

// A private folder for one test, removed afterwards.
class TempDir {
public:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString root() const { return m_dir.path(); }
    // Writes bytes to a file in the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    static QByteArray read(const QString& path);

private:
    QTemporaryDir m_dir;
};

} // namespace zr::test
