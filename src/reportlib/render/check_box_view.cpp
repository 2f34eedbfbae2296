#include "view_painter.h"

#include <QPainterPath>

namespace zr::reportlib::render {

namespace {

enum class Mark { None, CrossGlyph, CheckGlyph, LineCross, Plus, Minus };

Mark markOf(const TqdxCheckBoxView& view) {
    if (view.Checked) {
        switch (view.CheckStyle) {
        case csCross:
            return Mark::CrossGlyph;
        case csCheck:
            return Mark::CheckGlyph;
        case csLineCross:
            return Mark::LineCross;
        case csPlus:
            return Mark::Plus;
        default:
            return Mark::None;
        }
    }
    switch (view.UncheckStyle) {
    case usCross:
        return Mark::CrossGlyph;
    case usLineCross:
        return Mark::LineCross;
    case usMinus:
        return Mark::Minus;
    default:
        return Mark::None;
    }
}

// The ballot cross and the check mark as glyphs of a symbol font: a character cell as high as
// the box (the character height), 0.8 of that wide, centred horizontally, clipped to the box.
// They are drawn as outlines of our own so that no symbol font needs to be installed.
void drawGlyph(QPainter& canvas, Mark mark, const ViewArea& a, const QColor& color) {
    const int em = a.DY;
    if (em <= 0 || a.DX <= 0) {
        return;
    }
    const int cellWidth = Round(em * 0.8);
    const double x = a.X + (a.DX - cellWidth) / 2;
    const double y = a.Y;
    QPainterPath path;
    if (mark == Mark::CrossGlyph) {
        path.moveTo(x + 0.14 * em, y + 0.20 * em);
        path.lineTo(x + 0.66 * em, y + 0.76 * em);
        path.moveTo(x + 0.66 * em, y + 0.20 * em);
        path.lineTo(x + 0.14 * em, y + 0.76 * em);
    } else {
        path.moveTo(x + 0.10 * em, y + 0.48 * em);
        path.lineTo(x + 0.30 * em, y + 0.72 * em);
        path.lineTo(x + 0.72 * em, y + 0.16 * em);
    }
    canvas.save();
    canvas.setClipRect(QRect(a.X, a.Y, a.DX, a.DY), Qt::IntersectClip);
    canvas.setRenderHint(QPainter::Antialiasing, true);
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(color, 0.12 * em, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    canvas.drawPath(path);
    canvas.restore();
}

} // namespace

void DrawCheckBoxView(QPainter& canvas, TqdxCheckBoxView& view, double scaleX, double scaleY,
                      double offsetX, double offsetY) {
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    PaintBackground(canvas, view, area);
    const Mark mark = markOf(view);
    const QColor color = toQColor(view.CheckColor);
    if (mark != Mark::None && color.isValid()) {
        const int left = area.X, top = area.Y, right = area.X1, bottom = area.Y1;
        const int middleX = left + (right - left) / 2;
        const int middleY = top + (bottom - top) / 2;
        switch (mark) {
        case Mark::CrossGlyph:
        case Mark::CheckGlyph:
            drawGlyph(canvas, mark, area, color);
            break;
        case Mark::LineCross:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left, top, right, bottom, area.FrameWidth);
            DrawThickLine(canvas, left, bottom, right, top, area.FrameWidth);
            break;
        case Mark::Plus:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left + 3, middleY, right - 2, middleY, area.FrameWidth);
            DrawThickLine(canvas, middleX, top + 3, middleX, bottom - 2, area.FrameWidth);
            break;
        case Mark::Minus:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left + 3, middleY, right - 2, middleY, area.FrameWidth);
            break;
        case Mark::None:
            break;
        }
    }
    DrawFrame(canvas, view, area);
}

} // namespace zr::reportlib::render
