#include "reportlib/preview/qdx_preview.h"
#include "reportlib/preview/qdx_preview_workspace.h"

#include "qp3_generator.h"
#include "recording_interaction.h"

#include <QApplication>
#include <QBuffer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QFrame>
#include <QStyle>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace zr::reportlib::preview {
namespace {

// A4 pages; every page has a title memo "Página n". Extra views go to the page whose number
// is the key (1-based).
QByteArray reportXml(int pageCount, const std::map<int, QByteArray>& extra = {},
                     const QByteArray& pageAttributes = {}) {
    QByteArray pages;
    for (int i = 1; i <= pageCount; ++i) {
        const auto it = extra.find(i);
        pages += "<TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\" " +
                 pageAttributes +
                 "><TqdxPageHeader Name=\"Header\" Top=\"0\" Height=\"300\">"
                 "<TqdxMemoView Name=\"Title\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
                 "Text=\"Pagina " +
                 QByteArray::number(i) + "\"/>" + (it != extra.end() ? it->second : "") +
                 "</TqdxPageHeader></TqdxReportPage>";
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + pages +
           "</previewpages><anchors><item text=\"Mark\" page=\"2\" top=\"40\"/></anchors>"
           "<outline><item text=\"Dois\" page=\"1\" top=\"100\"/></outline></preparedreport>";
}

QByteArray memo(const char* name, int top, const char* text, const char* url = "") {
    return QByteArray("<TqdxMemoView Name=\"") + name + "\" Left=\"0\" Top=\"" +
           QByteArray::number(top) + "\" Width=\"300\" Height=\"20\" Text=\"" + text +
           "\" URL=\"" + url + "\"/>";
}

void load(TqdxReport& report, const QByteArray& xml) {
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    report.PreviewPages().LoadFromStream(buffer);
}

int scrollBarWidth() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

// A preview 1000 pixels wide (its main workspace, without outline), shown offscreen.
struct Fixture {
    TqdxReport report;
    test::RecordingInteraction interaction;
    TqdxPreview preview;
    explicit Fixture(const QByteArray& xml) {
        report.UserInteraction = &interaction;
        load(report, xml);
        preview.resize(1000, 700);
        preview.SetReport(&report);
        preview.show();
        preview.Init();
        QApplication::processEvents();
    }
    TqdxPreviewWorkspace& w() { return *preview.Workspace(); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&w(), &event);
    }
};

TEST(PageList, RowsCentredTenPixelsApart) {
    // Three A4 pages at zoom 1 in a workspace 1000 pixels wide: one page a row.
    TqdxPreviewWorkspace workspace;
    workspace.resize(1000, 600);
    workspace.show();
    const int width = 1000 - scrollBarWidth() - 26;
    EXPECT_EQ(workspace.LayoutWidth(), width);
    TqdxPageList& list = workspace.PageList;
    for (int i = 0; i < 3; ++i) {
        list.AddPage(QSize(794, 1123), 1.0);
    }
    list.CalcBounds(width);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.Items(i).Left, (width - 804 + 10) / 2 + 10);
    }
    EXPECT_EQ(list.Items(0).Top, 10);
    EXPECT_EQ(list.Items(1).Top, 1143);
    EXPECT_EQ(list.Items(2).Top, 2276);
    EXPECT_EQ(list.VertExtent(), 3409);
    EXPECT_EQ(list.HorzExtent(), 814);

    // At 0.3 the three fit in one centred row.
    list.Clear();
    for (int i = 0; i < 3; ++i) {
        list.AddPage(QSize(794, 1123), 0.3);
    }
    list.CalcBounds(width);
    EXPECT_EQ(list.Items(0).Width, 238);
    EXPECT_EQ(list.Items(0).Height, 337);
    const int d = (width - 3 * 248 + 10) / 2 + 10;
    EXPECT_EQ(list.Items(0).Left, d);
    EXPECT_EQ(list.Items(1).Left, d + 248);
    EXPECT_EQ(list.Items(2).Left, d + 496);
    EXPECT_EQ(list.Items(2).Top, 10);

    // A page wider than the layout still gets a row, 10 pixels from the left; none: ranges 10.
    list.Clear();
    list.AddPage(QSize(5000, 100), 1.0);
    list.CalcBounds(width);
    EXPECT_EQ(list.Items(0).Left, 10);
    list.Clear();
    list.CalcBounds(width);
    EXPECT_EQ(list.HorzExtent(), 10);
    EXPECT_EQ(list.VertExtent(), 10);
}

TEST(PageList, FindPageToleranceAndPointTest) {
    TqdxPreviewWorkspace workspace;
    workspace.resize(1000, 600);
    workspace.show();
    EXPECT_EQ(workspace.FindPage(100), -1);
    for (int i = 0; i < 3; ++i) {
        workspace.PageList.AddPage(QSize(794, 1123), 1.0);
    }
    workspace.CalcPageBounds();
    // Page 2 starts at 1143; it counts from a fifth of its height (225) above.
    EXPECT_EQ(workspace.FindPage(1143 - 226), 0);
    EXPECT_EQ(workspace.FindPage(1143 - 225), 1);
    EXPECT_EQ(workspace.FindPage(5000), 2);
    // With x the point must lie on a page; between pages the candidate is kept.
    const QRect second = workspace.GetPageBounds(1);
    EXPECT_EQ(workspace.FindPage(second.top() + 5, second.left() + 5), 1);
    EXPECT_EQ(workspace.FindPage(second.top() - 5, second.left() + 5), 0);
    // Outside the list: an A4-sized default rectangle.
    EXPECT_EQ(workspace.GetPageBounds(7, 1000), QRect(103, 10, 794, 1123));
    EXPECT_EQ(workspace.GetPageBounds(-1, 500).left(), 10);
}

TEST(Preview, ZoomLimitsWheelAndModes) {
    Fixture f(reportXml(3));
    f.preview.SetZoomMode(zmPageWidth);
    EXPECT_NE(f.preview.Zoom(), 1.0);
    f.preview.SetZoom(0.1);
    EXPECT_DOUBLE_EQ(f.preview.Zoom(), 0.25);
    EXPECT_EQ(f.preview.ZoomMode(), zmDefault);
    EXPECT_DOUBLE_EQ(f.w().Zoom(), 0.25);
    // Ctrl+wheel towards the user below 0.3 gives 0.3; away adds 0.1.
    QWheelEvent towards(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.w().viewport(), &towards);
    EXPECT_DOUBLE_EQ(f.preview.Zoom(), 0.3);
    f.preview.WheelScroll(120, false, true);
    EXPECT_NEAR(f.preview.Zoom(), 0.4, 1e-9);
    f.preview.WheelScroll(0, false, true);
    EXPECT_NEAR(f.preview.Zoom(), 0.4, 1e-9);
    f.preview.SetZoom(std::nan(""));
    EXPECT_NEAR(f.preview.Zoom(), 0.4, 1e-9);
    // The plain wheel scrolls the desktop's wheel lines of 20 pixels, against the turn.
    f.preview.SetZoom(1.0);
    f.preview.WheelScroll(-120, false, false);
    EXPECT_EQ(f.w().VertPosition(), 20 * QApplication::wheelScrollLines());
    // Whole page: the page fits the view's height.
    f.preview.SetZoomMode(zmWholePage);
    EXPECT_LE(f.w().PageList.Items(0).Height, f.w().height() - 25);
}

TEST(Preview, KeyboardPagesAndPositions) {
    Fixture f(reportXml(3));
    EXPECT_EQ(f.preview.PageNo(), 1);
    f.key(Qt::Key_PageDown);
    EXPECT_EQ(f.w().VertPosition(), 300);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.w().VertPosition(), 308);
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.w().VertPosition(), 300);
    f.key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.preview.PageNo(), 2);
    EXPECT_EQ(f.w().VertPosition(), 1143 - 10);
    f.key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.preview.PageNo(), 3);
    // On the last page it stays (the scroll is clamped, the page is kept).
    f.key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.preview.PageNo(), 3);
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.preview.PageNo(), 1);
    EXPECT_EQ(f.w().VertPosition(), 0);
    f.key(Qt::Key_End);
    EXPECT_EQ(f.preview.PageNo(), 3);
    // Scrolling makes the page at the view's top current, with the fifth-of-height tolerance.
    f.w().SetVertPosition(1143 - 225);
    EXPECT_EQ(f.preview.PageNo(), 2);
    f.w().SetVertPosition(1143 - 226);
    EXPECT_EQ(f.preview.PageNo(), 1);
    // Out of range pages are clamped.
    f.preview.SetPageNo(99);
    EXPECT_EQ(f.preview.PageNo(), 3);
    f.preview.SetPageNo(-5);
    EXPECT_EQ(f.preview.PageNo(), 1);
    f.preview.SetPosition(42, 0);
    EXPECT_EQ(f.preview.PageNo(), 3);
}

TEST(Preview, OutlinePositionAndAnchorLink) {
    // Page 2 has a 10 mm top margin; the outline item points at its position 100.
    Fixture f(reportXml(3, {{1, memo("Link", 40, "Ir", "#mark")}}));
    QTreeWidget* tree = f.preview.OutlineTree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Dois"));
    // The design of page 2 is the same as the others: give it its margin through a reload.
    load(f.report, reportXml(3, {{1, memo("Link", 40, "Ir", "#mark")}}, "TopMargin=\"10\""));
    f.preview.Init();
    f.preview.SetZoom(0.5);
    const int pageTop = f.w().GetPageBounds(1).top();
    emit tree->itemClicked(tree->topLevelItem(0), 0);
    EXPECT_EQ(f.w().VertPosition(), pageTop + int(std::lround((37.7953 + 100) * 0.5)) - 10);

    // A click on the anchor link on page 1 goes to the anchor's page (3) at its top.
    f.preview.SetZoom(1.0);
    f.preview.First();
    const QRect page1 = f.w().GetPageBounds(0);
    const QPoint at(page1.left() + 38 + 10, page1.top() + 38 + 50);
    QMouseEvent press(QEvent::MouseButtonPress, at, f.w().viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, f.w().viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(f.w().viewport(), &press);
    QApplication::sendEvent(f.w().viewport(), &release);
    const int expected =
        f.w().GetPageBounds(2).top() + int(std::lround(37.7953 + 40)) - 10;
    EXPECT_EQ(f.w().VertPosition(), std::min(expected, f.w().VertRange() - f.w().VertPage()));
}

TEST(Preview, SearchOrderAcrossPagesAndF3) {
    Fixture f(reportXml(5, {{3, memo("A", 100, "primeiro alvo") + memo("B", 200, "outro ALVO")},
                            {4, memo("C", 150, "alvo final")}}));
    EXPECT_FALSE(f.preview.FindNext()); // nothing before a Find
    ASSERT_TRUE(f.preview.Find(QStringLiteral("Alvo"), false, true));
    EXPECT_EQ(f.w().FindPage(), 2);
    const QRect first = SearchState().LastFoundRect;
    const int firstIndex = SearchState().LastFoundIndex;
    EXPECT_FALSE(f.w().HitRect().isEmpty());
    f.key(Qt::Key_F3);
    EXPECT_EQ(f.w().FindPage(), 2);
    EXPECT_GT(SearchState().LastFoundIndex, firstIndex);
    EXPECT_GT(SearchState().LastFoundRect.top(), first.top());
    f.key(Qt::Key_F3);
    EXPECT_EQ(f.w().FindPage(), 3);
    // The hit was scrolled into view.
    const QRect hit = f.w().HitRect();
    EXPECT_GE(hit.top(), 0);
    EXPECT_LE(hit.bottom(), f.w().viewport()->height());
    // No more: "Text not found" once, and again for F3 until a new Find.
    EXPECT_FALSE(f.preview.FindNext());
    EXPECT_FALSE(f.preview.FindNext());
    ASSERT_EQ(f.interaction.messages.size(), 2u);
    EXPECT_EQ(f.interaction.messages[0].text, QStringLiteral("Text not found"));
    // Case sensitive: "ALVO" only on page 3's second memo.
    ASSERT_TRUE(f.preview.Find(QStringLiteral("ALVO"), true, true));
    EXPECT_EQ(f.w().FindPage(), 2);
    EXPECT_FALSE(f.preview.FindNext());
    // An empty text finds nothing and harms nothing.
    EXPECT_FALSE(f.preview.Find(QString(), false, true));
}

TEST(Preview, ThumbnailClickGoesToItsPage) {
    Fixture f(reportXml(6));
    f.preview.SetThumbnailVisible(true);
    QApplication::processEvents();
    TqdxPreviewWorkspace& strip = *f.preview.Thumbnails();
    ASSERT_TRUE(strip.isVisible());
    ASSERT_EQ(strip.PageList.Count(), 6);
    const int stripPosition = strip.VertPosition();
    const QRect fourth = strip.GetPageBounds(3).translated(0, -stripPosition);
    const QPoint at = fourth.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, strip.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, strip.viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(strip.viewport(), &press);
    QApplication::sendEvent(strip.viewport(), &release);
    EXPECT_EQ(f.preview.PageNo(), 4);
    EXPECT_EQ(f.w().VertPosition(), f.w().GetPageBounds(3).top() - 10);
    EXPECT_EQ(strip.VertPosition(), stripPosition);
    // Only the visible thumbnails were painted.
    strip.grab();
    EXPECT_LE(strip.TilesPainted(), 6);
}

TEST(Preview, PageThatCannotBeBuiltLeavesTheOthers) {
    // The second page is stored against a design page and names a class nobody registered.
    QByteArray xml = reportXml(3);
    const qsizetype second = xml.indexOf("<TqdxReportPage", 60);
    const qsizetype third = xml.indexOf("<TqdxReportPage", second + 10);
    xml.replace(second, third - second, "<page0><TqdxWhatever/></page0>");
    xml.replace("<anchors>", "<sourcepages><TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" "
                             "PaperHeight=\"297\"/></sourcepages><anchors>");
    Fixture f(xml);
    ASSERT_EQ(f.preview.PageCount(), 3);
    f.preview.SetZoom(0.3); // all three in view
    f.w().grab();
    QApplication::processEvents();
    f.w().grab();
    QApplication::processEvents();
    EXPECT_EQ(f.w().Failures()->Pages, std::set<int>{1});
    EXPECT_EQ(f.interaction.messages.size(), 1u);
    EXPECT_GE(f.w().TilesPainted(), 2);
    // Searching passes over it.
    EXPECT_TRUE(f.preview.Find(QStringLiteral("Pagina 3"), false, true));
    EXPECT_EQ(f.interaction.messages.size(), 1u);
}

TEST(Preview, LargeReportBuildsOnlyVisiblePages) {
    TqdxReport report;
    tools::Qp3GeneratorOptions options;
    options.pages = 10000;
    tools::BuildPreparedReport(report, options);
    TqdxPreview preview;
    preview.resize(1000, 700);
    preview.SetReport(&report);
    report.PreviewOptions.ThumbnailVisible = true;
    preview.show();
    preview.Init();
    preview.grab();
    EXPECT_EQ(preview.Workspace()->PageList.Count(), 10000);
    // Only the page in view is painted (as one picture at this zoom).
    EXPECT_LE(preview.Workspace()->TilesPainted(), 2);
    EXPECT_LE(preview.Thumbnails()->TilesPainted(), 12);
    EXPECT_LE(report.PreviewPages().CachedPages().size(), 60u);
    // The image cache keeps to its bound whatever is scrolled through.
    preview.Workspace()->SetCacheLimit(std::size_t(8) << 20);
    for (int i = 0; i < 40; ++i) {
        preview.Workspace()->SetVertPosition(i * 1200);
        preview.Workspace()->grab();
    }
    EXPECT_LE(preview.Workspace()->CacheBytes(), std::size_t(8) << 20);
    preview.Last();
    EXPECT_EQ(preview.PageNo(), 10000);
}

TEST(Preview, PageSettingsGoToOnePageOrToEveryPage) {
    Fixture f(reportXml(3));
    auto landscape = [](bool all) {
        return [all](TqdxReportPage& page, bool& applyToAll) {
            page.SetOrientation(poLandscape);
            page.TopMargin = 25;
            applyToAll = all;
            return true;
        };
    };
    TqdxPreviewPages& pages = f.report.PreviewPages();
    const QSize portrait = pages.PageExtent(0);
    ASSERT_GT(portrait.height(), portrait.width());

    f.preview.SetPageNo(2);
    f.preview.PageSettingsDialog = landscape(false);
    f.preview.EditPageSettings();
    EXPECT_EQ(pages.PageExtent(0), portrait);
    EXPECT_EQ(pages.PageExtent(1), portrait.transposed());
    EXPECT_EQ(pages.PageExtent(2), portrait);

    // A report read from a file has no engine to build it again: every page takes them.
    f.preview.SetPageNo(1);
    f.preview.PageSettingsDialog = landscape(true);
    f.preview.EditPageSettings();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages.PageExtent(i), portrait.transposed()) << i;
        EXPECT_EQ(pages.PageObject(i)->TopMargin, 25) << i;
    }
    EXPECT_FALSE(f.preview.Locked());

    // Cancelled: nothing is replaced.
    f.preview.PageSettingsDialog = [](TqdxReportPage&, bool& applyToAll) {
        applyToAll = true;
        return false;
    };
    const int before = pages.Document().Root().Count();
    f.preview.EditPageSettings();
    EXPECT_EQ(pages.Document().Root().Count(), before);
    EXPECT_EQ(pages.PageExtent(1), portrait.transposed());
}

TEST(Preview, NoticeLockAndFiles) {
    Fixture f(reportXml(2));
    f.preview.Edit();
    f.preview.ShowNotice(QStringLiteral("x"));
    EXPECT_TRUE(f.preview.NoticePanel()->isVisible());
    EXPECT_EQ(f.preview.NoticePanel()->geometry(), QRect((1000 - 260) / 2, (700 - 75) / 3, 260, 75));
    f.preview.Lock();
    EXPECT_TRUE(f.w().Locked());
    f.preview.Unlock();
    EXPECT_FALSE(f.preview.NoticePanel()->isVisible());
    EXPECT_FALSE(f.w().Locked());
    // A load that fails leaves the control unlocked.
    EXPECT_THROW(f.preview.LoadFromFile(QStringLiteral("/")), std::exception);
    EXPECT_FALSE(f.w().Locked());
    f.preview.Cancel();
    EXPECT_TRUE(f.report.Terminated);
    f.preview.Clear();
    EXPECT_EQ(f.preview.PageCount(), 0);
    EXPECT_EQ(f.preview.PageNo(), 0);
    f.preview.Next();
    f.w().grab();
}

} // namespace
} // namespace zr::reportlib::preview
