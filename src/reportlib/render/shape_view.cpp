#include "view_painter.h"

#include <QPolygon>

#include <algorithm>

namespace zr::reportlib::render {

namespace {

// The device rectangle the view would have with other bounds (report units, relative to its
// parent), computed as the view base does it.
ViewArea areaWithBounds(const TqdxView& view, double left, double top, double width, double height,
                        const ViewArea& base) {
    ViewArea a = base;
    const double absLeft = view.AbsLeft() - view.Left() + left;
    const double absTop = view.AbsTop() - view.Top() + top;
    a.X = Round(absLeft * a.ScaleX + a.OffsetX);
    a.Y = Round(absTop * a.ScaleY + a.OffsetY);
    a.X1 = Round((absLeft + width) * a.ScaleX + a.OffsetX);
    a.Y1 = Round((absTop + height) * a.ScaleY + a.OffsetY);
    if (view.Frame.DropShadow) {
        a.X1 -= Round(view.Frame.ShadowWidth * a.ScaleX);
        a.Y1 -= Round(view.Frame.ShadowWidth * a.ScaleY);
    }
    a.DX = a.X1 - a.X;
    a.DY = a.Y1 - a.Y;
    return a;
}

// The pen of the outline: 1-pixel styled pens dash like the frame lines; wider pens are solid.
QPen outlinePen(const TqdxShapeView& view, const ViewArea& area, int frameStyle) {
    const QColor color = toQColor(view.Frame.Color());
    if (!color.isValid()) {
        return QPen(Qt::NoPen);
    }
    const int w = std::max(area.FrameWidth, 1);
    QPen pen(color, w, Qt::SolidLine, w > 1 ? Qt::RoundCap : Qt::FlatCap,
             w > 1 ? Qt::RoundJoin : Qt::MiterJoin);
    if (w == 1) {
        switch (frameStyle) {
        case fsDash:
            pen.setDashPattern({18, 6});
            break;
        case fsDot:
            pen.setDashPattern({3, 3});
            break;
        case fsDashDot:
            pen.setDashPattern({9, 6, 3, 6});
            break;
        case fsDashDotDot:
            pen.setDashPattern({9, 3, 3, 3, 3, 3});
            break;
        default:
            break;
        }
    }
    return pen;
}

void drawFigure(QPainter& canvas, const TqdxShapeView& view, const ViewArea& a) {
    // Outlines pass through X..X1 and Y..Y1; without a pen the fill covers X..X1-1.
    const QRect box(a.X, a.Y, a.DX, a.DY);
    switch (view.Shape) {
    case skRoundRectangle: {
        const int r =
            view.Curve != 0 ? Round(view.Curve * a.ScaleX * 10) : std::min(a.DX, a.DY) / 4;
        canvas.drawRoundedRect(box, r / 2.0, r / 2.0);
        break;
    }
    case skEllipse:
        canvas.drawEllipse(box);
        break;
    case skTriangle: {
        const QPoint points[] = {{a.X1, a.Y1}, {a.X, a.Y1}, {a.X + a.DX / 2, a.Y}};
        canvas.drawPolygon(points, 3);
        break;
    }
    case skDiamond: {
        const QPoint points[] = {{a.X + a.DX / 2, a.Y},
                                 {a.X1, a.Y + a.DY / 2},
                                 {a.X + a.DX / 2, a.Y1},
                                 {a.X, a.Y + a.DY / 2}};
        canvas.drawPolygon(points, 4);
        break;
    }
    case skRectangle:
    default:
        canvas.drawRect(box);
        break;
    }
}

void drawShape(QPainter& canvas, const TqdxShapeView& view, const ViewArea& a, int frameStyle) {
    if (view.Shape == skDiagonal1 || view.Shape == skDiagonal2) {
        const QColor color = toQColor(view.Frame.Color());
        if (!color.isValid()) {
            return;
        }
        canvas.setPen(QPen(color, 1,
                           frameStyle == fsDash         ? Qt::DashLine
                           : frameStyle == fsDot        ? Qt::DotLine
                           : frameStyle == fsDashDot    ? Qt::DashDotLine
                           : frameStyle == fsDashDotDot ? Qt::DashDotDotLine
                                                        : Qt::SolidLine));
        canvas.setBrush(view.Color == clTransparent ? QBrush(Qt::NoBrush)
                                                    : QBrush(toQColor(view.Color)));
        if (view.Shape == skDiagonal1) {
            DrawThickLine(canvas, a.X, a.Y1, a.X1, a.Y, a.FrameWidth);
        } else {
            DrawThickLine(canvas, a.X, a.Y, a.X1, a.Y1, a.FrameWidth);
        }
        return;
    }
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                             Qt::FDiagPattern, Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern};
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(outlinePen(view, a, frameStyle));
    const bool hatched = view.BrushStyle >= bsHorizontal && view.BrushStyle <= bsDiagCross;
    if (view.Color != clTransparent) {
        // Gaps of a dashed outline show the fill colour.
        canvas.setBackgroundMode(Qt::OpaqueMode);
        canvas.setBackground(toQColor(view.Color));
        canvas.setBrush(toQColor(view.Color));
        drawFigure(canvas, view, a);
    } else if (!hatched) {
        canvas.setBackgroundMode(Qt::TransparentMode);
        canvas.setBrush(Qt::NoBrush);
        drawFigure(canvas, view, a);
    }
    if (hatched) {
        // The hatch lies over the fill, in the frame colour.
        QColor hatch = toQColor(view.Frame.Color());
        if (!hatch.isValid()) {
            hatch = Qt::black;
        }
        canvas.setBackgroundMode(Qt::TransparentMode);
        canvas.setBrushOrigin(0, 0);
        canvas.setBrush(QBrush(hatch, hatches[view.BrushStyle - bsHorizontal]));
        drawFigure(canvas, view, a);
    }
    canvas.restore();
}

} // namespace

void DrawShapeView(QPainter& canvas, TqdxShapeView& view, double scaleX, double scaleY,
                   double offsetX, double offsetY) {
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    if (view.Frame.Style() != fsDouble) {
        drawShape(canvas, view, area, view.Frame.Style());
        return;
    }
    // A double frame is the shape drawn twice with a solid outline: at full size, then inset
    // by a few frame widths (report units), by how much depending on the figure.
    drawShape(canvas, view, area, fsSolid);
    const double fw = view.Frame.Width();
    double left = view.Left() + 2 * fw;
    double top = view.Top() + 2 * fw;
    double width = view.Width() - 4 * fw;
    double height = view.Height() - 4 * fw;
    switch (view.Shape) {
    case skTriangle:
        left = view.Left() + 4 * fw;
        top = view.Top() + 4 * fw;
        width = view.Width() - 8 * fw;
        height = view.Height() - 6 * fw;
        break;
    case skDiamond:
        left = view.Left() + 3 * fw;
        top = view.Top() + 3 * fw;
        width = view.Width() - 6 * fw;
        height = view.Height() - 6 * fw;
        break;
    case skDiagonal1:
    case skDiagonal2:
        top = view.Top();
        width = view.Width();
        height = view.Height();
        break;
    default:
        break;
    }
    const ViewArea inner = areaWithBounds(view, left, top, width, height, area);
    if (inner.DX < 0 || inner.DY < 0) {
        return; // the frame is too wide for a second outline inside the first
    }
    drawShape(canvas, view, inner, fsSolid);
}

} // namespace zr::reportlib::render
