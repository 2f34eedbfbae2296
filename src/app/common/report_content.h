#pragma once

// What a file holds, told by its first bytes rather than by its name: the desktop hands the
// viewer and the thumbnailer files called "relatorio.gvp", "Relatorio.Qp3" or nothing at all.
//
//   text report      the first line is one of the engine's version markers (3.0, 4.0, 5.0)
//   prepared report  an XML document (an optional byte-order mark, the XML declaration, then
//                    comments, processing instructions or blanks) whose root element is
//                    "preparedreport", in any case
//
// Header-only: the viewer and the converter both use it, and neither links the other.

#include "textreport/io/gvp_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace zr::app {

enum class ReportContent { Unknown, TextReport, PreparedReport };

// How much of a file is enough to tell: the marker line, or the XML prologue before the root.
inline constexpr qsizetype kReportHeadSize = 4096;

namespace detail {

inline bool isXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline bool startsWithNoCase(QByteArrayView text, qsizetype at, QByteArrayView prefix) {
    return at >= 0 && text.size() - at >= prefix.size() &&
           text.sliced(at, prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// The root element's name of an XML document beginning with `head`, or empty when the head
// ends before it or is no XML document.
inline QByteArrayView xmlRootName(QByteArrayView head) {
    qsizetype i = 0;
    if (head.startsWith("\xEF\xBB\xBF")) {
        i = 3;
    }
    if (!head.sliced(i).startsWith("<?xml")) {
        return {};
    }
    while (i < head.size()) {
        if (isXmlBlank(head[i])) {
            ++i;
            continue;
        }
        if (head[i] != '<') {
            return {}; // text before the root: no XML document
        }
        qsizetype end = -1;
        if (startsWithNoCase(head, i, "<?")) {
            end = head.indexOf("?>", i + 2);
            end = end < 0 ? -1 : end + 2;
        } else if (startsWithNoCase(head, i, "<!--")) {
            end = head.indexOf("-->", i + 4);
            end = end < 0 ? -1 : end + 3;
        } else if (startsWithNoCase(head, i, "<!DOCTYPE")) {
            end = head.indexOf('>', i);
            end = end < 0 ? -1 : end + 1;
        } else {
            qsizetype n = i + 1;
            while (n < head.size() && !isXmlBlank(head[n]) && head[n] != '>' && head[n] != '/') {
                ++n;
            }
            if (n >= head.size()) {
                return {}; // the name may go on beyond the head
            }
            return head.sliced(i + 1, n - i - 1);
        }
        if (end < 0) {
            return {};
        }
        i = end;
    }
    return {};
}

} // namespace detail

// The kind of report whose file begins with `head` (at least kReportHeadSize bytes of it when
// the file is that long).
inline ReportContent reportContentOf(QByteArrayView head) {
    qsizetype eol = head.indexOf('\n');
    QByteArrayView first = eol < 0 ? head : head.first(eol);
    if (first.endsWith('\r')) {
        first.chop(1);
    }
    if (textreport::gvp::versionOfMarker(first) != 0) {
        return ReportContent::TextReport;
    }
    if (detail::xmlRootName(head).compare("preparedreport", Qt::CaseInsensitive) == 0) {
        return ReportContent::PreparedReport;
    }
    return ReportContent::Unknown;
}

// The kind of report a file holds; Unknown for what is no regular file or cannot be read.
inline ReportContent reportContentOfFile(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        return ReportContent::Unknown;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ReportContent::Unknown;
    }
    return reportContentOf(file.read(kReportHeadSize));
}

} // namespace zr::app
