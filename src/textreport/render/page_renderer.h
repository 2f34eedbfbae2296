#pragma once

// Graphic rendering of a text report page. The character grid becomes a picture whose cells are
// 8 x 16 units (screen pixels at 96 dpi): for the preview with paper, frame, tractor-feed margin,
// zebra bands and the search highlight; for graphic printing plain white, then scaled onto the
// printer's page. TGravana::DesenharPagina, drawPage and ImprimirPaginaGrafica live in
// page_renderer.cpp; the arithmetic they share is declared here, free of any painter, so it can
// be checked on its own.
//
// Drawing text needs fonts, so anything that draws a page (DesenharPagina, drawPage,
// ImprimirPaginaGrafica, renderPageImage) requires a QGuiApplication; Qt aborts without one.

#include "platform/printing/printer_metrics.h"
#include "textreport/printing/sequences.h"
#include "textreport/types.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include <vector>

class QPainter;
class QPicture;

namespace zr::textreport {

class TGravana;

// One character cell, in picture units.
inline constexpr int kCellWidth = 8;
inline constexpr int kCellHeight = 16;

// The three ways a page is laid out in its picture.
enum class PageLayout {
    Print,       // plain white, the grid at (0, 0)
    Preview,     // paper with a frame: 30 units more each way, the grid at (15, 15)
    TractorFeed, // continuous paper: 70 units more in width for the holes, the grid at (36, 0)
};

// The layout DesenharPagina uses: Print unless previewing, TractorFeed when the preview shows
// continuous paper.
PageLayout layoutFor(bool preview, bool tractorFeed);

// Size of a page picture and the layout's offsets X0 and Y0 (half of each is where box letters
// start). Negative column or line counts count as 0.
struct PageGeometry {
    int width = 0;
    int height = 0;
    int x0 = 0;
    int y0 = 0;
    bool operator==(const PageGeometry&) const = default;
};
PageGeometry pageGeometry(PageLayout layout, int columns, int lines);

// x rounded to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
int roundHalfEven(double x);

// Relative width of the characters of an item: the pitch its attribute code names (128 pitch 20,
// 64 pitch 17, 32 pitch 12, 16 pitch 10, 8 expanded; each smaller value present overrides the
// larger ones, so expanded wins) looked up in the factors of the report's default pitch
// (widthFactorsFor). 1.0 when the code names no pitch; the PDF-only value 256 (pitch 15) counts
// for nothing.
double widthFactor(int attribute, const WidthFactors& factors);

// The rectangle a text item of `length` characters at (line, column), both from 1, is stretched
// onto. left = (column - 1) * 8, top = (line - 1) * 16, right = Nearest((length * factor +
// column - 1) * 8), bottom = line * 16, each moved by the layout: Preview adds 15 to left and
// top and 16 to right and bottom; TractorFeed adds 36 to left and right. The QRect's width is
// right - left and its height bottom - top.
QRect itemRectangle(PageLayout layout, int line, int column, qsizetype length, double factor);

// One segment of a box letter: painted from `from` towards `to`, `to` itself not painted.
struct BoxSegment {
    QPoint from;
    QPoint to;
    bool operator==(const BoxSegment&) const = default;
};

// Top-left corner (m, t) of the k-th character cell (k from 1) of a box item at (line, column):
// m = X0 / 2 + (column + k - 2) * 8, t = Y0 / 2 + (line - 1) * 16.
QPoint boxCell(PageLayout layout, int line, int column, int k);

// The segments of a box letter ("=", "I", "#", "[", "]", "T", "V", "A", "B", "C", "D" double
// lines; "-", "i", "+", "t", "v", "<", ">", "a", "b", "c", "d" single lines) in the cell whose
// top-left corner is (m, t). Double lines lie at t + 5 and t + 8 (horizontal) and m + 3 and
// m + 6 (vertical), single lines at t + 7 and m + 4; the cell ends at m + 8 and t + 16. Any
// other character has no segments.
std::vector<BoxSegment> boxLetterSegments(char letter, int m, int t);

// Where a printed page goes on the system printer, in device pixels from the top-left corner of
// the printable area: left and top are the margins (millimetres to pixels, truncated, less the
// unprintable strip on their side, 0 when the strip is as wide), and the size is what the grid
// needs at the printer's resolution (columns / default pitch inches wide, lines / 6 or / 8
// inches high, rounded half to even). When that does not fit between the margins the page
// shrinks, keeping its proportions, until it fits (truncated, computed exactly). Empty when
// nothing can be drawn: margins that leave no room, no resolution, no columns or lines, or a
// pitch that is not positive.
QRect graphicPageTarget(const PrinterMetrics& metrics, const TMargens& margins, int columns,
                        int lines, int defaultPitch, TLinha spacing);

// Replays a page picture made by DesenharPagina so that the page (the picture's bounding
// rectangle) fills `target`, in the painter's coordinates. Use it instead of
// QPainter::drawPicture, which would also scale the picture by the ratio of the device's
// resolution to the screen's (6.25 on a 600-dpi printer). Draws nothing for an empty picture
// or target.
void drawPagePicture(QPainter& painter, const QPicture& picture, const QRectF& target);

// The page drawn as for graphic printing (plain white) into an image `scale` times the size of
// the page picture (640 x 1056 for 80 columns and 66 lines at scale 1). The report must be open.
// A null image when the scale is not a positive finite number or the image would be larger than
// kMaxImageSide on a side (or cannot be allocated).
inline constexpr int kMaxImageSide = 16384;
QImage renderPageImage(TGravana& report, int page, double scale);

} // namespace zr::textreport
