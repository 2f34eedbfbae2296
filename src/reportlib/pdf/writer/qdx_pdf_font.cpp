#include "qdx_pdf_font.h"

#include "pdf_format.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_resolver.h"
#include "platform/text/codepages.h"
#include "qdx_pdf_font_p.h"

#include <QHash>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <unordered_set>

namespace zr::reportlib::pdf {

namespace {

// Families whose bold and italic are not separate faces: one font serves every style, and the
// page content simulates bold and italic.
bool IsStyleInsensitive(const QString& family) {
    return family == QLatin1String("MS UI Gothic");
}

// At most this many of fontconfig's fallbacks are opened in search of a TrueType face.
constexpr std::size_t kMaxFallbackFaces = 64;

// The most shaped lines a font keeps (it forgets them all when full).
constexpr qsizetype kShapeCacheLines = 4096;

std::unique_ptr<fonts::FontFace> OpenTrueTypeFace(const fonts::FontLocation& location) {
    auto face = fonts::FontFace::Open(location);
    if (face && face->HasTrueTypeOutlines()) {
        return face;
    }
    return nullptr;
}

// The face whose glyphs the font writes. A CID font of TrueType type needs TrueType outlines:
// a face without them (CFF-flavoured OpenType, Type 1) gives way to the face "Arial" resolves
// to, and failing that to the first TrueType face of fontconfig's fallback list. Shaping and
// embedding use the same face, so the glyph indices always belong to the embedded file.
std::unique_ptr<fonts::FontFace> OpenFace(const QString& family, bool bold, bool italic) {
    if (auto location = fonts::ResolveFont(family, bold, italic)) {
        if (auto face = OpenTrueTypeFace(*location)) {
            return face;
        }
    }
    if (auto location = fonts::ResolveFont(QStringLiteral("Arial"), bold, italic)) {
        if (auto face = OpenTrueTypeFace(*location)) {
            return face;
        }
    }
    const auto candidates = fonts::ResolveFontCandidates(family, bold, italic);
    for (std::size_t i = 0; i < candidates.size() && i < kMaxFallbackFaces; ++i) {
        if (auto face = OpenTrueTypeFace(candidates[i])) {
            return face;
        }
    }
    return nullptr;
}

// Four upper-case hexadecimal digits.
QByteArray Hex4(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char text[4] = {kDigits[(value >> 12) & 0xF], kDigits[(value >> 8) & 0xF],
                          kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
    return QByteArray(text, 4);
}

} // namespace

QByteArray PdfFontName(const QString& family, bool bold, bool italic) {
    QByteArray name = codepages::toCp1252(family);
    // A "#" of the family itself first, so that the escapes below stay the only ones.
    name.replace("#", "#23");
    static constexpr const char* kEscapes[][2] = {
        {" ", "#20"}, {"(", "#28"}, {")", "#29"}, {"%", "#25"}, {"<", "#3C"}, {">", "#3E"},
        {"[", "#5B"}, {"]", "#5D"}, {"{", "#7B"}, {"}", "#7D"}, {"/", "#2F"}};
    for (const auto& escape : kEscapes) {
        name.replace(escape[0], escape[1]);
    }
    if (!IsStyleInsensitive(family)) {
        if (bold && italic) {
            name += ",BoldItalic";
        } else if (bold) {
            name += ",Bold";
        } else if (italic) {
            name += ",Italic";
        }
    }
    QByteArray result;
    result.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // Bytes 128 and above, and the control bytes and DEL that no name may hold.
        if (byte >= 127 || byte < 33) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "#%02X", static_cast<unsigned>(byte));
            result.append(escaped, 3);
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

class PdfFont final : public TqdxPDFFont {
public:
    PdfFont(const PdfFontKey& key, int index) : m_key(key) {
        m_resourceName = "/F" + QByteArray::number(index);
        m_styleInsensitive = IsStyleInsensitive(key.family);
        m_name = PdfFontName(key.family, key.bold, key.italic);
        if (m_styleInsensitive) {
            // One regular face for every style of the family.
            m_face = OpenFace(key.family, false, false);
            m_syntheticBold = true;
            m_syntheticItalic = true;
        } else {
            m_face = OpenFace(key.family, key.bold, key.italic);
            // A family without a bold (italic) face is simulated too.
            m_syntheticBold = key.bold && m_face && !m_face->Location().bold;
            m_syntheticItalic = key.italic && m_face && !m_face->Location().italic;
        }
        if (m_face) {
            m_metrics = m_face->Metrics();
        }
    }

    const QByteArray& ResourceName() const override { return m_resourceName; }
    int ObjectNumber() const override { return m_objectNumber; }
    bool SyntheticBold() const override { return m_syntheticBold; }
    bool SyntheticItalic() const override { return m_syntheticItalic; }
    QByteArray ShapeLine(const QString& text, bool rightToLeft) override;

    bool Matches(const PdfFontKey& key) const {
        if (key.family != m_key.family) {
            return false;
        }
        return m_styleInsensitive ||
               (key.bold == m_key.bold && key.italic == m_key.italic &&
                key.underline == m_key.underline && key.strikeOut == m_key.strikeOut);
    }

    void Reserve(PdfObjectWriter& writer) {
        if (m_objectNumber == 0) {
            m_objectNumber = writer.reserve();
        }
    }

    void Write(PdfObjectWriter& writer, bool embedded, bool compressed,
               const PdfEncryptor* encryptor);

private:
    QByteArray CharacterMap() const;

    PdfFontKey m_key;
    QByteArray m_resourceName;
    QByteArray m_name;
    bool m_styleInsensitive = false;
    bool m_syntheticBold = false;
    bool m_syntheticItalic = false;
    int m_objectNumber = 0;
    std::unique_ptr<fonts::FontFace> m_face;
    fonts::FontMetrics m_metrics;
    // The glyphs used so far in order of first use, with their widths and characters.
    std::vector<std::uint32_t> m_glyphs;
    std::vector<int> m_widths;
    std::vector<char16_t> m_chars;
    std::unordered_set<std::uint32_t> m_used;
    // Lines already shaped, left-to-right and right-to-left.
    QHash<QString, std::vector<fonts::ShapedGlyph>> m_shaped[2];
};

QByteArray PdfFont::ShapeLine(const QString& text, bool rightToLeft) {
    if (!m_face || text.isEmpty()) {
        return {};
    }
    // Reports repeat their lines (headings, labels, column titles): each line is shaped once
    // while the cache lasts.
    auto& cache = m_shaped[rightToLeft ? 1 : 0];
    auto cached = cache.constFind(text);
    if (cached == cache.constEnd()) {
        if (cache.size() >= kShapeCacheLines) {
            cache.clear();
        }
        cached = cache.insert(text, m_face->ShapeLine(text, rightToLeft));
    }
    const std::vector<fonts::ShapedGlyph>& glyphs = *cached;
    const std::size_t length = std::size_t(text.size());
    const bool oneToOne = glyphs.size() == length;
    // With one glyph per character, each glyph stands for the character it was shaped from.
    // Shaping keeps that for plain left-to-right (position k) and right-to-left (n - 1 - k)
    // lines alike, and also for mixed lines, where the position alone would not.
    bool clustersDistinct = oneToOne;
    if (oneToOne) {
        std::vector<bool> seen(length, false);
        for (const auto& glyph : glyphs) {
            if (glyph.cluster < 0 || std::size_t(glyph.cluster) >= length ||
                seen[std::size_t(glyph.cluster)]) {
                clustersDistinct = false;
                break;
            }
            seen[std::size_t(glyph.cluster)] = true;
        }
    }
    QByteArray hex;
    hex.reserve(qsizetype(glyphs.size() * 4));
    for (std::size_t k = 0; k < glyphs.size(); ++k) {
        const fonts::ShapedGlyph& glyph = glyphs[k];
        hex += Hex4(glyph.glyph);
        if (!m_used.insert(glyph.glyph).second) {
            continue;
        }
        char16_t ch = m_metrics.defaultChar;
        if (oneToOne) {
            const std::size_t position = clustersDistinct ? std::size_t(glyph.cluster)
                                         : rightToLeft    ? length - 1 - k
                                                          : k;
            const char16_t unit = text[qsizetype(position)].unicode();
            // Half of a surrogate pair is no character of its own.
            if (!QChar::isSurrogate(unit)) {
                ch = unit;
            }
        }
        m_glyphs.push_back(glyph.glyph);
        m_widths.push_back(glyph.advance);
        m_chars.push_back(ch);
    }
    return hex;
}

QByteArray PdfFont::CharacterMap() const {
    QByteArray cmapName = m_name;
    cmapName.replace(',', '+');
    QByteArray text;
    const auto line = [&text](QByteArrayView value) {
        text += value;
        text += "\r\n";
    };
    line("/CIDInit /ProcSet findresource begin");
    line("12 dict begin");
    line("begincmap");
    line("/CIDSystemInfo");
    line("<< /Registry (Adobe)");
    line("/Ordering (Identity)");
    line("/Supplement 0");
    line(">> def");
    line("/CMapName /" + cmapName + " def");
    line("/CMapType 2 def");
    line("1 begincodespacerange");
    line("<0000> <FFFF>");
    line("endcodespacerange");
    line(QByteArray::number(qsizetype(m_glyphs.size())) + " beginbfchar");
    for (std::size_t i = 0; i < m_glyphs.size(); ++i) {
        line("<" + Hex4(m_glyphs[i]) + "> <" + Hex4(m_chars[i]) + ">");
    }
    line("endbfchar");
    line("endcmap");
    line("CMapName currentdict /CMap defineresource pop");
    line("end");
    line("end");
    return text;
}

// A stream object: deflated when `compressed`, encrypted with the object's key when an
// encryptor is given; /Length is that of the bytes written, /Length1 that of the plain data.
int WriteStream(PdfObjectWriter& writer, const QByteArray& data, bool compressed,
                const PdfEncryptor* encryptor, bool lineBeforeEnd) {
    QByteArray body = compressed ? DeflateFast(data) : data;
    const int number = writer.beginObject();
    if (encryptor != nullptr) {
        body = encryptor->Encrypt(number, body);
    }
    const QByteArray length = QByteArray::number(body.size());
    const QByteArray plainLength = QByteArray::number(data.size());
    if (compressed) {
        writer.line("<< /Length " + length + "  /Filter /FlateDecode /Length1 " + plainLength +
                    " >>");
    } else {
        writer.line("<< /Length " + length + " /Length1 " + plainLength + " >>");
    }
    writer.line("stream");
    writer.raw(body);
    if (lineBeforeEnd) {
        writer.line("");
    }
    writer.line("endstream");
    writer.endObject();
    return number;
}

QByteArray Ref(int number) {
    return QByteArray::number(number) + " 0 R";
}

void PdfFont::Write(PdfObjectWriter& writer, bool embedded, bool compressed,
                    const PdfEncryptor* encryptor) {
    // 1. The font file, whole (read now, dropped when written). A face of a collection is
    // taken out of it, since a reader of the embedded file would take the collection's first.
    int fileObject = 0;
    if (embedded && m_face) {
        const QByteArray data = m_face->FaceData();
        if (!data.isEmpty()) {
            fileObject = WriteStream(writer, data, compressed, encryptor, true);
        }
    }

    // 2. The descriptor.
    const fonts::FontMetrics& m = m_metrics;
    const auto n = [](int value) { return QByteArray::number(value); };
    const double stem = double(m.weightClass) / 65.0;
    const int stemV = static_cast<int>(std::nearbyint(stem * stem)) + 50;
    const int descriptor = writer.beginObject();
    writer.line("<<");
    writer.line("/Type /FontDescriptor");
    writer.line("/FontName /" + m_name);
    writer.line("/FontFamily /" + m_name);
    writer.line("/Flags 32");
    writer.line("/FontBBox [" + n(m.boxLeft) + " " + n(m.boxBottom) + " " + n(m.boxRight) + " " +
                n(m.boxTop) + " ]");
    writer.line("/ItalicAngle " + n(m.italicAngle));
    writer.line("/Ascent " + n(m.ascent));
    writer.line("/Descent " + n(m.descent));
    writer.line("/Leading " + n(m.internalLeading));
    writer.line("/CapHeight " + n(m.capHeight));
    writer.line("/StemV " + n(stemV));
    writer.line("/AvgWidth " + n(m.averageWidth));
    writer.line("/MxWidth " + n(m.maximumWidth));
    writer.line("/MissingWidth " + n(m.averageWidth));
    if (fileObject != 0) {
        writer.line("/FontFile2 " + Ref(fileObject));
    }
    writer.line(">>");
    writer.endObject();

    // 3. The character map.
    const int toUnicode = WriteStream(writer, CharacterMap(), compressed, encryptor, false);

    // 4. The CID system information (its strings encrypted like any other).
    const int systemInfo = writer.beginObject();
    writer.line("<<");
    writer.line("/Registry " + LiteralString("Adobe", encryptor, systemInfo) + " /Ordering " +
                LiteralString("Identity", encryptor, systemInfo) + " /Supplement 0");
    writer.line(">>");
    writer.endObject();

    // 5. The descendant font with the widths of the glyphs used.
    const int descendant = writer.beginObject();
    writer.line("<<");
    writer.line("/Type /Font");
    writer.line("/Subtype /CIDFontType2");
    writer.line("/BaseFont /" + m_name);
    writer.line("/CIDSystemInfo " + Ref(systemInfo));
    writer.line("/FontDescriptor " + Ref(descriptor));
    QByteArray widths = "/W [ ";
    widths.reserve(qsizetype(m_glyphs.size() * 12 + 8));
    for (std::size_t i = 0; i < m_glyphs.size(); ++i) {
        widths += n(int(m_glyphs[i])) + " [" + n(m_widths[i]) + "] ";
    }
    widths += "]";
    writer.line(widths);
    writer.line(">>");
    writer.endObject();

    // 6. The Type 0 font under its reserved number (or a new one when no page reserved it).
    if (m_objectNumber == 0) {
        m_objectNumber = writer.beginObject();
    } else {
        writer.beginReserved(m_objectNumber);
    }
    writer.line("<<");
    writer.line("/Type /Font");
    writer.line("/Subtype /Type0");
    writer.line("/BaseFont /" + m_name);
    writer.line("/Encoding /Identity-H");
    writer.line("/DescendantFonts [" + Ref(descendant) + "]");
    writer.line("/ToUnicode " + Ref(toUnicode));
    writer.line(">>");
    writer.endObject();
}

} // namespace

struct TqdxPDFFontList::Impl {
    std::vector<std::unique_ptr<PdfFont>> fonts;
};

TqdxPDFFontList::TqdxPDFFontList() : m_impl(std::make_unique<Impl>()) {}
TqdxPDFFontList::~TqdxPDFFontList() = default;

int TqdxPDFFontList::FindFont(const PdfFontKey& key) {
    auto& fonts = m_impl->fonts;
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i]->Matches(key)) {
            return int(i);
        }
    }
    const int index = int(fonts.size());
    fonts.push_back(std::make_unique<PdfFont>(key, index));
    return index;
}

TqdxPDFFont& TqdxPDFFontList::Font(int index) {
    if (index < 0 || std::size_t(index) >= m_impl->fonts.size()) {
        throw std::out_of_range("TqdxPDFFontList::Font: index out of range");
    }
    return *m_impl->fonts[std::size_t(index)];
}

int TqdxPDFFontList::Count() const {
    return int(m_impl->fonts.size());
}

void TqdxPDFFontList::ReserveObjects(PdfObjectWriter& writer) {
    for (auto& font : m_impl->fonts) {
        font->Reserve(writer);
    }
}

void TqdxPDFFontList::WriteObjects(PdfObjectWriter& writer, bool embedded, bool compressed,
                                   const PdfEncryptor* encryptor) {
    for (auto& font : m_impl->fonts) {
        font->Write(writer, embedded, compressed, encryptor);
    }
}

void TqdxPDFFontList::Clear() {
    m_impl->fonts.clear();
}

} // namespace zr::reportlib::pdf
