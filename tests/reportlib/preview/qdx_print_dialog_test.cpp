#include "reportlib/preview/qdx_print_dialog.h"

#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_printer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "active_window.h"
#include "key_input.h"
#include "qp3_generator.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace zr::reportlib::preview {
namespace {

using test::key;
using test::type;

auto snapshot(const TqdxPrintOptions& o) {
    return std::make_tuple(o.Copies, o.Collate, o.PageNumbers, o.PrintMode, o.PrintOnSheet,
                           o.PrintPages, o.Reverse, o.Duplex);
}

void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

class PrintDialog : public ::testing::Test {
protected:
    void SetUp() override {
        // No print system: the virtual printer with the standard papers.
        qputenv("CUPS_SERVER", "/nonexistent/zr-test-cups.sock");
        report.PreviewPages().ViewedPage = 3;
    }
    void TearDown() override {
        TqdxPrintDialog::SetHooks(nullptr, nullptr);
        if (TqdxCustomPrinter* p = SharedPrinters().CurrentPrinter()) {
            p->SetOutputFile({});
        }
    }

    std::unique_ptr<TqdxPrintDialog> open(int duplex = dmNone) {
        auto d = std::make_unique<TqdxPrintDialog>(report, duplex);
        d->ShowError = [this](const QString& message) { errors.append(message); };
        test::showActive(d.get());
        return d;
    }

    TqdxReport report;
    QStringList errors;
};

TEST_F(PrintDialog, CaptionsComeFromTheStringTableAndNameTheControls) {
    TqdxPrintDialog d(report, dmNone);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Imprimir"));
    EXPECT_EQ(d.Label12->title(), QStringLiteral(" Impressora "));
    EXPECT_EQ(d.NameL->text(), QStringLiteral("Nome:"));
    EXPECT_EQ(d.PropButton->text(), QStringLiteral("Propriedades..."));
    EXPECT_EQ(d.WhereL->text(), QStringLiteral("Em:"));
    EXPECT_EQ(d.FileCB->text(), QStringLiteral("Imprimir para ficheiro"));
    EXPECT_EQ(d.Label1->title(), QStringLiteral(" Páginas "));
    EXPECT_EQ(d.CurPageRB->text(), QStringLiteral("Página actual"));
    EXPECT_EQ(d.DescrL->text(), QStringLiteral("Digite números de página e/ou intervalos, "
                                               "separados por vírgulas. Por exemplo, 1,3,5-12"));
    EXPECT_EQ(d.CopiesL->text(), QStringLiteral("Número de cópias"));
    EXPECT_EQ(d.CollateCB->text(), QStringLiteral("Agrupar"));
    EXPECT_EQ(d.OtherGB->title(), QStringLiteral("Outros"));
    EXPECT_EQ(d.PrintPagesCB->itemText(2), QStringLiteral("Páginas pares"));
    EXPECT_EQ(d.OrderCB->itemText(1), QStringLiteral("Inversa (9-1)"));
    EXPECT_EQ(d.DuplexL->text(), QStringLiteral("Duplex"));
    EXPECT_EQ(d.DuplexCB->itemText(3), QStringLiteral("Simples"));
    EXPECT_EQ(d.ScaleGB->title(), QStringLiteral("Modo de Impressão"));
    ASSERT_EQ(d.PrintModeCB->count(), 4);
    EXPECT_EQ(d.PrintModeCB->itemText(pmSplit), QStringLiteral("Separar pág. grandes"));
    EXPECT_EQ(d.PrintModeCB->itemText(pmScale), QStringLiteral("À Escala"));
    EXPECT_EQ(d.PagSizeL->text(), QStringLiteral("Imprimir em papel"));
    EXPECT_EQ(d.PagPageSizeCB->itemText(0), QStringLiteral("Padrão"));
    EXPECT_EQ(d.OkB->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.CancelB->text(), QStringLiteral("Cancelar"));
    for (QWidget* w : d.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
            qobject_cast<QGroupBox*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QSpinBox*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(d.PageNumbersE->accessibleName(), QStringLiteral("Páginas:"));

    // Defaults: the current printer, all pages, one collated copy, default mode without sheet.
    EXPECT_EQ(d.PrintersCB->currentText(), SharedPrinters().CurrentPrinter()->Name());
    EXPECT_TRUE(d.AllRB->isChecked());
    EXPECT_EQ(d.CopiesE->value(), 1);
    EXPECT_EQ(d.CopiesE->minimum(), 1);
    EXPECT_EQ(d.CopiesE->maximum(), 1000);
    EXPECT_TRUE(d.CollateCB->isChecked());
    EXPECT_EQ(d.PrintModeCB->currentIndex(), pmDefault);
    EXPECT_FALSE(d.PagPageSizeCB->isEnabled());
}

TEST_F(PrintDialog, ShowsTheReportsOptions) {
    TqdxPrintOptions& o = report.PrintOptions;
    o.Copies = 3;
    o.Collate = false;
    o.PageNumbers = "2-4";
    o.PrintPages = ppEven;
    o.Reverse = true;
    o.PrintMode = pmSplit;
    o.PrintOnSheet = 11; // A5
    TqdxPrintDialog d(report, dmHorizontal);
    EXPECT_EQ(d.CopiesE->value(), 3);
    EXPECT_FALSE(d.CollateCB->isChecked());
    EXPECT_TRUE(d.PageNumbersRB->isChecked());
    EXPECT_EQ(d.PageNumbersE->text(), QStringLiteral("2-4"));
    EXPECT_EQ(d.PrintPagesCB->currentIndex(), ppEven);
    EXPECT_EQ(d.OrderCB->currentIndex(), 1);
    EXPECT_EQ(d.DuplexCB->currentIndex(), dmHorizontal);
    EXPECT_EQ(d.PrintModeCB->currentIndex(), pmSplit);
    EXPECT_TRUE(d.PagPageSizeCB->isEnabled());
    EXPECT_EQ(d.PagPageSizeCB->currentData().toInt(), 11);

    // Values out of range are shown as the nearest sound ones.
    o.Copies = 0;
    o.PrintPages = 9;
    o.PrintMode = -4;
    TqdxPrintDialog e(report, 17);
    EXPECT_EQ(e.CopiesE->value(), 1);
    EXPECT_EQ(e.PrintPagesCB->currentIndex(), ppAll);
    EXPECT_EQ(e.PrintModeCB->currentIndex(), pmDefault);
    EXPECT_EQ(e.Duplex(), dmNone);
}

TEST_F(PrintDialog, PrintModeChoosesTheSheet) {
    TqdxPrintDialog d(report, dmNone);
    choose(d.PrintModeCB, pmSplit);
    EXPECT_TRUE(d.PagPageSizeCB->isEnabled());
    EXPECT_EQ(d.PagPageSizeCB->currentData().toInt(), 9); // A4 instead of "Padrão"
    const int a3 = d.PagPageSizeCB->findData(8);
    ASSERT_GT(a3, 0);
    d.PagPageSizeCB->setCurrentIndex(a3);
    choose(d.PrintModeCB, pmScale); // a sheet already chosen stays
    EXPECT_EQ(d.PagPageSizeCB->currentData().toInt(), 8);
    choose(d.PrintModeCB, pmDefault);
    EXPECT_EQ(d.PagPageSizeCB->currentIndex(), 0);
    EXPECT_FALSE(d.PagPageSizeCB->isEnabled());
}

TEST_F(PrintDialog, OkWritesTheOptionsAndTheDuplex) {
    TqdxPrintDialog::SetHooks(
        [](TqdxPrintDialog& d) {
            d.CopiesE->setValue(4);
            d.CollateCB->setChecked(false);
            d.CurPageRB->setChecked(true);
            d.PrintPagesCB->setCurrentIndex(ppOdd);
            d.OrderCB->setCurrentIndex(1);
            d.DuplexCB->setCurrentIndex(dmSimplex);
            choose(d.PrintModeCB, pmJoin);
            d.accept();
            return d.result();
        },
        nullptr);
    int duplex = dmNone;
    ASSERT_TRUE(TqdxPrintDialog::Execute(report, duplex));
    const TqdxPrintOptions& o = report.PrintOptions;
    EXPECT_EQ(duplex, dmSimplex);
    EXPECT_EQ(o.Copies, 4);
    EXPECT_FALSE(o.Collate);
    EXPECT_EQ(o.PageNumbers, QByteArray("3")); // the viewed page
    EXPECT_EQ(o.PrintPages, ppOdd);
    EXPECT_TRUE(o.Reverse);
    EXPECT_EQ(o.PrintMode, pmJoin);
    EXPECT_EQ(o.PrintOnSheet, 9);
    EXPECT_TRUE(SharedPrinters().CurrentPrinter()->OutputFile().isEmpty());

    // All pages write an empty range; the default mode's sheet is the printer's own (256).
    TqdxPrintDialog::SetHooks(
        [](TqdxPrintDialog& d) {
            d.AllRB->setChecked(true);
            choose(d.PrintModeCB, pmDefault);
            d.accept();
            return d.result();
        },
        nullptr);
    ASSERT_TRUE(TqdxPrintDialog::Execute(report, duplex));
    EXPECT_TRUE(o.PageNumbers.isEmpty());
    EXPECT_EQ(o.PrintOnSheet, kCustomPaper);
}

TEST_F(PrintDialog, PageRangeIsCheckedBeforeClosing) {
    tools::Qp3GeneratorOptions pages;
    pages.pages = 8;
    tools::BuildPreparedReport(report, pages);
    report.PrintOptions.PageNumbers = "7";
    const auto before = snapshot(report.PrintOptions);
    auto d = open();
    d->PageNumbersE->clear();
    d->AllRB->setChecked(true);
    d->PageNumbersE->setFocus();
    type(d->PageNumbersE, QStringLiteral("1,x3"));
    EXPECT_TRUE(d->PageNumbersRB->isChecked()); // typing chooses the range
    EXPECT_EQ(d->PageNumbersE->text(), QStringLiteral("1,3")); // letters never enter

    for (const char* bad : {"1-2-3", "-", "3-x", "5-2", "1,9-3", "9-"}) {
        d->PageNumbersE->setText(QString::fromLatin1(bad));
        d->OkB->click();
        EXPECT_TRUE(d->isVisible()) << bad;
        EXPECT_EQ(d->focusWidget(), d->PageNumbersE) << bad;
        EXPECT_EQ(snapshot(report.PrintOptions), before) << bad;
    }
    EXPECT_FALSE(errors.isEmpty());

    d->PageNumbersE->setText(QStringLiteral("1,3,5-12"));
    key(d->PageNumbersE, Qt::Key_Return); // the default button
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(report.PrintOptions.PageNumbers, QByteArray("1,3,5-12"));
}

TEST_F(PrintDialog, PrintToFileAsksForAPdfFileAndCancellingItCancels) {
    EXPECT_EQ(TqdxPrintDialog::PrinterFileName(QStringLiteral("/tmp/a/out.txt")),
              QStringLiteral("/tmp/a/out.pdf"));
    EXPECT_EQ(TqdxPrintDialog::PrinterFileName(QStringLiteral("/tmp/a.b/out")),
              QStringLiteral("/tmp/a.b/out.pdf"));
    EXPECT_EQ(TqdxPrintDialog::PrinterFileName(QString()), QString());

    QString caption;
    QString filter;
    auto d = open();
    d->FileCB->setChecked(true);
    d->CopiesE->setValue(2);
    d->SaveFile = [&](QWidget*, const QString& c, const QString& f) {
        caption = c;
        filter = f;
        return QStringLiteral("/tmp/zr/saida.ps");
    };
    d->OkB->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(caption, QStringLiteral("Imprimir para ficheiro"));
    EXPECT_TRUE(filter.contains(QStringLiteral("*.pdf")));
    EXPECT_EQ(SharedPrinters().CurrentPrinter()->OutputFile(), QStringLiteral("/tmp/zr/saida.pdf"));
    EXPECT_EQ(report.PrintOptions.Copies, 2);

    const auto before = snapshot(report.PrintOptions);
    auto e = open();
    e->FileCB->setChecked(true);
    e->CopiesE->setValue(9);
    e->SaveFile = [](QWidget*, const QString&, const QString&) { return QString(); };
    e->OkB->click();
    EXPECT_EQ(e->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(report.PrintOptions), before);
    EXPECT_TRUE(SharedPrinters().CurrentPrinter()->OutputFile().isEmpty());
}

TEST_F(PrintDialog, CancelByKeyboardLeavesTheOptionsAndPrinterUnchanged) {
    report.PrintOptions.Copies = 5;
    report.PrintOptions.PageNumbers = "2";
    const auto before = snapshot(report.PrintOptions);
    const int printer = SharedPrinters().PrinterIndex();
    auto change = [](TqdxPrintDialog& d) {
        d.CopiesE->setValue(8);
        d.AllRB->setChecked(true);
        d.OrderCB->setCurrentIndex(1);
        choose(d.PrintModeCB, pmScale);
    };

    auto d = open();
    change(*d);
    d->OkB->setFocus();
    key(d->focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(d->focusWidget(), d->CancelB);
    key(d->CancelB, Qt::Key_Return);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(report.PrintOptions), before);
    EXPECT_EQ(SharedPrinters().PrinterIndex(), printer);

    auto esc = open();
    change(*esc);
    esc->CopiesE->setFocus();
    key(esc->CopiesE, Qt::Key_Escape);
    EXPECT_EQ(esc->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(report.PrintOptions), before);

    int duplex = dmVertical;
    TqdxPrintDialog::SetHooks([](TqdxPrintDialog& dlg) {
        dlg.DuplexCB->setCurrentIndex(dmSimplex);
        dlg.reject();
        return dlg.result();
    }, nullptr);
    EXPECT_FALSE(TqdxPrintDialog::Execute(report, duplex));
    EXPECT_EQ(duplex, dmVertical);
}

} // namespace
} // namespace zr::reportlib::preview
