#pragma once

// What the PDF export writes for one view of a page: text as real PDF text in the document's
// fonts, lines, shapes and check boxes as vector paths, texts with formatting tags, rich text
// and hatched texts by their own screen drawing onto a vector canvas (text stays text, hatches
// become tiling patterns), pictures, gradients and bar codes drawn into a bitmap and embedded
// as a JPEG image (written to the file at once, one object for the same picture in the whole
// document), frames as vector lines, and a link annotation for a view with an address.
//
// The document side (TqdxPDFExport) owns this state for the whole document and resets the
// per-page parts at each page.

#include "pdfwriter/pdf_object_writer.h"
#include "reportlib/document/qdx_components.h"
#include "reportlib/pdf/writer/qdx_pdf_font.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace zr::reportlib::pdf {

// The shared file layer (objects, forms, security) is used here by its plain names.
using namespace zr::pdf;

// A link annotation, reserved while its page is drawn and written at the end of the document.
struct PdfLink {
    int object = 0;   // the reserved object number
    QByteArray rect;  // "left bottom right top" in the two-decimal form
    bool web = false; // an address (else a page destination)
    QString address;  // web links
    // Page links: index of the target page in the whole report (from 0; always one of its
    // pages) and the destination's top in report units; the document maps it on the target
    // page's own geometry when it writes the link.
    int targetPage = 0;
    double top = 0;
};

// A structure element of a page, in the order its content was written: a P (a paragraph of a
// text) or a Figure (a picture, with its alternate text), and where its view stands, for the
// reading order (its band's top, then its own left, then its top).
struct PdfStructItem {
    int mcid = 0;
    bool figure = false;
    QString alt;
    double bandTop = 0, left = 0, top = 0;
};

struct PdfPageState {
    // ---- Document-wide (set by the export for the whole document).
    PdfObjectWriter* writer = nullptr;
    const PdfEncryptor* encryptor = nullptr; // null when not encrypting
    TqdxPDFFontList* fonts = nullptr;
    bool printOptimized = false; // rasterise at scale 3
    bool background = false;     // export the page background object
    bool htmlTags = true;        // text with tags shows their formatting (else plain)
    bool exportNotPrintable = false;
    // Tagged output: each view's content is a marked-content sequence of the page's structure
    // (a P per paragraph of a text, a Figure per picture) or an artifact (frames, lines, shapes,
    // backgrounds, and everything in the page header and footer).
    bool tagged = false;
    // JPEG quality (1-100) of sharp pictures (bar codes, lines, shapes); the other pictures
    // are encoded 5 below it (at least 1), so 95 gives 95 and 90.
    int quality = 95;
    // Pages of the report; links to a page outside 0..pageCount-1 are not made. Negative:
    // unknown, every page link is made.
    int pageCount = -1;
    // Looks up an anchor: its page index (from 0) and top in report units; false when unknown.
    std::function<bool(const QString& name, int& page, double& top)> findAnchor;
    // The image table: object numbers of the images written so far, in order, and the index of
    // each by the MD5 of its bytes.
    std::vector<int> imageObjects;
    std::map<QByteArray, int> imageByDigest;
    // The same index by what was drawn (the bitmap's MD5, size and JPEG quality), so that a
    // picture drawn again is not encoded again.
    std::map<QByteArray, int> imageByBitmap;
    std::vector<PdfLink> links; // every link of the document so far
    // The hatch patterns written so far, by style, colour and page height; the page's resources
    // name them "/P" + index.
    std::vector<int> patternObjects;
    std::map<QByteArray, int> patternByKey;

    // ---- The open page (reset by the export at each page).
    QByteArray content;                   // the page's operators, each line ending in CR LF
    double width = 0, height = 0;         // page size in points
    double ox = 0, oy = 0;                // offsets of the mapping: left and top margin × 0.05
    // Image table indexes used on this page, each once, in order of first use; the page's
    // resources name them "/Im" + index.
    std::vector<int> imageUses;
    std::vector<int> patternUses; // pattern indexes used on this page, as imageUses
    std::vector<int> annots;      // link objects of this page
    std::vector<PdfStructItem> structItems; // tagged output: the page's elements
    int marking = 0; // inside a marked-content sequence (1: an artifact, 2: an element)

    // Empties the open page's buffers and lists (content, image and pattern uses, annotations);
    // the page geometry is set by the export.
    void resetPage();
};

// Writes one view (an object of a page or band; anything not a view, and a view that is not
// printable unless exportNotPrintable, is ignored) into the page's content, and its images into
// the file. A link is reserved first: "@n" for page n of the report, "#name" for a known anchor
// on a page of the report, and web addresses (blanks around them dropped) with the http, https
// and mailto schemes only; anything else ("@0", "@99" of fewer pages) makes no link. Throws what
// the view's own conversions throw (an address "@" followed by text that is no whole number:
// std::invalid_argument); the page's content is then left as it was before the call.
// Text objects take TextLock() and the export's own lock while they are written.
void EmitView(PdfPageState& state, TqdxComponent& object);

} // namespace zr::reportlib::pdf
