#include "view_painter.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace zr::reportlib::render {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero; 0 when c is 0.
int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) {
        return 0;
    }
    const std::int64_t p = a * b;
    const std::int64_t q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return int((p < 0) != (c < 0) ? -q : q);
}

// Colour step i of n between two colours, channel by channel.
class Ramp {
public:
    Ramp(int beginColor, int endColor)
        : m_begin(toQColor(beginColor).rgb()), m_end(toQColor(endColor).rgb()) {}

    QColor at(std::int64_t i, std::int64_t n) const {
        const auto channel = [&](int b, int e) { return b + mulDiv(i, e - b, n); };
        return QColor(channel(qRed(m_begin), qRed(m_end)), channel(qGreen(m_begin), qGreen(m_end)),
                      channel(qBlue(m_begin), qBlue(m_end)));
    }

private:
    QRgb m_begin, m_end;
};

void drawLinear(QPainter& canvas, const Ramp& ramp, const ViewArea& a, bool horizontal) {
    const int w = a.DX;
    const int h = a.DY;
    for (int i = 0; i < 256; ++i) {
        const QColor color = ramp.at(i, 255);
        if (horizontal) {
            const int x0 = a.X + mulDiv(i, w, 256);
            const int x1 = a.X + mulDiv(i + 1, w, 256);
            if (x1 > x0) {
                canvas.fillRect(QRect(x0, a.Y, x1 - x0, h), color);
            }
        } else {
            const int y0 = a.Y + mulDiv(i, h, 256);
            const int y1 = a.Y + mulDiv(i + 1, h, 256);
            if (y1 > y0) {
                canvas.fillRect(QRect(a.X, y0, w, y1 - y0), color);
            }
        }
    }
}

// 156 shrinking ellipses from outside the area (begin colour) to its centre (end colour),
// clipped to the area.
void drawElliptic(QPainter& canvas, const Ramp& ramp, const ViewArea& a) {
    const double w = a.DX;
    const double h = a.DY;
    canvas.save();
    canvas.setClipRect(QRect(a.X, a.Y, a.DX, a.DY), Qt::IntersectClip);
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(Qt::NoPen);
    canvas.fillRect(QRect(a.X, a.Y, a.DX, a.DY), ramp.at(0, 155));
    double left = -w / 4;
    double top = -h / 4;
    double right = w + w / 4;
    double bottom = h + h / 4;
    const double stepX = (w / 4 + w / 2) / 155;
    const double stepY = (h / 4 + h / 2) / 155;
    for (int i = 0; i < 156; ++i) {
        left += stepX;
        top += stepY;
        right -= stepX;
        bottom -= stepY;
        // Truncated like integer coordinates, but kept as doubles: the area may be wider
        // than an int once a quarter is added on each side.
        const double l = std::trunc(left);
        const double t = std::trunc(top);
        const double r = std::trunc(right);
        const double b = std::trunc(bottom);
        if (r <= l || b <= t) {
            break;
        }
        canvas.setBrush(ramp.at(i, 155));
        canvas.drawEllipse(QRectF(a.X + l, a.Y + t, r - l, b - t));
    }
    canvas.restore();
}

// 256 nested rectangles, each inset from the last by the same amount on every side.
void drawRectangular(QPainter& canvas, const Ramp& ramp, const ViewArea& a) {
    const double stepX = a.DX / 2.0 / 255;
    const double stepY = a.DY / 2.0 / 255;
    for (int i = 0; i < 256; ++i) {
        // The first rectangle is the whole area, so no edge is left unpainted however wide the
        // steps; both edges of a side move in by the same truncated amount.
        const int insetX = int(stepX * i);
        const int insetY = int(stepY * i);
        const QRect r(a.X + insetX, a.Y + insetY, a.DX - 2 * insetX, a.DY - 2 * insetY);
        if (r.width() <= 0 || r.height() <= 0) {
            break;
        }
        canvas.fillRect(r, ramp.at(i, 255));
    }
}

// Bands of rows (or columns) from both edges towards the middle: band n has step n of half.
// Runs of bands with one colour are filled at once, so a tall area costs no more than a low one.
void drawCentred(QPainter& canvas, const Ramp& ramp, const ViewArea& a, bool rows) {
    const int extent = rows ? a.DY : a.DX;
    const int half = extent / 2;
    int n = 0;
    while (n <= half) {
        const QColor color = ramp.at(n, half);
        // The last band of this colour (colours change monotonically along the bands).
        int lo = n;
        int hi = half;
        while (lo < hi) {
            const int mid = lo + (hi - lo + 1) / 2;
            if (ramp.at(mid, half) == color) {
                lo = mid;
            } else {
                hi = mid - 1;
            }
        }
        const int count = lo - n + 1;
        if (rows) {
            canvas.fillRect(QRect(a.X, a.Y + n, a.DX, count), color);
            canvas.fillRect(QRect(a.X, a.Y + extent - lo - 1, a.DX, count), color);
        } else {
            canvas.fillRect(QRect(a.X + n, a.Y, count, a.DY), color);
            canvas.fillRect(QRect(a.X + extent - lo - 1, a.Y, count, a.DY), color);
        }
        n = lo + 1;
    }
}

} // namespace

void DrawGradientView(QPainter& canvas, TqdxGradientView& view, double scaleX, double scaleY,
                      double offsetX, double offsetY) {
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    if (area.DX > 0 && area.DY > 0) {
        const Ramp ramp(view.BeginColor, view.EndColor);
        switch (view.Style) {
        case gsVertical:
            drawLinear(canvas, ramp, area, false);
            break;
        case gsElliptic:
            drawElliptic(canvas, ramp, area);
            break;
        case gsRectangle:
            drawRectangular(canvas, ramp, area);
            break;
        case gsVertCenter:
            drawCentred(canvas, ramp, area, true);
            break;
        case gsHorizCenter:
            drawCentred(canvas, ramp, area, false);
            break;
        case gsHorizontal:
        default:
            drawLinear(canvas, ramp, area, true);
            break;
        }
    }
    DrawFrame(canvas, view, area);
}

} // namespace zr::reportlib::render
