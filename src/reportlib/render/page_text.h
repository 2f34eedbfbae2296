#pragma once

// The text a prepared page shows, read by drawing the page onto a device that keeps only its
// text: what the find dialog searches and what a report's page text is.

#include <QRect>
#include <QString>

#include <vector>

namespace zr::reportlib {
class TqdxPreviewPages;
}

namespace zr::reportlib::render {

// One piece of text a page drew: the characters of one line of output and their box, in page
// pixels at scale 1.
struct TqdxTextRecord {
    QString Text;
    QRect Bounds;
};

// The text records of page `index` (from 0), in drawing order. Errors of building the page
// pass out.
std::vector<TqdxTextRecord> RecordPageText(TqdxPreviewPages& pages, int index);

// The page's text records, one line each.
QString PageText(TqdxPreviewPages& pages, int index);

} // namespace zr::reportlib::render
