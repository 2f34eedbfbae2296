#pragma once

#include <QMarginsF>
#include <QSize>

namespace zr {

// What a printer's page looks like to a program, in device pixels: the physical paper, the
// printable area inside it and the resolution.
struct PrinterMetrics {
    int offsetLeft = 0;   // physical left offset (unprintable strip on the left)
    int offsetTop = 0;    // physical top offset
    int offsetRight = 0;  // physical width - left offset - printable width
    int offsetBottom = 0; // physical height - top offset - printable height
    int physicalHeight = 0;
    int physicalWidth = 0;
    int printableHeight = 0;
    int printableWidth = 0;
    int dpiX = 0;
    int dpiY = 0;

    bool operator==(const PrinterMetrics&) const = default;
};

// The metrics of a page of `paper` device pixels (as oriented) at dpiX x dpiY, on a printer
// whose unprintable strips are `portraitMargins`, in points, as printers describe them for the
// paper upright. A landscape page is that paper turned a quarter turn counter-clockwise, and the
// strips turn with it: its left strip is the paper's bottom one, its top the paper's left, its
// right the paper's top and its bottom the paper's right. Strips are rounded to whole pixels; a
// negative strip counts as 0, and strips that leave no printable area leave an empty one.
PrinterMetrics pageMetrics(QSize paper, const QMarginsF& portraitMargins, int dpiX, int dpiY,
                           bool landscape);

} // namespace zr
