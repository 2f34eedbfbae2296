#include "reportlib/pdf/pdf_page_content.h"

#include "reportlib/render/draw_text.h"
#include "temp_dir.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <stdexcept>

using namespace zr::reportlib;
using namespace zr::reportlib::pdf;

namespace {

// A view of a class the library does not register, known by its name only.
class TestBarCodeView : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo() {
        return DescribeClass([](TqdxClassInfo& info) {
            TqdxClassBuilder<TestBarCodeView> b(info, "TqdxBarCodeView",
                                                &TqdxView::StaticClassInfo());
        });
    }
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// One page of 800 points with margins giving the offsets 10 and 5: a report point (x, y) is
// written as (x * 0.75 + 10, 795 - y * 0.75).
class PageContent : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writer.open(dir.path("out.pdf")));
        writer.line("%PDF-1.5");
        state.writer = &writer;
        state.fonts = &fonts;
        state.width = 600;
        state.height = 800;
        state.ox = 10;
        state.oy = 5;
    }
    QString content() const { return QString::fromLatin1(state.content); }
    QStringList lines() const {
        QStringList out = content().split(QStringLiteral("\r\n"));
        if (!out.isEmpty() && out.last().isEmpty()) {
            out.removeLast();
        }
        return out;
    }
    // The finished file (the writer is closed).
    QByteArray file() {
        EXPECT_TRUE(writer.commit());
        return zr::test::TempDir::read(dir.path("out.pdf"));
    }

    zr::test::TempDir dir;
    PdfObjectWriter writer;
    TqdxPDFFontList fonts;
    PdfPageState state;
};

void setUpMemo(TqdxMemoView& memo, double left, double top, double width, double height,
               std::initializer_list<QString> text) {
    memo.SetBounds(left, top, width, height);
    memo.SetParentFont(false);
    memo.Font().Name = "Arial";
    memo.Font().SetSize(10);
    for (const QString& line : text) {
        memo.Memo.Add(line);
    }
}

QByteArray pngBytes(QColor color) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The numbers of every "x y Td" line.
std::vector<std::pair<double, double>> textPositions(const QStringList& lines) {
    std::vector<std::pair<double, double>> out;
    for (const QString& line : lines) {
        if (line.endsWith(QStringLiteral(" Td"))) {
            const QStringList parts = line.split(QLatin1Char(' '));
            out.emplace_back(parts[0].toDouble(), parts[1].toDouble());
        }
    }
    return out;
}

int count(const QString& text, const QString& what) {
    return int(text.count(what));
}

} // namespace

TEST_F(PageContent, FilledFramedTwoLineTextWritesClipFillFrameFontAndTwoTextBlocks) {
    TqdxMemoView memo;
    setUpMemo(memo, 100, 200, 200, 60, {QStringLiteral("Alpha"), QStringLiteral("Beta")});
    memo.Color = 0xFF0000; // blue
    memo.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    EmitView(state, memo);

    const QStringList l = lines();
    ASSERT_GE(l.size(), 10);
    // Clip: the box grown by the frame width 1.
    EXPECT_EQ(l[0], "q");
    EXPECT_EQ(l[1], "84.25 599.25 151.50 46.50 re");
    EXPECT_EQ(l[2], "W");
    EXPECT_EQ(l[3], "n");
    // Fill.
    EXPECT_EQ(l[4], "0 0 1 rg");
    EXPECT_EQ(l[5], "85 600 150 45 re");
    EXPECT_EQ(l[6], "f");
    // The frame's setting once, then top, right, bottom and left in one path.
    EXPECT_EQ(l[7], "0 0 0 RG [] 0 d 0.75 w");
    EXPECT_EQ(l[8], "85 645 m 235 645 l 235 645 m 235 600 l 85 600 m 235 600 l "
                    "85 645 m 85 600 l S");
    // Font and colour, then two text blocks one line step apart.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^/F\\d+ 10 Tf$")).match(l[9]).hasMatch())
        << l[9].toStdString();
    EXPECT_EQ(l[10], "0 0 0 rg");
    EXPECT_EQ(count(content(), QStringLiteral("BT\r\n")), 2);
    EXPECT_EQ(count(content(), QStringLiteral("ET\r\n")), 2);
    const auto positions = textPositions(l);
    ASSERT_EQ(positions.size(), 2u);
    const double h = render::SharedDrawText().LineStep();
    EXPECT_NEAR(positions[0].second - positions[1].second, h * 0.75, 0.011);
    EXPECT_EQ(positions[0].first, positions[1].first);
    // Left start: 100 + 2 + 1 + 0.1 report units.
    EXPECT_NEAR(positions[0].first, 103.1 * 0.75 + 10, 0.006);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-9A-F]+> Tj$"))
                    .match(l[l.indexOf(QStringLiteral("BT")) + 2])
                    .hasMatch());
    EXPECT_EQ(l.last(), "Q");
}

TEST_F(PageContent, EmptyTextWritesClipFillAndFrameButNoFont) {
    TqdxMemoView memo;
    setUpMemo(memo, 100, 200, 200, 60, {});
    memo.Color = clWhite;
    memo.Frame.Typ = ftTop;
    EmitView(state, memo);
    const QString text = content();
    EXPECT_TRUE(text.startsWith(QStringLiteral("q\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("1 1 1 rg\r\n85 600 150 45 re\r\nf\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("85 645 m 235 645 l S\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral(" Tf")));
    EXPECT_FALSE(text.contains(QStringLiteral("BT")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("Q\r\n")));
    EXPECT_EQ(fonts.Count(), 0);
}

TEST_F(PageContent, RotatedTextTurnsAroundTheMiddleOfTheObject) {
    TqdxMemoView memo;
    setUpMemo(memo, 100, 200, 200, 60, {QStringLiteral("Up")});
    memo.SetRotation(90);
    EmitView(state, memo);
    // Centre (200, 230): 160, 622.50.
    EXPECT_TRUE(lines().contains(QStringLiteral("0 1 -1 0 160 622.50 cm")))
        << content().toStdString();
    // The line is placed relative to the centre: x = -(60 - 4) / 2 * 0.75 for a left start.
    const auto positions = textPositions(lines());
    ASSERT_EQ(positions.size(), 1u);
    EXPECT_DOUBLE_EQ(positions[0].first, -21);
}

TEST_F(PageContent, RightAlignedAndBottomAlignedTextEndsAtTheBoxEdges) {
    TqdxMemoView memo;
    setUpMemo(memo, 0, 0, 300, 100, {QStringLiteral("Right")});
    memo.HAlign = haRight;
    memo.VAlign = vaBottom;
    EmitView(state, memo);
    SCOPED_TRACE(content().toStdString());
    auto& engine = render::SharedDrawText();
    const double lw = engine.MeasureWidth(); // the last line measured
    const auto positions = textPositions(lines());
    ASSERT_EQ(positions.size(), 1u);
    // s0 + aw - lw with s0 = 3.1, aw = 296 - 4.
    EXPECT_NEAR(positions[0].first, (3.1 + 292 - lw) * 0.75 + 10, 0.006);
    // t0 + ah with t0 = 1 - 1, ah = 96 - 2.
    EXPECT_NEAR(positions[0].second, 795 - 94 * 0.75, 0.006);
}

TEST_F(PageContent, UnderlinedAndSyntheticStylesWriteTheirOperators) {
    TqdxMemoView memo;
    setUpMemo(memo, 0, 0, 300, 40, {QStringLiteral("Ruled")});
    memo.Font().SetStyle(fsUnderline | fsStrikeOut);
    memo.CharSpacing = 2;
    EmitView(state, memo);
    const QString text = content();
    EXPECT_TRUE(text.contains(QStringLiteral("1.50 Tc\r\n")));
    EXPECT_EQ(count(text, QStringLiteral("0.80 w\r\n")), 2); // z * 0.08 for both rules
}

TEST_F(PageContent, RectangleShapeStrokesWhenTransparentAndFillsOtherwise) {
    TqdxShapeView shape;
    shape.SetBounds(100, 200, 40, 20);
    EmitView(state, shape);
    EXPECT_EQ(lines(), (QStringList{"[] 0 d", "0 0 0 RG", "0.75 w", "1 1 1 rg", "85 630 ",
                                    "30 15 re", "S"}));
    state.content.clear();
    shape.Color = 0x0000FF;
    shape.Frame.SetStyle(fsDash);
    EmitView(state, shape);
    EXPECT_EQ(lines().first(), "[6 ] 0 d");
    EXPECT_EQ(lines()[3], "1 0 0 rg");
    EXPECT_EQ(lines().last(), "B");

    // No width: solid, since a pattern of zeros is invalid.
    state.content.clear();
    shape.Frame.SetWidth(0);
    EmitView(state, shape);
    EXPECT_EQ(lines().mid(0, 3), (QStringList{"[] 0 d", "0 0 0 RG", "0 w"}));
    shape.Frame.SetWidth(1);

    state.content.clear();
    shape.Shape = skDiagonal1;
    EmitView(state, shape);
    EXPECT_EQ(lines(),
              (QStringList{"[6 ] 0 d", "0 0 0 RG", "0.75 w", "85 630 m", "115 645 l", "S"}));
}

TEST_F(PageContent, LineWithSolidArrowHeadAtItsEnd) {
    TqdxLineView line;
    line.SetBounds(100, 100, 100, 0);
    line.ArrowEnd = true;
    line.ArrowSolid = true;
    EmitView(state, line);
    const QStringList l = lines();
    ASSERT_EQ(l.size(), 13);
    EXPECT_EQ(l.mid(3, 3), (QStringList{"85 720 m", "160 720 l", "S"}));
    EXPECT_EQ(l.mid(7, 3), (QStringList{"145 716.25 m", "160 720 l", "145 723.75 l"}));
    EXPECT_EQ(l.mid(10), (QStringList{"1 j", "0 0 0 rg", "b"}));
}

// A check box shows the mark the screen draws for its state and styles: the ballot cross (not
// a check mark) by default, the glyphs as the screen's strokes; and a double frame is two
// lines a side.
TEST_F(PageContent, CheckBoxShowsTheScreensMarkAndDoubleFramesTwoLines) {
    const auto count = [](const QStringList& lines, const QString& end) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const QString& l) { return l.endsWith(end); });
    };
    struct Case {
        bool checked;
        int checkStyle, uncheckStyle;
        int moves, lineTos; // of the mark, inside its clip
    };
    const Case cases[] = {
        {true, csCross, usEmpty, 2, 2},     {true, csCheck, usEmpty, 1, 2},
        {true, csLineCross, usEmpty, 2, 2}, {true, csPlus, usEmpty, 2, 2},
        {false, csCross, usEmpty, 0, 0},    {false, csCross, usMinus, 1, 1},
    };
    for (const Case& c : cases) {
        TqdxCheckBoxView box;
        box.SetBounds(0, 0, 16, 16);
        box.Checked = c.checked;
        box.CheckStyle = c.checkStyle;
        box.UncheckStyle = c.uncheckStyle;
        state.content.clear();
        EmitView(state, box);
        const QStringList l = lines();
        const std::string what = QStringLiteral("%1/%2/%3")
                                     .arg(c.checked)
                                     .arg(c.checkStyle)
                                     .arg(c.uncheckStyle)
                                     .toStdString();
        EXPECT_EQ(count(l, QStringLiteral(" m")), c.moves) << what << content().toStdString();
        EXPECT_EQ(count(l, QStringLiteral(" l")), c.lineTos) << what;
        if (c.moves > 0) {
            EXPECT_TRUE(l.contains(QStringLiteral("W n"))) << what; // clipped to the box
        }
    }
    // The cross's strokes are the screen's glyph, mapped onto the page.
    TqdxCheckBoxView cross;
    cross.SetBounds(0, 0, 16, 16);
    cross.Checked = true;
    state.content.clear();
    EmitView(state, cross);
    EXPECT_TRUE(lines().contains(QStringLiteral("1 J 1 j")));

    TqdxCheckBoxView doubled;
    doubled.SetBounds(0, 0, 40, 20);
    doubled.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    doubled.Frame.SetStyle(fsDouble);
    doubled.Frame.SetWidth(1);
    doubled.Checked = false;
    state.content.clear();
    EmitView(state, doubled);
    EXPECT_EQ(content().count(QStringLiteral(" m ")), 8) << content().toStdString();
}

TEST_F(PageContent, IdenticalPicturesShareOneImageInTheWholeDocument) {
    TqdxPictureView first, second;
    first.SetBounds(0, 0, 40, 30);
    second.SetBounds(0, 0, 40, 30); // same place, so the same bitmap
    ASSERT_TRUE(first.LoadPictureFromBytes(pngBytes(Qt::red)));
    ASSERT_TRUE(second.LoadPictureFromBytes(pngBytes(Qt::red)));
    EmitView(state, first);
    EmitView(state, second);
    EXPECT_EQ(state.imageObjects.size(), 1u);
    EXPECT_EQ(state.imageUses, std::vector<int>{0});
    EXPECT_EQ(count(content(), QStringLiteral("/Im0 Do\r\n")), 2);
    EXPECT_TRUE(lines().contains(QStringLiteral("30 0 0 22.50 10 772.50 cm")));

    // On the next page: the same image object, named in that page's resources too.
    state.resetPage();
    EmitView(state, first);
    EXPECT_EQ(state.imageObjects.size(), 1u);
    EXPECT_EQ(state.imageUses, std::vector<int>{0});

    const QByteArray pdf = file();
    EXPECT_EQ(pdf.count("/Subtype /Image"), 1);
    EXPECT_EQ(pdf.count("/Filter /DCTDecode"), 1);
    // Every image stream holds a JPEG of the stated length.
    const qsizetype at = pdf.indexOf("/Length ");
    const qsizetype length = pdf.mid(at + 8, pdf.indexOf(' ', at + 8) - at - 8).toLongLong();
    const qsizetype data = pdf.indexOf("stream\r\n", at) + 8;
    EXPECT_TRUE(pdf.mid(data, 2) == QByteArray("\xFF\xD8"));
    EXPECT_EQ(pdf.mid(data + length, 11), QByteArray("\r\nendstream"));
}

// The page background only when asked: a plain colour as a filled rectangle, no colour as
// nothing, a picture as an image; and a view of no size is never drawn.
TEST_F(PageContent, PageBackgroundOnlyWhenAskedAndPlainOnesAreNoPicture) {
    TqdxPictureView background;
    background.SetName("_pagebackground");
    background.SetBounds(0, 0, 100, 100);
    background.Color = 0x00FF00;
    EmitView(state, background);
    EXPECT_TRUE(state.content.isEmpty());
    state.background = true;
    EmitView(state, background);
    EXPECT_TRUE(lines().contains(QStringLiteral("0 1 0 rg"))) << content().toStdString();
    EXPECT_TRUE(lines().contains(QStringLiteral("h f")));
    background.Color = clTransparent;
    state.content.clear();
    EmitView(state, background);
    EXPECT_TRUE(state.content.isEmpty());
    EXPECT_TRUE(state.imageObjects.empty());
    ASSERT_TRUE(background.LoadPictureFromBytes(pngBytes(Qt::red)));
    EmitView(state, background);
    EXPECT_TRUE(content().contains(QStringLiteral("/Im0 Do")));

    state.content.clear();
    TqdxPictureView flat;
    flat.SetBounds(0, 0, 0, 50);
    flat.Frame.Typ = ftLeft;
    EmitView(state, flat);
    EXPECT_TRUE(state.content.isEmpty()); // neither image nor frame
    EXPECT_EQ(state.imageObjects.size(), 1u);
}

TEST_F(PageContent, NotPrintableViewsOnlyWhenAsked) {
    TqdxShapeView shape;
    shape.SetBounds(0, 0, 10, 10);
    shape.Printable = false;
    EmitView(state, shape);
    EXPECT_TRUE(state.content.isEmpty());
    state.exportNotPrintable = true;
    EmitView(state, shape);
    EXPECT_FALSE(state.content.isEmpty());
}

TEST_F(PageContent, RasterisedFrameIsWrittenAsLinesWithItsWidthRestored) {
    TqdxPictureView picture;
    picture.SetBounds(0, 0, 40, 40);
    picture.Frame.Typ = ftBottom;
    picture.Frame.SetWidth(3);
    picture.Frame.LeftLine.Width = 5;
    EmitView(state, picture);
    EXPECT_EQ(picture.Frame.Width(), 3);
    EXPECT_EQ(picture.Frame.LeftLine.Width, 5);
    EXPECT_TRUE(content().contains(QStringLiteral("Q\r\n0 0 0 RG [] 0 d 2.25 w\r\n")));
}

namespace {

// Pixel width and height of the one image a view becomes.
std::pair<int, int> rasterSize(TqdxView& view, bool printOptimized) {
    zr::test::TempDir dir;
    PdfObjectWriter writer;
    EXPECT_TRUE(writer.open(dir.path("size.pdf")));
    TqdxPDFFontList fonts;
    PdfPageState state;
    state.writer = &writer;
    state.fonts = &fonts;
    state.height = 800;
    state.printOptimized = printOptimized;
    EmitView(state, view);
    EXPECT_TRUE(writer.commit());
    const QByteArray pdf = zr::test::TempDir::read(dir.path("size.pdf"));
    const auto number = [&](const char* key) {
        const qsizetype at = pdf.indexOf(key);
        if (at < 0) {
            return -1;
        }
        qsizetype end = at + qsizetype(qstrlen(key));
        const qsizetype from = end;
        while (end < pdf.size() && std::isdigit(static_cast<unsigned char>(pdf[end]))) {
            ++end;
        }
        return pdf.mid(from, end - from).toInt();
    };
    return {number("/Width "), number("/Height ")};
}

} // namespace

TEST(PageContentScale, EachKindOfRasterisedViewHasItsScale) {
    using Size = std::pair<int, int>;
    TqdxPictureView picture;
    picture.SetBounds(10, 10, 40, 20);
    picture.BrushStyle = bsClear;
    EXPECT_EQ(rasterSize(picture, false), (Size{41, 21}));
    EXPECT_EQ(rasterSize(picture, true), (Size{123, 63}));
    picture.BrushStyle = bsCross;
    EXPECT_EQ(rasterSize(picture, true), (Size{41, 21}));

    TestBarCodeView barCode;
    barCode.SetBounds(10, 10, 40, 20);
    EXPECT_EQ(rasterSize(barCode, false), (Size{82, 42}));
    EXPECT_EQ(rasterSize(barCode, true), (Size{123, 63}));
}

// Hatched and tagged texts (turned or not) and rich text are drawn by their own drawing as text,
// with the hatch as a pattern and no picture, in balanced operators.
TEST_F(PageContent, FormattedTextsAreTextAndHatchesArePatterns) {
    TqdxMemoView hatched;
    setUpMemo(hatched, 10, 10, 200, 20, {QStringLiteral("Total")});
    hatched.BrushStyle = bsCross;
    TqdxMemoView tagged;
    setUpMemo(tagged, 10, 40, 200, 20, {QStringLiteral("<b>Total</b> <i>geral</i>")});
    tagged.AllowHTMLTags = true;
    TqdxMemoView turned;
    setUpMemo(turned, 10, 70, 20, 200, {QStringLiteral("<u>Total</u>")});
    turned.AllowHTMLTags = true;
    turned.SetRotation(90);
    TqdxRichView rich;
    rich.SetBounds(10, 300, 200, 30);
    rich.RichText = "{\\rtf1\\ansi\\b Total\\b0  geral\\par}";
    const std::pair<TqdxView*, bool> views[] = {
        {&hatched, true}, {&tagged, false}, {&turned, false}, {&rich, false}};
    for (const auto& [view, hatch] : views) {
        state.resetPage();
        EmitView(state, *view);
        const QString c = content();
        EXPECT_TRUE(c.contains(QStringLiteral(" Tj"))) << c.toStdString();
        EXPECT_FALSE(c.contains(QStringLiteral("/Im"))) << c.toStdString();
        EXPECT_EQ(c.contains(QStringLiteral("/Pattern cs /P0 scn")), hatch) << c.toStdString();
        EXPECT_EQ(count(c, QStringLiteral("q\r\n")), count(c, QStringLiteral("Q\r\n")));
        EXPECT_EQ(count(c, QStringLiteral("BT\r\n")), count(c, QStringLiteral("ET\r\n")));
    }
    EXPECT_EQ(state.patternObjects.size(), 1u);
    EXPECT_TRUE(state.imageObjects.empty());
}

TEST(PageContentScale, AbsurdSizesAreDrawnWithinBounds) {
    TqdxPictureView huge;
    huge.SetBounds(0, 0, 1e7, 1e7);
    const auto [w, h] = rasterSize(huge, true);
    EXPECT_GT(w, 0);
    EXPECT_LE(double(w) * h, 33.0 * 1024 * 1024);

    TqdxPictureView thin;
    thin.SetBounds(0, 0, 1e6, 1);
    const auto [tw, th] = rasterSize(thin, false);
    EXPECT_LE(tw, 65535);
    EXPECT_GE(th, 1);
}

TEST_F(PageContent, LinksToPagesAnchorsAndSafeAddresses) {
    state.findAnchor = [](const QString& name, int& page, double& top) {
        if (name != QLatin1String("known")) {
            return false;
        }
        page = 4;
        top = 100;
        return true;
    };
    TqdxShapeView shape;
    shape.SetBounds(100, 200, 40, 20);

    shape.URL = "@3";
    EmitView(state, shape);
    ASSERT_EQ(state.links.size(), 1u);
    EXPECT_FALSE(state.links[0].web);
    EXPECT_EQ(state.links[0].targetPage, 2);
    EXPECT_EQ(state.links[0].top, 0); // mapped on the target page when the link is written
    EXPECT_EQ(state.links[0].rect, QByteArray("85 630 115 645"));
    EXPECT_EQ(state.annots, std::vector<int>{state.links[0].object});

    shape.URL = "#known";
    EmitView(state, shape);
    ASSERT_EQ(state.links.size(), 2u);
    EXPECT_EQ(state.links[1].targetPage, 4);
    EXPECT_EQ(state.links[1].top, 100);

    shape.URL = "https://example.com/a(b";
    EmitView(state, shape);
    ASSERT_EQ(state.links.size(), 3u);
    EXPECT_TRUE(state.links[2].web);
    EXPECT_EQ(state.links[2].address, QStringLiteral("https://example.com/a(b"));

    for (const char* unsafe : {"#unknown", "javascript:alert(1)", "file:///bin/sh", "/bin/sh"}) {
        shape.URL = unsafe;
        EmitView(state, shape);
    }
    EXPECT_EQ(state.links.size(), 3u);

    const qsizetype before = state.content.size();
    shape.URL = "@3a";
    EXPECT_THROW(EmitView(state, shape), std::invalid_argument);
    EXPECT_EQ(state.content.size(), before);
    EXPECT_EQ(state.links.size(), 3u);
}

TEST_F(PageContent, BadGeometryAndUndecodablePicturesStillWriteValidOperators) {
    TqdxPictureView broken;
    broken.SetBounds(0, 0, 30, 30);
    broken.Picture.GraphicClass = "TJPEGImage";
    broken.Picture.Data = "not a picture";
    EmitView(state, broken);
    EXPECT_TRUE(content().contains(QStringLiteral("/Im0 Do")));

    const double nan = std::nan("");
    TqdxMemoView memo;
    setUpMemo(memo, nan, 10, 100, nan, {QStringLiteral("a"), QStringLiteral("b")});
    memo.Underlines = true;
    memo.SetRotation(30);
    TqdxShapeView shape;
    shape.SetBounds(INFINITY, 0, 10, 10);
    shape.Shape = skEllipse;
    TqdxLineView line;
    line.SetBounds(nan, nan, 0, 0);
    line.ArrowStart = line.ArrowEnd = true;
    for (TqdxView* view : std::initializer_list<TqdxView*>{&memo, &shape, &line}) {
        EmitView(state, *view);
    }
    const QString text = content().toLower();
    EXPECT_FALSE(text.contains(QStringLiteral("nan")));
    EXPECT_FALSE(text.contains(QStringLiteral("inf")));
    EXPECT_EQ(state.imageObjects.size(), 1u);
    const QByteArray pdf = file();
    const qsizetype data = pdf.indexOf("stream\r\n") + 8;
    EXPECT_EQ(pdf.mid(data, 2), QByteArray("\xFF\xD8"));
}
