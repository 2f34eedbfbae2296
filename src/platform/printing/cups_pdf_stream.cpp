#include "cups_pdf_stream.h"

#include <cups/cups.h>

namespace zr {

namespace {

http_t* connectToScheduler() {
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000,
                        nullptr);
}

} // namespace

struct CupsPdfStream::Impl {
    http_t* http = nullptr;
    QByteArray queue;
    int job = 0;
    QByteArray pending;
    bool open = false;
    bool failed = false;

    bool flush() {
        if (!pending.isEmpty() && !failed &&
            cupsWriteRequestData(http, pending.constData(), size_t(pending.size())) !=
                HTTP_STATUS_CONTINUE) {
            failed = true;
        }
        pending.clear();
        return !failed;
    }

    // Dropping the connection mid-document makes the scheduler discard it; the job is cancelled
    // on a fresh connection.
    void abandon() {
        open = false;
        pending.clear();
        if (http) {
            httpClose(http);
            http = nullptr;
        }
        if (job > 0) {
            if (http_t* other = connectToScheduler()) {
                cupsCancelJob2(other, queue.constData(), job, 0);
                httpClose(other);
            }
        }
    }
};

CupsPdfStream::CupsPdfStream() : m_impl(std::make_unique<Impl>()) {}

CupsPdfStream::~CupsPdfStream() {
    if (m_impl->open) {
        m_impl->abandon();
    }
    if (m_impl->http) {
        httpClose(m_impl->http);
    }
}

bool CupsPdfStream::start(const QString& queue, const QString& title,
                          const std::vector<std::pair<QByteArray, QByteArray>>& options,
                          QString& error) {
    Impl& d = *m_impl;
    d.http = connectToScheduler();
    if (!d.http) {
        error = QStringLiteral("O serviço de impressão não responde (%1).")
                    .arg(QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    d.queue = queue.toUtf8();
    const QByteArray titleUtf8 = title.isEmpty() ? QByteArray("Quadrel Document") : title.toUtf8();
    cups_option_t* opts = nullptr;
    int count = 0;
    for (const auto& [name, value] : options) {
        count = cupsAddOption(name.constData(), value.constData(), count, &opts);
    }
    d.job = cupsCreateJob(d.http, d.queue.constData(), titleUtf8.constData(), count, opts);
    cupsFreeOptions(count, opts);
    if (d.job <= 0 && count > 0 && cupsLastError() == IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES) {
        // A queue that cannot print two-sided or has no such source still gets the job.
        d.job = cupsCreateJob(d.http, d.queue.constData(), titleUtf8.constData(), 0, nullptr);
    }
    if (d.job <= 0) {
        error = QStringLiteral("A impressora \"%1\" não aceitou o trabalho (%2).")
                    .arg(queue, QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    d.open = true;
    if (cupsStartDocument(d.http, d.queue.constData(), d.job, titleUtf8.constData(),
                          CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
        error = QStringLiteral("A impressora \"%1\" não aceitou o trabalho (%2).")
                    .arg(queue, QString::fromUtf8(cupsLastErrorString()));
        d.abandon();
        return false;
    }
    return true;
}

bool CupsPdfStream::write(QByteArrayView bytes) {
    Impl& d = *m_impl;
    if (!d.open || d.failed) {
        return false;
    }
    d.pending.append(bytes);
    return d.pending.size() < 64 * 1024 || d.flush();
}

bool CupsPdfStream::finish() {
    Impl& d = *m_impl;
    if (!d.open || !d.flush()) {
        d.abandon();
        return false;
    }
    d.open = false;
    if (cupsFinishDocument(d.http, d.queue.constData()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        cupsCancelJob2(d.http, d.queue.constData(), d.job, 0);
        return false;
    }
    return true;
}

} // namespace zr
