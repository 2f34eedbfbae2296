#include "textreport/render/page_renderer.h"

#include "platform/interaction/cancel_request.h"
#include "textreport/gravana.h"
#include "textreport/gvtools.h"

#include "recording_interaction.h"
#include "report_builder.h"
#include "trace_canvas.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPicture>

#include <limits>
#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace zr::textreport;
using zr::PrinterMetrics;
using zr::test::TraceCanvas;

namespace {

QStringList ofKind(const QStringList& calls, const QString& kind) {
    QStringList out;
    for (const QString& c : calls) {
        if (c.startsWith(kind + ' ')) {
            out.append(c);
        }
    }
    return out;
}

// The filled rectangles of one colour.
QStringList fills(const QStringList& calls, const QString& colour) {
    QStringList out;
    for (const QString& c : ofKind(calls, "rect")) {
        if (c.endsWith(" none " + colour)) {
            out.append(c);
        }
    }
    return out;
}

bool dark(const QImage& img, int x, int y) {
    return qGray(img.pixel(x, y)) < 128;
}

int rightmostInk(const QImage& img, int top, int bottom) {
    int right = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < img.width(); ++x) {
            right = dark(img, x, y) ? std::max(right, x) : right;
        }
    }
    return right;
}

PrinterMetrics metrics600(int printableWidth, int printableHeight, int offset = 100) {
    PrinterMetrics m;
    m.dpiX = m.dpiY = 600;
    m.offsetLeft = m.offsetTop = m.offsetRight = m.offsetBottom = offset;
    m.printableWidth = printableWidth;
    m.printableHeight = printableHeight;
    return m;
}

// A system printer whose page is a trace canvas at 600 dpi.
class TracePrinter final : public zr::GraphicPrinter {
public:
    explicit TracePrinter(PrinterMetrics m) : m_metrics(m), m_painter(&m_canvas) {}
    bool beginDocument(const QString&, bool) override { return true; }
    void newPage() override {
        m_canvas.clear();
        ++newPages;
    }
    QPainter& painter() override { return m_painter; }
    PrinterMetrics metrics() const override { return m_metrics; }
    void endDocument() override {}
    QStringList calls() const { return m_canvas.calls(); } // of the current page
    int newPages = 0;

private:
    PrinterMetrics m_metrics;
    TraceCanvas m_canvas{10000, 10000, 600};
    QPainter m_painter;
};

// An open, empty 80 x 66 report at 10 pitch, on a fresh report state.
class PageRendererTest : public ::testing::Test {
protected:
    PageRendererTest() {
        zr::CancelRequest::clear();
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.Abrir();
    }
    ~PageRendererTest() override { zr::CancelRequest::clear(); }

    void add(int page, int line, int column, const QByteArray& text, int attribute = 16,
             char kind = 'T', const QByteArray& colour = "000000") {
        g.store()->add(
            zr::test::ReportBuilder::itemString(page, line, column, text, attribute, kind, colour));
    }
    void find(const QByteArray& text) {
        int start = 0, column = 0, line = 0, page = 0;
        ASSERT_TRUE(g.Procurar(SearchDirection::Down, false, start, column, line, page, text));
    }
    // drawPage straight onto a trace canvas of the given resolution.
    QStringList trace(int page, bool preview, int dpi = 96) {
        TraceCanvas canvas(4000, 4000, dpi);
        QPainter painter(&canvas);
        g.drawPage(page, painter, preview);
        painter.end();
        return canvas.calls();
    }
    // DesenharPagina replayed at its own size.
    QImage image(int page, bool preview) {
        QPicture picture;
        const QSize size = g.DesenharPagina(page, picture, preview);
        QImage out(size, QImage::Format_RGB32);
        out.fill(Qt::magenta);
        QPainter painter(&out);
        drawPagePicture(painter, picture, QRectF(QPointF(0, 0), QSizeF(size)));
        return out;
    }

    zr::textreport::ReportState::ScopedOverride state;
    zr::test::RecordingInteraction ui;
    TGravana g{ui};
};

} // namespace

// ---- Arithmetic.

TEST(PageLayoutArithmetic, SizesPicturesAndRoundsHalvesToEven) {
    EXPECT_EQ(pageGeometry(PageLayout::Print, 80, 66), (PageGeometry{640, 1056, 0, 0}));
    EXPECT_EQ(pageGeometry(PageLayout::Preview, 80, 66), (PageGeometry{670, 1086, 30, 30}));
    EXPECT_EQ(pageGeometry(PageLayout::TractorFeed, 80, 66), (PageGeometry{710, 1056, 70, 0}));
    EXPECT_EQ(pageGeometry(PageLayout::Print, -5, 0), (PageGeometry{0, 0, 0, 0}));

    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(2.5001), 3);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

struct WidthCase {
    int attribute;
    int defaultPitch;
    double factor;
};
class WidthFactorTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(WidthFactorTest, FollowsTheLastPitchOfTheAttributeCodeInTheDefaultPitchRow) {
    const WidthCase c = GetParam();
    EXPECT_DOUBLE_EQ(widthFactor(c.attribute, widthFactorsFor(c.defaultPitch)), c.factor)
        << "attribute " << c.attribute << ", default pitch " << c.defaultPitch;
}

INSTANTIATE_TEST_SUITE_P(
    Pitches, WidthFactorTest,
    ::testing::Values(WidthCase{16, 10, 1.0}, WidthCase{64, 10, 0.584795},
                      WidthCase{32 + 2 + 1, 10, 0.833333}, WidthCase{16, 17, 1.71},
                      WidthCase{24, 10, 2.0}, WidthCase{8, 5, 1.0}, // expanded wins
                      WidthCase{128 + 64, 10, 0.584795},            // the smaller value wins
                      WidthCase{0, 10, 1.0}, WidthCase{7, 12, 1.0}, // no pitch at all
                      WidthCase{256, 10, 1.0}, WidthCase{256 + 64, 10, 0.584795}));

TEST(ItemRectangle, CoversTheItemsShareOfTheLineInEachLayout) {
    // 20 characters at pitch 17 in a 10-pitch report: Nearest(93.56) = 94 units, not 160.
    EXPECT_EQ(itemRectangle(PageLayout::Print, 1, 1, 20, 0.584795), QRect(0, 0, 94, 16));
    EXPECT_EQ(itemRectangle(PageLayout::Print, 3, 5, 5, 2.0), QRect(32, 32, 80, 16));
    // The preview's rectangle is one unit wider and taller than its cells.
    EXPECT_EQ(itemRectangle(PageLayout::Preview, 3, 5, 5, 1.0), QRect(47, 47, 41, 17));
    EXPECT_EQ(itemRectangle(PageLayout::TractorFeed, 3, 5, 5, 1.0), QRect(68, 32, 40, 16));
}

TEST(BoxLetters, ExactlyTheLineCharactersHaveSegmentsInsideTheirCell) {
    EXPECT_EQ(boxCell(PageLayout::Preview, 1, 1, 1), QPoint(15, 15));
    EXPECT_EQ(boxCell(PageLayout::TractorFeed, 1, 1, 1), QPoint(35, 0));
    EXPECT_EQ(boxCell(PageLayout::Print, 2, 3, 4), QPoint(40, 16));
    EXPECT_EQ(boxLetterSegments('=', 15, 15),
              (std::vector<BoxSegment>{{{15, 20}, {23, 20}}, {{15, 23}, {23, 23}}}));

    for (int c = 0; c < 256; ++c) {
        const QByteArray letter(1, char(c));
        const std::vector<BoxSegment> segments = boxLetterSegments(char(c), 100, 200);
        // The letters a character printer gets as line characters, no more, no fewer.
        EXPECT_EQ(!segments.empty(), ConverterBox(letter) != letter) << "letter " << c;
        for (const BoxSegment& s : segments) {
            EXPECT_TRUE(QRect(100, 200, 9, 17).contains(s.from) &&
                        QRect(100, 200, 9, 17).contains(s.to))
                << "letter " << c;
            EXPECT_TRUE((s.from.y() == s.to.y() && s.from.x() < s.to.x()) ||
                        (s.from.x() == s.to.x() && s.from.y() < s.to.y()))
                << "letter " << c;
        }
    }
}

TEST(GraphicPageTarget, ShrinksAPageThatDoesNotFitEvenly) {
    // 10 mm at 600 dpi is 236 pixels, 136 past the 100-pixel unprintable strip: 5032 - 272
    // leaves 4760 pixels for an 80-column 10-pitch page needing 4800. Scale 4800 / 4760.
    EXPECT_EQ(graphicPageTarget(metrics600(5032, 7000), TMargens{}, 80, 66, 10, TLinha::Seis),
              QRect(136, 136, 4760, 6545));
    // Too tall as well: 6600 into 3728 decides.
    EXPECT_EQ(graphicPageTarget(metrics600(4772, 4000), TMargens{}, 80, 66, 10, TLinha::Seis),
              QRect(136, 136, 4800 * 3728 / 6600, 3728));
    // Dividing 1000 by the rounded scale 1000 / 755 gives 754.99..., one pixel short.
    PrinterMetrics m;
    m.dpiX = m.dpiY = 125;
    m.printableWidth = 755;
    m.printableHeight = 100000;
    EXPECT_EQ(graphicPageTarget(m, TMargens{0, 0, 0, 0}, 80, 66, 10, TLinha::Seis),
              QRect(0, 0, 755, 1038));
}

TEST(GraphicPageTarget, KeepsTheNaturalSizeWhenThePageFitsAndNoneWithoutRoom) {
    const PrinterMetrics m = metrics600(6000, 8000);
    EXPECT_EQ(graphicPageTarget(m, TMargens{}, 80, 66, 10, TLinha::Oito),
              QRect(136, 136, 4800, 4950));
    EXPECT_EQ(graphicPageTarget(m, TMargens{}, 132, 66, 17, TLinha::Seis).width(), 4659);
    // 250 dpi * 81 / 20 = 1012.5 and * 83 / 20 = 1037.5: halves go to the even neighbour.
    PrinterMetrics h;
    h.dpiX = h.dpiY = 250;
    h.printableWidth = h.printableHeight = 100000;
    EXPECT_EQ(graphicPageTarget(h, TMargens{0, 0, 0, 0}, 81, 66, 20, TLinha::Seis).width(), 1012);
    EXPECT_EQ(graphicPageTarget(h, TMargens{0, 0, 0, 0}, 83, 66, 20, TLinha::Seis).width(), 1038);
    // Margins inside the unprintable strip (2 mm = 47 pixels < 60), or negative, become 0.
    EXPECT_EQ(graphicPageTarget(metrics600(6000, 8000, 60), TMargens{2, 4, 0, -3}, 80, 66, 10,
                                TLinha::Seis),
              QRect(0, 0, 4800, 6600));
    // Nothing can be drawn: margins wider than the paper, no resolution.
    EXPECT_TRUE(graphicPageTarget(metrics600(4000, 7000), TMargens{100, 100, 10, 10}, 80, 66, 10,
                                  TLinha::Seis)
                    .isEmpty());
    EXPECT_TRUE(
        graphicPageTarget(PrinterMetrics{}, TMargens{}, 80, 66, 10, TLinha::Seis).isEmpty());
}

// ---- Drawing, traced.

TEST_F(PageRendererTest, PrintedPageIsWhiteAndEachTextIsDrawnOnWhiteInItsOwnColour) {
    add(1, 3, 5, "TOTAL", 16, 'T', "0000FF");
    add(1, 1, 1, "27 69", 16, 'C');
    add(2, 1, 1, "OUTRA");
    const QStringList calls = trace(1, false);
    EXPECT_EQ(fills(calls, "#ffffff"),
              (QStringList{"rect 0,0 640x1056 none #ffffff", "rect 32,32 40x16 none #ffffff"}));
    const QStringList texts = ofKind(calls, "text");
    ASSERT_EQ(texts.size(), 1); // neither the control item nor the next page's
    EXPECT_TRUE(texts[0].startsWith("text 32,"));
    EXPECT_TRUE(texts[0].endsWith(" w=40 sy=1 #0000ff px=13 \"TOTAL\"")) << texts[0].toStdString();
}

TEST_F(PageRendererTest, TextIsStretchedToTheShareOfTheLineItsPitchTakes) {
    add(1, 1, 1, QByteArray(20, 'M'), 64); // pitch 17
    add(1, 2, 1, "MMMMM", 24);             // pitch 10 + expanded
    QStringList texts = ofKind(trace(1, false), "text");
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(" w=94 ")) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].contains(" w=80 ")) << texts[1].toStdString();

    // In a 17-pitch report, a 10-pitch item is 1.71 times as wide: Nearest(136.8).
    g.FonteTamanhoPadrao = TSize::S17cpp;
    g.MontarSequencias(g.Impressora, g.TamanhoQteLinhas, g.TamanhoQteLPP);
    g.store()->clear();
    add(1, 1, 1, QByteArray(10, 'M'), 16);
    texts = ofKind(trace(1, false), "text");
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(" w=137 ")) << texts[0].toStdString();
}

TEST_F(PageRendererTest, FontIsTenPointsInPictureUnitsOnEveryDevice) {
    add(1, 1, 1, "ABCDE", 16 + 1 + 2 + 4);
    for (int dpi : {72, 96, 600}) {
        const QStringList texts = ofKind(trace(1, false, dpi), "text");
        ASSERT_EQ(texts.size(), 1);
        EXPECT_TRUE(texts[0].endsWith(" w=40 sy=1 #000000 px=13 bold italic \"ABCDE\""))
            << dpi << ": " << texts[0].toStdString();
    }
    // Recorded, then replayed on a 600-dpi device at the picture's own size.
    QPicture picture;
    g.DesenharPagina(1, picture, false);
    TraceCanvas canvas(4000, 4000, 600);
    QPainter painter(&canvas);
    drawPagePicture(painter, picture, QRectF(0, 0, 640, 1056));
    painter.end();
    const QStringList calls = canvas.calls();
    const QStringList texts = ofKind(calls, "text");
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(" w=40 sy=1 #000000 px=13 ")) << texts[0].toStdString();
    // Underlined from the first cell, below the baseline.
    const QStringList lines = ofKind(calls, "line");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("line 0,1")) << lines[0].toStdString();
}

TEST_F(PageRendererTest, BoxItemDrawsSegmentsInItsColourAndNoText) {
    add(1, 2, 3, "a--b", 16, 'B', "FF0000");
    const QStringList calls = trace(1, false);
    EXPECT_TRUE(ofKind(calls, "text").isEmpty());
    EXPECT_EQ(fills(calls, "#ffffff").size(), 1); // the page only
    EXPECT_EQ(ofKind(calls, "line"), (QStringList{
                                         "line 20,23 24,23 #ff0000",
                                         "line 20,23 20,32 #ff0000",
                                         "line 24,23 32,23 #ff0000",
                                         "line 32,23 40,23 #ff0000",
                                         "line 40,23 44,23 #ff0000",
                                         "line 44,23 44,32 #ff0000",
                                     }));
    EXPECT_EQ(ofKind(trace(1, true), "line").first(), "line 35,38 39,38 #ff0000");
}

TEST_F(PageRendererTest, PreviewDrawsPaperAndFramesAndBecomesTheCurrentPage) {
    g.OpcoesPreview.CorPapelPreview = QColor(0xFF, 0xFF, 0xF0);
    add(2, 1, 1, "AB");
    const QStringList calls = trace(2, true);
    EXPECT_EQ(g.state().paginaAtual, 2);
    ASSERT_GE(calls.size(), 4);
    EXPECT_EQ(calls.mid(0, 3),
              (QStringList{"rect 0,0 670x1086 none #fffff0", "rect 0,0 669x1085 #000000 none",
                           "rect 12,12 644x1060 #c0c0c0:dot none"}));
    const QStringList texts = ofKind(calls, "text");
    ASSERT_EQ(texts.size(), 1); // no background behind preview text
    EXPECT_TRUE(texts[0].startsWith("text 15,")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains(" w=17 sy=1.06 ")) << texts[0].toStdString();

    trace(1, false); // printing leaves the current page alone
    EXPECT_EQ(g.state().paginaAtual, 2);
}

TEST_F(PageRendererTest, TractorFeedDrawsHolesAndDottedMarginLines) {
    g.OpcoesPreview.Remalina = true;
    add(1, 1, 1, "AB");
    const QStringList calls = trace(1, true);
    EXPECT_EQ(ofKind(calls, "rect"), QStringList{"rect 0,0 710x1056 none #ffffff"});
    EXPECT_EQ(ofKind(calls, "line"),
              (QStringList{"line 31,0 31,1056 #c0c0c0:dot", "line 678,0 678,1056 #c0c0c0:dot"}));
    const QStringList holes = ofKind(calls, "ellipse");
    ASSERT_EQ(holes.size(), 2 * 22); // Trunc(66 / 3) pairs
    EXPECT_EQ(holes[0], "ellipse 10,20 10x10 #c0c0c0 #f0f0f0");
    EXPECT_EQ(holes[43], "ellipse 689,1028 10x10 #c0c0c0 #f0f0f0");
    EXPECT_TRUE(ofKind(calls, "text").value(0).startsWith("text 36,"));
}

TEST_F(PageRendererTest, ZebraBandsCoverTheOddLinesUpToTheNextToLast) {
    g.OpcoesPreview.PaginaZebrada = true;
    QStringList bands = fills(trace(1, true), "#e9feec");
    ASSERT_EQ(bands.size(), 33);
    EXPECT_EQ(bands.first(), "rect 15,15 638x16 none #e9feec");
    EXPECT_EQ(bands.last(), "rect 15,1039 638x16 none #e9feec"); // line 65 of 66

    g.TamanhoQteLinhas = 65; // line 65 is then the last, and has no band
    bands = fills(trace(1, true), "#e9feec");
    EXPECT_EQ(bands.size(), 32);

    g.OpcoesPreview.Remalina = true;
    EXPECT_EQ(fills(trace(1, true), "#e9feec").first(), "rect 33,0 643x16 none #e9feec");
    EXPECT_TRUE(fills(trace(1, false), "#e9feec").isEmpty());
}

TEST_F(PageRendererTest, SearchHighlightIsDrawnLastOnYellowInThePreviewOnly) {
    add(1, 3, 5, "TOTAL");
    add(1, 4, 1, "OUTRO");
    find("total");
    const QStringList preview = trace(1, true);
    ASSERT_GE(preview.size(), 2);
    EXPECT_EQ(preview[preview.size() - 2], "rect 47,47 41x17 none #ffff80");
    EXPECT_TRUE(preview.last().endsWith("\"TOTAL\"")) << preview.last().toStdString();
    EXPECT_TRUE(fills(trace(1, false), "#ffff80").isEmpty());
    EXPECT_TRUE(fills(trace(2, true), "#ffff80").isEmpty());
}

TEST_F(PageRendererTest, CancellingWhilePrintingStopsThePageAndRaisesOnCancelOnce) {
    add(1, 1, 1, "A");
    add(1, 2, 1, "B");
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    zr::CancelRequest::set();
    // Neither the preview nor printing without a progress display polls.
    EXPECT_EQ(ofKind(trace(1, true), "text").size(), 2);
    g.MostrarProgresso = false;
    EXPECT_EQ(ofKind(trace(1, false), "text").size(), 2);
    EXPECT_EQ(cancels, 0);

    g.MostrarProgresso = true;
    EXPECT_EQ(trace(1, false), QStringList{"rect 0,0 640x1056 none #ffffff"});
    EXPECT_EQ(cancels, 1);
}

// ---- Drawing, in pixels.

TEST_F(PageRendererTest, BoxTopEdgeJoinsItsTwoCornersPixelForPixel) {
    add(1, 2, 3, "a--b", 16, 'B');
    const QImage img = image(1, false);
    int inked = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            inked += dark(img, x, y) ? 1 : 0;
        }
    }
    // Row 23 from x 20 to 43, legs at x 20 and 44 from row 23 to 31; second points unpainted.
    EXPECT_EQ(inked, 24 + 9 + 9 - 1);
    for (int x = 20; x <= 44; ++x) {
        EXPECT_TRUE(dark(img, x, 23)) << "x " << x;
    }
    for (int y = 23; y <= 31; ++y) {
        EXPECT_TRUE(dark(img, 20, y) && dark(img, 44, y)) << "y " << y;
    }
}

TEST_F(PageRendererTest, PreviewPixelsShowFrameZebraAndHighlight) {
    g.OpcoesPreview.PaginaZebrada = true;
    add(1, 3, 5, "TOTAL");
    find("TOTAL");
    const QImage img = image(1, true);
    const QRgb zebra = qRgb(233, 254, 236), paper = qRgb(255, 255, 255);
    EXPECT_EQ(img.pixel(300, 15), zebra); // line 1: rows 15 to 30
    EXPECT_EQ(img.pixel(300, 30), zebra);
    EXPECT_EQ(img.pixel(300, 31), paper);           // line 2
    EXPECT_EQ(img.pixel(300, 64 * 16 + 23), zebra); // line 65
    EXPECT_EQ(img.pixel(300, 65 * 16 + 23), paper); // line 66
    EXPECT_EQ(img.pixel(0, 500), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(669, 1085), qRgb(0, 0, 0));
    // The highlight covers x 47..87, y 47..63 in yellow.
    EXPECT_EQ(img.pixel(47, 47), qRgb(255, 255, 128));
    EXPECT_EQ(img.pixel(87, 63), qRgb(255, 255, 128));
    EXPECT_NE(img.pixel(88, 55), qRgb(255, 255, 128));
}

TEST_F(PageRendererTest, PageImageIsThePrintedPageAtAScale) {
    add(1, 1, 1, QByteArray(20, 'M'), 64);
    add(1, 3, 1, "MMMMM", 24);
    add(1, 5, 1, "27 69", 16, 'C');
    g.OpcoesPreview.CorPapelPreview = Qt::gray;
    const QImage img = renderPageImage(g, 1, 1.0);
    ASSERT_EQ(img.size(), QSize(640, 1056));
    EXPECT_EQ(img.pixel(600, 1000), qRgb(255, 255, 255));
    // Ink stays inside the items' shares of the line: 94 and 80 units.
    EXPECT_GT(rightmostInk(img, 0, 16), 86);
    EXPECT_LT(rightmostInk(img, 0, 16), 94);
    EXPECT_GT(rightmostInk(img, 32, 48), 72);
    EXPECT_LT(rightmostInk(img, 32, 48), 80);
    EXPECT_EQ(rightmostInk(img, 64, 80), -1); // the control item draws nothing

    EXPECT_EQ(renderPageImage(g, 1, 0.5).size(), QSize(320, 528));
    for (double bad : {0.0, -1.0, 1000.0, 0.0001, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        EXPECT_TRUE(renderPageImage(g, 1, bad).isNull()) << bad;
    }
}

// ---- Graphic printing.

TEST_F(PageRendererTest, GraphicPrintingStretchesThePageOntoTheFittedRectangle) {
    add(1, 1, 1, "ABCDE");
    add(1, 66, 80, "Z");
    TracePrinter printer(metrics600(5032, 7000));
    g.impressoraGrafica = &printer;
    g.ImprimirPaginaGrafica(1);
    const QStringList calls = printer.calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls[0], "path 136,136 4760x6545 none #ffffff"); // pictures replay fills as paths
    const QStringList texts = ofKind(calls, "text");
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].startsWith("text 136,")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains(" w=297.5 ")) << texts[0].toStdString(); // 40 * 4760 / 640
    EXPECT_TRUE(texts[1].startsWith("text 4836.5,"))
        << texts[1].toStdString(); // last cell ends at 4896
    EXPECT_TRUE(texts[1].contains(" w=59.5 ")) << texts[1].toStdString();

    // No room between the margins: nothing drawn. No printer: nothing at all.
    printer.newPage();
    g.Margens = TMargens{300, 300, 10, 10};
    g.ImprimirPaginaGrafica(1);
    EXPECT_TRUE(printer.calls().isEmpty());
    g.impressoraGrafica = nullptr;
    g.ImprimirPaginaGrafica(1);
}

TEST_F(PageRendererTest, PrintJobStartsANewPrinterPageBeforeEveryPageButTheFirst) {
    add(1, 1, 1, "UM");
    add(2, 1, 1, "DOIS");
    add(3, 1, 1, "TRES");
    TracePrinter printer(metrics600(5032, 7000));
    g.impressoraGrafica = &printer;
    g.Impressora = TModelo::Grafico;
    g.Imprimir(QString());
    EXPECT_EQ(printer.newPages, 2);
    const QStringList texts = ofKind(printer.calls(), "text");
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].endsWith("\"TRES\"")) << texts[0].toStdString();
}
