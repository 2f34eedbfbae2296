#pragma once

// The system printer in graphic mode. Private to the printing layer: callers get a
// GraphicPrinter from openGraphicPrinter.

#include "platform/printing/print_output.h"

#include <QMarginsF>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <utility>
#include <vector>

namespace zr {

// Pages are drawn by QPrinter, on the printer's default paper (or the one chosen in its
// properties) at high resolution, into a PDF
// file of the printer's own; endDocument sends that file to the printer's queue as one job. The
// job is ours, not Qt's, so that a document dropped before its end is never printed and one the
// print system refuses is known (error()).
class QtGraphicPrinter final : public GraphicPrinter {
public:
    // The named printer on its default paper. Null when the printer does not exist (QPrinter
    // would quietly take the default printer instead) or there is no QGuiApplication.
    static std::unique_ptr<QtGraphicPrinter> open(const QString& printerName, QString& error);

    // A document not ended is dropped: nothing of it is printed.
    ~QtGraphicPrinter() override;
    QtGraphicPrinter(const QtGraphicPrinter&) = delete;
    QtGraphicPrinter& operator=(const QtGraphicPrinter&) = delete;

    // Sets the orientation and the job's title (one copy), and begins the document. False when
    // a document is already open or cannot be begun.
    bool beginDocument(const QString& title, bool landscape) override;
    void newPage() override;
    // Draws in device pixels with (0, 0) at the top left of the printable area, as metrics()
    // describe it.
    QPainter& painter() override;
    PrinterMetrics metrics() const override;
    // Ends the document and sends it to the printer's queue.
    void endDocument() override;
    // The CUPS status code (or system error number) of a document the queue did not take.
    int error() const override { return m_error; }
    QString reason() const override { return m_reason; }
    int jobId() const override { return m_jobId; }

private:
    QtGraphicPrinter() = default;
    void placeOrigin();
    void send();

    QString m_queue;
    QString m_title;
    std::vector<std::pair<QByteArray, QByteArray>> m_jobOptions; // from the printer's properties
    QTemporaryFile m_file;
    QPrinter m_printer{QPrinter::HighResolution};
    QPainter m_painter;
    QMarginsF m_margins; // the printer's unprintable strips, paper upright, in points
    int m_error = 0;
    QString m_reason;
    int m_jobId = 0; // of the last document the queue took
};

} // namespace zr
