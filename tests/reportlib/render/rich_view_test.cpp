#include "reportlib/render/rtf/rtf_reader.h"
#include "reportlib/render/view_painter.h"

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace zr::reportlib::render {
namespace {

QString text(QByteArrayView rtf) {
    return RtfReader::read(rtf)->toPlainText();
}

// The character format at a position of the plain text.
QTextCharFormat formatAt(const QTextDocument& doc, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(&doc));
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// --- Reading ---------------------------------------------------------------------------------

TEST(RtfReader, ParagraphsLinesAndTabs) {
    EXPECT_EQ(text("{\\rtf1\\ansi Hello\\par World}"), "Hello\nWorld");
    EXPECT_EQ(RtfReader::read("{\\rtf1 a\\tab b\\line c}")->toRawText(),
              QString::fromUtf16(u"a\tb\u2028c"));
    // Line ends in the source are not text; a trailing \par adds no empty paragraph.
    EXPECT_EQ(text("{\\rtf1 one\r\ntwo\\par\r\n}"), "onetwo");
    EXPECT_EQ(text("{\\rtf1 a\\par\\par b}"), "a\n\nb");
    EXPECT_EQ(text("{\\rtf1 \\{x\\}\\\\}"), "{x}\\");
    EXPECT_EQ(text("  \r\n{\\rtf1 x}"), "x");
}

TEST(RtfReader, CharacterFormattingFromTheTables) {
    const auto doc = RtfReader::read(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman Times New "
        "Roman;}}{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "plain \\b bold\\b0  {\\i\\ul it}{\\strike s}\\f1\\fs48 big \\cf1 red\\cf0 "
        "\\highlight2 hi}");
    const QString plain = doc->toPlainText();
    ASSERT_EQ(plain, "plain bold itsbig redhi");
    EXPECT_FALSE(formatAt(*doc, 0).font().bold());
    EXPECT_EQ(formatAt(*doc, 0).fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(formatAt(*doc, 0).property(QTextFormat::FontPixelSize).toInt(), 240);
    EXPECT_TRUE(formatAt(*doc, int(plain.indexOf("bold"))).font().bold());
    EXPECT_TRUE(formatAt(*doc, int(plain.indexOf("it"))).fontItalic());
    EXPECT_TRUE(formatAt(*doc, int(plain.indexOf("it"))).fontUnderline());
    EXPECT_FALSE(formatAt(*doc, int(plain.indexOf("s"))).fontItalic()); // group restored
    EXPECT_TRUE(formatAt(*doc, int(plain.indexOf("sbig"))).fontStrikeOut());
    const QTextCharFormat big = formatAt(*doc, int(plain.indexOf("big")));
    EXPECT_EQ(big.fontFamilies().toStringList(), QStringList{"Times New Roman"});
    EXPECT_EQ(big.property(QTextFormat::FontPixelSize).toInt(), 480); // 24 pt in twips
    EXPECT_EQ(formatAt(*doc, int(plain.indexOf("red"))).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(formatAt(*doc, int(plain.indexOf("hi"))).background().color(), QColor(Qt::blue));
    EXPECT_FALSE(
        formatAt(*doc, int(plain.indexOf("hi"))).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReader, ParagraphFormatting) {
    const auto doc = RtfReader::read("{\\rtf1\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240 "
                                     "centred\\par\\pard\\qr right\\par\\qj\\tx1440\\tqr\\tx2880 "
                                     "justified}");
    QTextBlock block = doc->begin();
    EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(block.blockFormat().leftMargin(), 720);
    EXPECT_EQ(block.blockFormat().rightMargin(), 360);
    EXPECT_EQ(block.blockFormat().textIndent(), -360);
    EXPECT_EQ(block.blockFormat().topMargin(), 120);
    EXPECT_EQ(block.blockFormat().bottomMargin(), 240);
    block = block.next();
    EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(block.blockFormat().leftMargin(), 0); // \pard reset the indents
    block = block.next();
    EXPECT_EQ(block.text(), "justified");
    EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    const QList<QTextOption::Tab> tabs = block.blockFormat().tabPositions();
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_EQ(tabs[0].position, 1440);
    EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
}

TEST(RtfReader, EightBitEscapesInTheFontsCodePage) {
    EXPECT_EQ(text("{\\rtf1\\ansi caf\\'e9 \\'80}"), QString::fromUtf16(u"café €"));
    // Cyrillic through the font's character set, and through the document's code page.
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'c0\\'e1}"),
              QString::fromUtf16(u"Аб"));
    EXPECT_EQ(text("{\\rtf1\\ansi\\ansicpg1251 \\'c0}"), QString::fromUtf16(u"А"));
    // A double-byte character set: two escapes make one character.
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 \\'82\\'a0}"),
              QString::fromUtf16(u"あ"));
    // Broken escapes are dropped.
    EXPECT_EQ(text("{\\rtf1 a\\'zzb\\'"), "azzb");
}

TEST(RtfReader, UnicodeEscapesAndTheirFallbacks) {
    EXPECT_EQ(text("{\\rtf1 \\u8364\\'80 x}"), QString::fromUtf16(u"€ x"));
    EXPECT_EQ(text("{\\rtf1 \\u8364?x}"), QString::fromUtf16(u"€x"));
    // Characters above U+7FFF come as negative numbers.
    EXPECT_EQ(text("{\\rtf1 \\u-3913?}"), QString(QChar(char16_t(0xF0B7))));
    EXPECT_EQ(text("{\\rtf1 \\u-32768?}"), QString(QChar(char16_t(0x8000))));
    // \uc sets how many fallback characters follow; the count stops at a group's end.
    EXPECT_EQ(text("{\\rtf1\\uc2 \\u8364ab c}"), QString::fromUtf16(u"€ c"));
    EXPECT_EQ(text("{\\rtf1\\uc0 \\u8364 ab}"), QString::fromUtf16(u"€ab"));
    EXPECT_EQ(text("{\\rtf1 {\\u8364}x}"), QString::fromUtf16(u"€x"));
    // Surrogate pairs join; lone halves become replacement characters.
    EXPECT_EQ(text("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUtf16(u"\U0001F600"));
    EXPECT_EQ(text("{\\rtf1 \\u-10179?x}"), QString::fromUtf16(u"\uFFFDx"));
    EXPECT_EQ(text("{\\rtf1 \\u-99999?}"), QString::fromUtf16(u"\uFFFD"));
}

TEST(RtfReader, SkipsDestinationsAndUnknownWords) {
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                   "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}A{\\*\\generator W;}"
                   "{\\*\\unknowndest hidden}B\\zzz C\\foo-12 D}"),
              "ABCD");
    // Binary data may hold braces; hex picture data is never text.
    EXPECT_EQ(text("{\\rtf1 X{\\pict\\bin4 {}{}}{\\pict\\pngblip 89504e47}Y}"), "XY");
    // A field shows its result, not its instruction; hidden text is dropped.
    EXPECT_EQ(text("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} "
                   "{\\v secret}shown}"),
              "link shown");
}

TEST(RtfReader, DamagedInput) {
    // Truncated: what was read is kept.
    EXPECT_EQ(text("{\\rtf1 A{\\b B"), "AB");
    EXPECT_EQ(text("{\\rtf1 A\\"), "A");
    EXPECT_EQ(text("{\\rtf1 A\\u"), "A");
    // Text after the outermost group is not part of the document.
    EXPECT_EQ(text("{\\rtf1 A}}}B{C"), "A");
    // Huge parameters are clamped.
    const auto doc = RtfReader::read("{\\rtf1\\fs99999999999 x\\li-99999999999 y}");
    EXPECT_EQ(formatAt(*doc, 0).property(QTextFormat::FontPixelSize).toInt(), 32760);
    // A tiny document is still a valid document.
    EXPECT_EQ(text("{\\rtf1}"), "");
    EXPECT_EQ(text(""), "");
}

TEST(RtfReader, DeepNestingIsBounded) {
    QByteArray rtf = "{\\rtf1 start";
    rtf += QByteArray(200000, '{');
    rtf += "\\b deep";
    rtf += QByteArray(200000, '}');
    rtf += " end}";
    const auto doc = RtfReader::read(rtf);
    EXPECT_EQ(doc->toPlainText(), "startdeep end");
    EXPECT_FALSE(formatAt(*doc, 0).font().bold());
    EXPECT_TRUE(formatAt(*doc, 6).font().bold());
}

TEST(RtfReader, PlainTextIsTakenAsLines) {
    const auto doc = RtfReader::read("first\r\nsecond\rthird caf\xe9");
    EXPECT_EQ(doc->toPlainText(), QString::fromUtf16(u"first\nsecond\nthird café"));
    EXPECT_EQ(doc->blockCount(), 3);
}

// --- Drawing ---------------------------------------------------------------------------------

const QRgb kWhite = qRgb(255, 255, 255);

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000;
}

template <class Pred> int count(const QImage& image, QRect r, Pred pred) {
    int n = 0;
    r = r.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += pred(at(image, x, y)) ? 1 : 0;
        }
    }
    return n;
}

bool isRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
bool isDark(QRgb c) {
    return qGray(c) < 100;
}
bool notWhite(QRgb c) {
    return c != kWhite;
}

const QByteArray kRedText = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                            "{\\colortbl ;\\red255\\green0\\blue0;}\\f0\\fs40\\cf1 HHHH}";

QImage drawRich(TqdxRichView& view, int width, int height, double scale = 1) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    DrawView(p, view, scale, scale, 0, 0);
    return image;
}

TEST(RichView, ColouredTextInsideTheTextRectangleOnly) {
    TqdxRichView view;
    view.SetBounds(20, 20, 200, 60);
    view.RichText = kRedText;
    const QImage image = drawRich(view, 300, 120);
    const int red = count(image, QRect(22, 21, 196, 58), isRed);
    EXPECT_GT(red, 100);
    // 20 points is about 27 pixels: the capitals start near the top left of the text
    // rectangle (GapX 2, GapY 1) and stay on the first line.
    EXPECT_GT(count(image, QRect(22, 21, 40, 30), isRed), 20);
    EXPECT_EQ(count(image, QRect(20, 55, 200, 25), notWhite), 0);
    EXPECT_EQ(count(image, QRect(0, 0, 300, 20), notWhite), 0);
    EXPECT_EQ(count(image, QRect(0, 0, 22, 120), notWhite), 0);
    EXPECT_EQ(count(image, QRect(220, 0, 80, 120), notWhite), 0);
}

TEST(RichView, TextIsClippedToTheView) {
    TqdxRichView view;
    view.SetBounds(10, 10, 60, 30);
    view.RichText = "{\\rtf1\\fs40 HHHHHHHH HHHHHHHH\\par HHHH\\par HHHH\\par HHHH}";
    view.Frame.Typ = 0;
    const QImage image = drawRich(view, 120, 120);
    EXPECT_GT(count(image, QRect(12, 11, 56, 28), isDark), 50);
    EXPECT_EQ(count(image, QRect(0, 40, 120, 80), notWhite), 0);
    EXPECT_EQ(count(image, QRect(70, 0, 50, 120), notWhite), 0);
}

TEST(RichView, BoldTextIsHeavier) {
    TqdxRichView view;
    view.SetBounds(0, 0, 300, 60);
    view.RichText = "{\\rtf1\\fs48 HHHHHH}";
    const int regular = count(drawRich(view, 300, 60), QRect(0, 0, 300, 60), isDark);
    view.RichText = "{\\rtf1\\fs48\\b HHHHHH}";
    const int bold = count(drawRich(view, 300, 60), QRect(0, 0, 300, 60), isDark);
    EXPECT_GT(regular, 100);
    EXPECT_GT(bold, regular * 5 / 4);
}

TEST(RichView, ScalesWithTheDeviceRectangle) {
    TqdxRichView view;
    view.SetBounds(10, 10, 100, 40);
    view.RichText = kRedText;
    const QImage image = drawRich(view, 300, 150, 2.5); // (25, 25) to (275, 125)
    EXPECT_GT(count(image, QRect(30, 27, 240, 96), isRed), 500);
    EXPECT_EQ(count(image, QRect(0, 0, 300, 25), notWhite), 0);
    EXPECT_EQ(count(image, QRect(0, 125, 300, 25), notWhite), 0);
}

TEST(RichView, GapsMoveTheText) {
    TqdxRichView view;
    view.SetBounds(0, 0, 200, 60);
    view.GapX = 60;
    view.RichText = kRedText;
    const QImage image = drawRich(view, 200, 60);
    EXPECT_EQ(count(image, QRect(0, 0, 60, 60), isRed), 0);
    EXPECT_GT(count(image, QRect(60, 0, 80, 60), isRed), 50);
}

TEST(RichView, BackgroundAndFrameWithoutText) {
    TqdxRichView view;
    view.SetBounds(10, 10, 50, 30);
    view.Color = 0x00FF00;
    view.Frame.Typ = ftLeft;
    for (const QByteArray& rtf :
         {QByteArray(), QByteArray("{\\rtf1"), QByteArray("{\\rtf1{{\\b}")}) {
        view.RichText = rtf;
        const QImage image = drawRich(view, 80, 60);
        EXPECT_EQ(at(image, 30, 20), qRgb(0, 255, 0));
        EXPECT_EQ(at(image, 10, 20), qRgb(0, 0, 0));
    }
}

} // namespace
} // namespace zr::reportlib::render
