// The print dialog on a print system with its queues: switching printers, the printer's own
// properties dialog behind "Propriedades...", and the job it sends against the converter's.

#include "reportlib/preview/qdx_print_dialog.h"

#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_preview_form.h"

#include "platform/printing/printer_properties.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_printer.h"

#include "active_window.h"
#include "key_input.h"
#include "modal_keys.h"
#include "pdf_info.h"
#include "private_cupsd.h"
#include "qp3_generator.h"
#include "temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace zr::reportlib::preview {
namespace {

// A printer described by a PPD with two papers, two trays and two-sided printing.
const QByteArray kOfficePpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral Office"
*NickName: "Zeral Office"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize A5/A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "12 12 583 830"
*ImageableArea A5/A5: "12 12 408 583"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension A5/A5: "420 595"
*OpenUI *InputSlot/Media Source: PickOne
*DefaultInputSlot: Upper
*InputSlot Upper/Upper Tray: ""
*InputSlot Lower/Lower Tray: ""
*CloseUI: *InputSlot
*OpenUI *Duplex/2-Sided Printing: PickOne
*DefaultDuplex: None
*Duplex None/Off: ""
*Duplex DuplexNoTumble/Long Edge: ""
*Duplex DuplexTumble/Short Edge: ""
*CloseUI: *Duplex
)PPD";

class PrintDialogOnQueues : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cups.running()) {
            GTEST_SKIP() << cups.failure().toStdString();
        }
        ASSERT_TRUE(cups.addQueue(QStringLiteral("escritorio"), kOfficePpd));
        ASSERT_TRUE(cups.addQueue(QStringLiteral("etiquetas")));
        ASSERT_TRUE(cups.setDefault(QStringLiteral("escritorio")));
        SharedPrinters().Refresh();
    }
    void TearDown() override {
        forgetAllProperties();
        SharedPrinters().Refresh();
    }

    std::unique_ptr<TqdxPrintDialog> open() {
        auto d = std::make_unique<TqdxPrintDialog>(report, dmNone);
        test::showActive(d.get());
        return d;
    }

    test::PrivateCupsd cups;
    TqdxReport report;
};

TEST_F(PrintDialogOnQueues, SwitchingPrinterChangesItsPlacePapersAndProperties) {
    auto d = open();
    ASSERT_EQ(d->PrintersCB->count(), 2);
    const int office = d->PrintersCB->findText(QStringLiteral("escritorio"));
    const int labels = d->PrintersCB->findText(QStringLiteral("etiquetas"));
    ASSERT_GE(office, 0);
    ASSERT_GE(labels, 0);
    EXPECT_EQ(d->PrintersCB->currentIndex(), office); // the system's default
    EXPECT_TRUE(d->PropButton->isEnabled());
    // The PPD's two papers (after "Padrão") against the standard table of a raw queue.
    d->PrintersCB->setCurrentIndex(labels);
    emit d->PrintersCB->activated(labels);
    EXPECT_EQ(SharedPrinters().CurrentPrinter()->Name(), QStringLiteral("etiquetas"));
    const int rawPapers = d->PagPageSizeCB->count();
    d->PrintersCB->setCurrentIndex(office);
    emit d->PrintersCB->activated(office);
    EXPECT_EQ(SharedPrinters().CurrentPrinter()->Name(), QStringLiteral("escritorio"));
    EXPECT_EQ(d->PagPageSizeCB->count(), 3);
    EXPECT_GT(rawPapers, 3);
    EXPECT_FALSE(d->WhereL1->text().isEmpty());
}

// "Propriedades..." shows the printer's own choices alone (no printer, pages or copies), driven
// by keys; what is accepted there is kept for the printer (its jobs carry it) and its
// two-sided choice shows in the print dialog.
TEST_F(PrintDialogOnQueues, PropertiesShowThePrintersOwnChoicesAndAreKept) {
    auto d = open();
    ASSERT_EQ(SharedPrinters().CurrentPrinter()->Name(), QStringLiteral("escritorio"));
    const int before = d->DuplexCB->currentIndex();

    // Picks entry `index` of the box named `name` with the arrow keys.
    const auto pick = [](QDialog& dialog, const char* name, int index) {
        auto* box = dialog.findChild<QComboBox*>(QLatin1String(name));
        ASSERT_NE(box, nullptr) << name;
        ASSERT_TRUE(test::tabTo(box)) << name;
        test::key(QApplication::focusWidget(), Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            test::key(QApplication::focusWidget(), Qt::Key_Down);
        }
    };
    QStringList seen;
    const auto answer = [&](bool accept) {
        test::whenModal<QDialog>([&, accept](QDialog& dialog) {
            seen.clear();
            for (QComboBox* box : dialog.findChildren<QComboBox*>()) {
                QStringList items;
                for (int i = 0; i < box->count(); ++i) {
                    items += box->itemText(i);
                }
                seen += box->objectName() + QLatin1Char('=') + items.join(QLatin1Char('|'));
            }
            EXPECT_TRUE(dialog.findChildren<QSpinBox*>().isEmpty()); // no copies
            pick(dialog, "sides", 2);
            pick(dialog, "bin", 2);
            test::key(QApplication::focusWidget(), accept ? Qt::Key_Return : Qt::Key_Escape);
        });
    };

    // Cancelled: nothing changes.
    answer(false);
    d->PropButton->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), d->PropButton);
    test::key(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible()); // the button never closes the dialog
    EXPECT_EQ(d->DuplexCB->currentIndex(), before);
    EXPECT_TRUE(rememberedProperties(QStringLiteral("escritorio")).isEmpty());
    // The PPD's papers, trays and sides; the other queue is not offered.
    EXPECT_EQ(seen,
              (QStringList{"paper=Padrão da impressora|A5|A4", "bin=Automática|Superior|Inferior",
                           "sides=Padrão da impressora|Só a frente|Frente e verso (borda "
                           "longa)|Frente e verso (borda curta)",
                           "resolution=Padrão da impressora|300 ppp"}))
        << seen.join(QLatin1Char('\n')).toStdString();

    // Accepted with two-sided printing on the long edge and the lower tray.
    answer(true);
    ASSERT_TRUE(test::showActive(d.get())); // back in the print dialog, on its button
    d->PropButton->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), d->PropButton);
    test::key(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    const PrinterProperties kept = rememberedProperties(QStringLiteral("escritorio"));
    EXPECT_EQ(kept.sides, QStringLiteral("two-sided-long-edge"));
    EXPECT_EQ(kept.mediaSource, QStringLiteral("bottom"));
    EXPECT_EQ(d->DuplexCB->currentIndex(), int(dmVertical));
}

// A queue with a driver that passes PDF to its printer as it comes: it makes copies itself.
const QByteArray kPdfPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral PDF"
*NickName: "Zeral PDF"
*cupsFilter: "application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "12 12 583 830"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*OpenUI *Duplex/2-Sided Printing: PickOne
*DefaultDuplex: None
*Duplex None/Off: ""
*Duplex DuplexNoTumble/Long Edge: ""
*CloseUI: *Duplex
)PPD";

// Ctrl+P in the preview, its print dialog answered by keys, sends the job `zeralconv print`
// sends with the same choices: the same pages in the same order, sides, paper and copies.
TEST_F(PrintDialogOnQueues, TheViewersPrintIsTheConvertersJob) {
    const QString queue = QStringLiteral("pdfq");
    ASSERT_TRUE(cups.addQueue(queue, kPdfPpd));
    SharedPrinters().Refresh();
    test::TempDir dir;
    const QString file = dir.path(QStringLiteral("r.QP3"));
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(tools::WritePreparedReport(file, options));
    TqdxReport shown;
    ASSERT_TRUE(shown.PreviewPages().LoadFromFile(file));
    TqdxPreviewForm form;
    pdf::TqdxPDFExport filter;
    form.Setup(shown, &filter);
    ASSERT_TRUE(test::showActive(&form));

    test::whenModal<TqdxPrintDialog>([&](TqdxPrintDialog& d) {
        ASSERT_TRUE(test::tabTo(d.PrintersCB));
        test::key(QApplication::focusWidget(), Qt::Key_Home);
        while (d.PrintersCB->currentText() != queue &&
               d.PrintersCB->currentIndex() + 1 < d.PrintersCB->count()) {
            test::key(QApplication::focusWidget(), Qt::Key_Down);
        }
        ASSERT_TRUE(test::tabTo(d.PageNumbersE));
        test::type(QApplication::focusWidget(), QStringLiteral("3,1"));
        ASSERT_TRUE(test::tabTo(d.CopiesE));
        test::key(QApplication::focusWidget(), Qt::Key_Up);
        ASSERT_TRUE(test::tabTo(d.DuplexCB));
        test::key(QApplication::focusWidget(), Qt::Key_Home);
        test::key(QApplication::focusWidget(), Qt::Key_Down); // "Frente e verso (borda longa)"
        test::key(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    const auto viewer = cups.nextJob(queue);
    ASSERT_TRUE(viewer.has_value());
    const auto attributes = [&] {
        QStringList list;
        for (const char* name : {"copies", "sides", "media", "multiple-document-handling"}) {
            list += QLatin1String(name) + QLatin1Char('=') + cups.newestJobAttribute(queue, name);
        }
        return list;
    };
    const QStringList viewerAttributes = attributes();

    QProcess conv;
    conv.start(QStringLiteral(ZR_BIN_DIR "/zeralconv"),
               {"print", "--printer", queue, "--pages", "3,1", "--copies", "2", "--sides",
                "two-sided-long-edge", file});
    ASSERT_TRUE(conv.waitForFinished(120000));
    ASSERT_EQ(conv.exitCode(), 0) << conv.readAllStandardError().constData();
    const auto converter = cups.nextJob(queue);
    ASSERT_TRUE(converter.has_value());
    EXPECT_EQ(viewerAttributes, attributes());
    // The queue makes the collated copies in both.
    EXPECT_EQ(viewerAttributes, (QStringList{"copies=2", "sides=two-sided-long-edge", "media=",
                                             "multiple-document-handling=separate-documents-"
                                             "collated-copies"}));
    const QStringList pages = test::popplerPageTexts(*viewer);
    EXPECT_EQ(pages, test::popplerPageTexts(*converter));
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Página 3"))) << pages[0].toStdString();
}

} // namespace
} // namespace zr::reportlib::preview
