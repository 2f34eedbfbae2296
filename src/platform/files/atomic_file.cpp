#include "atomic_file.h"

#include "platform/files/temporary_files.h"
#include "platform/interaction/cancel_request.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr {

namespace {
constexpr qsizetype kBufferSize = 256 * 1024;
constexpr qsizetype kNameMax = 255; // bytes in one file name (NAME_MAX of Linux file systems)

// The hidden temporary name for a file called `name`: ".NAME.zrtmp-XXXXXX", with NAME cut short
// (at a character boundary) when the whole would not fit in one file name.
QByteArray temporaryName(QByteArray name) {
    static constexpr char kSuffix[] = ".zrtmp-XXXXXX";
    const qsizetype room = kNameMax - 1 - qsizetype(sizeof kSuffix - 1);
    if (name.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (uchar(name[cut]) & 0xC0) == 0x80) {
            --cut; // not inside a UTF-8 sequence
        }
        name.truncate(cut);
    }
    return '.' + name + kSuffix;
}
} // namespace

AtomicFile::AtomicFile(QString path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
    discard();
    m_errno = 0;
    if (m_path.isEmpty()) {
        m_errno = ENOENT;
        return false;
    }
    m_target = QFile::encodeName(m_path);
    // Write through a symbolic link rather than replacing the link itself.
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(m_target.constData(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(m_target.constData(), resolved)) {
        m_target = resolved;
    }
    // An existing target that may not be written (read-only, a folder) is refused here, as an
    // in-place write would be, rather than silently replaced by the rename.
    m_direct = false;
    const int found = ::stat(m_target.constData(), &st) == 0 ? 0 : errno;
    // A name too long for its file system is refused before anything is written: the
    // temporary file's shortened name would fit, and only the last rename would fail.
    if (found == ENAMETOOLONG) {
        m_errno = ENAMETOOLONG;
        return false;
    }
    if (found == 0) {
        if (S_ISDIR(st.st_mode)) {
            m_errno = EISDIR;
        } else if (::access(m_target.constData(), W_OK) != 0) {
            m_errno = errno == EROFS ? EROFS : EACCES;
        }
        if (m_errno != 0) {
            return false;
        }
        // A device or pipe is no file to replace (renaming over it would remove it): it is
        // written as it is.
        if (!S_ISREG(st.st_mode)) {
            m_direct = true;
            if (m_probe) {
                return true;
            }
            m_fd = ::open(m_target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (m_fd < 0) {
                m_errno = errno;
                return false;
            }
            m_buffer.reserve(kBufferSize);
            return true;
        }
    }
    // A hidden name in the target's folder (same file system, so the rename is atomic): a file
    // left behind by a save that was killed outright does not clutter the folder.
    const qsizetype slash = m_target.lastIndexOf('/');
    m_temp = m_target.left(slash + 1) + temporaryName(m_target.mid(slash + 1));
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0) {
        m_errno = errno;
        m_temp.clear();
        return false;
    }
    m_slot = TemporaryFiles::track(m_temp);
    mode_t mode = 0666;
    if (::stat(m_target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(m_fd, mode);
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (m_fd < 0 || m_errno != 0) {
        if (m_errno == 0) {
            m_errno = EBADF;
        }
        return false;
    }
    if (m_buffer.size() + bytes.size() > kBufferSize && !flushBuffer()) {
        return false;
    }
    if (bytes.size() >= kBufferSize) {
        m_buffer.append(bytes);
        return flushBuffer();
    }
    m_buffer.append(bytes);
    return true;
}

bool AtomicFile::flushBuffer() {
    const char* p = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail();
            return false;
        }
        p += n;
        left -= n;
    }
    m_buffer.clear();
    return true;
}

void AtomicFile::fail() {
    if (m_errno == 0) {
        m_errno = errno != 0 ? errno : EIO;
    }
}

bool AtomicFile::commit() {
    if (m_fd < 0 || m_errno != 0) {
        if (m_errno == 0) {
            m_errno = EBADF;
        }
        discard();
        return false;
    }
    if (CancelRequest::interrupted()) {
        // The program was told to stop: nothing may replace what is on disk any more.
        m_errno = ECANCELED;
        discard();
        return false;
    }
    bool ok = flushBuffer();
    if (m_direct) {
        // Nothing to sync or rename: a pipe or device has taken the bytes as they came.
        if (::close(m_fd) != 0 && ok) {
            fail();
            ok = false;
        }
        m_fd = -1;
        m_buffer.clear();
        return ok;
    }
    if (ok && ::fsync(m_fd) != 0) {
        fail();
        ok = false;
    }
    if (::close(m_fd) != 0 && ok) {
        fail();
        ok = false;
    }
    m_fd = -1;
    if (ok && CancelRequest::interrupted()) {
        m_errno = ECANCELED;
        ok = false;
    }
    TemporaryFiles::untrack(m_slot);
    m_slot = -1;
    if (ok && ::rename(m_temp.constData(), m_target.constData()) != 0) {
        fail();
        ok = false;
    }
    if (!ok) {
        ::unlink(m_temp.constData());
    }
    m_temp.clear();
    m_buffer.clear();
    return ok;
}

void AtomicFile::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    TemporaryFiles::untrack(m_slot);
    m_slot = -1;
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
    m_buffer.clear();
}

int AtomicFile::writableError(const QString& path) {
    AtomicFile probe(path);
    probe.m_probe = true;
    if (!probe.open()) {
        return probe.error();
    }
    probe.discard();
    return 0;
}

QString AtomicFile::errorString() const {
    return m_errno != 0 ? QString::fromLocal8Bit(std::strerror(m_errno)) : QString();
}

} // namespace zr
