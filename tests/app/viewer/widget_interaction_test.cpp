#include "app/viewer/widget_interaction.h"
#include "textreport/ui/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

TEST(WidgetInteraction, ShowsCarriageReturnsAsLineBreaks) {
    EXPECT_EQ(WidgetInteraction::boxText(
                  QStringLiteral("\"Prezado Cliente\"\rDeseja realmente sair do programa?")),
              QStringLiteral("\"Prezado Cliente\"\nDeseja realmente sair do programa?"));
    EXPECT_EQ(WidgetInteraction::boxText(QStringLiteral("Erro...\r\rArquivo: a\r\nb")),
              QStringLiteral("Erro...\n\nArquivo: a\nb"));
    EXPECT_EQ(WidgetInteraction::boxCaption({}), QCoreApplication::applicationName());
    EXPECT_EQ(WidgetInteraction::boxCaption(QStringLiteral("Terravel")),
              QStringLiteral("Terravel"));
}

TEST(WidgetInteraction, AShortMessageLeavesRoomForItsWholeTitle) {
    WidgetInteraction ui;
    int width = 0;
    int title = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        width = box->width();
        title = box->fontMetrics().horizontalAdvance(box->windowTitle());
        QTest::keyClick(box, Qt::Key_Return);
    });
    ui.message(MessageKind::Information, QStringLiteral("Ok."), QStringLiteral("ZeralVisualizador"));
    // The title bar's buttons and icon take their share as well.
    EXPECT_GE(width, title + 100);
}

TEST(WidgetInteraction, AJobsProgressShowsTheProgressWindowUntilItEnds) {
    WidgetInteraction ui;
    QWidget main;
    main.show();
    {
        auto progress =
            ui.beginProgress({QStringLiteral("Lendo..."), QStringLiteral("vendas.GVP"), 4});
        textreport::ui::TDFMProgresso* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<textreport::ui::TDFMProgresso*>(w); p && p->isVisible()) {
                window = p;
            }
        }
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Lendo..."));
        EXPECT_EQ(window->NOMEREL->text(), QStringLiteral("vendas.GVP"));
        EXPECT_EQ(window->ProgressBar1->maximum(), 4);
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_TRUE(main.isEnabled());
}

} // namespace
} // namespace zr::app
