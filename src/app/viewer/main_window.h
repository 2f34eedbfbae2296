#pragma once

#include "start_action.h"

#include <QMainWindow>
#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;

namespace zr {
class Interaction;
}
namespace zr::textreport {
class TGravana;
}
namespace zr::reportlib {
class TqdxReport;
}
namespace zr::reportlib::pdf {
class TqdxPDFExport;
}

namespace zr::app {

// The program's main window: a background picture, the "Diversos" and "Ajuda" menus (Ctrl+O
// opens a report, Ctrl+Q quits, F10 opens the menus) and a status bar. It owns the text report
// component and the prepared report for its whole life,
// opens the report named on the command line or chosen in its open dialog, and hands it to the
// engine that reads it. Closing the window asks the user first.
class TfrmMenu final : public QMainWindow {
    Q_OBJECT

public:
    // The open dialog's filter, as the file-type list is written: "caption|patterns".
    static constexpr const char* kOpenFilter = "Relatórios Zeral ( *.GVP; *.QP3 )|*.GVP;*.QP3";
    static constexpr const char* kExitQuestion =
        "\"Prezado Cliente\"\rDeseja realmente sair do programa?";
    static constexpr const char* kExitCaption = "Terravel";

    // `ui` shows the window's exit question and everything its two report engines show; it
    // must outlive the window.
    explicit TfrmMenu(Interaction& ui, QWidget* parent = nullptr);
    ~TfrmMenu() override;

    // The background picture for a screen of this width: 1280 pixels or more take
    // imgFundo1280x600, less than 1024 imgFundo800x600, the others imgFundo1024x768.
    using Picture = QPixmap TfrmMenu::*;
    static Picture backgroundFor(int screenWidth);

    // The start-up rule for the program's first argument (see startActionFor): opens the file
    // when the rule says so, and returns what it did. A text report is previewed modally and
    // closed before this returns, so the program can end at once. The name only says that the
    // argument is meant as a report; what the file holds decides, as for the desktop
    // (openFileDecision): a file that is neither kind of report (empty, unreadable, anything
    // else) is said so through the window's Interaction and gives Refused, with no preview.
    StartAction FormCreate(const QString& firstArgument);

    // The open command: asks for a file and opens it (openReport). Nothing on cancel.
    void miAbrirRelatorioClick();
    // Closes the window, through the same question as any other close.
    void miSairClick();
    void miAjudaImpressaoClick();
    void miSobreClick();

    // The text report sequence: Abrir, LerRelatorio, Fechar (which previews the report).
    void openTextReport(const QString& fileName);
    // Sets the PDF export name (`pdfExportName`, else the file's name without ".QP3") and hands
    // the file to preparedReportHook.
    void openPreparedReport(const QString& fileName, const QString& pdfExportName = {});
    // Opens the file in the preview openActionFor tells: every door of the window (its first
    // argument, the desktop's --open, the open command) comes through here.
    void openReport(const QString& fileName, const QString& pdfExportName = {});
    // The prepared report sequence: loads the file into the report's prepared pages (a missing
    // file changes nothing) and shows them in the preview window, modally. A file the store
    // rejects is reported through the window's Interaction with the store's message, and the
    // preview then opens empty, so that another report can be opened from it; nothing escapes.
    void loadPreparedReport(const QString& fileName);

    // The page the next report opens at (from 1), over the place it was left at; 0 for that
    // place. Used once.
    void setStartPage(int page) { m_startPage = page; }

    textreport::TGravana& Gravana() const { return *m_gravana; }
    reportlib::TqdxReport& Report() const { return *m_report; }
    // The prepared report's PDF export, with the window's stored settings.
    reportlib::pdf::TqdxPDFExport& PdfExport() const { return *m_pdfExport; }

    // The default file name of the prepared report's PDF export (the last file's name without
    // its ".QP3"); also the export's FileName.
    const QString& pdfExportFileName() const { return m_pdfExportFileName; }

    // Loads and previews a prepared report. The default is loadPreparedReport; tests replace it.
    std::function<void(const QString& fileName)> preparedReportHook;
    // Runs the open dialog and returns the chosen file, or an empty text when the user cancels.
    // The default runs OpenDialog; tests replace it.
    std::function<QString()> chooseReport;

    QMenu* miDiversos = nullptr;
    QAction* miAbrirRelatorio = nullptr;
    QAction* miSair = nullptr;
    // The reports opened last, after "Abrir Relatório" (renewed whenever the menu opens).
    std::vector<QAction*> miRecentes;
    QAction* miRemoverAusentes = nullptr; // takes the reports that have gone off the list
    QMenu* miAjuda = nullptr;
    QAction* miAjudaImpressao = nullptr;
    QAction* miSobre = nullptr;
    QAction* miMenuTeclado = nullptr; // F10: opens the "Diversos" menu
    QLabel* imgPrincipal = nullptr;
    QFileDialog* OpenDialog = nullptr;

    QPixmap imgFundo800x600;
    QPixmap imgFundo1024x768;
    QPixmap imgFundo1280x600;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void renewRecentReports();
    void FormShow();
    bool FormCloseQuery();
    QString runOpenDialog();
    void centreOnScreen();

    Interaction& m_ui;
    std::unique_ptr<textreport::TGravana> m_gravana;
    std::unique_ptr<reportlib::TqdxReport> m_report;
    std::unique_ptr<reportlib::pdf::TqdxPDFExport> m_pdfExport;
    QString m_pdfExportFileName;
    QString m_preparedFileName; // the ".QP3" being shown
    QString m_textFileName;     // the ".GVP" being shown
    QAction* m_recentSeparator = nullptr; // before "Sair"
    int m_startPage = 0;
};

} // namespace zr::app
