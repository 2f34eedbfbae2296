#include "textreport/ui/preview_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace zr::textreport::ui {
namespace {

// An 80 x 66 page as the preview draws it: 640 + 30 by 1056 + 30.
const QSize kPage(670, 1086);

TEST(PreviewZoom, FitsTheWidthLessThirtyPixelsAndTheWholePageLessTen) {
    // Trunc((1000 * 100 - 3000) / 670) = Trunc(144.77)
    EXPECT_EQ(resolveZoom(kZoomFitWidth, {1000, QSize(980, 500)}, kPage), 144);
    // min(Trunc((980 * 100 - 1000) / 670), Trunc((700 * 100 - 1000) / 1086)) = min(144, 63)
    EXPECT_EQ(resolveZoom(kZoomFitPage, {1000, QSize(980, 700)}, kPage), 63);
}

TEST(PreviewZoom, HoldsEveryValueBetweenTwentyAndFourHundred) {
    EXPECT_EQ(resolveZoom(15, {}, kPage), 20);
    EXPECT_EQ(resolveZoom(450, {}, kPage), 400);
    EXPECT_EQ(resolveZoom(INT_MIN, {}, kPage), 20);
    // A scroll box narrower than the margins the fit keeps gives a negative percent.
    EXPECT_EQ(resolveZoom(kZoomFitWidth, {20, QSize(10, 10)}, kPage), 20);
    EXPECT_EQ(resolveZoom(kZoomFitWidth, {100000, QSize(10, 10)}, kPage), 400);
}

TEST(PreviewZoom, APageWithoutAreaCannotBeFittedAndTakesOneHundred) {
    EXPECT_EQ(resolveZoom(kZoomFitWidth, {1000, QSize(900, 900)}, QSize(0, 100)), 100);
    EXPECT_EQ(resolveZoom(kZoomFitPage, {1000, QSize(900, 900)}, QSize(670, 0)), 100);
}

TEST(PreviewZoom, SizesThePageBoxTenPixelsPastThePageRoundingHalvesToEven) {
    // 670 * 0.25 = 167.5 -> 168 (even); 1086 * 0.25 = 271.5 -> 272
    EXPECT_EQ(pageBoxSize(kPage, 25), QSize(178, 282));
    EXPECT_EQ(pageTarget(kPage, 25), QRect(QPoint(10, 10), QPoint(167, 271)));
    // 105 * 0.5 = 52.5 -> 52 (even)
    EXPECT_EQ(pageBoxSize(QSize(105, 105), 50), QSize(62, 62));
}

TEST(PreviewTexts, ZoomHasAtLeastTwoDigits) {
    EXPECT_EQ(zoomText(5), "05%");
    EXPECT_EQ(zoomText(20), "20%");
    EXPECT_EQ(zoomText(400), "400%");
    EXPECT_EQ(zoomText(-1), "-01%");
}

TEST(PreviewTexts, PanelsAndModelNames) {
    EXPECT_EQ(pageText(2, 5), "Página: 2 de 5");
    const QStringList names = {modelName(TModelo::Epson),   modelName(TModelo::Rima),
                               modelName(TModelo::HP),      modelName(TModelo::Grafico),
                               modelName(TModelo::Personalizado), modelName(TModelo::Bobina)};
    EXPECT_EQ(names, (QStringList{"Epson", "Rima/Emila", "HP", "Grafico", "Personalizado",
                                  "Bobina"}));
}

TEST(PreviewPageNumber, AcceptsDecimalNumbersAndClampsThemToThePages) {
    EXPECT_EQ(pageFromText("3", 5), 3);
    EXPECT_EQ(pageFromText("  4 ", 5), 4);
    EXPECT_EQ(pageFromText("+2", 5), 2);
    EXPECT_EQ(pageFromText("0", 5), 1);
    EXPECT_EQ(pageFromText("-7", 5), 1);
    EXPECT_EQ(pageFromText("9", 5), 5);
    EXPECT_EQ(pageFromText("99999999999999999999999", 5), 5);
    EXPECT_EQ(pageFromText("-99999999999999999999999", 5), 1);
    // A report without pages still has page 1.
    EXPECT_EQ(pageFromText("3", 0), 1);
}

TEST(PreviewPageNumber, RejectsAnythingElse) {
    for (const char* text : {"", " ", "abc", "3a", "2 3", "+", "-", "1.5", "0x10", "٣"}) {
        EXPECT_EQ(pageFromText(QString::fromUtf8(text), 5), std::nullopt) << text;
    }
}

TEST(PreviewFileNames, ReplaceTheLastExtensionOfTheNameOnly) {
    EXPECT_EQ(withExtension("rel.doc", ".TXT"), "rel.TXT");
    EXPECT_EQ(withExtension("/tmp/rel", ".TXT"), "/tmp/rel.TXT");
    EXPECT_EQ(withExtension("/tmp/a.b/rel", ".PDF"), "/tmp/a.b/rel.PDF");
    EXPECT_EQ(withExtension("/tmp/rel.tar.gz", ".HTM"), "/tmp/rel.tar.HTM");
    EXPECT_EQ(withExtension("/tmp/rel.txt", ".TXT"), "/tmp/rel.TXT");
    EXPECT_EQ(withExtension("/tmp/rel.", ".GVP"), "/tmp/rel.GVP");
    // A hidden file's leading dot starts its name, not an extension.
    EXPECT_EQ(withExtension("/home/u/.vendas", ".TXT"), "/home/u/.vendas.TXT");
}

TEST(PreviewFileNames, TakeTheExtensionOfTheChosenFileType) {
    const QString filter = "Relatório Gravana (*.GVP)|*.GVP|Arquivo HTML(*.HTM) |*.HTM";
    EXPECT_EQ(filterExtension(filter, 1), ".GVP");
    EXPECT_EQ(filterExtension(filter, 2), ".HTM");
    EXPECT_EQ(filterExtension(filter, 0), "");
    EXPECT_EQ(filterExtension(filter, 3), "");
}

TEST(PreviewFileNames, NameFiltersKeepTheCaptionsAsWritten) {
    EXPECT_EQ(nameFiltersOf("Arquivo HTML(*.HTM) |*.HTM|Todos|"),
              (QStringList{"Arquivo HTML(*.HTM)  (*.HTM *.htm)", "Todos (*)"}));
}

TEST(PreviewToolbar, PlacesEveryButtonWhenAllAreShown) {
    const ToolbarLayout l = toolbarLayout({});
    EXPECT_EQ(l.btIMPRIMIR, 9);
    EXPECT_EQ(l.Separa1, 109);
    EXPECT_EQ(l.btPDF, 119);
    EXPECT_EQ(l.btPROCURAR, 219);
    EXPECT_EQ(l.Separa2, 253);
    EXPECT_EQ(l.btPRIMEIRA, 265);
    EXPECT_EQ(l.Separa3, 399);
    EXPECT_EQ(l.btDiminui, 486);
    EXPECT_EQ(l.Separa4, 520);
    EXPECT_EQ(l.btFECHAR, 532);
}

} // namespace
} // namespace zr::textreport::ui
