#pragma once

// A print job on a CUPS queue, its one document sent as it is written. Private to the printing
// layer: callers get a RawOutput from startRawJob, or a GraphicPrinter that sends its documents
// through one.

#include "platform/printing/print_output.h"

#include <QByteArray>
#include <QString>

#include <cups/cups.h>

#include <memory>
#include <utility>
#include <vector>

namespace zr {

// A connection of its own to the default CUPS server; null when the scheduler does not answer
// (cupsLastErrorString() tells why).
http_t* connectToScheduler();

class CupsJob final : public RawOutput {
public:
    using Options = std::vector<std::pair<QByteArray, QByteArray>>;

    // Creates a job named `title` on `queue` (a queue name, without an instance) of the default
    // CUPS server, on a connection of its own, with job attributes `options` ("sides",
    // "media-source", "copies", ...), and starts its one document in `format` (a MIME type such
    // as CUPS_FORMAT_RAW). An option the scheduler refuses fails the job. Null on failure, with the
    // CUPS status code in `code` and the reason in `error`
    // ("a impressora "X" não aceitou o trabalho (...)", lower case first).
    static std::unique_ptr<CupsJob> start(const QString& queue, const QString& title,
                                          const char* format, const Options& options,
                                          QString& error, int& code);

    // A job never finished is cancelled: the printer gets nothing of it.
    ~CupsJob() override;
    CupsJob(const CupsJob&) = delete;
    CupsJob& operator=(const CupsJob&) = delete;

    // Bytes are gathered and sent in blocks; a failure shows in the write that sends the block,
    // and in every write after it.
    bool write(QByteArrayView bytes) override;
    // Sends what is left and closes the document. True once the scheduler has accepted the whole
    // job (printing itself goes on afterwards). On failure the job is cancelled.
    bool finish() override;
    // The system error number, or else the CUPS status code, of the first failure; 0 when none.
    int error() const override { return m_error; }
    QString reason() const override { return m_reason; }
    int jobId() const override { return m_job; }

private:
    CupsJob(http_t* http, QByteArray queue, int job);
    bool flush();
    void fail(int code, const QString& reason);
    // Drops the connection (the document in progress with it) and cancels the job.
    void abandon();
    // Cancels the job on a connection of its own, waiting a few seconds for a scheduler that
    // does not answer.
    void cancel();

    http_t* m_http;
    QByteArray m_queue;
    int m_job;
    QByteArray m_pending;
    int m_error = 0;
    QString m_reason;
    bool m_open = true; // the document is still being sent
};

} // namespace zr
