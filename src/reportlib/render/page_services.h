#pragma once

// What the preview, printing and exports do with prepared pages: paint a page at any scale and
// offset, turn mouse positions over a painted page into cursors, hints, links and clicks, and
// walk the pages through an export filter.

#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <QDateTime>
#include <QPainter>
#include <QString>

#include <functional>
#include <vector>

namespace zr::reportlib::render {

// Paints page `index` with its paper's top-left corner at (offsetX, offsetY); scale 1 is 96
// pixels per inch. Views wholly outside the painter's clip (20 pixels of slack) are skipped,
// except on recording pictures. Errors of PageObject pass out.
void PaintPage(TqdxPreviewPages& pages, int index, QPainter& canvas, double scaleX, double scaleY,
               double offsetX, double offsetY);

// The preview's side of the mouse handling.
struct PreviewLinks {
    std::function<void(const QString& text)> setStatus; // the report's progress message
    std::function<void(const QString& longHint, const QString& shortHint)> showHint;
    std::function<void()> hideHint;
    std::function<void(int page)> goToPage;            // 1-based
    std::function<void(int page, int top)> goToAnchor; // 1-based page, top in pixels
    // Opens an address through the desktop; only called for addresses IsOpenableLink accepts.
    std::function<void(const QString& url)> openUrl;
    std::function<void(TqdxView& view)> mouseOverObject;
    std::function<void()> refresh; // the page was rewritten
    std::function<void()> rebuild; // a drill-down group changed
    bool showsHints = true;
};

inline constexpr int crHandPoint = -21;

// Mouse at (x, y) on a page painted with `scale` and offsets. Updates `cursor` in place; with
// `click`, follows links ("@page", "#anchor", or an address) and fires the report's click
// events. Indexes outside the pages are ignored.
void ObjectAtPoint(TqdxPreviewPages& pages, TqdxReport& report, int index, int x, int y, int button,
                   int shift, double scale, double offsetX, double offsetY, bool click, int& cursor,
                   bool doubleClick, const PreviewLinks& links);

// Whether a link taken from a report file may be handed to the desktop: http, https and mailto
// addresses, and documents that exist on this machine (never programs).
bool IsOpenableLink(const QString& url);

// The receiving end of an export: PDF and the other formats derive from it.
class TqdxCustomExportFilter {
public:
    virtual ~TqdxCustomExportFilter() = default;
    bool ShowDialog = true;
    bool ShowProgress = true;
    bool DataOnly = false;
    QDateTime CreationTime;
    std::function<void()> OnBeginExport;
    TqdxReport* Report = nullptr;
    bool CurrentPage = false;
    // The pages to export as a PageSelection text ("1,3,5-12"; empty: every page), in the order
    // written; a text that is none makes Export throw std::invalid_argument.
    QString PageNumbers;
    // When not empty, the pages exported (from 1, each once) in this order; PageNumbers and
    // CurrentPage are then not used.
    std::vector<int> PageOrder;
    bool SuppressRepeatedHeaders =
        false; // page headers only on the first page, footers on the last
    virtual bool IsDotMatrix() const { return false; }
    // True when the user confirmed the dialog.
    virtual bool ShowModal() { return true; }
    // False ends the export before any page.
    virtual bool BeginOutput() = 0;
    virtual void BeginPageOutput(TqdxReportPage& page, int index) = 0;
    virtual void EmitObject(TqdxComponent& object) = 0;
    virtual void EndPageOutput(TqdxReportPage& page, int index) = 0;
    virtual void EndOutput() = 0;
};

// Sends page `index` through a filter whose output has begun, as Export does for each page, with
// the memos showing copy `copyNo`. For jobs that put pages in an order of their own (printing).
void ExportPage(TqdxPreviewPages& pages, int index, TqdxCustomExportFilter& filter, int copyNo);

// Walks the pages through the filter. False without a filter, when its dialog was not
// confirmed, or after an error (shown through the report's error display). `hasPreview` keeps
// the page cache for the preview.
bool Export(TqdxPreviewPages& pages, TqdxCustomExportFilter* filter, bool hasPreview = false);

} // namespace zr::reportlib::render
