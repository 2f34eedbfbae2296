#pragma once

// `zeralconv thumbnail`: the first page of a report as a small PNG picture, for the file
// managers' previews. A thumbnailer runs for every report a folder shows, so it reads only what
// the first page needs, whatever the report's length:
//
//   text report      the control record, the items of page 1 and the file's last item (which
//                    carries the page count the page-number macros print)
//   prepared report  the XML up to the end of the first page, and the sections after the pages
//                    that drawing needs (source pages, dictionary, pictures); the outline, the
//                    anchors and the logical page numbers are left out
//
// A file that is laid out otherwise (sections in another order, a first page that never ends)
// is read whole, as the viewer reads it.

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

namespace zr {
class Interaction;
}

namespace zr::app {

inline constexpr int kDefaultThumbnailSize = 256;
inline constexpr int kMaxThumbnailSize = 4096;

// The bytes of a saved text report reduced to its first page, with the item count of its
// control record made to match; nullopt when the file is no saved text report.
std::optional<QByteArray> textReportFirstPage(QFile& file);

// The bytes of a prepared report reduced to its first page; nullopt when the file is not laid
// out as this program writes it (the caller then reads it whole).
std::optional<QByteArray> preparedReportFirstPage(QFile& file);

// Renders the first page of `input` (a report of either kind, told by its content) fitted into
// `size` x `size` pixels and writes it to `output` as PNG. Returns the converter's exit code;
// on failure `ui` has been told why and no file has been written.
int writeThumbnail(const QString& input, const QString& output, int size, Interaction& ui);

} // namespace zr::app
