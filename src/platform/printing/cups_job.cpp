#include "cups_job_p.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace zr {

http_t* connectToScheduler() {
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000,
                        nullptr);
}

namespace {

// Bytes gathered before a block goes to the scheduler: the print job writes item by item, a few
// bytes at a time.
constexpr qsizetype kBlockSize = 64 * 1024;

QString refused(const QString& queue, const QString& reason) {
    return QStringLiteral("a impressora \"%1\" não aceitou o trabalho (%2).").arg(queue, reason);
}

int createJob(http_t* http, const QByteArray& queue, const QByteArray& title,
              const CupsJob::Options& options) {
    cups_option_t* list = nullptr;
    int count = 0;
    for (const auto& [name, value] : options) {
        count = cupsAddOption(name.constData(), value.constData(), count, &list);
    }
    // An option the queue refuses fails the job with the scheduler's reason, as lp does: the
    // job is never sent without what was asked of it.
    const int job = cupsCreateJob(http, queue.constData(), title.constData(), count, list);
    cupsFreeOptions(count, list);
    return job;
}

} // namespace

std::unique_ptr<CupsJob> CupsJob::start(const QString& queue, const QString& title,
                                        const char* format, const Options& options,
                                        QString& error, int& code) {
    http_t* http = connectToScheduler();
    if (!http) {
        code = int(cupsLastError());
        error = QStringLiteral("o serviço de impressão não responde (%1).")
                    .arg(QString::fromUtf8(cupsLastErrorString()));
        return nullptr;
    }
    const QByteArray name = queue.toUtf8();
    const QByteArray titleUtf8 = title.toUtf8();
    const int job = createJob(http, name, titleUtf8, options);
    if (job <= 0) {
        code = int(cupsLastError());
        error = refused(queue, QString::fromUtf8(cupsLastErrorString()));
        httpClose(http);
        return nullptr;
    }
    // From here on the job object owns the connection and the job: a failure cancels the job.
    std::unique_ptr<CupsJob> output(new CupsJob(http, name, job));
    const http_status_t status =
        cupsStartDocument(http, name.constData(), job, titleUtf8.constData(), format, 1);
    if (status != HTTP_STATUS_CONTINUE) {
        code = int(status);
        error = refused(queue, QString::fromUtf8(httpStatus(status)));
        return nullptr;
    }
    return output;
}

CupsJob::CupsJob(http_t* http, QByteArray queue, int job)
    : m_http(http), m_queue(std::move(queue)), m_job(job) {}

CupsJob::~CupsJob() {
    if (m_open) {
        abandon();
    }
    if (m_http) {
        httpClose(m_http);
    }
}

bool CupsJob::write(QByteArrayView bytes) {
    if (m_error != 0 || !m_open) {
        return false;
    }
    m_pending.append(bytes);
    return m_pending.size() < kBlockSize || flush();
}

bool CupsJob::flush() {
    qsizetype sent = 0;
    while (m_error == 0 && sent < m_pending.size()) {
        const qsizetype piece = std::min<qsizetype>(m_pending.size() - sent, kBlockSize);
        const http_status_t status =
            cupsWriteRequestData(m_http, m_pending.constData() + sent, size_t(piece));
        if (status != HTTP_STATUS_CONTINUE) {
            const int system = httpError(m_http);
            fail(system != 0 ? system : int(status),
                 system != 0 ? QString::fromLocal8Bit(std::strerror(system))
                             : QString::fromUtf8(httpStatus(status)));
        }
        sent += piece;
    }
    m_pending.clear();
    return m_error == 0;
}

bool CupsJob::finish() {
    if (!m_open) {
        return m_error == 0;
    }
    if (!flush()) {
        abandon();
        return false;
    }
    const ipp_status_t status = cupsFinishDocument(m_http, m_queue.constData());
    m_open = false;
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        fail(int(status), QString::fromUtf8(cupsLastErrorString()));
        cancel();
        return false;
    }
    return true;
}

void CupsJob::fail(int code, const QString& reason) {
    if (m_error == 0) {
        m_error = code != 0 ? code : -1;
        m_reason = reason;
    }
}

void CupsJob::abandon() {
    m_open = false;
    m_pending.clear();
    // Closing the connection in the middle of the document makes the scheduler drop what it got
    // of it; the job itself is cancelled on a fresh connection.
    if (m_http) {
        httpClose(m_http);
        m_http = nullptr;
    }
    cancel();
}

void CupsJob::cancel() {
    // A scheduler that went away while the job came in keeps it, held, when it starts again: it
    // is waited for a while (a socket-activated one starts at the next connection, a restarted
    // one within seconds).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        if (http_t* http = connectToScheduler()) {
            const ipp_status_t status = cupsCancelJob2(http, m_queue.constData(), m_job, 0);
            httpClose(http);
            if (status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE &&
                status != IPP_STATUS_ERROR_INTERNAL) {
                return; // cancelled, or a definite answer (the job is gone, already done)
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

} // namespace zr
