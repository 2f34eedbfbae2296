#pragma once

// The fonts of the prepared-report PDF export. Each distinct (family, style) of the document
// becomes a composite font: Type 0 with Identity-H over a TrueType-based CID font whose glyph
// indices are those of the font file that fontconfig resolves, with widths and a ToUnicode map
// for exactly the glyphs used. Lines are shaped with HarfBuzz (bidirectional runs in visual
// order), so the glyphs are those the screen shows.

#include "pdfwriter/pdf_object_writer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace zr::reportlib::pdf {

// The shared file layer (objects, forms, security) is used here by its plain names.
using namespace zr::pdf;

// What distinguishes two fonts of the document.
struct PdfFontKey {
    QString family;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

class TqdxPDFFont {
public:
    virtual ~TqdxPDFFont() = default;
    // "/F" and the font's index in the document's list.
    virtual const QByteArray& ResourceName() const = 0;
    // The number reserved for its Type 0 object; 0 until reserved.
    virtual int ObjectNumber() const = 0;
    // Bold (italic) text in this font has no bold (italic) face and the page content simulates
    // the style. True for the style-insensitive families ("MS UI Gothic"), whose one font
    // serves every style: the caller applies it only to text whose font is bold (italic). Also
    // true for a bold (italic) font whose family fontconfig finds no such face for.
    virtual bool SyntheticBold() const = 0;
    virtual bool SyntheticItalic() const = 0;
    // Shapes one line and records its glyphs (widths, characters) in order of first use. The
    // glyph indices in visual order, four upper-case hexadecimal digits each; empty when the
    // line cannot be shaped or no font file could be found at all.
    virtual QByteArray ShapeLine(const QString& text, bool rightToLeft) = 0;
    // Shapes one line as ShapeLine does and gives the content operators that show it: "<…> Tj"
    // lines, where a cluster whose glyphs cannot carry its text through the ToUnicode map (a
    // glyph already mapped to other text, the second glyph of a cluster, .notdef, a cluster of
    // many characters) is wrapped in a marked-content span with that text as /ActualText.
    // Characters this font's face lacks are drawn by the first face of fontconfig's fallback
    // chain that has them (the screen's chain), as a font of the document of its own: the
    // sequence then switches to it with "/Fk SIZE Tf" and back, `fontSize` being SIZE.
    // One operator sequence per item; empty when the line gives no glyphs.
    virtual QList<QByteArray> ShowLine(const QString& text, bool rightToLeft,
                                       const QByteArray& fontSize) = 0;
};

// Whether embedded fonts are cut down to the glyphs used (the default) or embedded whole. For
// measurements only: the PDF benchmark compares both in one run.
void SetFontSubsetting(bool enabled);

// The document's fonts in order of first use; every page's resources list all of them.
class TqdxPDFFontList {
public:
    TqdxPDFFontList();
    ~TqdxPDFFontList();
    TqdxPDFFontList(const TqdxPDFFontList&) = delete;
    TqdxPDFFontList& operator=(const TqdxPDFFontList&) = delete;

    // The index of the font for `key`, created at its first use. Fallback faces that lines
    // of the document needed are fonts of the list too (after the fonts that first needed them).
    int FindFont(const PdfFontKey& key);
    TqdxPDFFont& Font(int index);
    int Count() const;

    // Gives every font that has no object number yet a reserved one (at the end of a page).
    void ReserveObjects(PdfObjectWriter& writer);
    // Writes the objects of every font, in order of first use: the font file (when
    // `embedded` and the font has one), the descriptor, the ToUnicode map, the CID system
    // information, the descendant font and the Type 0 font under its reserved number. Streams are
    // deflated when `compressed`, and encrypted when an encryptor is given.
    void WriteObjects(PdfObjectWriter& writer, bool embedded, bool compressed,
                      const PdfEncryptor* encryptor);
    void Clear();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zr::reportlib::pdf
