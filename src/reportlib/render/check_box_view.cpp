#include "view_painter.h"

#include <QPainterPath>

namespace zr::reportlib::render {

CheckBoxMark CheckBoxMarkOf(const TqdxCheckBoxView& view) {
    if (view.Checked) {
        switch (view.CheckStyle) {
        case csCross:
            return CheckBoxMark::CrossGlyph;
        case csCheck:
            return CheckBoxMark::CheckGlyph;
        case csLineCross:
            return CheckBoxMark::LineCross;
        case csPlus:
            return CheckBoxMark::Plus;
        default:
            return CheckBoxMark::None;
        }
    }
    switch (view.UncheckStyle) {
    case usCross:
        return CheckBoxMark::CrossGlyph;
    case usLineCross:
        return CheckBoxMark::LineCross;
    case usMinus:
        return CheckBoxMark::Minus;
    default:
        return CheckBoxMark::None;
    }
}

QPainterPath CheckBoxGlyph(CheckBoxMark mark, double x0, double y, double width, double height) {
    const double em = height;
    const double x = x0 + (width - Round(em * 0.8)) / 2;
    QPainterPath path;
    if (mark == CheckBoxMark::CrossGlyph) {
        path.moveTo(x + 0.14 * em, y + 0.20 * em);
        path.lineTo(x + 0.66 * em, y + 0.76 * em);
        path.moveTo(x + 0.66 * em, y + 0.20 * em);
        path.lineTo(x + 0.14 * em, y + 0.76 * em);
    } else if (mark == CheckBoxMark::CheckGlyph) {
        path.moveTo(x + 0.10 * em, y + 0.48 * em);
        path.lineTo(x + 0.30 * em, y + 0.72 * em);
        path.lineTo(x + 0.72 * em, y + 0.16 * em);
    }
    return path;
}

namespace {

// The ballot cross and the check mark as glyphs of a symbol font, drawn as outlines of our own
// so that no symbol font needs to be installed.
void drawGlyph(QPainter& canvas, CheckBoxMark mark, const ViewArea& a, const QColor& color) {
    const int em = a.DY;
    if (em <= 0 || a.DX <= 0) {
        return;
    }
    canvas.save();
    canvas.setClipRect(QRect(a.X, a.Y, a.DX, a.DY), Qt::IntersectClip);
    canvas.setRenderHint(QPainter::Antialiasing, true);
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(color, 0.12 * em, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    canvas.drawPath(CheckBoxGlyph(mark, a.X, a.Y, a.DX, em));
    canvas.restore();
}

} // namespace

void DrawCheckBoxView(QPainter& canvas, TqdxCheckBoxView& view, double scaleX, double scaleY,
                      double offsetX, double offsetY) {
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    PaintBackground(canvas, view, area);
    const CheckBoxMark mark = CheckBoxMarkOf(view);
    const QColor color = toQColor(view.CheckColor);
    if (mark != CheckBoxMark::None && color.isValid()) {
        const int left = area.X, top = area.Y, right = area.X1, bottom = area.Y1;
        const int middleX = left + (right - left) / 2;
        const int middleY = top + (bottom - top) / 2;
        switch (mark) {
        case CheckBoxMark::CrossGlyph:
        case CheckBoxMark::CheckGlyph:
            drawGlyph(canvas, mark, area, color);
            break;
        case CheckBoxMark::LineCross:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left, top, right, bottom, area.FrameWidth);
            DrawThickLine(canvas, left, bottom, right, top, area.FrameWidth);
            break;
        case CheckBoxMark::Plus:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left + 3, middleY, right - 2, middleY, area.FrameWidth);
            DrawThickLine(canvas, middleX, top + 3, middleX, bottom - 2, area.FrameWidth);
            break;
        case CheckBoxMark::Minus:
            canvas.setPen(QPen(color, 1));
            DrawThickLine(canvas, left + 3, middleY, right - 2, middleY, area.FrameWidth);
            break;
        case CheckBoxMark::None:
            break;
        }
    }
    DrawFrame(canvas, view, area);
}

} // namespace zr::reportlib::render
