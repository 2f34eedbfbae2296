#include "draw_transparent.h"

#include <QImage>
#include <QPainter>

namespace zr::textreport::ui {

QImage keyedOut(const QImage& bitmap, QRgb key) {
    QImage out = bitmap.convertToFormat(QImage::Format_ARGB32);
    // The key is compared by colour only: a picture saved with an alpha channel has the same
    // colour under any alpha.
    const QRgb keyRgb = key & 0x00FFFFFFu;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == keyRgb) {
                line[x] = 0;
            }
        }
    }
    return out;
}

void DesenharTransparente(QPainter& canvas, int x, int y, const QImage& bitmap) {
    if (bitmap.isNull()) {
        return;
    }
    canvas.drawImage(x, y, keyedOut(bitmap, bitmap.pixel(0, bitmap.height() - 1)));
}

} // namespace zr::textreport::ui
