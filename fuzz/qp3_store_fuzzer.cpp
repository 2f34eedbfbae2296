// Feeds arbitrary bytes to the prepared-pages store as a ".QP3" file, then does what the
// converter and the viewer do with it: page sizes, a few pages built (and evicted again from a
// small page cache), the outline and anchors walked, and the whole report saved back.
//
// Then it checks the property that guards every saved file: what loads saves into a file that
// loads again, with the same number of pages and the same page sizes. A breach aborts, so the
// fuzzer reports it like a crash.

#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <QBuffer>
#include <QByteArray>
#include <QSize>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <vector>

using namespace zr::reportlib;

namespace {

constexpr int kPagesLooked = 50;

[[noreturn]] void breach(const char* what) {
    std::fprintf(stderr, "qp3_store: the saved file %s\n", what);
    std::abort();
}

// Every geometry value a page holds must be a number, or saving it writes what no reader takes.
void checkFinite(const TqdxReportPage& page) {
    const double values[] = {page.PaperWidth(), page.PaperHeight(), page.LeftMargin,
                             page.RightMargin,  page.TopMargin,     page.BottomMargin,
                             page.ColumnWidth,  page.Width(),       page.Height()};
    bool finite = std::all_of(std::begin(values), std::end(values),
                              [](double v) { return std::isfinite(v); });
    for (const TqdxComponent* object : page.AllObjects()) {
        finite = finite && std::isfinite(object->Left()) && std::isfinite(object->Top()) &&
                 std::isfinite(object->Width()) && std::isfinite(object->Height());
    }
    if (!finite) {
        std::fprintf(stderr, "qp3_store: a page holds an infinite or undefined size\n");
        std::abort();
    }
}

// What a reader of the file sees of its pages: their number and their sizes. A page that cannot
// be built (an unregistered class) counts with the size (-1, -1).
struct PagesShape {
    int count = 0;
    std::vector<QSize> extents;
};

PagesShape shapeOf(TqdxPreviewPages& pages) {
    PagesShape shape;
    shape.count = pages.Count();
    for (int i = 0; i < shape.count && i < kPagesLooked; ++i) {
        try {
            shape.extents.push_back(pages.PageExtent(i));
            if (i < 6) {
                if (const TqdxReportPage* page = pages.PageObject(i)) {
                    checkFinite(*page);
                }
            }
        } catch (const std::exception&) {
            // a page of an unknown class, or one whose source page is missing
            if (int(shape.extents.size()) == i) {
                shape.extents.emplace_back(-1, -1);
            }
        }
    }
    return shape;
}

} // namespace

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
    const PagesShape loaded = shapeOf(pages);
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
        if (!pages.SaveToStream(out)) {
            breach("could not be written");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        breach("could not be written");
    }

    TqdxReport again;
    again.PreviewOptions.PagesInCache = 2;
    QBuffer saved;
    saved.setData(out.data());
    saved.open(QIODevice::ReadOnly);
    try {
        again.PreviewPages().LoadFromStream(saved);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        breach("does not load");
    }
    const PagesShape reloaded = shapeOf(again.PreviewPages());
    if (reloaded.count != loaded.count) {
        breach("has a different number of pages");
    }
    for (size_t i = 0; i < loaded.extents.size(); ++i) {
        if (reloaded.extents[i] != loaded.extents[i]) {
            std::fprintf(stderr, "page %zu: %dx%d became %dx%d\n", i, loaded.extents[i].width(),
                         loaded.extents[i].height(), reloaded.extents[i].width(),
                         reloaded.extents[i].height());
            breach("has pages of other sizes");
        }
    }
    return 0;
}
