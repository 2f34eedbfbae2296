#pragma once

// TPrintPDF: a small PDF 1.4 writer for character reports. It knows pages of one common size,
// text in the fourteen standard Type 1 fonts with horizontal scaling, straight stroked lines
// and fill and stroke colours; no images or outline entries. The whole document is built in
// memory and saved at once by EndDoc. Two options change the file (see UserPassword and PdfA);
// without them the layout below holds byte for byte.
//
// Coordinates are measured from the top-left corner of the page, y growing downwards, in PDF
// units; the writer flips them by subtracting y from PageHeight. Every line it emits ends in
// CR LF; numbers are written with a period whatever the process locale.
//
// Objects: 1 is the information dictionary; page k's content stream is object 2k and its
// length object 2k+1; with P pages then come the outlines (2P+2), the fourteen fonts
// (2P+3..2P+16), the pages tree (2P+17), the shared resources (2P+18), the pages
// (2P+19..3P+18) and the catalog (3P+19). The trailer's /Size is 3P+20.
//
// With a password the layout is the same; strings and page streams are encrypted by the shared
// security handler, and the trailer gains /ID and /Encrypt. An archival (PdfA) file instead has
// a PDF 1.7 header and a binary comment line, an end of line before every "endstream", pages
// deflated at zlib's fastest level, its information values as text strings and its dates with
// the time zone, only the fonts used, each as three objects (font, descriptor, embedded
// TrueType file) in place of the fourteen, then after the pages the XMP metadata, the ICC
// profile and the output intent before the catalog, and /ID in the trailer.
//
// A tagged file (see Tagged) numbers its objects differently: 1 is the information dictionary
// and 2 the Document structure element; each page then has its content stream, the stream's
// length object, its page object and, once the page is closed, its P structure elements (in
// reading order) and, when it has any, the array of those elements by marked-content ID (its
// entry of the parent tree). After the pages come the outlines, the fonts, the pages tree and
// the shared resources as above, then the parent tree (a root, and leaves when it has many
// pages), the structure tree root, the archival objects and the catalog. Objects are written
// in the order they are finished, so the file does not list them by number.

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QDateTime>
#include <QString>

#include "pdfwriter/qdx_pdf_security.h"

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zr::textreport {

// The font TextOut uses. Callers change the two fields directly between TextOut calls.
struct TPDFFont {
    // Number of a standard font: 0 Helvetica, 1 -Bold, 2 -Oblique, 3 -BoldOblique, 4 Courier,
    // 5 -Bold, 6 -Oblique, 7 -BoldOblique, 8 Times-Roman, 9 -Bold, 10 -Italic, 11 -BoldItalic,
    // 12 Symbol, 13 ZapfDingbats. Its resource name is "/F" followed by Name + 1. Numbers
    // above 13 name no resource of the file.
    std::uint8_t Name = 4;
    int Size = 12; // points
};

// Thrown by TPrintPDF::EndDoc when FileName cannot be created or written.
class PdfWriteError : public std::runtime_error {
public:
    PdfWriteError(QString path, int error);
    const QString& path() const { return m_path; }
    // The system error number (errno) of the failure.
    int error() const { return m_error; }

private:
    QString m_path;
    int m_error;
};

// The four ways the writer prints a number.
enum class PdfNumberForm {
    Integer,       // decimal digits of the value rounded to an integer
    Decimal,       // "0.##": at most two decimals, no trailing zeros, at least one integer digit
    NoLeadingZero, // "#.##": as Decimal, but no integer digit when the integer part is 0 (0 is "")
    Component,     // "0.## ": as Decimal, followed by one space
};

// The text of a number in one of the forms. Two decimals are kept, halves rounded away from
// zero as the number reads in decimal (741.505 gives 741.51); a result of zero has no minus
// sign; infinities and NaN are written as 0.
QByteArray formatPdfNumber(double value, PdfNumberForm form);

class PageCompressor;

class TPrintPDF {
public:
    TPrintPDF();
    // Discards an unfinished document (nothing is written).
    ~TPrintPDF();
    TPrintPDF(const TPrintPDF&) = delete;
    TPrintPDF& operator=(const TPrintPDF&) = delete;

    // ---- Properties. The information values are byte strings (code page 1252, read by viewers
    // through WinAnsiEncoding) and are read by BeginDoc: set them before it.
    QString FileName; // where EndDoc saves
    QByteArray TITLE;
    QByteArray Author;
    QByteArray Creator;
    QByteArray Keywords;
    QByteArray Subject;
    QByteArray Producer;
    int PageWidth = 612;    // read at EndDoc for every page's MediaBox
    int PageHeight = 792;   // read by every drawing operation (y flip) and at EndDoc
    double LineWidth = 1.0; // read by each DrawLine; must be greater than zero
    TPDFFont Font;          // read by each TextOut: Courier, 12 points
    bool Compress = true;   // deflate the content stream of pages opened from now on

    // The /CreationDate written by BeginDoc: this value when set (so that output can be made
    // byte-stable), otherwise the local date and time of BeginDoc.
    std::optional<QDateTime> CreationDate;

    // Passwords: when either is set, BeginDoc prepares the shared security handler (an empty
    // owner password stands for the user password) and the document is encrypted with
    // Encryption, allowing what Permissions says (the P value; -4 allows everything). Read by
    // BeginDoc, which throws pdf::TqdxPDFPasswordError for a password the method cannot take.
    QString UserPassword;
    QString OwnerPassword;
    int Permissions = -4;
    pdf::TqdxPDFEncryption Encryption = pdf::TqdxPDFEncryption::RC4_128;

    // An archival file (PDF/A-2a when tagged, else 2b), read by BeginDoc: embedded fonts, XMP
    // metadata, an sRGB output intent (see the layout above). It cannot be encrypted: BeginDoc
    // throws std::invalid_argument when a password is set too. Text bytes that the embedded face
    // cannot draw (controls, the code page's unused bytes) are written as spaces.
    bool PdfA = false;
    // An accessible PDF/UA-1 file, read by BeginDoc: a tagged file (Tagged is taken as set) with
    // the archival file's embedded fonts, a title (the file's name when TITLE is empty) and
    // XMP metadata naming it; unlike an archival file it can be encrypted.
    bool PdfUA = false;

    // The document ID of an encrypted or archival file: these 32 hexadecimal digits when set
    // (byte-stable output), otherwise a fresh one.
    QByteArray FixedDocumentId;

    // A tagged file, read by BeginDoc: the catalog is marked (/MarkInfo), names its language
    // (pt-BR) and asks viewers for the document title, and a structure tree gives the reading
    // order. Text is shown inside marked content of P structure elements (see BeginParagraph);
    // lines and DecorativeText are artifacts. Nothing of a page's content lies outside both but
    // colour operators.
    bool Tagged = false;
    // Read by each TextOut of a tagged file: the text is an artifact (blanks, decoration) and
    // belongs to no paragraph.
    bool DecorativeText = false;

    // Threads that compress page contents while the next pages are drawn: 0 chooses from the
    // number of processors, 1 compresses in the calling thread. The bytes written are the same
    // for every value.
    int Threads = 0;

    // Pages begun so far: 0 before the first BeginDoc, 1 right after it, +1 per NewPage.
    int PageNumber() const { return m_pageNumber; }

    // ---- Operations, in the order BeginDoc, then drawing and NewPage calls, then EndDoc.
    // BeginDoc may be called again after EndDoc (or to drop an unfinished document). Drawing
    // calls and NewPage outside an open document are ignored.

    // Starts a document with its first page.
    void BeginDoc();
    // Ends the current page and begins the next one.
    void NewPage();
    // Draws text (bytes, written unchanged, escaped as a PDF literal) with its baseline origin at
    // (x, y) in the current Font, scaled horizontally by hscale percent (0 writes no scaling),
    // rotated 45 degrees counter-clockwise when `rotated`.
    void TextOut(QByteArrayView text, bool rotated, double x, double y, double hscale);
    // Tagged files: the text drawn from now on belongs to a new P structure element, which
    // follows the page's earlier ones in reading order. The element is made only when text is
    // drawn before the next BeginParagraph or the page's end. Each page starts a new paragraph,
    // so without this call a page's text is one paragraph. Ignored in untagged files.
    void BeginParagraph();
    // Strokes a segment from (x1, y1) to (x2, y2) with the current LineWidth.
    void DrawLine(double x1, double y1, double x2, double y2);
    // The non-stroking (text) and stroking (line) colours for what follows on the current page.
    void SetFillColor(const QColor& colour);
    void SetLineColor(const QColor& colour);
    // Ends the last page, writes the remaining objects, the cross-reference table and the
    // trailer, and saves the document to FileName: to a temporary file beside it, renamed over
    // FileName once complete. On failure throws PdfWriteError; FileName is then left exactly
    // as it was (an existing file keeps its contents) and no temporary file remains. Either
    // way the document is finished and the writer idle. Throws std::logic_error when no
    // document is open.
    void EndDoc();

private:
    struct PendingPage;

    // The marked-content sequence open in the page's operators.
    enum class Marked : std::uint8_t { None, Text, Artifact };
    // What a tagged file keeps of a closed page: its P elements are objects firstElement ..
    // firstElement + elements - 1, followed by its parent-tree array.
    struct PageTags {
        int firstElement = 0;
        int elements = 0;
    };

    void startObject(int number);
    void appendObject(int number, std::string_view body);
    void markText();
    void markArtifact();
    void closeMarked();
    void writePageElements();
    int writeParentTree();
    int pageObject(std::size_t page, int firstUntagged) const;
    int allocate() { return ++m_objectCount; }
    void openPage();
    void closePage(bool last);
    void appendFinished(bool wait, std::size_t keepAtMost);
    void discardDocument();
    QByteArray creationDate() const;
    QDateTime creationTime() const;
    // The information value's string: a literal, encrypted when a password is set, or a text
    // string in an archival file.
    void putInfoString(std::string& out, QByteArrayView bytes) const;
    void writeArchivalFonts(std::array<int, 14>& fonts);
    void writeStreamObject(int number, std::string_view dict, QByteArrayView data);

    bool m_open = false;
    int m_pageNumber = 0;
    int m_objectCount = 0;
    // The document so far: finished parts (page stream data is moved in whole, never copied)
    // and the part still growing.
    std::vector<std::string> m_parts;
    std::uint64_t m_partsBytes = 0;
    std::string m_file;
    std::uint64_t position() const { return m_partsBytes + m_file.size(); }
    std::vector<std::uint64_t> m_offsets; // where object n begins, at n - 1
    std::vector<int> m_contentObjects;    // one per page
    std::vector<PageTags> m_pageTags;     // one per closed page of a tagged file

    // The open page: its content object's first lines, its operators, and whether its
    // stream is deflated (decided when it was opened, so the /Filter entry always matches).
    std::string m_pageHead;
    std::string m_content;
    int m_pageObject = 0;
    bool m_pageCompressed = true;
    std::size_t m_contentReserve = 4096;
    double m_lineWidthFor = std::numeric_limits<double>::quiet_NaN(); // m_lineWidthText's width
    std::string m_lineWidthText; // its operator line and the stroke, "1 w\r\nS\r\n"
    // The open page's marking (tagged files): the sequence open, whether the next text starts a
    // paragraph, the paragraphs begun, and the paragraph (from 0) of each marked-content ID.
    Marked m_marked = Marked::None;
    bool m_paragraphPending = true;
    int m_paragraphs = 0;
    std::vector<std::uint32_t> m_mcidParagraph;

    // Closed pages waiting to be appended in order (their compression may still be running).
    std::deque<std::unique_ptr<PendingPage>> m_pending;
    std::unique_ptr<PageCompressor> m_compressor;

    // Read from the properties by BeginDoc.
    bool m_pdfa = false;
    bool m_tagged = false;
    bool m_universal = false;  // PdfUA, as BeginDoc read it
    bool m_embedded = false;   // the fonts are the embedded faces (archival or accessible)
    int m_documentElement = 0; // the Document structure element of a tagged file
    QDateTime m_created;
    QByteArray m_documentId;
    std::unique_ptr<pdf::TqdxPDFSecurity> m_security;
    std::array<bool, 14> m_fontUsed{};
    std::string m_drawable; // TextOut's copy of a text with bytes its face cannot draw
};

} // namespace zr::textreport
