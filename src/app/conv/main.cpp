// zeralconv: converts saved reports without a display. All the work is in ConvertJob.

#include "app/common/qt_arguments.h"
#include "app/conv/convert_job.h"
#include "platform/files/temporary_files.h"
#include "platform/fonts/font_configuration.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/console_interaction.h"

#include <QGuiApplication>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> g_signals{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Ctrl+C (or SIGTERM, what job runners and `timeout` send) stops the running job as if it had
// never run: every existing output file stays as it was. A second signal while the first is
// being honoured is ignored (`timeout` signals the process and then its group); a third ends
// the program at once, after removing its temporary files.
void onInterrupt(int) {
    const int count = g_signals.fetch_add(1) + 1;
    if (count == 1) {
        zr::CancelRequest::interrupt();
    } else if (count >= 3) {
        zr::TemporaryFiles::removeAll();
        static const char message[] = "zeralconv: Operação cancelada.\n";
        (void)!::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(zr::app::ExitFailed);
    }
}

void installInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Every message of the program starts with its name, as those of the tools around it do.
class ProgramMessages final : public zr::ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(zr::MessageKind kind, const QString& text, const QString& caption = {}) override {
        ForwardingInteraction::message(kind, QStringLiteral("zeralconv: ") + text, caption);
    }
};

} // namespace

int main(int argc, char** argv) {
    installInterruptHandler();
    // The engines draw with Qt's painting classes, which need a GUI application; the offscreen
    // platform makes that work without a display. It is the converter's platform whatever the
    // environment names: another one (xcb without a display, wayland) would end the program
    // before it starts, and none would draw differently.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard output is written in one piece where it fits, so that a failing write is seen
    // (with its reason) when the job flushes it.
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    // Without a desktop session there is no runtime folder; give Qt a private one quietly.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = "/tmp/zeralconv-runtime-" + QByteArray::number(getuid());
        if (mkdir(dir.constData(), 0700) == 0 || errno == EEXIST) {
            qputenv("XDG_RUNTIME_DIR", dir);
        }
    }
    zr::app::QtArguments arguments(argc, argv);
    // The stand-ins for the Windows font families, for Qt's font database as for the PDF.
    zr::fonts::EnsureFontConfiguration();
    QGuiApplication app(arguments.argc(), arguments.argv());
    QGuiApplication::setApplicationName(QStringLiteral("zeralconv"));

    QString error;
    const auto job = zr::app::ConvertJob::parse(arguments.arguments(), error);
    if (!job) {
        std::fprintf(stderr, "zeralconv: %s\n%s\n", error.toLocal8Bit().constData(),
                     zr::app::ConvertJob::usageHint().toLocal8Bit().constData());
        return zr::app::ExitUsage;
    }
    zr::ConsoleInteraction console(stderr);
    ProgramMessages ui(console);
    const int code = job->run(ui, stdout);
    // A file system that reports a failed write only when the file is closed (NFS) is heard
    // here.
    if (std::fclose(stdout) != 0 && code == zr::app::ExitDone) {
        const int closeError = errno;
        std::fprintf(stderr, "zeralconv: Erro na gravação da saída padrão: %s\n",
                     std::strerror(closeError));
        return zr::app::ExitFailed;
    }
    return code;
}
