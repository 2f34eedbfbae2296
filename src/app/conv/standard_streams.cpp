#include "standard_streams.h"

#include "app/common/report_file.h"
#include "platform/files/temporary_files.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zr::app {

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

Scratch::Scratch() : m_dir(QDir::tempPath() + QStringLiteral("/zeralconv-XXXXXX")) {
    if (m_dir.isValid()) {
        m_slots.push_back(TemporaryFiles::track(QFile::encodeName(m_dir.path())));
    }
}

Scratch::~Scratch() {
    for (const int slot : m_slots) {
        TemporaryFiles::untrack(slot);
    }
}

QString Scratch::file(const QString& name) {
    const QString path = m_dir.filePath(name);
    m_slots.push_back(TemporaryFiles::track(QFile::encodeName(path)));
    return path;
}

bool copyStandardInput(const QString& path, Interaction& ui) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ui.message(MessageKind::Error,
                   writeFailedMessage(path, int(file.error() != 0 ? errno : 0)));
        return false;
    }
    char buffer[64 * 1024];
    while (!CancelRequest::interrupted()) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ui.message(MessageKind::Error,
                       QStringLiteral("Erro na leitura da entrada padrão: ") + reason(errno));
            return false;
        }
        if (file.write(buffer, n) != n) {
            ui.message(MessageKind::Error, writeFailedMessage(path, errno));
            return false;
        }
    }
    return false;
}

bool outputFlushed(std::FILE* out, Interaction& ui, int error) {
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out) != 0 || error != 0) {
        error = error != 0 ? error : errno;
        ui.message(MessageKind::Error, QStringLiteral("Erro na gravação da saída padrão: ") +
                                           reason(error != 0 ? error : EIO));
        std::clearerr(out);
        return false;
    }
    return true;
}

bool copyToOutput(const QString& path, std::FILE* out, Interaction& ui) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui.message(MessageKind::Error, openFailedMessage(path, ENOENT));
        return false;
    }
    while (!file.atEnd() && !CancelRequest::interrupted()) {
        const QByteArray chunk = file.read(256 * 1024);
        errno = 0;
        if (chunk.isEmpty() || std::fwrite(chunk.constData(), 1, std::size_t(chunk.size()), out) !=
                                   std::size_t(chunk.size())) {
            outputFlushed(out, ui, errno != 0 ? errno : EIO);
            return false;
        }
    }
    return outputFlushed(out, ui) && !CancelRequest::interrupted();
}

} // namespace zr::app
