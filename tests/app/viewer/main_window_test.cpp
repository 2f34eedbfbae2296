#include "app/viewer/main_window.h"
#include "platform/files/report_folder.h"
#include "platform/interaction/interaction.h"
#include "qp3_generator.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "support/accessible_names.h"
#include "support/active_window.h"
#include "support/modal_keys.h"
#include "support/recording_interaction.h"
#include "support/temp_dir.h"
#include "textreport/gravana.h"
#include "textreport/ui/preview_window.h"
#include "textreport/ui/setup_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

namespace zr::app {
namespace {

using textreport::TGravana;

// Records questions with their captions and answers them from a script (No when it runs out,
// so a stray close never ends a test window).
class ScriptedInteraction final : public Interaction {
public:
    struct Question {
        QString text;
        QString caption;
    };
    void message(MessageKind, const QString& text, const QString&) override {
        messages.push_back(text);
    }
    bool confirm(const QString& text, const QString& caption) override {
        questions.push_back({text, caption});
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::unique_ptr<Progress> beginProgress(const ProgressInfo&) override {
        return std::make_unique<SilentProgress>();
    }

    std::vector<QString> messages;
    std::vector<Question> questions;
    std::deque<bool> answers;
};

QStringList captions(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions()) {
        // As shown: without the marks of the underlined letters.
        out.append(a->isSeparator() ? QStringLiteral("-") : QString(a->text()).remove(u'&'));
    }
    return out;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // The preview is modal: tests look at what it would show instead.
        frm.Gravana().previewHook = [this](TGravana& g) {
            ++previews;
            shownItems.clear();
            if (const auto* store = g.store()) {
                for (qsizetype i = 0; i < store->size(); ++i) {
                    shownItems.emplace_back(store->item(i).toByteArray());
                }
            }
        };
        frm.Report().OnPreviewPrepared = [this](reportlib::TqdxReport& r) {
            preparedPages.push_back(r.PreviewPages().Count());
        };
    }

    // A saved text report holding one item, written by the component itself.
    QString savedReport(const QString& name, const QByteArray& item) {
        textreport::ReportState::ScopedOverride own;
        test::RecordingInteraction quiet;
        TGravana writer(quiet);
        writer.Abrir();
        writer.store()->add(item);
        writer.GravarRelatorio(dir.path(name));
        writer.Abortar();
        return dir.path(name);
    }

    bool reportOpen() const { return frm.Gravana().state().aberto; }

    textreport::ReportState::ScopedOverride state;
    test::TempDir dir;
    ScriptedInteraction ui;
    TfrmMenu frm{ui};
    int previews = 0;
    std::vector<QByteArray> shownItems;
    std::vector<int> preparedPages; // page count of every prepared preview shown
};

TEST_F(MainWindow, ShowsTheProgramCaptionMenusAndDarkBlueClientArea) {
    EXPECT_EQ(frm.windowTitle(), QStringLiteral("ZeralVisualizador"));
    const auto menus = frm.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Diversos"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("A&juda"));
    EXPECT_EQ(captions(frm.miDiversos), (QStringList{QStringLiteral("Abrir Relatório"),
                                                     QStringLiteral("-"), QStringLiteral("Sair")}));
    EXPECT_EQ(captions(frm.miAjuda),
              (QStringList{QStringLiteral("ZeralVisualizador Impressão"), QStringLiteral("-"),
                           QStringLiteral("Sobre...")}));
    // The stored colour 6697728 (hex 663300) keeps blue in its high byte.
    EXPECT_EQ(frm.imgPrincipal->palette().color(QPalette::Window), QColor(0x00, 0x33, 0x66));
}

TEST_F(MainWindow, ScreenReadersFindANameForItsPictureAndStatusBar) {
    EXPECT_EQ(test::namelessControls(&frm), "");
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(frm.statusBar());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("Barra de status"));
    EXPECT_FALSE(
        QAccessible::queryAccessibleInterface(frm.imgPrincipal)->text(QAccessible::Name).isEmpty());
}

TEST(MainWindowBackground, IsChosenByScreenWidth) {
    EXPECT_EQ(TfrmMenu::backgroundFor(800), &TfrmMenu::imgFundo800x600);
    EXPECT_EQ(TfrmMenu::backgroundFor(1023), &TfrmMenu::imgFundo800x600);
    EXPECT_EQ(TfrmMenu::backgroundFor(1024), &TfrmMenu::imgFundo1024x768);
    EXPECT_EQ(TfrmMenu::backgroundFor(1279), &TfrmMenu::imgFundo1024x768);
    EXPECT_EQ(TfrmMenu::backgroundFor(1280), &TfrmMenu::imgFundo1280x600);
    EXPECT_EQ(TfrmMenu::backgroundFor(1920), &TfrmMenu::imgFundo1280x600);
}

TEST_F(MainWindow, HoldsTheThreeBackgroundPicturesAndShowsOne) {
    EXPECT_EQ(frm.imgFundo800x600.size(), QSize(800, 600));
    EXPECT_EQ(frm.imgFundo1024x768.size(), QSize(1024, 768));
    EXPECT_EQ(frm.imgFundo1280x600.size(), QSize(1280, 600));
    frm.show();
    EXPECT_FALSE(frm.imgPrincipal->pixmap().isNull());
}

TEST_F(MainWindow, AnsweringNoToTheExitQuestionKeepsTheWindowOpen) {
    frm.show();
    ui.answers = {false};
    EXPECT_FALSE(frm.close());
    EXPECT_TRUE(frm.isVisible());
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text,
              QStringLiteral("\"Prezado Cliente\"\rDeseja realmente sair do programa?"));
    EXPECT_EQ(ui.questions[0].caption, QStringLiteral("Terravel"));
}

TEST_F(MainWindow, SairAsksTheSameQuestionAndClosesOnYes) {
    frm.show();
    ui.answers = {false, true};
    frm.miSair->trigger();
    EXPECT_TRUE(frm.isVisible());
    frm.miSair->trigger();
    EXPECT_FALSE(frm.isVisible());
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[1].text, ui.questions[0].text);
    EXPECT_EQ(ui.questions[1].caption, QStringLiteral("Terravel"));
}

// Keys go where a user's keys go: to the focused widget, or the active window when nothing in
// it takes the focus.
TEST_F(MainWindow, CtrlOOpensCtrlQAsksToQuitAndF10OrAltOpensTheMenus) {
    ASSERT_TRUE(test::showActive(&frm));
    int dialogs = 0;
    frm.chooseReport = [&] {
        ++dialogs;
        return QString();
    };
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 1);

    ui.answers = {false};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, QStringLiteral("Terravel"));
    EXPECT_TRUE(frm.isVisible());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    EXPECT_EQ(QApplication::activePopupWidget(), frm.miDiversos);
    if (QWidget* menu = QApplication::activePopupWidget()) {
        menu->close();
    }
    // Alt with the underlined letter opens a menu too.
    for (const auto& [letter, menu] :
         {std::pair{Qt::Key_D, frm.miDiversos}, std::pair{Qt::Key_J, frm.miAjuda}}) {
        ASSERT_TRUE(test::showActive(&frm));
        QTest::keyClick(QApplication::focusWidget(), letter, Qt::AltModifier);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), menu);
        if (QWidget* open = QApplication::activePopupWidget()) {
            open->close();
        }
    }
}

TEST_F(MainWindow, TheOpenDialogStartsWhereTheUsersReportsAre) {
    QString shown;
    auto openAndLook = [&] {
        QTimer::singleShot(0, [&] {
            shown = frm.OpenDialog->directory().absolutePath();
            frm.OpenDialog->reject();
        });
        frm.miAbrirRelatorio->trigger();
    };
    // Never the program's own folder (/usr/bin once installed); the last report's folder once
    // there is one.
    openAndLook();
    EXPECT_NE(shown, QCoreApplication::applicationDirPath());
    rememberReportFolder(dir.path(QStringLiteral("vendas.gvp")));
    openAndLook();
    EXPECT_EQ(shown, QDir(dir.root()).absolutePath());
}

TEST_F(MainWindow, CancellingTheOpenDialogOpensNothing) {
    frm.chooseReport = [] { return QString(); };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(previews, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(reportOpen());
}

TEST_F(MainWindow, OpeningAQp3FromTheMenuGoesToPreparedReportsWithItsExportName) {
    QStringList prepared;
    frm.preparedReportHook = [&](const QString& file) { prepared.append(file); };
    frm.chooseReport = [] { return QStringLiteral("/dados/Vendas.Qp3"); };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(prepared, QStringList{QStringLiteral("/dados/Vendas.Qp3")});
    EXPECT_EQ(frm.pdfExportFileName(), QStringLiteral("Vendas"));
    EXPECT_EQ(previews, 0);
}

TEST_F(MainWindow, OpeningAPlainTextFileFromTheMenuLetsTheLoaderRejectIt) {
    const QString notes = dir.write(QStringLiteral("notas.txt"), "apenas texto\n");
    frm.chooseReport = [&] { return notes; };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(ui.messages,
              std::vector<QString>{QStringLiteral("Formato do arquivo é inválido...")});
    // The cycle still ends with the (empty) preview, and the report is closed afterwards.
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(shownItems.empty());
    EXPECT_FALSE(reportOpen());
}

TEST_F(MainWindow, StartingWithABlankPaddedGvpPreviewsItAndClosesIt) {
    const QByteArray item = "0001001001016T000000TOTAL 12,50";
    const QString file = savedReport(QStringLiteral("vendas.GVP"), item);
    EXPECT_EQ(frm.FormCreate(QStringLiteral("  ") + file + QStringLiteral("  ")),
              StartAction::OpenGvp);
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(shownItems, std::vector<QByteArray>{item});
    EXPECT_FALSE(reportOpen());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindow, AFailureInsideTheEngineIsReportedAndTheReportDropped) {
    const QString file = savedReport(QStringLiteral("r.GVP"), "0001001001016T000000X");
    frm.Gravana().previewHook = [](TGravana&) { throw std::runtime_error("sem memória"); };
    EXPECT_EQ(frm.FormCreate(file), StartAction::OpenGvp);
    EXPECT_EQ(ui.messages, std::vector<QString>{QStringLiteral("sem memória")});
    EXPECT_FALSE(reportOpen());
}

TEST_F(MainWindow, OpeningAPreparedReportPreviewsItsPagesWithTheWindowsPdfExport) {
    tools::Qp3GeneratorOptions options;
    options.pages = 4;
    options.sectionPages = 2;
    const QString file = dir.path(QStringLiteral("vendas.qp3"));
    ASSERT_TRUE(tools::WritePreparedReport(file, options));

    EXPECT_EQ(frm.FormCreate(file), StartAction::OpenQp3);
    EXPECT_EQ(preparedPages, std::vector<int>{4});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(frm.pdfExportFileName(), QStringLiteral("vendas"));
    EXPECT_EQ(frm.PdfExport().FileName, QStringLiteral("vendas"));
    EXPECT_EQ(frm.PdfExport().Author, QStringLiteral("Terravel Informática"));
    EXPECT_EQ(frm.PdfExport().Report, &frm.Report());
    EXPECT_EQ(previews, 0);

    // Opening another one from the menu replaces the pages.
    options.pages = 1;
    const QString other = dir.path(QStringLiteral("um.QP3"));
    ASSERT_TRUE(tools::WritePreparedReport(other, options));
    frm.chooseReport = [&] { return other; };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(preparedPages, (std::vector<int>{4, 1}));
    EXPECT_EQ(frm.PdfExport().FileName, QStringLiteral("um"));
}

TEST_F(MainWindow, APreparedReportTheStoreRejectsIsReportedAndPreviewedEmpty) {
    frm.show();
    tools::Qp3GeneratorOptions options;
    options.pages = 2;
    const QString good = dir.path(QStringLiteral("bom.QP3"));
    ASSERT_TRUE(tools::WritePreparedReport(good, options));
    frm.loadPreparedReport(good);
    const QString bad = dir.write(QStringLiteral("ruim.QP3"), "apenas texto\n");
    frm.chooseReport = [&] { return bad; };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(ui.messages, std::vector<QString>{QStringLiteral("Invalid file format")});
    EXPECT_EQ(preparedPages, (std::vector<int>{2, 0})); // the window opens empty, usable
    EXPECT_TRUE(frm.isVisible());

    // A file that vanished before it could be read says nothing; the preview still opens.
    ui.messages.clear();
    frm.loadPreparedReport(dir.path(QStringLiteral("sumiu.QP3")));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(preparedPages.size(), 3u);
}

} // namespace
} // namespace zr::app

namespace zr::app {
namespace {

// Ctrl+P in a text preview opened from the main window: the print setup belongs to the preview,
// so the main window never comes up over it while the setup is open.
TEST(MainWindowPreview, PrintSetupOpensOverThePreviewItWasAskedFrom) {
    textreport::ReportState::ScopedOverride state;
    test::TempDir dir;
    ScriptedInteraction ui;
    TfrmMenu frm{ui};
    const QString file = dir.path(QStringLiteral("r.GVP"));
    {
        test::RecordingInteraction quiet;
        TGravana writer(quiet);
        writer.Abrir();
        writer.store()->add("0001001001016T000000TOTAL 12,50");
        writer.GravarRelatorio(file);
        writer.Abortar();
    }
    ASSERT_TRUE(test::showActive(&frm));
    QString setupParent = QStringLiteral("(no setup)");
    bool previewShown = false;
    test::whenModal<textreport::ui::TDFMPreview>([&](textreport::ui::TDFMPreview& preview) {
        previewShown = true;
        test::whenModal<textreport::ui::TDFMsetup>([&](textreport::ui::TDFMsetup& setup) {
            setupParent = setup.parentWidget() ? setup.parentWidget()->objectName() : QString();
            test::key(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        preview.reject();
    });
    frm.openReport(file);
    EXPECT_TRUE(previewShown);
    EXPECT_EQ(setupParent, QStringLiteral("DFMPreview"));
}

} // namespace
} // namespace zr::app

namespace zr::app {
namespace {

// The captions of the "Diversos" menu as the user sees it, opened with Alt+D.
QStringList diversosByKeys(TfrmMenu& frm) {
    EXPECT_TRUE(test::showActive(&frm));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    QApplication::processEvents();
    QStringList shown;
    if (QApplication::activePopupWidget() != frm.miDiversos) {
        ADD_FAILURE() << "Alt+D did not open the menu";
        return shown;
    }
    for (const QAction* a : frm.miDiversos->actions()) {
        shown << (a->isSeparator() ? QStringLiteral("-")
                                   : (a->isEnabled() ? QString() : QStringLiteral("(off) ")) +
                                         QString(a->text())
                                             .replace(QLatin1String("&&"), QLatin1String("\x01"))
                                             .remove(u'&')
                                             .replace(u'\x01', u'&'));
    }
    return shown;
}

TEST_F(MainWindow, ListsTheReportsOpenedLastAndGreysThoseThatHaveGone) {
    const QString text = savedReport(QStringLiteral("a&b.GVP"), "0001001001016T000000X");
    const QString prepared = dir.path(QStringLiteral("vendas.QP3"));
    tools::Qp3GeneratorOptions options;
    options.pages = 2;
    ASSERT_TRUE(tools::WritePreparedReport(prepared, options));
    const QString folder = QDir::toNativeSeparators(QDir(dir.root()).absolutePath());
    EXPECT_EQ(frm.FormCreate(text), StartAction::OpenGvp);
    EXPECT_EQ(frm.FormCreate(prepared), StartAction::OpenQp3);

    // Newest first, each by its name and its folder; a number opens it.
    EXPECT_EQ(diversosByKeys(frm).join(u'|').toStdString(),
              ("Abrir Relatório|1 vendas.QP3 — " + folder + "|2 a&b.GVP — " + folder + "|-|Sair")
                  .toStdString());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_2);
    QApplication::processEvents();
    EXPECT_EQ(previews, 2);
    EXPECT_TRUE(frm.OpenDialog->history().contains(QDir(dir.root()).absolutePath()));

    // A report that has gone stays, greyed, until the list is told to forget it.
    ASSERT_TRUE(QFile::remove(prepared));
    EXPECT_EQ(diversosByKeys(frm).join(u'|').toStdString(),
              ("Abrir Relatório|1 a&b.GVP — " + folder + "|(off) 2 vendas.QP3 — " + folder +
               "|Remover da lista os que não existem mais|-|Sair")
                  .toStdString());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_R);
    QApplication::processEvents();
    EXPECT_EQ(diversosByKeys(frm).join(u'|').toStdString(),
              ("Abrir Relatório|1 a&b.GVP — " + folder + "|-|Sair").toStdString());
    if (QWidget* open = QApplication::activePopupWidget()) {
        open->close();
    }
}

} // namespace
} // namespace zr::app
