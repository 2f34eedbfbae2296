#pragma once

// A paint device whose painter writes PDF page content instead of pixels, so that a view's own
// screen drawing becomes vector content: text items become text in the document's fonts (the
// characters stay searchable and readable), rectangles, lines and paths become paths, hatch
// brushes become tiling patterns, and images become image objects. Clipping is kept.
//
// The device's pixels map onto the page by `toPage` (device pixels to page points, y up), so the
// drawing code can work at any scale it likes.

#include "reportlib/pdf/writer/qdx_pdf_font.h"

#include <QByteArray>
#include <QImage>
#include <QPaintDevice>
#include <QTransform>

#include <functional>
#include <memory>

namespace zr::reportlib::pdf {

// Where the canvas writes: the content stream, the document's fonts, and the page's images and
// patterns, which the owner writes as objects and lists in the page's resources.
struct PdfCanvasTarget {
    QByteArray* content = nullptr;
    TqdxPDFFontList* fonts = nullptr;
    // The resource name ("/Im3") of an opaque image; empty when it cannot be written.
    std::function<QByteArray(const QImage&)> image;
    // The resource name ("/P0") of a colored tiling pattern for a hatch brush style in a colour;
    // empty when there is none.
    std::function<QByteArray(Qt::BrushStyle, QRgb)> pattern;
};

class PdfVectorCanvas : public QPaintDevice {
public:
    PdfVectorCanvas(const PdfCanvasTarget& target, const QTransform& toPage, QSize pixels);
    ~PdfVectorCanvas() override;
    PdfVectorCanvas(const PdfVectorCanvas&) = delete;
    PdfVectorCanvas& operator=(const PdfVectorCanvas&) = delete;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
    QSize m_pixels;
};

// The operators of one 6 × 6 point cell of a hatch pattern (the brush's 8 × 8 pixel cell at 96
// dots per inch, its top-left corner at the pattern's origin, y up), stroked in `rgb`; empty for
// a style that is no hatch.
QByteArray HatchCell(Qt::BrushStyle style, const QByteArray& rgb);

} // namespace zr::reportlib::pdf
