#include "qdx_preview_workspace.h"

#include "reportlib/print/qdx_res.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPointer>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextItem>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <exception>

namespace zr::reportlib::preview {

namespace {

int roundInt(double v) {
    return int(std::lround(v));
}

QString notFoundText() {
    return qdxResources().Text("clStrNotFound");
}

Qt::CursorShape cursorShape(int cursor) {
    switch (cursor) {
    case -2:
        return Qt::ArrowCursor;
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -6:
        return Qt::SizeBDiagCursor;
    case -7:
        return Qt::SizeVerCursor;
    case -8:
        return Qt::SizeFDiagCursor;
    case -9:
        return Qt::SizeHorCursor;
    case -10:
        return Qt::UpArrowCursor;
    case -11:
    case -17:
        return Qt::WaitCursor;
    case -12:
    case -16:
        return Qt::DragMoveCursor;
    case -13:
    case -18:
        return Qt::ForbiddenCursor;
    case -14:
        return Qt::SplitHCursor;
    case -15:
        return Qt::SplitVCursor;
    case -19:
        return Qt::BusyCursor;
    case -20:
        return Qt::WhatsThisCursor;
    case render::crHandPoint:
        return Qt::PointingHandCursor;
    case -22:
        return Qt::SizeAllCursor;
    case crQdxZoom:
        return Qt::CrossCursor;
    case crQdxFormat:
        return Qt::IBeamCursor;
    case crQdxHand:
        return Qt::OpenHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

// ---- TqdxScrollWin ---------------------------------------------------------------------------

TqdxScrollWin::TqdxScrollWin(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { barAction(0, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { barAction(1, action); });
}

void TqdxScrollWin::SetHorzRange(int value) { setRange(0, value); }
void TqdxScrollWin::SetVertRange(int value) { setRange(1, value); }
void TqdxScrollWin::SetHorzPage(int value) { setPage(0, value); }
void TqdxScrollWin::SetVertPage(int value) { setPage(1, value); }
void TqdxScrollWin::SetHorzPosition(int value) { setPosition(0, value); }
void TqdxScrollWin::SetVertPosition(int value) { setPosition(1, value); }
void TqdxScrollWin::HorzPositionChanged(int) {}
void TqdxScrollWin::VertPositionChanged(int) {}

void TqdxScrollWin::setRange(int axis, int value) {
    m_range[axis] = std::max(0, value);
    writeBar(axis);
}

void TqdxScrollWin::setPage(int axis, int value) {
    m_page[axis] = std::max(0, value);
    writeBar(axis);
}

void TqdxScrollWin::setPosition(int axis, int value) {
    const int top = std::max(0, m_range[axis] - m_page[axis]);
    value = std::clamp(value, 0, top);
    if (value == m_position[axis]) {
        return;
    }
    const int previous = m_position[axis];
    m_position[axis] = value;
    writeBar(axis);
    if (axis == 0) {
        HorzPositionChanged(previous);
    } else {
        VertPositionChanged(previous);
    }
}

void TqdxScrollWin::writeBar(int axis) {
    QScrollBar* bar = axis == 0 ? horizontalScrollBar() : verticalScrollBar();
    const bool writing = m_writing;
    m_writing = true;
    bar->setRange(0, std::max(0, m_range[axis] - m_page[axis]));
    bar->setPageStep(std::max(1, m_page[axis]));
    bar->setSingleStep(std::max(1, SmallChange));
    bar->setValue(m_position[axis]);
    m_writing = writing;
}

void TqdxScrollWin::barAction(int axis, int action) {
    QScrollBar* bar = axis == 0 ? horizontalScrollBar() : verticalScrollBar();
    // Page steps go by LargeChange, not by the visible extent that sizes the thumb.
    if (action == QAbstractSlider::SliderPageStepAdd) {
        bar->setSliderPosition(m_position[axis] + LargeChange);
    } else if (action == QAbstractSlider::SliderPageStepSub) {
        bar->setSliderPosition(m_position[axis] - LargeChange);
    }
}

void TqdxScrollWin::scrollContentsBy(int, int) {
    if (m_writing) {
        return;
    }
    // The bars moved: take their values as the positions.
    setPosition(0, horizontalScrollBar()->value());
    setPosition(1, verticalScrollBar()->value());
}

void TqdxScrollWin::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    setPage(0, viewport()->width());
    setPage(1, viewport()->height());
    setPosition(0, m_position[0]);
    setPosition(1, m_position[1]);
}

// ---- TqdxPageList ----------------------------------------------------------------------------

void TqdxPageList::Clear() {
    m_items.clear();
    m_maxWidth = 0;
}

void TqdxPageList::AddPage(QSize size, double zoom) {
    TqdxPageItem item;
    item.Width = std::max(0, roundInt(zoom * size.width()));
    item.Height = std::max(0, roundInt(zoom * size.height()));
    m_items.push_back(item);
}

void TqdxPageList::CalcBounds(int width) {
    m_maxWidth = 0;
    const int count = Count();
    int i = 0;
    int y = 10;
    while (i < count) {
        int sum = 0;
        int rowHeight = 0;
        int j = i;
        while (j < count) {
            TqdxPageItem& item = m_items[std::size_t(j)];
            if (sum > 0 && width < sum + item.Width) {
                break;
            }
            item.Left = sum;
            item.Top = y;
            sum += item.Width + 10;
            rowHeight = std::max(rowHeight, item.Height);
            ++j;
        }
        m_maxWidth = std::max(m_maxWidth, sum);
        int d = (width - sum + 10) / 2;
        d = d < 0 ? 10 : d + 10;
        for (int k = i; k < j; ++k) {
            m_items[std::size_t(k)].Left += d;
        }
        y += rowHeight + 10;
        i = j;
    }
}

int TqdxPageList::HorzExtent() const {
    return m_items.empty() ? 10 : m_maxWidth + 10;
}

int TqdxPageList::VertExtent() const {
    if (m_items.empty()) {
        return 10;
    }
    const TqdxPageItem& last = m_items.back();
    return last.Top + last.Height + 10;
}

// ---- Search state ----------------------------------------------------------------------------

void TqdxSearchState::Reset() {
    LastFoundIndex = -1;
    LastFoundRect = {};
    LastFoundPage = -1;
    Found = false;
}

TqdxSearchState& SearchState() {
    static TqdxSearchState state;
    return state;
}

// ---- TqdxPreviewWorkspace --------------------------------------------------------------------

TqdxPreviewWorkspace::TqdxPreviewWorkspace(QWidget* parent)
    : TqdxScrollWin(parent), m_failures(std::make_shared<TqdxPageFailures>()) {
    SmallChange = 8;
    LargeChange = 300;
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::OpenHandCursor);
}

TqdxPreviewWorkspace::~TqdxPreviewWorkspace() = default;

void TqdxPreviewWorkspace::SetReport(TqdxReport* report) {
    m_report = report;
    InvalidatePages();
}

void TqdxPreviewWorkspace::SetZoom(double zoom) {
    if (!(zoom > 0) || !std::isfinite(zoom)) {
        return;
    }
    m_zoom = zoom;
}

void TqdxPreviewWorkspace::SetFailures(std::shared_ptr<TqdxPageFailures> failures) {
    if (failures) {
        m_failures = std::move(failures);
    }
}

void TqdxPreviewWorkspace::SetLocked(bool locked) {
    m_locked = locked;
    if (locked) {
        m_dragging = false;
    }
    viewport()->update();
}

int TqdxPreviewWorkspace::LayoutWidth() const {
    return width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 26;
}

void TqdxPreviewWorkspace::ReloadPages(int limit) {
    PageList.Clear();
    if (TqdxPreviewPages* pages = Pages()) {
        int count = pages->Count();
        if (limit >= 0) {
            count = std::min(count, limit);
        }
        for (int i = 0; i < count; ++i) {
            PageList.AddPage(pages->PageExtent(i), m_zoom);
        }
    }
    // A new layout clamps the positions; that alone does not change the current page (the
    // owner puts the view back on it).
    const bool keeping = m_scrollingToPage;
    m_scrollingToPage = true;
    CalcPageBounds();
    m_scrollingToPage = keeping;
}

void TqdxPreviewWorkspace::CalcPageBounds() {
    PageList.CalcBounds(LayoutWidth());
    SetScrollRanges();
}

void TqdxPreviewWorkspace::SetScrollRanges() {
    SetHorzPage(viewport()->width());
    SetVertPage(viewport()->height());
    SetHorzRange(PageList.HorzExtent());
    SetVertRange(PageList.VertExtent());
    SetHorzPosition(HorzPosition());
    SetVertPosition(VertPosition());
    viewport()->update();
}

QRect TqdxPreviewWorkspace::GetPageBounds(int index, int clientWidth) const {
    if (index >= 0 && index < PageList.Count()) {
        const TqdxPageItem& item = PageList.Items(index);
        const int left = RightToLeft ? clientWidth - item.Width - item.Left : item.Left;
        return {left, item.Top, item.Width, item.Height};
    }
    const int w = roundInt(794 * m_zoom);
    const int h = roundInt(1123 * m_zoom);
    const int left = clientWidth >= 794 * m_zoom ? roundInt((clientWidth - 794 * m_zoom) / 2) : 10;
    return {left, roundInt(10 * m_zoom), w, h};
}

int TqdxPreviewWorkspace::FindPage(int y, int x) const {
    const int count = PageList.Count();
    if (count == 0) {
        return -1;
    }
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const TqdxPageItem& item = PageList.Items(mid);
        const int tolerance = x == 0 ? roundInt(item.Height / 5.0) : 0;
        if (y + tolerance < item.Top) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    if (x != 0) {
        const int clientWidth = viewport()->width();
        for (int i = std::max(0, hi - 20); i <= std::min(count - 1, hi + 20); ++i) {
            if (GetPageBounds(i, clientWidth).contains(x, y)) {
                return i;
            }
        }
    }
    return std::max(hi, 0);
}

bool TqdxPreviewWorkspace::usable() const {
    return !m_locked && m_report && PageList.Count() > 0;
}

QRect TqdxPreviewWorkspace::screenBounds(int index) const {
    return GetPageBounds(index, viewport()->width()).translated(-HorzPosition(), -VertPosition());
}

void TqdxPreviewWorkspace::SetPageNo(int pageNo, bool scroll) {
    const bool changed = pageNo != m_pageNo;
    m_pageNo = pageNo;
    if (changed) {
        viewport()->update();
    }
    // The main view also goes back to the page's top when it was already current (Home on the
    // first page); the strip only follows real changes, so the user can look along it.
    if (scroll && !DisableScroll && (changed || !Thumbnail)) {
        ScrollToPage(pageNo);
    }
}

void TqdxPreviewWorkspace::ScrollToPage(int pageNo) {
    if (pageNo < 1 || pageNo > PageList.Count()) {
        return;
    }
    // The page asked for stays current even when the scroll is clamped at the end.
    const bool scrolling = m_scrollingToPage;
    m_scrollingToPage = true;
    SetVertPosition(GetPageBounds(pageNo - 1).top() - 10);
    m_scrollingToPage = scrolling;
}

// ---- Places on a page -----------------------------------------------------------------------

TqdxViewPlace TqdxPreviewWorkspace::ViewPlace() const {
    const int index = m_pageNo - 1;
    if (index < 0 || index >= PageList.Count()) {
        return {};
    }
    const QRect page = GetPageBounds(index);
    if (page.width() <= 0 || page.height() <= 0) {
        return {};
    }
    return {index, double(HorzPosition() - page.left()) / page.width(),
            double(VertPosition() - page.top()) / page.height()};
}

void TqdxPreviewWorkspace::SetViewPlace(const TqdxViewPlace& place) {
    if (place.Page < 0 || place.Page >= PageList.Count()) {
        return;
    }
    const QRect page = GetPageBounds(place.Page);
    const bool scrolling = m_scrollingToPage;
    m_scrollingToPage = true;
    SetHorzPosition(page.left() + roundInt(place.X * page.width()));
    SetVertPosition(page.top() + roundInt(place.Y * page.height()));
    m_scrollingToPage = scrolling;
}

void TqdxPreviewWorkspace::WheelScroll(QPoint angle, QPoint pixels) {
    constexpr int kWheelLine = 20; // pixels
    if (!pixels.isNull()) {
        SetHorzPosition(HorzPosition() - pixels.x());
        SetVertPosition(VertPosition() - pixels.y());
        return;
    }
    const double perNotch = double(QApplication::wheelScrollLines()) * kWheelLine;
    const int delta[2] = {angle.x(), angle.y()};
    int move[2] = {0, 0};
    for (int axis = 0; axis < 2; ++axis) {
        m_wheelPixels[axis] += delta[axis] * perNotch / 120.0;
        move[axis] = int(m_wheelPixels[axis]);
        m_wheelPixels[axis] -= move[axis];
    }
    if (move[0] != 0) {
        SetHorzPosition(HorzPosition() - move[0]);
    }
    if (move[1] != 0) {
        SetVertPosition(VertPosition() - move[1]);
    }
}

// ---- Page tile cache -------------------------------------------------------------------------

void TqdxPreviewWorkspace::SetCacheLimit(std::size_t bytes) {
    m_cacheLimit = bytes;
    trimCache(0);
}

void TqdxPreviewWorkspace::dropTiles() {
    m_cache.clear();
    m_cacheIndex.clear();
    m_cacheBytes = 0;
}

void TqdxPreviewWorkspace::InvalidatePages() {
    dropTiles();
    ResetSearchCache();
    viewport()->update();
}

void TqdxPreviewWorkspace::InvalidatePage(int index) {
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        if (it->key.page == index) {
            m_cacheBytes -= std::size_t(it->image.sizeInBytes());
            m_cacheIndex.erase(it->key);
            it = m_cache.erase(it);
        } else {
            ++it;
        }
    }
    if (m_recordsPage == index) {
        m_recordsPage = -1;
        m_records.clear();
    }
    viewport()->update();
}

void TqdxPreviewWorkspace::trimCache(std::size_t room) {
    while (!m_cache.empty() && m_cacheBytes + room > m_cacheLimit) {
        const CacheEntry& last = m_cache.back();
        m_cacheBytes -= std::size_t(last.image.sizeInBytes());
        m_cacheIndex.erase(last.key);
        m_cache.pop_back();
    }
}

void TqdxPreviewWorkspace::pageFailed(int index, const QString& text) {
    if (!m_failures->Pages.insert(index).second) {
        return;
    }
    // Shown after this paint: a message box must not run inside a paint event.
    std::weak_ptr<TqdxPageFailures> failures = m_failures;
    QTimer::singleShot(0, this, [failures, text] {
        if (auto f = failures.lock(); f && f->Show) {
            f->Show(text);
        }
    });
}

const QImage* TqdxPreviewWorkspace::tileImage(int index, int column, int row, int tile,
                                              QSize pageSize) {
    if (m_failures->Pages.count(index)) {
        return nullptr;
    }
    const int zoom = roundInt(m_zoom * 1000);
    if (zoom != m_tileZoom) {
        // Tiles of another zoom would only come back if the user went back to it.
        dropTiles();
        m_tileZoom = zoom;
    }
    const CacheKey key{index, column, row};
    if (auto it = m_cacheIndex.find(key); it != m_cacheIndex.end()) {
        if (it->second != m_cache.begin()) {
            m_cache.splice(m_cache.begin(), m_cache, it->second);
        }
        return &m_cache.front().image;
    }
    const int left = column * tile;
    const int top = row * tile;
    const QSize size(std::min(tile, pageSize.width() - left),
                     std::min(tile, pageSize.height() - top));
    if (size.isEmpty()) {
        return nullptr;
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return nullptr;
    }
    image.fill(Qt::white);
    try {
        QPainter painter(&image);
        // The clip lets the page skip the objects that lie outside this tile.
        painter.setClipRect(QRect(QPoint(0, 0), size));
        render::PaintPage(*Pages(), index, painter, m_zoom, m_zoom, -left, -top);
    } catch (const std::exception& e) {
        pageFailed(index, QString::fromUtf8(e.what()));
        return nullptr;
    }
    ++m_tilesPainted;
    const auto bytes = std::size_t(image.sizeInBytes());
    trimCache(bytes);
    m_cache.push_front({key, std::move(image)});
    m_cacheIndex[key] = m_cache.begin();
    m_cacheBytes += bytes;
    return &m_cache.front().image;
}

bool TqdxPreviewWorkspace::paintTiles(QPainter& painter, int index, const QRect& bounds,
                                      const QRect& dirty) {
    const QRect wanted = (bounds & dirty).translated(-bounds.topLeft());
    if (wanted.isEmpty()) {
        return true;
    }
    const bool whole = bounds.width() <= kWholePageTile && bounds.height() <= kWholePageTile;
    const int tile = whole ? std::max(bounds.width(), bounds.height()) : kTileSize;
    for (int row = wanted.top() / tile; row <= wanted.bottom() / tile; ++row) {
        for (int column = wanted.left() / tile; column <= wanted.right() / tile; ++column) {
            const QImage* image = tileImage(index, column, row, tile, bounds.size());
            if (!image) {
                return false;
            }
            painter.drawImage(bounds.topLeft() + QPoint(column * tile, row * tile), *image);
        }
    }
    return true;
}

// ---- Painting --------------------------------------------------------------------------------

void TqdxPreviewWorkspace::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    if (!usable()) {
        painter.fillRect(client, BackColor);
        return;
    }
    const QRect dirty = event->rect() & client;
    const int count = PageList.Count();
    const int c = std::max(0, FindPage(VertPosition(), 0));
    const int first = std::max(0, c - 40);
    const int last = std::min(count - 1, c + 40);
    std::vector<int> visible;
    QRegion around(dirty);
    for (int i = first; i <= last; ++i) {
        const QRect r = screenBounds(i);
        if (r.top() <= client.height() && r.bottom() + 1 >= 0 && r.intersects(dirty)) {
            visible.push_back(i);
            around -= r;
        }
    }
    painter.setClipRegion(around);
    painter.fillRect(client, BackColor);
    painter.setClipping(false);

    // The current page's frame, two pixels wide just outside the page.
    if (m_pageNo >= 1 && m_pageNo <= count) {
        const QRect r = screenBounds(m_pageNo - 1);
        const int right = r.left() + r.width();
        const int bottom = r.top() + r.height();
        QPen pen(ActiveFrameColor, 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        const QPoint frame[] = {{r.left() - 1, r.top() - 1},
                                {right + 1, r.top() - 1},
                                {right + 1, bottom + 1},
                                {r.left() - 1, bottom + 1},
                                {r.left() - 1, r.top() - 2}};
        painter.drawPolyline(frame, 5);
    }

    QFont numberFont(QStringLiteral("Arial"));
    numberFont.setPointSize(8);
    for (int i : visible) {
        const QRect r = screenBounds(i);
        if (!paintTiles(painter, i, r, dirty)) {
            painter.fillRect(r & dirty, Qt::white);
        }
        painter.setPen(QPen(FrameColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        if (Thumbnail) {
            const QString label = QStringLiteral(" %1 ").arg(i + 1);
            painter.setFont(numberFont);
            const QFontMetrics fm(numberFont);
            const QRect box(r.left() + 1, r.top() + 1, fm.horizontalAdvance(label), fm.height());
            painter.fillRect(box, BackColor);
            painter.setPen(Qt::white);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
        }
        if (i == m_hitPage && SearchState().Found) {
            const QRect hit = HitRect();
            if (!hit.isEmpty()) {
                painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                painter.fillRect(hit, Qt::white);
                painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
        }
    }
}

// ---- Scrolling -------------------------------------------------------------------------------

void TqdxPreviewWorkspace::HorzPositionChanged(int previous) {
    viewport()->scroll(previous - HorzPosition(), 0);
}

void TqdxPreviewWorkspace::VertPositionChanged(int previous) {
    viewport()->scroll(0, previous - VertPosition());
    if (!Thumbnail && PageList.Count() > 0 && !m_scrollingToPage) {
        const int page = FindPage(VertPosition(), 0) + 1;
        const bool disabled = DisableScroll;
        DisableScroll = true;
        if (OnPageNoChange) {
            OnPageNoChange(page);
        } else {
            SetPageNo(page, false);
        }
        DisableScroll = disabled;
    }
}

// ---- Mouse -----------------------------------------------------------------------------------

void TqdxPreviewWorkspace::updateCursor(int cursor) {
    const Qt::CursorShape shape =
        m_dragging ? Qt::ClosedHandCursor : cursorShape(cursor == 0 ? crQdxHand : cursor);
    if (viewport()->cursor().shape() != shape) {
        viewport()->setCursor(shape);
    }
}

void TqdxPreviewWorkspace::objectAtPoint(QMouseEvent* event, bool click, bool doubleClick) {
    const QPoint at = event->position().toPoint();
    const int page = FindPage(at.y() + VertPosition(), at.x() + HorzPosition());
    int cursor = crQdxHand;
    if (page < 0 || !Pages() || m_failures->Pages.count(page)) {
        updateCursor(cursor);
        return;
    }
    const QRect bounds = GetPageBounds(page);
    static const render::PreviewLinks noLinks;
    try {
        render::ObjectAtPoint(*Pages(), *m_report, page, at.x(), at.y(), int(event->button()),
                              int(event->modifiers()), m_zoom, bounds.left() - HorzPosition(),
                              bounds.top() - VertPosition(), click, cursor, doubleClick,
                              Links ? *Links : noLinks);
    } catch (const std::exception& e) {
        // A page that cannot be built, or a link that is not a page number.
        if (click) {
            if (m_failures->Show) {
                m_failures->Show(QString::fromUtf8(e.what()));
            }
        }
    }
    updateCursor(cursor);
}

void TqdxPreviewWorkspace::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) {
        OnMouseDown(event);
    }
    setFocus(Qt::MouseFocusReason);
    if (usable() && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragMoved = false;
        m_dragStart = event->position().toPoint();
        m_lastPoint = m_dragStart;
        updateCursor(crQdxHand);
    }
}

void TqdxPreviewWorkspace::mouseMoveEvent(QMouseEvent* event) {
    if (Thumbnail || !usable()) {
        return;
    }
    const QPoint at = event->position().toPoint();
    if (m_dragging) {
        if ((at - m_dragStart).manhattanLength() >= QApplication::startDragDistance()) {
            m_dragMoved = true;
        }
        SetHorzPosition(HorzPosition() - (at.x() - m_lastPoint.x()));
        SetVertPosition(VertPosition() - (at.y() - m_lastPoint.y()));
        m_lastPoint = at;
        return;
    }
    objectAtPoint(event, false, false);
}

void TqdxPreviewWorkspace::mouseReleaseEvent(QMouseEvent* event) {
    if (!Thumbnail && OnClick) {
        OnClick(event);
    }
    if (!usable()) {
        m_dragging = false;
        return;
    }
    const bool dragged = m_dragging && m_dragMoved;
    m_dragging = false;
    const QPoint at = event->position().toPoint();
    int x = at.x() + HorzPosition();
    if (RightToLeft) {
        x = viewport()->width() - HorzPosition() - at.x();
    }
    const int page = FindPage(at.y() + VertPosition(), x);
    if (page >= 0) {
        const bool disabled = DisableScroll;
        DisableScroll = true;
        if (OnPageNoChange) {
            OnPageNoChange(page + 1);
        } else {
            SetPageNo(page + 1);
        }
        DisableScroll = disabled;
    }
    // A drag that moved the pages is not a click on what lies under the mouse at its end.
    if (!Thumbnail && event->button() != Qt::RightButton && !dragged) {
        const bool doubleClick =
            m_lastClick.isValid() && m_lastClick.elapsed() <= QApplication::doubleClickInterval();
        if (doubleClick) {
            m_lastClick.invalidate();
        } else {
            m_lastClick.start();
        }
        objectAtPoint(event, true, doubleClick);
    } else {
        updateCursor(crQdxHand);
    }
}

void TqdxPreviewWorkspace::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt delivers the second press as a double click: it still starts a drag.
    mousePressEvent(event);
    if (!Thumbnail && OnDblClick) {
        OnDblClick(event);
    }
}

void TqdxPreviewWorkspace::keyPressEvent(QKeyEvent* event) {
    if (OnKey && OnKey(event)) {
        event->accept();
        return;
    }
    event->ignore();
}

void TqdxPreviewWorkspace::wheelEvent(QWheelEvent* event) {
    if (!(OnWheel && OnWheel(event))) {
        WheelScroll(event->angleDelta(), event->pixelDelta());
    }
    event->accept();
}

void TqdxPreviewWorkspace::leaveEvent(QEvent* event) {
    clearLinkStatus();
    TqdxScrollWin::leaveEvent(event);
}

void TqdxPreviewWorkspace::clearLinkStatus() {
    if (!Links) {
        return;
    }
    if (Links->setStatus) {
        Links->setStatus({});
    }
    if (Links->hideHint) {
        Links->hideHint();
    }
}

// ---- Search ----------------------------------------------------------------------------------

void TqdxPreviewWorkspace::ResetSearchCache() {
    m_recordsPage = -1;
    m_records.clear();
}

QRect TqdxPreviewWorkspace::HitRect() const {
    const TqdxSearchState& state = SearchState();
    if (!state.Found || m_hitPage < 0) {
        return {};
    }
    const QRect page = screenBounds(m_hitPage);
    const QRect& hit = state.LastFoundRect;
    const int left = roundInt(hit.left() * m_zoom);
    const int top = roundInt(hit.top() * m_zoom);
    const int right = roundInt((hit.left() + hit.width()) * m_zoom);
    const int bottom = roundInt((hit.top() + hit.height()) * m_zoom);
    return QRect(QPoint(page.left() + left - 1, page.top() + top),
                 QPoint(page.left() + right, page.top() + bottom - 1));
}

bool TqdxPreviewWorkspace::Find(int startPage) {
    if (m_searching) {
        return false;
    }
    TqdxSearchState& state = SearchState();
    state.Found = false;
    m_hitPage = -1;
    m_findPage = std::max(0, startPage);
    const QString wanted =
        state.CaseSensitive ? state.Text : QLocale().toUpper(state.Text);
    m_searching = true;
    m_searchCancelled = false;
    const QPointer<TqdxPreviewWorkspace> alive(this);
    QElapsedTimer slice;
    slice.start();
    while (!wanted.isEmpty()) {
        // The window stays alive while long searches run: it repaints, scrolls, and hears
        // Escape. The pages may change meanwhile, so they are asked for again each time.
        if (slice.elapsed() >= kSearchSliceMs) {
            if (OnSearchProgress) {
                OnSearchProgress(m_findPage + 1, Pages() ? Pages()->Count() : 0);
            }
            QCoreApplication::processEvents();
            if (!alive) {
                return false;
            }
            slice.restart();
        }
        TqdxPreviewPages* pages = Pages();
        if (m_searchCancelled || !pages || m_findPage >= pages->Count()) {
            break;
        }
        if (m_recordsPage != m_findPage) {
            m_records.clear();
            m_recordsPage = m_findPage;
            if (!m_failures->Pages.count(m_findPage)) {
                try {
                    m_records = RecordPageText(*pages, m_findPage);
                } catch (const std::exception& e) {
                    pageFailed(m_findPage, QString::fromUtf8(e.what()));
                }
            }
        }
        for (int k = state.LastFoundIndex + 1; k < int(m_records.size()); ++k) {
            const QString& text = m_records[std::size_t(k)].Text;
            const bool hit = state.CaseSensitive ? text.contains(wanted)
                                                 : QLocale().toUpper(text).contains(wanted);
            if (hit) {
                state.LastFoundIndex = k;
                state.LastFoundRect = m_records[std::size_t(k)].Bounds;
                state.LastFoundPage = m_findPage;
                state.Found = true;
                break;
            }
        }
        if (state.Found) {
            break;
        }
        state.LastFoundIndex = -1;
        ++m_findPage;
    }
    m_searching = false;
    if (OnSearchProgress) {
        OnSearchProgress(0, 0);
    }
    if (m_searchCancelled) {
        // Stopped by the user: the view stays where it is, and F3 goes on from here.
        m_searchCancelled = false;
        viewport()->update();
        return false;
    }
    if (!state.Found) {
        viewport()->update();
        if (OnMessage) {
            OnMessage(notFoundText());
        }
        return false;
    }
    m_hitPage = m_findPage;
    const QRect page = GetPageBounds(m_hitPage);
    const QRect& hit = state.LastFoundRect;
    const int top = page.top() + roundInt(hit.top() * m_zoom);
    const int bottom = page.top() + roundInt((hit.top() + hit.height()) * m_zoom);
    const int left = page.left() + roundInt(hit.left() * m_zoom);
    const int right = page.left() + roundInt((hit.left() + hit.width()) * m_zoom);
    // A hit out of sight is brought to the upper third of the view, where the eye looks
    // first, rather than to its bottom edge; the hit's page becomes the current one, even when
    // the page above it still fills the top of the view.
    if (top < VertPosition() || bottom > VertPosition() + viewport()->height()) {
        const bool scrolling = m_scrollingToPage;
        m_scrollingToPage = true;
        SetVertPosition(top - viewport()->height() / 3);
        m_scrollingToPage = scrolling;
    }
    if (left < HorzPosition() || right > HorzPosition() + viewport()->width()) {
        SetHorzPosition(std::min(left - 20, right - viewport()->width() + 20));
    }
    if (!Thumbnail) {
        const bool disabled = DisableScroll;
        DisableScroll = true;
        if (OnPageNoChange) {
            OnPageNoChange(m_hitPage + 1);
        } else {
            SetPageNo(m_hitPage + 1, false);
        }
        DisableScroll = disabled;
    }
    viewport()->update();
    return true;
}

bool TqdxPreviewWorkspace::FindNext() {
    return Find(m_findPage);
}

} // namespace zr::reportlib::preview
