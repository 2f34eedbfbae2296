#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <optional>

namespace zr::test {

// What poppler's pdfinfo says of a PDF: page count, first page size in points, title.
struct PdfInfo {
    int pages = 0;
    QSizeF pageSize;
    QString title;
};

// True when pdfinfo (package poppler-utils) can be run.
bool pdfInfoAvailable();

// Runs pdfinfo on the bytes (bounded in time); nothing when they are not a readable PDF.
std::optional<PdfInfo> pdfInfo(const QByteArray& pdf);

} // namespace zr::test
