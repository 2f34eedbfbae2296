// zeralvisualizador [FILE]: the desktop viewer. With a saved text report (".GVP") as argument
// the report opens at once and the program ends when its preview closes.

#include "main_window.h"
#include "widget_interaction.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZeralVisualizador"));
    QApplication::setOrganizationName(QStringLiteral("Quadrel"));

    zr::app::WidgetInteraction ui;
    zr::app::TfrmMenu frmMenu(ui);
    QApplication::setWindowIcon(frmMenu.windowIcon());
    frmMenu.preparedReportHook = [](const QString& fileName) {
        std::fprintf(stderr,
                     "zeralvisualizador: %s: prepared reports (.QP3) are not supported by this "
                     "version yet\n",
                     qPrintable(fileName));
    };

    const QStringList arguments = QApplication::arguments();
    const zr::app::StartAction action = frmMenu.FormCreate(arguments.value(1));
    if (action == zr::app::StartAction::OpenGvp) {
        // The preview has been shown and closed: the program's work is done.
        return 0;
    }
    frmMenu.showMaximized();
    return QApplication::exec();
}
