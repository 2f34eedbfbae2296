#include "qdx_preview.h"

#include "reportlib/print/qdx_res.h"

#include "platform/files/report_folder.h"
#include "platform/interaction/interaction.h"
#include "platform/widgets/accessible_page.h"
#include "reportlib/document/qdx_unicode_utils.h"
#include "reportlib/render/page_text.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zr::reportlib::preview {

namespace {

constexpr int kPageRole = Qt::UserRole;     // the item's page, 1-based
constexpr int kTopRole = Qt::UserRole + 1;  // its place on the page, in pixels

int roundInt(double v) {
    return int(std::lround(v));
}

QString qp3Filter() {
    return qdxResources().Text("clQP3files") + QStringLiteral(" (*.qp3)");
}

// Runs `work` between Lock and Unlock, unlocking also when it throws.
template <typename Work>
auto locked(TqdxPreview& preview, Work work) {
    preview.Lock();
    try {
        auto result = work();
        preview.Unlock();
        return result;
    } catch (...) {
        preview.Unlock();
        throw;
    }
}

// What the page settings window sets: orientation, paper and margins.
void copyPageSettings(const TqdxReportPage& from, TqdxReportPage& to) {
    to.SetOrientation(from.Orientation());
    to.SetPaperWidth(from.PaperWidth());
    to.SetPaperHeight(from.PaperHeight());
    to.SetPaperSize(from.PaperSize());
    to.LeftMargin = from.LeftMargin;
    to.RightMargin = from.RightMargin;
    to.TopMargin = from.TopMargin;
    to.BottomMargin = from.BottomMargin;
}

} // namespace

TqdxPreview::TqdxPreview(QWidget* parent)
    : TqdxCustomPreview(parent), m_failures(std::make_shared<TqdxPageFailures>()) {
    setFocusPolicy(Qt::StrongFocus);

    m_outlineMenu = new QMenu(this);
    QAction* collapse = m_outlineMenu->addAction(qdxResources().Text(601));
    collapse->setIcon(qdxResources().PreviewIcon(TqdxResources::iconCollapseAll));
    connect(collapse, &QAction::triggered, this, [this] { CollapseOutline(); });
    QAction* expand = m_outlineMenu->addAction(qdxResources().Text(600));
    expand->setIcon(qdxResources().PreviewIcon(TqdxResources::iconExpandAll));
    connect(expand, &QAction::triggered, this, [this] { ExpandOutline(); });

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setHandleWidth(4);
    m_splitter->setChildrenCollapsible(false);

    m_outline = new QTreeWidget(m_splitter);
    m_outline->setHeaderHidden(true);
    m_outline->setAccessibleName(qdxResources().Text(129));
    m_outline->setContextMenuPolicy(Qt::CustomContextMenu);
    m_outline->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    connect(m_outline, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_outlineMenu->popup(m_outline->mapToGlobal(at)); });
    connect(m_outline, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { outlineClicked(item); });
    connect(m_outline, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { outlineClicked(item); });
    m_outline->hide();

    m_thumbnails = new TqdxPreviewWorkspace(m_splitter);
    m_thumbnails->Thumbnail = true;
    m_thumbnails->setAccessibleName(qdxResources().Text(131));
    m_thumbnails->SetZoom(0.1);
    m_thumbnails->SetCacheLimit(std::size_t(16) << 20);
    m_thumbnails->hide();

    m_workspace = new TqdxPreviewWorkspace(m_splitter);
    // A screen reader reads the current page's texts, in the order the bands lay them out.
    makeAccessiblePage(m_workspace, QStringLiteral("Páginas do relatório"), [this] {
        TqdxPreviewPages* pages = Pages();
        if (!pages || m_pageNo < 1 || m_pageNo > pages->Count()) {
            return QString();
        }
        try {
            return render::PageText(*pages, m_pageNo - 1);
        } catch (const std::exception&) {
            return QString(); // a page that cannot be built has no text to read
        }
    });
    m_workspace->verticalScrollBar()->setAccessibleName(QStringLiteral("Rolagem vertical"));
    m_workspace->horizontalScrollBar()->setAccessibleName(QStringLiteral("Rolagem horizontal"));
    m_thumbnails->verticalScrollBar()->setAccessibleName(QStringLiteral("Rolagem das miniaturas"));
    m_thumbnails->horizontalScrollBar()->setAccessibleName(
        QStringLiteral("Rolagem horizontal das miniaturas"));
    m_splitter->setStretchFactor(2, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_outline->isVisible() || m_thumbnails->isVisible()) {
            m_outlineWidth = m_outline->isVisible() ? m_outline->width() : m_thumbnails->width();
            // The user's width holds from now on: the panels no longer grow to their content.
            m_panelsSized = true;
        }
        RelayoutPages();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    m_notice = new QFrame(this);
    m_notice->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_notice->setAutoFillBackground(true);
    m_noticeLabel = new QLabel(m_notice);
    m_noticeLabel->setAlignment(Qt::AlignCenter);
    m_noticeLabel->setGeometry(4, 20, 255, 20);
    m_notice->hide();

    m_links.setStatus = [this](const QString& text) {
        if (OnStatusText) {
            OnStatusText(text);
        }
    };
    m_links.showHint = [this](const QString& longHint, const QString& shortHint) {
        if (!UseReportHints) {
            return;
        }
        m_workspace->viewport()->setToolTip(shortHint);
        if (OnHintText) {
            OnHintText(longHint);
        }
    };
    m_links.hideHint = [this] {
        m_workspace->viewport()->setToolTip({});
        if (OnHintText) {
            OnHintText({});
        }
    };
    m_links.goToPage = [this](int page) { SetPageNo(page); };
    m_links.goToAnchor = [this](int page, int top) { SetPosition(page, top); };
    m_links.openUrl = [this](const QString& url) {
        if (!render::IsOpenableLink(url)) {
            return;
        }
        if (OpenUrl) {
            OpenUrl(url);
        } else {
            const QFileInfo file(url);
            QDesktopServices::openUrl(file.isAbsolute() && file.exists()
                                          ? QUrl::fromLocalFile(url)
                                          : QUrl(url.trimmed()));
        }
    };
    m_links.refresh = [this] {
        m_workspace->InvalidatePages();
        m_thumbnails->InvalidatePages();
    };
    m_links.rebuild = [this] { RebuildReport(); };

    m_failures->Show = [this](const QString& text) { showPageError(text); };
    setupWorkspace(m_workspace);
    setupWorkspace(m_thumbnails);
    m_workspace->OnClick = [this](QMouseEvent* e) {
        if (OnClick) {
            OnClick(e);
        }
    };
    m_workspace->OnDblClick = [this](QMouseEvent* e) {
        if (OnDblClick) {
            OnDblClick(e);
        }
    };
    m_workspace->Links = &m_links;
    m_workspace->OnMessage = [this](const QString& text) { showMessage(text); };

    resize(100, 100);
}

TqdxPreview::~TqdxPreview() = default;

void TqdxPreview::setupWorkspace(TqdxPreviewWorkspace* workspace) {
    workspace->SetFailures(m_failures);
    workspace->BackColor = BackColor;
    workspace->FrameColor = FrameColor;
    workspace->ActiveFrameColor = ActiveFrameColor;
    workspace->OnPageNoChange = [this, workspace](int page) { workspacePageNo(workspace, page); };
    workspace->OnMouseDown = [this](QMouseEvent* e) {
        if (OnMouseDown) {
            OnMouseDown(e);
        }
    };
    workspace->OnKey = [this](QKeyEvent* e) { return HandleKey(e); };
    // Ctrl+wheel zooms the pages wherever it is turned; a plain wheel scrolls the workspace
    // under the pointer.
    workspace->OnWheel = [this](QWheelEvent* e) {
        if (!(e->modifiers() & Qt::ControlModifier)) {
            return false;
        }
        WheelScroll(e->angleDelta().y(), false, true);
        return true;
    };
    workspace->OnSearchProgress = [this](int pageNo, int count) {
        if (OnFindProgress) {
            OnFindProgress(pageNo, count);
        }
    };
}

void TqdxPreview::SetReport(TqdxReport* report) {
    TqdxCustomPreview::SetReport(report);
    m_failures->Pages.clear();
    m_workspace->SetReport(report);
    m_thumbnails->SetReport(report);
    m_workspace->RightToLeft = m_thumbnails->RightToLeft =
        report && report->PreviewOptions.RTLPreview;
}

int TqdxPreview::buttons() const {
    return m_report ? m_report->PreviewOptions.Buttons : 0;
}

void TqdxPreview::showMessage(const QString& text) {
    if (ShowMessage) {
        ShowMessage(text);
    } else if (m_report && m_report->UserInteraction) {
        m_report->UserInteraction->message(MessageKind::Information, text);
    } else {
        QMessageBox::information(this, QString(), text);
    }
}

void TqdxPreview::showError(const QString& text) {
    if (ShowMessage) {
        ShowMessage(text);
    } else if (m_report && m_report->UserInteraction) {
        m_report->UserInteraction->message(MessageKind::Error, text,
                                           qdxResources().Text("mbError"));
    } else {
        QMessageBox::critical(this, qdxResources().Text("mbError"), text);
    }
}

void TqdxPreview::showPageError(const QString& text) {
    if (ShowMessage) {
        ShowMessage(text);
        return;
    }
    if (!m_report) {
        return;
    }
    try {
        m_report->ShowErrors(text);
    } catch (const std::exception&) {
        // The report asked for errors to be raised; nobody above a paint can take them.
    }
}

// ---- Set-up, locking ---------------------------------------------------------------------------

void TqdxPreview::Init() {
    SearchState().Reset();
    m_findDone = false;
    m_failures->Pages.clear();
    m_workspace->SetReport(m_report);
    m_thumbnails->SetReport(m_report);
    if (m_report) {
        const TqdxPreviewOptions& o = m_report->PreviewOptions;
        SetOutlineWidth(o.OutlineWidth);
        SetOutlineVisible(o.OutlineVisible);
        SetThumbnailVisible(o.ThumbnailVisible);
        m_zoomMode = o.ZoomMode >= zmDefault && o.ZoomMode <= zmManyPages
                         ? TqdxZoomMode(o.ZoomMode)
                         : zmDefault;
        if (o.Zoom > 0 && std::isfinite(o.Zoom)) {
            m_zoom = std::min(o.Zoom, 100.0);
        }
        if (o.RTLPreview) {
            m_splitter->setLayoutDirection(Qt::RightToLeft);
        }
    }
    RelayoutPages();
    RebuildOutline();
    First();
}

void TqdxPreview::Lock() {
    m_locked = true;
    m_workspace->SetLocked(true);
    m_thumbnails->SetLocked(true);
}

void TqdxPreview::Unlock() {
    HideNotice();
    m_locked = false;
    m_workspace->SetLocked(false);
    m_thumbnails->SetLocked(false);
    RelayoutPages();
    m_workspace->viewport()->update();
    m_thumbnails->viewport()->update();
}

void TqdxPreview::ShowNotice(const QString& text) {
    m_notice->setGeometry((width() - 260) / 2, (height() - 75) / 3, 260, 75);
    m_noticeLabel->setText(text);
    m_notice->show();
    m_notice->raise();
    m_notice->repaint();
}

void TqdxPreview::HideNotice() {
    m_notice->hide();
}

// ---- Pages ---------------------------------------------------------------------------------------

int TqdxPreview::PageCount() const {
    TqdxPreviewPages* pages = Pages();
    return pages ? pages->Count() : 0;
}

void TqdxPreview::SetPageNo(int pageNo) {
    pageNo = std::max(pageNo, 1);
    pageNo = std::min(pageNo, PageCount());
    const bool changed = pageNo != m_pageNo;
    m_pageNo = pageNo;
    m_workspace->SetPageNo(pageNo);
    m_thumbnails->SetPageNo(pageNo);
    // Also after a load, when page 1 stays page 1 of other pages.
    accessiblePageChanged(m_workspace);
    if (changed && OnPageChanged) {
        OnPageChanged(pageNo);
    }
}

void TqdxPreview::workspacePageNo(TqdxPreviewWorkspace*, int pageNo) {
    // The workspace has set its own suppression flag: it does not scroll to the page itself.
    SetPageNo(pageNo);
}

void TqdxPreview::First() { SetPageNo(1); }
void TqdxPreview::Next() { SetPageNo(m_pageNo + 1); }
void TqdxPreview::Prior() { SetPageNo(m_pageNo - 1); }
void TqdxPreview::Last() { SetPageNo(PageCount()); }

void TqdxPreview::SetPosition(int pageNo, int top) {
    TqdxPreviewPages* pages = Pages();
    if (!pages) {
        return;
    }
    pageNo = std::max(1, std::min(pageNo, PageCount()));
    TqdxReportPage* page = nullptr;
    try {
        page = pages->PageObject(pageNo - 1);
    } catch (const std::exception& e) {
        showPageError(QString::fromUtf8(e.what()));
        return;
    }
    if (!page) {
        return;
    }
    const int extra = top == 0 ? 0 : roundInt((page->TopMargin * 3.77953 + top) * m_zoom);
    m_workspace->SetVertPosition(m_workspace->GetPageBounds(pageNo - 1).top() + extra - 10);
}

// ---- Zoom and layout ---------------------------------------------------------------------------

void TqdxPreview::SetZoom(double zoom) {
    if (!std::isfinite(zoom)) {
        return;
    }
    m_zoom = std::clamp(zoom, 0.25, 100.0);
    m_zoomMode = zmDefault;
    RelayoutPages();
}

void TqdxPreview::SetZoomMode(TqdxZoomMode mode) {
    m_zoomMode = mode;
    RelayoutPages();
}

void TqdxPreview::RelayoutPages() {
    if (m_locked) {
        return;
    }
    TqdxPreviewPages* pages = Pages();
    if (!pages || pages->Count() == 0) {
        // Nothing to show: the workspaces paint only their background.
        for (TqdxPreviewWorkspace* w : {m_workspace, m_thumbnails}) {
            w->PageList.Clear();
            w->CalcPageBounds();
        }
        return;
    }
    m_findDone = false;
    m_workspace->ResetSearchCache();
    const int pageIndex = std::max(0, std::min(m_pageNo, pages->Count()) - 1);
    QSize extent;
    try {
        extent = pages->PageExtent(pageIndex);
    } catch (const std::exception&) {
        extent = QSize(794, 1123);
    }
    const double w = extent.width();
    const double h = extent.height();
    if (h <= 0 || w <= 0) {
        return;
    }
    // Where the view stands on the current page, to stand there again at the new scale.
    const TqdxViewPlace place = m_workspace->ViewPlace();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    switch (m_zoomMode) {
    case zmWholePage:
        if (h / std::max(1, height()) >= w / std::max(1, width())) {
            m_zoom = (m_workspace->height() - 26) / h;
        } else {
            m_zoom = (m_workspace->width() - scrollBar - 26) / w;
        }
        m_zoom = std::max(m_zoom, 0.01);
        break;
    case zmPageWidth:
        m_zoom = std::max((m_workspace->width() - scrollBar - 26) / w, 0.01);
        break;
    default:
        break;
    }
    m_workspace->SetZoom(m_zoom);
    m_thumbnails->SetZoom(0.1);
    m_workspace->ReloadPages(m_building ? 50 : -1);
    if (!m_building && m_thumbnails->isVisible()) {
        m_thumbnails->ReloadPages();
        // The strip is as wide as its widest page (a landscape one among portrait ones) with
        // its margins and scroll bar, so that no thumbnail is cut.
        int widest = 0;
        for (int i = 0; i < m_thumbnails->PageList.Count(); ++i) {
            widest = std::max(widest, m_thumbnails->PageList.Items(i).Width);
        }
        const int fit = widest + 20 + scrollBar + 2 * m_thumbnails->frameWidth();
        if (fit != m_thumbnailFit) {
            m_thumbnailFit = fit;
            if (applyLeftPanels()) {
                // The pages are laid out again for the narrower view beside the strip.
                RelayoutPages();
                return;
            }
        }
    }
    if (m_zoomMode == zmWholePage) {
        // The whole current page, from its top.
        SetPosition(m_pageNo, 0);
    } else if (place.Page == m_pageNo - 1) {
        m_workspace->SetViewPlace(place);
    }
    if (!m_refreshing) {
        m_workspace->viewport()->update();
        m_thumbnails->viewport()->update();
    }
    if (OnZoomChanged) {
        OnZoomChanged(m_zoom);
    }
}

void TqdxPreview::WheelScroll(int delta, bool horizontal, bool zoom) {
    if (delta == 0) {
        return;
    }
    if (!zoom) {
        m_workspace->WheelScroll(horizontal ? QPoint(delta, 0) : QPoint(0, delta));
        return;
    }
    // A notch is a step; touchpads send parts of one.
    if ((m_wheelZoom > 0) != (delta > 0)) {
        m_wheelZoom = 0;
    }
    m_wheelZoom += delta;
    const int steps = m_wheelZoom / 120;
    if (steps == 0) {
        return;
    }
    m_wheelZoom -= steps * 120;
    SetZoom(std::max(m_zoom + steps * 0.1, 0.3));
}

void TqdxPreview::resizeEvent(QResizeEvent* event) {
    TqdxCustomPreview::resizeEvent(event);
    if (m_report) {
        RelayoutPages();
    }
}

// ---- Outline and thumbnails --------------------------------------------------------------------

void TqdxPreview::RebuildOutline() {
    m_outline->setUpdatesEnabled(false);
    m_outline->clear();
    const QFontMetrics metrics(m_outline->font());
    int widest = 0;
    TqdxPreviewPages* pages = Pages();
    if (pages) {
        TqdxOutline& outline = pages->Outline();
        outline.LevelRoot();
        // Walked with a stack of its own: the outline's depth comes from the file.
        struct Level {
            QTreeWidgetItem* parent;
            int index;
            int count;
        };
        std::vector<Level> levels{{nullptr, 0, outline.Count()}};
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.index >= level.count) {
                levels.pop_back();
                if (!levels.empty()) {
                    outline.LevelUp();
                }
                continue;
            }
            const int i = level.index++;
            QByteArray text;
            int page = 0;
            int top = 0;
            outline.GetItem(i, text, page, top);
            QString caption;
            try {
                caption = WidenText(text, 1, 1252);
            } catch (const std::exception&) {
                caption = QString::fromLatin1(text);
            }
            auto* item = level.parent ? new QTreeWidgetItem(level.parent)
                                      : new QTreeWidgetItem(m_outline);
            item->setText(0, caption);
            // Entries too long for the pane say themselves in full when pointed at.
            item->setToolTip(0, caption);
            widest = std::max(widest, m_outline->indentation() * int(levels.size()) +
                                          metrics.horizontalAdvance(caption));
            item->setData(0, kPageRole, page + 1);
            item->setData(0, kTopRole, top);
            outline.LevelInto(i);
            levels.push_back({item, 0, outline.Count()});
        }
        outline.LevelRoot();
    }
    if (m_report && m_report->PreviewOptions.OutlineExpand) {
        m_outline->expandAll();
    }
    if (m_outline->topLevelItemCount() > 0) {
        m_outline->scrollToItem(m_outline->topLevelItem(0), QAbstractItemView::PositionAtTop);
    }
    m_outline->setUpdatesEnabled(true);
    // The pane grows to its entries ("Página 10" and on, whole), within limits.
    m_outlineFit = widest > 0 ? widest + 16 + 2 * m_outline->frameWidth() +
                                    style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                              : 0;
    if (applyLeftPanels() && m_outlineVisible) {
        RelayoutPages();
    }
}

int TqdxPreview::panelWidth(int fit) const {
    if (m_panelsSized || fit <= m_outlineWidth) {
        return m_outlineWidth;
    }
    // At most a third of the control, and never narrower than the width asked for.
    return std::min(fit, std::max(m_outlineWidth, std::min(kWidestPanel, width() / 3)));
}

void TqdxPreview::outlineClicked(QTreeWidgetItem* item) {
    if (!item) {
        return;
    }
    SetPosition(item->data(0, kPageRole).toInt(), item->data(0, kTopRole).toInt());
    setFocus(Qt::OtherFocusReason);
}

void TqdxPreview::CollapseOutline() {
    m_outline->collapseAll();
    m_workspace->setFocus(Qt::OtherFocusReason);
}

void TqdxPreview::ExpandOutline() {
    m_outline->expandAll();
    if (m_outline->topLevelItemCount() > 0) {
        m_outline->scrollToItem(m_outline->topLevelItem(0), QAbstractItemView::PositionAtTop);
    }
    m_workspace->setFocus(Qt::OtherFocusReason);
}

bool TqdxPreview::applyLeftPanels() {
    m_outline->setVisible(m_outlineVisible);
    m_thumbnails->setVisible(m_thumbnailVisible);
    const QList<int> before = m_splitter->sizes();
    QList<int> sizes = before;
    if (sizes.size() == 3) {
        const int total = sizes[0] + sizes[1] + sizes[2];
        sizes[0] = m_outlineVisible ? panelWidth(m_outlineFit) : 0;
        sizes[1] = m_thumbnailVisible ? panelWidth(m_thumbnailFit) : 0;
        sizes[2] = std::max(0, total - sizes[0] - sizes[1]);
        m_splitter->setSizes(sizes);
    }
    return m_splitter->sizes() != before;
}

void TqdxPreview::SetOutlineVisible(bool visible) {
    const bool changed = visible != m_outlineVisible;
    m_outlineVisible = visible;
    if (visible) {
        m_thumbnailVisible = false;
    }
    applyLeftPanels();
    if (changed) {
        RelayoutPages();
    }
}

void TqdxPreview::SetThumbnailVisible(bool visible) {
    const bool changed = visible != m_thumbnailVisible;
    m_thumbnailVisible = visible;
    if (visible) {
        m_outlineVisible = false;
    }
    applyLeftPanels();
    if (changed) {
        RelayoutPages();
        if (visible) {
            m_thumbnails->ScrollToPage(m_pageNo);
        }
    }
}

void TqdxPreview::SetOutlineWidth(int width) {
    m_outlineWidth = std::max(20, width);
    m_outline->resize(m_outlineWidth, m_outline->height());
    m_thumbnails->resize(m_outlineWidth, m_thumbnails->height());
    applyLeftPanels();
}

void TqdxPreview::SetOutlineColor(const QColor& color) {
    QPalette palette = m_outline->palette();
    palette.setColor(QPalette::Base, color);
    m_outline->setPalette(palette);
}

// ---- Search --------------------------------------------------------------------------------------

bool TqdxPreview::Find(const QString& text, bool caseSensitive, bool fromStart) {
    if (Searching()) {
        return false;
    }
    TqdxSearchState& state = SearchState();
    state.Text = text;
    state.CaseSensitive = caseSensitive;
    state.LastFoundIndex = -1;
    const QPointer<TqdxPreview> alive(this);
    const bool found = m_workspace->Find(fromStart ? 0 : std::max(0, m_pageNo - 1));
    if (alive) {
        m_findDone = true;
    }
    return found;
}

void TqdxPreview::Find() {
    if (ShowFindDialog) {
        ShowFindDialog();
    }
}

bool TqdxPreview::FindNext() {
    return m_findDone && m_workspace->FindNext();
}

bool TqdxPreview::Searching() const {
    return m_workspace->Searching();
}

void TqdxPreview::CancelFind() {
    m_workspace->CancelSearch();
}

// ---- Keyboard and wheel --------------------------------------------------------------------------

bool TqdxPreview::HandleKey(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int allowed = buttons();
    TqdxPreviewWorkspace* w = m_workspace;
    std::optional<TqdxPreviewCommand> command;
    switch (event->key()) {
    case Qt::Key_Up:
        w->SetVertPosition(w->VertPosition() - 8);
        return true;
    case Qt::Key_Down:
        w->SetVertPosition(w->VertPosition() + 8);
        return true;
    case Qt::Key_Left:
        w->SetHorzPosition(w->HorzPosition() - 8);
        return true;
    case Qt::Key_Right:
        w->SetHorzPosition(w->HorzPosition() + 8);
        return true;
    case Qt::Key_PageUp:
        if (ctrl) {
            Prior();
        } else {
            w->SetVertPosition(w->VertPosition() - 300);
        }
        return true;
    case Qt::Key_PageDown:
        if (ctrl) {
            Next();
        } else {
            w->SetVertPosition(w->VertPosition() + 300);
        }
        return true;
    case Qt::Key_Home:
        First();
        return true;
    case Qt::Key_End:
        Last();
        return true;
    case Qt::Key_Escape:
        if (!Searching()) {
            return false;
        }
        CancelFind();
        return true;
    case Qt::Key_F3:
        if (!(allowed & pbFind)) {
            return false;
        }
        command = TqdxPreviewCommand::FindNext;
        break;
    default:
        break;
    }
    if (!command && ctrl) {
        // Ctrl with "+" or "=" (the same key on most layouts, no keypad needed) zooms in,
        // with "-" out, and Ctrl+0 goes back to 100%.
        const std::pair<int, int> keys[] = {
            {Qt::Key_P, pbPrint},           {Qt::Key_S, pbSave},
            {Qt::Key_F, pbFind},            {Qt::Key_O, pbLoad},
            {Qt::Key_Plus, pbZoom},         {Qt::Key_Equal, pbZoom},
            {Qt::Key_Minus, pbZoom},        {Qt::Key_0, pbZoom},
        };
        const TqdxPreviewCommand commands[] = {
            TqdxPreviewCommand::Print,  TqdxPreviewCommand::Save,   TqdxPreviewCommand::Find,
            TqdxPreviewCommand::Open,   TqdxPreviewCommand::ZoomIn, TqdxPreviewCommand::ZoomIn,
            TqdxPreviewCommand::ZoomOut, TqdxPreviewCommand::ZoomReset,
        };
        for (std::size_t i = 0; i < std::size(keys); ++i) {
            if (event->key() == keys[i].first && (allowed & keys[i].second)) {
                command = commands[i];
                break;
            }
        }
    }
    if (!command) {
        return false;
    }
    RunCommand(*command);
    return true;
}

void TqdxPreview::RunCommand(TqdxPreviewCommand command) {
    const bool zoom = command == TqdxPreviewCommand::ZoomIn ||
                      command == TqdxPreviewCommand::ZoomOut ||
                      command == TqdxPreviewCommand::ZoomReset;
    if (Searching() && !zoom) {
        return; // the pages stay as they are while a search runs through them
    }
    if (OnCommand) {
        OnCommand(command);
        return;
    }
    // No window: the control's own operations, which must not throw out of an event handler.
    try {
        switch (command) {
        case TqdxPreviewCommand::Print:
            Print();
            break;
        case TqdxPreviewCommand::Save:
            SaveToFile();
            break;
        case TqdxPreviewCommand::Open:
            LoadFromFile();
            break;
        case TqdxPreviewCommand::Find:
            Find();
            break;
        case TqdxPreviewCommand::FindNext:
            FindNext();
            break;
        case TqdxPreviewCommand::ZoomIn:
            SetZoom(m_zoom + 0.25);
            break;
        case TqdxPreviewCommand::ZoomOut:
            SetZoom(m_zoom - 0.25);
            break;
        case TqdxPreviewCommand::ZoomReset:
            SetZoom(1.0);
            break;
        }
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        showError(text.isEmpty() ? qdxResources().Text("mbError") : text);
    }
}

void TqdxPreview::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event)) {
        TqdxCustomPreview::keyPressEvent(event);
    }
}

void TqdxPreview::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        WheelScroll(event->angleDelta().y(), false, true);
    } else {
        m_workspace->WheelScroll(event->angleDelta(), event->pixelDelta());
    }
    event->accept();
}

// ---- Operations ----------------------------------------------------------------------------------

void TqdxPreview::Print() {
    TqdxPreviewPages* pages = Pages();
    if (m_building || !pages) {
        return;
    }
    pages->ViewedPage = m_pageNo;
    try {
        if (PrintReport) {
            PrintReport();
        }
    } catch (...) {
        Unlock();
        throw;
    }
    Unlock();
}

bool TqdxPreview::Export(render::TqdxCustomExportFilter* filter) {
    TqdxPreviewPages* pages = Pages();
    if (m_building || !pages) {
        return false;
    }
    pages->ViewedPage = m_pageNo;
    bool result = false;
    try {
        result = render::Export(*pages, filter, true);
    } catch (...) {
        Unlock();
        throw;
    }
    Unlock();
    return result;
}

void TqdxPreview::SaveToFile() {
    if (m_building || !Pages()) {
        return;
    }
    QString name;
    if (SaveFileName) {
        name = SaveFileName();
    } else {
        name = QFileDialog::getSaveFileName(this, QString(), reportFolder(), qp3Filter());
    }
    if (name.isEmpty()) {
        return;
    }
    m_workspace->viewport()->update();
    const QFileInfo info(name);
    SaveToFile(info.dir().filePath(info.completeBaseName() + QStringLiteral(".qp3")));
}

bool TqdxPreview::SaveToFile(const QString& fileName, int* error) {
    TqdxPreviewPages* pages = Pages();
    if (m_building || !pages) {
        return false;
    }
    return locked(*this, [&] {
        ShowNotice(qdxResources().Text("clSaving"));
        return pages->SaveToFile(fileName, error);
    });
}

void TqdxPreview::LoadFromFile() {
    if (m_building || !Pages()) {
        return;
    }
    QString name;
    if (OpenFileName) {
        name = OpenFileName();
    } else {
        name =
            QFileDialog::getOpenFileName(this, QString(), reportFolder(), qp3Filter(), nullptr,
                                         QFileDialog::ReadOnly | QFileDialog::DontUseNativeDialog);
    }
    if (name.isEmpty()) {
        return;
    }
    rememberReportFolder(name);
    m_workspace->viewport()->update();
    LoadFromFile(name);
}

bool TqdxPreview::LoadFromFile(const QString& fileName) {
    TqdxPreviewPages* pages = Pages();
    if (m_building || !pages) {
        return false;
    }
    if (!QFileInfo::exists(fileName)) {
        return false; // as the store does: a missing file changes nothing
    }
    QFile file(fileName);
    if (QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("Cannot open file \"" + fileName.toStdString() + "\". " +
                                 file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    file.close();
    // The file is read into a store of its own first: one that is not a prepared report, or is
    // damaged, throws there and leaves the report on screen, its caption and its page, as they
    // were. Only a file that loads replaces them.
    {
        TqdxReport trial;
        trial.EngineOptions.TempDir = m_report->EngineOptions.TempDir;
        QBuffer source;
        source.setData(bytes);
        source.open(QIODevice::ReadOnly);
        trial.PreviewPages().LoadFromStream(source, false);
    }
    Lock();
    ShowNotice(qdxResources().Text("clLoading"));
    auto finish = [this] {
        m_failures->Pages.clear();
        m_workspace->InvalidatePages();
        m_thumbnails->InvalidatePages();
        SearchState().Reset();
        m_findDone = false;
        m_pageNo = 0;
        SetPageNo(1);
        RebuildOutline();
        Unlock();
        m_workspace->ScrollToPage(m_pageNo);
    };
    try {
        QBuffer source;
        source.setData(bytes);
        source.open(QIODevice::ReadOnly);
        pages->LoadFromStream(source, false);
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (Interaction* ui = m_report->UserInteraction) {
        for (const QString& warning : pages->LoadWarnings()) {
            ui->message(MessageKind::Warning, warning);
        }
    }
    return true;
}

void TqdxPreview::EditPageSettings() {
    TqdxPreviewPages* pages = Pages();
    if (m_building || !pages || !PageSettingsDialog || m_pageNo < 1) {
        return;
    }
    TqdxReportPage* page = nullptr;
    try {
        page = pages->PageObject(m_pageNo - 1);
    } catch (const std::exception& e) {
        showPageError(QString::fromUtf8(e.what()));
        return;
    }
    if (!page) {
        return;
    }
    bool applyToAll = false;
    if (!PageSettingsDialog(*page, applyToAll)) {
        return;
    }
    if (applyToAll && BuildReport) {
        for (TqdxComponent* object : m_report->Objects()) {
            auto* design = qdx_cast<TqdxReportPage>(object);
            if (!design) {
                continue;
            }
            copyPageSettings(*page, *design);
        }
        RebuildReport();
        return;
    }
    if (applyToAll) {
        // A report read from a file has no engine to build it again: the settings go to every
        // prepared page instead, which is what the user asked for.
        TqdxReportPage settings;
        copyPageSettings(*page, settings);
        locked(*this, [&] {
            for (int i = 0; i < pages->Count(); ++i) {
                if (TqdxReportPage* other = pages->PageObject(i)) {
                    copyPageSettings(settings, *other);
                    pages->ReplacePage(i, *other);
                }
            }
            m_workspace->InvalidatePages();
            m_thumbnails->InvalidatePages();
            return true;
        });
        return;
    }
    const int index = m_pageNo - 1;
    locked(*this, [&] {
        pages->ReplacePage(index, *page);
        m_workspace->InvalidatePage(index);
        m_thumbnails->InvalidatePage(index);
        return true;
    });
}

void TqdxPreview::Edit() {}

void TqdxPreview::Clear() {
    TqdxPreviewPages* pages = Pages();
    if (m_building) {
        return;
    }
    Lock();
    if (pages) {
        pages->Clear();
    }
    m_failures->Pages.clear();
    m_workspace->InvalidatePages();
    m_thumbnails->InvalidatePages();
    Unlock();
    m_workspace->PageList.Clear();
    m_thumbnails->PageList.Clear();
    RebuildOutline();
    SetPageNo(1);
    m_workspace->SetHorzRange(0);
    m_workspace->SetVertRange(0);
    if (m_thumbnails->isVisible()) {
        m_thumbnails->SetHorzRange(0);
        m_thumbnails->SetVertRange(0);
    }
    m_workspace->viewport()->update();
}

void TqdxPreview::Cancel() {
    if (m_report) {
        m_report->Terminated = true;
    }
}

// ---- Rebuilding and progress -------------------------------------------------------------------

void TqdxPreview::RebuildReport() {
    if (!m_report || !BuildReport) {
        return;
    }
    const int horz = m_workspace->HorzPosition();
    const int vert = m_workspace->VertPosition();
    const int saved = m_pageNo;
    Lock();
    m_refreshing = true;
    try {
        BuildReport();
    } catch (...) {
        m_refreshing = false;
        Unlock();
        throw;
    }
    m_locked = false;
    m_thumbnails->SetLocked(false);
    m_failures->Pages.clear();
    m_workspace->InvalidatePages();
    m_thumbnails->InvalidatePages();
    m_pageNo = saved <= PageCount() ? saved : 1;
    RelayoutPages();
    RebuildOutline();
    m_refreshing = false;
    m_workspace->SetHorzPosition(horz);
    m_workspace->SetVertPosition(vert);
    m_workspace->SetLocked(false);
    m_workspace->viewport()->update();
    m_thumbnails->viewport()->update();
    if (PageCount() < saved) {
        SetPageNo(1);
    }
}

void TqdxPreview::ProgressStart() {
    if (m_refreshing) {
        return;
    }
    Clear();
    if (m_report) {
        m_report->ExpandedDrillNames.clear();
    }
    m_building = true;
}

void TqdxPreview::Progress(int pageIndex) {
    TqdxPreviewPages* pages = Pages();
    if (m_refreshing) {
        if (OnPageChanged) {
            OnPageChanged(m_pageNo);
        }
        return;
    }
    if (!pages || pageIndex < 0 || pageIndex >= pages->Count()) {
        return;
    }
    if (pageIndex < 50) {
        m_workspace->PageList.AddPage(pages->PageExtent(pageIndex), m_zoom);
        m_workspace->CalcPageBounds();
    }
    if (pageIndex == 0) {
        SetPageNo(1);
        RelayoutPages();
        m_progressTimer.start();
    } else if (pageIndex == 1) {
        const qint64 ms = m_progressTimer.isValid() ? m_progressTimer.elapsed() : 10;
        m_refreshInterval = ms <= 4 ? 50 : ms > 9 ? 5 : 20;
        SetPageNo(1);
        RelayoutPages();
    } else if (pageIndex % m_refreshInterval == 0) {
        if (OnPageChanged) {
            OnPageChanged(m_pageNo);
        }
        m_workspace->SetScrollRanges();
    }
    QCoreApplication::processEvents();
}

void TqdxPreview::ProgressStop() {
    if (m_refreshing) {
        return;
    }
    m_building = false;
    if (OnPageChanged) {
        OnPageChanged(m_pageNo);
    }
    RelayoutPages();
    RebuildOutline();
}

} // namespace zr::reportlib::preview
