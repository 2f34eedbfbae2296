#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zr {

// Writes a file so that it either appears whole or not at all: the bytes go to a hidden
// temporary file in the target's folder (".NAME.zrtmp-XXXXXX", NAME shortened when the target's
// name is too long for that), and commit() renames it over
// the target. Until commit() succeeds an
// existing file of that name stays exactly as it was; destroying an uncommitted AtomicFile (a
// failed or cancelled save) removes the temporary file. A target that is a symbolic link is
// written through the link; an existing target keeps its permission bits. A target that is no
// regular file (a named pipe, a terminal, /dev/stdout, /dev/null) cannot be replaced: it is
// written directly, as a stream, and commit() only flushes and closes it (what was written
// before a failure or an interruption has gone). Folders, read-only targets and names too long for
// the file system (ENAMETOOLONG) are refused by open(). The temporary file is registered with
// TemporaryFiles while it exists.
class AtomicFile {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (opens a pipe or device). False on failure (see error()).
    bool open();
    // The error open() would meet for `path` (0 when none), found without writing or opening a
    // pipe or device (opening a pipe would wait for its reader).
    static int writableError(const QString& path);
    // Whether the target is written directly (no regular file).
    bool direct() const { return m_direct; }
    // Appends bytes (buffered). False once any write has failed.
    bool write(QByteArrayView bytes);
    // Flushes, syncs and renames the temporary file over the target. False on failure, in which
    // case the target is untouched and the temporary file removed. Once the program has been
    // interrupted (CancelRequest::interrupt) it always fails, with ECANCELED.
    bool commit();
    // Drops what was written; the target is untouched.
    void discard();

    const QString& path() const { return m_path; }
    // The system error number (errno) of the first failure, 0 when none.
    int error() const { return m_errno; }
    QString errorString() const;

private:
    bool flushBuffer();
    void fail();

    QString m_path;
    QByteArray m_target; // the final path, links resolved, in the file system's encoding
    QByteArray m_temp;
    QByteArray m_buffer;
    int m_fd = -1;
    int m_errno = 0;
    int m_slot = -1; // in TemporaryFiles
    bool m_direct = false;
    bool m_probe = false; // writableError(): look, do not open a pipe or device
};

} // namespace zr
