#include "reportlib/render/memo_layout.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <optional>

using namespace zr::reportlib;
using namespace zr::reportlib::render;

namespace {

// A memo in Courier New 10 (Liberation Mono: 8 report pixels a character) on no page.
void setUp(TqdxMemoView& memo, double left, double top, double width, double height,
           std::initializer_list<QString> text) {
    memo.SetBounds(left, top, width, height);
    memo.SetParentFont(false);
    memo.Font().Name = "Courier New";
    memo.Font().SetSize(10);
    for (const QString& line : text) {
        memo.Memo.Add(line);
    }
}

QImage draw(TqdxMemoView& memo, double scale = 1, QSize size = {400, 300}) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawMemoView(painter, memo, scale, scale, 0, 0);
    painter.end();
    return image;
}

template <class Pred> std::optional<QRect> pixelBox(const QImage& image, QRect area, Pred pred) {
    area = area.intersected(image.rect());
    std::optional<QRect> box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (pred(image.pixelColor(x, y))) {
                box = box ? box->united(QRect(x, y, 1, 1)) : QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

std::optional<QRect> inkBox(const QImage& image, QRect area) {
    return pixelBox(image, area, [](const QColor& c) { return qGray(c.rgb()) < 160; });
}

bool isRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

QStringList wrappedLines() {
    const TWideStrings& lines = SharedDrawText().Lines();
    QStringList out;
    for (int i = 0; i < lines.Count(); ++i) {
        out << lines.Strings(i);
    }
    return out;
}

} // namespace

TEST(MemoView, TextRectangleLeavesFrameAndGaps) {
    TqdxMemoView memo;
    setUp(memo, 10, 20, 100, 50, {});
    memo.Frame.Typ = ftLeft;
    memo.Frame.SetWidth(1);
    const ViewArea area = SetDrawingArea(memo, 1, 1, 0, 0);
    // The left inset is Round(0 / 2) = 0; gaps 2 and 1.
    EXPECT_EQ(MemoTextRect(memo, area), (TextRect{12, 21, 109, 70}));

    memo.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    memo.Frame.SetWidth(3);
    // Insets Round(1) = 1 left and top, Round(1.5) = 2 right and bottom.
    EXPECT_EQ(MemoTextRect(memo, area), (TextRect{13, 22, 107, 68}));
    const ViewArea twice = SetDrawingArea(memo, 2, 2, 5, 5);
    // Insets Round(2.5) = 2 and Round(3) = 3; gaps 4 and 2.
    EXPECT_EQ(MemoTextRect(memo, twice),
              (TextRect{25 + 2 + 4, 45 + 2 + 2, 225 - 3 - 4 + 1, 145 - 3 - 2 + 1}));
}

TEST(MemoView, WrapsTheSameAtEveryZoom) {
    TqdxMemoView memo;
    setUp(memo, 10, 10, 84, 100, {"aaaa bbbb cccc dddd eeee ffff gggg"});
    draw(memo, 1);
    const QStringList atOne = wrappedLines();
    draw(memo, 2, {600, 600});
    EXPECT_EQ(wrappedLines(), atOne);
    draw(memo, 0.5);
    EXPECT_EQ(wrappedLines(), atOne);
    EXPECT_EQ(atOne, (QStringList{"aaaa bbbb", "cccc dddd", "eeee ffff", "gggg"}));
}

TEST(MemoView, TextStaysInsideItsRectangleWhenClipped) {
    TqdxMemoView memo;
    setUp(memo, 50, 40, 100, 60, {"MMMMMMMMMMMMMMMMMMMMMMMMMMMMMM", "MMMM"});
    memo.WordWrap = false;
    const QImage clipped = draw(memo);
    const TextRect rect = MemoTextRect(memo, SetDrawingArea(memo, 1, 1, 0, 0));
    const QRect inside(rect.Left, rect.Top, rect.Width(), rect.Height());
    const auto ink = inkBox(clipped, inside);
    ASSERT_TRUE(ink);
    EXPECT_LE(ink->left(), rect.Left + 2);
    EXPECT_GE(ink->right(), rect.Right - 3);
    // Two lines of 15 pixels from the top.
    EXPECT_LE(ink->top(), rect.Top + 4);
    EXPECT_GE(ink->bottom(), rect.Top + 20);
    EXPECT_FALSE(inkBox(clipped, QRect(rect.Right, 0, 400, 300)));
    EXPECT_FALSE(inkBox(clipped, QRect(0, 0, 400, rect.Top)));

    memo.Clipped = false;
    const QImage loose = draw(memo);
    EXPECT_TRUE(inkBox(loose, QRect(rect.Right + 1, rect.Top, 200, 20)));
}

TEST(MemoView, AlignmentPlacesTheTextInTheRectangle) {
    TqdxMemoView memo;
    setUp(memo, 0, 0, 200, 100, {"MMMM"});
    memo.HAlign = haRight;
    memo.VAlign = vaBottom;
    const QImage image = draw(memo);
    const auto ink = inkBox(image, QRect(0, 0, 400, 300));
    ASSERT_TRUE(ink);
    // Right edge 200 - 2 (gap); four characters of 8 pixels; bottom 100 - 1 (gap).
    EXPECT_GE(ink->left(), 200 - 2 - 4 * 8 - 1);
    EXPECT_LE(ink->right(), 199);
    EXPECT_GE(ink->right(), 190);
    EXPECT_GE(ink->top(), 100 - 1 - 16);
    EXPECT_LE(ink->bottom(), 100);
}

TEST(MemoView, ActiveHighlightReplacesTheBackgroundOnlyWhileDrawn) {
    TqdxMemoView memo;
    setUp(memo, 10, 10, 100, 40, {"x"});
    memo.Color = 0x0000FF; // red
    const auto own = pixelBox(draw(memo), QRect(0, 0, 400, 300), isRed);
    ASSERT_TRUE(own);
    EXPECT_EQ(*own, QRect(10, 10, 100, 40));

    memo.Highlight.Active = true;
    memo.Highlight.Color = clTransparent;
    memo.Highlight.Font.Name = "Courier New";
    memo.Highlight.Font.Color = 0; // black text, so only the background could be red
    EXPECT_FALSE(pixelBox(draw(memo), QRect(0, 0, 400, 300), isRed));
    EXPECT_EQ(memo.Color, 0x0000FF);

    // The highlight font colours the text.
    memo.Highlight.Font.Color = 0x0000FF;
    memo.Highlight.Font.SetSize(20);
    const auto text = pixelBox(draw(memo), QRect(0, 0, 400, 300), isRed);
    ASSERT_TRUE(text);
    EXPECT_LT(text->width(), 30);
}

TEST(MemoView, PageMacrosAreFilledInOnce) {
    TqdxMemoView memo;
    setUp(memo, 0, 0, 300, 40, {"Page 1 of [TotalPages#]", "[totalpages#]/[COPYNAME#]!"});
    memo.TotalPages = 12;
    memo.CopyNo = 2;
    draw(memo);
    EXPECT_EQ(memo.Memo.Strings(0), "Page 1 of 12");
    // A prepared report has no copy-name variables: the macro goes away.
    EXPECT_EQ(memo.Memo.Strings(1), "12/!");
    memo.TotalPages = 13;
    draw(memo);
    EXPECT_EQ(memo.Memo.Strings(0), "Page 1 of 12");

    TqdxMemoView plain;
    setUp(plain, 0, 0, 300, 40, {"[TOTALPAGES#]"});
    plain.AllowExpressions = false;
    plain.TotalPages = 5;
    EXPECT_FALSE(ExpandMemoPageMacros(plain));
    draw(plain);
    EXPECT_EQ(plain.Memo.Strings(0), "[TOTALPAGES#]");
}

TEST(MemoView, UnderlinesOnlyWithoutRotation) {
    TqdxMemoView memo;
    setUp(memo, 0, 0, 200, 100, {});
    memo.Underlines = true;
    memo.Frame.SetColor(0x0000FF);
    const QImage ruled = draw(memo);
    // Lines every 15.28 pixels, the first at (GapY - LineSpacing + 1) + 15.28 = 15.28.
    int rows = 0;
    for (int y = 0; y < 100; ++y) {
        if (isRed(ruled.pixelColor(100, y))) {
            ++rows;
            EXPECT_TRUE(isRed(ruled.pixelColor(0, y)));
            EXPECT_TRUE(isRed(ruled.pixelColor(199, y)));
        }
    }
    EXPECT_EQ(rows, 6);
    EXPECT_TRUE(isRed(ruled.pixelColor(100, 15)));

    memo.SetRotation(90);
    EXPECT_FALSE(pixelBox(draw(memo), QRect(0, 0, 400, 300), isRed));

    // Negative spacing large enough to stop the lines advancing draws none instead of hanging.
    memo.SetRotation(0);
    memo.LineSpacing = -20;
    EXPECT_FALSE(pixelBox(draw(memo), QRect(0, 0, 400, 300), isRed));
}

TEST(MemoView, AutoWidthKeepsTheAlignedEdge) {
    TqdxMemoView memo;
    setUp(memo, 100, 10, 200, 30, {"abcd", "ab"});
    memo.AutoWidth = true;
    memo.HAlign = haRight;
    draw(memo);
    // 4 characters of 8 pixels plus the two gaps of 2.
    EXPECT_DOUBLE_EQ(memo.Width(), 36);
    EXPECT_DOUBLE_EQ(memo.Left() + memo.Width(), 300);

    TqdxMemoView centred;
    setUp(centred, 100, 10, 200, 30, {"abcd"});
    centred.AutoWidth = true;
    centred.HAlign = haCenter;
    draw(centred);
    EXPECT_DOUBLE_EQ(centred.Left() + centred.Width() / 2, 200);
}

TEST(MemoView, CalculatedSizes) {
    TqdxMemoView memo;
    setUp(memo, 0, 0, 44, 10, {"abcd efgh", "ij"});
    // Three lines at 15.28 plus the gaps 2 * 1: Round(47.84).
    EXPECT_EQ(MemoCalcHeight(memo), 48);
    // The widest paragraph unwrapped, 9 characters, plus the gaps 2 * 2.
    EXPECT_EQ(MemoCalcWidth(memo), 76);

    memo.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    memo.Frame.SetWidth(3);
    // Extras (3 - 1) / 2 + 3 / 2 = 2.5 on each axis.
    EXPECT_EQ(MemoCalcWidth(memo), Round(72 + 4 + 2.5));
    memo.Frame.DropShadow = true;
    EXPECT_EQ(MemoCalcHeight(memo), Round(3 * 15.28 + 2 + 2.5 + 4));
}
