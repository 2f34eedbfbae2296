#include "textreport/ui/setup_dialog.h"

#include "accessible_names.h"
#include "active_window.h"
#include "key_input.h"
#include "recording_interaction.h"
#include "textreport/gravana.h"
#include "textreport/ui/draw_transparent.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace zr::textreport::ui {
namespace {

using test::RecordingInteraction;

// Three printers; the current one is the first until the dialog makes another one current.
struct FakePrinters {
    QStringList names{QStringLiteral("Xerox PCL 6"), QStringLiteral("EPSON LX-300"),
                      QStringLiteral("Caixa")};
    std::map<QString, QString> ports{{QStringLiteral("Xerox PCL 6"), QStringLiteral("usb://Xerox")},
                                     {QStringLiteral("EPSON LX-300"), QStringLiteral("LPT1")},
                                     {QStringLiteral("Caixa"), QStringLiteral("socket://caixa")}};
    QString current = QStringLiteral("Xerox PCL 6");
    QStringList madeCurrent;
    QString chosenInProperties; // what the properties dialog returns; empty keeps the printer
    int propertiesRuns = 0;

    PrinterSource source() {
        PrinterSource s;
        s.names = [this] { return names; };
        s.current = [this] { return CurrentPrinter{current, ports[current]}; };
        s.makeCurrent = [this](const QString& name) {
            madeCurrent.append(name);
            current = name;
        };
        s.properties = [this](QWidget*, const QString& name) {
            ++propertiesRuns;
            return chosenInProperties.isEmpty() ? name : chosenInProperties;
        };
        return s;
    }
};

class SetupDialog : public ::testing::Test {
protected:
    SetupDialog() {
        g.PortaComunicacao = QStringLiteral("LPT2"); // opening never asks the print system
        g.setupHook = [this](TGravana& c) {
            return runSetupDialog(c, nullptr, printers.source(), [this](TDFMsetup& d) {
                ++shown;
                d.show();
                if (drive) {
                    drive(d);
                }
                return d.result();
            });
        };
    }

    std::unique_ptr<TDFMsetup> open() {
        auto d = std::make_unique<TDFMsetup>(g, printers.source());
        d->show();
        return d;
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    FakePrinters printers;
    std::function<void(TDFMsetup&)> drive; // what the user does in the dialog Setup shows
    int shown = 0;
};

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) {
        out.append(box->itemText(i));
    }
    return out;
}

void leave(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(w, &out);
}

TEST_F(SetupDialog, OpensWithTheComponentsSettingsAndJobOptions) {
    g.ImpressoraPersonalizada.NomeImpressora = "Fiscal do A\xE7ougue"; // code page 1252
    g.CaptionSetup = QStringLiteral("Imprimir vendas");
    g.OpcoesPreview.Preview = true;
    ASSERT_TRUE(g.Abrir());
    g.state().job.copias = 3;
    g.state().job.agrupar = false;
    g.state().job.inverter = true;
    g.state().job.parImpar = 2;
    TDFMsetup d(g, printers.source());

    EXPECT_EQ(d.windowTitle(), QStringLiteral("Imprimir vendas"));
    EXPECT_EQ(items(d.IMPRESSORAS), printers.names);
    EXPECT_EQ(d.IMPRESSORAS->currentText(), QStringLiteral("Xerox PCL 6"));
    EXPECT_EQ(
        items(d.MODELOS),
        (QStringList{QStringLiteral("Epson - Matriciais e compatíveis"),
                     QStringLiteral("Rima / Emilia"), QStringLiteral("HP Deskjet/Laser (PCL 3)"),
                     QStringLiteral("Gráfico (impressora do sistema)"),
                     QStringLiteral("Fiscal do Açougue"), QStringLiteral("Bobina / Cupom")}));
    EXPECT_EQ(d.edCOPIAS->text(), QStringLiteral("3"));
    EXPECT_TRUE(d.chkTodas->isChecked());
    EXPECT_FALSE(d.EdPaginas->isEnabled());
    EXPECT_FALSE(d.chkAgrupar->isChecked());
    EXPECT_TRUE(d.chkInverter->isChecked());
    EXPECT_EQ(d.EdParImpar->currentText(), QStringLiteral("Páginas pares"));
    EXPECT_TRUE(d.chkPreview->isChecked());
    EXPECT_TRUE(d.chkPreview->isEnabled());
    EXPECT_EQ(d.palette().color(QPalette::Window), g.CorForm);
}

TEST_F(SetupDialog, ChoosesTheModelFromThePrinterNameWhenShownChangedOrLeft) {
    g.Impressora = TModelo::Bobina;
    TDFMsetup d(g, printers.source());
    EXPECT_EQ(d.MODELOS->currentText(), QStringLiteral("Bobina / Cupom"));
    d.show();
    EXPECT_EQ(d.MODELOS->currentText(), QStringLiteral("HP Deskjet/Laser (PCL 3)"));

    d.IMPRESSORAS->setCurrentText(QStringLiteral("EPSON LX-300"));
    EXPECT_EQ(d.MODELOS->currentText(), QStringLiteral("Epson - Matriciais e compatíveis"));

    // The user may pick another model; opening the printer list's drop-down keeps it, leaving
    // the list chooses anew.
    d.MODELOS->setCurrentIndex(int(TModelo::Rima));
    leave(d.IMPRESSORAS, Qt::PopupFocusReason);
    leave(d.IMPRESSORAS, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(d.MODELOS->currentText(), QStringLiteral("Rima / Emilia"));
    leave(d.IMPRESSORAS);
    EXPECT_EQ(d.MODELOS->currentText(), QStringLiteral("Epson - Matriciais e compatíveis"));
}

TEST_F(SetupDialog, UsesTheComponentsMappingTableWithoutChangingTheComponent) {
    g.Mapeamento = {QStringLiteral("// caixa da loja"), QStringLiteral("caixa=bobina")};
    g.Impressora = TModelo::Rima;
    printers.current = QStringLiteral("Caixa");
    auto d = open();
    EXPECT_EQ(d->MODELOS->currentText(), QStringLiteral("Bobina / Cupom"));
    d->IMPRESSORAS->setCurrentText(QStringLiteral("EPSON LX-300")); // no line matches
    EXPECT_EQ(d->MODELOS->currentText(), QStringLiteral("Gráfico (impressora do sistema)"));
    // Only "&Ok" writes the model.
    EXPECT_EQ(g.Impressora, TModelo::Rima);
}

TEST_F(SetupDialog, PageFieldTakesOnlyDigitsCommasAndHyphens) {
    auto d = open();
    d->chkSelecao->click();
    EXPECT_TRUE(d->EdPaginas->isEnabled());

    QTest::keyClicks(d->EdPaginas, QStringLiteral("1.3;5-7"));
    EXPECT_EQ(d->EdPaginas->text(), QStringLiteral("1,3,5-7"));

    QTest::keyClicks(d->EdPaginas, QStringLiteral(" a/9"));
    EXPECT_EQ(d->EdPaginas->text(), QStringLiteral("1,3,5-79"));
    QTest::keyClick(d->EdPaginas, Qt::Key_Backspace);
    QTest::keyClick(d->EdPaginas, Qt::Key_Left);
    QTest::keyClicks(d->EdPaginas, QStringLiteral("0"));
    EXPECT_EQ(d->EdPaginas->text(), QStringLiteral("1,3,5-07"));

    // Pasted text is cleaned the same way, around the cursor.
    d->EdPaginas->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("Páginas 2; 4.6 a 9"));
    QTest::keyClick(d->EdPaginas, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(d->EdPaginas->text(), QStringLiteral("2,4,69"));
    d->EdPaginas->setCursorPosition(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("x-5"));
    d->EdPaginas->paste();
    EXPECT_EQ(d->EdPaginas->text(), QStringLiteral("2-5,4,69"));
    EXPECT_EQ(d->EdPaginas->cursorPosition(), 3);
}

TEST_F(SetupDialog, EnterAndEscapeInTheFieldsStillPressTheButtons) {
    ASSERT_TRUE(g.Abrir());
    drive = [](TDFMsetup& d) {
        d.chkSelecao->click();
        QTest::keyClicks(d.EdPaginas, QStringLiteral("1"));
        QTest::keyClick(d.EdPaginas, Qt::Key_Return);
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_EQ(g.state().job.faixa, QByteArray("1"));

    g.state().previewAtivo = true; // so that cancelling keeps the report
    drive = [](TDFMsetup& d) { QTest::keyClick(d.UpDown1, Qt::Key_Escape); };
    EXPECT_FALSE(g.Setup());
    drive = [](TDFMsetup& d) {
        d.chkSelecao->click();
        QTest::keyClick(d.EdPaginas, Qt::Key_Escape);
    };
    EXPECT_FALSE(g.Setup());
    EXPECT_EQ(shown, 3);
}

TEST_F(SetupDialog, PageChoiceEnablesThePageFieldOnlyForTypedPages) {
    auto d = open();
    d->chkSelecao->click();
    EXPECT_TRUE(d->EdPaginas->isEnabled());
    d->chkAtual->click();
    EXPECT_FALSE(d->EdPaginas->isEnabled());
    d->chkSelecao->click();
    d->chkTodas->click();
    EXPECT_FALSE(d->EdPaginas->isEnabled());
}

TEST_F(SetupDialog, ARangeAlreadySetShowsWithNoChoiceAndOkKeepsIt) {
    ASSERT_TRUE(g.Abrir());
    g.state().job.faixa = "2-4, 9"; // as a program may set it
    drive = [](TDFMsetup& d) {
        EXPECT_EQ(d.EdPaginas->text(), QStringLiteral("2-4, 9"));
        EXPECT_FALSE(d.chkTodas->isChecked());
        EXPECT_FALSE(d.chkAtual->isChecked());
        EXPECT_FALSE(d.chkSelecao->isChecked());
        d.OK->click();
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_EQ(g.state().job.faixa, QByteArray("2-4, 9"));
}

TEST_F(SetupDialog, OkWithAllPagesEmptiesTheRangeAndCurrentPagePrintsTheShownPage) {
    ASSERT_TRUE(g.Abrir());
    g.state().job.faixa = "3-5";
    drive = [](TDFMsetup& d) {
        d.chkTodas->click();
        d.OK->click();
        EXPECT_TRUE(d.EdPaginas->text().isEmpty());
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_TRUE(g.state().job.faixa.isEmpty());

    // The preview shows page 4: the preview check box cannot change, "Página &Atual" is 4.
    g.state().previewAtivo = true;
    g.state().paginaAtual = 4;
    drive = [](TDFMsetup& d) {
        EXPECT_FALSE(d.chkPreview->isEnabled());
        d.chkAtual->click();
        d.OK->click();
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_EQ(g.state().job.faixa, QByteArray("4"));
}

TEST_F(SetupDialog, OkWritesEveryChoiceIntoTheComponent) {
    ASSERT_TRUE(g.Abrir());
    drive = [](TDFMsetup& d) {
        d.IMPRESSORAS->setCurrentText(QStringLiteral("EPSON LX-300"));
        d.MODELOS->setCurrentIndex(int(TModelo::Personalizado)); // by hand, after the printer
        d.chkSelecao->click();
        QTest::keyClicks(d.EdPaginas, QStringLiteral("1;3-5"));
        d.EdParImpar->setCurrentIndex(1);
        d.edCOPIAS->setText(QStringLiteral("7"));
        d.chkAgrupar->setChecked(false);
        d.chkInverter->setChecked(true);
        d.chkPreview->setChecked(true);
        d.OK->click();
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_EQ(printers.madeCurrent, QStringList{QStringLiteral("EPSON LX-300")});
    EXPECT_EQ(g.PortaComunicacao, QStringLiteral("LPT1")); // the port of the now current printer
    EXPECT_EQ(g.Impressora, TModelo::Personalizado);
    const JobOptions& job = g.state().job;
    EXPECT_EQ(job.faixa, QByteArray("1,3-5"));
    EXPECT_EQ(job.parImpar, 1);
    EXPECT_EQ(job.copias, 7);
    EXPECT_FALSE(job.agrupar);
    EXPECT_TRUE(job.inverter);
    EXPECT_TRUE(g.OpcoesPreview.Preview);
}

TEST_F(SetupDialog, CopiesFieldTakesUpToFourDigitsAndAnEmptyOrZeroCountIsOneCopy) {
    ASSERT_TRUE(g.Abrir());
    auto d = open();
    d->edCOPIAS->clear();
    QTest::keyClicks(d->UpDown1, QStringLiteral("1x2.34 5"));
    EXPECT_EQ(d->edCOPIAS->text(), QStringLiteral("1234"));

    // The arrows stay within 1 ... 50.
    d->edCOPIAS->setText(QStringLiteral("49"));
    d->UpDown1->stepUp();
    d->UpDown1->stepUp();
    EXPECT_EQ(d->edCOPIAS->text(), QStringLiteral("50"));
    d->edCOPIAS->setText(QStringLiteral("2"));
    d->UpDown1->stepDown();
    d->UpDown1->stepDown();
    EXPECT_EQ(d->edCOPIAS->text(), QStringLiteral("1"));

    for (const QString& typed : {QString(), QStringLiteral("0")}) {
        d->edCOPIAS->setText(typed);
        d->applyChoices();
        EXPECT_EQ(g.state().job.copias, 1) << typed.toStdString();
    }
}

TEST_F(SetupDialog, PropertiesNeverCloseTheDialogAndSelectThePrinterChosenThere) {
    auto d = open();
    printers.chosenInProperties = QStringLiteral("EPSON LX-300");
    d->BitBtn1->click();
    EXPECT_EQ(printers.propertiesRuns, 1);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->result(), 0);
    EXPECT_EQ(d->IMPRESSORAS->currentText(), QStringLiteral("EPSON LX-300"));
    EXPECT_EQ(d->MODELOS->currentText(), QStringLiteral("Epson - Matriciais e compatíveis"));

    // Cancelled there: the same printer, its model chosen anew.
    printers.chosenInProperties.clear();
    d->MODELOS->setCurrentIndex(int(TModelo::HP));
    d->BitBtn1->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->IMPRESSORAS->currentText(), QStringLiteral("EPSON LX-300"));
    EXPECT_EQ(d->MODELOS->currentText(), QStringLiteral("Epson - Matriciais e compatíveis"));
    EXPECT_TRUE(printers.madeCurrent.isEmpty());
}

TEST_F(SetupDialog, EnterOnAFocusedButtonPressesThatButtonAndNotOk) {
    ASSERT_TRUE(g.Abrir());
    g.state().previewAtivo = true; // so that cancelling keeps the report

    // Tab from "&Ok" to "&Cancelar", then Enter: cancelled, nothing printed or made current.
    drive = [](TDFMsetup& d) {
        ASSERT_TRUE(test::showActive(&d));
        test::focusByTab(d.OK);
        test::key(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), d.CANCELAR);
        test::key(d.CANCELAR, Qt::Key_Return);
    };
    EXPECT_FALSE(g.Setup());
    EXPECT_TRUE(printers.madeCurrent.isEmpty());

    // Enter (either key) on "&Propriedades...": the printer's dialog, and this one stays open.
    // Moving on to a field gives Enter back to "&Ok".
    printers.chosenInProperties = QStringLiteral("EPSON LX-300");
    bool stayedOpen = false;
    drive = [&](TDFMsetup& d) {
        ASSERT_TRUE(test::showActive(&d));
        test::focusByTab(d.IMPRESSORAS);
        test::key(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), d.BitBtn1);
        test::key(d.BitBtn1, Qt::Key_Return);
        test::key(d.BitBtn1, Qt::Key_Enter, {}, Qt::KeypadModifier);
        stayedOpen = d.isVisible() && d.result() == 0;
        EXPECT_EQ(d.IMPRESSORAS->currentText(), QStringLiteral("EPSON LX-300"));
        test::focusByTab(d.chkAgrupar);
        test::key(d.chkAgrupar, Qt::Key_Return);
    };
    EXPECT_TRUE(g.Setup());
    EXPECT_EQ(printers.propertiesRuns, 2);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(printers.madeCurrent, QStringList{QStringLiteral("EPSON LX-300")});
    EXPECT_EQ(shown, 2);
}

TEST_F(SetupDialog, ScreenReadersFindANameForEveryControl) {
    auto d = open();
    EXPECT_EQ(test::namelessControls(d.get()), "");
    EXPECT_GE(test::countedControls(d.get()), 14);
    QAccessibleInterface* properties = QAccessible::queryAccessibleInterface(d->BitBtn1);
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->text(QAccessible::Name), QStringLiteral("Propriedades..."));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d->UpDown1)->text(QAccessible::Name),
              QStringLiteral("Número de Cópias"));
    // On this platform a list is named by its current entry and labelled by its caption.
    const auto labels =
        QAccessible::queryAccessibleInterface(d->IMPRESSORAS)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front().first->text(QAccessible::Name), QStringLiteral("Impressora:"));
}

TEST_F(SetupDialog, ClosesOnlyThroughItsButtonsAndEscapeIsCancel) {
    auto d = open();
    EXPECT_FALSE(d->close());
    QCloseEvent close;
    QApplication::sendEvent(d.get(), &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(d->isVisible());

    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_TRUE(printers.madeCurrent.isEmpty());
}

TEST_F(SetupDialog, CancelOutsideThePreviewAbandonsTheReport) {
    ASSERT_TRUE(g.Abrir());
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    drive = [](TDFMsetup& d) { d.CANCELAR->click(); };
    EXPECT_FALSE(g.Setup());
    EXPECT_TRUE(g.state().abortado);
    EXPECT_FALSE(g.state().aberto);
    EXPECT_EQ(cancels, 1);
}

TEST_F(SetupDialog, CancelFromThePreviewKeepsTheReportAndEveryOption) {
    ASSERT_TRUE(g.Abrir());
    g.state().previewAtivo = true;
    g.state().job.faixa = "2";
    g.Impressora = TModelo::Rima;
    const QString port = g.PortaComunicacao;
    drive = [](TDFMsetup& d) {
        d.IMPRESSORAS->setCurrentText(QStringLiteral("EPSON LX-300"));
        d.chkTodas->click();
        d.edCOPIAS->setText(QStringLiteral("9"));
        d.chkPreview->setChecked(true);
        QTest::keyClick(&d, Qt::Key_Escape);
    };
    EXPECT_FALSE(g.Setup());
    EXPECT_TRUE(g.state().aberto);
    EXPECT_FALSE(g.state().abortado);
    EXPECT_EQ(g.state().job.faixa, QByteArray("2"));
    EXPECT_EQ(g.state().job.copias, 1);
    EXPECT_EQ(g.Impressora, TModelo::Rima);
    EXPECT_EQ(g.PortaComunicacao, port);
    EXPECT_FALSE(g.OpcoesPreview.Preview);
    EXPECT_TRUE(printers.madeCurrent.isEmpty());
}

TEST_F(SetupDialog, WithNoReportOpenReportsErro05AndShowsNothing) {
    EXPECT_FALSE(g.Setup());
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Erro #05 - (SETUP) Relatório não foi aberto..."));
}

TEST_F(SetupDialog, PageOrderPictureFollowsCollationAndOrder) {
    g.CorForm = QColor(255, 255, 200);
    auto d = open();
    const struct {
        bool collate;
        bool reverse;
        const char* picture;
    } cases[] = {{true, false, "img123123"},
                 {false, false, "img112233"},
                 {true, true, "img321321"},
                 {false, true, "img332211"}};
    for (const auto& c : cases) {
        d->chkAgrupar->setChecked(c.collate);
        d->chkInverter->setChecked(c.reverse);
        const QImage drawn = d->Imagem3->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture(
            QStringLiteral(":/textreport_ui/dialogs/%1.png").arg(QLatin1String(c.picture)));
        QImage expected(drawn.size(), QImage::Format_RGB32);
        expected.fill(g.CorForm);
        {
            QPainter p(&expected);
            DesenharTransparente(p, 0, 0, picture);
        }
        EXPECT_EQ(drawn, expected) << c.picture;
        EXPECT_EQ(drawn.pixel(0, drawn.height() - 1), g.CorForm.rgb()) << c.picture;
    }
}

} // namespace
} // namespace zr::textreport::ui
