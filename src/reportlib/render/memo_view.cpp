#include "memo_layout.h"

#include <QPen>

#include <mutex>

namespace zr::reportlib::render {

namespace {

constexpr TextRect kUnboundedRect{0, 0, 10000, 10000};

// Frame and gaps around the text, in report units.
double horizontalExtra(const TqdxCustomMemoView& view) {
    const double fw = view.Frame.Width();
    double extra = 2 * view.GapX;
    if (view.Frame.Typ & ftLeft) {
        extra += (fw - 1) / 2;
    }
    if (view.Frame.Typ & ftRight) {
        extra += fw / 2;
    }
    if (view.Frame.DropShadow) {
        extra += view.Frame.ShadowWidth;
    }
    return extra;
}

double verticalExtra(const TqdxCustomMemoView& view) {
    const double fw = view.Frame.Width();
    double extra = 2 * view.GapY;
    if (view.Frame.Typ & ftTop) {
        extra += (fw - 1) / 2;
    }
    if (view.Frame.Typ & ftBottom) {
        extra += fw / 2;
    }
    if (view.Frame.DropShadow) {
        extra += view.Frame.ShadowWidth;
    }
    return extra;
}

// Font, options and spacing of the memo for the engine (the highlight font when the highlight
// is active).
void useFontAndOptions(TqdxDrawText& engine, const TqdxCustomMemoView& view) {
    engine.SetUseDefaultCharset(view.UseDefaultCharset);
    engine.UseFont(view.Highlight.Active ? view.Highlight.Font : view.Font());
    engine.UseOptions(view.WordWrap, view.AllowHTMLTags, view.Rotation(), view.Wysiwyg,
                      view.Clipped, view.WordBreak, view.RTLReading);
    engine.UseSpacing(view.LineSpacing, view.CharSpacing, view.ParagraphGap);
}

// Sets the width from the text, keeping the right edge (right-aligned) or the centre
// (centred) in place, and lets the parent realign its aligned children.
void applyAutoWidth(TqdxDrawText& engine, TqdxCustomMemoView& view) {
    engine.UseArea(kUnboundedRect, kUnboundedRect, 1, 1, 1);
    engine.UseText(view.Memo);
    const double oldWidth = view.Width();
    const double newWidth = engine.MeasureWidth() + horizontalExtra(view);
    view.SetWidth(newWidth);
    if (view.HAlign == haRight) {
        view.SetLeft(view.Left() + (oldWidth - newWidth));
    } else if (view.HAlign == haCenter) {
        view.SetLeft(view.Left() + (oldWidth - newWidth) / 2);
    }
    if (TqdxComponent* parent = view.Parent()) {
        parent->TqdxComponent::ArrangeChildren();
    }
}

// Ruled lines under the text lines, across the whole device rectangle down to its bottom.
void drawUnderlines(QPainter& canvas, const TqdxCustomMemoView& view, const ViewArea& area,
                    const TqdxDrawText& engine) {
    const QColor color = toQColor(view.Frame.Color());
    const double step = engine.LineStep() * area.ScaleY;
    // A step of zero or less (negative line spacing) would never reach the bottom.
    if (!color.isValid() || !(step > 0)) {
        return;
    }
    canvas.save();
    canvas.setPen(QPen(color, 1, Qt::SolidLine));
    double y = area.Y + (view.GapY - view.LineSpacing + 1) * area.ScaleY + step;
    while (y < area.Y1) {
        DrawThickLine(canvas, area.X, Round(y), area.X1, Round(y), area.FrameWidth);
        y += step;
    }
    canvas.restore();
}

// Replaces every occurrence of `macro` (any letter case) by `value`; `resumeAfter` continues
// the search after the inserted text, otherwise at its position.
bool replaceMacro(QString& text, QStringView macro, const QString& value, bool resumeAfter) {
    bool changed = false;
    qsizetype pos = 0;
    while ((pos = text.indexOf(macro, pos, Qt::CaseInsensitive)) >= 0) {
        text.replace(pos, macro.size(), value);
        changed = true;
        if (resumeAfter) {
            pos += value.size();
        }
    }
    return changed;
}

} // namespace

TextRect MemoTextRect(const TqdxCustomMemoView& view, const ViewArea& area) {
    const double fw = view.Frame.Width();
    const int typ = view.Frame.Typ;
    const int left = (typ & ftLeft) ? Round((fw * area.ScaleX - 1) / 2) : 0;
    const int right = (typ & ftRight) ? Round(fw * area.ScaleX / 2) : 0;
    const int top = (typ & ftTop) ? Round((fw * area.ScaleY - 1) / 2) : 0;
    const int bottom = (typ & ftBottom) ? Round(fw * area.ScaleY / 2) : 0;
    const int gx = Round(view.GapX * area.ScaleX);
    const int gy = Round(view.GapY * area.ScaleY);
    return {area.X + left + gx, area.Y + top + gy, area.X1 - right - gx + 1,
            area.Y1 - bottom - gy + 1};
}

bool ExpandMemoPageMacros(TqdxCustomMemoView& view) {
    if (!view.AllowExpressions) {
        return false;
    }
    // A prepared report carries no report variables, so the copy name is always empty.
    const QString copyName;
    bool changed = false;
    for (int i = 0; i < view.Memo.Count(); ++i) {
        QString line = view.Memo.Strings(i);
        bool lineChanged =
            replaceMacro(line, u"[TOTALPAGES#]", QString::number(view.TotalPages), false);
        lineChanged = replaceMacro(line, u"[COPYNAME#]", copyName, true) || lineChanged;
        if (lineChanged) {
            view.Memo.SetStrings(i, line);
            changed = true;
        }
    }
    return changed;
}

double MemoCalcHeight(const TqdxCustomMemoView& view) {
    std::lock_guard lock(TextLock());
    TqdxDrawText& engine = SharedDrawText();
    useFontAndOptions(engine, view);
    if (view.AutoWidth) {
        engine.UseArea(kUnboundedRect, kUnboundedRect, 1, 1, 1);
    } else {
        const TextRect rect = MemoTextRect(view, SetDrawingArea(view, 1, 1, 0, 0));
        engine.UseArea(rect, rect, 1, 1, 1);
    }
    engine.UseText(view.Memo);
    return Round(engine.MeasureHeight() + verticalExtra(view));
}

double MemoCalcWidth(const TqdxCustomMemoView& view) {
    std::lock_guard lock(TextLock());
    TqdxDrawText& engine = SharedDrawText();
    useFontAndOptions(engine, view);
    engine.UseArea(kUnboundedRect, kUnboundedRect, 1, 1, 1);
    engine.UseText(view.Memo);
    return Round(engine.MeasureWidth() + horizontalExtra(view));
}

void DrawMemoView(QPainter& canvas, TqdxCustomMemoView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY) {
    ExpandMemoPageMacros(view);

    // The highlight colour replaces the memo's own only while it is drawn.
    struct ColorRestore {
        TqdxCustomMemoView& view;
        int color;
        ~ColorRestore() { view.Color = color; }
    } restore{view, view.Color};
    std::lock_guard lock(TextLock());

    TqdxDrawText& engine = SharedDrawText();
    useFontAndOptions(engine, view);
    if (view.Highlight.Active) {
        view.Color = view.Highlight.Color;
    }
    if (view.AutoWidth) {
        applyAutoWidth(engine, view);
    }
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    const TextRect clip = MemoTextRect(view, area);
    // Wrapping depends on report units only, never on the zoom.
    const TextRect layout = MemoTextRect(view, SetDrawingArea(view, 1, 1, 0, 0));
    engine.UseArea(layout, clip, scaleX, scaleY, view.IsPrinting ? view.PrintScale : 1);
    engine.UseText(view.Memo);
    engine.UseParagraphBreaks(view.FirstParaBreak, view.LastParaBreak);

    PaintBackground(canvas, view, area);
    DrawFrame(canvas, view, area);
    if (view.Underlines && view.Rotation() == 0) {
        drawUnderlines(canvas, view, area, engine);
    }
    engine.RenderText(canvas, view.HAlign, view.VAlign);
}

} // namespace zr::reportlib::render
