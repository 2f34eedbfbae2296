#include "reportlib/render/view_painter.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

namespace zr::reportlib::render {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
constexpr int kRedValue = 0x0000FF; // 0x00BBGGRR

QImage draw(TqdxView& view, int width = 200, int height = 200, double scale = 1) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    DrawView(p, view, scale, scale, 0, 0);
    return image;
}

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000;
}

// Pixels of the rectangle [x0, x1) x [y0, y1) that satisfy `pred`.
template <class Pred> int count(const QImage& image, int x0, int y0, int x1, int y1, Pred pred) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            n += pred(at(image, x, y)) ? 1 : 0;
        }
    }
    return n;
}

bool isRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isWhite(QRgb c) {
    return c == kWhite;
}
bool notWhite(QRgb c) {
    return c != kWhite;
}

// --- Lines -----------------------------------------------------------------------------------

TEST(LineView, StraightLineKeepsItsLongerExtentAndDrawsAsAFrameSide) {
    TqdxLineView line;
    line.SetBounds(20, 30, 100, 3);
    const QImage image = draw(line);
    EXPECT_EQ(line.Height(), 0);
    EXPECT_EQ(line.Frame.Typ, ftTop);
    EXPECT_EQ(at(image, 20, 30), kBlack); // both ends
    EXPECT_EQ(at(image, 119, 30), kBlack);
    EXPECT_EQ(at(image, 122, 30), kWhite);
    EXPECT_EQ(at(image, 70, 29), kWhite); // one pixel thick
    EXPECT_EQ(at(image, 70, 31), kWhite);

    TqdxLineView square;
    square.SetBounds(50, 50, 3, 3);
    const QImage vertical = draw(square);
    EXPECT_EQ(square.Width(), 0);
    EXPECT_EQ(square.Frame.Typ, ftLeft);
    EXPECT_EQ(at(vertical, 50, 51), kBlack);
    EXPECT_EQ(at(vertical, 52, 51), kWhite);
}

TEST(LineView, WideStraightLineUsesTheFrameWidthAndColour) {
    TqdxLineView line;
    line.SetBounds(20, 40, 100, 0);
    line.Frame.SetWidth(3);
    line.Frame.SetColor(kRedValue);
    const QImage image = draw(line);
    EXPECT_EQ(at(image, 70, 39), kRed);
    EXPECT_EQ(at(image, 70, 41), kRed);
    EXPECT_EQ(at(image, 70, 43), kWhite);
}

TEST(LineView, DiagonalRunsCornerToCornerWithoutItsEndPoint) {
    TqdxLineView line;
    line.Diagonal = true;
    line.SetBounds(10, 10, 100, 50);
    const QImage image = draw(line);
    EXPECT_EQ(line.Width(), 100); // a diagonal keeps its bounds
    EXPECT_EQ(at(image, 10, 10), kBlack);
    EXPECT_EQ(at(image, 60, 35), kBlack);
    EXPECT_EQ(at(image, 110, 60), kWhite);
    EXPECT_EQ(at(image, 60, 20), kWhite);

    line.Frame.SetColor(clTransparent);
    EXPECT_EQ(count(draw(line), 0, 0, 200, 200, notWhite), 0);
}

TEST(LineView, ArrowHeadsAtTheChosenEnds) {
    TqdxLineView line;
    line.SetBounds(20, 50, 100, 0); // (20, 50) to (120, 50)
    line.ArrowEnd = true;
    line.ArrowSolid = true;
    QImage image = draw(line);
    // Head: tip (120, 50), corners (100, 45) and (100, 55).
    EXPECT_EQ(at(image, 105, 47), kBlack);
    EXPECT_EQ(at(image, 105, 53), kBlack);
    EXPECT_EQ(at(image, 98, 50 - 4), kWhite);
    EXPECT_EQ(count(image, 20, 40, 45, 49, notWhite), 0); // no head at the start

    line.ArrowSolid = false; // open head: two strokes, nothing between them
    image = draw(line);
    EXPECT_EQ(at(image, 105, 52), kWhite);
    EXPECT_GT(count(image, 106, 46, 110, 49, notWhite), 0);
    EXPECT_EQ(at(image, 100, 45), kBlack); // the open head starts at its corner

    line.ArrowEnd = false;
    line.ArrowStart = true;
    image = draw(line);
    EXPECT_GT(count(image, 22, 45, 40, 49, notWhite), 0);
    EXPECT_EQ(count(image, 100, 40, 125, 49, notWhite), 0);
}

TEST(LineView, ArrowOnDiagonalsFollowsTheLine) {
    TqdxLineView line;
    line.Diagonal = true;
    line.ArrowEnd = true;
    line.ArrowSolid = true;
    line.SetBounds(10, 10, 100, 50);
    QImage image = draw(line);
    // Base centre about (92, 51), corners about (94, 47) and (90, 55).
    EXPECT_EQ(at(image, 98, 54), kBlack);
    EXPECT_EQ(at(image, 93, 52), kBlack);
    EXPECT_EQ(at(image, 80, 55), kWhite);

    // A nearly vertical line (8 pixels or less across) gets a horizontal base.
    line.SetBounds(50, 10, 5, 100); // (50, 10) to (55, 110): corners (50, 90), (60, 90)
    image = draw(line);
    EXPECT_EQ(at(image, 51, 91), kBlack);
    EXPECT_EQ(at(image, 59, 91), kBlack);
    EXPECT_EQ(at(image, 55, 88), kWhite);
}

// --- Shapes ----------------------------------------------------------------------------------

struct ShapeCase {
    int shape;
    QPoint inside;
    QPoint outside; // inside the bounds, outside the figure
};

class ShapeFill : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeFill, FillsInsideTheFigureOnly) {
    const ShapeCase c = GetParam();
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60); // X 20, X1 120, Y 20, Y1 80
    shape.Shape = c.shape;
    shape.Color = kRedValue;
    const QImage image = draw(shape);
    EXPECT_EQ(at(image, c.inside.x(), c.inside.y()), kRed);
    EXPECT_EQ(at(image, c.outside.x(), c.outside.y()), kWhite);
    EXPECT_EQ(count(image, 0, 0, 200, 19, notWhite), 0); // nothing above the bounds
    EXPECT_EQ(count(image, 0, 82, 200, 200, notWhite), 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeFill,
                         ::testing::Values(ShapeCase{skRectangle, {21, 21}, {121, 50}},
                                           ShapeCase{skRoundRectangle, {22, 40}, {21, 21}},
                                           ShapeCase{skEllipse, {70, 50}, {23, 23}},
                                           ShapeCase{skTriangle, {70, 75}, {25, 25}},
                                           ShapeCase{skDiamond, {70, 50}, {25, 25}}));

TEST(ShapeView, RectangleOutlineReachesBothEdges) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60);
    shape.Color = kRedValue;
    const QImage image = draw(shape);
    EXPECT_EQ(at(image, 20, 50), kBlack);
    EXPECT_EQ(at(image, 120, 50), kBlack);
    EXPECT_EQ(at(image, 70, 20), kBlack);
    EXPECT_EQ(at(image, 70, 80), kBlack);
    EXPECT_EQ(at(image, 119, 79), kRed);
}

TEST(ShapeView, EllipseLeavesItsCornersEmpty) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60);
    shape.Shape = skEllipse;
    shape.Color = kRedValue;
    const QImage image = draw(shape);
    for (const QPoint p : {QPoint(22, 22), QPoint(118, 22), QPoint(22, 78), QPoint(118, 78)}) {
        EXPECT_EQ(at(image, p.x(), p.y()), kWhite) << p.x() << "," << p.y();
    }
    EXPECT_EQ(at(image, 20, 50), kBlack); // the outline touches the sides
    EXPECT_EQ(at(image, 70, 20), kBlack);
}

TEST(ShapeView, RoundRectangleCornerFollowsTheCurve) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 40); // Curve 0: corner ellipses of 10 x 10
    shape.Shape = skRoundRectangle;
    shape.Color = kRedValue;
    QImage image = draw(shape);
    EXPECT_EQ(at(image, 20, 20), kWhite);
    EXPECT_EQ(at(image, 24, 24), kRed);
    shape.Curve = 3; // corner ellipses of 30 x 30
    image = draw(shape);
    EXPECT_EQ(at(image, 22, 22), kWhite);
    EXPECT_EQ(at(image, 35, 35), kRed);
}

TEST(ShapeView, DiagonalsAreThickLinesBetweenCorners) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60);
    shape.Shape = skDiagonal1; // bottom left to top right
    shape.Color = kRedValue;   // no fill for a line
    QImage image = draw(shape);
    EXPECT_EQ(at(image, 20, 80), kBlack);
    EXPECT_EQ(at(image, 70, 50), kBlack);
    EXPECT_EQ(at(image, 25, 25), kWhite);
    shape.Shape = skDiagonal2;
    shape.Frame.SetWidth(3);
    image = draw(shape);
    EXPECT_EQ(at(image, 20, 20), kBlack);
    EXPECT_EQ(at(image, 70, 51), kBlack); // 3 pixels thick
    EXPECT_EQ(at(image, 70, 49), kBlack);
    EXPECT_EQ(at(image, 20, 79), kWhite);
}

TEST(ShapeView, TransparentFillAndHatches) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60);
    QImage image = draw(shape);
    EXPECT_EQ(count(image, 22, 22, 118, 78, notWhite), 0); // outline only

    shape.BrushStyle = bsCross;
    shape.Frame.SetColor(kRedValue);
    image = draw(shape);
    const int red = count(image, 22, 22, 118, 78, isRed);
    EXPECT_GT(red, 300);
    EXPECT_GT(count(image, 22, 22, 118, 78, isWhite), 3000); // over an unpainted background

    shape.Frame.SetColor(clTransparent); // no outline: nothing on the bounds' edge
    shape.BrushStyle = bsSolid;
    shape.Color = kRedValue;
    image = draw(shape);
    EXPECT_EQ(at(image, 20, 50), kRed);
    EXPECT_EQ(at(image, 120, 50), kWhite);
}

TEST(ShapeView, DoubleFrameDrawsAnInnerOutline) {
    TqdxShapeView shape;
    shape.SetBounds(20, 20, 100, 60);
    shape.Frame.SetStyle(fsDouble);
    QImage image = draw(shape);
    EXPECT_EQ(at(image, 20, 50), kBlack);
    EXPECT_EQ(at(image, 21, 50), kWhite);
    EXPECT_EQ(at(image, 22, 50), kBlack); // 2 units inside
    EXPECT_EQ(at(image, 23, 50), kWhite);
    EXPECT_EQ(at(image, 118, 50), kBlack);
    EXPECT_EQ(shape.Frame.Style(), fsDouble); // style and bounds as they were
    EXPECT_EQ(shape.Left(), 20);
    EXPECT_EQ(shape.Width(), 100);

    shape.Shape = skTriangle; // inner base 2 pixels above the outer one (Height - 6 FW)
    image = draw(shape);
    EXPECT_EQ(at(image, 30, 80), kBlack);
    EXPECT_EQ(at(image, 30, 79), kWhite);
    EXPECT_EQ(at(image, 30, 78), kBlack);
    EXPECT_EQ(at(image, 30, 77), kWhite);
}

// --- Check boxes -----------------------------------------------------------------------------

QImage drawCheck(bool checked, int checkStyle, int uncheckStyle) {
    TqdxCheckBoxView box;
    box.SetBounds(10, 10, 40, 40); // X 10, X1 50, middle 30
    box.Checked = checked;
    box.CheckStyle = checkStyle;
    box.UncheckStyle = uncheckStyle;
    box.CheckColor = kRedValue;
    box.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    return draw(box, 60, 60);
}

TEST(CheckBoxView, LineMarks) {
    QImage image = drawCheck(true, csLineCross, usEmpty);
    EXPECT_EQ(at(image, 20, 20), kRed);
    EXPECT_EQ(at(image, 40, 20), kRed);
    EXPECT_EQ(at(image, 30, 15), kWhite);
    EXPECT_EQ(at(image, 10, 30), kBlack); // the frame on top

    image = drawCheck(true, csPlus, usEmpty);
    EXPECT_EQ(at(image, 12, 30), kWhite); // starts 3 pixels in
    EXPECT_EQ(at(image, 13, 30), kRed);
    EXPECT_EQ(at(image, 30, 16), kRed);
    EXPECT_EQ(at(image, 20, 20), kWhite);

    image = drawCheck(false, csPlus, usMinus);
    EXPECT_EQ(at(image, 16, 30), kRed);
    EXPECT_EQ(at(image, 30, 16), kWhite);

    image = drawCheck(false, csPlus, usLineCross);
    EXPECT_EQ(at(image, 20, 20), kRed);
}

TEST(CheckBoxView, SymbolMarksInsideTheBox) {
    for (const auto& [checked, check, uncheck] :
         {std::tuple{true, csCross, usEmpty}, std::tuple{true, csCheck, usEmpty},
          std::tuple{false, csCheck, usCross}}) {
        const QImage image = drawCheck(checked, check, uncheck);
        EXPECT_GT(count(image, 11, 11, 50, 50, isRed), 40) << check << uncheck;
        EXPECT_EQ(count(image, 0, 0, 60, 9, isRed), 0); // clipped to the box
        EXPECT_EQ(count(image, 51, 0, 60, 60, isRed), 0);
    }
}

TEST(CheckBoxView, UncheckedEmptyShowsBackgroundAndFrameOnly) {
    TqdxCheckBoxView box;
    box.SetBounds(10, 10, 40, 40);
    box.Checked = false;
    box.CheckColor = kRedValue;
    box.Color = 0x00FF00; // green
    box.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    const QImage image = draw(box, 60, 60);
    EXPECT_EQ(count(image, 11, 11, 50, 50, [](QRgb c) { return c != qRgb(0, 255, 0); }), 0);
    EXPECT_EQ(at(image, 10, 30), kBlack);
}

// --- Gradients -------------------------------------------------------------------------------

int grey(const QImage& image, int x, int y) {
    return qRed(at(image, x, y));
}

TEST(GradientView, HorizontalStepsAcrossTheWidth) {
    TqdxGradientView g;
    g.BeginColor = 0;
    g.EndColor = 0xFFFFFF;
    g.SetBounds(0, 0, 512, 20);
    const QImage image = draw(g, 600, 40);
    EXPECT_EQ(grey(image, 0, 10), 0);
    EXPECT_EQ(grey(image, 1, 10), 0); // 256 steps of 2 pixels
    EXPECT_EQ(grey(image, 2, 10), 1);
    EXPECT_EQ(grey(image, 256, 10), 128);
    EXPECT_EQ(grey(image, 511, 19), 255);
    EXPECT_EQ(at(image, 512, 10), kWhite);
    EXPECT_EQ(at(image, 100, 20), kWhite);
}

TEST(GradientView, VerticalGoesFromTopToBottom) {
    TqdxGradientView g;
    g.BeginColor = kRedValue;
    g.EndColor = 0xFF0000; // blue
    g.Style = gsVertical;
    g.SetBounds(10, 10, 50, 256);
    const QImage image = draw(g, 100, 300);
    EXPECT_EQ(at(image, 30, 10), kRed);
    EXPECT_EQ(at(image, 30, 265), qRgb(0, 0, 255));
    const QRgb middle = at(image, 30, 138); // step 128
    EXPECT_EQ(qRed(middle), 255 - 128);
    EXPECT_EQ(qBlue(middle), 128);
    EXPECT_EQ(at(image, 30, 266), kWhite);
}

TEST(GradientView, CentredStylesHaveTheEndColourInTheMiddle) {
    TqdxGradientView g;
    g.BeginColor = 0;
    g.EndColor = 0xFFFFFF;
    g.Style = gsVertCenter;
    g.SetBounds(0, 0, 40, 101); // half 50
    QImage image = draw(g, 120, 120);
    EXPECT_EQ(grey(image, 20, 0), 0);
    EXPECT_EQ(grey(image, 20, 100), 0);
    EXPECT_EQ(grey(image, 20, 50), 255);
    EXPECT_EQ(grey(image, 20, 25), 128); // step 25 of 50
    EXPECT_EQ(grey(image, 20, 75), 128);

    g.Style = gsHorizCenter;
    g.SetBounds(0, 0, 101, 40);
    image = draw(g, 120, 120);
    EXPECT_EQ(grey(image, 0, 20), 0);
    EXPECT_EQ(grey(image, 100, 20), 0);
    EXPECT_EQ(grey(image, 50, 20), 255);
    EXPECT_EQ(at(image, 50, 40), kWhite);
}

TEST(GradientView, EllipticAndRectangleGoFromTheEdgesToTheCentre) {
    TqdxGradientView g;
    g.BeginColor = 0;
    g.EndColor = 0xFFFFFF;
    g.SetBounds(10, 10, 100, 80);
    for (const int style : {gsElliptic, gsRectangle}) {
        g.Style = style;
        const QImage image = draw(g, 150, 120);
        for (const QPoint p : {QPoint(10, 10), QPoint(109, 10), QPoint(10, 89), QPoint(109, 89)}) {
            EXPECT_LT(grey(image, p.x(), p.y()), 20) << style << " " << p.x() << "," << p.y();
        }
        EXPECT_GT(grey(image, 60, 50), 240) << style;
        EXPECT_EQ(at(image, 110, 50), kWhite) << style;
        EXPECT_EQ(at(image, 60, 90), kWhite) << style;
    }
}

TEST(GradientView, FrameIsDrawnOverTheGradient) {
    TqdxGradientView g;
    g.SetBounds(10, 10, 100, 80);
    g.Frame.Typ = ftLeft;
    g.Frame.SetColor(kRedValue);
    const QImage image = draw(g, 150, 120);
    EXPECT_EQ(at(image, 10, 50), kRed);
    EXPECT_GT(qGreen(at(image, 11, 50)), 250); // near the begin colour, white
}

} // namespace
} // namespace zr::reportlib::render
