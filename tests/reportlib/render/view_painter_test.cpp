#include "reportlib/render/view_painter.h"

#include <QImage>

#include <gtest/gtest.h>

namespace zr::reportlib::render {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);

// A view drawn on a white image.
QImage draw(TqdxView& view, double scaleX = 1, double scaleY = 1,
            QImage::Format format = QImage::Format_RGB32) {
    QImage image(200, 200, format);
    image.fill(Qt::white);
    QPainter p(&image);
    DrawView(p, view, scaleX, scaleY, 0, 0);
    return image;
}

QRgb at(const QImage& image, int x, int y) {
    return (image.pixel(x, y) & 0xFFFFFF) | 0xFF000000;
}

TEST(ViewPainter, DeviceRectangleRoundsEachEdge) {
    TqdxView view;
    view.SetBounds(10.5, 11.5, 20.25, 10);
    const ViewArea a = SetDrawingArea(view, 2, 1, 0.5, 0);
    EXPECT_EQ(a.X, 22);  // 21.5 -> 22 (even)
    EXPECT_EQ(a.Y, 12);  // 11.5 -> 12
    EXPECT_EQ(a.X1, 62); // 62
    EXPECT_EQ(a.DY, 10);
    view.Frame.DropShadow = true;
    const ViewArea s = SetDrawingArea(view, 1, 1, 0, 0);
    EXPECT_EQ(s.X1, Round(30.75) - 4);
    EXPECT_EQ(s.Y1, Round(21.5) - 4);
}

TEST(ViewPainter, BackgroundOnlyWhenColoured) {
    TqdxView view;
    view.SetBounds(10, 10, 50, 30);
    EXPECT_EQ(at(draw(view), 20, 20), kWhite); // transparent and solid: nothing
    view.Color = 0x0000FF;                     // red in 0x00BBGGRR
    const QImage image = draw(view);
    EXPECT_EQ(at(image, 10, 10), kRed);
    EXPECT_EQ(at(image, 59, 39), kRed);
    EXPECT_EQ(at(image, 60, 20), kWhite); // right and bottom edges excluded
    EXPECT_EQ(at(image, 20, 40), kWhite);
}

TEST(ViewPainter, HatchInFrameColourOverTransparentBackground) {
    TqdxView view;
    view.SetBounds(10, 10, 60, 60);
    view.BrushStyle = bsCross;
    view.Frame.SetColor(0x0000FF);
    const QImage image = draw(view);
    int red = 0;
    int white = 0;
    for (int y = 12; y < 68; ++y) {
        for (int x = 12; x < 68; ++x) {
            red += at(image, x, y) == kRed;
            white += at(image, x, y) == kWhite;
        }
    }
    EXPECT_GT(red, 100);
    EXPECT_GT(white, 1000);
}

TEST(ViewPainter, SolidFramesTrimFreeEndsAndCloseCorners) {
    TqdxView view;
    view.SetBounds(20, 20, 100, 50); // X 20, X1 120, Y 20, Y1 70
    view.Frame.Typ = ftTop;
    view.Frame.SetWidth(3);
    QImage image = draw(view);
    // The segment runs from X+1 to X1-1; its square ends reach X and X1.
    EXPECT_EQ(at(image, 20, 19), kBlack);
    EXPECT_EQ(at(image, 120, 21), kBlack);
    EXPECT_EQ(at(image, 19, 20), kWhite);
    EXPECT_EQ(at(image, 121, 20), kWhite);
    EXPECT_EQ(at(image, 60, 22), kWhite);

    view.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    view.Frame.SetWidth(2);
    image = draw(view);
    for (const QPoint p : {QPoint(19, 19), QPoint(120, 19), QPoint(19, 70), QPoint(120, 70)}) {
        EXPECT_EQ(at(image, p.x(), p.y()), kBlack) << p.x() << "," << p.y();
    }
    EXPECT_EQ(at(image, 60, 45), kWhite);

    // Width 0 draws no line.
    view.Frame.SetWidth(0);
    EXPECT_EQ(at(draw(view), 20, 45), kWhite);
}

TEST(ViewPainter, DoubleFrameShowsTheFillBetweenItsLines) {
    TqdxView view;
    view.SetBounds(20, 20, 100, 50);
    view.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    view.Frame.SetStyle(fsDouble);
    view.Color = 0x0000FF;
    QImage image = draw(view);
    EXPECT_EQ(at(image, 19, 45), kBlack);
    EXPECT_EQ(at(image, 20, 45), kRed);
    EXPECT_EQ(at(image, 21, 45), kBlack);
    view.Color = clTransparent;
    image = draw(view);
    EXPECT_EQ(at(image, 20, 45), kWhite);
    EXPECT_EQ(at(image, 19, 45), kBlack);
}

TEST(ViewPainter, DropShadowSitsInsideTheBounds) {
    TqdxView view;
    view.SetBounds(20, 20, 100, 50); // X1 becomes 116, Y1 66
    view.Frame.DropShadow = true;
    view.Frame.ShadowColor = 0x0000FF;
    view.Frame.SetWidth(0); // no lines, but the shadow
    view.Frame.Typ = 15;
    const QImage image = draw(view);
    EXPECT_EQ(at(image, 117, 30), kRed); // right band, from Y + 4 down
    EXPECT_EQ(at(image, 117, 22), kWhite);
    EXPECT_EQ(at(image, 30, 67), kRed); // bottom band, from X + 4 right
    EXPECT_EQ(at(image, 22, 67), kWhite);
    EXPECT_EQ(at(image, 119, 69), kRed); // the bottom band reaches under the right one
}

TEST(ViewPainter, FrameWidthsFollowTheHorizontalScale) {
    TqdxView view;
    view.SetBounds(10, 10, 50, 50);
    view.Frame.Typ = ftTop;
    view.Frame.SetWidth(2);
    const QImage image = draw(view, 3, 1); // 6 pixels thick at ScaleX 3, also for the top
    EXPECT_EQ(at(image, 60, 7), kBlack);
    EXPECT_EQ(at(image, 60, 12), kBlack);
    EXPECT_EQ(at(image, 60, 13), kWhite);
}

TEST(ViewPainter, ThickLineOffsetsAndDashedGaps) {
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 1));
    DrawThickLine(p, 10, 10, 50, 10, 4); // rows 8..11
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.setBrush(QColor(Qt::red));
    DrawThickLine(p, 10, 30, 50, 30, 1); // 18 on, 6 off in the brush colour
    p.end();
    EXPECT_EQ(at(image, 20, 8), kBlack);
    EXPECT_EQ(at(image, 20, 11), kBlack);
    EXPECT_EQ(at(image, 20, 12), kWhite);
    EXPECT_EQ(at(image, 50, 10), kWhite); // the end point is excluded
    EXPECT_EQ(at(image, 27, 30), kBlack);
    EXPECT_EQ(at(image, 30, 30), kRed);
}

} // namespace
} // namespace zr::reportlib::render
