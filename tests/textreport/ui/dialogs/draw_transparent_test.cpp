#include "textreport/ui/draw_transparent.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace zr::textreport::ui {
namespace {

constexpr QRgb kRed = 0xFFFF0000u;
constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kGreen = 0xFF00FF00u;

QImage canvas() {
    QImage image(6, 6, QImage::Format_ARGB32);
    image.fill(kRed);
    return image;
}

TEST(DesenharTransparente, LeavesOutEveryPixelOfTheLowerLeftColour) {
    // Blue at the lower left (and elsewhere), one green pixel.
    QImage bitmap(3, 2, QImage::Format_RGB32);
    bitmap.fill(kBlue);
    bitmap.setPixel(1, 0, kGreen);
    QImage target = canvas();
    {
        QPainter p(&target);
        DesenharTransparente(p, 2, 3, bitmap);
    }
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            const QRgb expected = (x == 3 && y == 3) ? kGreen : kRed;
            EXPECT_EQ(target.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(DesenharTransparente, DrawsNothingForAnEmptyOrSingleColourBitmap) {
    QImage target = canvas();
    QImage single(4, 4, QImage::Format_RGB32);
    single.fill(kGreen);
    {
        QPainter p(&target);
        DesenharTransparente(p, 0, 0, QImage());
        DesenharTransparente(p, 1, 1, single);
    }
    EXPECT_EQ(target, canvas());
}

} // namespace
} // namespace zr::textreport::ui
