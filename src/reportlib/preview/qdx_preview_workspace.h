#pragma once

// The page area of the prepared-report preview: a scroll window with its own ranges and
// positions, the page list that lays page rectangles out in centred rows, and the workspace
// that paints the visible parts of pages from a cache of page tiles, lets the user drag the
// pages, hands hovering and clicks to the page objects and searches text page by page.
//
// One preview (TqdxPreview) owns two workspaces: the main view at the preview's zoom and the
// thumbnail strip at zoom 0.1. A workspace can also live on its own (tests, benchmarks): it
// then needs only a report, whose prepared pages it shows.

#include "reportlib/document/qdx_report.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/page_text.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

namespace zr::reportlib::preview {

// Cursor numbers the workspace knows besides the standard negative ones: the hand it shows over
// pages, a zoom and a format cursor.
inline constexpr int crQdxHand = 150;
inline constexpr int crQdxZoom = 151;
inline constexpr int crQdxFormat = 152;

// A scrollable control with a range (content extent), a page (visible extent) and a position
// for each direction. Positions are clamped to 0 ... range - page. Subclasses hear of position
// changes through HorzPositionChanged / VertPositionChanged.
class TqdxScrollWin : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TqdxScrollWin(QWidget* parent = nullptr);

    int HorzRange() const { return m_range[0]; }
    int VertRange() const { return m_range[1]; }
    int HorzPage() const { return m_page[0]; }
    int VertPage() const { return m_page[1]; }
    int HorzPosition() const { return m_position[0]; }
    int VertPosition() const { return m_position[1]; }
    void SetHorzRange(int value);
    void SetVertRange(int value);
    void SetHorzPage(int value);
    void SetVertPage(int value);
    void SetHorzPosition(int value);
    void SetVertPosition(int value);

    // Line steps (arrows of the scroll bars) and page steps (clicks beside the thumb).
    int SmallChange = 1;
    int LargeChange = 10;
    // What the client area is filled with where nothing else is drawn.
    QColor Color = QColor(0x80, 0x80, 0x80);

protected:
    // Run after a position changed; `previous` is the position before.
    virtual void HorzPositionChanged(int previous);
    virtual void VertPositionChanged(int previous);
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void setRange(int axis, int value);
    void setPage(int axis, int value);
    void setPosition(int axis, int value);
    void writeBar(int axis);
    void barAction(int axis, int action);

    int m_range[2] = {0, 0};
    int m_page[2] = {0, 0};
    int m_position[2] = {0, 0};
    bool m_writing = false;
};

// One page's rectangle in the content, in pixels at the workspace's zoom.
struct TqdxPageItem {
    int Width = 0;
    int Height = 0;
    int Left = 0;
    int Top = 0;
};

// The page rectangles of a workspace, laid out in centred rows 10 pixels apart.
class TqdxPageList {
public:
    void Clear();
    // Adds a page of `size` pixels at scale 1, stored at `zoom`.
    void AddPage(QSize size, double zoom);
    int Count() const { return int(m_items.size()); }
    const TqdxPageItem& Items(int index) const { return m_items[std::size_t(index)]; }
    // Lays the pages out for a layout width: rows as wide as fit (at least one page each),
    // centred with at least 10 pixels on the left.
    void CalcBounds(int width);
    // The widest row (its page widths plus 10 pixels each).
    int MaxWidth() const { return m_maxWidth; }
    // Horizontal and vertical content extents: widest + 10 and the last page's bottom + 10
    // (10 each without pages).
    int HorzExtent() const;
    int VertExtent() const;

private:
    std::vector<TqdxPageItem> m_items;
    int m_maxWidth = 0;
};

// Where a view stands on a page: the page (0-based) and the view's left and top edges as shares
// of the page's width and height from its top-left corner (negative above or left of it).
struct TqdxViewPlace {
    int Page = -1;
    double X = 0;
    double Y = 0;
};

// Text search state shared by every workspace of the process.
struct TqdxSearchState {
    QString Text;
    bool CaseSensitive = false;
    int LastFoundIndex = -1; // text record of the last hit on its page
    QRect LastFoundRect;     // the hit's box on its page at scale 1
    int LastFoundPage = -1;
    bool Found = false;
    void Reset();
};
TqdxSearchState& SearchState();

using render::RecordPageText;
using render::TqdxTextRecord;

// Pages that could not be built: painted blank and reported once. Shared by the workspaces of
// one preview.
struct TqdxPageFailures {
    std::set<int> Pages;
    // Shows an error text; runs after the paint that met the error, never inside it.
    std::function<void(const QString& text)> Show;
};

class TqdxPreviewWorkspace : public TqdxScrollWin {
    Q_OBJECT

public:
    explicit TqdxPreviewWorkspace(QWidget* parent = nullptr);
    ~TqdxPreviewWorkspace() override;

    // The report whose prepared pages are shown (null: nothing). Drops the image cache.
    void SetReport(TqdxReport* report);
    TqdxReport* Report() const { return m_report; }
    TqdxPreviewPages* Pages() const { return m_report ? &m_report->PreviewPages() : nullptr; }

    // ---- Layout.
    TqdxPageList PageList;
    double Zoom() const { return m_zoom; }
    // Sets the scale pages are drawn at (does not lay out again).
    void SetZoom(double zoom);
    // Refills the page list with every page's size at the zoom (only the first `limit` pages
    // when limit >= 0), lays it out for the workspace's width and sets the scroll ranges; the
    // positions are applied again, and so clamped.
    void ReloadPages(int limit = -1);
    // The layout width: the whole width less a vertical scroll bar less 26.
    int LayoutWidth() const;
    // Lays the list out for LayoutWidth() and sets the scroll ranges from it.
    void CalcPageBounds();
    void SetScrollRanges();
    // A page's rectangle in the content (an A4-sized default outside the list).
    QRect GetPageBounds(int index, int clientWidth) const;
    QRect GetPageBounds(int index) const { return GetPageBounds(index, viewport()->width()); }
    // The page at content point (x, y); with x = 0 a page counts once y is within a fifth of
    // its height above it. -1 without pages.
    int FindPage(int y, int x = 0) const;

    // ---- State.
    bool Thumbnail = false;
    bool RightToLeft = false;
    QColor BackColor = QColor(0x80, 0x80, 0x80);
    QColor FrameColor = QColor(0, 0, 0);
    QColor ActiveFrameColor = QColor(0x20, 0x40, 0x80);
    bool Locked() const { return m_locked; }
    void SetLocked(bool locked);
    int PageNo() const { return m_pageNo; }
    // Stores the current page (1-based) and repaints; scrolls to its top - 10 unless the
    // workspace itself is changing it, or `scroll` is false.
    void SetPageNo(int pageNo, bool scroll = true);
    // Scrolls the page's top to 10 pixels below the view's top.
    void ScrollToPage(int pageNo);
    // True while the workspace changes the current page itself (no scrolling to it then).
    bool DisableScroll = false;

    // ---- What the workspace asks of its owner.
    // Where the view stands on the current page (Page -1 when it is not laid out).
    TqdxViewPlace ViewPlace() const;
    // Scrolls to a place on a page; the current page is kept.
    void SetViewPlace(const TqdxViewPlace& place);
    // Scrolls as a wheel turn asks: `angle` in eighths of a degree (120 a notch) moves the
    // desktop's wheel lines (QApplication::wheelScrollLines) of 20 pixels a notch, against the
    // turn, parts of a notch adding up; `pixels` (touchpads) move the view by themselves.
    void WheelScroll(QPoint angle, QPoint pixels = {});

    // A new current page (1-based), from scrolling or a click; the owner propagates it.
    std::function<void(int pageNo)> OnPageNoChange;
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnClick;
    std::function<void(QMouseEvent*)> OnDblClick;
    // Keys and wheel turns are the owner's; true when it used them (a wheel turn the owner
    // leaves scrolls this workspace).
    std::function<bool(QKeyEvent*)> OnKey;
    std::function<bool(QWheelEvent*)> OnWheel;
    // Links, hints and clicks on page objects (see render::ObjectAtPoint).
    render::PreviewLinks* Links = nullptr;
    // Shows "text not found" (the owner's message box).
    std::function<void(const QString& text)> OnMessage;
    // Where pages that cannot be built are noted (the workspace has its own by default).
    void SetFailures(std::shared_ptr<TqdxPageFailures> failures);
    const std::shared_ptr<TqdxPageFailures>& Failures() const { return m_failures; }

    // ---- The page tile cache. A page up to kWholePageTile pixels a side is painted as one
    // picture; a larger one (a high zoom) in tiles of kTileSize x kTileSize pixels, only those
    // in view, so memory and painting time stay bounded at any zoom. A zoom change drops the
    // tiles of the old zoom.
    static constexpr int kTileSize = 512;
    static constexpr int kWholePageTile = 1400;
    // At most this many bytes of tiles are kept; the least recently used go first.
    void SetCacheLimit(std::size_t bytes);
    std::size_t CacheLimit() const { return m_cacheLimit; }
    std::size_t CacheBytes() const { return m_cacheBytes; }
    int CachedImages() const { return int(m_cache.size()); }
    // How many tiles have been painted so far (a cache miss each).
    int TilesPainted() const { return m_tilesPainted; }
    // Drops every tile (the pages changed) and the search's page records.
    void InvalidatePages();
    // Drops the tiles of one page.
    void InvalidatePage(int index);

    // ---- Search. Searches the shared search text from `startPage` (0-based) on, scrolls the
    // hit into view and shows it inverted; without a hit shows "text not found". True on a hit.
    // Events are handled every kSearchSliceMs while it runs (after OnSearchProgress); a
    // CancelSearch then stops it without a message. A Find while one runs does nothing.
    static constexpr int kSearchSliceMs = 10;
    bool Find(int startPage);
    bool Searching() const { return m_searching; }
    void CancelSearch() { m_searchCancelled = true; }
    // The page being searched (1-based) and the page count; (0, 0) when the search ended.
    std::function<void(int pageNo, int count)> OnSearchProgress;
    // Continues after the last hit (or after the last page searched).
    bool FindNext();
    // The page the next FindNext starts on (0-based).
    int FindPage() const { return m_findPage; }
    // The hit's on-screen rectangle, empty without one.
    QRect HitRect() const;
    // Drops the cached page text (a layout change).
    void ResetSearchCache();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void HorzPositionChanged(int previous) override;
    void VertPositionChanged(int previous) override;

private:
    struct CacheKey {
        int page;
        int column; // tile column and row on the page
        int row;
        bool operator==(const CacheKey& o) const {
            return page == o.page && column == o.column && row == o.row;
        }
    };
    struct CacheKeyHash {
        std::size_t operator()(const CacheKey& k) const {
            return std::hash<long long>()((static_cast<long long>(k.page) << 32) ^
                                          (static_cast<long long>(k.column) << 16) ^ k.row);
        }
    };
    struct CacheEntry {
        CacheKey key;
        QImage image;
    };
    bool usable() const;
    QRect screenBounds(int index) const;
    // One tile (`tile` pixels a side) of the page at the zoom, painted on a miss; null for a page
    // that cannot be built.
    const QImage* tileImage(int index, int column, int row, int tile, QSize pageSize);
    // Paints the tiles of page `index` (on screen at `bounds`) that meet `dirty`; false for a
    // page that cannot be built.
    bool paintTiles(QPainter& painter, int index, const QRect& bounds, const QRect& dirty);
    void dropTiles();
    void trimCache(std::size_t room);
    void clearLinkStatus();
    void pageFailed(int index, const QString& text);
    void objectAtPoint(QMouseEvent* event, bool click, bool doubleClick);
    void updateCursor(int cursor);

    TqdxReport* m_report = nullptr;
    double m_zoom = 1.0;
    bool m_locked = false;
    int m_pageNo = 1;
    bool m_dragging = false;
    bool m_dragMoved = false;
    QPoint m_dragStart;
    QPoint m_lastPoint;
    QElapsedTimer m_lastClick;
    std::shared_ptr<TqdxPageFailures> m_failures;

    std::list<CacheEntry> m_cache; // most recently used first
    std::unordered_map<CacheKey, std::list<CacheEntry>::iterator, CacheKeyHash> m_cacheIndex;
    std::size_t m_cacheBytes = 0;
    std::size_t m_cacheLimit = std::size_t(192) << 20;
    int m_tilesPainted = 0;
    int m_tileZoom = 0; // the zoom (thousandths) of the tiles in the cache
    double m_wheelPixels[2] = {0, 0}; // parts of a pixel left by wheel turns

    int m_findPage = 0;
    int m_recordsPage = -1;
    std::vector<TqdxTextRecord> m_records;
    int m_hitPage = -1;
    bool m_searching = false;
    bool m_searchCancelled = false;
    bool m_scrollingToPage = false; // the view moves for the current page, which it keeps
};

} // namespace zr::reportlib::preview
