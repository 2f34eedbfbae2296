// zeralvisualizador [FILE]: the desktop viewer. With a saved report (".GVP" or ".QP3") as
// argument the report opens at once and the program ends when its preview closes.

#include "main_window.h"
#include "widget_interaction.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZeralVisualizador"));
    QApplication::setOrganizationName(QStringLiteral("Quadrel"));

    zr::app::WidgetInteraction ui;
    zr::app::TfrmMenu frmMenu(ui);
    QApplication::setWindowIcon(frmMenu.windowIcon());

    const QStringList arguments = QApplication::arguments();
    const zr::app::StartAction action = frmMenu.FormCreate(arguments.value(1));
    if (action != zr::app::StartAction::None) {
        // The report has been shown and its preview closed: the program's work is done.
        return 0;
    }
    frmMenu.showMaximized();
    return QApplication::exec();
}
