#pragma once

// A saved report as both programs see it, whatever its kind: what it holds, its pages, and
// the writes and prints it offers. The converter's commands and the thumbnailer go through
// this one interface; each kind of report has an adapter over its engine (the text report's
// TGravana, the prepared report's TqdxReport), so a door asks for a format or a print and
// never branches on the kind.
//
// Pages are numbered from 1. A selection is the list of pages a write or a print goes
// through, in its order, each once (PageSelection::pages gives it); every page in order means
// the whole report.
//
// The engines show their own messages (failures, warnings, progress) through the Interaction
// the document was opened with; each write and print also returns its Outcome.

#include "app/common/report_content.h"
#include "platform/interaction/outcome.h"
#include "platform/printing/print_request.h"
#include "textreport/types.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QImage;
class QPainter;

namespace zr {
class Interaction;
}

namespace zr::app {

// How a text report is to be printed and written as printer bytes; a prepared report has no
// such settings.
struct DocumentSettings {
    std::optional<textreport::TModelo> model;   // the printer model (else the report's)
    std::optional<textreport::TAcento> accents; // how accented letters are sent
};

// What a write takes besides its format, its target and its pages. Each format reads the
// fields that concern it.
struct WriteOptions {
    // PDF: the passwords, the permissions kept (taking one away needs an owner password), the
    // cipher, an archival PDF/A-2 file, and an accessible PDF/UA-1 file.
    QString userPassword;
    QString ownerPassword;
    bool aes256 = false;
    bool allowPrint = true;
    bool allowCopy = true;
    bool allowModify = true;
    bool allowAnnotate = true;
    bool archival = false;
    bool universal = false;
    // PDF of a prepared report: the outline as bookmarks, the page background, the JPEG quality
    // of its pictures (0: the viewer's) and the title (else the report's name).
    bool outline = false;
    bool background = false;
    int quality = 0;
    std::optional<QString> title;
    // PNG: the page and the scale (1: 96 pixels per inch).
    int page = 1;
    double scale = 1.0;
    // PRN: the copies the printer bytes hold.
    int copies = 1;
    bool collate = true;
};

// How a prepared report lays its pages on sheets when printed (text reports have no layout):
// its print mode (TqdxPrintMode: 0 default, 1 split, 2 join, 3 scale) and the paper code of
// the sheet of the last three; 0 takes the request's paper (a standard one by its code, any
// other by its size), else A4.
struct PrintLayout {
    int mode = 0;
    int sheet = 0;
};

struct PrintOutcome {
    Outcome outcome;
    int jobId = 0; // the print system's number of the job, 0 when it gave none
};

// One line of `zeralconv info`: a key and its value.
using InfoLine = std::pair<QByteArray, QByteArray>;

// The formats a report of `kind` is written in, by lower-case extension: the report's own
// first, then the others.
const QStringList& reportFormats(ReportContent kind);

class ReportDocument {
public:
    virtual ~ReportDocument() = default;
    ReportDocument(const ReportDocument&) = delete;
    ReportDocument& operator=(const ReportDocument&) = delete;

    virtual ReportContent kind() const = 0;
    // The report's name, as the report gives it (may be empty).
    virtual QString title() const = 0;
    // The count of pages; 0 for a text report with no item.
    virtual int pageCount() const = 0;
    // The size of page `page`, in pixels at 96 per inch.
    virtual QSize pageSize(int page) const = 0;
    // Paints page `page` at `scale` onto `painter`, its top left corner at the origin, on
    // whatever the painter already holds (a picture is filled white first). Throws
    // std::exception, with the user's words, for a page that cannot be built.
    virtual void paintPage(int page, QPainter& painter, double scale) = 0;
    // The text page `page` shows, line by line.
    virtual QString pageText(int page) = 0;
    // What `zeralconv info` prints; Failed (having said why) when a page cannot be measured.
    virtual Outcome describe(std::vector<InfoLine>& lines) = 0;
    // The faces the report is drawn with, as `zeralconv fonts` prints them.
    virtual Outcome listFonts(QByteArray& text) = 0;
    // Writes `pages` of the report to `target` in `format` (an entry of reportFormats). A
    // target that exists is replaced only by a whole new file.
    virtual Outcome write(QStringView format, const QString& target, const WriteOptions& options,
                          const std::vector<int>& pages) = 0;
    // Prints `pages` as `request` asks, laid out as `layout` says; a request the destination
    // cannot take (too many copies) is refused before anything is drawn.
    PrintOutcome print(const PrintRequest& request, const PrintLayout& layout,
                       const std::vector<int>& pages);

    // Page `page` at `scale` on white, as a picture; a null image (having said why) when the
    // report has no such page or the picture would be too large.
    QImage pageImage(int page, double scale);

protected:
    explicit ReportDocument(Interaction& ui) : m_ui(ui) {}
    virtual PrintOutcome printPages(const PrintRequest& request, const PrintLayout& layout,
                                    const std::vector<int>& pages) = 0;
    // Writes page `options.page` at `options.scale` as a PNG file.
    Outcome writePicture(const QString& target, const WriteOptions& options);
    Interaction& m_ui;
};

// Writes `image` to `target` as a PNG file, replacing an existing one only by a whole new file.
Outcome writePng(const QImage& image, const QString& target, Interaction& ui);

// Opens the report at `path` whole, with the viewer's settings, as judgeReportFile and the
// engines judge it. Null when the file is refused (`ui` has been told why) or the load was
// interrupted (`cancelled` set). `ui` must outlive the document: the engines keep reporting
// through it.
std::unique_ptr<ReportDocument> openReportDocument(const QString& path, Interaction& ui,
                                                   const DocumentSettings& settings = {},
                                                   bool* cancelled = nullptr);
// The same for a report held in memory (`bytes` of a file of `kind`, as the thumbnailer reads
// just a first page); `name` stands for the file in messages.
std::unique_ptr<ReportDocument> openReportDocument(const QByteArray& bytes, ReportContent kind,
                                                   const QString& name, Interaction& ui);

} // namespace zr::app
