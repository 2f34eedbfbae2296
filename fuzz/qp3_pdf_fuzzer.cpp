// Feeds arbitrary bytes to the prepared-pages store as a ".QP3" file and exports its first
// pages to PDF, as the converter does. Whatever the report holds, a finished file must be a
// PDF whose cross-reference table points at its objects.

#include "fuzz_gui_application.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/render/page_services.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

using namespace zr::reportlib;

namespace {

// Every "NNNNNNNNNN 00000 n" entry of the table must point at "<object number> 0 obj".
void checkCrossReferences(const QByteArray& pdf) {
    const qsizetype xref = pdf.lastIndexOf("\r\nxref\r\n");
    if (!pdf.startsWith("%PDF-") || !pdf.endsWith("%%EOF\r\n") || xref < 0) {
        std::abort();
    }
    qsizetype at = pdf.indexOf("0000000000 65535 f\r\n", xref);
    if (at < 0) {
        std::abort();
    }
    at += 20;
    for (int object = 1; pdf.mid(at + 11, 7) == "00000 n"; ++object, at += 20) {
        const qsizetype offset = pdf.mid(at, 10).toLongLong();
        if (!pdf.mid(offset).startsWith(QByteArray::number(object) + " 0 obj\r\n")) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zr::fuzz::ensureGuiApplication();
    TqdxReport report;
    report.PreviewOptions.PagesInCache = 2;
    QBuffer in;
    in.setData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    in.open(QIODevice::ReadOnly);
    try {
        report.PreviewPages().LoadFromStream(in);
    } catch (const std::exception&) {
        return 0; // not this dialect
    }
    static QTemporaryDir dir;
    pdf::TqdxPDFExport filter;
    pdf::ApplyMainWindowDefaults(filter);
    filter.EmbeddedFonts = false; // the same objects, without copying font files each run
    filter.ObjectStreams = false; // a cross-reference table the check below reads
    filter.Report = &report;
    filter.ShowDialog = false;
    filter.ShowProgress = false;
    filter.Outline = true;
    filter.PageNumbers = QStringLiteral("1-3");
    filter.FileName = dir.filePath(QStringLiteral("out.pdf"));
    QFile::remove(filter.FileName);
    try {
        render::Export(report.PreviewPages(), &filter);
    } catch (const std::exception&) {
        return 0;
    }
    if (filter.Succeeded()) {
        QFile file(filter.FileName);
        if (file.open(QIODevice::ReadOnly)) {
            checkCrossReferences(file.readAll());
        }
    }
    return 0;
}
