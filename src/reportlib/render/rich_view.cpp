#include "view_painter.h"

#include "rtf/rtf_reader.h"

#include <QAbstractTextDocumentLayout>
#include <QPalette>
#include <QTextDocument>

namespace zr::reportlib::render {

namespace {

constexpr double kTwipsPerUnit = 1440.0 / 96.0;
// Text layout works in 26.6 fixed point; twips beyond this would overflow its positions.
constexpr int kMaxLayoutTwips = 4'000'000;

// The document is laid out in twips inside the view's text rectangle (the view's bounds less
// GapX and GapY at each side), the whole object mapped onto the device rectangle.
void drawDocument(QPainter& canvas, const TqdxRichView& view, const ViewArea& area) {
    const double width = view.Width();
    const double height = view.Height();
    if (view.RichText.isEmpty() || !(width > 0) || !(height > 0) || area.DX <= 0 || area.DY <= 0) {
        return;
    }
    const int left = Round(view.GapX * kTwipsPerUnit);
    const int top = Round(view.GapY * kTwipsPerUnit);
    const int right = Round((width - view.GapX) * kTwipsPerUnit);
    const int bottom = Round((height - view.GapY) * kTwipsPerUnit);
    if (right <= left || bottom <= top || right - left > kMaxLayoutTwips) {
        return;
    }
    const std::unique_ptr<QTextDocument> doc = RtfReader::read(view.RichText);
    doc->setTextWidth(right - left);

    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, true);
    canvas.setRenderHint(QPainter::TextAntialiasing, true);
    canvas.translate(area.X, area.Y);
    canvas.scale(area.DX / (width * kTwipsPerUnit), area.DY / (height * kTwipsPerUnit));
    canvas.translate(left, top);
    const QRectF clip(0, 0, right - left, bottom - top);
    canvas.setClipRect(clip, Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette.setColor(QPalette::Text, Qt::black);
    doc->documentLayout()->draw(&canvas, context);
    canvas.restore();
}

} // namespace

void DrawRichView(QPainter& canvas, TqdxRichView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY) {
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    PaintBackground(canvas, view, area);
    drawDocument(canvas, view, area);
    DrawFrame(canvas, view, area);
}

} // namespace zr::reportlib::render
