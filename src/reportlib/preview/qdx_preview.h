#pragma once

// The preview control of prepared reports: a main page view, an outline tree or a thumbnail
// strip on the left, and a small notice panel. It keeps the current page, turns zoom modes
// into a scale, scrolls by keyboard, wheel and hand dragging, searches text, follows links and
// runs the file, print, export and page-setup operations a preview window offers.
//
// Typical use (the preview window builds its toolbar around it):
//     auto* preview = new TqdxPreview(parent);
//     preview->SetReport(&report);   // shows report.PreviewPages()
//     preview->Init();               // options, layout, outline, first page
//     preview->ShowFindDialog = [&] { ... preview->Find(text, caseSensitive, fromStart); };
//
// Dialogs belong to the window: the file dialogs, the find dialog, the page settings window and
// printing are hooks with plain defaults (file dialogs from Qt; the others do nothing).

#include "qdx_preview_workspace.h"

#include "reportlib/document/qdx_report.h"
#include "reportlib/render/page_services.h"

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace zr::reportlib::preview {

// What the report sees of a preview: set up, lock and unlock, rebuild, and the progress of a
// report being built.
class TqdxCustomPreview : public QWidget {
    Q_OBJECT

public:
    explicit TqdxCustomPreview(QWidget* parent = nullptr) : QWidget(parent) {}

    // The report shown (must outlive the control, or be detached with SetReport(nullptr)).
    virtual void SetReport(TqdxReport* report) { m_report = report; }
    TqdxReport* Report() const { return m_report; }
    TqdxPreviewPages* Pages() const { return m_report ? &m_report->PreviewPages() : nullptr; }

    virtual void Init() = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual void RebuildReport() = 0;
    virtual void ProgressStart() = 0;
    virtual void Progress(int pageIndex) = 0;
    virtual void ProgressStop() = 0;

protected:
    TqdxReport* m_report = nullptr;
};

// What a key of the preview asks for besides scrolling and paging: the operations a window also
// offers as buttons.
enum class TqdxPreviewCommand { Print, Save, Open, Find, FindNext, ZoomIn, ZoomOut, ZoomReset };

class TqdxPreview : public TqdxCustomPreview {
    Q_OBJECT

public:
    explicit TqdxPreview(QWidget* parent = nullptr);
    ~TqdxPreview() override;

    void SetReport(TqdxReport* report) override;

    // ---- The report's side.
    // Takes outline, thumbnails, zoom and mode from the report's PreviewOptions, lays the pages
    // out, builds the outline and goes to the first page.
    void Init() override;
    // Stops painting pages and handling the mouse (both workspaces) until Unlock.
    void Lock() override;
    // Hides the notice, lays out again and repaints.
    void Unlock() override;
    // Builds the report again through BuildReport, keeping page and scroll offset.
    void RebuildReport() override;
    void ProgressStart() override;
    void Progress(int pageIndex) override;
    void ProgressStop() override;
    bool Locked() const { return m_locked; }
    bool Building() const { return m_building; }

    // ---- Pages.
    int PageNo() const { return m_pageNo; }
    // Goes to a page, clamped to 1 ... PageCount (0 without pages).
    void SetPageNo(int pageNo);
    int PageCount() const;
    void First();
    void Next();
    void Prior();
    void Last();
    // Scrolls to `top` pixels below the top margin of page `pageNo` (the page's top for 0).
    void SetPosition(int pageNo, int top);

    // ---- Zoom. Zoom 1 is one report pixel (1/96 inch) per screen pixel.
    double Zoom() const { return m_zoom; }
    // Values below 0.25 become 0.25; the mode becomes zmDefault.
    void SetZoom(double zoom);
    TqdxZoomMode ZoomMode() const { return m_zoomMode; }
    void SetZoomMode(TqdxZoomMode mode);
    // Applies the zoom mode and lays both workspaces out again. The current page stays current
    // and the view keeps its place on it (a whole page is shown from its top); without pages
    // both workspaces are emptied.
    void RelayoutPages();
    // A wheel turn of `delta` eighths of a degree (120 a notch): with `zoom`, zooms by 0.1 a
    // notch (not below 0.3); otherwise scrolls the main view by the desktop's wheel lines,
    // against the turn. Parts of a notch add up.
    void WheelScroll(int delta, bool horizontal, bool zoom);

    // ---- Outline and thumbnails.
    void RebuildOutline();
    bool OutlineVisible() const { return m_outlineVisible; }
    void SetOutlineVisible(bool visible);
    bool ThumbnailVisible() const { return m_thumbnailVisible; }
    void SetThumbnailVisible(bool visible);
    int OutlineWidth() const { return m_outlineWidth; }
    void SetOutlineWidth(int width);
    void SetOutlineColor(const QColor& color);
    void CollapseOutline();
    void ExpandOutline();

    // ---- Search. Searches `text` from the first page or from the current one and shows the
    // hit; an empty text finds nothing. FindNext continues after a Find (nothing before one).
    // The window keeps handling events while the pages are searched (OnFindProgress tells how
    // far it got); CancelFind or Escape stops the search, which then finds nothing.
    bool Find(const QString& text, bool caseSensitive, bool fromStart);
    // Runs ShowFindDialog (Ctrl+F).
    void Find();
    bool FindNext();
    bool Searching() const;
    void CancelFind();

    // ---- Operations (each does nothing while a report is being built).
    void Print();
    // Exports through `filter` (see render::Export); false when it did not run or failed.
    bool Export(render::TqdxCustomExportFilter* filter);
    // Asks for a file name (SaveFileName) and saves; the name's extension becomes ".qp3".
    void SaveToFile();
    // Saves with the notice "Guardando ficheiro..."; false when the file could not be written.
    // Errors of the store pass on after Unlock.
    // `error`, when given, gets the system's error number of a failed write (0 for none).
    bool SaveToFile(const QString& fileName, int* error = nullptr);
    // Asks for a file name (OpenFileName) and loads it.
    void LoadFromFile();
    // Loads with the notice "Lendo ficheiro..."; goes to page 1 and rebuilds the outline, also
    // when loading fails (the error passes on after Unlock).
    bool LoadFromFile(const QString& fileName);
    void EditPageSettings();
    // Hands the current page to a report designer; there is none, so it does nothing.
    void Edit();
    void Clear();
    // Asks a running report build or export to stop.
    void Cancel();

    void ShowNotice(const QString& text);
    void HideNotice();

    // ---- Hooks for the window.
    std::function<void(int pageNo)> OnPageChanged;
    std::function<void(QMouseEvent*)> OnClick;
    std::function<void(QMouseEvent*)> OnDblClick;
    std::function<void(QMouseEvent*)> OnMouseDown;
    // Shows the find dialog (Ctrl+F); the dialog calls Find(text, caseSensitive, fromStart).
    std::function<void()> ShowFindDialog;
    // Prints the report (the print job); nothing by default.
    std::function<void()> PrintReport;
    // Builds the report again (the report engine); RebuildReport does nothing without it.
    std::function<void()> BuildReport;
    // Shows the page settings window for `page`; returns whether OK was pressed and sets
    // `applyToAll` when the settings go to every page.
    std::function<bool(TqdxReportPage& page, bool& applyToAll)> PageSettingsDialog;
    // File dialogs; empty result = cancelled. Defaults use QFileDialog with the ".qp3" filter.
    std::function<QString()> SaveFileName;
    std::function<QString()> OpenFileName;
    // Shows a message (not found, page errors); defaults to the report's interaction.
    std::function<void(const QString& text)> ShowMessage;
    // Opens an address that IsOpenableLink accepted; defaults to QDesktopServices.
    std::function<void(const QString& url)> OpenUrl;
    // Runs a key's command the way the window's button does (its checks, messages and
    // caption); without it the control runs its own operation.
    std::function<void(TqdxPreviewCommand)> OnCommand;
    // The report's status message (a link's address under the pointer; empty clears it).
    std::function<void(const QString& text)> OnStatusText;
    // The long part of an object's hint (empty clears it).
    std::function<void(const QString& text)> OnHintText;
    // While a search runs: the page being searched and the page count (0, 0 when it ended).
    std::function<void(int pageNo, int count)> OnFindProgress;
    // Called after the zoom changed (the window's zoom box).
    std::function<void(double zoom)> OnZoomChanged;

    // ---- Look.
    QColor BackColor = QColor(0x80, 0x80, 0x80);
    QColor FrameColor = QColor(0, 0, 0);
    QColor ActiveFrameColor = QColor(0x20, 0x40, 0x80);
    bool UseReportHints = true;

    // ---- Children (for the window and tests).
    TqdxPreviewWorkspace* Workspace() const { return m_workspace; }
    TqdxPreviewWorkspace* Thumbnails() const { return m_thumbnails; }
    QTreeWidget* OutlineTree() const { return m_outline; }
    QMenu* OutlineMenu() const { return m_outlineMenu; }
    QFrame* NoticePanel() const { return m_notice; }
    QLabel* NoticeLabel() const { return m_noticeLabel; }
    QSplitter* Splitter() const { return m_splitter; }

    // Handles a key of the preview's map; true when it was one. Workspaces forward their keys.
    // Errors of the operations a key runs are shown, never passed on.
    bool HandleKey(QKeyEvent* event);
    // Runs what a key asks for: OnCommand when set, else the control's own operation.
    void RunCommand(TqdxPreviewCommand command);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupWorkspace(TqdxPreviewWorkspace* workspace);
    void workspacePageNo(TqdxPreviewWorkspace* source, int pageNo);
    void outlineClicked(QTreeWidgetItem* item);
    // The left panel's width for content that needs `fit` pixels.
    int panelWidth(int fit) const;
    // Shows the panel asked for at its width; true when the view's width changed.
    bool applyLeftPanels();
    void showMessage(const QString& text);
    void showError(const QString& text);
    void showPageError(const QString& text);
    int buttons() const;

    TqdxPreviewWorkspace* m_workspace = nullptr;
    TqdxPreviewWorkspace* m_thumbnails = nullptr;
    QTreeWidget* m_outline = nullptr;
    QMenu* m_outlineMenu = nullptr;
    QSplitter* m_splitter = nullptr;
    QFrame* m_notice = nullptr;
    QLabel* m_noticeLabel = nullptr;
    render::PreviewLinks m_links;
    std::shared_ptr<TqdxPageFailures> m_failures;

    int m_pageNo = 1;
    double m_zoom = 1.0;
    TqdxZoomMode m_zoomMode = zmDefault;
    bool m_locked = false;
    bool m_building = false;
    bool m_refreshing = false;
    bool m_findDone = false;
    bool m_outlineVisible = false;
    bool m_thumbnailVisible = false;
    int m_outlineWidth = 120;
    // What the outline's entries and the strip's widest page need, in pixels (0: nothing).
    int m_outlineFit = 0;
    int m_thumbnailFit = 0;
    bool m_panelsSized = false; // the user has dragged the panel's width
    static constexpr int kWidestPanel = 360;
    int m_refreshInterval = 20;
    QElapsedTimer m_progressTimer;
    int m_wheelZoom = 0; // wheel turn towards the next zoom step, in eighths of a degree
};

} // namespace zr::reportlib::preview
