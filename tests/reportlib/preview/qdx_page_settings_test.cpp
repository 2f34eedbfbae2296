#include "reportlib/preview/qdx_page_settings.h"

#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_printer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "key_input.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

namespace zr::reportlib::preview {
namespace {

using test::key;
using test::type;

auto snapshot(const TqdxReportPage& p) {
    return std::make_tuple(p.PaperSize(), p.PaperWidth(), p.PaperHeight(), p.Orientation(),
                           p.LeftMargin, p.TopMargin, p.RightMargin, p.BottomMargin);
}

// "29.70" with the system's decimal separator.
QString dec(const char* shown) {
    return QString::fromLatin1(shown).replace(u'.', QLocale::system().decimalPoint());
}

class PageSettings : public ::testing::Test {
protected:
    void SetUp() override {
        // No print system: the virtual printer with the standard papers.
        qputenv("CUPS_SERVER", "/nonexistent/zr-test-cups.sock");
        ASSERT_TRUE(dir.isValid());
        report.IniFile = dir.filePath(QStringLiteral("settings.ini")).toLocal8Bit();
        page.LeftMargin = page.RightMargin = page.TopMargin = page.BottomMargin = 10;
    }

    std::unique_ptr<TqdxPageSettingsForm> open() {
        auto f = std::make_unique<TqdxPageSettingsForm>(page, &report);
        f->ShowError = [this](const QString& message) { errors.append(message); };
        f->show();
        f->activateWindow();
        QElapsedTimer waited;
        waited.start();
        while (!f->isActiveWindow() && waited.elapsed() < 2000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return f;
    }

    QTemporaryDir dir;
    TqdxReport report;
    TqdxReportPage page; // A4 portrait
    QStringList errors;
};

TEST_F(PageSettings, CaptionsUnitsAndValuesInCentimetres) {
    TqdxPageSettingsForm f(page, &report);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Configuração da Página"));
    EXPECT_EQ(f.SizeL->title(), QStringLiteral(" Tamanho "));
    EXPECT_EQ(f.WidthL->text(), QStringLiteral("Largura"));
    EXPECT_EQ(f.HeightL->text(), QStringLiteral("Altura"));
    EXPECT_EQ(f.OrientationL->title(), QStringLiteral(" Orientação "));
    EXPECT_EQ(f.LandscapeRB->text(), QStringLiteral("Paisagem"));
    EXPECT_EQ(f.MarginsL->title(), QStringLiteral(" Margens "));
    EXPECT_EQ(f.BottomL->text(), QStringLiteral("Inferior"));
    EXPECT_EQ(f.OtherL->title(), QStringLiteral(" Acção "));
    EXPECT_EQ(f.ApplyToCurRB->text(), QStringLiteral("Aplicar à página actual"));
    EXPECT_EQ(f.ApplyToAllRB->text(), QStringLiteral("Aplicar a todas as páginas"));
    EXPECT_EQ(f.OKB->text(), QStringLiteral("OK"));
    EXPECT_EQ(f.CancelB->text(), QStringLiteral("Cancelar"));
    for (QLabel* unit : {f.UnitL1, f.UnitL2, f.UnitL3, f.UnitL4, f.UnitL5, f.UnitL6}) {
        EXPECT_EQ(unit->text(), QStringLiteral("cm"));
    }
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
            qobject_cast<QGroupBox*>(w) || qobject_cast<QComboBox*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(f.MarginLeftE->accessibleName(), QStringLiteral("Esquerda cm"));

    EXPECT_EQ(f.SizeCB->itemText(0), QStringLiteral("Personalizado"));
    EXPECT_EQ(f.SizeCB->currentData().toInt(), 9);
    EXPECT_EQ(f.WidthE->text(), QStringLiteral("21"));
    EXPECT_EQ(f.HeightE->text(), dec("29.70"));
    EXPECT_EQ(f.MarginTopE->text(), QStringLiteral("1"));
    EXPECT_TRUE(f.PortraitRB->isChecked());
    EXPECT_TRUE(f.ApplyToCurRB->isChecked());
    EXPECT_FALSE(f.ApplyToAll());
}

TEST_F(PageSettings, DisplayUnitComesFromTheSettingsStore) {
    EXPECT_EQ(ReadDisplayUnitSetting(&report), 0);
    WriteDisplayUnitSetting(&report, 1);
    EXPECT_EQ(ReadDisplayUnitSetting(&report), 1);
    {
        TqdxPageSettingsForm f(page, &report);
        EXPECT_EQ(f.Unit(), duInches);
        EXPECT_EQ(f.WidthE->text(), dec("8.27"));
        EXPECT_EQ(f.UnitL6->text(), QStringLiteral("pol"));
    }
    // The designer's pixel and character units, and unknown ones, show centimetres: showing
    // zeros would write zeros back into the page.
    for (int stored : {2, 3, 7, -1}) {
        WriteDisplayUnitSetting(&report, stored);
        TqdxPageSettingsForm f(page, &report);
        EXPECT_EQ(f.Unit(), duCentimetres) << stored;
        EXPECT_EQ(f.WidthE->text(), QStringLiteral("21")) << stored;
    }
    EXPECT_EQ(ReadDisplayUnitSetting(nullptr), 0);
}

TEST_F(PageSettings, NumberTextAndUnitConversions) {
    EXPECT_EQ(FormatLength(21), QStringLiteral("21"));
    EXPECT_EQ(FormatLength(0.5), dec("0.50"));
    EXPECT_EQ(FormatLength(8.267716), dec("8.27"));
    EXPECT_EQ(FormatLength(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(*ParseLength(QStringLiteral("1,5")), 1.5);
    EXPECT_DOUBLE_EQ(*ParseLength(QStringLiteral(" 2 . 25 ")), 2.25);
    EXPECT_FALSE(ParseLength(QStringLiteral("")));
    EXPECT_FALSE(ParseLength(QStringLiteral("abc")));
    EXPECT_FALSE(ParseLength(QStringLiteral("1e999")));
    EXPECT_FALSE(ParseLength(QStringLiteral("nan")));
    EXPECT_DOUBLE_EQ(UnitToMm(MmToUnit(210, duInches), duInches), 210);
    EXPECT_DOUBLE_EQ(UnitToMm(2.97, duCentimetres), 29.7);
    EXPECT_DOUBLE_EQ(MmToUnit(25.4, duInches), 1);
}

TEST_F(PageSettings, TypingASizeChoosesCustomAndTurningExchangesIt) {
    auto f = open();
    f->WidthE->setFocus();
    f->WidthE->selectAll();
    type(f->WidthE, QStringLiteral("15,5"));
    EXPECT_EQ(f->SizeCB->currentData().toInt(), kCustomPaper);
    EXPECT_EQ(f->WidthE->text(), QStringLiteral("15,5"));

    f->LandscapeRB->click();
    EXPECT_TRUE(f->LandscapeImg->isVisibleTo(f.get()));
    EXPECT_FALSE(f->PortraitImg->isVisibleTo(f.get()));
    EXPECT_EQ(f->WidthE->text(), dec("29.70"));
    EXPECT_EQ(f->HeightE->text(), dec("15.50"));

    // Choosing a standard paper shows its size in the chosen orientation.
    const int a5 = f->SizeCB->findData(11);
    ASSERT_GT(a5, 0);
    f->SizeCB->setCurrentIndex(a5);
    emit f->SizeCB->activated(a5);
    EXPECT_EQ(f->WidthE->text(), QStringLiteral("21"));
    EXPECT_EQ(f->HeightE->text(), dec("14.80"));

    key(f->CancelB, Qt::Key_Escape);
    EXPECT_EQ(f->result(), QDialog::Rejected);
}

TEST_F(PageSettings, OkWritesThePageFromTheTableForAStandardPaper) {
    auto f = open();
    f->LandscapeRB->click();
    f->MarginLeftE->setText(QStringLiteral("2,5"));
    f->ApplyToAllRB->click();
    f->OKB->click();
    EXPECT_EQ(f->result(), QDialog::Accepted);
    EXPECT_TRUE(f->ApplyToAll());
    EXPECT_EQ(page.Orientation(), poLandscape);
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 297);
    EXPECT_DOUBLE_EQ(page.PaperHeight(), 210);
    EXPECT_DOUBLE_EQ(page.LeftMargin, 25);
    EXPECT_DOUBLE_EQ(page.TopMargin, 10);

    // A size of the user's is stored as typed, with the custom code.
    TqdxReportPage custom;
    TqdxPageSettingsForm g(custom, &report);
    g.WidthE->setText(QStringLiteral("10"));
    g.HeightE->setText(QStringLiteral("12.5"));
    g.SizeCB->setCurrentIndex(0);
    g.accept();
    EXPECT_EQ(custom.PaperSize(), kCustomPaper);
    EXPECT_DOUBLE_EQ(custom.PaperWidth(), 100);
    EXPECT_DOUBLE_EQ(custom.PaperHeight(), 125);
}

TEST_F(PageSettings, BadLengthsAreRefusedWithThePageUntouched) {
    const auto before = snapshot(page);
    auto f = open();
    f->LandscapeRB->click();
    for (const char* bad : {"", "x", "0", "-3", "99999"}) {
        f->HeightE->setText(QString::fromLatin1(bad));
        f->OKB->click();
        EXPECT_TRUE(f->isVisible()) << bad;
        EXPECT_EQ(f->focusWidget(), f->HeightE) << bad;
        EXPECT_EQ(snapshot(page), before) << bad;
    }
    EXPECT_EQ(errors.size(), 5);
    f->HeightE->setText(QStringLiteral("20"));
    f->MarginRightE->setText(QStringLiteral("-1"));
    f->OKB->click();
    EXPECT_EQ(f->focusWidget(), f->MarginRightE);
    EXPECT_EQ(snapshot(page), before);
}

TEST_F(PageSettings, CancelByKeyboardLeavesThePageUnchanged) {
    const auto before = snapshot(page);
    auto change = [](TqdxPageSettingsForm& f) {
        f.LandscapeRB->click();
        f.MarginTopE->setText(QStringLiteral("3"));
    };
    auto f = open();
    change(*f);
    f->OKB->setFocus();
    key(f->focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(f->focusWidget(), f->CancelB);
    key(f->CancelB, Qt::Key_Return);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(page), before);

    auto esc = open();
    change(*esc);
    esc->MarginTopE->setFocus();
    key(esc->MarginTopE, Qt::Key_Escape);
    EXPECT_EQ(esc->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(page), before);

    // Enter in an edit presses OK.
    auto enter = open();
    enter->MarginTopE->setFocus();
    key(enter->MarginTopE, Qt::Key_Enter);
    EXPECT_EQ(enter->result(), QDialog::Accepted);
}

} // namespace
} // namespace zr::reportlib::preview
