#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_xml_serializer.h"

#include "recording_interaction.h"
#include "temp_dir.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

namespace zr::reportlib {
namespace {

using test::RecordingInteraction;
using test::TempDir;

const QByteArray kPng1("\x89PNG\r\n\x1a\n-first-", 15);
const QByteArray kPng2("\x89PNG\r\n\x1a\n-second-", 16);

// A design page with a page header and a data band, built into three prepared pages the way
// the report engine does it, with an outline, anchors, logical page numbers and two pictures.
struct BuiltReport {
    TqdxReport report;
    TqdxReportPage design;
    TqdxMemoView* title = nullptr;
    TqdxMemoView* cell = nullptr;
    TqdxPictureView* logo = nullptr;

    BuiltReport() {
        report.ReportOptions.Name = "Vendas \xe0 vista";
        design.SetName("Page1");
        design.LeftMargin = design.TopMargin = 10;
        auto* header = TqdxComponent::Create<TqdxPageHeader>(&design);
        header->SetName("PageHeader1");
        header->SetBounds(0, 0, 700, 40);
        title = TqdxComponent::Create<TqdxMemoView>(header);
        title->SetName("Memo1");
        title->SetBounds(0, 0, 300, 20);
        title->Frame.Typ = 15;
        logo = TqdxComponent::Create<TqdxPictureView>(header);
        logo->SetName("Picture1");
        logo->SetBounds(600, 0, 40, 40);
        auto* data = TqdxComponent::Create<TqdxMasterData>(&design);
        data->SetName("MasterData1");
        data->SetBounds(0, 60, 700, 20);
        cell = TqdxComponent::Create<TqdxMemoView>(data);
        cell->SetName("Memo2");
        cell->SetBounds(0, 0, 200, 18);

        TqdxPreviewPages& pages = report.PreviewPages();
        pages.RegisterSourcePage(design);
        for (int p = 0; p < 3; ++p) {
            pages.BeginNewPage(&design);
            title->SetText(QStringLiteral("Página %1 — título").arg(p + 1));
            if (p < 2) {
                logo->LoadPictureFromBytes(p == 0 ? kPng1 : kPng2);
            }
            pages.AddObject(*header);
            for (int row = 0; row < 4; ++row) {
                data->SetTop(60 + row * 20);
                cell->SetText(QStringLiteral("linha %1").arg(row));
                pages.AddObject(*data);
            }
            pages.Outline().LevelRoot();
            pages.Outline().AddItem("Parte " + QByteArray::number(p + 1), 60);
            pages.CurrentY = 80.4;
            pages.AddAnchor("ancora" + QByteArray::number(p));
        }
        pages.CloseLogicalReport();
    }
};

QByteArray saved(TqdxPreviewPages& pages) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(pages.SaveToStream(buffer));
    return buffer.data();
}

void load(TqdxPreviewPages& pages, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    pages.LoadFromStream(buffer);
}

TEST(PreviewPages, EmptyStore) {
    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    EXPECT_EQ(pages.Count(), 0);
    EXPECT_EQ(pages.PageObject(0), nullptr);
    EXPECT_EQ(pages.PageExtent(0), QSize(0, 0));
    EXPECT_EQ(pages.CursorPage(), -1);
}

TEST(PreviewPages, BuildingWritesAliasesDifferencesAndPictures) {
    SetDecimalSeparator('.');
    BuiltReport built;
    TqdxPreviewPages& pages = built.report.PreviewPages();
    EXPECT_EQ(pages.Count(), 3);
    const QByteArray bytes = saved(pages);
    // Bands are b1, b2; memos m1, m2; the picture p1.
    EXPECT_TRUE(bytes.contains("<b1 name=\"Page0.PageHeader1\"/>")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("<m2 name=\"Page0.Memo2\"/>"));
    EXPECT_TRUE(bytes.contains("<p1 name=\"Page0.Picture1\"/>"));
    EXPECT_TRUE(bytes.contains("<previewpages><page0><b1 t=\"0\"><m1 u=\"P\xc3\xa1gina 1"));
    EXPECT_TRUE(bytes.contains("<page0 ld=\"0\">")); // the third page may leave memory
    EXPECT_TRUE(bytes.contains("<b2 t=\"80\"><m2 u=\"linha 1\"/></b2>"));
    EXPECT_TRUE(bytes.contains("<item stream=\"" + kPng2.toHex().toUpper() + "\"/>"));
    EXPECT_TRUE(bytes.contains("<report><TqdxReport DotMatrixReport=\"0\" "
                               "PreviewOptions.OutlineVisible=\"0\" PreviewOptions.OutlineWidth="
                               "\"120\" ReportOptions.Name=\"Vendas \xe0 vista\"/></report>"));
    EXPECT_TRUE(bytes.contains("<logicalpagenumbers><page n=\"1\" t=\"3\"/><page n=\"2\" "
                               "t=\"3\"/><page n=\"3\" t=\"3\"/></logicalpagenumbers>"));
    EXPECT_TRUE(bytes.contains("<item text=\"ancora1\" page=\"1\" top=\"80\"/>"));
}

TEST(PreviewPages, LoadAnswersSizesWithoutBuildingAndRebuildsPages) {
    BuiltReport built;
    const QByteArray bytes = saved(built.report.PreviewPages());

    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    load(pages, bytes);
    EXPECT_EQ(pages.Count(), 3);
    EXPECT_EQ(report.ReportOptions.Name, "Vendas \xe0 vista");
    EXPECT_EQ(pages.Pictures().Count(), 2);
    EXPECT_EQ(pages.PageExtent(1), QSize(794, 1123));
    EXPECT_TRUE(pages.CachedPages().empty());
    // The objects of a page stay unread until the page is built.
    EXPECT_FALSE(pages.PagesElement().Items(1).Loaded);

    TqdxReportPage* page = pages.PageObject(2);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->Objects().size(), 5u);
    auto* title = qdx_cast<TqdxMemoView>(page->FindObject("Memo1"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->Text(), QStringLiteral("Página 3 — título"));
    EXPECT_EQ(title->Frame.Typ, 15);
    auto* band = page->Objects()[4];
    EXPECT_EQ(band->Top(), 120);
    EXPECT_EQ(qdx_cast<TqdxMemoView>(band->Objects()[0])->Text(), QStringLiteral("linha 3"));
    // The printable width after arranging: the band spans the page inside the margins.
    EXPECT_DOUBLE_EQ(band->Width(), 200 * qd01cm);

    auto* logo = qdx_cast<TqdxPictureView>(pages.PageObject(1)->FindObject("Picture1"));
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->ImageIndex, 2);
    EXPECT_EQ(logo->Picture.Data, kPng2);

    // Saving what was loaded writes it back unchanged, except that pages read from a file are
    // no longer marked as able to leave memory.
    QByteArray expected = bytes;
    expected.replace("<page0 ld=\"0\">", "<page0>");
    EXPECT_EQ(saved(pages), expected);

    QByteArray text;
    int page0 = -1;
    int top = -1;
    pages.Outline().LevelRoot();
    EXPECT_EQ(pages.Outline().Count(), 3);
    pages.Outline().GetItem(2, text, page0, top);
    EXPECT_EQ(text, "Parte 3");
    EXPECT_EQ(page0, 2);
    EXPECT_EQ(top, 60);
    EXPECT_EQ(pages.GetAnchorPage("ANCORA2"), 3);
    EXPECT_EQ(pages.GetAnchorPage("nowhere"), 1);
}

TEST(PreviewPages, SavingPagesNeverReadWritesThemInTheWriterForm) {
    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    load(pages, "<?xml version=\"1.0\"?>\r\n<preparedreport>\r\n  <previewpages>\r\n"
                "    <page0 ld=\"0\">\r\n      <b1 t=\"5\" >\r\n        <!-- note -->\r\n"
                "        <m1 ld=\"0\" u=\"a\" />\r\n      </b1>\r\n    </page0>\r\n"
                "    <page0><b1 t=\"6\"><m1 u=\"b\"/></b1></page0>\r\n  </previewpages>\r\n"
                "  <anchors><item text=\"x\" page=\"1\" top=\"2\"/></anchors>\r\n"
                "</preparedreport>\r\n");
    EXPECT_EQ(pages.Count(), 2);
    const QByteArray bytes = saved(pages);
    EXPECT_TRUE(bytes.contains("<previewpages><page0><b1 t=\"5\"><m1 u=\"a\" /></b1></page0>"
                               "<page0><b1 t=\"6\"><m1 u=\"b\"/></b1></page0></previewpages>"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("<anchors><item text=\"x\" page=\"1\" top=\"2\"/></anchors>"));
    EXPECT_EQ(pages.GetAnchorPage("X"), 2);
}

// Every file that loads saves into one that loads again with the same pages: names that are
// no identifiers and sizes beyond any paper must not break the saved file.
TEST(PreviewPages, SavedFilesLoadAgainWithTheSamePages) {
    const QByteArray files[] = {
        R"(<?xml version="1.0"?><preparedreport><previewpages><page0><b1 t="3"/></page0>)"
        R"(</previewpages><sourcepages><TqdxReportPage PaperWidth="100">)"
        R"(<TqdxMasterData Name="B"><TqdxMemoView Name="M&#60;1&#34;x"/></TqdxMasterData>)"
        R"(</TqdxReportPage></sourcepages><dictionary><b1 name="Page0.B"/>)"
        R"(</dictionary></preparedreport>)",
        R"(<?xml version="1.0"?><preparedreport><previewpages><page0><b1 t="3"/></page0>)"
        R"(</previewpages><sourcepages><TqdxReportPage PaperWidth="1E305" PaperHeight="100">)"
        R"(<TqdxMasterData Name="B"/></TqdxReportPage></sourcepages><dictionary>)"
        R"(<b1 name="Page0.B"/></dictionary></preparedreport>)",
        R"(<?xml version="1.0"?><preparedreport><previewpages><page0><b1 t="3"/></page0>)"
        R"(</previewpages><sourcepages><TqdxReportPage LeftMargin="1.7E308" )"
        R"(RightMargin="1.7E308" Columns="2"><TqdxMasterData Name="B"/></TqdxReportPage>)"
        R"(</sourcepages><dictionary><b1 name="Page0.B"/></dictionary></preparedreport>)",
    };
    for (const QByteArray& file : files) {
        TqdxReport first;
        load(first.PreviewPages(), file);
        const QByteArray bytes = saved(first.PreviewPages());
        EXPECT_FALSE(bytes.contains("INF") || bytes.contains("NAN")) << bytes.constData();
        TqdxReport second;
        ASSERT_NO_THROW(load(second.PreviewPages(), bytes)) << bytes.constData();
        ASSERT_EQ(second.PreviewPages().Count(), first.PreviewPages().Count());
        EXPECT_EQ(second.PreviewPages().PageExtent(0), first.PreviewPages().PageExtent(0))
            << bytes.constData();
        const TqdxReportPage* page = second.PreviewPages().PageObject(0);
        ASSERT_TRUE(page);
        EXPECT_TRUE(std::isfinite(page->ColumnWidth));
    }
}

TEST(PreviewPages, CacheKeepsMostRecentFirstAndEvicts) {
    BuiltReport built;
    TqdxPreviewPages& pages = built.report.PreviewPages();
    pages.PageObject(0);
    pages.PageObject(1);
    TqdxReportPage* first = pages.PageObject(0);
    EXPECT_EQ(pages.CachedPages(), (std::vector<int>{0, 1}));
    EXPECT_EQ(pages.PageObject(0), first);

    built.report.PreviewOptions.PagesInCache = 1;
    pages.PageObject(2);
    EXPECT_EQ(pages.CachedPages(), (std::vector<int>{2, 0}));
    pages.PageObject(1);
    EXPECT_EQ(pages.CachedPages(), (std::vector<int>{1, 2}));
}

TEST(PreviewPages, AliasTextOverridesTheSourceObject) {
    SetDecimalSeparator('.');
    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    const QByteArray doc =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages><page0>"
        "<b1 t=\"30\"><m3 l=\"10\" t=\"5\" u=\"Ol\xc3\xa1\"/><p1 ImageIndex=\"2\"/>"
        "<p1 ImageIndex=\"5\"/></b1></page0></previewpages><sourcepages>"
        "<TqdxReportPage Name=\"Page1\" PaperSize=\"256\" PaperWidth=\"100\" "
        "PaperHeight=\"50\"><TqdxMasterData Name=\"MasterData1\" Height=\"20\">"
        "<TqdxMemoView Name=\"Memo3\" Left=\"99\" Top=\"98\" Width=\"50\" Height=\"10\" "
        "Text=\"source\"/><TqdxPictureView Name=\"Picture1\" Left=\"0\" Top=\"0\" Width=\"9\" "
        "Height=\"9\"/></TqdxMasterData></TqdxReportPage></sourcepages><dictionary>"
        "<b1 name=\"Page0.MasterData1\"/><m3 name=\"Page0.Memo3\"/><p1 name=\"Page0.Picture1\"/>"
        "</dictionary><picturecache><item stream=\"" +
        kPng1.toHex().toUpper() + "\"/><item stream=\"" + kPng2.toHex().toUpper() +
        "\"/></picturecache></preparedreport>";
    load(pages, doc);
    EXPECT_EQ(pages.PageExtent(0), QSize(378, 189));
    TqdxReportPage* page = pages.PageObject(0);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->Objects().size(), 1u);
    TqdxComponent* band = page->Objects()[0];
    ASSERT_EQ(band->Objects().size(), 3u);
    auto* memo = qdx_cast<TqdxMemoView>(band->Objects()[0]);
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->Name(), "Memo3");
    EXPECT_EQ(memo->Left(), 10);
    EXPECT_EQ(memo->Top(), 5);
    EXPECT_EQ(memo->Width(), 50);
    EXPECT_EQ(memo->Text(), QStringLiteral("Olá"));
    EXPECT_EQ(qdx_cast<TqdxPictureView>(band->Objects()[1])->Picture.Data, kPng2);
    EXPECT_TRUE(qdx_cast<TqdxPictureView>(band->Objects()[2])->Picture.Empty());
}

TEST(PreviewPages, BadFilesFailOrLoadWhatWasRead) {
    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    QBuffer gz;
    gz.setData(QByteArray("\x1f\x8b\x08\x00garbage", 11));
    gz.open(QIODevice::ReadOnly);
    EXPECT_THROW(pages.LoadFromStream(gz), TqdxInvalidXMLException);
    EXPECT_EQ(pages.Count(), 0);

    BuiltReport built;
    const QByteArray whole = saved(built.report.PreviewPages());
    // Cut short before its source pages, a file of numbered pages has no page to show.
    const qsizetype cut = whole.indexOf("</page0><page0 ld=\"0\">") + 8;
    EXPECT_THROW(load(pages, whole.left(cut)), TqdxInvalidXMLException);
    EXPECT_EQ(pages.Count(), 0);

    // Pages and the outline are read when first used, but checked when the file is read: an
    // end tag that closes the wrong element fails the load as it always did.
    for (const char* bad : {"<previewpages><page0><b1></m1></page0></previewpages>",
                            "<outline><item><item></outline></item></outline>"}) {
        EXPECT_THROW(load(pages, QByteArray("<?xml version=\"1.0\"?><preparedreport>") + bad +
                                     "</preparedreport>"),
                     TqdxInvalidXMLException)
            << bad;
    }

    // A file cut inside a tag of a page is not read, also when that page is not yet built.
    EXPECT_THROW(load(pages, whole.left(whole.indexOf("<m2 u=\"linha 2\"") + 5)),
                 TqdxInvalidXMLException);

    // A page element naming an unregistered class fails when the page is built.
    load(pages, "<?xml version=\"1.0\"?><preparedreport><previewpages><page0><TqdxWhatever/>"
                "</page0></previewpages><sourcepages><TqdxReportPage/></sourcepages>"
                "</preparedreport>");
    EXPECT_THROW(pages.PageObject(0), TqdxClassNotFound);
    EXPECT_TRUE(pages.CachedPages().empty());

    // A dictionary entry whose page part is not a number ends the load.
    EXPECT_THROW(load(pages, "<?xml version=\"1.0\"?><preparedreport><dictionary>"
                             "<m1 name=\"Pagex.Memo1\"/></dictionary></preparedreport>"),
                 std::invalid_argument);
}

TEST(PreviewPages, AFileCutShortKeepsThePagesThatEndBeforeTheCut) {
    auto page = [](int n) {
        return "<TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\">"
               "<TqdxPageHeader Name=\"H\" Top=\"0\" Height=\"300\"><TqdxMemoView Name=\"T\" "
               "Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" Text=\"Pagina " +
               QByteArray::number(n) + "\"/></TqdxPageHeader></TqdxReportPage>";
    };
    const QByteArray whole = "<?xml version=\"1.0\"?><preparedreport><previewpages>" + page(1) +
                             page(2) + page(3) + page(4) +
                             "</previewpages><outline><item text=\"Um\" page=\"0\"/>"
                             "<item text=\"Quatro\" page=\"3\"/></outline></preparedreport>";
    auto endOfPage = [&](int n) {
        qsizetype at = 0;
        for (int i = 0; i < n; ++i) {
            at = whole.indexOf("</TqdxReportPage>", at) + 17;
        }
        return at;
    };
    const qsizetype inPage3 = whole.indexOf("Pagina 3");
    const struct {
        const char* where;
        qsizetype cut;
        int pages; // 0: nothing can be shown, the load fails
    } cases[] = {
        {"whole", whole.size(), 4},
        {"in the root's end tag", whole.size() - 3, 4},
        {"in the outline", whole.indexOf("<item text=\"Quatro\"") + 4, 4},
        {"after the pages", whole.indexOf("</previewpages>") + 15, 4},
        {"just after page 2", endOfPage(2), 2},
        {"in a tag of page 3", inPage3, 2},
        {"between tags of page 3", whole.indexOf("<TqdxMemoView", inPage3 - 120), 2},
        {"at the start of page 3", endOfPage(2) + 5, 2},
        {"just after page 1", endOfPage(1), 1},
        {"in page 1", whole.indexOf("Pagina 1"), 0},
        {"before any page", whole.indexOf("<previewpages>") + 3, 0},
        {"in the header", 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        TqdxReport report;
        TqdxPreviewPages& pages = report.PreviewPages();
        if (c.pages == 0) {
            EXPECT_THROW(load(pages, whole.left(c.cut)), TqdxInvalidXMLException);
            EXPECT_EQ(pages.Count(), 0);
            continue;
        }
        ASSERT_NO_THROW(load(pages, whole.left(c.cut)));
        ASSERT_EQ(pages.Count(), c.pages);
        for (int i = 0; i < c.pages; ++i) {
            TqdxReportPage* built = pages.PageObject(i);
            ASSERT_TRUE(built);
            ASSERT_EQ(built->Objects().size(), 1u);
            ASSERT_EQ(built->Objects()[0]->Objects().size(), 1u);
            auto* memo = qdx_cast<TqdxMemoView>(built->Objects()[0]->Objects()[0]);
            ASSERT_TRUE(memo);
            EXPECT_EQ(memo->Text(), QStringLiteral("Pagina %1").arg(i + 1));
        }
        // An outline the file breaks off in is dropped; a whole one stays.
        pages.Outline().LevelRoot();
        EXPECT_EQ(pages.Outline().Count(), c.cut >= whole.indexOf("</outline>") ? 2 : 0);
        if (c.cut == whole.size()) {
            EXPECT_TRUE(pages.LoadWarnings().isEmpty());
        } else if (c.pages == 1) {
            EXPECT_EQ(pages.LoadWarnings(),
                      QStringList{QStringLiteral(
                          "O arquivo está incompleto: só a primeira página pôde ser lida.")});
        } else {
            EXPECT_EQ(pages.LoadWarnings(),
                      QStringList{QStringLiteral("O arquivo está incompleto: só as %1 primeiras "
                                                 "páginas puderam ser lidas.")
                                      .arg(c.pages)});
        }
    }
}

TEST(PreviewPages, EditingPages) {
    BuiltReport built;
    TqdxPreviewPages& pages = built.report.PreviewPages();
    pages.PageObject(0);
    pages.InsertBlankPage(1);
    EXPECT_EQ(pages.Count(), 4);
    EXPECT_TRUE(pages.CachedPages().empty());
    EXPECT_EQ(pages.PageObject(1)->Objects().size(), 0u);

    TqdxReportPage replacement;
    replacement.SetPaperWidth(100);
    TqdxComponent::Create<TqdxMemoView>(&replacement)->SetText(u"nova");
    pages.ReplacePage(1, replacement);
    EXPECT_EQ(pages.PageExtent(1), QSize(378, 1123));
    ASSERT_EQ(pages.PageObject(1)->Objects().size(), 1u);
    EXPECT_EQ(qdx_cast<TqdxMemoView>(pages.PageObject(1)->Objects()[0])->Text(), u"nova");

    pages.RemovePage(1);
    pages.RemovePage(1);
    pages.RemovePage(1);
    EXPECT_EQ(pages.Count(), 1);
    pages.RemovePage(0); // the last page stays
    EXPECT_EQ(pages.Count(), 1);

    BuiltReport other;
    pages.AppendFromReport(other.report);
    EXPECT_EQ(pages.Count(), 4);
    EXPECT_EQ(pages.GetAnchorPage("ancora2"), 4);
    EXPECT_EQ(qdx_cast<TqdxMemoView>(pages.PageObject(3)->FindObject("Memo1"))->Text(),
              QStringLiteral("Página 3 — título"));
}

TEST(PreviewPages, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    BuiltReport built;
    TqdxPreviewPages& pages = built.report.PreviewPages();
    const QString path = dir.path(QStringLiteral("r.qp3"));
    ASSERT_TRUE(pages.SaveToFile(path));
    const QByteArray before = TempDir::read(path);
    int error = 0;
    EXPECT_FALSE(pages.SaveToFile(dir.path(QStringLiteral("missing/r.qp3")), &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(pages.SaveToFile(dir.root(), &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_EQ(TempDir::read(path), before);

    TqdxReport loaded;
    EXPECT_FALSE(loaded.PreviewPages().LoadFromFile(dir.path(QStringLiteral("none.qp3"))));
    EXPECT_THROW(loaded.PreviewPages().LoadFromFile(dir.path(QStringLiteral("none.qp3")), true),
                 std::runtime_error);
    EXPECT_TRUE(loaded.PreviewPages().LoadFromFile(path));
    EXPECT_EQ(loaded.PreviewPages().Count(), 3);
}

TEST(PreviewPages, FileCacheSwapsPagesOutAndBack) {
    TqdxReport report;
    report.EngineOptions.UseFileCache = true;
    report.EngineOptions.MaxMemSize = 0; // swap at every new page
    report.PreviewOptions.PagesInCache = 1;
    TqdxPreviewPages& pages = report.PreviewPages();
    pages.Initialize();
    TqdxReportPage design;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&design);
    auto* memo = TqdxComponent::Create<TqdxMemoView>(band);
    memo->SetName("Memo1");
    pages.RegisterSourcePage(design);
    for (int p = 0; p < 6; ++p) {
        pages.BeginNewPage(&design);
        memo->SetText(QString::number(p));
        pages.AddObject(*band);
    }
    EXPECT_FALSE(pages.PagesElement().Items(3).Loaded);
    EXPECT_TRUE(pages.PagesElement().Items(1).Loaded); // the first two pages stay
    for (int p : {3, 4, 3, 5}) {
        auto* m = qdx_cast<TqdxMemoView>(pages.PageObject(p)->FindObject("Memo1"));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->Text(), QString::number(p));
    }
    const QByteArray bytes = saved(pages);
    for (int p = 0; p < 6; ++p) {
        EXPECT_TRUE(bytes.contains("u=\"" + QByteArray::number(p) + '"')) << p;
    }
}

TEST(PreviewPages, DictionaryAliases) {
    TqdxDictionary d;
    EXPECT_EQ(d.CreateUniqueAlias("m"), "m1");
    d.Add("m1", "Page0.Memo1", nullptr);
    d.Add("m2", "Page0.Memo2", nullptr);
    EXPECT_EQ(d.CreateUniqueAlias("m"), "m3");
    EXPECT_EQ(d.CreateUniqueAlias("b"), "b1");
}

TEST(Report, ErrorsAreShownByTheSilentMode) {
    RecordingInteraction ui;
    TqdxReport report;
    report.UserInteraction = &ui;
    report.AddErrors({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(report.Errors, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    report.ShowErrors(report.ErrorsText());
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0], QStringLiteral("Ocorreram os seguintes erros:\r\na\r\nb"));
    report.EngineOptions.NewSilentMode = simSilent;
    report.ShowErrors(QStringLiteral("x"));
    EXPECT_EQ(ui.texts().size(), 1u);
    report.EngineOptions.NewSilentMode = simReThrow;
    EXPECT_THROW(report.ShowErrors(QStringLiteral("x")), TqdxReportError);

    EXPECT_TRUE(report.OpenSettings().registry);
    report.IniFile = "/tmp/settings.ini";
    EXPECT_FALSE(report.OpenSettings().registry);
}

} // namespace
} // namespace zr::reportlib
