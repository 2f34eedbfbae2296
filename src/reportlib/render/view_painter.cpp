#include "view_painter.h"

#include <QPaintDevice>
#include <QPolygon>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace zr::reportlib::render {

namespace {

// Dash patterns of 1-pixel styled pens (on, off, on, off, ...), in pixels.
std::vector<int> dashPattern(Qt::PenStyle style) {
    switch (style) {
    case Qt::DashLine:
        return {18, 6};
    case Qt::DotLine:
        return {3, 3};
    case Qt::DashDotLine:
        return {9, 6, 3, 6};
    case Qt::DashDotDotLine:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
    }
}

} // namespace

Qt::PenStyle FramePenStyle(int frameStyle) {
    switch (frameStyle) {
    case fsDash:
        return Qt::DashLine;
    case fsDot:
        return Qt::DotLine;
    case fsDashDot:
        return Qt::DashDotLine;
    case fsDashDotDot:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

namespace {

// The pixels of a 1-pixel line from (x1, y1) towards (x2, y2), the end point excluded
// (Bresenham), split into those the pen's dashes paint and those in its gaps.
void linePixels(int x1, int y1, int x2, int y2, const std::vector<int>& pattern,
                std::vector<QPoint>& on, std::vector<QPoint>& off) {
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    const int steps = std::max(dx, dy);
    int err = dx - dy;
    int x = x1;
    int y = y1;
    size_t segment = 0;
    int left = pattern.empty() ? 0 : pattern[0];
    for (int i = 0; i < steps; ++i) {
        const bool painted = pattern.empty() || segment % 2 == 0;
        (painted ? on : off).emplace_back(x, y);
        if (!pattern.empty() && --left == 0) {
            segment = (segment + 1) % pattern.size();
            left = pattern[segment];
        }
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

// Cuts a segment to the part that can show on the canvas (its device, or its clip, with a
// margin), so that absurd zooms never walk billions of pixels. False when nothing shows.
bool clipToCanvas(const QPainter& canvas, int& x1, int& y1, int& x2, int& y2, int margin) {
    QRect area(0, 0, 1 << 15, 1 << 15);
    if (const QPaintDevice* device = canvas.device()) {
        area = QRect(0, 0, device->width(), device->height());
    }
    if (canvas.hasClipping()) {
        area = area.intersected(canvas.clipBoundingRect().toAlignedRect());
    }
    area.adjust(-margin - 2, -margin - 2, margin + 2, margin + 2);
    // Liang-Barsky on the closed rectangle.
    double t0 = 0;
    double t1 = 1;
    const double dx = double(x2) - x1;
    const double dy = double(y2) - y1;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {double(x1) - area.left(), double(area.right()) - x1,
                        double(y1) - area.top(), double(area.bottom()) - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    if (t1 < 1) {
        x2 = int(std::lround(x1 + t1 * dx));
        y2 = int(std::lround(y1 + t1 * dy));
    }
    if (t0 > 0) {
        x1 = int(std::lround(x1 + t0 * dx));
        y1 = int(std::lround(y1 + t0 * dy));
    }
    return true;
}

void plot(QPainter& canvas, const std::vector<QPoint>& points, const QColor& color) {
    if (points.empty() || !color.isValid()) {
        return;
    }
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(QPen(color, 1));
    canvas.drawPoints(points.data(), int(points.size()));
    canvas.restore();
}

// A horizontal or vertical band of width w along a segment, with square ends reaching
// w/2 past both ends: what a wide solid pen with square caps covers.
void fillSquareCapped(QPainter& canvas, int x1, int y1, int x2, int y2, int w,
                      const QColor& color) {
    if (w < 1) {
        w = 1;
    }
    const int before = w / 2;
    const int after = w - 1 - before;
    QRect r;
    if (y1 == y2) {
        r = QRect(QPoint(std::min(x1, x2) - before, y1 - before),
                  QPoint(std::max(x1, x2) + after, y1 + after));
    } else {
        r = QRect(QPoint(x1 - before, std::min(y1, y2) - before),
                  QPoint(x1 + after, std::max(y1, y2) + after));
    }
    canvas.fillRect(r, color);
}

enum class Side { Left, Right, Top, Bottom };

void drawFrameLine(QPainter& canvas, const TqdxView& view, const ViewArea& area, int x1, int y1,
                   int x2, int y2, const TqdxFrameLine& line, Side side, bool neighbourA,
                   bool neighbourB) {
    const int w = Round(line.Width * area.ScaleX);
    const QColor color = toQColor(line.Color);
    const bool horizontal = side == Side::Top || side == Side::Bottom;
    if (line.Style == fsSolid || line.Style == fsDouble) {
        if (horizontal) {
            if (!neighbourA) {
                x1 += w / 2;
            }
            if (!neighbourB) {
                x2 -= w / 2;
            }
        } else {
            if (!neighbourA) {
                y1 += w / 2;
            }
            if (!neighbourB) {
                y2 -= w / 2;
            }
        }
    }
    switch (line.Style) {
    case fsSolid:
        fillSquareCapped(canvas, x1, y1, x2, y2, w, color);
        return;
    case fsDouble: {
        int a = neighbourA ? w : 0;
        int b = neighbourB ? w : 0;
        if (side == Side::Left || side == Side::Top) {
            a = -a;
            b = -b;
        }
        if (!horizontal) {
            fillSquareCapped(canvas, x1 - w, y1 + a, x2 - w, y2 - b, w, color);
            if (view.Color != clTransparent) {
                fillSquareCapped(canvas, x1, y1, x2, y2, w, toQColor(view.Color));
            }
            fillSquareCapped(canvas, x1 + w, y1 - a, x2 + w, y2 + b, w, color);
        } else {
            fillSquareCapped(canvas, x1 + a, y1 - w, x2 - b, y2 - w, w, color);
            if (view.Color != clTransparent) {
                fillSquareCapped(canvas, x1, y1, x2, y2, w, toQColor(view.Color));
            }
            fillSquareCapped(canvas, x1 - a, y1 + w, x2 + b, y2 + w, w, color);
        }
        return;
    }
    case fsAltDot:
    case fsSquare: {
        if (view.Color != clTransparent) {
            canvas.setPen(QPen(toQColor(view.Color), 1));
            DrawThickLine(canvas, x1, y1, x2, y2, w);
        }
        // Dots (or squares) of size w every 2w pixels along the segment.
        const int size = std::max(w, 1);
        const int period = w <= 1 ? 2 : 2 * w;
        const int length = horizontal ? std::abs(x2 - x1) : std::abs(y2 - y1);
        const int dir = horizontal ? (x2 >= x1 ? 1 : -1) : (y2 >= y1 ? 1 : -1);
        canvas.save();
        canvas.setPen(Qt::NoPen);
        canvas.setBrush(color);
        canvas.setRenderHint(QPainter::Antialiasing, line.Style == fsAltDot && w > 1);
        for (int p = 0; p <= length; p += period) {
            const int cx = horizontal ? x1 + dir * p : x1;
            const int cy = horizontal ? y1 : y1 + dir * p;
            const QRect cell(cx - size / 2, cy - size / 2, size, size);
            if (line.Style == fsAltDot && w > 1) {
                canvas.drawEllipse(cell);
            } else {
                canvas.fillRect(cell, color);
            }
        }
        canvas.restore();
        return;
    }
    default: {
        QPen pen(color, 1, FramePenStyle(line.Style));
        canvas.setPen(pen);
        DrawThickLine(canvas, x1, y1, x2, y2, w);
        return;
    }
    }
}

} // namespace

int RecordingDeviceMetric(QPaintDevice::PaintDeviceMetric metric, QSize pixels) {
    switch (metric) {
    case QPaintDevice::PdmWidth:
        return pixels.width();
    case QPaintDevice::PdmHeight:
        return pixels.height();
    case QPaintDevice::PdmWidthMM:
        return int(pixels.width() * 25.4 / 96);
    case QPaintDevice::PdmHeightMM:
        return int(pixels.height() * 25.4 / 96);
    case QPaintDevice::PdmNumColors:
        return 0x7FFFFFFF;
    case QPaintDevice::PdmDepth:
        return 32;
    case QPaintDevice::PdmDpiX:
    case QPaintDevice::PdmDpiY:
    case QPaintDevice::PdmPhysicalDpiX:
    case QPaintDevice::PdmPhysicalDpiY:
        return 96;
    case QPaintDevice::PdmDevicePixelRatio:
        return 1;
    case QPaintDevice::PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return 0;
    }
}

CanvasKind canvasKind(const QPainter& canvas) {
    const QPaintDevice* device = canvas.device();
    if (!device) {
        return CanvasKind::Screen;
    }
    switch (device->devType()) {
    case QInternal::Printer:
        return CanvasKind::Printer;
    case QInternal::Picture:
        return CanvasKind::Metafile;
    default:
        return CanvasKind::Screen;
    }
}

int canvasDpiX(const QPainter& canvas) {
    const QPaintDevice* device = canvas.device();
    const int dpi = device ? device->logicalDpiX() : 0;
    return dpi > 0 ? dpi : 96;
}

int canvasDpiY(const QPainter& canvas) {
    const QPaintDevice* device = canvas.device();
    const int dpi = device ? device->logicalDpiY() : 0;
    return dpi > 0 ? dpi : 96;
}

int Round(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 1e9) {
        return 0;
    }
    return int(std::nearbyint(v));
}

QColor toQColor(int color) {
    if (color == clTransparent) {
        return {};
    }
    if (color < 0 || (quint32(color) & 0xFF000000u) == 0x80000000u) {
        // System colours: the usual defaults of a desktop in light colours.
        static const QRgb system[] = {
            0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
            0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
            0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
            0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
        const quint32 index = quint32(color) & 0xFF;
        return index < std::size(system) ? QColor(system[index]) : QColor(Qt::black);
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

ViewArea SetDrawingArea(const TqdxView& view, double scaleX, double scaleY, double offsetX,
                        double offsetY) {
    ViewArea a;
    a.ScaleX = scaleX;
    a.ScaleY = scaleY;
    a.OffsetX = offsetX;
    a.OffsetY = offsetY;
    const double left = view.AbsLeft();
    const double top = view.AbsTop();
    a.X = Round(left * scaleX + offsetX);
    a.Y = Round(top * scaleY + offsetY);
    a.X1 = Round((left + view.Width()) * scaleX + offsetX);
    a.Y1 = Round((top + view.Height()) * scaleY + offsetY);
    if (view.Frame.DropShadow) {
        a.X1 -= Round(view.Frame.ShadowWidth * scaleX);
        a.Y1 -= Round(view.Frame.ShadowWidth * scaleY);
    }
    a.DX = a.X1 - a.X;
    a.DY = a.Y1 - a.Y;
    a.FrameWidth = Round(view.Frame.Width() * scaleX);
    return a;
}

void PaintBackground(QPainter& canvas, const TqdxView& view, const ViewArea& area) {
    if (view.Color != clTransparent && area.X1 > area.X && area.Y1 > area.Y) {
        canvas.fillRect(QRect(area.X, area.Y, area.DX, area.DY), toQColor(view.Color));
    }
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                             Qt::FDiagPattern, Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern};
    if (view.BrushStyle >= bsHorizontal && view.BrushStyle <= bsDiagCross) {
        QColor hatch = toQColor(view.Frame.Color());
        if (!hatch.isValid()) {
            hatch = Qt::black;
        }
        const QRect r(QPoint(area.X, area.Y), QPoint(area.X1, area.Y1));
        canvas.save();
        canvas.setRenderHint(QPainter::Antialiasing, false);
        canvas.setBrushOrigin(0, 0);
        canvas.fillRect(r, QBrush(hatch, hatches[view.BrushStyle - bsHorizontal]));
        canvas.restore();
    }
}

void DrawPixelLine(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& color) {
    if (!clipToCanvas(canvas, x1, y1, x2, y2, 1)) {
        return;
    }
    std::vector<QPoint> on;
    std::vector<QPoint> off;
    linePixels(x1, y1, x2, y2, {}, on, off);
    plot(canvas, on, color);
}

void DrawThickLine(QPainter& canvas, int x1, int y1, int x2, int y2, int w) {
    if (w <= 0) {
        w = 1;
    }
    const QPen pen = canvas.pen();
    if (pen.style() == Qt::NoPen || !clipToCanvas(canvas, x1, y1, x2, y2, w)) {
        return;
    }
    // Wider than anything a canvas shows: the strokes beyond it are never seen.
    w = std::min(w, 1 << 15);
    const std::vector<int> pattern = dashPattern(pen.style());
    // Gaps of a styled pen show the brush colour unless the brush is clear.
    const QColor gap = canvas.brush().style() == Qt::SolidPattern && !pattern.empty()
                           ? canvas.brush().color()
                           : QColor();
    std::vector<QPoint> on;
    std::vector<QPoint> off;
    const bool steep = std::abs(x2 - x1) <= std::abs(y2 - y1);
    for (int i = -(w / 2); i < -(w / 2) + w; ++i) {
        if (steep) {
            linePixels(x1 + i, y1, x2 + i, y2, pattern, on, off);
        } else {
            linePixels(x1, y1 + i, x2, y2 + i, pattern, on, off);
        }
    }
    plot(canvas, off, gap);
    plot(canvas, on, pen.color());
}

void DrawFrame(QPainter& canvas, const TqdxView& view, const ViewArea& area) {
    const TqdxFrame& frame = view.Frame;
    if (frame.DropShadow) {
        canvas.setPen(QPen(toQColor(frame.ShadowColor), 1));
        canvas.setBrush(Qt::NoBrush);
        int d = Round(frame.ShadowWidth * area.ScaleX);
        DrawThickLine(canvas, area.X1 + d / 2, area.Y + d, area.X1 + d / 2, area.Y1, d);
        d = Round(frame.ShadowWidth * area.ScaleY);
        DrawThickLine(canvas, area.X + d, area.Y1 + d / 2, area.X1 + d, area.Y1 + d / 2, d);
    }
    if (frame.Typ == 0 || frame.Color() == clTransparent || frame.Width() == 0) {
        return;
    }
    if (frame.Style() != fsSolid) {
        if (view.Color == clTransparent) {
            canvas.setBrush(Qt::NoBrush);
        } else {
            canvas.setBrush(toQColor(view.Color));
        }
    } else {
        canvas.setBrush(Qt::SolidPattern);
    }
    struct SideSpec {
        Side side;
        int bit;
        const TqdxFrameLine* line;
    };
    const SideSpec sides[] = {{Side::Left, ftLeft, &frame.LeftLine},
                              {Side::Right, ftRight, &frame.RightLine},
                              {Side::Top, ftTop, &frame.TopLine},
                              {Side::Bottom, ftBottom, &frame.BottomLine}};
    for (const SideSpec& s : sides) {
        if (!(frame.Typ & s.bit)) {
            continue;
        }
        const TqdxFrameLine& line = *s.line;
        const int penWidth =
            (line.Style == fsSolid || line.Style == fsDouble) ? Round(line.Width * area.ScaleX) : 1;
        const int a = penWidth == 2 && frame.Style() != fsSolid ? 1 : 0;
        const int b = penWidth == 1 && frame.Style() != fsSolid ? 1 : 0;
        switch (s.side) {
        case Side::Left:
            drawFrameLine(canvas, view, area, area.X, area.Y - a, area.X, area.Y1, line, s.side,
                          frame.Typ & ftTop, frame.Typ & ftBottom);
            break;
        case Side::Right:
            drawFrameLine(canvas, view, area, area.X1, area.Y, area.X1, area.Y1, line, s.side,
                          frame.Typ & ftTop, frame.Typ & ftBottom);
            break;
        case Side::Top:
            drawFrameLine(canvas, view, area, area.X, area.Y, area.X1, area.Y, line, s.side,
                          frame.Typ & ftLeft, frame.Typ & ftRight);
            break;
        case Side::Bottom:
            drawFrameLine(canvas, view, area, area.X, area.Y1, area.X1 + b, area.Y1, line, s.side,
                          frame.Typ & ftLeft, frame.Typ & ftRight);
            break;
        }
    }
}

void DrawView(QPainter& canvas, TqdxView& view, double scaleX, double scaleY, double offsetX,
              double offsetY) {
    if (auto* memo = qdx_cast<TqdxCustomMemoView>(&view)) {
        DrawMemoView(canvas, *memo, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* picture = qdx_cast<TqdxPictureView>(&view)) {
        DrawPictureView(canvas, *picture, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* line = qdx_cast<TqdxCustomLineView>(&view)) {
        DrawLineView(canvas, *line, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* shape = qdx_cast<TqdxShapeView>(&view)) {
        DrawShapeView(canvas, *shape, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* check = qdx_cast<TqdxCheckBoxView>(&view)) {
        DrawCheckBoxView(canvas, *check, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* gradient = qdx_cast<TqdxGradientView>(&view)) {
        DrawGradientView(canvas, *gradient, scaleX, scaleY, offsetX, offsetY);
    } else if (auto* rich = qdx_cast<TqdxRichView>(&view)) {
        DrawRichView(canvas, *rich, scaleX, scaleY, offsetX, offsetY);
    } else {
        const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
        PaintBackground(canvas, view, area);
        if (qdx_cast<TqdxSubreport>(&view)) {
            canvas.setPen(Qt::black);
            QFont font(QString::fromLatin1(view.Font().Name));
            font.setPixelSize(std::max(1, Round(std::abs(view.Font().Height) * scaleY)));
            canvas.setFont(font);
            canvas.drawText(QPoint(area.X + Round(2 * scaleX),
                                   area.Y + Round(2 * scaleY) + canvas.fontMetrics().ascent()),
                            QString::fromLatin1(view.Name()));
        }
        DrawFrame(canvas, view, area);
    }
}

} // namespace zr::reportlib::render
