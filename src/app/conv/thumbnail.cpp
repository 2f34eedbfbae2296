#include "thumbnail.h"

#include "app/common/report_content.h"
#include "app/common/report_document.h"
#include "app/common/report_file.h"
#include "app/conv/convert_job.h"
#include "platform/interaction/interaction.h"
#include "textreport/io/gvp_file.h"

#include <QFile>
#include <QImage>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <new>
#include <vector>

namespace zr::app {

namespace {

// No page of a text report (999 lines of 999 columns) or a prepared one comes near this; a
// "first page" that runs on beyond it is not what this program writes.
constexpr qint64 kMaxFirstPageBytes = qint64(64) << 20;
constexpr qint64 kFirstChunk = qint64(64) << 10;

QByteArrayView chopCr(QByteArrayView line) {
    return line.endsWith('\r') ? line.chopped(1) : line;
}

// The page number an item line starts with (four digits), or -1.
int itemPage(QByteArrayView line) {
    if (line.size() < 4) {
        return -1;
    }
    int page = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return -1;
        }
        page = page * 10 + (line[i] - '0');
    }
    return page;
}

// The last non-empty line of the file's last bytes, when it starts after `from`.
QByteArray lastLine(QFile& file, qint64 from) {
    const qint64 size = file.size();
    const qint64 start = std::max(from, size - kFirstChunk);
    if (start >= size || !file.seek(start)) {
        return {};
    }
    const QByteArray tail = file.read(size - start);
    QByteArrayView rest(tail);
    while (!rest.isEmpty() && (rest.back() == '\n' || rest.back() == '\r')) {
        rest.chop(1);
    }
    const qsizetype eol = rest.lastIndexOf('\n');
    if (eol < 0 && start > from) {
        return {}; // the line may begin before the bytes read
    }
    return rest.sliced(eol + 1).toByteArray();
}

// Says only what stops the job; a thumbnail has no progress to show and no warnings to give.
class QuietInteraction final : public ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        if (kind == MessageKind::Error) {
            ForwardingInteraction::message(kind, text, caption);
        }
    }
    bool confirm(const QString&, const QString&) override { return false; }
    std::unique_ptr<Progress> beginProgress(const ProgressInfo&) override {
        return std::make_unique<SilentProgress>();
    }
};

double fitScale(int width, int height, int size) {
    return double(size) / double(std::max(width, height));
}

// Where a top-level section (start tag to end tag) lies in XML text: its first byte and the byte
// after it; nullopt when the text has none or it does not end.
std::optional<std::pair<qsizetype, qsizetype>> sectionRange(QByteArrayView xml,
                                                            QByteArrayView name) {
    const QByteArray open = '<' + name.toByteArray();
    qsizetype at = 0;
    for (;;) {
        at = xml.indexOf(open, at);
        if (at < 0) {
            return std::nullopt;
        }
        const qsizetype after = at + open.size();
        if (after < xml.size() && (xml[after] == '>' || xml[after] == '/' ||
                                   detail::isXmlBlank(xml[after]))) {
            break;
        }
        at = after;
    }
    const qsizetype tagEnd = xml.indexOf('>', at);
    if (tagEnd < 0) {
        return std::nullopt;
    }
    if (xml[tagEnd - 1] == '/') {
        return std::pair{at, tagEnd + 1};
    }
    const QByteArray close = "</" + name.toByteArray() + '>';
    const qsizetype closeAt = xml.indexOf(close, tagEnd);
    if (closeAt < 0) {
        return std::nullopt;
    }
    return std::pair{at, closeAt + close.size()};
}

// The picture cache holds the pictures of every page, by number: those the kept page and the
// source pages do not name (ImageIndex="N") are emptied, keeping the numbering, so that they
// are neither copied nor decoded.
QByteArray dropUnusedPictures(const QByteArray& xml) {
    const auto cache = sectionRange(xml, "picturecache");
    if (!cache) {
        return xml;
    }
    std::vector<qint64> used;
    static constexpr QByteArrayView kIndex = "ImageIndex=\"";
    for (qsizetype at = xml.indexOf(kIndex); at >= 0 && at < cache->first;
         at = xml.indexOf(kIndex, at + 1)) {
        qint64 n = 0;
        qsizetype i = at + kIndex.size();
        while (i < xml.size() && xml[i] >= '0' && xml[i] <= '9' && n < (qint64(1) << 40)) {
            n = n * 10 + (xml[i++] - '0');
        }
        used.push_back(n);
    }
    std::sort(used.begin(), used.end());
    QByteArray out;
    out.reserve(xml.size());
    out += QByteArrayView(xml).first(cache->first);
    const QByteArrayView section = QByteArrayView(xml).sliced(cache->first,
                                                              cache->second - cache->first);
    qsizetype from = 0;
    qint64 number = 0;
    for (qsizetype at = section.indexOf("<item"); at >= 0; at = section.indexOf("<item", from)) {
        const qsizetype tagEnd = section.indexOf('>', at);
        if (tagEnd < 0) {
            break;
        }
        qsizetype end = tagEnd + 1;
        if (section[tagEnd - 1] != '/') {
            const qsizetype close = section.indexOf("</item>", tagEnd);
            if (close < 0) {
                break;
            }
            end = close + 7;
        }
        out += section.sliced(from, at - from);
        ++number;
        out += std::binary_search(used.begin(), used.end(), number) ? section.sliced(at, end - at)
                                                                     : QByteArrayView("<item/>");
        from = end;
    }
    out += section.sliced(from);
    out += QByteArrayView(xml).sliced(cache->second);
    return out;
}

// Where the first page of the pages section ends in `head` (just after its end tag); 0 when the
// head does not reach it yet, -1 when the head is not laid out as expected.
qsizetype firstPageEnd(QByteArrayView head) {
    const qsizetype section = head.indexOf("<previewpages");
    if (section < 0) {
        return 0;
    }
    const qsizetype sectionTagEnd = head.indexOf('>', section);
    if (sectionTagEnd < 0) {
        return 0;
    }
    if (head[sectionTagEnd - 1] == '/') {
        return -1; // no pages at all
    }
    qsizetype i = sectionTagEnd + 1;
    while (i < head.size() && detail::isXmlBlank(head[i])) {
        ++i;
    }
    if (i >= head.size()) {
        return 0;
    }
    if (head[i] != '<' || (i + 1 < head.size() && (head[i + 1] == '/' || head[i + 1] == '!'))) {
        return -1;
    }
    qsizetype n = i + 1;
    while (n < head.size() && !detail::isXmlBlank(head[n]) && head[n] != '>' && head[n] != '/') {
        ++n;
    }
    const qsizetype tagEnd = head.indexOf('>', n);
    if (tagEnd < 0) {
        return 0;
    }
    if (head[tagEnd - 1] == '/') {
        return tagEnd + 1;
    }
    const QByteArray close = "</" + head.sliced(i + 1, n - i - 1).toByteArray() + '>';
    const qsizetype closeAt = head.indexOf(close, tagEnd);
    return closeAt < 0 ? 0 : closeAt + close.size();
}

} // namespace

std::optional<QByteArray> textReportFirstPage(QFile& file) {
    if (!file.seek(0)) {
        return std::nullopt;
    }
    std::vector<QByteArray> header;
    QByteArray items;
    qint64 itemCount = 0;
    QByteArray data;
    qsizetype pos = 0;    // the first byte of data not yet split into lines
    qint64 consumed = 0;  // file offset of data[0]
    bool finished = false;
    bool wholeFile = false;
    bool laterPage = false; // stopped at the first item of a later page
    auto takeLine = [&](QByteArrayView raw) {
        const QByteArrayView line = chopCr(raw);
        if (header.size() < 9) {
            header.push_back(line.toByteArray());
            return true;
        }
        // The loader stops at an empty line; the items are in page order, so the first item
        // of a later page ends the first one.
        if (line.isEmpty()) {
            return false;
        }
        if (itemPage(line) > 1) {
            laterPage = true;
            return false;
        }
        items += line;
        items += "\r\n";
        ++itemCount;
        return true;
    };
    while (!finished) {
        const QByteArray chunk = file.read(kFirstChunk);
        if (chunk.isEmpty()) {
            wholeFile = true;
            if (pos < data.size()) {
                takeLine(QByteArrayView(data).sliced(pos));
            }
            break;
        }
        data += chunk;
        for (;;) {
            const qsizetype eol = data.indexOf('\n', pos);
            if (eol < 0) {
                break;
            }
            if (!takeLine(QByteArrayView(data).sliced(pos, eol - pos))) {
                finished = true;
                break;
            }
            pos = eol + 1;
            if (header.size() == 1 && textreport::gvp::versionOfMarker(header[0]) == 0) {
                return std::nullopt;
            }
        }
        if (header.empty() && data.size() > qsizetype(sizeof textreport::gvp::kMarkerV3) + 2) {
            return std::nullopt; // a first line longer than any version marker
        }
        if (consumed + data.size() > kMaxFirstPageBytes) {
            break; // the page is drawn as far as it was read
        }
        // Lines already taken are dropped from the buffer.
        consumed += pos;
        data.remove(0, pos);
        pos = 0;
    }
    if (header.empty() || textreport::gvp::versionOfMarker(header[0]) == 0) {
        return std::nullopt;
    }
    if (laterPage && !wholeFile) {
        const QByteArray last = lastLine(file, consumed + pos);
        if (itemPage(chopCr(last)) > 1) {
            items += chopCr(last).toByteArray();
            items += "\r\n";
            ++itemCount;
        }
    }
    QByteArray out;
    for (std::size_t i = 0; i < header.size(); ++i) {
        out += i == 2 ? textreport::gvp::sixDigits(itemCount) : header[i];
        out += "\r\n";
    }
    out += items;
    return out;
}

std::optional<QByteArray> preparedReportFirstPage(QFile& file) {
    // Mapped rather than read: only the pages looked at are touched, and nothing is copied
    // but what is kept.
    const qint64 fileSize = file.size();
    uchar* mapped = fileSize > 0 ? file.map(0, fileSize) : nullptr;
    if (!mapped) {
        return std::nullopt;
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(mapped), qsizetype(fileSize));
    struct Unmap {
        QFile& file;
        uchar* at;
        ~Unmap() { file.unmap(at); }
    } unmap{file, mapped};

    // The first page, looked for in a growing head of the file.
    qsizetype end = 0;
    for (qsizetype head = kFirstChunk; end == 0; head *= 2) {
        end = firstPageEnd(bytes.first(std::min(head, bytes.size())));
        if (end == 0 && (head >= bytes.size() || head >= kMaxFirstPageBytes)) {
            return std::nullopt;
        }
    }
    if (end < 0) {
        return std::nullopt;
    }
    // The end of the pages section, looked for from the end of the file, and what follows it
    // but the sections drawing never reads.
    static constexpr QByteArrayView kPagesEnd = "</previewpages>";
    const qsizetype pagesEnd = bytes.sliced(end).lastIndexOf(kPagesEnd);
    if (pagesEnd < 0) {
        return std::nullopt;
    }
    const QByteArrayView rest = bytes.sliced(end + pagesEnd + kPagesEnd.size());
    std::vector<std::pair<qsizetype, qsizetype>> dropped;
    for (const char* name : {"logicalpagenumbers", "outline", "anchors"}) {
        if (const auto range = sectionRange(rest, name)) {
            dropped.push_back(*range);
        }
    }
    std::sort(dropped.begin(), dropped.end());
    QByteArray out;
    out.reserve(end + kPagesEnd.size() + rest.size() -
                (dropped.empty() ? 0 : dropped.back().second - dropped.front().first));
    out += bytes.first(end);
    out += kPagesEnd;
    qsizetype from = 0;
    for (const auto& [first, last] : dropped) {
        if (first >= from) {
            out += rest.sliced(from, first - from);
            from = last;
        }
    }
    out += rest.sliced(from);
    return dropUnusedPictures(out);
}

int writeThumbnail(const QString& input, const QString& output, int size, Interaction& ui) {
    QuietInteraction quiet(ui);
    // Judged as every command judges a file; only the reading differs (the first page alone,
    // or the whole file when it is laid out otherwise).
    QString error;
    const ReportContent kind = judgeReportFile(input, error);
    QFile file(input);
    if (kind == ReportContent::Unknown || !file.open(QIODevice::ReadOnly)) {
        ui.message(MessageKind::Error, error.isEmpty() ? openFailedMessage(input, EIO) : error);
        return ExitFailed;
    }
    const std::optional<QByteArray> firstPage = kind == ReportContent::TextReport
                                                    ? textReportFirstPage(file)
                                                    : preparedReportFirstPage(file);
    file.close();
    const std::unique_ptr<ReportDocument> document =
        firstPage ? openReportDocument(*firstPage, kind, input, quiet)
                  : openReportDocument(input, quiet);
    if (!document) {
        return ExitFailed; // the engine has said why
    }
    if (document->pageCount() == 0) {
        ui.message(MessageKind::Error, QStringLiteral("O relatório não tem páginas."));
        return ExitFailed;
    }
    const QSize paper = document->pageSize(1);
    const QImage image =
        document->pageImage(1, paper.isEmpty() ? 0 : fitScale(paper.width(), paper.height(), size));
    if (image.isNull()) {
        return ExitFailed; // the drawing has said why
    }
    return writePng(image, output, ui).done() ? ExitDone : ExitFailed;
}

} // namespace zr::app
