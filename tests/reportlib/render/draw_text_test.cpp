#include "reportlib/render/draw_text.h"
#include "reportlib/render/view_painter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include <numbers>
#include <optional>
#include <utility>
#include <vector>

using namespace zr::reportlib;
using namespace zr::reportlib::render;

namespace {

// Liberation Mono stands in for Courier New: every character is 0.6 em wide, so at 10 points
// (83 pixels at 600 dpi) each one measures 50 layout units, 8 report pixels.
constexpr int kMonoAdvance = 8;

TqdxFont makeFont(const char* name = "Courier New", int size = 10) {
    TqdxFont font;
    font.Name = name;
    font.SetSize(size);
    return font;
}

TWideStrings paragraphs(std::initializer_list<QString> texts) {
    TWideStrings list;
    for (const QString& t : texts) {
        list.Add(t);
    }
    return list;
}

QStringList lines(const TqdxDrawText& engine) {
    QStringList out;
    for (int i = 0; i < engine.Lines().Count(); ++i) {
        out << engine.Lines().Strings(i);
    }
    return out;
}

struct Options {
    bool wordWrap = true;
    bool tags = false;
    int rotation = 0;
    bool wysiwyg = true;
    bool clipped = true;
    bool wordBreak = false;
    bool rtl = false;
    double lineSpacing = 2;
    double charSpacing = 0;
    double paragraphGap = 0;
};

// Lays the text out for a layout rectangle `width` report pixels wide.
void layOut(TqdxDrawText& engine, const TWideStrings& text, int width, const Options& o = {},
            const TqdxFont& font = makeFont()) {
    engine.UseFont(font);
    engine.UseOptions(o.wordWrap, o.tags, o.rotation, o.wysiwyg, o.clipped, o.wordBreak, o.rtl);
    engine.UseSpacing(o.lineSpacing, o.charSpacing, o.paragraphGap);
    const TextRect rect{0, 0, width, 1000};
    engine.UseArea(rect, rect, 1, 1, 1);
    engine.UseText(text);
}

QImage whiteImage(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

bool isInk(QRgb p) {
    return qGray(p) < 160;
}

// Column spans [left, right] of the words drawn in `band`: runs of columns with ink, where a run
// of more than `maxGap` blank columns separates two words.
std::vector<std::pair<int, int>> wordSpans(const QImage& image, QRect band, int maxGap) {
    band = band.intersected(image.rect());
    std::vector<std::pair<int, int>> spans;
    int blank = 0;
    for (int x = band.left(); x <= band.right(); ++x) {
        bool ink = false;
        for (int y = band.top(); y <= band.bottom() && !ink; ++y) {
            ink = isInk(image.pixel(x, y));
        }
        if (!ink) {
            ++blank;
            continue;
        }
        if (spans.empty() || blank > maxGap) {
            spans.emplace_back(x, x);
        } else {
            spans.back().second = x;
        }
        blank = 0;
    }
    return spans;
}

int spanWidth(const std::pair<int, int>& span) {
    return span.second - span.first + 1;
}

// Bounding box of the dark pixels inside `area` (the whole image by default).
std::optional<QRect> inkBox(const QImage& image, QRect area = {}) {
    if (area.isNull()) {
        area = image.rect();
    }
    area = area.intersected(image.rect());
    std::optional<QRect> box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixel(x, y))) {
                box = box ? box->united(QRect(x, y, 1, 1)) : QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// Draws one line into `clip` on a white image.
QImage drawLines(TqdxDrawText& engine, const TWideStrings& text, const TextRect& clip, double scale,
                 int hAlign, int vAlign = vaTop, const Options& o = {},
                 const TqdxFont& font = makeFont(), QSize size = {400, 300}) {
    engine.UseFont(font);
    engine.UseOptions(o.wordWrap, o.tags, o.rotation, o.wysiwyg, o.clipped, o.wordBreak, o.rtl);
    engine.UseSpacing(o.lineSpacing, o.charSpacing, o.paragraphGap);
    const TextRect layout{0, 0, Round(clip.Width() / scale), Round(clip.Height() / scale)};
    engine.UseArea(layout, clip, scale, scale, 1);
    engine.UseText(text);
    QImage image = whiteImage(size.width(), size.height());
    QPainter painter(&image);
    engine.RenderText(painter, hAlign, vAlign);
    painter.end();
    return image;
}

} // namespace

TEST(DrawTextWrap, ParagraphNarrowerThanTheRectangleStaysOneLine) {
    TqdxDrawText engine;
    layOut(engine, paragraphs({"ab cd ef"}), 8 * kMonoAdvance + 1);
    EXPECT_EQ(lines(engine), QStringList{"ab cd ef"});
    EXPECT_EQ(engine.LineFlags(0), lfFirstLine | lfLastLine);

    Options noWrap;
    noWrap.wordWrap = false;
    layOut(engine, paragraphs({"ab cd ef gh ij"}), 2 * kMonoAdvance, noWrap);
    EXPECT_EQ(lines(engine), QStringList{"ab cd ef gh ij"});
}

TEST(DrawTextWrap, BreaksAtTheLastBlankAndDropsIt) {
    TqdxDrawText engine;
    // "abcd e" fits, "abcd ef" does not.
    layOut(engine, paragraphs({"abcd efgh"}), 6 * kMonoAdvance + 2);
    EXPECT_EQ(lines(engine), (QStringList{"abcd", "efgh"}));
    EXPECT_EQ(engine.LineFlags(0), lfFirstLine);
    EXPECT_EQ(engine.LineFlags(1), lfLastLine);
    // The dropped blank keeps its record on the first line.
    ASSERT_EQ(engine.Tags().Count(), 2);
    EXPECT_EQ(engine.Tags().Items(0).Count(), 5);
    EXPECT_EQ(engine.Tags().Items(1).Count(), 4);
    EXPECT_EQ(engine.WrappedLines(), QStringLiteral("abcd\r\nefgh\r\n"));
}

TEST(DrawTextWrap, LongWordsBreakInsideAndSingleCharactersFormLines) {
    TqdxDrawText engine;
    layOut(engine, paragraphs({"abcdefghij"}), 4 * kMonoAdvance);
    EXPECT_EQ(lines(engine), (QStringList{"abcd", "efgh", "ij"}));

    // Not even one character fits: every character becomes a line of its own.
    layOut(engine, paragraphs({"abc"}), 1);
    EXPECT_EQ(lines(engine), (QStringList{"a", "b", "c"}));

    // A first-line indent narrows only the first line.
    Options gap;
    gap.paragraphGap = 2 * kMonoAdvance;
    layOut(engine, paragraphs({"abcdefghij"}), 4 * kMonoAdvance, gap);
    EXPECT_EQ(lines(engine), (QStringList{"ab", "cdef", "ghij"}));
}

TEST(DrawTextWrap, BlanksInsideNoWrapAreNoBreakCandidates) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine, paragraphs({"aa <nowrap>bb cc</nowrap> dd"}), 7 * kMonoAdvance, o);
    EXPECT_EQ(lines(engine), (QStringList{"aa", "bb cc", "dd"}));
}

TEST(DrawTextWrap, ParagraphsAndTheirFlags) {
    TqdxDrawText engine;
    layOut(engine, paragraphs({"", "abcd efgh", "x"}), 5 * kMonoAdvance);
    EXPECT_EQ(lines(engine), (QStringList{" ", "abcd", "efgh", "x"}));
    EXPECT_EQ(engine.LineFlags(0), 3);
    EXPECT_EQ(engine.LineFlags(1), 1);
    EXPECT_EQ(engine.LineFlags(2), 2);
    EXPECT_EQ(engine.LineFlags(3), 3);

    engine.UseParagraphBreaks(true, true);
    EXPECT_EQ(engine.LineFlags(0), lfLastLine);
    EXPECT_EQ(engine.LineFlags(3), lfFirstLine);

    layOut(engine, TWideStrings{}, 100);
    EXPECT_EQ(engine.Lines().Count(), 0);
    EXPECT_EQ(engine.MeasureHeight(), 0);
    EXPECT_EQ(engine.MeasureWidth(), 0);
}

TEST(DrawTextWrap, LinesLongerThanAnyFixedBufferWrapCompletely) {
    TqdxDrawText engine;
    const QString text(40000, QChar(u'a'));
    layOut(engine, paragraphs({text}), 100 * kMonoAdvance);
    ASSERT_EQ(engine.Lines().Count(), 400);
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(engine.Lines().Strings(i).size(), 100) << i;
    }
    ASSERT_EQ(engine.Tags().Count(), 400);
    EXPECT_EQ(engine.Tags().Items(399).Count(), 100);
}

TEST(DrawTextHyphenation, RussianWordsSplitAtSyllablesLatinWordsDoNot) {
    EXPECT_EQ(BreakWord(u"ПРОГРАММА"), (std::vector<int>{3, 4, 7}));
    EXPECT_EQ(BreakWord(u"КОШКА"), (std::vector<int>{2, 3}));
    EXPECT_EQ(BreakWord(u"ДОМ"), std::vector<int>{});
    EXPECT_EQ(BreakWord(u"PROGRAMMA"), std::vector<int>{});
    // No break before a soft sign or before Й.
    EXPECT_EQ(BreakWord(u"МАЙКА"), (std::vector<int>{3}));

    TqdxDrawText engine;
    Options o;
    o.wordBreak = true;
    layOut(engine, paragraphs({QStringLiteral(u"программа")}), 6 * kMonoAdvance, o);
    EXPECT_EQ(lines(engine), (QStringList{QStringLiteral(u"прог-"), QStringLiteral(u"рамма")}));
    // The hyphen has the record of the character before it.
    EXPECT_EQ(engine.Tags().Items(0).Count(), 5);

    layOut(engine, paragraphs({QStringLiteral(u"ab программа")}), 8 * kMonoAdvance, o);
    EXPECT_EQ(lines(engine), (QStringList{QStringLiteral(u"ab прог-"), QStringLiteral(u"рамма")}));

    layOut(engine, paragraphs({"programming"}), 6 * kMonoAdvance, o);
    EXPECT_EQ(lines(engine), (QStringList{"progra", "mming"}));
}

TEST(DrawTextTags, SubAndSuperscriptsAreSmallerAndOnlySubscriptsLowered) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine, paragraphs({"H<sub>2</sub>O x<SUP>3</sup>"}), 500, o);
    ASSERT_EQ(lines(engine), QStringList{"H2O x3"});
    const TqdxHTMLTags& tags = engine.Tags().Items(0);
    ASSERT_EQ(tags.Count(), 6);
    EXPECT_EQ(tags.Items(0).FontSize, 10);
    EXPECT_FALSE(tags.Items(0).Reduced);
    EXPECT_EQ(tags.Items(1).FontSize, 7); // Round(10 / 1.5)
    EXPECT_EQ(tags.Items(1).Lowered, 1);
    EXPECT_TRUE(tags.Items(1).Reduced);
    EXPECT_FALSE(tags.Items(1).Unchanged);
    EXPECT_FALSE(tags.Items(2).Unchanged);
    EXPECT_EQ(tags.Items(2).FontSize, 10);
    EXPECT_EQ(tags.Items(5).FontSize, 7);
    EXPECT_EQ(tags.Items(5).Lowered, 0);
    // Source positions count the tags: "H<sub>2" puts the 2 at 7.
    EXPECT_EQ(tags.Items(0).SourceIndex, 1);
    EXPECT_EQ(tags.Items(1).SourceIndex, 7);

    // The reduced character takes 1/1.5 of its width.
    layOut(engine, paragraphs({"a<sub>b</sub>"}), 500, o);
    EXPECT_NEAR(engine.MeasureWidth(), 2 * kMonoAdvance, 0.01); // measured at full size
}

TEST(DrawTextTags, FiveCharacterFormsGoOtherBracketsStay) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine, paragraphs({"a<xyz>b", "a<ab>b", "a<abcd>b", "1 < 2", "<q>"}), 500, o);
    EXPECT_EQ(lines(engine), (QStringList{"ab", "a<ab>b", "a<abcd>b", "1 < 2", "<q>"}));

    // Without tags allowed nothing is removed.
    layOut(engine, paragraphs({"<b>a</b><sub>"}), 500);
    EXPECT_EQ(lines(engine), QStringList{"<b>a</b><sub>"});
    EXPECT_TRUE(engine.Tags().Items(0).Items(1).Unchanged);
}

TEST(DrawTextTags, FontColours) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine,
           paragraphs({"<font color=\"#FF0000\">r</font>n", "<font color=navy>b",
                       "<FONT COLOR = \"#0000ff\">c"}),
           500, o);
    ASSERT_EQ(lines(engine), (QStringList{"rn", "b", "c"}));
    EXPECT_EQ(engine.Tags().Items(0).Items(0).FontColor, 255);
    EXPECT_EQ(engine.Tags().Items(0).Items(1).FontColor, 0);
    EXPECT_EQ(engine.Tags().Items(1).Items(0).FontColor, 0x800000);
    EXPECT_EQ(engine.Tags().Items(2).Items(0).FontColor, 0xFF0000);

    // Values that are no colour leave the tag as text.
    layOut(
        engine,
        paragraphs({"<font color=\"#GG0000\">x", "<font color=nosuch>x", "<font color=>x",
                    "<font color=#FF0000>x", "<font color=red >x", "<font color=\"#FF0000\" >x"}),
        500, o);
    EXPECT_EQ(lines(engine), (QStringList{"<font color=\"#GG0000\">x", "<font color=nosuch>x",
                                          "<font color=>x", "<font color=#FF0000>x",
                                          "<font color=red >x", "<font color=\"#FF0000\" >x"}));
    for (int i = 0; i < engine.Tags().Count(); ++i) {
        EXPECT_EQ(engine.Tags().Items(i).Items(0).FontColor, 0) << i;
    }
}

TEST(DrawTextTags, FormattingCarriesAcrossParagraphs) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine, paragraphs({"a<b>b", "c", "</b>d"}), 500, o);
    ASSERT_EQ(lines(engine), (QStringList{"ab", "c", "d"}));
    EXPECT_EQ(engine.Tags().Items(0).Items(1).FontStyle, fsBold);
    EXPECT_EQ(engine.Tags().Items(1).Items(0).FontStyle, fsBold);
    EXPECT_TRUE(engine.Tags().Items(1).Items(0).Unchanged);
    EXPECT_EQ(engine.Tags().Items(2).Items(0).FontStyle, 0);
    EXPECT_FALSE(engine.Tags().Items(2).Items(0).Unchanged);
    // Source positions go on across paragraphs (CR LF counted).
    EXPECT_EQ(engine.Tags().Items(1).Items(0).SourceIndex, 8);
}

TEST(DrawTextTags, LineOfOnlyTagsBecomesOneBlank) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    layOut(engine, paragraphs({"<b><i></i>", "x"}), 500, o);
    ASSERT_EQ(lines(engine), (QStringList{" ", "x"}));
    ASSERT_EQ(engine.Tags().Items(0).Count(), 1);
    EXPECT_EQ(engine.Tags().Items(0).Items(0).FontStyle, fsBold);
    EXPECT_EQ(engine.Tags().Items(1).Items(0).FontStyle, fsBold);
}

TEST(DrawTextMeasure, HeightsAndWidthsInReportUnits) {
    TqdxDrawText engine;
    layOut(engine, paragraphs({"abcd", "ab", "abc"}), 500);
    // 10 points are 83 pixels at 600 dpi: 13.28 report pixels, plus the line spacing of 2.
    EXPECT_NEAR(engine.LineStep(), 15.28, 1e-9);
    EXPECT_NEAR(engine.MeasureHeight(), 3 * 15.28, 1e-9);
    EXPECT_NEAR(engine.MeasureWidth(), 4 * kMonoAdvance, 1e-9);

    Options o;
    o.lineSpacing = -1;
    o.paragraphGap = 5;
    o.charSpacing = 1;
    layOut(engine, paragraphs({"abcd", "ab", "abc"}), 500, o);
    EXPECT_NEAR(engine.MeasureHeight(), 3 * 12.28 + 1, 1e-9);
    // 200 units of characters, 4 * 6.25 of spacing (25) and 31 of indent (Round(31.25)).
    EXPECT_NEAR(engine.MeasureWidth(), (200 + 25 + 31) / 6.25, 1e-9);
}

TEST(DrawTextSpread, DistributeHalvesTheRange) {
    auto spread = [](int count, int units) {
        std::vector<int> a(size_t(count), 0);
        Distribute(a, 0, count - 1, 1, units);
        std::vector<int> hit;
        for (int i = 0; i < count; ++i) {
            if (a[size_t(i)] != 0) {
                hit.push_back(i);
            }
        }
        return hit;
    };
    EXPECT_EQ(spread(10, 1), std::vector<int>{4});
    EXPECT_EQ(spread(10, 2), (std::vector<int>{1, 6}));
    EXPECT_EQ(spread(10, 0), std::vector<int>{});
    EXPECT_EQ(spread(10, 10).size(), 10u);
    EXPECT_EQ(spread(1, 1), std::vector<int>{0});

    std::vector<int> a(3, 0);
    Distribute(a, 0, 2, -1, 3);
    EXPECT_EQ(a, (std::vector<int>{-1, -1, -1}));
    // A range beyond the array, or more units than entries, never writes outside it.
    Distribute(a, 2, 9, 1, 8);
    Distribute(a, 0, -1, 1, 1);
    EXPECT_EQ(a.size(), 3u);
}

TEST(DrawTextRender, TextIsDrawnInsideTheClipRectangleOnly) {
    TqdxDrawText engine;
    Options o;
    o.wordWrap = false;
    const TextRect clip{20, 20, 120, 60};
    QImage image =
        drawLines(engine, paragraphs({"MMMMMMMMMMMMMMMMMMMMMMMM"}), clip, 1, haLeft, vaTop, o);
    const auto inside = inkBox(image, QRect(20, 20, 100, 40));
    ASSERT_TRUE(inside);
    EXPECT_LE(inside->left(), 22);
    EXPECT_GE(inside->right(), 115);
    EXPECT_FALSE(inkBox(image, QRect(120, 0, 280, 300)));
    EXPECT_FALSE(inkBox(image, QRect(0, 0, 400, 20)));

    o.clipped = false;
    image = drawLines(engine, paragraphs({"MMMMMMMMMMMMMMMMMMMMMMMM"}), clip, 1, haLeft, vaTop, o);
    EXPECT_TRUE(inkBox(image, QRect(121, 20, 279, 40)));
}

TEST(DrawTextRender, WysiwygLineWidthScalesWithTheZoom) {
    // The line width is what right alignment leaves free: the shift between the left- and
    // right-aligned drawings of the same text.
    auto lineWidth = [](double scale) {
        TqdxDrawText engine;
        const TextRect clip{0, 0, Round(300 * scale), Round(40 * scale)};
        const TWideStrings text = paragraphs({"The quick brown fox jumps"});
        const QSize size(clip.Right + 10, clip.Bottom + 10);
        const QImage left =
            drawLines(engine, text, clip, scale, haLeft, vaTop, {}, makeFont("Arial"), size);
        const QImage right =
            drawLines(engine, text, clip, scale, haRight, vaTop, {}, makeFont("Arial"), size);
        const auto a = inkBox(left);
        const auto b = inkBox(right);
        EXPECT_TRUE(a && b);
        if (!a || !b) {
            return 0;
        }
        EXPECT_EQ(b->width(), a->width());
        return clip.Width() - (b->left() - a->left());
    };
    const int one = lineWidth(1);
    const int two = lineWidth(2);
    EXPECT_GT(one, 100);
    EXPECT_LE(std::abs(two - 2 * one), 1) << one << " " << two;
}

TEST(DrawTextRender, BlockAlignmentJustifiesAllButTheLastLine) {
    TqdxDrawText engine;
    const TextRect clip{10, 10, 10 + 13 * kMonoAdvance, 100};
    // Lines "aaaa bb cc" (justified to the full width) and "dddd" (left-aligned).
    const QImage image =
        drawLines(engine, paragraphs({"aaaa bb cc dddd"}), clip, 1, haBlock, vaTop);
    ASSERT_EQ(engine.Lines().Count(), 2);
    const auto first = inkBox(image, QRect(0, 10, 400, 14));
    const auto last = inkBox(image, QRect(0, 26, 400, 16));
    ASSERT_TRUE(first && last);
    EXPECT_GE(first->right(), clip.Right - 4);
    EXPECT_LE(last->right(), 10 + 4 * kMonoAdvance + 1);
    EXPECT_LE(first->left(), 12);
    EXPECT_LE(last->left(), 12);

    // A line without blanks stays left-aligned.
    const QImage single =
        drawLines(engine, paragraphs({"abcdefghijklmnopqrstuvwxyz"}), clip, 1, haBlock, vaTop);
    const auto top = inkBox(single, QRect(0, 10, 400, 14));
    ASSERT_TRUE(top);
    EXPECT_LE(top->left(), 12);
}

TEST(DrawTextRender, Rotation90StartsBottomLeftAndRunsUpwards) {
    TqdxDrawText engine;
    Options o;
    o.rotation = 90;
    const TextRect clip{50, 20, 150, 220};
    const QImage image = drawLines(engine, paragraphs({"MMMMM", "MMMMM"}), clip, 1, haLeft, vaTop,
                                   o, makeFont("Courier New"), {300, 300});
    const auto all = inkBox(image);
    ASSERT_TRUE(all);
    // Five characters of 8 pixels from the bottom edge upwards; two lines side by side.
    EXPECT_GE(all->bottom(), 212);
    EXPECT_LE(all->bottom(), 220);
    EXPECT_GE(all->top(), 220 - 5 * kMonoAdvance - 2);
    EXPECT_LE(all->top(), 220 - 5 * kMonoAdvance + 4);
    EXPECT_GE(all->left(), 50);
    EXPECT_LE(all->left(), 54);
    // The second line lies one line step (15 pixels) to the right of the first.
    EXPECT_GE(all->right(), 50 + 15 + 8);
    EXPECT_LE(all->right(), 50 + 2 * 16);
}

TEST(DrawTextRender, SubscriptsAreLoweredSuperscriptsAreNot) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    const TextRect clip{0, 0, 300, 200};
    const double scale = 4;
    const QImage plain = drawLines(engine, paragraphs({"H"}), clip, scale, haLeft, vaTop, o);
    const QImage sub =
        drawLines(engine, paragraphs({"H<sub>H</sub>"}), clip, scale, haLeft, vaTop, o);
    const QImage sup =
        drawLines(engine, paragraphs({"H<sup>H</sup>"}), clip, scale, haLeft, vaTop, o);
    const auto base = inkBox(plain);
    ASSERT_TRUE(base);
    const QRect after(base->right() + 2, 0, 300, 200);
    const auto lowered = inkBox(sub, after);
    const auto raised = inkBox(sup, after);
    ASSERT_TRUE(lowered && raised);
    // 7 points at scale 4: a cell of 37 pixels, lowered by Round(7 * 4) = 28 pixels, which
    // puts its baseline some 15 pixels below the full-size one.
    EXPECT_GT(lowered->bottom(), base->bottom() + 10);
    EXPECT_LT(raised->bottom(), base->bottom() - 5);
    EXPECT_LT(raised->height(), base->height());
    EXPECT_LT(lowered->height(), base->height());
}

TEST(DrawTextRender, TagColoursReachThePixels) {
    TqdxDrawText engine;
    Options o;
    o.tags = true;
    const QImage image = drawLines(engine, paragraphs({"<font color=red>MMMM</font>MMMM"}),
                                   {0, 0, 300, 100}, 2, haLeft, vaTop, o);
    int red = 0, black = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 300; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
                ++red;
                EXPECT_LT(x, 4 * 2 * kMonoAdvance + 2);
            } else if (c.red() < 60 && c.green() < 60 && c.blue() < 60) {
                ++black;
                EXPECT_GE(x, 4 * 2 * kMonoAdvance - 2);
            }
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(black, 20);
}

TEST(DrawTextRender, FontsOfOtherCharacterSetsShowWhatTheirCodePageHolds) {
    TqdxDrawText engine;
    auto box = [&](const QString& text, int charset, bool useDefault = false) {
        TqdxFont font = makeFont("Arial", 20);
        font.Charset = charset;
        engine.SetUseDefaultCharset(useDefault);
        const auto ink = inkBox(
            drawLines(engine, paragraphs({text}), {10, 10, 200, 100}, 1, haLeft, vaTop, {}, font));
        engine.SetUseDefaultCharset(false);
        return ink.value_or(QRect());
    };
    const QRect question = box("?", 1);
    const QRect zhe = box(QStringLiteral(u"Ж"), 1);
    ASSERT_FALSE(question.isNull());
    ASSERT_NE(question, zhe);
    // Western fonts cannot show Cyrillic; a Russian font can, and so can any font when the
    // text is always taken as Unicode.
    EXPECT_EQ(box(QStringLiteral(u"Ж"), 0), question);
    EXPECT_EQ(box(QStringLiteral(u"Ж"), 204), zhe);
    EXPECT_EQ(box(QStringLiteral(u"Ж"), 0, true), zhe);
}

TEST(DrawTextRender, RightToLeftTextIsDrawnInsideItsLine) {
    TqdxDrawText engine;
    Options o;
    o.rtl = true;
    const TextRect clip{20, 20, 220, 60};
    const QImage image =
        drawLines(engine, paragraphs({QStringLiteral(u"\u05E9\u05DC\u05D5\u05DD abc")}), clip, 1,
                  haRight, vaTop, o, makeFont("Arial"));
    const auto ink = inkBox(image);
    ASSERT_TRUE(ink);
    EXPECT_GE(ink->left(), 100);
    EXPECT_LE(ink->right(), 220);
    EXPECT_GE(ink->top(), 20);
}

// Justified right-to-left reading and shaped scripts: the extra width of a justified line goes
// into its gaps, the letters keep the shape they have without justification.
TEST(DrawTextRender, JustifiedRightToLeftLinesWidenTheGapsNotTheLetters) {
    TqdxDrawText engine;
    const TextRect clip{0, 0, 320, 200};
    const double scale = 2;
    // Line one, "aa bb cc", is justified to 160 report pixels; the long word goes to line two.
    const TWideStrings text = paragraphs({"aa bb cc zzzzzzzzzzzzzzzzzz"});
    const QRect firstLine(0, 0, 320, 28);
    Options o;
    const QImage ltr = drawLines(engine, text, clip, scale, haBlock, vaTop, o);
    ASSERT_EQ(lines(engine), (QStringList{"aa bb cc", "zzzzzzzzzzzzzzzzzz"}));
    o.rtl = true;
    const QImage rtl = drawLines(engine, text, clip, scale, haBlock, vaTop, o);
    const auto plain = wordSpans(ltr, firstLine, 8);
    const auto reversed = wordSpans(rtl, firstLine, 8);
    ASSERT_EQ(plain.size(), 3u);
    ASSERT_EQ(reversed.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        // Two letters of 16 pixels: stretched to the line they would be some 2.5 times wider.
        EXPECT_LE(std::abs(spanWidth(reversed[i]) - spanWidth(plain[i])), 2) << i;
        EXPECT_LT(spanWidth(reversed[i]), 2 * 16 + 4) << i;
    }
    // Flush with both edges, the gaps holding what the letters do not fill.
    EXPECT_LE(reversed.front().first, 3);
    EXPECT_GE(reversed.back().second, 314);
    EXPECT_GT(reversed[1].first - reversed[0].second, 60);
    EXPECT_GT(reversed[2].first - reversed[1].second, 60);
}

TEST(DrawTextRender, JustifiedHebrewKeepsItsLetterShapes) {
    TqdxDrawText engine;
    const TextRect clip{0, 0, 400, 200};
    const double scale = 2;
    const QString first = QStringLiteral(u"\u05E9\u05DC\u05D5\u05DD");
    const QString second = QStringLiteral(u"\u05E2\u05D5\u05DC\u05DD");
    const QString wrapped = QString(20, QChar(0x05D0));
    auto wordWidth = [&](const QString& word) {
        const auto ink = inkBox(drawLines(engine, paragraphs({word}), clip, scale, haLeft, vaTop,
                                          {}, makeFont("Arial")));
        return ink ? ink->width() : 0;
    };
    const QImage justified = drawLines(engine, paragraphs({first + ' ' + second + ' ' + wrapped}),
                                       clip, scale, haBlock, vaTop, {}, makeFont("Arial"));
    ASSERT_EQ(lines(engine), (QStringList{first + ' ' + second, wrapped}));
    const auto words = wordSpans(justified, QRect(0, 0, 400, 28), 12);
    ASSERT_EQ(words.size(), 2u);
    // Read from the right: the first word is the right one.
    EXPECT_LE(std::abs(spanWidth(words[1]) - wordWidth(first)), 2);
    EXPECT_LE(std::abs(spanWidth(words[0]) - wordWidth(second)), 2);
    EXPECT_GT(words[1].first - words[0].second, 150);
    EXPECT_GE(words[1].second, 390);
}

TEST(DrawTextRender, LetterSpacedRightToLeftTextSpacesItsLetters) {
    TqdxDrawText engine;
    const TextRect clip{0, 0, 400, 100};
    const double scale = 2;
    Options o;
    o.rtl = true;
    o.wordWrap = false;
    const auto single = inkBox(drawLines(engine, paragraphs({"I"}), clip, scale, haLeft, vaTop, o));
    ASSERT_TRUE(single);
    o.charSpacing = 8;
    const QImage spaced = drawLines(engine, paragraphs({"IIII"}), clip, scale, haLeft, vaTop, o);
    const auto letters = wordSpans(spaced, QRect(0, 0, 400, 40), 2);
    ASSERT_EQ(letters.size(), 4u);
    for (const auto& letter : letters) {
        EXPECT_LE(std::abs(spanWidth(letter) - single->width()), 1);
    }
    // A letter cell is 8 + 8 report pixels: 32 device pixels from one letter to the next.
    EXPECT_NEAR(letters[3].first - letters[0].first, 3 * 32, 4);
}

TEST(DrawTextRender, VerticalAlignmentOfSeveralLines) {
    TqdxDrawText engine;
    const TextRect clip{10, 10, 210, 210};
    const TWideStrings text = paragraphs({"MMM", "MMM", "MMM"});
    const auto top = inkBox(drawLines(engine, text, clip, 1, haLeft, vaTop));
    const auto center = inkBox(drawLines(engine, text, clip, 1, haLeft, vaCenter));
    const auto bottom = inkBox(drawLines(engine, text, clip, 1, haLeft, vaBottom));
    ASSERT_TRUE(top && center && bottom);
    // Three lines of 15 pixels (13-pixel font, 2 pixels of spacing).
    const int block = 3 * 15;
    EXPECT_GE(top->top(), 10);
    EXPECT_LE(top->top(), 14);
    EXPECT_EQ(center->height(), top->height());
    EXPECT_EQ(bottom->height(), top->height());
    EXPECT_NEAR(center->top() - top->top(), (200 - block) / 2, 2);
    EXPECT_NEAR(bottom->top() - top->top(), 200 - block, 2);
    EXPECT_LE(bottom->bottom(), 209);
}

TEST(DrawTextRender, HorizontalCentreAndRotationsOtherThan90) {
    TqdxDrawText engine;
    const TextRect clip{50, 50, 250, 250};
    const TWideStrings text = paragraphs({"MMMMM"});
    const int length = 5 * kMonoAdvance;
    Options o;
    o.wordWrap = false;
    const auto centred =
        inkBox(drawLines(engine, text, clip, 1, haCenter, vaTop, o, makeFont(), {300, 300}));
    ASSERT_TRUE(centred);
    EXPECT_NEAR(centred->center().x(), 150, 2);

    // 180: upside down from the bottom-right corner, running to the left.
    o.rotation = 180;
    const auto upsideDown =
        inkBox(drawLines(engine, text, clip, 1, haLeft, vaTop, o, makeFont(), {300, 300}));
    ASSERT_TRUE(upsideDown);
    EXPECT_NEAR(upsideDown->right(), 250, 4);
    EXPECT_NEAR(upsideDown->left(), 250 - length, 4);
    EXPECT_GE(upsideDown->bottom(), 236);
    EXPECT_LE(upsideDown->bottom(), 250);

    // 270: from the top-right corner downwards.
    o.rotation = 270;
    const auto down =
        inkBox(drawLines(engine, text, clip, 1, haLeft, vaTop, o, makeFont(), {300, 300}));
    ASSERT_TRUE(down);
    EXPECT_NEAR(down->top(), 50, 4);
    EXPECT_NEAR(down->height(), length, 4);
    EXPECT_GE(down->right(), 236);
    EXPECT_LE(down->right(), 250);

    // 45: rising from the left, inside the rectangle.
    o.rotation = 45;
    const QImage rising =
        drawLines(engine, text, clip, 1, haLeft, vaTop, o, makeFont(), {300, 300});
    const auto all = inkBox(rising);
    const auto start = inkBox(rising, QRect(0, 0, 70, 300));
    const auto end = inkBox(rising, QRect(70, 0, 230, 300));
    ASSERT_TRUE(all && start && end);
    EXPECT_TRUE(QRect(50, 50, 200, 200).contains(*all));
    EXPECT_GT(start->center().y(), end->center().y() + 10);
    EXPECT_NEAR(all->width(), length * std::numbers::sqrt2 / 2 + 13 * std::numbers::sqrt2 / 2, 8);
}

TEST(DrawTextRender, WithoutWysiwygLinesTakeTheDeviceFontsOwnWidth) {
    // A zoom at which the screen font's own widths do not add up to the 600-dpi width.
    const double scale = 1.37;
    const QString text = QStringLiteral("iiiiiiiiiilllllllll");
    auto sumOfAdvances = [&](int pixelSize) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(pixelSize);
        font.setKerning(false);
        const QFontMetricsF metrics(font);
        int sum = 0;
        for (const QChar c : text) {
            sum += Round(metrics.horizontalAdvance(c));
        }
        return sum;
    };
    const int device = sumOfAdvances(Round(10 * scale * 96 / 72));
    const int ideal = Round(sumOfAdvances(83) / 6.25 * scale);
    ASSERT_NE(device, ideal);

    // Right alignment leaves free what the line does not take.
    auto lineWidth = [&](bool wysiwyg) {
        TqdxDrawText engine;
        Options o;
        o.wysiwyg = wysiwyg;
        const TextRect clip{0, 0, 400, 60};
        const QImage left = drawLines(engine, paragraphs({text}), clip, scale, haLeft, vaTop, o,
                                      makeFont("Arial"), {420, 80});
        const QImage right = drawLines(engine, paragraphs({text}), clip, scale, haRight, vaTop, o,
                                       makeFont("Arial"), {420, 80});
        const auto a = inkBox(left);
        const auto b = inkBox(right);
        return a && b ? clip.Width() - (b->left() - a->left()) : 0;
    };
    EXPECT_EQ(lineWidth(false), device);
    EXPECT_EQ(lineWidth(true), ideal);
}
