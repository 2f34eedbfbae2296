#include "view_painter.h"

#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zr::reportlib::render {

namespace {

struct ArrowHead {
    QPoint tip, corner1, corner2;
};

// The head of an arrow whose tip is (x2, y2) on the line coming from (x1, y1): its base centre
// lies on the line at distance `length` from the tip, its corners `width` to either side.
ArrowHead arrowHead(int x1, int y1, int x2, int y2, double width, double length) {
    double xb = 0;
    double yb = 0;
    double c1x = 0, c1y = 0, c2x = 0, c2y = 0;
    if (std::abs(x2 - x1) > 8) {
        // The base centre solves |(x, kx + b0) - tip| = length on the line y = kx + b0.
        const double k = double(y2 - y1) / double(x2 - x1);
        const double b0 = (double(x2) * y1 - double(x1) * y2) / double(x2 - x1);
        const double a = k * k + 1;
        const double b = 2 * (k * (b0 - y2) - x2);
        const double c =
            double(x2) * x2 + double(y2) * y2 - length * length + b0 * b0 - 2.0 * y2 * b0;
        // Rounding can make the discriminant a hair negative for a point on the line.
        const double root = std::sqrt(std::max(0.0, b * b - 4 * a * c));
        xb = (root - b) / (2 * a);
        if ((x1 < xb && x2 < xb) || (x1 > xb && x2 > xb)) {
            xb = (-b - root) / (2 * a);
        }
        yb = k * xb + b0;
        const double phi = std::atan(k);
        c1x = xb + width * std::sin(phi);
        c1y = yb - width * std::cos(phi);
        c2x = xb - width * std::sin(phi);
        c2y = yb + width * std::cos(phi);
    } else {
        xb = x2;
        yb = y2 - length;
        if ((y1 < yb && y2 < yb) || (y1 > yb && y2 > yb)) {
            yb = y2 + length;
        }
        c1x = xb - width;
        c1y = yb;
        c2x = xb + width;
        c2y = yb;
    }
    return {QPoint(x2, y2), QPoint(Round(c1x), Round(c1y)), QPoint(Round(c2x), Round(c2y))};
}

// `outline` is the pen the line itself was drawn with; a solid head is filled with `fill`.
void drawArrow(QPainter& canvas, const TqdxCustomLineView& view, const ViewArea& area, int x1,
               int y1, int x2, int y2, const QColor& outline, int outlineWidth,
               const QColor& fill) {
    const ArrowHead head =
        arrowHead(x1, y1, x2, y2, view.ArrowWidth * area.ScaleX, view.ArrowLength * area.ScaleX);
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    if (view.ArrowSolid) {
        canvas.setPen(
            QPen(outline, std::max(outlineWidth, 1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        canvas.setBrush(fill);
        const QPoint points[] = {head.tip, head.corner1, head.corner2};
        canvas.drawPolygon(points, 3);
    } else {
        const int w = Round(view.Frame.Width() * area.ScaleX);
        if (w <= 1) {
            // Like a 1-pixel polyline: each segment leaves out its end point.
            DrawPixelLine(canvas, head.corner1.x(), head.corner1.y(), head.tip.x(), head.tip.y(),
                          outline);
            DrawPixelLine(canvas, head.tip.x(), head.tip.y(), head.corner2.x(), head.corner2.y(),
                          outline);
        } else {
            canvas.setPen(QPen(outline, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const QPoint points[] = {head.corner1, head.tip, head.corner2};
            canvas.drawPolyline(points, 3);
        }
    }
    canvas.restore();
}

} // namespace

void DrawLineView(QPainter& canvas, TqdxCustomLineView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY) {
    if (!view.Diagonal) {
        // A straight line keeps only its longer extent and draws as one frame side.
        if (view.Height() >= view.Width()) {
            view.SetWidth(0);
            view.Frame.Typ = ftLeft;
        } else {
            view.SetHeight(0);
            view.Frame.Typ = ftTop;
        }
    }
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    const QColor frameColor = toQColor(view.Frame.Color());

    QColor outline = frameColor;
    int outlineWidth = 1;
    if (!view.Diagonal) {
        DrawFrame(canvas, view, area);
        const TqdxFrameLine& line =
            view.Frame.Typ == ftLeft ? view.Frame.LeftLine : view.Frame.TopLine;
        outline = toQColor(line.Color);
        if (line.Style == fsSolid || line.Style == fsDouble) {
            outlineWidth = Round(line.Width * scaleX);
        }
        if (!outline.isValid()) {
            outline = frameColor;
        }
    } else {
        if (!frameColor.isValid() || view.Frame.Width() == 0) {
            return;
        }
        canvas.setBrush(view.Color == clTransparent ? QBrush(Qt::NoBrush)
                                                    : QBrush(toQColor(view.Color)));
        canvas.setPen(QPen(frameColor, 1, FramePenStyle(view.Frame.Style())));
        DrawThickLine(canvas, area.X, area.Y, area.X1, area.Y1, area.FrameWidth);
    }
    if (!frameColor.isValid() || !outline.isValid()) {
        return;
    }
    if (view.ArrowStart) {
        drawArrow(canvas, view, area, area.X1, area.Y1, area.X, area.Y, outline, outlineWidth,
                  frameColor);
    }
    if (view.ArrowEnd) {
        drawArrow(canvas, view, area, area.X, area.Y, area.X1, area.Y1, outline, outlineWidth,
                  frameColor);
    }
}

} // namespace zr::reportlib::render
