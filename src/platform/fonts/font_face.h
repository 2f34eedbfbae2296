#pragma once

// FontFace: one face of a font file, opened with FreeType for its metrics and with HarfBuzz
// (over the same file) for shaping, so that every glyph index it gives is an index of that
// file. Lines are split into bidirectional runs with FriBidi and shaped run by run in visual
// order. All sizes are in units of 1000 per em.

#include "font_resolver.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace zr::fonts {

// The face's outline metrics, in units of 1000 per em, rounded.
struct FontMetrics {
    int boxLeft = 0; // the bounding box of all glyphs
    int boxBottom = 0;
    int boxRight = 0;
    int boxTop = 0;
    int italicAngle = 0;         // degrees, counter-clockwise from vertical (italics are negative)
    int ascent = 0;              // typographic ascent
    int descent = 0;             // typographic descent (negative below the baseline)
    int internalLeading = 0;     // the line's height above the em (Windows ascent + descent - em)
    int capHeight = 0;           // the height of capital letters
    int weightClass = 400;       // 100 … 900
    int averageWidth = 0;        // the average advance of the face's characters
    int maximumWidth = 0;        // the widest advance
    char16_t defaultChar = 0x1F; // the character the face stands in for what it cannot show
};

// One glyph of a shaped line: its index in the font file and its advance.
struct ShapedGlyph {
    std::uint32_t glyph = 0;
    int advance = 0;
    // The UTF-16 position in the line of the first character the glyph stands for.
    int cluster = 0;
};

class FontFace {
public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Opens a face of a font file. Null when the file cannot be read or holds no such face.
    static std::unique_ptr<FontFace> Open(const FontLocation& location);
    // Opens a face from font bytes in memory (for checking written files).
    static std::unique_ptr<FontFace> FromData(const QByteArray& data, int faceIndex);

    const FontLocation& Location() const { return m_location; }
    const FontMetrics& Metrics() const { return m_metrics; }
    // The face's outlines are TrueType ('glyf' table): usable as a TrueType-based CID font.
    // CFF-flavoured OpenType and Type 1 faces are not.
    bool HasTrueTypeOutlines() const { return m_trueType; }
    // The face is OpenType with CFF outlines ('CFF ' table): usable as a CFF-based CID font with
    // the OpenType file embedded.
    bool HasCffOutlines() const { return m_cff; }
    int UnitsPerEm() const;
    // The face's own PostScript name ("LiberationSans-Bold"); empty when it gives none.
    QByteArray PostScriptName() const;

    // The glyph the face's character map gives for a character (0 when it has none).
    std::uint32_t GlyphForChar(char32_t ch) const;

    // Shapes one line: bidirectional runs (base direction right-to-left when asked) in visual
    // order, each shaped with its script and direction, without kerning (so a glyph's advance
    // does not depend on its neighbours). The glyphs are in visual order, left to right. Empty
    // for an empty line or one that cannot be shaped.
    std::vector<ShapedGlyph> ShapeLine(QStringView text, bool rightToLeft) const;

    // Shapes one line drawn by several faces, as ShapeLine does: `faceOf` gives, for every
    // UTF-16 position of `text`, the index in `faces` of the face that draws it (see
    // SplitByFace). Runs end where the face changes too; each glyph's `face` names its face.
    struct PlacedGlyph : ShapedGlyph {
        int face = 0;
    };
    static std::vector<PlacedGlyph> LayoutLine(QStringView text, bool rightToLeft,
                                               const std::vector<int>& faceOf,
                                               const std::vector<const FontFace*>& faces);

    // The whole font file as stored (for a face of a collection, the whole collection). Empty
    // when the file can no longer be read. Faces opened from memory give those bytes.
    QByteArray FileData() const;
    // A font file holding this face alone: the file itself for a single font; for a face of a
    // collection, a single font made of that face's tables (the whole collection when its
    // tables cannot be read). Readers of an embedded file know no face index, so this is what
    // keeps the glyph indices those of this face. Empty when the file cannot be read.
    QByteArray FaceData() const;

    // A font file of this face cut down to `glyphs` (and .notdef, and the parts of composite
    // glyphs), without hinting or layout tables. TrueType faces get new glyph indices, packed:
    // `newIndex` receives, for every glyph index up to the largest of `glyphs`, its index in the
    // subset (0 for a glyph left out). CFF faces keep their indices (`newIndex` then maps each
    // glyph to itself). Empty when the face cannot be subset.
    QByteArray SubsetData(const std::vector<std::uint32_t>& glyphs,
                          std::vector<std::uint32_t>& newIndex) const;
    // A font file of this face cut down to the glyphs of `characters` (and .notdef), with its
    // character map for them, for a font that readers draw through that map (a simple font).
    // Glyph indices are packed; metrics are kept. Empty when the face cannot be subset.
    QByteArray SubsetForCharacters(const std::vector<char32_t>& characters) const;

private:
    struct Impl;
    explicit FontFace(std::unique_ptr<Impl> impl);
    bool Load();

    std::unique_ptr<Impl> m_impl;
    FontLocation m_location;
    FontMetrics m_metrics;
    bool m_trueType = false;
    bool m_cff = false;
};

} // namespace zr::fonts
