#include "picture_view.h"

#include "view_painter.h"

#include <optional>

namespace zr::reportlib::render {

namespace {

void drawImage(QPainter& canvas, const QRectF& target, const QImage& image, bool smooth) {
    if (image.isNull()) {
        return;
    }
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    canvas.drawImage(target, image);
    canvas.restore();
}

} // namespace

void PaintGraphic(QPainter& canvas, const QRect& rect, const Graphic& graphic, int transparentColor,
                  bool transparent, bool hightQuality, bool isPrinting) {
    canvas.setBrush(Qt::white);
    if (graphic.Empty() || rect.isEmpty()) {
        return;
    }
    // A transparent colour that is no colour at all leaves every pixel visible.
    const QColor keyColor = toQColor(transparentColor);
    const std::optional<QRgb> key =
        keyColor.isValid() ? std::optional<QRgb>(keyColor.rgb()) : std::nullopt;
    const QRectF target(rect);
    const bool intermediate =
        !graphic.IsMetafile() &&
        (isPrinting || (transparent && graphic.Kind() != GraphicKind::Bitmap) || hightQuality);
    if (intermediate) {
        // The graphic over its transparent colour, so that its own see-through pixels take
        // that colour; then scaled smoothly, as half-tone stretching does.
        QImage image = graphic.Flattened(key.value_or(qRgb(255, 255, 255)));
        if (transparent && key) {
            image = graphic.WithTransparentColor(image, *key);
        }
        drawImage(canvas, target, image, true);
    } else if (transparent && graphic.Kind() == GraphicKind::Bitmap) {
        drawImage(canvas, target,
                  key ? graphic.WithTransparentColor(graphic.Image(), *key) : graphic.Image(),
                  true);
    } else {
        graphic.Draw(canvas, target, false);
    }
}

QSize PictureNaturalSize(const TqdxPicture& picture) {
    const std::shared_ptr<const Graphic> graphic = GraphicOf(picture);
    return graphic ? graphic->Size() : QSize();
}

bool ApplyPictureAutoSize(TqdxPictureView& view) {
    if (!view.AutoSize) {
        return false;
    }
    const QSize size = PictureNaturalSize(view.Picture);
    if (size.isEmpty() || (view.Width() == size.width() && view.Height() == size.height())) {
        return false;
    }
    view.SetWidth(size.width());
    view.SetHeight(size.height());
    return true;
}

void DrawPictureView(QPainter& canvas, TqdxPictureView& view, double scaleX, double scaleY,
                     double offsetX, double offsetY) {
    // The image may have been put into the view since its size was last set.
    ApplyPictureAutoSize(view);
    const ViewArea area = SetDrawingArea(view, scaleX, scaleY, offsetX, offsetY);
    PaintBackground(canvas, view, area);
    const std::shared_ptr<const Graphic> graphic = GraphicOf(view.Picture);
    if (graphic && !graphic->Empty()) {
        const int imageWidth = graphic->Size().width(), imageHeight = graphic->Size().height();
        int left = area.X, top = area.Y, right = area.X1, bottom = area.Y1;
        const auto paint = [&] {
            if (right > left && bottom > top) {
                PaintGraphic(canvas, QRect(left, top, right - left, bottom - top), *graphic,
                             view.TransparentColor, view.Transparent(), view.HightQuality,
                             view.IsPrinting);
            }
        };
        if (view.Stretched) {
            if (view.KeepAspectRatio) {
                const double kx = double(area.DX) / imageWidth;
                const double ky = double(area.DY) / imageHeight;
                if (ky > kx) {
                    bottom = top + Round(imageHeight * kx);
                } else {
                    right = left + Round(imageWidth * ky);
                }
                if (view.Center) {
                    const int dx = (area.DX - (right - left)) / 2;
                    const int dy = (area.DY - (bottom - top)) / 2;
                    left += dx;
                    right += dx;
                    top += dy;
                    bottom += dy;
                }
            }
            paint();
        } else {
            // Natural size at the drawing scale, clipped to the view.
            const int width = Round(area.ScaleX * imageWidth);
            const int height = Round(area.ScaleY * imageHeight);
            canvas.save();
            canvas.setClipRect(QRect(area.X, area.Y, area.X1 - area.X, area.Y1 - area.Y),
                               Qt::IntersectClip);
            if (view.Center) {
                left += (area.DX - width) / 2;
                top += (area.DY - height) / 2;
            }
            right = left + width;
            bottom = top + height;
            paint();
            canvas.restore();
        }
    }
    DrawFrame(canvas, view, area);
}

} // namespace zr::reportlib::render
