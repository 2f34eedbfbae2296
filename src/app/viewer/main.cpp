// zeralvisualizador [FILE]: the desktop viewer. With a saved report (".GVP" or ".QP3") as
// argument the report opens at once and the program ends when its preview closes.

#include "app/common/qt_arguments.h"
#include "main_window.h"
#include "widget_interaction.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    // Qt sees only the program name, so that a report named like one of its options reaches
    // the main window unchanged.
    zr::app::QtArguments arguments(argc, argv);
    QApplication app(arguments.argc(), arguments.argv());
    QApplication::setApplicationName(QStringLiteral("ZeralVisualizador"));
    QApplication::setOrganizationName(QStringLiteral("Quadrel"));

    zr::app::WidgetInteraction ui;
    zr::app::TfrmMenu frmMenu(ui);
    QApplication::setWindowIcon(frmMenu.windowIcon());

    const zr::app::StartAction action = frmMenu.FormCreate(arguments.arguments().value(0));
    if (action != zr::app::StartAction::None) {
        // The report has been shown and its preview closed: the program's work is done.
        return 0;
    }
    frmMenu.showMaximized();
    return QApplication::exec();
}
