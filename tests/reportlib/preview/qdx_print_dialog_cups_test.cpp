// The print dialog on a print system with two queues: switching printers and the printer's own
// properties dialog behind "Propriedades...".

#include "reportlib/preview/qdx_print_dialog.h"

#include "platform/printing/printer_properties.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_printer.h"

#include "active_window.h"
#include "key_input.h"
#include "private_cupsd.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
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

    // Answers the system print dialog once it is up: `act` gets it, then it is accepted or
    // rejected.
    static void answerSystemDialog(std::function<void(QPrintDialog&)> act, bool accept) {
        QTimer::singleShot(50, [act = std::move(act), accept] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
            accept ? dialog->accept() : dialog->reject();
        });
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

TEST_F(PrintDialogOnQueues, PropertiesGiveTheDuplexAndAreKeptForThePrinter) {
    auto d = open();
    ASSERT_EQ(SharedPrinters().CurrentPrinter()->Name(), QStringLiteral("escritorio"));
    const int before = d->DuplexCB->currentIndex();

    // Cancelled: nothing changes.
    answerSystemDialog([](QPrintDialog& dialog) { dialog.printer()->setDuplex(QPrinter::DuplexLongSide); },
                       false);
    d->PropButton->setFocus();
    test::key(d->PropButton, Qt::Key_Return);
    EXPECT_TRUE(d->isVisible()); // the button never closes the dialog
    EXPECT_EQ(d->DuplexCB->currentIndex(), before);
    EXPECT_TRUE(rememberedProperties(QStringLiteral("escritorio")).isEmpty());

    // Accepted with two-sided printing on the long edge: the dialog shows "Vertical".
    answerSystemDialog(
        [](QPrintDialog& dialog) {
            for (QRadioButton* b : dialog.findChildren<QRadioButton*>(QStringLiteral("duplexLong"))) {
                b->setChecked(true);
            }
        },
        true);
    test::key(d->PropButton, Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(rememberedProperties(QStringLiteral("escritorio")).sides,
              QStringLiteral("two-sided-long-edge"));
    EXPECT_EQ(d->DuplexCB->currentIndex(), int(dmVertical));
}

} // namespace
} // namespace zr::reportlib::preview
