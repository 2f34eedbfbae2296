// Feeds arbitrary bytes to the prepared-pages store as a ".QP3" file, then does what the
// converter and the viewer do with it: page sizes, a few pages built (and evicted again from a
// small page cache), the outline and anchors walked, and the whole report saved back.

#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <exception>

using namespace zr::reportlib;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TqdxReport report;
    report.PreviewOptions.PagesInCache = 2;
    TqdxPreviewPages& pages = report.PreviewPages();
    QBuffer in;
    in.setData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    in.open(QIODevice::ReadOnly);
    try {
        pages.LoadFromStream(in);
    } catch (const std::exception&) {
        return 0; // not this dialect, or a damaged dictionary
    }
    const int count = pages.Count();
    for (int i = 0; i < count && i < 50; ++i) {
        try {
            (void)pages.PageExtent(i);
            if (i < 6) {
                if (TqdxReportPage* page = pages.PageObject(i)) {
                    (void)page->AllObjects();
                }
            }
        } catch (const std::exception&) {
            // a page of an unknown class, or one whose source page is missing
        }
    }
    TqdxOutline& outline = pages.Outline();
    outline.LevelRoot();
    for (int i = 0; i < outline.Count() && i < 50; ++i) {
        QByteArray text;
        int page = 0;
        int top = 0;
        outline.GetItem(i, text, page, top);
    }
    (void)pages.GetAnchorPage("a");
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    try {
        pages.SaveToStream(out);
    } catch (const std::exception&) {
        // a deferred page that does not read back
    }
    return 0;
}
