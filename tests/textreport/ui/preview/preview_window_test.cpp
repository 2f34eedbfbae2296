#include "textreport/ui/preview_window.h"

#include "accessible_names.h"
#include "active_window.h"
#include "key_input.h"
#include "modal_keys.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"
#include "textreport/render/page_renderer.h"
#include "textreport/ui/find_dialog.h"
#include "textreport/ui/preview_dialogs.h"
#include "textreport/ui/preview_rules.h"
#include "textreport/ui/progress_window.h"
#include "textreport/ui/setup_dialog.h"
#include "textreport/ui/window_progress.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <deque>
#include <optional>

namespace zr::textreport::ui {
namespace {

using test::RecordingInteraction;
using test::ReportBuilder;

// Answers the window's dialogs from a script and records what they were asked. An empty script
// answers "cancel".
class ScriptedDialogs final : public PreviewDialogs {
public:
    struct Input {
        QString caption;
        QString prompt;
    };
    std::optional<QString> inputText(const QString& caption, const QString& prompt) override {
        inputs.push_back({caption, prompt});
        return next(inputAnswers);
    }
    std::optional<FileChoice> saveFile(const FileRequest& request) override {
        saveRequests.push_back(request);
        return next(saveAnswers);
    }
    std::optional<QString> openFile(const FileRequest& request) override {
        openRequests.push_back(request);
        return next(openAnswers);
    }

    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<FileChoice>> saveAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::vector<Input> inputs;
    std::vector<FileRequest> saveRequests;
    std::vector<FileRequest> openRequests;

private:
    template <typename T> static std::optional<T> next(std::deque<std::optional<T>>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<T> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Five pages of 66 lines; the word VENDAS on pages 2 and 4, TOTAL near the foot of page 3.
QByteArray fivePages() {
    return ReportBuilder()
        .title("Vendas: 2024/03")
        .item(1, 1, 1, "RELATORIO DE VENDAS")
        .item(2, 5, 10, "vendas do dia")
        .item(3, 60, 50, "TOTAL GERAL 1.234,56")
        .item(4, 2, 1, "VENDAS ACUMULADAS")
        .item(5, 1, 1, "FIM")
        .build();
}

class PreviewWindow : public ::testing::Test {
protected:
    PreviewWindow() {
        g.PortaComunicacao = QStringLiteral("/dev/null");
        g.OpcoesPreview.CaptionPreview = QStringLiteral("Visualização de teste");
    }

    // Opens a saved report built in code as the open report.
    void open(const QByteArray& bytes) {
        ASSERT_TRUE(g.Abrir());
        ASSERT_EQ(g.LerRelatorio(dir.write("rel.GVP", bytes)), LoadResult::Loaded);
        ui.clear();
    }

    // The window over the open report, shown (not modally) and on screen.
    TDFMPreview& show() {
        window = std::make_unique<TDFMPreview>(g);
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        window->setDialogs(std::move(scripted));
        window->nomeImpressoraAtual = [this] { return printerName; };
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // The first paint fits a zoom request to the window as shown.
        window->VISOR->repaint();
        return *window;
    }

    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->Scroller, Qt::Key(k), modifiers);
    }
    QString pagePanel() const { return window->Panels[0]->text(); }
    QString zoomPanel() const { return window->Panels[1]->text(); }
    QScrollBar& vertical() const { return *window->Scroller->verticalScrollBar(); }
    QScrollBar& horizontal() const { return *window->Scroller->horizontalScrollBar(); }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    test::TempDir dir;
    QString printerName = QStringLiteral("Fila1");
    std::unique_ptr<TDFMPreview> window;
    ScriptedDialogs* dialogs = nullptr;
};

// ---- The window and its toolbar.

TEST_F(PreviewWindow, TakesCaptionStatusPanelsAndSizeLimitsFromTheComponent) {
    g.Impressora = TModelo::Rima;
    printerName = QStringLiteral("Rima XT"); // which the mapping table gives the same model
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_EQ(w.windowTitle(), "Visualização de teste");
    EXPECT_TRUE(g.state().previewAtivo);
    EXPECT_EQ(w.minimumSize(), QSize(540, 240));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);

    const int widths[] = {120, 50, 250, 80, 50};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(w.Panels[i]->width(), widths[i]) << i;
    }
    EXPECT_EQ(w.Panels[0]->text(), "Página: 1 de 5");
    EXPECT_EQ(w.Panels[1]->text(), "100%");
    EXPECT_EQ(w.Panels[2]->text(), " Impressora: Rima XT");
    EXPECT_EQ(w.Panels[3]->text(), "Rima/Emila");
    EXPECT_EQ(w.Panels[4]->text(), "");

    EXPECT_EQ(w.btIMPRIMIR->text(), "&Imprimir");
    EXPECT_TRUE(w.btIMPRIMIR->font().bold());
    EXPECT_EQ(w.btIMPRIMIR->width(), 90);
    EXPECT_EQ(w.btFECHAR->text(), "&Fechar");
    EXPECT_EQ(w.btFECHAR->width(), 80);
    EXPECT_EQ(w.btDIRETO->toolTip(), "Acesso direto à Página ");
    EXPECT_EQ(w.PanelH->height(), 34);
    EXPECT_FALSE(w.btPDF->icon().isNull());

    window.reset();
    EXPECT_FALSE(g.state().previewAtivo);
}

TEST_F(PreviewWindow, HidingThePrintButtonHidesItsSeparatorAndShiftsTheRest) {
    g.OpcoesPreview.BotaoImprimir = TStatBut::Invisivel;
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_FALSE(w.btIMPRIMIR->isVisible());
    EXPECT_FALSE(w.Separa1->isVisible());
    EXPECT_TRUE(w.Separa2->isVisible());
    EXPECT_EQ(w.btPDF->x(), 9);
    EXPECT_EQ(w.btPROCURAR->x(), 109);
    EXPECT_EQ(w.btFECHAR->x(), 155 + 267);
    // Ctrl+P obeys the option too.
    int setups = 0;
    g.setupHook = [&](TGravana&) { return ++setups, false; };
    key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(setups, 0);
}

TEST_F(PreviewWindow, HidingAllFileButtonsHidesTheSecondSeparator) {
    for (TStatBut* option : {&g.OpcoesPreview.BotaoPDF, &g.OpcoesPreview.BotaoEMAIL,
                             &g.OpcoesPreview.BotaoGravar, &g.OpcoesPreview.BotaoLer,
                             &g.OpcoesPreview.BotaoProcurar}) {
        *option = TStatBut::Invisivel;
    }
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_TRUE(w.Separa1->isVisible());
    EXPECT_FALSE(w.Separa2->isVisible());
    EXPECT_EQ(w.btPRIMEIRA->x(), 119);
    EXPECT_EQ(w.btFECHAR->x(), 119 + 267);
}

TEST_F(PreviewWindow, AnInactiveButtonIsShownDisabledAndItsShortcutDoesNothing) {
    g.OpcoesPreview.BotaoLer = TStatBut::Inativo;
    g.OpcoesPreview.BotaoEMAIL = TStatBut::Inativo;
    g.OpcoesPreview.BotaoGravar = TStatBut::Invisivel;
    int mails = 0;
    g.OnSendMail = [&](TGravana&) { ++mails; };
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_TRUE(w.btABRIR->isVisible());
    EXPECT_FALSE(w.btABRIR->isEnabled());
    EXPECT_FALSE(w.btSALVAR->isVisible());

    key(Qt::Key_O, Qt::ControlModifier);
    key(Qt::Key_S, Qt::ControlModifier);
    key(Qt::Key_M, Qt::ControlModifier);
    w.btABRIRClick();
    EXPECT_TRUE(dialogs->openRequests.empty());
    EXPECT_TRUE(dialogs->saveRequests.empty());
    EXPECT_EQ(mails, 0);
}

TEST_F(PreviewWindow, MailButtonRaisesTheComponentsEventOnly) {
    int mails = 0;
    g.OnSendMail = [&](TGravana&) { ++mails; };
    open(fivePages());
    show();
    key(Qt::Key_M, Qt::ControlModifier);
    QTest::mouseClick(window->btEMAIL, Qt::LeftButton);
    EXPECT_EQ(mails, 2);
    EXPECT_TRUE(ui.messages.empty());
}

// ---- Paging.

TEST_F(PreviewWindow, PagingKeysMoveWithinTheReportAndEnableTheButtonsThatCanMove) {
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_FALSE(w.btPRIMEIRA->isEnabled());
    EXPECT_FALSE(w.btANTERIOR->isEnabled());
    EXPECT_TRUE(w.btPROXIMA->isEnabled());
    EXPECT_TRUE(w.btULTIMA->isEnabled());
    EXPECT_TRUE(w.btDIRETO->isEnabled());

    key(Qt::Key_PageUp);
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    key(Qt::Key_PageDown);
    EXPECT_EQ(pagePanel(), "Página: 2 de 5");
    EXPECT_EQ(g.state().paginaAtual, 2);
    key(Qt::Key_End);
    EXPECT_EQ(pagePanel(), "Página: 5 de 5");
    EXPECT_FALSE(w.btPROXIMA->isEnabled());
    EXPECT_FALSE(w.btULTIMA->isEnabled());
    EXPECT_TRUE(w.btANTERIOR->isEnabled());
    key(Qt::Key_PageDown);
    EXPECT_EQ(w.paginaAtual(), 5);
    QTest::mouseClick(w.btANTERIOR, Qt::LeftButton);
    EXPECT_EQ(pagePanel(), "Página: 4 de 5");
    key(Qt::Key_Home);
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
}

TEST_F(PreviewWindow, AnEmptyReportShowsOneBlankPageWithoutPaging) {
    open(ReportBuilder().build());
    TDFMPreview& w = show();
    EXPECT_EQ(pagePanel(), "Página: 1 de 1");
    EXPECT_FALSE(w.btDIRETO->isEnabled());
    EXPECT_FALSE(w.btPROXIMA->isEnabled());
    key(Qt::Key_N, Qt::ControlModifier);
    key(Qt::Key_Down);
    key(Qt::Key_End);
    EXPECT_TRUE(dialogs->inputs.empty());
    EXPECT_EQ(w.paginaAtual(), 1);
}

TEST_F(PreviewWindow, DirectAccessAsksForAPageAndClampsIt) {
    open(fivePages());
    TDFMPreview& w = show();
    dialogs->inputAnswers = {QString("3"), QString("99999999999999"), QString("-4"),
                             std::nullopt};
    key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(dialogs->inputs.size(), 1u);
    EXPECT_EQ(dialogs->inputs[0].caption, "Acesso rápido");
    EXPECT_EQ(dialogs->inputs[0].prompt, "Qual página deseja ver ?");
    EXPECT_EQ(pagePanel(), "Página: 3 de 5");
    w.btDIRETOClick();
    EXPECT_EQ(pagePanel(), "Página: 5 de 5");
    w.btDIRETOClick();
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    // Cancelled: nothing happens.
    w.btDIRETOClick();
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    EXPECT_TRUE(ui.messages.empty());
}

TEST(PreviewDialogs, TheQuickAccessBoxIsAsLargeAsItsLayoutAndItsTitle) {
    QWidget owner;
    QtPreviewDialogs dialogs(owner);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 160);
        EXPECT_GE(box->height(), box->sizeHint().height());
        // Its buttons keep a margin from every edge.
        for (QPushButton* button : box->findChildren<QPushButton*>()) {
            const QRect at(button->mapTo(box, QPoint(0, 0)), button->size());
            EXPECT_TRUE(box->rect().adjusted(4, 4, -4, -4).contains(at)) << button->text().toStdString();
        }
        box->reject();
    });
    EXPECT_FALSE(dialogs.inputText(QStringLiteral("Acesso rápido"),
                                   QStringLiteral("Qual página deseja ver ?")));
    EXPECT_TRUE(seen);
}

TEST_F(PreviewWindow, DirectAccessRejectsANonNumberAndKeepsThePage) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_PageDown);
    dialogs->inputAnswers = {QString("dois")};
    w.btDIRETOClick();
    EXPECT_EQ(ui.texts(), std::vector<QString>{"Página inválida..."});
    EXPECT_EQ(pagePanel(), "Página: 2 de 5");
}

// ---- Scrolling.

TEST_F(PreviewWindow, UpAtTheTopOfTheFirstPageDoesNothing) {
    open(fivePages());
    show();
    ASSERT_GT(vertical().maximum(), 0) << "the page must be taller than the window";
    key(Qt::Key_Up);
    EXPECT_EQ(window->paginaAtual(), 1);
    EXPECT_EQ(vertical().value(), 0);
}

TEST_F(PreviewWindow, UpAtTheTopShowsThePreviousPageFromItsBottom) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_PageDown);
    ASSERT_EQ(vertical().value(), 0);
    key(Qt::Key_Up);
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    EXPECT_GT(vertical().maximum(), 0);
    EXPECT_EQ(vertical().value(), vertical().maximum());

    // Down steps a twentieth of the page box, and past the bottom turns to the next page's top.
    const int step = roundHalfEven(w.VISOR->height() / 20.0);
    vertical().setValue(0);
    key(Qt::Key_Down);
    EXPECT_EQ(vertical().value(), step);
    vertical().setValue(vertical().maximum());
    key(Qt::Key_Down);
    EXPECT_EQ(pagePanel(), "Página: 2 de 5");
    EXPECT_EQ(vertical().value(), 0);
}

TEST_F(PreviewWindow, LeftAndRightScrollTwentyPixels) {
    g.OpcoesPreview.PreviewZoom = 200;
    open(fivePages());
    show();
    ASSERT_GT(horizontal().maximum(), 40);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(horizontal().value(), 40);
    key(Qt::Key_Left);
    EXPECT_EQ(horizontal().value(), 20);
}

TEST_F(PreviewWindow, TheWheelScrollsTheDesktopsLinesAndATouchpadItsPixels) {
    open(fivePages());
    TDFMPreview& w = show();
    auto wheel = [&](int delta, QPoint pixels = {}) {
        const QPointF at(50, 50);
        QWheelEvent event(at, w.VISOR->mapToGlobal(at), pixels, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.VISOR, &event);
    };
    QApplication::setWheelScrollLines(3);
    wheel(-120); // towards the user: three of the report's 66 lines
    const int notch = roundHalfEven(double(w.VISOR->height()) * 3 / 66);
    EXPECT_EQ(vertical().value(), notch);
    wheel(-60, QPoint(0, -7)); // a touchpad: its pixels, not a notch
    EXPECT_EQ(vertical().value(), notch + 7);
    wheel(120);
    wheel(120); // at the top of page 1: nothing more
    EXPECT_EQ(vertical().value(), 0);
    EXPECT_EQ(w.paginaAtual(), 1);
}

TEST_F(PreviewWindow, DraggingThePageScrollsItWithAGrabbingHand) {
    g.OpcoesPreview.PreviewZoom = 200;
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_EQ(w.VISOR->cursor().shape(), Qt::OpenHandCursor);
    horizontal().setValue(100);
    vertical().setValue(100);
    QTest::mousePress(w.VISOR, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    EXPECT_EQ(w.VISOR->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(w.VISOR, QPoint(280, 250));
    EXPECT_EQ(horizontal().value(), 120);
    EXPECT_EQ(vertical().value(), 150);
    QTest::mouseRelease(w.VISOR, Qt::LeftButton, Qt::NoModifier, QPoint(280, 250));
    EXPECT_EQ(w.VISOR->cursor().shape(), Qt::OpenHandCursor);
    QTest::mouseMove(w.VISOR, QPoint(100, 100));
    EXPECT_EQ(horizontal().value(), 120);
}

// ---- Zoom.

TEST_F(PreviewWindow, FitWidthFillsTheWindowWidthLessThirtyPixels) {
    g.OpcoesPreview.PreviewZoom = -1;
    open(fivePages());
    TDFMPreview& w = show();
    const QSize page = w.tamanhoPagina();
    const int expected = std::clamp((w.Scroller->width() * 100 - 3000) / page.width(), 20, 400);
    EXPECT_EQ(w.zoom(), expected);
    EXPECT_EQ(zoomPanel(), zoomText(expected));
    EXPECT_EQ(w.VISOR->size(), pageBoxSize(page, expected));
    EXPECT_LE(w.VISOR->width(), w.Scroller->width() - 20 + 1);
}

TEST_F(PreviewWindow, ZoomButtonsAndKeypadKeysStayBetweenTwentyAndFourHundred) {
    g.OpcoesPreview.PreviewZoom = 390;
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(zoomPanel(), "400%");
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(w.zoom(), 400);
    EXPECT_EQ(zoomPanel(), "400%");
    // The plus of the main keyboard is no zoom key.
    w.AplicarZoom(30);
    key(Qt::Key_Plus);
    EXPECT_EQ(w.zoom(), 30);
    QTest::mouseClick(w.btDiminui, Qt::LeftButton);
    EXPECT_EQ(zoomPanel(), "20%");
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(w.zoom(), 20);
    EXPECT_EQ(w.VISOR->size(), pageBoxSize(w.tamanhoPagina(), 20));
    // Without a keypad: Ctrl with "=" or "+" in, "-" out, "0" back to 100%.
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int zoom;
    } laptop[] = {{Qt::Key_Equal, Qt::ControlModifier, 30},
                  {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, 40},
                  {Qt::Key_Minus, Qt::ControlModifier, 30},
                  {Qt::Key_0, Qt::ControlModifier, 100}};
    ASSERT_TRUE(test::showActive(&w));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    for (const auto& row : laptop) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(row.key), row.modifiers);
        EXPECT_EQ(w.zoom(), row.zoom) << row.key;
    }
    EXPECT_EQ(zoomPanel(), "100%");
}

TEST_F(PreviewWindow, PopupMenuOffersRadioZoomChoices) {
    open(fivePages());
    TDFMPreview& w = show();
    QStringList captions;
    QAction* fifty = nullptr;
    for (QAction* a : w.PopupMenu1->actions()) {
        captions.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        if (a->text() == "50%") {
            fifty = a;
        }
        if (!a->isSeparator()) {
            EXPECT_TRUE(a->isCheckable());
            EXPECT_EQ(a->isChecked(), a->text() == "100%");
        }
    }
    EXPECT_EQ(captions, (QStringList{"25%", "50%", "75%", "100%", "150%", "200%", "-",
                                     "Página Inteira", "Ajusta na Largura"}));
    ASSERT_NE(fifty, nullptr);
    fifty->trigger();
    EXPECT_TRUE(fifty->isChecked());
    EXPECT_EQ(w.zoom(), 50);
    EXPECT_EQ(zoomPanel(), "50%");
    EXPECT_EQ(w.VISOR->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(w.btAumenta->contextMenuPolicy(), Qt::CustomContextMenu);
}

// ---- Saving, exporting, loading, printing.

TEST_F(PreviewWindow, SaveWritesTheChosenTypeUnderItsOwnExtension) {
    open(fivePages());
    TDFMPreview& w = show();
    QStringList saved;
    g.OnSave = [&](TGravana&, QString& name) { saved.append(name); };
    dialogs->saveAnswers = {FileChoice{dir.path("rel.doc"), 3},
                            FileChoice{dir.path("copia"), 1}};

    key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs->saveRequests.size(), 1u);
    const FileRequest& first = dialogs->saveRequests[0];
    EXPECT_EQ(first.title, "Salvar relatório como...");
    EXPECT_EQ(first.filter, TDFMPreview::kSaveFilter);
    EXPECT_EQ(first.filterIndex, 3);
    EXPECT_EQ(first.fileName, "Vendas 202403");
    EXPECT_EQ(first.directory, QDir::homePath());
    EXPECT_EQ(saved, QStringList{dir.path("rel.TXT")});
    EXPECT_TRUE(QFile::exists(dir.path("rel.TXT")));
    EXPECT_FALSE(QFile::exists(dir.path("rel.doc")));

    // The type chosen last is preselected next time; .GVP saves the report itself.
    w.btSALVARClick();
    ASSERT_EQ(dialogs->saveRequests.size(), 2u);
    EXPECT_EQ(dialogs->saveRequests[1].filterIndex, 3);
    EXPECT_EQ(saved.last(), dir.path("copia.GVP"));
    EXPECT_TRUE(test::TempDir::read(dir.path("copia.GVP")).contains("TOTAL GERAL"));
    w.btSALVARClick(); // cancelled
    EXPECT_EQ(dialogs->saveRequests[2].filterIndex, 1);
    EXPECT_EQ(saved.size(), 2);
}

TEST_F(PreviewWindow, EveryFileTypeRunsItsOwnExport) {
    open(fivePages());
    TDFMPreview& w = show();
    QStringList saved;
    g.OnSave = [&](TGravana&, QString& name) {
        saved.append(name);
        name.clear(); // nothing needs to be written
    };
    for (int type = 1; type <= 5; ++type) {
        dialogs->saveAnswers.push_back(FileChoice{dir.path("r.x"), type});
    }
    for (int type = 1; type <= 5; ++type) {
        w.btSALVARClick();
    }
    EXPECT_EQ(saved, (QStringList{dir.path("r.GVP"), dir.path("r.PRN"), dir.path("r.TXT"),
                                  dir.path("r.HTM"), dir.path("r.PDF")}));
}

TEST_F(PreviewWindow, PdfButtonExportsUnderThePdfExtension) {
    open(fivePages());
    TDFMPreview& w = show();
    QStringList saved;
    g.OnSave = [&](TGravana&, QString& name) { saved.append(name); };
    dialogs->saveAnswers = {FileChoice{dir.path("vendas.pdf"), 1}};
    key(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(dialogs->saveRequests.size(), 1u);
    EXPECT_EQ(dialogs->saveRequests[0].title, "Exportar Relatório para PDF");
    EXPECT_EQ(dialogs->saveRequests[0].filter, TDFMPreview::kPdfFilter);
    EXPECT_EQ(dialogs->saveRequests[0].fileName, "Vendas 202403");
    EXPECT_EQ(saved, QStringList{dir.path("vendas.PDF")});
    EXPECT_TRUE(test::TempDir::read(dir.path("vendas.PDF")).startsWith("%PDF"));
    EXPECT_TRUE(dialogs->saveRequests[0].archivalChoice);
    EXPECT_FALSE(test::TempDir::read(dir.path("vendas.PDF")).contains("pdfaid:part"));
    // The save dialog's remembered type is its own.
    w.btSALVARClick();
    EXPECT_EQ(dialogs->saveRequests[1].filterIndex, 3);
    EXPECT_FALSE(dialogs->saveRequests[1].archivalChoice);
    // The archival box gives a PDF/A file, and is offered ticked the next time.
    dialogs->saveAnswers = {FileChoice{dir.path("arquivo.pdf"), 1, true},
                            FileChoice{dir.path("outro.pdf"), 1, false}};
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(test::TempDir::read(dir.path("arquivo.PDF")).contains("<pdfaid:part>2"));
    key(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(dialogs->saveRequests.size(), 4u);
    EXPECT_TRUE(dialogs->saveRequests[3].archival);
}

TEST_F(PreviewWindow, LoadingAnotherReportShowsItsFirstPageWithoutTheOldHighlight) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_F, Qt::ControlModifier);
    w.FindDialog1->setFindText("FIM");
    w.FindDialog1Find();
    ASSERT_EQ(pagePanel(), "Página: 5 de 5");
    ASSERT_FALSE(g.state().destaque.isEmpty());

    const QString other = dir.write("outro.GVP", ReportBuilder()
                                                     .item(1, 1, 1, "A")
                                                     .item(2, 1, 1, "B")
                                                     .item(3, 1, 1, "C")
                                                     .build());
    dialogs->openAnswers = {other};
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialogs->openRequests.size(), 1u);
    EXPECT_EQ(dialogs->openRequests[0].title, "Selecionar relatório...");
    EXPECT_EQ(dialogs->openRequests[0].filter, TDFMPreview::kOpenFilter);
    EXPECT_EQ(dialogs->openRequests[0].defaultSuffix, "GVP");
    EXPECT_EQ(pagePanel(), "Página: 1 de 3");
    EXPECT_EQ(w.totalPaginas(), 3);
    EXPECT_TRUE(g.state().destaque.isEmpty());
    EXPECT_EQ(w.inicioBusca(), 0);
}

TEST_F(PreviewWindow, PrintRunsTheSetupAndPrintsOnlyWhenConfirmed) {
    open(fivePages());
    TDFMPreview& w = show();
    int prints = 0;
    g.OnBeforePrint = [&](TGravana&, bool& go) {
        ++prints;
        go = false;
    };
    g.setupHook = [](TGravana&) { return false; };
    key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(prints, 0);
    EXPECT_TRUE(g.state().aberto) << "a cancelled setup in the preview keeps the report";

    g.setupHook = [this](TGravana& c) {
        c.Impressora = TModelo::HP;
        printerName = QStringLiteral("Laser");
        return true;
    };
    QTest::mouseClick(w.btIMPRIMIR, Qt::LeftButton);
    EXPECT_EQ(prints, 1);
    EXPECT_EQ(w.Panels[2]->text(), " Impressora: Laser");
    EXPECT_EQ(w.Panels[3]->text(), "HP");
}

TEST_F(PreviewWindow, EscapeAndTheCloseButtonEndTheWindowWithCancel) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
    w.show();
    QTest::mouseClick(w.btFECHAR, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

// ---- Search.

TEST_F(PreviewWindow, SearchOpensAnEmptyFindDialogLookingDown) {
    open(fivePages());
    TDFMPreview& w = show();
    w.FindDialog1->setFindText("velho");
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w.FindDialog1->isVisible());
    EXPECT_EQ(w.FindDialog1->findText(), "");
    EXPECT_TRUE(w.FindDialog1->rbAbaixo->isChecked());
    EXPECT_FALSE(w.FindDialog1->cbPalavraInteira->isEnabled());
    EXPECT_EQ(w.FindDialog1->direction(), SearchDirection::Down);
    EXPECT_EQ(w.inicioBusca(), 0);
    // Keys typed in the find dialog are its own, not the preview's.
    QTest::keyClick(w.FindDialog1->edText, Qt::Key_End);
    EXPECT_EQ(w.paginaAtual(), 1);
    // With no text, find next and F3 do nothing.
    key(Qt::Key_F3);
    w.FindDialog1Find();
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PreviewWindow, FindNextAndF3WalkThroughTheMatchesThenSayNothingMoreIsFound) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(w.FindDialog1->edText, "vendas");
    QTest::mouseClick(w.FindDialog1->btLocalizar, Qt::LeftButton);
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    QTest::keyClick(w.FindDialog1->edText, Qt::Key_Return);
    EXPECT_EQ(pagePanel(), "Página: 2 de 5");
    key(Qt::Key_F3);
    EXPECT_EQ(pagePanel(), "Página: 4 de 5");
    EXPECT_TRUE(g.state().destaque.contains("VENDAS ACUMULADAS"));
    EXPECT_TRUE(ui.messages.empty());

    key(Qt::Key_F3);
    EXPECT_EQ(ui.texts(), std::vector<QString>{"Não é possível encontrar \"vendas\""});
    EXPECT_EQ(pagePanel(), "Página: 4 de 5");
}

TEST_F(PreviewWindow, MatchCaseAndDirectionComeFromTheFindDialog) {
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_F, Qt::ControlModifier);
    w.FindDialog1->setFindText("VENDAS");
    w.FindDialog1->cbMaiusculas->setChecked(true);
    w.FindDialog1Find();
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
    w.FindDialog1Find();
    EXPECT_EQ(pagePanel(), "Página: 4 de 5"); // "vendas do dia" on page 2 is not a match
    // Up goes back from the item after the last match, so it meets that match first.
    w.FindDialog1->rbAcima->setChecked(true);
    w.FindDialog1Find();
    EXPECT_EQ(pagePanel(), "Página: 4 de 5");
    w.FindDialog1Find();
    EXPECT_EQ(pagePanel(), "Página: 1 de 5");
}

TEST_F(PreviewWindow, AFoundMatchIsScrolledIntoView) {
    g.OpcoesPreview.PreviewZoom = 200;
    open(fivePages());
    TDFMPreview& w = show();
    ASSERT_GT(vertical().maximum(), 0);
    ASSERT_GT(horizontal().maximum(), 0);
    key(Qt::Key_F, Qt::ControlModifier);
    w.FindDialog1->setFindText("total");
    w.FindDialog1Find();
    EXPECT_EQ(pagePanel(), "Página: 3 de 5");
    // The match is at line 60, column 50, 20 characters long: Procurar gives line 61 and
    // column 70.
    const int v = roundHalfEven(double(w.VISOR->height()) / 66) * 61 -
                  w.Scroller->viewport()->height();
    EXPECT_EQ(vertical().value(), std::min(v, vertical().maximum()));
    const int h = roundHalfEven(double(w.VISOR->width()) / 80) * 70 -
                  w.Scroller->viewport()->width();
    EXPECT_EQ(horizontal().value(), std::clamp(h, 0, horizontal().maximum()));
}

TEST_F(PreviewWindow, SearchShortcutsObeyAnInactiveSearchButton) {
    g.OpcoesPreview.BotaoProcurar = TStatBut::Inativo;
    open(fivePages());
    TDFMPreview& w = show();
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(w.FindDialog1->isVisible());
    w.FindDialog1->setFindText("FIM");
    key(Qt::Key_F3);
    EXPECT_EQ(w.paginaAtual(), 1);
}

} // namespace
} // namespace zr::textreport::ui

namespace zr::textreport::ui {
namespace {

TEST_F(PreviewWindow, ScreenReadersFindANameForEveryButtonAndStatusPanel) {
    open(fivePages());
    TDFMPreview& w = show();
    EXPECT_EQ(test::namelessControls(&w), "");
    EXPECT_GE(test::countedControls(&w), 16);
    // A picture-only button is called by its hint; the panels by what they show.
    const auto name = [](QWidget* widget) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        return iface ? iface->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(name(w.btPDF), QStringLiteral("Gerar PDF"));
    EXPECT_EQ(name(w.btDIRETO), QStringLiteral("Acesso direto à Página"));
    EXPECT_EQ(name(w.btIMPRIMIR), QStringLiteral("Imprimir"));
    EXPECT_EQ(name(w.btFECHAR), QStringLiteral("Fechar"));
    // A panel is heard by what it shows, and by its name while it shows nothing.
    EXPECT_EQ(name(w.Panels[0]), QStringLiteral("Página: 1 de 5"));
    key(Qt::Key_End);
    EXPECT_EQ(name(w.Panels[0]), QStringLiteral("Página: 5 de 5"));
    EXPECT_EQ(name(w.Panels[1]), w.Panels[1]->text());
    EXPECT_EQ(name(w.Panels[4]), QStringLiteral("Mensagens"));
    // The find dialog is a window of its own, checked with the dialogs.
    EXPECT_EQ(test::namelessControls(w.FindDialog1), "");
}

} // namespace
} // namespace zr::textreport::ui

namespace zr::textreport::ui {
namespace {

// ---- The keyboard as desktop users know it.

TEST_F(PreviewWindow, TabReachesEveryToolbarButtonInOrderAndEnterOrSpacePressesIt) {
    open(fivePages());
    TDFMPreview& w = show();
    ASSERT_TRUE(test::showActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.Scroller) << "the page has the keys at first";

    // Page 1: the first and previous page buttons are disabled, and Tab passes them by.
    const std::vector<QWidget*> order = {w.btIMPRIMIR, w.btPDF,      w.btEMAIL,  w.btSALVAR,
                                         w.btABRIR,    w.btPROCURAR, w.btDIRETO, w.btPROXIMA,
                                         w.btULTIMA,   w.btLARGURA,  w.btFULL,   w.btAumenta,
                                         w.btDiminui,  w.btFECHAR,   w.Scroller};
    for (QWidget* expected : order) {
        test::key(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
        // The focused button stands out from the flat ones.
        if (auto* button = qobject_cast<QToolButton*>(expected)) {
            EXPECT_FALSE(button->autoRaise()) << expected->objectName().toStdString();
        }
        EXPECT_TRUE(w.btIMPRIMIR == expected || w.btIMPRIMIR->autoRaise());
    }
    for (auto it = order.rbegin() + 1; it != order.rend(); ++it) {
        test::key(QApplication::focusWidget(), Qt::Key_Backtab, {}, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), *it) << (*it)->objectName().toStdString();
    }

    // Enter and Space press the focused button; the zoom buttons name their keys.
    const struct {
        QToolButton* button;
        int key;
        const char* tip;
    } presses[] = {
        {w.btULTIMA, Qt::Key_Return, "Última página"},
        {w.btFULL, Qt::Key_Space, "Ver página inteira (Ctrl+2)"},
        {w.btAumenta, Qt::Key_Enter, "Aumenta zoom (Ctrl++)"},
        {w.btLARGURA, Qt::Key_Space, "Ajustar na Largura (Ctrl+1)"},
        {w.btDiminui, Qt::Key_Return, "Diminui zoom (Ctrl+-)"},
    };
    std::pair seen{w.paginaAtual(), w.zoom()};
    for (const auto& row : presses) {
        ASSERT_TRUE(test::tabTo(row.button)) << row.tip;
        test::key(QApplication::focusWidget(), row.key, row.key == Qt::Key_Space ? " " : "\r");
        EXPECT_EQ(row.button->toolTip(), QString::fromUtf8(row.tip));
        EXPECT_NE(std::pair(w.paginaAtual(), w.zoom()), seen) << row.tip << ": nothing happened";
        seen = {w.paginaAtual(), w.zoom()};
    }
    EXPECT_EQ(w.paginaAtual(), 5);
    const int fitWidth = resolveZoom(
        kZoomFitWidth, {w.Scroller->width(), w.Scroller->viewport()->size()}, w.tamanhoPagina());
    EXPECT_EQ(w.zoom(), fitWidth - kZoomStep);
    EXPECT_TRUE(w.isVisible()) << "no key reached the close button";
}

TEST_F(PreviewWindow, DesktopKeysCloseFillTheScreenFitThePageAndOpenTheZoomMenuAtThePage) {
    open(fivePages());
    TDFMPreview& w = show();
    ASSERT_TRUE(test::showActive(&w));
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    const auto fit = [&w](int request) {
        return resolveZoom(request, {w.Scroller->width(), w.Scroller->viewport()->size()},
                           w.tamanhoPagina());
    };

    press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(w.zoom(), fit(kZoomFitPage));
    press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(w.zoom(), fit(kZoomFitWidth));
    press(Qt::Key_F11);
    EXPECT_TRUE(w.windowState() & Qt::WindowFullScreen);
    press(Qt::Key_F11);
    EXPECT_FALSE(w.windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);

    // The menu opens over the page the user sees, wherever the mouse is; Escape shuts it.
    QCursor::setPos(w.mapToGlobal(QPoint(3, 3)));
    const QRect page(w.Scroller->viewport()->mapToGlobal(QPoint(0, 0)),
                     w.Scroller->viewport()->size());
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        press(key, modifiers);
        ASSERT_TRUE(w.PopupMenu1->isVisible()) << key;
        EXPECT_TRUE(page.contains(w.PopupMenu1->pos())) << key;
        QTest::keyClick(w.PopupMenu1, Qt::Key_Escape);
        EXPECT_FALSE(w.PopupMenu1->isVisible());
        EXPECT_TRUE(w.isVisible()) << "Escape shut the menu only";
    }

    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST_F(PreviewWindow, TheZoomMenuTicksTheEntryOfTheZoomInUseOrNone) {
    open(fivePages());
    TDFMPreview& w = show();
    ASSERT_TRUE(test::showActive(&w));
    const auto ticked = [&w] {
        QAction* checked = w.ZoomGroup->checkedAction();
        return checked ? checked->text() : QString();
    };
    const struct {
        int key;
        const char* ticked;
    } steps[] = {
        {Qt::Key_Equal, ""},     {Qt::Key_Equal, ""},
        {Qt::Key_Equal, ""},     {Qt::Key_Equal, ""},
        {Qt::Key_Equal, "150%"}, {Qt::Key_Minus, ""},
        {Qt::Key_0, "100%"},     {Qt::Key_2, "Página Inteira"},
        {Qt::Key_Equal, ""},     {Qt::Key_1, "Ajusta na Largura"},
    };
    EXPECT_EQ(ticked(), "100%");
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(step.key), Qt::ControlModifier);
        EXPECT_EQ(ticked(), QString::fromUtf8(step.ticked)) << "at " << w.zoom() << "%";
    }
    // 199% is no entry's zoom.
    w.PopupMenu1->actions().at(5)->trigger(); // 200%
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(w.zoom(), 190);
    EXPECT_EQ(ticked(), "");
}

TEST_F(PreviewWindow, ThePagePanelHoldsTheLongestPageTextOfItsReport) {
    ReportBuilder pages;
    for (int page = 1; page <= 9999; ++page) {
        pages.item(page, 1, 1, "x");
    }
    open(pages.build());
    TDFMPreview& w = show();
    w.setDialogs(std::make_unique<QtPreviewDialogs>(w)); // the quick access box of Qt
    for (const char* page : {"5000", "8888"}) {
        ASSERT_TRUE(test::showActive(&w));
        test::whenModal<QInputDialog>([page](QInputDialog&) {
            test::type(QApplication::focusWidget(), QString::fromLatin1(page));
            test::key(QApplication::focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
        const QString expected = QStringLiteral("Página: %1 de 9999").arg(page);
        ASSERT_EQ(pagePanel(), expected);
        const QLabel& panel = *w.Panels[0];
        EXPECT_LE(panel.fontMetrics().horizontalAdvance(panel.text()), panel.contentsRect().width())
            << page;
    }
    // The other panels keep their places beside it.
    EXPECT_GE(w.Panels[1]->x(), w.Panels[0]->geometry().right());
}

TEST_F(PreviewWindow, APageSmallerThanTheViewSitsInItsMiddle) {
    open(fivePages());
    TDFMPreview& w = show();
    ASSERT_TRUE(test::showActive(&w));
    for (int request : {Qt::Key_2, Qt::Key_0}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(request), Qt::ControlModifier);
        if (request == Qt::Key_0) {
            w.AplicarZoom(25);
        }
        const QRect view = w.Scroller->viewport()->rect();
        const QRect box(w.VISOR->mapTo(w.Scroller->viewport(), QPoint(0, 0)), w.VISOR->size());
        EXPECT_LE(std::abs(box.left() - (view.width() - box.right() - 1)), 1) << w.zoom();
        if (box.height() < view.height()) {
            EXPECT_LE(std::abs(box.top() - (view.height() - box.bottom() - 1)), 1) << w.zoom();
        }
    }
}

TEST_F(PreviewWindow, TheModelPanelTellsTheModelThePrintSetupChooses) {
    g.Impressora = TModelo::Epson; // stored with the window, with a port: never mapped
    printerName = QStringLiteral("Laser do escritório");
    open(fivePages());
    TDFMPreview& w = show();
    QString proposed;
    PrinterSource printers;
    printers.names = [this] { return QStringList{printerName}; };
    printers.current = [this] { return CurrentPrinter{printerName, QStringLiteral("ipp://x")}; };
    g.setupHook = [&](TGravana& c) {
        return runSetupDialog(c, &w, printers, [&](TDFMsetup& dialog) {
            test::whenModal<TDFMsetup>([&](TDFMsetup& shown) {
                proposed = shown.MODELOS->currentText();
                test::key(QApplication::focusWidget(), Qt::Key_Escape);
            });
            return dialog.exec();
        });
    };
    const QString before = w.Panels[3]->text();
    key(Qt::Key_P, Qt::ControlModifier);
    ASSERT_FALSE(proposed.isEmpty()) << "the setup dialog was not seen";
    EXPECT_EQ(before, "Grafico");
    EXPECT_TRUE(proposed.startsWith(QStringLiteral("Gráfico"))) << proposed.toStdString();
}

} // namespace
} // namespace zr::textreport::ui

namespace zr::textreport::ui {
namespace {

// Progress in the progress window, as the viewer shows it; the cancel question is answered
// from the recorder's script.
class WindowedInteraction final : public test::RecordingInteraction {
public:
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override {
        test::RecordingInteraction::beginProgress(info);
        return std::make_unique<WindowProgress>(
            info, [this](const QString& question) { return confirm(question, {}); });
    }
};

TEST(PreviewPdfExport, ShowsTheProgressWindowWhoseCancelLeavesTheFileAsItWas) {
    ReportState::ScopedOverride state;
    WindowedInteraction ui;
    TGravana g(ui);
    g.PortaComunicacao = QStringLiteral("/dev/null");
    test::TempDir dir;
    ReportBuilder pages;
    for (int page = 1; page <= 200; ++page) {
        pages.item(page, 1, 1, "RELATORIO").item(page, 30, 10, "TOTAL 1.234,56");
    }
    ASSERT_TRUE(g.Abrir());
    ASSERT_EQ(g.LerRelatorio(dir.write("rel.GVP", pages.build())), LoadResult::Loaded);
    const QString target = dir.write("vendas.PDF", "the file of yesterday");
    ui.clear();

    TDFMPreview w(g); // over Qt's own file dialog, shown modally as the viewer does
    w.nomeImpressoraAtual = [] { return QStringLiteral("Fila1"); };
    QString shown; // the progress window's caption while it was the active window
    test::whenModal<QFileDialog>([&](QFileDialog& dialog) {
        ASSERT_TRUE(test::typeFileName(dialog, dir.path("vendas")));
        // Once the export runs, Space on the progress window's focused button cancels it.
        auto* watch = new QTimer(&w);
        QObject::connect(watch, &QTimer::timeout, [&shown, watch] {
            auto* progress = qobject_cast<TDFMProgresso*>(QApplication::activeWindow());
            if (progress && QApplication::focusWidget()) {
                watch->stop();
                shown = progress->windowTitle();
                // As the desktop delivers a click: to the window, which a modal one may block.
                QTest::mouseClick(progress->windowHandle(), Qt::LeftButton, {},
                                  progress->sbCancelar->geometry().center());
            }
        });
        watch->start(0);
        ASSERT_TRUE(test::confirmFileDialog(dialog));
    });
    // Ctrl+E once the preview has the keys, then close it.
    QTimer start;
    QObject::connect(&start, &QTimer::timeout, &w, [&w, &start] {
        if (w.isActiveWindow() && QApplication::focusWidget()) {
            start.stop();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
            w.reject();
        }
    });
    start.start(0);
    w.exec();

    EXPECT_EQ(shown, "Gerando PDF...");
    EXPECT_EQ(ui.questions, std::vector<QString>{"Deseja realmente Cancelar ?"});
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
    EXPECT_EQ(test::TempDir::read(target), "the file of yesterday");
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"rel.GVP", "vendas.PDF"}));
}

} // namespace
} // namespace zr::textreport::ui

namespace zr::textreport::ui {
namespace {

TEST_F(PreviewWindow, AReportReopensWhereItWasLeftAndItsPageIsTextToAScreenReader) {
    open(fivePages());
    const QString file = dir.path(QStringLiteral("rel.GVP"));
    const auto reopen = [&](int startPage = 0) -> TDFMPreview& {
        window.reset();
        window = std::make_unique<TDFMPreview>(g);
        window->setReportFile(file, startPage);
        window->nomeImpressoraAtual = [this] { return printerName; };
        window->show();
        EXPECT_TRUE(test::showActive(window.get()));
        return *window;
    };
    TDFMPreview& first = reopen();
    EXPECT_EQ(first.paginaAtual(), 1);
    // The page is text, read line by line, and told anew on paging.
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->textInterface(), nullptr);
    const QString pageOne = page->textInterface()->text(0, -1);
    EXPECT_EQ(pageOne, g.TextoDaPagina(1));
    EXPECT_FALSE(pageOne.trimmed().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Plus, Qt::ControlModifier);
    ASSERT_EQ(first.paginaAtual(), 3);
    EXPECT_EQ(page->textInterface()->text(0, -1), g.TextoDaPagina(3));
    EXPECT_NE(g.TextoDaPagina(3), pageOne);
    const int zoom = first.zoom();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);

    TDFMPreview& again = reopen();
    EXPECT_EQ(again.paginaAtual(), 3);
    EXPECT_EQ(again.zoom(), zoom);
    window->close();
    EXPECT_EQ(reopen(2).paginaAtual(), 2);
}

} // namespace
} // namespace zr::textreport::ui
