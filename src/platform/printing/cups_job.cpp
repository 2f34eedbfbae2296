#include "cups_job_p.h"

#include <algorithm>
#include <utility>

namespace zr {

namespace {

// Bytes gathered before a block goes to the scheduler: the print job writes item by item, a few
// bytes at a time.
constexpr qsizetype kBlockSize = 64 * 1024;

http_t* connectToScheduler() {
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000,
                        nullptr);
}

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
    int job = cupsCreateJob(http, queue.constData(), title.constData(), count, list);
    cupsFreeOptions(count, list);
    if (job <= 0 && count > 0 && cupsLastError() == IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES) {
        // A queue that cannot print two-sided or has no such source still gets the job.
        job = cupsCreateJob(http, queue.constData(), title.constData(), 0, nullptr);
    }
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
            fail(system != 0 ? system : int(status));
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
        fail(int(status));
        cupsCancelJob2(m_http, m_queue.constData(), m_job, 0);
        return false;
    }
    return true;
}

void CupsJob::fail(int code) {
    if (m_error == 0) {
        m_error = code != 0 ? code : -1;
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
    if (http_t* http = connectToScheduler()) {
        cupsCancelJob2(http, m_queue.constData(), m_job, 0);
        httpClose(http);
    }
}

} // namespace zr
