#include "printer_metrics.h"

#include <algorithm>
#include <cmath>

namespace zr {

namespace {

// A strip of `points` in pixels at `dpi`, no less than 0 and no more than `room`.
int stripPixels(double points, int dpi, int room) {
    const double pixels = std::round(points * dpi / 72.0);
    if (!(pixels > 0) || room <= 0) {
        return 0;
    }
    return pixels >= room ? room : int(pixels);
}

} // namespace

PrinterMetrics pageMetrics(QSize paper, const QMarginsF& portraitMargins, int dpiX, int dpiY,
                           bool landscape) {
    const QMarginsF m = landscape ? QMarginsF(portraitMargins.bottom(), portraitMargins.left(),
                                              portraitMargins.top(), portraitMargins.right())
                                  : portraitMargins;
    PrinterMetrics r;
    r.physicalWidth = std::max(0, paper.width());
    r.physicalHeight = std::max(0, paper.height());
    r.dpiX = std::max(0, dpiX);
    r.dpiY = std::max(0, dpiY);
    r.offsetLeft = stripPixels(m.left(), r.dpiX, r.physicalWidth);
    r.offsetRight = stripPixels(m.right(), r.dpiX, r.physicalWidth - r.offsetLeft);
    r.offsetTop = stripPixels(m.top(), r.dpiY, r.physicalHeight);
    r.offsetBottom = stripPixels(m.bottom(), r.dpiY, r.physicalHeight - r.offsetTop);
    r.printableWidth = r.physicalWidth - r.offsetLeft - r.offsetRight;
    r.printableHeight = r.physicalHeight - r.offsetTop - r.offsetBottom;
    return r;
}

} // namespace zr
