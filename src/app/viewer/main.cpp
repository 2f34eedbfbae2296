// zeralvisualizador [FILE]: the desktop viewer. With a saved report (".GVP" or ".QP3") as
// argument the report opens at once and the program ends when its preview closes.
// zeralvisualizador --open FILE: the same for the desktop (its entry and the file managers run
// it so), with the report's kind told by its content and a message for what is no report.

#include "app/common/qt_arguments.h"
#include "app_version.h"
#include "main_window.h"
#include "platform/fonts/font_configuration.h"
#include "qt_translations.h"
#include "widget_interaction.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

#include <cstdio>

namespace {

constexpr char kUsage[] =
    "Uso:\n"
    "  zeralvisualizador [--page N] [ARQUIVO.GVP | ARQUIVO.QP3]\n"
    "  zeralvisualizador [--page N] --open [ARQUIVO]\n"
    "  zeralvisualizador --help | --version\n"
    "\n"
    "Sem argumentos, abre a janela principal. Com um relatório, mostra-o e termina quando\n"
    "a visualização é fechada: a extensão .GVP (exatamente assim, em maiúsculas) abre um\n"
    "relatório texto e .QP3 (maiúsculas ou minúsculas) um relatório preparado; um arquivo\n"
    "com essa extensão que não é relatório é indicado numa mensagem (saída 1); qualquer\n"
    "outro argumento é ignorado e a janela principal abre.\n"
    "\n"
    "  --open ARQUIVO   abre o relatório pelo conteúdo, qualquer que seja a extensão\n"
    "                   (como faz a área de trabalho); um arquivo que não existe ou que\n"
    "                   não é relatório é indicado numa mensagem; sem ARQUIVO, abre a\n"
    "                   janela principal\n"
    "  --page N         abre o relatório na página N (sem ela, onde foi deixado da\n"
    "                   última vez)\n"
    "  --help           mostra este texto\n"
    "  --version        mostra a versão\n";

// The program's icon in every size drawn for it, for the windows and the task bar.
QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/zeralvisualizador-%1.png").arg(size);
        if (QFile::exists(file)) {
            icon.addFile(file, QSize(size, size));
        }
    }
    return icon;
}

} // namespace

int main(int argc, char** argv) {
    // Qt sees only the program name, so that a report named like one of its options reaches
    // the main window unchanged.
    zr::app::QtArguments arguments(argc, argv);
    QStringList words = arguments.arguments();
    // --page N before the report: the page it opens at, over the one it was left at.
    int startPage = 0;
    if (words.value(0) == QLatin1String("--page")) {
        bool ok = false;
        startPage = words.value(1).toInt(&ok);
        if (!ok || startPage < 1) {
            std::fprintf(stderr,
                         "zeralvisualizador: --page pede um número de página (1 ou mais), "
                         "não \"%s\"\n",
                         words.value(1).toLocal8Bit().constData());
            return 2;
        }
        words = words.mid(2);
    }
    const QString first = words.value(0);
    if (first == QLatin1String("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == QLatin1String("--version")) {
        std::printf("zeralvisualizador %s\n", zr::app::kVersaoSistema);
        return 0;
    }
    // Without a display Qt would abort with advice to reinstall; say what is missing instead.
    // A platform named in QT_QPA_PLATFORM (offscreen, vnc) is left to Qt.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("zeralvisualizador: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY vazios); "
                   "execute-o numa sessão gráfica\n",
                   stderr);
        return 1;
    }
    // The stand-ins for the Windows font families, for Qt's font database as for the PDF.
    zr::fonts::EnsureFontConfiguration();
    QApplication app(arguments.argc(), arguments.argv());
    QApplication::setApplicationName(QStringLiteral("ZeralVisualizador"));
    QApplication::setOrganizationName(QStringLiteral("Quadrel"));
    // Qt's own dialogs and buttons speak Portuguese like every other text of the program.
    zr::app::installQtTranslations();

    zr::app::WidgetInteraction ui;
    zr::app::TfrmMenu frmMenu(ui);
    // Every window without an icon of its own (the previews among them) shows the program's.
    // The desktop entry's name ties the windows to the entry in task bars.
    const QIcon icon = applicationIcon();
    QApplication::setWindowIcon(icon.isNull() ? frmMenu.windowIcon() : icon);
    frmMenu.setWindowIcon(QApplication::windowIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("zeralvisualizador"));

    frmMenu.setStartPage(startPage);
    const bool desktop = first == QLatin1String("--open");
    if (desktop && words.size() > 1) {
        return zr::app::openFromDesktop(frmMenu, ui, words.at(1));
    }
    // Started from the desktop's menu the entry gives no file: the main window opens as usual.
    if (!desktop) {
        const zr::app::StartAction done = frmMenu.FormCreate(first);
        if (done == zr::app::StartAction::Refused) {
            // Named as a report but none: the user has been told, as with --open.
            return 1;
        }
        if (done != zr::app::StartAction::None) {
            // The report has been shown and its preview closed: the program's work is done.
            return 0;
        }
    }
    frmMenu.showMaximized();
    return QApplication::exec();
}
