#include "qp3_generator.h"

#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_xml.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

using zr::reportlib::qdx_cast;
using zr::reportlib::TqdxMemoView;
using zr::reportlib::TqdxPictureView;
using zr::reportlib::TqdxReport;
using zr::reportlib::TqdxXMLDocument;
using zr::reportlib::TqdxXMLItem;
using zr::test::TempDir;
using zr::tools::Qp3GeneratorOptions;

namespace {

// Five pages in sections of three: listing, listing, summary | listing, summary; the odd pages
// carry a stamp picture; the last page is stored complete.
Qp3GeneratorOptions fivePages() {
    Qp3GeneratorOptions o;
    o.pages = 5;
    o.sectionPages = 3;
    o.pictureEvery = 2;
    o.completeLastPage = true;
    return o;
}

QByteArray generate(const TempDir& dir, const QString& name, const Qp3GeneratorOptions& o) {
    const QString path = dir.path(name);
    EXPECT_TRUE(zr::tools::WritePreparedReport(path, o));
    return TempDir::read(path);
}

QByteArrayList childNames(const TqdxXMLItem& item) {
    QByteArrayList names;
    for (int i = 0; i < item.Count(); ++i) {
        names.append(item.Items(i).Name);
    }
    return names;
}

} // namespace

TEST(Qp3Generator, GivesTheSameBytesForTheSameOptionsOnly) {
    TempDir dir;
    const QByteArray a = generate(dir, "a.qp3", fivePages());
    EXPECT_EQ(generate(dir, "b.qp3", fivePages()), a);
    Qp3GeneratorOptions other = fivePages();
    other.seed = 2;
    EXPECT_NE(generate(dir, "c.qp3", other), a);
    EXPECT_TRUE(a.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport>"));
}

TEST(Qp3Generator, WritesPagesAsAliasedDifferencesWithOutlineAnchorsAndPictures) {
    TempDir dir;
    TqdxXMLDocument doc;
    doc.LoadFromBytes(generate(dir, "r.qp3", fivePages()));
    TqdxXMLItem& root = doc.Root();

    const TqdxXMLItem& pages = root.FindItem("previewpages");
    EXPECT_EQ(childNames(pages),
              (QByteArrayList{"page0", "page0", "page1", "page0", "TqdxReportPage"}));
    EXPECT_EQ(root.FindItem("sourcepages").Count(), 2);

    // Objects of numbered pages are named by the aliases of their source copies.
    const TqdxXMLItem& dictionary = root.FindItem("dictionary");
    ASSERT_GT(dictionary.Count(), 20);
    QByteArrayList aliases = childNames(dictionary);
    EXPECT_TRUE(aliases.contains("b1"));
    EXPECT_TRUE(aliases.contains("m1"));
    for (const QByteArray& name : childNames(pages.Items(0))) {
        EXPECT_TRUE(aliases.contains(name)) << name.toStdString();
    }
    EXPECT_TRUE(dictionary.Items(0).Text.startsWith("name=\"Page"));

    // The pictures as the PNGs' bytes: the logo once, as it was first shown, and the stamp of
    // each odd listing page.
    const TqdxXMLItem& pictures = root.FindItem("picturecache");
    ASSERT_EQ(pictures.Count(), 3);
    for (int i = 0; i < pictures.Count(); ++i) {
        EXPECT_TRUE(pictures.Items(i).Prop("stream").startsWith("89504E470D0A1A0A")) << i;
    }
    EXPECT_NE(pictures.Items(1).Prop("stream"), pictures.Items(2).Prop("stream"));

    // Logical page numbers restart with each section; totals are set when it closes.
    const TqdxXMLItem& logical = root.FindItem("logicalpagenumbers");
    ASSERT_EQ(logical.Count(), 5);
    QByteArrayList numbers;
    for (int i = 0; i < logical.Count(); ++i) {
        numbers.append(logical.Items(i).Prop("n") + "/" + logical.Items(i).Prop("t"));
    }
    EXPECT_EQ(numbers, (QByteArrayList{"1/3", "2/3", "3/3", "1/2", "2/2"}));

    // The outline: one item per section, one child per page pointing at it.
    const TqdxXMLItem& outline = root.FindItem("outline");
    ASSERT_EQ(outline.Count(), 2);
    EXPECT_EQ(outline.Items(0).Prop("text"), "Filial 1");
    ASSERT_EQ(outline.Items(0).Count(), 3);
    EXPECT_EQ(outline.Items(0).Items(1).Prop("text"), "P\xe1gina 2");
    EXPECT_EQ(outline.Items(0).Items(2).Prop("page"), "2");
    EXPECT_EQ(outline.Items(1).Items(0).Prop("page"), "3");

    // An anchor per order, and one per summary.
    const TqdxXMLItem& anchors = root.FindItem("anchors");
    ASSERT_GE(anchors.Count(), 3 * 3 + 2);
    EXPECT_TRUE(anchors.Items(0).Prop("text").startsWith("Pedido "));
    EXPECT_EQ(anchors.Items(0).Prop("page"), "0");
}

TEST(Qp3Generator, EveryPageBuildsBackWithItsOwnTextsAndPictures) {
    TempDir dir;
    const QString path = dir.path("r.qp3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(path, fivePages()));
    TqdxReport report;
    auto& store = report.PreviewPages();
    ASSERT_TRUE(store.LoadFromFile(path, true));
    ASSERT_EQ(store.Count(), 5);
    EXPECT_EQ(report.ReportOptions.Name, zr::tools::GeneratedReportTitle());

    auto* first = store.PageObject(0);
    ASSERT_NE(first, nullptr);
    const auto* title = qdx_cast<TqdxMemoView>(first->FindObject("Memo2"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Text(), QStringLiteral("Relatório de Vendas por Cliente — Filial 1"));
    EXPECT_EQ(first->FindObject("Picture2"), nullptr); // no stamp on page 1

    auto* second = store.PageObject(1);
    ASSERT_NE(second, nullptr);
    const auto* stamp = qdx_cast<TqdxPictureView>(second->FindObject("Picture2"));
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(stamp->Picture.GraphicClass, "TPngImage");
    // The logo travels with the source page, not in the picture store.
    const auto* logo = qdx_cast<TqdxPictureView>(second->FindObject("Picture1"));
    ASSERT_NE(logo, nullptr);
    EXPECT_FALSE(logo->Picture.Empty());

    for (int i = 2; i < store.Count(); ++i) {
        EXPECT_NE(store.PageObject(i), nullptr) << i;
    }
    const auto* note = qdx_cast<TqdxMemoView>(store.PageObject(4)->FindObject("Memo1"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->Text().startsWith(QStringLiteral("Observações finais")));
}
