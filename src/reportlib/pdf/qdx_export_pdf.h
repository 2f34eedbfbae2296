#pragma once

// TqdxPDFExport: the PDF export filter of prepared reports. render::Export() drives it page by
// page and object by object; it streams a PDF 1.5 file (2.0 with AES-256) to disk as the pages
// arrive: each page's content stream and page object when the page ends, images when they are
// met, and the fonts, page tree, document information, outline, link annotations, catalog,
// cross-reference table and trailer at the end.
//
// Object numbering: object 1 is the page tree, reserved in BeginOutput and written last of the
// page objects; each page then takes its content stream (C), the Type 0 objects of the fonts it
// used first (reserved), and its page object; link annotations are reserved while their page is
// drawn. After the pages come the fonts' other objects, object 1, the information object, the
// outline (root, then the items in pre-order), the links and the catalog.
//
// Saving is atomic: everything is written to a temporary file beside the target, which
// EndOutput renames over it. Until then an existing file of that name is untouched, and an
// export that never reaches EndOutput (or whose final write fails) leaves it so.
//
// Failures (the contract callers rely on):
// - BeginOutput returns false, writing nothing, when FileName is empty.
// - BeginOutput throws TqdxPDFExportError (and sets ErrorText) when the file cannot be created
//   or a password cannot be taken by the chosen encryption; nothing is written then.
// - EndOutput never throws. When the file cannot be completed or renamed over the target, the
//   temporary file is removed, the target stays as it was, Succeeded() is false and ErrorText
//   holds a message ready to show ("Erro na gravação do arquivo..." and the file name, then the
//   system's reason). render::Export()'s result does not cover this last step: check
//   Succeeded() after it.
// - An error while a page is drawn ends the page walk (render::Export() handles it); EndOutput
//   then still completes the file with the pages finished so far, unless KeepIncompleteOutput
//   is false, in which case the temporary file is dropped and the target kept.

#include "pdfwriter/qdx_pdf_security.h"
#include "platform/printing/print_output.h"
#include "reportlib/render/page_services.h"

#include <QByteArray>
#include <QDateTime>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace zr::reportlib::pdf {

// The shared file layer (objects, forms, security) is used here by its plain names.
using namespace zr::pdf;

struct PdfPageState;
class TqdxPDFFontList;

// The permissions of an encrypted document, as bits of ProtectionFlags.
enum TqdxPDFProtection { ePrint = 1, eModify = 2, eCopy = 4, eAnnot = 8 };
inline constexpr int kAllPDFProtections = ePrint | eModify | eCopy | eAnnot;

// BeginOutput could not start the file. The message is ready to show.
class TqdxPDFExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TqdxPDFExport : public render::TqdxCustomExportFilter {
public:
    TqdxPDFExport();
    ~TqdxPDFExport() override;
    TqdxPDFExport(const TqdxPDFExport&) = delete;
    TqdxPDFExport& operator=(const TqdxPDFExport&) = delete;

    // ---- Properties (defaults as constructed).
    bool Compressed = true;            // deflate content streams, font files and maps
    bool EmbeddedFonts = false;        // embed the font files
    bool EmbedFontsIfProtected = true; // what EmbeddedFonts becomes when encrypting
    bool OpenAfterExport = false;      // open the finished file with the desktop
    bool PrintOptimized = false;       // rasterise at a higher scale
    bool Outline = false;              // the report's outline as bookmarks
    bool Background = false;           // export the page background object
    bool HTMLTags = true;              // texts with tags show their formatting
    // A tagged PDF: a structure tree a screen reader follows (not for FormOutput), the document's
    // language and marked content.
    bool Tagged = true;
    QString Language = QStringLiteral("pt-BR");
    // Small objects in deflated object streams and a cross-reference stream (not when
    // encrypting): a smaller file that every PDF 1.5 reader opens.
    bool ObjectStreams = false;
    bool OverwritePrompt = false;      // the save dialog asks before replacing a file
    int Quality = 95;                  // edited in the dialog; the images do not read it
    QString Title;
    QString Author = QStringLiteral("Quadrel");
    QString Subject = QStringLiteral("Quadrel PDF export");
    QString Keywords;
    QString Creator; // the application's name, taken when the filter is made
    QString Producer;
    QString UserPassword;  // encrypts when this or OwnerPassword is set
    QString OwnerPassword; // an empty one takes UserPassword's value at BeginOutput (and keeps it)
    int ProtectionFlags = kAllPDFProtections;
    bool HideToolbar = false;
    bool HideMenubar = false;
    bool HideWindowUI = false;
    bool FitWindow = false;
    bool CenterWindow = false;
    bool PrintScaling = false; // false: the viewer is told not to scale when printing

    // Common to the export filters.
    QString FileName;    // the output file
    QString DefaultPath; // folder for a FileName without one
    bool ExportNotPrintable = false;
    bool UseFileCache = false; // kept for the stored settings; the export does not read it

    // Beyond the standard handler: AES-256 (revision 6) instead of RC4.
    TqdxPDFEncryption Encryption = TqdxPDFEncryption::RC4_128;
    // An archival file (PDF/A-2a when tagged): PDF 1.7 with a binary comment line, fonts embedded,
    // XMP metadata and an sRGB output intent in the catalog, information dates with the time
    // zone, printable links. It cannot be encrypted: BeginOutput then fails (and throws) as for
    // a password the method cannot take.
    bool PdfA = false;
    // A PDF/UA-1 file: tagged, fonts embedded, a title shown in the viewer's caption (the file's
    // name when there is none) and the identifier in the XMP metadata.
    bool PdfUA = false;
    // False: an export that ended early (an error, or fewer pages than asked for) drops its
    // file and keeps an existing one, as the converter wants. True (the viewer): the pages
    // finished so far are written.
    bool KeepIncompleteOutput = true;
    // For byte-stable output: when valid or non-empty, used instead of the export's creation
    // time and a fresh document ID (32 hexadecimal digits).
    QDateTime FixedCreationTime;
    QByteArray FixedDocumentId;
    // When set before BeginOutput, the document goes there as it is written (a print job)
    // instead of to FileName; BeginOutput takes it, and EndOutput finishes it.
    std::unique_ptr<RawOutput> Output;
    // Opens the finished file when OpenAfterExport is set; null uses the desktop services.
    std::function<void(const QString& path)> OpenDocument;

    // ---- What the dialogs and menus show.
    static QString FilterCaption() { return QStringLiteral("Ficheiro PDF"); }
    static QString FilterDesc() { return QStringLiteral("Ficheiro Adobe PDF (*.pdf)|*.pdf"); }
    static QString DefaultExt() { return QStringLiteral(".pdf"); }

    // ---- The export filter's operations (render::Export() calls them).
    bool ShowModal() override { return true; }
    bool BeginOutput() override;
    void BeginPageOutput(TqdxReportPage& page, int index) override;
    void EmitObject(TqdxComponent& object) override;
    void EndPageOutput(TqdxReportPage& page, int index) override;
    void EndOutput() override;

    // ---- The outcome of the last export.
    // True once EndOutput has put the complete file in place.
    bool Succeeded() const { return m_succeeded; }
    QString ErrorText;
    // The system's error number of the write that failed, 0 when no call of the system did.
    int SystemError = 0;
    // What the last export worked around, each said once, in order (a paper beyond the PDF's
    // limits); each is also given to the report's UserInteraction as a warning when it has one.
    QStringList Warnings;
    // The path written (FileName completed with DefaultPath).
    const QString& OutputPath() const { return m_path; }
    // Pages written by the last export.
    int PagesWritten() const { return m_pagesWritten; }

    // ---- Pages placed on sheets (printing scaled, in tiles or several to a sheet).
    // While FormOutput is set, a page between BeginPageOutput and EndPageOutput is written as a
    // form XObject (its content and resources, no links, no page of the document); LastForm()
    // is then its object number and LastFormHeight() its height in points. PlaceForms writes a
    // page of the document, `widthPt` x `heightPt`, that draws forms: each through `matrix`
    // (a b c d e f, into the page's space, points from the bottom-left corner), clipped to
    // `clip` (same space; an empty one clips nothing). No placement: a blank page.
    struct FormPlacement {
        int form = 0;
        double matrix[6] = {1, 0, 0, 1, 0, 0};
        QRectF clip;
    };
    bool FormOutput = false;
    int LastForm() const { return m_lastForm; }
    double LastFormHeight() const { return m_lastFormHeight; }
    void PlaceForms(double widthPt, double heightPt, const std::vector<FormPlacement>& placements);

private:
    struct Document;
    // Producer, or the program's name when it is empty.
    QString producer() const;
    // `dict`: further entries of the stream's dictionary.
    void writeStream(int number, const QByteArray& data, const QByteArray& dict = {});
    // The page's font and picture entries ("/Font << ... >>", "/XObject << ... >>"; the latter
    // empty without pictures), which a page's resources list; resourcesDict() gives them as
    // one dictionary, for a form.
    QByteArray fontResources();
    QByteArray imageResources() const;
    // Tagged output: the structure tree's objects; the root's number, 0 when there is none.
    int writeStructTree();
    QByteArray resourcesDict();
    void endForm();
    void writeOutline();
    void writeLinks();
    void fail(const QString& text, int systemError = 0);
    void warn(const QString& text);
    QByteArray dateString() const;

    std::unique_ptr<Document> m_doc; // from BeginOutput to EndOutput
    QString m_path;
    bool m_succeeded = false;
    int m_pagesWritten = 0;
    int m_lastForm = 0;
    double m_lastFormHeight = 0;
};

// The settings of the main window's filter, which the viewer and the converter both use:
// file cache, progress, no overwrite prompt, not data-only, not print-optimised, no outline,
// no background, tags on, quality 95, the company as author, every permission and no viewer
// preference; and embedded fonts, because glyph numbers only mean something with the font file
// they were taken from.
void ApplyMainWindowDefaults(TqdxPDFExport& filter);

// The smallest and largest side of a page a PDF reader takes, in points.
inline constexpr double kMinPdfPageSide = 3;
inline constexpr double kMaxPdfPageSide = 14400;
// A page side in points brought within those limits (NaN: the smallest).
double PdfPageSide(double points);

// The address string of a link: "(...)" when every character is printable ASCII and the
// parentheses nest, else "<...>" in hexadecimal. With an encryptor, the address's bytes are
// encrypted for `objectNumber` and written as an escaped literal.
QByteArray LinkAddressString(const QString& address, const PdfEncryptor* encryptor,
                             int objectNumber);

} // namespace zr::reportlib::pdf
