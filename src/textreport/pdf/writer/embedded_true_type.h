#pragma once

// EmbeddedTrueTypeFace: the metric-compatible TrueType face that stands for one of the
// fourteen standard fonts in an archival file (where every font must be embedded): Liberation
// Mono for Courier, Liberation Sans for Helvetica (and for Symbol and ZapfDingbats, which have
// no such face), Liberation Serif for Times, in the same weight and slant, found through
// fontconfig. It is written as a simple TrueType font with WinAnsiEncoding, so that the text
// bytes (code page 1252) are drawn and extracted as they are.
//
// A face is read, measured and deflated once per process; later documents reuse it.

#include <QByteArray>

#include <array>
#include <cstdint>
#include <string>

namespace zr::pdf {
class PdfEncryptor;
}

namespace zr::textreport {

class EmbeddedTrueTypeFace {
public:
    // The face for standard font `index` (0..13, as TPDFFont::Name numbers them). Throws
    // std::runtime_error when fontconfig gives no readable TrueType face for it. Thread-safe.
    static const EmbeddedTrueTypeFace& ForStandardFont(int index);

    // Whether byte `b` (code page 1252) has a glyph of its own in the face. Bytes without one
    // would draw .notdef: the writer writes a space instead.
    bool Draws(unsigned char b) const { return m_draws[b]; }

    // The bodies of the font's objects (between "N 0 obj" and "endobj", lines ending in CR LF):
    // the font dictionary, resource name /F<resource>, widths for codes 32..255; and its
    // descriptor, whose font file is object `fontFile` (its /FontFamily string encrypted for
    // object `objectNumber` when an encryptor is given).
    std::string FontDictionary(int resource, int descriptor) const;
    std::string Descriptor(int fontFile, const pdf::PdfEncryptor* encryptor = nullptr,
                           int objectNumber = 0) const;
    // The font file, deflated, and its length before that (/Length1).
    const QByteArray& File() const { return m_file; }
    qsizetype FileLength() const { return m_fileLength; }

private:
    EmbeddedTrueTypeFace() = default;
    static EmbeddedTrueTypeFace Load(int index);

    QByteArray m_baseName; // PostScript-style name, "LiberationMono-Bold"
    QByteArray m_family;   // "Liberation Mono"
    QByteArray m_file;     // deflated font file
    qsizetype m_fileLength = 0;
    std::array<int, 256> m_widths{}; // per byte, in 1000ths of an em
    std::array<bool, 256> m_draws{};
    int m_flags = 32;
    int m_boxLeft = 0, m_boxBottom = 0, m_boxRight = 0, m_boxTop = 0;
    int m_italicAngle = 0, m_ascent = 0, m_descent = 0, m_capHeight = 0, m_stemV = 80;
};

} // namespace zr::textreport
