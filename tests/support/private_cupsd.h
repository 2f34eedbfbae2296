#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <optional>

#include <sys/types.h>

typedef struct _http_s http_t;

namespace zr::test {

// A CUPS scheduler of the test's own: configuration, spool, state and logs in a temporary
// folder, listening only on a socket in that folder, no browsing or sharing. While it lives,
// this process's CUPS clients (libcups, and Qt's printing through it) talk to it: CUPS_SERVER
// names its socket, and PRINTER and LPDEST are unset so that its default printer counts.
//
// Its queues send jobs to printers of the harness on the loopback network (the AppSocket
// protocol, the CUPS "socket" backend): each job arrives there byte for byte, as a printer
// would get it, and nextJob() hands it to the test.
//
//   PrivateCupsd cups;
//   if (!cups.running()) GTEST_SKIP() << cups.failure();
//   cups.addQueue("laser");
//   ... print on "laser" ...
//   std::optional<QByteArray> bytes = cups.nextJob("laser");
class PrivateCupsd {
public:
    // Starts the scheduler and waits (bounded) until it answers.
    PrivateCupsd();
    // Stops the scheduler (SIGTERM, then SIGKILL) and restores the environment.
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    bool running() const { return m_failure.isEmpty(); }
    // Why the scheduler could not start (empty while it runs), with the end of its log.
    const QString& failure() const { return m_failure; }
    // The scheduler's socket: a CUPS server name.
    QString server() const;
    // Where the scheduler keeps the documents of its jobs ("d" files) while they come in.
    QString spoolDirectory() const;

    // Adds an enabled queue that accepts jobs and sends them to a printer of the harness. With
    // `ppd`, the queue describes its printer by that PPD text (jobs in page formats are then
    // converted by the scheduler's filters; raw jobs never are); without, it is a raw queue.
    // False on failure.
    bool addQueue(const QString& name, const QByteArray& ppd = {});
    // Adds an enabled raw queue whose device is `deviceUri`; nothing reads what it prints.
    bool addQueueOnDevice(const QString& name, const QString& deviceUri);
    bool removeQueue(const QString& name);
    bool setDefault(const QString& name);
    // Makes a queue refuse new jobs (as "cupsreject" does).
    bool rejectJobs(const QString& name);

    // The bytes of the next job the printer of `queue` received, waiting up to `timeoutMs` for
    // it to arrive whole; nothing when none came in time.
    std::optional<QByteArray> nextJob(const QString& queue, int timeoutMs = 30000);
    // The title of the newest job the scheduler has recorded on `queue`, empty when none.
    QString newestJobTitle(const QString& queue) const;
    // A job attribute ("sides", "media-source", "copies", ...) of that job as text (numbers in
    // decimal, several values separated by commas), empty when none.
    QString newestJobAttribute(const QString& queue, const char* name) const;

    // Stops the scheduler at once, as if it had died; the environment still points at it.
    void stop();
    // Starts it again on the same folder, with the queues and jobs it kept, and waits until it
    // answers; false when it does not.
    bool restart();

private:
    class LoopbackPrinter;

    bool start();
    bool administer(int operation, const QString& queue, const QString& deviceUri,
                    const QByteArray& ppd);
    QString logTail() const;
    // A connection of its own to the scheduler; null when it does not answer.
    http_t* connect() const;

    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    QString m_failure;
    std::map<QString, std::unique_ptr<LoopbackPrinter>> m_printers;
    std::optional<QByteArray> m_savedServer;
    std::optional<QByteArray> m_savedPrinter;
    std::optional<QByteArray> m_savedLpdest;
};

} // namespace zr::test
