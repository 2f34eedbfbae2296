#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_xml_serializer.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zr::reportlib {
namespace {

TEST(ReportPage, PaperModel) {
    TqdxReportPage page;
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_EQ(page.PaperWidth(), 210);
    EXPECT_EQ(page.PaperHeight(), 297);
    EXPECT_EQ(page.Width(), 794);
    EXPECT_EQ(page.Height(), 1123);

    page.LeftMargin = 10;
    page.RightMargin = 20;
    page.TopMargin = 30;
    page.BottomMargin = 40;
    page.SetOrientation(poLandscape);
    EXPECT_EQ(page.PaperWidth(), 297);
    EXPECT_EQ(page.PaperHeight(), 210);
    EXPECT_EQ(page.Width(), 1123);
    EXPECT_EQ(page.Height(), 794);
    EXPECT_EQ(page.LeftMargin, 30);
    EXPECT_EQ(page.RightMargin, 40);
    EXPECT_EQ(page.TopMargin, 20);
    EXPECT_EQ(page.BottomMargin, 10);
    page.SetOrientation(poPortrait);
    EXPECT_EQ(page.LeftMargin, 10);
    EXPECT_EQ(page.TopMargin, 30);

    // A standard code in landscape swaps the table's sizes; an unknown code changes nothing.
    page.SetOrientation(poLandscape);
    page.SetPaperSize(1);
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 279.4);
    page.SetPaperSize(48);
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 279.4);
    EXPECT_EQ(page.PaperSize(), 48);

    page.SetPaperWidth(100);
    EXPECT_EQ(page.PaperSize(), 256);
    EXPECT_EQ(page.Width(), 378);
}

TEST(ReportPage, ColumnsSplitThePrintableWidth) {
    SetDecimalSeparator('.');
    TqdxReportPage page;
    page.LeftMargin = page.RightMargin = 10;
    page.SetColumns(3);
    EXPECT_NEAR(page.ColumnWidth, 63.3333333333, 1e-9);
    EXPECT_EQ(page.ColumnPositions.Lines,
              (QList<QByteArray>{"0", "63.3333333333333", "126.666666666667"}));
    page.SetColumns(0);
    EXPECT_EQ(page.ColumnPositions.Count(), 0);
    page.SetColumns(20000000); // from a damaged file: no twenty million positions
    EXPECT_EQ(page.ColumnPositions.Count(), 0);
}

// Whatever a damaged file gives the page, every size it keeps is a number that saves as one.
TEST(ReportPage, GeometryStaysFiniteAndReadsBack) {
    TqdxReportPage page;
    page.SetPaperWidth(1e305);
    EXPECT_EQ(page.PaperWidth(), 1e305);
    EXPECT_EQ(page.PaperSize(), 256);
    page.SetPaperHeight(std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isfinite(page.PaperHeight()));
    EXPECT_TRUE(std::isfinite(page.Width()) && std::isfinite(page.Height()));

    page.LeftMargin = page.RightMargin = 1.7e308;
    page.SetColumns(2);
    EXPECT_TRUE(std::isfinite(page.ColumnWidth));
    auto* band = TqdxComponent::Create<TqdxMasterData>(&page);
    band->SetTop(1.7e308);
    page.ArrangeChildren();
    EXPECT_TRUE(std::isfinite(band->Width()) && std::isfinite(band->Height()));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TqdxXMLSerializer(&buffer).WriteObjectTree(page);
    const QByteArray text = buffer.data();
    EXPECT_FALSE(text.contains("INF")) << text.constData();
    EXPECT_FALSE(text.contains("NAN")) << text.constData();

    TqdxReportPage again;
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    TqdxXMLSerializer reader(&buffer);
    reader.ReadObjectTree(again);
    EXPECT_TRUE(reader.Errors.isEmpty()) << reader.Errors.join('\n').toStdString();
    EXPECT_EQ(again.PaperWidth(), page.PaperWidth());
    EXPECT_EQ(again.PaperHeight(), page.PaperHeight());
    EXPECT_EQ(again.ColumnWidth, page.ColumnWidth);
    // A width of 17 significant digits is kept as its own 15-digit text reads back.
    page.SetPaperWidth(12345678.901234567);
    EXPECT_EQ(page.PaperWidth(), XMLTextToFloat(FloatToXMLText(page.PaperWidth())));
}

TEST(ReportPage, ArrangeSetsBandsAndAlignedViews) {
    TqdxReportPage page;
    page.LeftMargin = page.RightMargin = page.TopMargin = page.BottomMargin = 10;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&page);
    band->SetBounds(5, 100, 10, 40);
    auto* left = TqdxComponent::Create<TqdxMemoView>(band);
    left->SetBounds(10, 0, 50, 20);
    auto* middle = TqdxComponent::Create<TqdxMemoView>(band);
    middle->SetBounds(70, 0, 10, 20);
    middle->Align = baWidth;
    auto* right = TqdxComponent::Create<TqdxMemoView>(band);
    right->SetBounds(200, 5, 40, 10);
    auto* vertical = TqdxComponent::Create<TqdxMasterData>(&page);
    vertical->Vertical = true;
    vertical->SetTop(50);
    auto* client = TqdxComponent::Create<TqdxShapeView>(vertical);
    client->Align = baClient;

    page.ArrangeChildren();
    const double printableWidth = 190 * qd01cm;
    EXPECT_DOUBLE_EQ(band->Width(), printableWidth - 5);
    EXPECT_EQ(middle->Left(), 60);   // right edge of the left view
    EXPECT_EQ(middle->Width(), 140); // up to the left edge of the right view
    EXPECT_DOUBLE_EQ(vertical->Height(), 277 * qd01cm - 50);
    EXPECT_DOUBLE_EQ(client->Width(), vertical->Width());
    EXPECT_DOUBLE_EQ(client->Height(), vertical->Height());
    EXPECT_EQ(page.Width(), 794); // the paper size again afterwards
}

TEST(Components, DeltaTextAgainstSourceCopy) {
    SetDecimalSeparator('.');
    TqdxReportPage page;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&page);
    auto* bandSource = TqdxComponent::Create<TqdxMasterData>(&page);
    EXPECT_EQ(band->DeltaText(bandSource), " t=\"0\""); // bands always carry their top

    auto* memo = TqdxComponent::Create<TqdxMemoView>(band);
    auto* source = TqdxComponent::Create<TqdxMemoView>(band);
    memo->SetBounds(10, 5, 80, 20);
    memo->AutoWidth = true;
    memo->SetText(u"Olá");
    memo->Frame.SetColor(255);
    memo->Frame.LeftLine.Color = 0;
    const QByteArray delta = memo->DeltaText(source);
    EXPECT_EQ(delta, " l=\"10\" t=\"5\" h=\"20\" Frame.Color=\"255\" Frame.LeftLine.Color=\"0\" "
                     "AutoWidth=\"1\" u=\"Ol\xc3\xa1\"");

    // The one-line base form followed by the difference rebuilds the object.
    TqdxXMLSerializer s;
    TqdxComponent* rebuilt = s.ObjectTreeFromText(band, s.ObjectTreeToText(*source) + delta, true);
    auto* m = qdx_cast<TqdxMemoView>(rebuilt);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Left(), 10);
    EXPECT_EQ(m->Text(), QStringLiteral("Olá"));
    EXPECT_EQ(m->Frame.LeftLine.Color, 0);
    EXPECT_EQ(m->Frame.RightLine.Color, 255);

    auto* nullBand = TqdxComponent::Create<TqdxNullBand>(&page);
    nullBand->SetBounds(3, 4, 10, 10);
    EXPECT_TRUE(nullBand->CompleteDeltaText(nullptr).endsWith(" l=\"3\" t=\"4\""));
}

TEST(Components, FontsFollowTheParent) {
    TqdxReportPage page;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&page);
    auto* memo = TqdxComponent::Create<TqdxMemoView>(band);
    EXPECT_EQ(memo->Font().Size(), 10);
    band->Font().SetName("Times New Roman");
    EXPECT_FALSE(band->ParentFont());
    EXPECT_TRUE(memo->ParentFont());
    EXPECT_EQ(memo->Font().Name, "Times New Roman");
    memo->Font().SetSize(12);
    EXPECT_EQ(memo->Font().Height, -16);
    EXPECT_FALSE(memo->ParentFont());
    memo->SetParentFont(true);
    EXPECT_EQ(memo->Font().Size(), 10);
}

TEST(Components, NamesChildChainsAndGradientColour) {
    TqdxReportPage page;
    auto* a = TqdxComponent::Create<TqdxChild>(&page);
    auto* b = TqdxComponent::Create<TqdxChild>(&page);
    a->SetChild(b);
    EXPECT_THROW(b->SetChild(a), std::runtime_error);
    EXPECT_EQ(b->Child(), nullptr);
    EXPECT_EQ(a->BandNumber(), 14);
    EXPECT_EQ(TqdxComponent::Create<TqdxMasterData>(&page)->BandNumber(), 6);

    auto* memo = TqdxComponent::Create<TqdxMemoView>(&page);
    EXPECT_EQ(memo->NameBase, "Memo");
    memo->CreateUniqueName();
    EXPECT_EQ(memo->Name(), "Memo1");
    EXPECT_EQ(page.FindObject("MEMO1"), memo);

    // Names are written unescaped, so only identifiers (or no name) are taken.
    for (const char* bad : {"M<1\"x", "1a", "a b", "a.b", "a-b", "\xe1"}) {
        EXPECT_THROW(memo->SetName(bad), std::runtime_error) << bad;
        EXPECT_EQ(memo->Name(), "Memo1");
    }
    memo->SetName("_a9");
    EXPECT_EQ(memo->Name(), "_a9");
    memo->SetName("");
    EXPECT_EQ(memo->Name(), "");
    memo->NameBase = "M<1";
    EXPECT_THROW(memo->CreateUniqueName(), std::runtime_error);
    EXPECT_EQ(memo->Name(), "");

    TqdxGradientView g;
    g.BeginColor = 0xFFFFFF;
    g.EndColor = 0x000000;
    EXPECT_EQ(g.MiddleColor(), 0x808080);
    EXPECT_EQ(TqdxCheckBoxView().Width(), 5 * qd01cm);
}

TEST(Components, DotMatrixBandsSnapToTheCharacterGrid) {
    TqdxDMPPage page;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&page);
    band->SetBounds(10, 20, 100, 30);
    EXPECT_DOUBLE_EQ(band->Left(), 9.6);
    EXPECT_EQ(band->Top(), 17);
    EXPECT_EQ(band->Height(), 34);
}

TEST(Components, DeepTreesAreFreedWithoutRecursion) {
    auto* page = new TqdxReportPage;
    TqdxComponent* parent = page;
    for (int i = 0; i < 12000; ++i) {
        parent = TqdxComponent::Create<TqdxChild>(parent);
    }
    EXPECT_EQ(page->AllObjects().size(), 12000u);
    delete page;
}

} // namespace
} // namespace zr::reportlib
