#include "app/viewer/widget_interaction.h"
#include "app/viewer/widget_progress.h"
#include "platform/interaction/cancel_request.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace zr::app {
namespace {

class WidgetProgressTest : public ::testing::Test {
protected:
    void SetUp() override { CancelRequest::clear(); }
    void TearDown() override { CancelRequest::clear(); }

    // A cancel question answered from `answers`, counting how often it was asked.
    ProgressWindow::AskFunction answering(std::vector<bool> answers) {
        return [this, answers](const QString& question) {
            asked.append(question);
            return asked.size() <= qsizetype(answers.size()) && answers[asked.size() - 1];
        };
    }

    static ProgressInfo info(qint64 maximum) {
        return {QStringLiteral("Lendo..."), QStringLiteral("/tmp/vendas.GVP"), maximum};
    }

    QStringList asked;
};

TEST_F(WidgetProgressTest, DisablesTheOtherVisibleWindowsUntilItEnds) {
    QWidget main;
    QWidget alreadyDisabled;
    QWidget hidden;
    main.show();
    alreadyDisabled.show();
    alreadyDisabled.setEnabled(false);
    {
        WidgetProgress progress(info(10), answering({}));
        EXPECT_TRUE(progress.window().isVisible());
        EXPECT_TRUE(progress.window().isEnabled());
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_TRUE(main.isEnabled());
    EXPECT_FALSE(alreadyDisabled.isEnabled());
    EXPECT_TRUE(hidden.isEnabled());
}

TEST_F(WidgetProgressTest, CancelButtonSetsTheRequestOnlyWhenConfirmed) {
    WidgetProgress progress(info(10), answering({false, true}));
    progress.window().sbCancelar->click();
    EXPECT_FALSE(progress.cancelled());
    progress.window().sbCancelar->click();
    EXPECT_TRUE(progress.cancelled());
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("Deseja realmente Cancelar ?")));
    // Once the request stands, further clicks ask nothing.
    progress.window().sbCancelar->click();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(progress.window().isVisible());
}

TEST_F(WidgetProgressTest, ClosingTheWindowIsACancelRequestAndLeavesItOpen) {
    WidgetProgress progress(info(10), answering({true}));
    QCloseEvent close;
    QApplication::sendEvent(&progress.window(), &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(progress.cancelled());
    EXPECT_TRUE(progress.window().isVisible());
}

TEST_F(WidgetProgressTest, TenStepsEndWithTheBarFull) {
    WidgetProgress progress(info(10), answering({}));
    for (int i = 0; i < 10; ++i) {
        progress.step();
    }
    EXPECT_EQ(progress.window().ProgressBar1->maximum(), 10);
    EXPECT_EQ(progress.window().ProgressBar1->value(), 10);
}

TEST_F(WidgetProgressTest, CountsBeyondTheBarsRangeAreScaledDown) {
    WidgetProgress progress(info(0), answering({}));
    const qint64 huge = 5'000'000'000;
    progress.setMaximum(huge);
    progress.setValue(huge);
    const QProgressBar& bar = *progress.window().ProgressBar1;
    EXPECT_GT(bar.maximum(), 0);
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST_F(WidgetProgressTest, FastStepsStillLetPendingEventsRun) {
    WidgetProgress progress(info(1'000'000'000), answering({}));
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    while (!ran && clock.elapsed() < 3000) {
        progress.step();
    }
    EXPECT_TRUE(ran);
}

TEST_F(WidgetProgressTest, SlowStepsLetPendingEventsRunAtOnce) {
    WidgetProgress progress(info(100), answering({}));
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    for (int i = 0; i < 20 && !ran; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * WidgetProgress::kRefreshMs));
        progress.step();
    }
    EXPECT_TRUE(ran);
    EXPECT_LE(progress.value(), 3);
}

TEST(WidgetInteractionText, ShowsCarriageReturnsAsLineBreaks) {
    EXPECT_EQ(WidgetInteraction::boxText(
                  QStringLiteral("\"Prezado Cliente\"\rDeseja realmente sair do programa?")),
              QStringLiteral("\"Prezado Cliente\"\nDeseja realmente sair do programa?"));
    EXPECT_EQ(WidgetInteraction::boxText(QStringLiteral("Erro...\r\rArquivo: a\r\nb")),
              QStringLiteral("Erro...\n\nArquivo: a\nb"));
    EXPECT_EQ(WidgetInteraction::boxCaption({}), QCoreApplication::applicationName());
    EXPECT_EQ(WidgetInteraction::boxCaption(QStringLiteral("Terravel")),
              QStringLiteral("Terravel"));
}

} // namespace
} // namespace zr::app
