#include "private_cupsd.h"

#include <QDir>
#include <QFile>

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::test {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long the scheduler may take to start answering, and to stop.
constexpr auto kStartLimit = 30s;
constexpr auto kStopLimit = 10s;

std::optional<QByteArray> takeEnv(const char* name) {
    std::optional<QByteArray> old;
    if (qEnvironmentVariableIsSet(name)) {
        old = qgetenv(name);
    }
    qunsetenv(name);
    return old;
}

void restoreEnv(const char* name, const std::optional<QByteArray>& value) {
    if (value) {
        qputenv(name, *value);
    } else {
        qunsetenv(name);
    }
}

QString findCupsd() {
    for (const char* path : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd", "/sbin/cupsd"}) {
        if (::access(path, X_OK) == 0) {
            return QString::fromLatin1(path);
        }
    }
    return {};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Waits up to `limit` for a child to end; true when it did.
bool waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
}

} // namespace

// A printer's raw socket port on 127.0.0.1: each connection brings one job, read until the
// sender closes its side; then the connection is closed, which tells the sender the job is done.
class PrivateCupsd::LoopbackPrinter {
public:
    LoopbackPrinter() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listen < 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
            return;
        }
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof addr;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 4) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            return;
        }
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~LoopbackPrinter() {
        if (m_thread.joinable()) {
            const char stop = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &stop, 1);
            m_thread.join();
        }
        for (int fd : {m_listen, m_wake[0], m_wake[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    int port() const { return m_port; }

    std::optional<QByteArray> nextJob(int timeoutMs) {
        std::unique_lock lock(m_mutex);
        if (!m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return !m_jobs.empty(); })) {
            return std::nullopt;
        }
        QByteArray job = std::move(m_jobs.front());
        m_jobs.pop_front();
        return job;
    }

private:
    // Waits for `fd` to be readable; false when the printer is being stopped.
    bool waitReadable(int fd) const {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        while (true) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            return (fds[1].revents & POLLIN) == 0;
        }
    }

    void run() {
        while (waitReadable(m_listen)) {
            const int conn = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn < 0) {
                continue;
            }
            QByteArray job;
            bool whole = false;
            char buffer[16384];
            while (waitReadable(conn)) {
                const ssize_t n = ::recv(conn, buffer, sizeof buffer, 0);
                if (n > 0) {
                    job.append(buffer, qsizetype(n));
                } else if (n == 0) {
                    whole = true;
                    break;
                } else if (errno != EINTR) {
                    break;
                }
            }
            ::close(conn);
            if (!whole && job.isEmpty()) {
                continue; // stopped, or a connection that broke before bringing anything
            }
            {
                const std::lock_guard lock(m_mutex);
                m_jobs.push_back(std::move(job));
            }
            m_arrived.notify_all();
        }
    }

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<QByteArray> m_jobs;
};

PrivateCupsd::PrivateCupsd() {
    m_savedServer = takeEnv("CUPS_SERVER");
    m_savedPrinter = takeEnv("PRINTER");
    m_savedLpdest = takeEnv("LPDEST");
    if (start()) {
        qputenv("CUPS_SERVER", server().toLocal8Bit());
        // libcups keeps the server name per thread once read; make this thread read it again.
        cupsSetServer(nullptr);
    } else {
        stop();
    }
}

PrivateCupsd::~PrivateCupsd() {
    stop();
    m_printers.clear();
    restoreEnv("CUPS_SERVER", m_savedServer);
    restoreEnv("PRINTER", m_savedPrinter);
    restoreEnv("LPDEST", m_savedLpdest);
    cupsSetServer(nullptr);
}

QString PrivateCupsd::server() const {
    return m_dir.filePath(QStringLiteral("cupsd.sock"));
}

QString PrivateCupsd::spoolDirectory() const {
    return m_dir.filePath(QStringLiteral("spool"));
}

bool PrivateCupsd::start() {
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("cannot create a temporary folder for cupsd");
        return false;
    }
    const QString cupsd = findCupsd();
    if (cupsd.isEmpty()) {
        m_failure = QStringLiteral("cupsd is not installed (package cups-daemon)");
        return false;
    }
    const QString root = m_dir.path();
    if (server().toLocal8Bit().size() >= 100) {
        m_failure = QStringLiteral("the temporary folder's path is too long for a socket");
        return false;
    }
    // The scheduler runs filters and backends as an unprivileged user: they must reach the spool.
    ::chmod(QFile::encodeName(root).constData(), 0755);
    for (const char* sub : {"spool/tmp", "cache", "state", "log"}) {
        QDir(root).mkpath(QString::fromLatin1(sub));
    }
    const QByteArray r = QFile::encodeName(root);
    QByteArray conf = "LogLevel warn\n"
                      "Listen $ROOT/cupsd.sock\n"
                      "Browsing No\n"
                      "BrowseLocalProtocols none\n"
                      "DefaultAuthType None\n"
                      "WebInterface No\n"
                      "ErrorPolicy abort-job\n"
                      "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                      "<Policy default>\n"
                      "  JobPrivateAccess all\n  JobPrivateValues none\n"
                      "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
                      "  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n"
                      "</Policy>\n";
    QByteArray files = "FileDevice Yes\n"
                       "ServerRoot $ROOT\n"
                       "RequestRoot $ROOT/spool\n"
                       "TempDir $ROOT/spool/tmp\n"
                       "CacheDir $ROOT/cache\n"
                       "StateDir $ROOT/state\n"
                       "ErrorLog $ROOT/log/error_log\n"
                       "AccessLog $ROOT/log/access_log\n"
                       "PageLog $ROOT/log/page_log\n"
                       "SystemGroup root\n";
    conf.replace("$ROOT", r);
    files.replace("$ROOT", r);
    const QString confPath = m_dir.filePath(QStringLiteral("cupsd.conf"));
    const QString filesPath = m_dir.filePath(QStringLiteral("cups-files.conf"));
    if (!writeFile(confPath, conf) || !writeFile(filesPath, files)) {
        m_failure = QStringLiteral("cannot write the cupsd configuration");
        return false;
    }

    const QByteArray program = QFile::encodeName(cupsd);
    QByteArray confArg = QFile::encodeName(confPath);
    QByteArray filesArg = QFile::encodeName(filesPath);
    const QByteArray outPath = r + "/log/cupsd.out";
    char arg0[] = "cupsd";
    char argF[] = "-f";
    char argC[] = "-c";
    char argS[] = "-s";
    char* argv[] = {arg0, argF, argC, confArg.data(), argS, filesArg.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = posix_spawn(&m_pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        m_failure = QStringLiteral("cannot run %1: %2")
                        .arg(cupsd, QString::fromLocal8Bit(strerror(spawned)));
        return false;
    }

    const QByteArray socketPath = QFile::encodeName(server());
    const auto deadline = Clock::now() + kStartLimit;
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_failure =
                QStringLiteral("cupsd stopped at once (status %1): %2").arg(status).arg(logTail());
            return false;
        }
        if (http_t* http = httpConnect2(socketPath.constData(), 0, nullptr, AF_UNSPEC,
                                        HTTP_ENCRYPTION_NEVER, 1, 500, nullptr)) {
            ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_PRINTERS), "/");
            httpClose(http);
            if (response) {
                ippDelete(response);
                return true;
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    m_failure = QStringLiteral("cupsd did not answer in time: %1").arg(logTail());
    return false;
}

bool PrivateCupsd::restart() {
    stop();
    m_failure.clear();
    return start();
}

void PrivateCupsd::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (!waitForExit(m_pid, kStopLimit)) {
        ::kill(m_pid, SIGKILL);
        waitForExit(m_pid, kStopLimit);
    }
    m_pid = -1;
}

QString PrivateCupsd::logTail() const {
    QByteArray log;
    for (const char* name : {"log/cupsd.out", "log/error_log"}) {
        QFile f(m_dir.filePath(QString::fromLatin1(name)));
        if (f.open(QIODevice::ReadOnly)) {
            log += f.readAll();
        }
    }
    return QString::fromLocal8Bit(log.right(2000)).trimmed();
}

bool PrivateCupsd::administer(int operation, const QString& queue, const QString& deviceUri,
                              const QByteArray& ppd) {
    if (!running()) {
        return false;
    }
    http_t* http = connect();
    if (!http) {
        return false;
    }
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.toUtf8().constData());
    ipp_t* request = ippNewRequest(ipp_op_t(operation));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ipp_t* response = nullptr;
    if (operation == IPP_OP_CUPS_ADD_MODIFY_PRINTER) {
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
                     deviceUri.toUtf8().constData());
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        if (ppd.isEmpty()) {
            ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "ppd-name", nullptr, "raw");
            response = cupsDoRequest(http, request, "/admin/");
        } else {
            const QString ppdPath = m_dir.filePath(queue + QStringLiteral(".ppd"));
            if (!writeFile(ppdPath, ppd)) {
                ippDelete(request);
                httpClose(http);
                return false;
            }
            response =
                cupsDoFileRequest(http, request, "/admin/", QFile::encodeName(ppdPath).constData());
        }
    } else {
        response = cupsDoRequest(http, request, "/admin/");
    }
    const bool ok = response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    ippDelete(response);
    httpClose(http);
    return ok;
}

bool PrivateCupsd::addQueue(const QString& name, const QByteArray& ppd) {
    auto printer = std::make_unique<LoopbackPrinter>();
    if (printer->port() == 0) {
        return false;
    }
    const QString uri = QStringLiteral("socket://127.0.0.1:%1").arg(printer->port());
    if (!administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name, uri, ppd)) {
        return false;
    }
    m_printers[name] = std::move(printer);
    return true;
}

bool PrivateCupsd::addQueueOnDevice(const QString& name, const QString& deviceUri) {
    return administer(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name, deviceUri, {});
}

bool PrivateCupsd::removeQueue(const QString& name) {
    return administer(IPP_OP_CUPS_DELETE_PRINTER, name, {}, {});
}

bool PrivateCupsd::setDefault(const QString& name) {
    return administer(IPP_OP_CUPS_SET_DEFAULT, name, {}, {});
}

bool PrivateCupsd::rejectJobs(const QString& name) {
    return administer(IPP_OP_CUPS_REJECT_JOBS, name, {}, {});
}

std::optional<QByteArray> PrivateCupsd::nextJob(const QString& queue, int timeoutMs) {
    const auto it = m_printers.find(queue);
    if (it == m_printers.end()) {
        return std::nullopt;
    }
    return it->second->nextJob(timeoutMs);
}

http_t* PrivateCupsd::connect() const {
    const QByteArray socketPath = QFile::encodeName(server());
    return httpConnect2(socketPath.constData(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                        5000, nullptr);
}

QString PrivateCupsd::newestJobTitle(const QString& queue) const {
    return newestJobAttribute(queue, "job-name");
}

QString PrivateCupsd::newestJobAttribute(const QString& queue, const char* name) const {
    if (!running()) {
        return {};
    }
    http_t* http = connect();
    if (!http) {
        return {};
    }
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(http, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    int newest = 0;
    for (int i = 0; i < count; ++i) {
        newest = std::max(newest, jobs[i].id);
    }
    cupsFreeJobs(count, jobs);
    QString value;
    if (newest > 0) {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(newest);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
        ipp_t* response = cupsDoRequest(http, request, "/jobs/");
        if (ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO)) {
            // Any type as text: keywords and names as they are, numbers in decimal.
            char text[1024] = {};
            ippAttributeString(attr, text, sizeof text);
            value = QString::fromUtf8(text);
        }
        ippDelete(response);
    }
    httpClose(http);
    return value;
}

} // namespace zr::test
