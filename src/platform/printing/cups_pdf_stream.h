#pragma once

// One PDF document streamed to a CUPS queue while it is being written, with job options
// (IPP attributes such as "sides" or "media-source"). The scheduler gets the bytes as they
// come, so the first page can print before the last one is drawn. A job that is not finished
// (an error, a cancel, destruction) is cancelled on the queue.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace zr {

class CupsPdfStream {
public:
    CupsPdfStream();
    ~CupsPdfStream();
    CupsPdfStream(const CupsPdfStream&) = delete;
    CupsPdfStream& operator=(const CupsPdfStream&) = delete;

    // Creates the job on `queue` and starts its document. Options the queue does not support
    // are dropped rather than failing the job. False with a message ready to show in `error`.
    bool start(const QString& queue, const QString& title,
               const std::vector<std::pair<QByteArray, QByteArray>>& options, QString& error);
    // Passes bytes on (buffered). False once the connection has failed.
    bool write(QByteArrayView bytes);
    // Ends the document. False when the scheduler did not take it (the job is then cancelled).
    bool finish();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zr
