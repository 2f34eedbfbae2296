#pragma once

// The preview window of prepared reports: a toolbar (print, open, save, export, quick PDF
// export, find, zoom, full screen, outline, thumbnails, page settings, edit, paging, close), a
// zoom box, a page field, a three-field status line, a context menu that repeats the toolbar,
// and the preview control filling the rest.
//
// Typical use (the main window, after loading a ".QP3" into report.PreviewPages()):
//     TqdxPreviewForm::PreviewPrepared(report, &pdfFilter, this, fileName);   // modal
//
// The window shows the buttons that the report's PreviewOptions.Buttons asks for, takes every
// caption, hint and message from the library's string table, and runs long jobs (export, save)
// under its own progress window, whose Cancel stops the job. While a job runs the preview
// control is locked.

#include "qdx_preview.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace zr::reportlib::pdf {
class TqdxPDFExport;
}

namespace zr::reportlib::preview {

class TqdxWindowInteraction;

class TqdxPreviewForm final : public QDialog {
    Q_OBJECT

public:
    explicit TqdxPreviewForm(QWidget* parent = nullptr);
    ~TqdxPreviewForm() override;

    // Shows `report`'s prepared pages in a new window, modally, and returns when it is closed.
    // `filter` (may be null, must outlive the call) is the PDF export the window offers;
    // `fileName` is the report's file, from which the PDF name is proposed.
    // The report opens where the user left it, unless `startPage` (from 1) says otherwise.
    static void PreviewPrepared(TqdxReport& report, pdf::TqdxPDFExport* filter, QWidget* parent,
                                const QString& fileName = {}, int startPage = 0);

    // Gives the preview control the report (which must outlive the window) and sets the window
    // up from its PreviewOptions: zoom, buttons, export menu, caption, context menu.
    void Setup(TqdxReport& report, pdf::TqdxPDFExport* filter, const QString& fileName = {});

    TqdxPreview* Preview() const { return m_preview; }
    TqdxReport* Report() const { return m_report; }
    // The report's file (after OpenB, the file opened).
    QString FileName() const { return m_fileName; }

    // ---- What the controls do.
    void PrintBClick();
    void OpenBClick();
    void SaveBClick();
    // Asks for the options and the file (PdfOptionsDialog), then exports with the progress
    // window. False when nothing was written.
    bool ExportPdf();
    void ExportPdfClick();
    void FullScreenBtnClick();
    void FindBClick();
    // F3: the next hit of the last search.
    void FindNextClick();
    void ZoomPlusBClick();
    void ZoomMinusBClick();
    void SetFullScreen(bool on);
    bool FullScreen() const { return m_fullScreen; }
    void PageSettingsBClick();
    void DesignerBClick();
    // Applies the zoom box's text or chosen item; the box then shows the resulting zoom.
    void ZoomCBApply();
    void ZoomCBSelect(int index);
    // Goes to the page typed in the page field.
    void PageEApply();
    // While a report is built: cancels the build; otherwise closes the window.
    void CancelBClick();
    void CollapseAll();
    void ExpandAll();
    // Enables the buttons and their context-menu items from the preview's state.
    void UpdateButtons();
    // The status line's message field (hint false) or hint field (hint true).
    void ShowProgressText(const QString& text, bool hint);

    // ---- Hooks (tests and the application replace them).
    // The PDF options and save dialogs; true when both were confirmed (the filter's FileName
    // then names the file). Defaults to TqdxPDFExportDialog::Execute.
    std::function<bool(pdf::TqdxPDFExport& filter, QWidget* parent, const QString& fileName)>
        PdfOptionsDialog;
    // Runs the find dialog; true after OK with the text and options. Defaults to a modal
    // TqdxSearchDialog.
    std::function<bool(QString& text, bool& caseSensitive, bool& fromStart)> FindDialog;

    // ---- Components, named as in the window's design.
    QToolBar* ToolBar = nullptr;
    QAction* PrintB = nullptr;
    QAction* OpenB = nullptr;
    QAction* SaveB = nullptr;
    QAction* ExportB = nullptr;
    QAction* PdfB = nullptr;
    QAction* EmailB = nullptr;
    QAction* FindB = nullptr;
    QAction* Sep1 = nullptr;
    QAction* ZoomPlusB = nullptr;
    QAction* Sep3 = nullptr; // the panel holding ZoomCB
    QAction* ZoomMinusB = nullptr;
    QAction* FullScreenBtn = nullptr;
    QAction* Sep2 = nullptr;
    QAction* OutlineB = nullptr;
    QAction* ThumbB = nullptr;
    QAction* PageSettingsB = nullptr;
    QAction* DesignerB = nullptr;
    QAction* Sep5 = nullptr;
    QAction* FirstB = nullptr;
    QAction* PriorB = nullptr;
    QAction* Sep4 = nullptr; // the panel holding PageE
    QAction* NextB = nullptr;
    QAction* LastB = nullptr;
    QAction* CancelBAction = nullptr;
    QToolButton* CancelB = nullptr;
    QComboBox* ZoomCB = nullptr;
    QLineEdit* PageE = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* StatusFields[3] = {};
    QMenu* ExportPopup = nullptr;
    QMenu* HiddenMenu = nullptr;
    QMenu* RightMenu = nullptr;
    QAction* CollapseMI = nullptr;
    QAction* ExpandMI = nullptr;
    QAction* N1 = nullptr;
    QActionGroup* PanelGroup = nullptr;

    // The tool button of a toolbar action (null for panels and separators).
    QToolButton* Button(QAction* action) const;
    // The context-menu item that goes with a toolbar action, or null.
    QAction* MenuItem(QAction* action) const;

    void reject() override;
    // Closing remembers the window's place on the screen and the report's place in it.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QAction* addButton(const QString& caption, const QString& hint, int icon,
                       void (TqdxPreviewForm::*click)());
    QAction* addPanel(QWidget* content);
    // A key for a toolbar button, which does what the button does while it is usable; the
    // button's hint names the key.
    void giveKey(QAction* button, const QKeySequence& key, const std::function<void()>& run);
    void popupRightMenu();
    void buildRightMenu();
    void pageChanged(int pageNo);
    void fitPageFields();
    void restorePlace();
    void rememberPlace();
    void layoutStatusFields();
    void showZoom();
    void focusPagesFromZoomBox();
    void renewCaption();
    void syncPanelButtons();
    // A key's command, run as its button runs it.
    void runCommand(TqdxPreviewCommand command);
    bool handleEnter();
    // Runs a long job with the control locked and the progress window in the report's
    // Interaction; errors are shown, never let loose.
    // `lock` locks the control for the job (operations that lock it themselves pass false).
    bool runJob(const QString& progressFormat, bool lock, const std::function<bool()>& job);
    void showError(const QString& text);
    bool building() const;

    TqdxPreview* m_preview = nullptr;
    TqdxReport* m_report = nullptr;
    pdf::TqdxPDFExport* m_pdfFilter = nullptr;
    std::unique_ptr<TqdxWindowInteraction> m_interaction;
    QString m_fileName;
    std::function<void(const QString&, bool)> m_savedProgressText; // the report's, given back
    int m_pageFieldWidth = 200; // the status line's page field, grown for long reports
    bool m_fullScreen = false;
    Qt::WindowStates m_savedState;
    bool m_savedFrameless = false;
    bool m_jobRunning = false;
    bool m_lastJobFailed = false; // the last job ended with an error already shown
    struct MenuLink {
        QAction* button;
        QAction* item;
    };
    std::vector<MenuLink> m_menuLinks;
};

} // namespace zr::reportlib::preview
