#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"

#include "recording_interaction.h"
#include "temp_dir.h"

#include <QBuffer>
#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

namespace zr::reportlib::render {
namespace {

// Complete pages with a page header (a memo), a data band (a red shape) and a page footer.
QByteArray reportXml(int pageCount, const QByteArray& pageAttributes = {}) {
    QByteArray pages;
    for (int i = 0; i < pageCount; ++i) {
        pages += "<TqdxReportPage LeftMargin=\"10\" RightMargin=\"30\" " + pageAttributes +
                 "><TqdxPageHeader Name=\"Header\" Top=\"0\" Height=\"20\">"
                 "<TqdxMemoView Name=\"Title\" Left=\"0\" Top=\"0\" Width=\"100\" Height=\"20\" "
                 "Text=\"p" +
                 QByteArray::number(i + 1) +
                 "\"/></TqdxPageHeader><TqdxMasterData Name=\"Data\" Top=\"40\" Height=\"40\">"
                 "<TqdxShapeView Name=\"Box\" Left=\"10\" Top=\"0\" Width=\"40\" Height=\"40\" "
                 "Color=\"255\" URL=\"@3\"/><TqdxShapeView Name=\"Over\" Left=\"30\" Top=\"0\" "
                 "Width=\"40\" Height=\"40\" URL=\"#Mark\" Cursor=\"150\"/></TqdxMasterData>"
                 "<TqdxPageFooter Name=\"Footer\" Top=\"200\" Height=\"20\"/></TqdxReportPage>";
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + pages +
           "</previewpages><anchors><item text=\"mark\" page=\"0\" top=\"5\"/>"
           "<item text=\"MARK\" page=\"1\" top=\"7\"/></anchors></preparedreport>";
}

void load(TqdxReport& report, const QByteArray& xml) {
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    report.PreviewPages().LoadFromStream(buffer);
}

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000;
}

TEST(PaintPage, DrawsViewsInsideTheMarginsWithMirroring) {
    TqdxReport report;
    load(report, reportXml(2, "MirrorMargins=\"True\""));
    const QRgb red = qRgb(255, 0, 0);
    for (int index : {0, 1}) {
        QImage image(800, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        PaintPage(report.PreviewPages(), index, p, 1, 1, 0, 0);
        p.end();
        // The box starts 10 px into the data band, which starts at the left margin: 10 mm on
        // the first page, 30 mm (the right margin) on the second.
        const int margin = Round((index == 0 ? 10 : 30) * qd01cm);
        EXPECT_EQ(at(image, margin + 14, 50), red) << index;
        EXPECT_EQ(at(image, margin + 8, 50), qRgb(255, 255, 255)) << index;
    }
    // The margins come back after painting.
    EXPECT_EQ(report.PreviewPages().PageObject(1)->LeftMargin, 10);

    QImage untouched(50, 50, QImage::Format_RGB32);
    untouched.fill(Qt::white);
    QPainter p(&untouched);
    PaintPage(report.PreviewPages(), 7, p, 1, 1, 0, 0);
    p.end();
    EXPECT_EQ(at(untouched, 25, 25), qRgb(255, 255, 255));
}

TEST(ObjectAtPoint, TopmostViewLinksAndCursors) {
    TqdxReport report;
    load(report, reportXml(3));
    TqdxPreviewPages& pages = report.PreviewPages();
    int page = 0;
    int anchorPage = 0;
    int anchorTop = 0;
    QString status;
    PreviewLinks links;
    links.goToPage = [&](int p) { page = p; };
    links.goToAnchor = [&](int p, int top) {
        anchorPage = p;
        anchorTop = top;
    };
    links.setStatus = [&](const QString& s) { status = s; };
    int clicks = 0;
    report.OnClickObject = [&](TqdxView& view, int, int, bool&) {
        EXPECT_EQ(view.Name(), "Over");
        ++clicks;
    };
    const int left = Round(10 * qd01cm);
    int cursor = 0;
    // (left + 35, 50) lies on both boxes: the later one, drawn on top, is the hit.
    ObjectAtPoint(pages, report, 0, left + 35, 50, 1, 0, 1, 0, 0, true, cursor, false, links);
    EXPECT_EQ(cursor, 150);
    EXPECT_EQ(status, QStringLiteral("#Mark"));
    EXPECT_EQ(anchorPage, 2); // the later of the two anchors named alike
    EXPECT_EQ(anchorTop, 7);
    EXPECT_EQ(clicks, 1);

    report.OnClickObject = nullptr;
    cursor = 0;
    ObjectAtPoint(pages, report, 0, left + 15, 50, 1, 0, 1, 0, 0, true, cursor, false, links);
    EXPECT_EQ(cursor, crHandPoint);
    EXPECT_EQ(page, 3);

    // Without a click only the cursor changes; outside the pages nothing happens.
    page = 0;
    ObjectAtPoint(pages, report, 0, left + 15, 50, 1, 0, 1, 0, 0, false, cursor, false, links);
    EXPECT_EQ(page, 0);
    ObjectAtPoint(pages, report, 5, 0, 0, 1, 0, 1, 0, 0, true, cursor, false, links);

    auto* box = qdx_cast<TqdxView>(pages.PageObject(0)->FindObject("Box"));
    box->URL = "@x";
    EXPECT_THROW(
        ObjectAtPoint(pages, report, 0, left + 15, 50, 1, 0, 1, 0, 0, true, cursor, false, links),
        std::invalid_argument);
}

TEST(ObjectAtPoint, OnlySafeAddressesGoToTheDesktop) {
    test::TempDir dir;
    const QString document = dir.write(QStringLiteral("nota.txt"), "x");
    EXPECT_TRUE(IsOpenableLink(QStringLiteral("https://example.com/a?b=1")));
    EXPECT_TRUE(IsOpenableLink(QStringLiteral("mailto:vendas@example.com")));
    EXPECT_TRUE(IsOpenableLink(document));
    EXPECT_TRUE(IsOpenableLink(QUrl::fromLocalFile(document).toString()));
    EXPECT_FALSE(IsOpenableLink(QStringLiteral("/bin/sh")));
    EXPECT_FALSE(IsOpenableLink(QStringLiteral("file:///bin/ls")));
    EXPECT_FALSE(IsOpenableLink(QStringLiteral("javascript:alert(1)")));
    EXPECT_FALSE(IsOpenableLink(QStringLiteral("smb://server/share")));
    EXPECT_FALSE(IsOpenableLink(dir.path(QStringLiteral("missing.txt"))));
}

// Records what an export hands to it.
class RecordingFilter final : public TqdxCustomExportFilter {
public:
    std::vector<QString> calls;
    bool beginResult = true;
    bool dialogResult = true;
    QByteArray failOn;
    QByteArray terminateOn;
    bool ShowModal() override {
        calls.push_back(QStringLiteral("dialog"));
        return dialogResult;
    }
    bool BeginOutput() override {
        calls.push_back(QStringLiteral("begin"));
        return beginResult;
    }
    void BeginPageOutput(TqdxReportPage& page, int index) override {
        calls.push_back(QStringLiteral("page %1").arg(index));
        (void)page;
    }
    void EmitObject(TqdxComponent& object) override {
        calls.push_back(QString::fromLatin1(object.Name()));
        if (object.Name() == failOn) {
            throw std::runtime_error("disk full");
        }
        if (object.Name() == terminateOn && Report) {
            Report->Terminated = true;
        }
    }
    void EndPageOutput(TqdxReportPage& page, int index) override {
        calls.push_back(QStringLiteral("end page %1 left %2").arg(index).arg(Round(page.Left())));
    }
    void EndOutput() override { calls.push_back(QStringLiteral("end")); }
    int count(const QString& call) const {
        return int(std::count(calls.begin(), calls.end(), call));
    }
};

TEST(Export, PagesObjectsAndRanges) {
    TqdxReport report;
    load(report, reportXml(5));
    TqdxPreviewPages& pages = report.PreviewPages();
    EXPECT_FALSE(Export(pages, nullptr));

    RecordingFilter filter;
    filter.Report = &report;
    filter.PageNumbers = QStringLiteral("2");
    EXPECT_TRUE(Export(pages, &filter));
    const std::vector<QString> expected = {QStringLiteral("dialog"),
                                           QStringLiteral("begin"),
                                           QStringLiteral("page 1"),
                                           QStringLiteral("_pagebackground"),
                                           QStringLiteral("Header"),
                                           QStringLiteral("Title"),
                                           QStringLiteral("Data"),
                                           QStringLiteral("Box"),
                                           QStringLiteral("Over"),
                                           QStringLiteral("Footer"),
                                           QStringLiteral("end page 1 left 38"),
                                           QStringLiteral("end")};
    EXPECT_EQ(filter.calls, expected);
    // The memo's macros and page total are resolved for the export.
    EXPECT_TRUE(pages.CachedPages().empty()); // no preview: the cache is emptied per page

    RecordingFilter range;
    range.Report = &report;
    range.ShowDialog = false;
    range.PageNumbers = QStringLiteral("3-");
    range.DataOnly = true;
    Export(pages, &range);
    EXPECT_EQ(range.count(QStringLiteral("Box")), 3);
    EXPECT_EQ(range.count(QStringLiteral("Header")), 0);
    EXPECT_EQ(range.count(QStringLiteral("_pagebackground")), 0);
    EXPECT_EQ(range.calls[1], QStringLiteral("page 2"));

    RecordingFilter current;
    current.Report = &report;
    current.ShowDialog = false;
    current.CurrentPage = true;
    current.SuppressRepeatedHeaders = true;
    Export(pages, &current);
    EXPECT_EQ(current.calls[1], QStringLiteral("page 0"));

    RecordingFilter suppress;
    suppress.Report = &report;
    suppress.ShowDialog = false;
    suppress.SuppressRepeatedHeaders = true;
    suppress.PageNumbers = QStringLiteral("1-3");
    load(report, reportXml(3));
    Export(pages, &suppress);
    EXPECT_EQ(suppress.count(QStringLiteral("Header")), 1);
    EXPECT_EQ(suppress.count(QStringLiteral("Footer")), 1);
    const auto footer =
        std::find(suppress.calls.begin(), suppress.calls.end(), QStringLiteral("Footer"));
    EXPECT_GT(footer -
                  std::find(suppress.calls.begin(), suppress.calls.end(), QStringLiteral("page 2")),
              0);
}

TEST(Export, StopsRefusalsAndErrors) {
    TqdxReport report;
    test::RecordingInteraction ui;
    report.UserInteraction = &ui;
    TqdxPreviewPages& pages = report.PreviewPages();

    RecordingFilter empty;
    empty.Report = &report;
    empty.ShowDialog = false;
    EXPECT_TRUE(Export(pages, &empty));
    EXPECT_EQ(empty.calls, (std::vector<QString>{QStringLiteral("begin"), QStringLiteral("end")}));

    load(report, reportXml(3));
    RecordingFilter refused;
    refused.Report = &report;
    refused.dialogResult = false;
    EXPECT_FALSE(Export(pages, &refused));
    EXPECT_EQ(refused.calls.size(), 1u);

    RecordingFilter notBegun;
    notBegun.Report = &report;
    notBegun.ShowDialog = false;
    notBegun.beginResult = false;
    EXPECT_TRUE(Export(pages, &notBegun));
    EXPECT_EQ(notBegun.calls.size(), 1u);

    RecordingFilter badRange;
    badRange.Report = &report;
    badRange.ShowDialog = false;
    badRange.PageNumbers = QStringLiteral("1-2-3");
    EXPECT_THROW(Export(pages, &badRange), std::invalid_argument);
    EXPECT_TRUE(badRange.calls.empty());

    RecordingFilter stopped;
    stopped.Report = &report;
    stopped.ShowDialog = false;
    stopped.ShowProgress = false;
    stopped.terminateOn = "Data";
    EXPECT_TRUE(Export(pages, &stopped));
    EXPECT_EQ(stopped.calls.back(), QStringLiteral("end"));
    EXPECT_EQ(stopped.calls[stopped.calls.size() - 2], QStringLiteral("end page 0 left 38"));
    EXPECT_EQ(stopped.count(QStringLiteral("Box")), 0);

    report.Errors = {QStringLiteral("older")};
    RecordingFilter failing;
    failing.Report = &report;
    failing.ShowDialog = false;
    failing.ShowProgress = false;
    failing.failOn = "Box";
    EXPECT_FALSE(Export(pages, &failing));
    EXPECT_EQ(failing.calls.back(), QStringLiteral("end"));
    EXPECT_EQ(report.Errors, QStringList{QStringLiteral("disk full")});
    ASSERT_FALSE(ui.texts().empty());
    EXPECT_EQ(ui.texts().back(), QStringLiteral("Ocorreram os seguintes erros:\r\ndisk full"));
}

} // namespace
} // namespace zr::reportlib::render
