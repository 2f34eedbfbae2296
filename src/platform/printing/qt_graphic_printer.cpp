#include "qt_graphic_printer_p.h"

#include "cups_job_p.h"
#include "printer_properties.h"

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinterInfo>

namespace zr {

std::unique_ptr<QtGraphicPrinter> QtGraphicPrinter::open(const QString& printerName,
                                                         QString& error) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("- a impressão gráfica precisa da interface gráfica do programa.");
        return nullptr;
    }
    if (printerName.isEmpty()) {
        error = QStringLiteral("- nenhuma impressora do sistema.");
        return nullptr;
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (info.isNull()) {
        error =
            QStringLiteral("- a impressora \"%1\" não está instalada no sistema.").arg(printerName);
        return nullptr;
    }
    std::unique_ptr<QtGraphicPrinter> printer(new QtGraphicPrinter);
    QPrinter& p = printer->m_printer;
    p.setPrinterName(printerName);
    // QPrinter falls back to the default printer, or to a PDF file, for a printer it cannot use.
    if (p.outputFormat() != QPrinter::NativeFormat || p.printerName() != printerName ||
        !p.isValid()) {
        error = QStringLiteral("- a impressora \"%1\" não pode ser usada.").arg(printerName);
        return nullptr;
    }
    // QPrinter starts on a paper of its own choosing; the paper chosen in the printer's
    // properties, else its default paper, brings the printer's unprintable strips along as the
    // layout's minimum margins.
    const PrinterProperties chosen = rememberedProperties(printerName);
    if (chosen.pageSize.isValid()) {
        p.setPageSize(chosen.pageSize);
    } else if (info.defaultPageSize().isValid()) {
        p.setPageSize(info.defaultPageSize());
    }
    printer->m_jobOptions = chosen.jobOptions();
    QPageLayout layout = p.pageLayout();
    layout.setOrientation(QPageLayout::Portrait);
    layout.setUnits(QPageLayout::Point);
    printer->m_margins = layout.minimumMargins();

    if (!printer->m_file.open()) {
        error = QStringLiteral("- não foi possível criar o arquivo temporário da impressão (%1).")
                    .arg(printer->m_file.errorString());
        return nullptr;
    }
    printer->m_file.close();
    // From here on QPrinter writes a PDF file on the paper chosen above.
    p.setOutputFileName(printer->m_file.fileName());
    // Qt keeps the upright strips when the page turns to landscape; the page is drawn on whole
    // and the printable area placed by pageMetrics instead.
    p.setFullPage(true);
    printer->m_queue =
        printerName.section(QLatin1Char('/'), 0, 0); // an instance prints as its queue
    return printer;
}

QtGraphicPrinter::~QtGraphicPrinter() {
    if (m_painter.isActive()) {
        m_painter.end(); // the file is written, and removed with m_file, never sent
    }
}

bool QtGraphicPrinter::beginDocument(const QString& title, bool landscape) {
    if (m_painter.isActive()) {
        return false;
    }
    m_error = 0;
    m_reason.clear();
    m_jobId = 0;
    m_title = title;
    m_printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_printer.setDocName(title);
    m_printer.setCopyCount(1);
    if (!m_painter.begin(&m_printer)) {
        return false;
    }
    placeOrigin();
    return true;
}

void QtGraphicPrinter::newPage() {
    if (m_painter.isActive()) {
        m_printer.newPage();
        placeOrigin();
    }
}

QPainter& QtGraphicPrinter::painter() {
    return m_painter;
}

PrinterMetrics QtGraphicPrinter::metrics() const {
    const QSize paper = m_printer.paperRect(QPrinter::DevicePixel).toRect().size();
    return pageMetrics(paper, m_margins, m_printer.logicalDpiX(), m_printer.logicalDpiY(),
                       m_printer.pageLayout().orientation() == QPageLayout::Landscape);
}

void QtGraphicPrinter::endDocument() {
    if (!m_painter.isActive()) {
        return;
    }
    if (!m_painter.end()) {
        m_error = -1;
        return;
    }
    send();
}

void QtGraphicPrinter::send() {
    QFile file(m_file.fileName());
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = -1;
        return;
    }
    QString message;
    int code = 0;
    std::unique_ptr<CupsJob> job =
        CupsJob::start(m_queue, m_title, CUPS_FORMAT_PDF, m_jobOptions, message, code);
    if (!job) {
        m_error = code != 0 ? code : -1;
        m_reason = QString::fromUtf8(cupsLastErrorString());
        return;
    }
    while (!file.atEnd()) {
        const QByteArray block = file.read(64 * 1024);
        if (block.isEmpty() || !job->write(block)) {
            break;
        }
    }
    if (!file.atEnd() || !job->finish()) {
        m_error = job->error() != 0 ? job->error() : -1;
        m_reason = job->reason();
        // the job is cancelled when dropped unfinished
        return;
    }
    m_jobId = job->jobId();
}

void QtGraphicPrinter::placeOrigin() {
    const PrinterMetrics m = metrics();
    m_painter.resetTransform();
    m_painter.translate(m.offsetLeft, m.offsetTop);
}

} // namespace zr
