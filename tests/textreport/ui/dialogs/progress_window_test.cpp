#include "textreport/ui/progress_window.h"
#include "textreport/ui/window_progress.h"

#include "accessible_names.h"
#include "active_window.h"
#include "key_input.h"
#include "platform/interaction/cancel_request.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace zr::textreport::ui {
namespace {

constexpr QRgb kMagenta = 0xFFFF00FFu;

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override { CancelRequest::clear(); }
    void TearDown() override { CancelRequest::clear(); }

    // A cancel question answered from `answers` (No once they run out).
    TDFMProgresso::AskFunction answering(std::vector<bool> answers) {
        return [this, answers](const QString& question) {
            asked.append(question);
            return asked.size() <= qsizetype(answers.size()) && answers[asked.size() - 1];
        };
    }

    static ProgressInfo info(const QString& caption, qint64 maximum = 10) {
        return {caption, QStringLiteral("/tmp/vendas.GVP"), maximum};
    }

    QStringList asked;
};

bool plain(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != colour.rgb()) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(ProgressWindow, CancelSetsTheRequestOnlyWhenConfirmed) {
    WindowProgress progress(info(QStringLiteral("Lendo...")), answering({false, true}));
    progress.window().sbCancelar->click();
    EXPECT_FALSE(progress.cancelled());
    for (int i = 0; i < 3; ++i) {
        progress.step(); // the job goes on
    }
    EXPECT_EQ(progress.value(), 3);
    progress.window().sbCancelar->click();
    EXPECT_TRUE(progress.cancelled());
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("Deseja realmente Cancelar ?")));
    // Once the request stands, further clicks ask nothing; the job closes the window.
    progress.window().sbCancelar->click();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(progress.window().isVisible());
}

TEST_F(ProgressWindow, ClosingOrEscapeAsksTheCancelQuestionAndLeavesItOpen) {
    WindowProgress progress(info(QStringLiteral("Gravando...")), answering({false, true}));
    QCloseEvent close;
    QApplication::sendEvent(&progress.window(), &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_FALSE(progress.cancelled());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&progress.window(), &escape);
    EXPECT_TRUE(progress.cancelled());
    EXPECT_TRUE(progress.window().isVisible());
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(ProgressWindow, EnterOnTheFocusedCancelButtonAsksTheQuestion) {
    WindowProgress progress(info(QStringLiteral("Imprimindo...")), answering({false, true}));
    TDFMProgresso& w = progress.window();
    ASSERT_TRUE(test::showActive(&w));
    test::focusByTab(w.sbCancelar);
    ASSERT_EQ(QApplication::focusWidget(), w.sbCancelar);
    test::key(w.sbCancelar, Qt::Key_Return);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_FALSE(progress.cancelled());
    test::key(w.sbCancelar, Qt::Key_Enter, {}, Qt::KeypadModifier);
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(progress.cancelled());
}

TEST_F(ProgressWindow, ScreenReadersFindANameForTheButtonAndTheBar) {
    WindowProgress progress(info(QStringLiteral("Lendo...")), answering({}));
    TDFMProgresso& w = progress.window();
    EXPECT_EQ(test::namelessControls(&w), "");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.sbCancelar)->text(QAccessible::Name),
              QStringLiteral("Cancelar"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.ProgressBar1)->text(QAccessible::Name),
              QStringLiteral("Lendo..."));
    // The shortened label still reads out the whole file name.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.NOMEREL)->text(QAccessible::Name),
              QStringLiteral("/tmp/vendas.GVP"));
}

TEST_F(ProgressWindow, TenStepsEndWithTheBarAtItsMaximumOfTen) {
    WindowProgress progress(info(QStringLiteral("Imprimindo..."), 10), answering({}));
    for (int i = 0; i < 10; ++i) {
        progress.step();
    }
    EXPECT_EQ(progress.window().ProgressBar1->maximum(), 10);
    EXPECT_EQ(progress.window().ProgressBar1->value(), 10);
}

TEST_F(ProgressWindow, CountsBeyondTheBarsRangeAreScaledDown) {
    WindowProgress progress(info(QStringLiteral("Lendo..."), 0), answering({}));
    const qint64 huge = 5'000'000'000;
    progress.setMaximum(huge);
    progress.setValue(huge / 2);
    progress.requestRefresh();
    progress.setValue(huge / 2);
    const QProgressBar& bar = *progress.window().ProgressBar1;
    EXPECT_GT(bar.maximum(), 0);
    EXPECT_NEAR(double(bar.value()) / bar.maximum(), 0.5, 0.001);
    progress.setValue(huge);
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST_F(ProgressWindow, AStepLetsPendingEventsRunOnceARefreshIsDue) {
    WindowProgress progress(info(QStringLiteral("Lendo..."), 1000), answering({}));
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    progress.requestRefresh();
    progress.step();
    EXPECT_TRUE(ran);
    EXPECT_EQ(progress.window().ProgressBar1->value(), 1);
}

TEST_F(ProgressWindow, DisablesTheOtherVisibleWindowsUntilItEnds) {
    QWidget main;
    QWidget alreadyDisabled;
    QWidget hidden;
    main.show();
    alreadyDisabled.show();
    alreadyDisabled.setEnabled(false);
    {
        WindowProgress progress(info(QStringLiteral("Lendo...")), answering({}));
        EXPECT_TRUE(progress.window().isVisible());
        EXPECT_TRUE(progress.window().isEnabled());
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_TRUE(main.isEnabled());
    EXPECT_FALSE(alreadyDisabled.isEnabled());
    EXPECT_TRUE(hidden.isEnabled());
}

TEST_F(ProgressWindow, LoadingPrintingAndSavingAnimateOnTheWindowColour) {
    const QColor corForm(230, 240, 255);
    for (const char* caption : {"Lendo...", "Imprimindo...", "Gravando..."}) {
        SCOPED_TRACE(caption);
        ProgressInfo i = info(QString::fromLatin1(caption));
        i.windowColor = corForm;
        TDFMProgresso w(i, answering({}));
        EXPECT_NE(w.animacao(), TDFMProgresso::Animacao::Nenhuma);
        QImage previous;
        for (int tick = 0; tick < TDFMProgresso::kFrames; ++tick) {
            const QImage frame = w.imagemDoQuadro();
            ASSERT_EQ(frame.size(), QSize(35, 34));
            EXPECT_FALSE(plain(frame, corForm)) << "frame " << w.quadro();
            EXPECT_NE(frame, previous) << "frame " << w.quadro();
            // The strip's transparent colour never shows; the window colour does.
            for (int y = 0; y < frame.height(); ++y) {
                for (int x = 0; x < frame.width(); ++x) {
                    ASSERT_NE(frame.pixel(x, y), kMagenta);
                }
            }
            EXPECT_EQ(frame.pixel(0, 0), corForm.rgb());
            previous = frame;
            w.Timer1Timer();
        }
        EXPECT_EQ(w.quadro(), 0); // after the sixth frame comes the first
    }
}

TEST_F(ProgressWindow, WithoutACaptionItIsThePrintingWindow) {
    TDFMProgresso w(info({}), answering({}));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Imprimindo..."));
    EXPECT_EQ(w.animacao(), TDFMProgresso::Animacao::Impressao);
}

TEST_F(ProgressWindow, HtmlAndPdfExportShowOnlyTheWindowColour) {
    for (const char* caption : {"Gerando HTML...", "Gerando PDF..."}) {
        SCOPED_TRACE(caption);
        TDFMProgresso w(info(QString::fromLatin1(caption)), answering({}));
        EXPECT_EQ(w.windowTitle(), QString::fromLatin1(caption));
        EXPECT_EQ(w.animacao(), TDFMProgresso::Animacao::Nenhuma);
        for (int tick = 0; tick < 3; ++tick) {
            EXPECT_TRUE(plain(w.imagemDoQuadro(), w.palette().color(QPalette::Window)));
            w.Timer1Timer();
        }
    }
}

TEST_F(ProgressWindow, TakesTheComponentsColoursWhenGiven) {
    ProgressInfo i = info(QStringLiteral("Lendo..."));
    i.windowColor = QColor(0, 0, 128);
    i.textColor = QColor(255, 255, 0);
    TDFMProgresso coloured(i, answering({}));
    EXPECT_EQ(coloured.palette().color(QPalette::Window), i.windowColor);
    EXPECT_EQ(coloured.NOMEREL->palette().color(QPalette::WindowText), i.textColor);

    TDFMProgresso plainWindow(info(QStringLiteral("Lendo...")), answering({}));
    EXPECT_EQ(plainWindow.palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));
}

} // namespace
} // namespace zr::textreport::ui
