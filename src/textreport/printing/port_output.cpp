#include "port_output.h"

#include "platform/files/atomic_file.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr::textreport {

struct PortOutput::File {
    explicit File(const QString& path) : file(path) {}
    AtomicFile file;
};

PortOutput::~PortOutput() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

QString PortOutput::devicePath(const QString& port) {
    static const QRegularExpression classic(QStringLiteral("^(LPT|COM)([1-9]):?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString name = port.trimmed();
    if (name.compare(QLatin1String("PRN"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("PRN:"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("/dev/lp0");
    }
    const QRegularExpressionMatch m = classic.match(name);
    if (!m.hasMatch()) {
        return port;
    }
    const int index = m.captured(2).toInt() - 1;
    const bool parallel = m.captured(1).compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0;
    return (parallel ? QStringLiteral("/dev/lp%1") : QStringLiteral("/dev/ttyS%1")).arg(index);
}

std::unique_ptr<PortOutput> PortOutput::open(const QString& port, int& error) {
    error = 0;
    std::unique_ptr<PortOutput> out(new PortOutput);
    const QString path = devicePath(port);
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (!path.isEmpty() && ::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISDIR(st.st_mode)) {
        out->m_fd = ::open(native.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (out->m_fd < 0) {
            error = errno;
            return nullptr;
        }
        return out;
    }
    out->m_file = std::make_unique<File>(path);
    if (!out->m_file->file.open()) {
        error = out->m_file->file.error();
        return nullptr;
    }
    return out;
}

bool PortOutput::write(QByteArrayView bytes) {
    if (m_file) {
        if (!m_file->file.write(bytes)) {
            m_errno = m_file->file.error();
            return false;
        }
        return true;
    }
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (m_errno == 0) {
                m_errno = errno;
            }
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool PortOutput::finish() {
    if (m_file) {
        if (!m_file->file.commit()) {
            if (m_errno == 0) {
                m_errno = m_file->file.error();
            }
            return false;
        }
        return m_errno == 0;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0 && m_errno == 0) {
        m_errno = errno;
    }
    return m_errno == 0;
}

} // namespace zr::textreport
