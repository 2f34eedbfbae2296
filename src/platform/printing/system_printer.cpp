#include "system_printer.h"

#include "cups_destinations_p.h"
#include "cups_job_p.h"
#include "print_destination.h"
#include "qt_graphic_printer_p.h"

#include <QPainter>

#include <cups/cups.h>

#include <mutex>

namespace zr {

namespace {

// The printer chosen in the program, empty for the system default: one per process.
struct PrinterChoice {
    std::mutex mutex;
    QString name;

    static PrinterChoice& instance() {
        static PrinterChoice choice;
        return choice;
    }
};

// The current printer in graphic mode: a QtGraphicPrinter on whatever printer is current when a
// document begins, kept until it ends.
class CurrentGraphicPrinter final : public GraphicPrinter {
public:
    bool beginDocument(const QString& title, bool landscape) override {
        m_open.reset();
        m_error = 0;
        m_reason.clear();
        m_jobId = 0;
        QString error;
        m_open = openGraphicPrinter(ImpressoraAtual().deviceName, error);
        if (!m_open || !m_open->beginDocument(title, landscape)) {
            m_open.reset();
            return false;
        }
        return true;
    }
    void newPage() override {
        if (m_open) {
            m_open->newPage();
        }
    }
    QPainter& painter() override { return m_open ? m_open->painter() : m_idle; }
    PrinterMetrics metrics() const override {
        return m_open ? m_open->metrics() : MetricasImpressora();
    }
    void endDocument() override {
        if (m_open) {
            m_open->endDocument();
            m_error = m_open->error();
            m_reason = m_open->reason();
            m_jobId = m_open->jobId();
            m_open.reset();
        }
    }
    int error() const override { return m_error; }
    QString reason() const override { return m_reason; }
    int jobId() const override { return m_jobId; }

private:
    std::unique_ptr<GraphicPrinter> m_open;
    QPainter m_idle;
    int m_error = 0;
    QString m_reason;
    int m_jobId = 0;
};

} // namespace

void setCurrentPrinter(const QString& name) {
    PrinterChoice& choice = PrinterChoice::instance();
    const std::lock_guard lock(choice.mutex);
    choice.name = name;
}

QString chosenPrinter() {
    PrinterChoice& choice = PrinterChoice::instance();
    const std::lock_guard lock(choice.mutex);
    return choice.name;
}

namespace {

QString portOf(const cups_dest_t& dest) {
    const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
    QString port = uri ? QString::fromUtf8(uri) : QString();
    if (port.contains(QLatin1String("LPT"))) {
        port = port.left(4);
    }
    return port;
}

} // namespace

CurrentPrinter ImpressoraAtual() {
    CurrentPrinter result;
    const Destinations dests;
    const QString chosen = chosenPrinter();
    const cups_dest_t* dest = chosen.isEmpty() ? dests.systemDefault() : dests.find(chosen);
    if (!dest) {
        return result;
    }
    result.deviceName = Destinations::nameOf(*dest);
    result.port = portOf(*dest);
    return result;
}

QList<SystemPrinter> systemPrintersWithPorts() {
    QList<SystemPrinter> list;
    const Destinations dests;
    for (const QString& name : dests.names()) {
        if (const cups_dest_t* dest = dests.find(name)) {
            list.append({name, portOf(*dest)});
        }
    }
    return list;
}

QStringList systemPrinters() {
    return Destinations().names();
}

PrinterMetrics MetricasImpressora() {
    QString error;
    const std::unique_ptr<GraphicPrinter> printer =
        openGraphicPrinter(ImpressoraAtual().deviceName, error);
    return printer ? printer->metrics() : PrinterMetrics{};
}

namespace {

// A job on the queue of `printerName` (an instance prints on its queue); null, with a message
// ready to show in `error`, when there is no such printer or it refuses the job.
std::unique_ptr<RawOutput> startJob(const QString& printerName, const QString& documentName,
                                    const char* format,
                                    const std::vector<std::pair<QByteArray, QByteArray>>& options,
                                    QString& error) {
    if (printerName.isEmpty()) {
        error = QStringLiteral("Nenhuma impressora do sistema.");
        return nullptr;
    }
    const DestinationLookup lookup = findPrintDestination(printerName);
    if (!lookup.destination) {
        error = lookup.message;
        return nullptr;
    }
    int code = 0;
    QString reason;
    std::unique_ptr<CupsJob> job =
        CupsJob::start(lookup.destination->queue, documentName, format, options, reason, code);
    if (!job) {
        error = reason; // "a impressora ... não aceitou o trabalho (...)."
        error[0] = error[0].toUpper();
    }
    return job;
}

} // namespace

std::unique_ptr<RawOutput> startRawJob(const QString& printerName, const QString& documentName,
                                       QString& error) {
    return startJob(printerName, documentName, CUPS_FORMAT_RAW, {}, error);
}

std::unique_ptr<RawOutput> startPdfJob(const QString& printerName, const QString& documentName,
                                       const std::vector<std::pair<QByteArray, QByteArray>>& options,
                                       QString& error) {
    return startJob(printerName, documentName, CUPS_FORMAT_PDF, options, error);
}

std::unique_ptr<RawOutput> startRawJobOnCurrentPrinter(const QString& documentName,
                                                       QString& error) {
    QString name = ImpressoraAtual().deviceName;
    if (name.isEmpty()) {
        name = chosenPrinter(); // gone since it was chosen: the message names it
    }
    return startRawJob(name, documentName, error);
}

std::unique_ptr<GraphicPrinter> openGraphicPrinter(const QString& printerName, QString& error) {
    return QtGraphicPrinter::open(printerName, error);
}

GraphicPrinter& currentGraphicPrinter() {
    static CurrentGraphicPrinter printer;
    return printer;
}

} // namespace zr
