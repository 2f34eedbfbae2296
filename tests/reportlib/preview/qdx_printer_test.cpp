#include "reportlib/print/qdx_printer.h"

#include "private_cupsd.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>

using namespace zr::reportlib;
using namespace zr::reportlib::preview;
using zr::test::PrivateCupsd;

namespace {

// A4 and Letter, A4 the default; strips of 12 pt left, 24 bottom, 36 right, 48 top (US Letter
// figures scaled for A4 below); two input slots.
const QByteArray kPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral Laser"
*NickName: "Zeral Laser"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "28.35 28.35 566.65 813.65"
*ImageableArea Letter/US Letter: "12 24 576 744"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
*OpenUI *InputSlot/Media Source: PickOne
*DefaultInputSlot: Upper
*InputSlot Upper/Upper Tray: "<</MediaPosition 0>>setpagedevice"
*InputSlot Manual/Manual Feed: "<</MediaPosition 1>>setpagedevice"
*CloseUI: *InputSlot
*OpenUI *Duplex/2-Sided: PickOne
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
*DefaultResolution: 300dpi
)PPD";

TEST(QdxPaperTable, CodesAndSizes) {
    EXPECT_EQ(StandardPapers().size(), 66u);
    ASSERT_NE(FindStandardPaper(9), nullptr);
    EXPECT_EQ(FindStandardPaper(9)->Width, 2100);
    EXPECT_EQ(FindStandardPaper(9)->Height, 2970);
    EXPECT_EQ(FindStandardPaper(48), nullptr);
    EXPECT_EQ(FindStandardPaper(256), nullptr);
    EXPECT_EQ(FindStandardPaper(68)->Height, 4450);
    // Duplicated sizes give the first code; either way round; tolerance.
    EXPECT_EQ(StandardPaperCodeBySize(215.9, 279.4), 1);
    EXPECT_EQ(StandardPaperCodeBySize(297, 210), 9);
    EXPECT_EQ(StandardPaperCodeBySize(210.4, 296.7), 9);
    EXPECT_EQ(StandardPaperCodeBySize(212, 297), 0);
    EXPECT_EQ(StandardPaperCodeBySize(0, 297), 0);
}

TEST(QdxPrinter, VirtualPrinterWhenNoQueues) {
    PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    TqdxPrinters printers;
    EXPECT_FALSE(printers.HasPhysicalPrinter());
    ASSERT_EQ(printers.Count(), 1);
    EXPECT_EQ(printers.PrinterIndex(), 0);
    TqdxCustomPrinter* p = printers.CurrentPrinter();
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->IsPhysical());
    EXPECT_EQ(p->Name(), QStringLiteral("Virtual"));
    EXPECT_TRUE(p->Opened());
    EXPECT_EQ(p->XResolution(), 600);
    EXPECT_EQ(p->Papers().size(), 67);
    EXPECT_EQ(p->Papers().first().Name, QStringLiteral("Personalizado"));
    EXPECT_EQ(p->PaperCodeByName(QStringLiteral("Padrão")), 256);
    EXPECT_EQ(p->PaperPosition(256), 0);

    p->ApplyViewSettings(9, 0, 0, poPortrait);
    EXPECT_EQ(p->PaperWidth(), 210);
    EXPECT_EQ(p->PaperHeight(), 297);
    EXPECT_EQ(p->LeftMargin(), 5);
    const zr::PrinterMetrics m = p->Metrics();
    EXPECT_EQ(m.physicalWidth, 4961); // 210 mm at 600 dpi
    EXPECT_EQ(m.offsetLeft, 118);
    EXPECT_EQ(m.printableWidth, 4961 - 2 * 118);

    p->ApplyViewSettings(9, 0, 0, poLandscape);
    EXPECT_EQ(p->PaperWidth(), 297);
    p->ApplyViewSettings(999, 100, 50, poPortrait);
    EXPECT_EQ(p->PaperCode(), 256);
    EXPECT_EQ(p->PaperWidth(), 100);
    EXPECT_FALSE(p->StartDocument());
    EXPECT_EQ(printers.FindByName(QStringLiteral("nada")), -1);
    printers.SelectPrinter(-1); // no system default: nothing current
    EXPECT_EQ(printers.PrinterIndex(), -1);
    EXPECT_EQ(printers.CurrentPrinter(), nullptr);
}

class QdxPrinterQueues : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cups.running()) {
            GTEST_SKIP() << cups.failure().toStdString();
        }
        ASSERT_TRUE(cups.addQueue(QStringLiteral("crua")));
        ASSERT_TRUE(cups.addQueue(QStringLiteral("laser"), kPpd));
        ASSERT_TRUE(cups.setDefault(QStringLiteral("laser")));
    }
    PrivateCupsd cups;
};

TEST_F(QdxPrinterQueues, ListDefaultPapersAndBins) {
    TqdxPrinters printers;
    EXPECT_TRUE(printers.HasPhysicalPrinter());
    EXPECT_EQ(printers.Count(), 2);
    EXPECT_EQ(TqdxPrinters::SystemDefaultPrinter(), QStringLiteral("laser"));
    EXPECT_EQ(printers.PrinterIndex(), printers.FindByName(QStringLiteral("LASER")));
    TqdxCustomPrinter* p = printers.CurrentPrinter();
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(p->Opened()) << p->LastError().toStdString();
    EXPECT_EQ(p->XResolution(), 300);
    // The default is the queue's media default (the scheduler may choose it).
    EXPECT_GE(p->PaperPosition(p->DefaultPaperCode()), 1);
    EXPECT_EQ(p->PaperWidth(), p->DefaultPaperWidth());
    p->ApplyViewSettings(9, 0, 0, poPortrait);
    EXPECT_EQ(p->PaperWidth(), 210);
    EXPECT_EQ(p->PaperHeight(), 297);
    EXPECT_EQ(p->LeftMargin(), 10); // 28.35 pt
    EXPECT_GE(p->PaperPosition(1), 1); // Letter
    EXPECT_EQ(p->Papers().first().Code, 256);
    QStringList bins = p->BinNames();
    EXPECT_EQ(bins.first(), QStringLiteral("Padrão"));
    EXPECT_GE(bins.size(), 3) << bins.join(QLatin1Char(',')).toStdString();

    // Letter in landscape: the strips turn with the paper.
    p->ApplyViewSettings(1, 0, 0, poLandscape);
    EXPECT_EQ(p->PaperWidth(), 279);
    EXPECT_EQ(p->PaperHeight(), 216);
    EXPECT_EQ(p->LeftMargin(), 8);  // paper's bottom: 24 pt
    EXPECT_EQ(p->TopMargin(), 4);   // paper's left: 12 pt
    // A user size keeps the margins of A4.
    p->ApplyViewSettings(256, 100, 200, poPortrait);
    EXPECT_EQ(p->PaperCode(), 256);
    EXPECT_EQ(p->PaperWidth(), 100);
    EXPECT_EQ(p->LeftMargin(), 10);

    printers.SelectPrinter(printers.FindByName(QStringLiteral("crua")));
    TqdxCustomPrinter* raw = printers.CurrentPrinter();
    ASSERT_TRUE(raw->Opened());
    EXPECT_GT(raw->XResolution(), 0);
    EXPECT_GE(raw->PaperPosition(9), 1);
}

TEST_F(QdxPrinterQueues, DuplexAndBinRules) {
    TqdxPrinters printers;
    auto* p = dynamic_cast<TqdxPrinter*>(printers.CurrentPrinter());
    ASSERT_NE(p, nullptr);
    p->ApplyPrintSettings(9, 0, 0, poPortrait, 7, dmSimplex, 2);
    EXPECT_EQ(p->Duplex(), 1);
    EXPECT_EQ(p->Copies(), 2);
    p->ApplyPrintSettings(9, 0, 0, poPortrait, 7, dmNone, 1);
    EXPECT_EQ(p->Duplex(), p->DefaultDuplex());
    p->ApplyPrintSettings(9, 0, 0, poPortrait, 7, dmVertical, 1);
    EXPECT_EQ(p->SidesKey(), QStringLiteral("two-sided-long-edge"));
    EXPECT_EQ(p->Bin(), p->DefaultBin());
}

TEST_F(QdxPrinterQueues, PrintsSheetsAndFailsForRemovedPrinter) {
    TqdxPrinters printers;
    printers.SelectPrinter(printers.FindByName(QStringLiteral("crua")));
    TqdxCustomPrinter* p = printers.CurrentPrinter();
    ASSERT_NE(p, nullptr);
    p->SetTitle(QStringLiteral("Teste"));
    p->ApplyPrintSettings(9, 0, 0, poPortrait, 7, dmNone, 1);
    ASSERT_TRUE(p->StartDocument()) << p->LastError().toStdString();
    ASSERT_TRUE(p->StartSheet());
    ASSERT_NE(p->Canvas().Painter(), nullptr);
    p->Canvas().Painter()->drawRect(100, 100, 500, 500);
    p->FinishSheet();
    EXPECT_EQ(p->Canvas().Painter(), nullptr);
    EXPECT_TRUE(p->FinishDocument()) << p->LastError().toStdString();
    const auto job = cups.nextJob(QStringLiteral("crua"));
    ASSERT_TRUE(job.has_value());
    EXPECT_TRUE(job->startsWith("%PDF"));

    // Removed between choosing and printing: a message, no crash, nothing counted.
    ASSERT_TRUE(p->StartDocument());
    ASSERT_TRUE(p->StartSheet());
    p->FinishSheet();
    ASSERT_TRUE(cups.removeQueue(QStringLiteral("crua")));
    EXPECT_FALSE(p->FinishDocument());
    EXPECT_TRUE(p->LastError().contains(QStringLiteral("crua")));
    EXPECT_FALSE(p->StartDocument());
    EXPECT_FALSE(p->LastError().isEmpty());

    // A printer gone before it is opened stays unopened.
    TqdxPrinter gone(QStringLiteral("crua"), QString());
    gone.OpenDevice();
    EXPECT_FALSE(gone.Opened());
    EXPECT_FALSE(gone.StartDocument());
}

TEST_F(QdxPrinterQueues, RawDocumentAndPrintToFile) {
    TqdxPrinters printers;
    printers.SelectPrinter(printers.FindByName(QStringLiteral("crua")));
    TqdxCustomPrinter* p = printers.CurrentPrinter();
    ASSERT_TRUE(p->StartRawDocument()) << p->LastError().toStdString();
    EXPECT_TRUE(p->WriteRaw("\x1b@abc\f"));
    EXPECT_TRUE(p->FinishRawDocument());
    const auto job = cups.nextJob(QStringLiteral("crua"));
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(*job, QByteArray("\x1b@abc\f"));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    p->SetOutputFile(file);
    p->ApplyPrintSettings(9, 0, 0, poPortrait, 7, dmNone, 1);
    ASSERT_TRUE(p->StartDocument());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(p->StartSheet());
        p->FinishSheet();
    }
    EXPECT_TRUE(p->FinishDocument());
    EXPECT_TRUE(QFileInfo::exists(file));
}

} // namespace
