// zeralconv: converts saved reports without a display. All the work is in ConvertJob.

#include "app/common/qt_arguments.h"
#include "app/conv/convert_job.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/console_interaction.h"

#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Ctrl+C (or SIGTERM, what job runners and `timeout` send) stops the running job as if it had
// never run: every existing output file stays as it was. A second one ends the program at once.
void onInterrupt(int) { zr::CancelRequest::interrupt(); }

void installInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    installInterruptHandler();
    // The engines draw with Qt's painting classes, which need a GUI application; the offscreen
    // platform makes that work without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Without a desktop session there is no runtime folder; give Qt a private one quietly.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = "/tmp/zeralconv-runtime-" + QByteArray::number(getuid());
        if (mkdir(dir.constData(), 0700) == 0 || errno == EEXIST) {
            qputenv("XDG_RUNTIME_DIR", dir);
        }
    }
    zr::app::QtArguments arguments(argc, argv);
    QGuiApplication app(arguments.argc(), arguments.argv());
    QGuiApplication::setApplicationName(QStringLiteral("zeralconv"));

    QString error;
    const auto job = zr::app::ConvertJob::parse(arguments.arguments(), error);
    if (!job) {
        std::fprintf(stderr, "zeralconv: %s\n\n%s", error.toLocal8Bit().constData(),
                     zr::app::ConvertJob::usage().toLocal8Bit().constData());
        return zr::app::ExitUsage;
    }
    zr::ConsoleInteraction ui(stderr);
    return job->run(ui, stdout);
}
