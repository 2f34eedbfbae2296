#include "qdx_pdf_font.h"

#include "pdfwriter/pdf_format.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_resolver.h"
#include "platform/text/codepages.h"
#include "qdx_pdf_font_p.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <unordered_map>

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

// A face the PDF can embed as a CID font: TrueType outlines (CIDFontType2) or OpenType with
// CFF outlines (CIDFontType0, the OpenType file as FontFile3).
std::unique_ptr<fonts::FontFace> OpenTrueTypeFace(const fonts::FontLocation& location) {
    auto face = fonts::FontFace::Open(location);
    if (face && (face->HasTrueTypeOutlines() || face->HasCffOutlines())) {
        return face;
    }
    return nullptr;
}

// The face whose glyphs the font writes. A face with neither TrueType nor CFF outlines in an
// OpenType file (Type 1, bitmaps) gives way to the face "Arial" resolves to, and failing that
// to the first usable face of fontconfig's fallback list. Shaping and
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

// Appends four upper-case hexadecimal digits (no string made on the way).
// A character that is its own text as a reader gets it back (printable, neither a control, a
// soft hyphen nor a combining mark): a glyph standing for it alone maps to it and needs no
// /ActualText.
bool IsPlainUnit(char16_t unit) {
    return (unit >= 0x20 && unit < 0x7F) || (unit > 0xAD && unit < 0x300);
}

// Glyph indices up to this are kept in the plain-character table (TrueType allows 65,535).
constexpr std::uint32_t kMaxPlainGlyph = 0xFFFF;

void AppendHex4(QByteArray& out, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char text[4] = {kDigits[(value >> 12) & 0xF], kDigits[(value >> 8) & 0xF],
                          kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
    out.append(text, 4);
}

// Four upper-case hexadecimal digits.
QByteArray Hex4(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char text[4] = {kDigits[(value >> 12) & 0xF], kDigits[(value >> 8) & 0xF],
                          kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
    return QByteArray(text, 4);
}

std::atomic<bool> g_subsetting{true};

} // namespace

void SetFontSubsetting(bool enabled) {
    g_subsetting = enabled;
}

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

    // A fallback face of the document: named by its own family and style.
    PdfFont(const fonts::FontLocation& location, int index) {
        m_key.family = location.family;
        m_key.bold = location.bold;
        m_key.italic = location.italic;
        m_location = location;
        m_fallbackFace = true;
        m_resourceName = "/F" + QByteArray::number(index);
        m_name = PdfFontName(location.family, location.bold, location.italic);
        m_face = OpenTrueTypeFace(location);
        if (m_face) {
            m_metrics = m_face->Metrics();
        }
    }

    bool IsFallbackFor(const fonts::FontLocation& location) const {
        return m_fallbackFace && m_location.file == location.file &&
               m_location.faceIndex == location.faceIndex;
    }
    bool IsFallback() const { return m_fallbackFace; }
    bool Usable() const { return m_face != nullptr; }
    // Gives the document's font for a fallback face (null when it cannot be used).
    std::function<PdfFont*(const fonts::FontLocation&)> fallbackFont;

    const QByteArray& ResourceName() const override { return m_resourceName; }
    int ObjectNumber() const override { return m_objectNumber; }
    bool SyntheticBold() const override { return m_syntheticBold; }
    bool SyntheticItalic() const override { return m_syntheticItalic; }
    QByteArray ShapeLine(const QString& text, bool rightToLeft) override;
    QList<QByteArray> ShowLine(const QString& text, bool rightToLeft,
                               const QByteArray& fontSize) override;

    bool Matches(const PdfFontKey& key) const {
        if (m_fallbackFace || key.family != m_key.family) {
            return false;
        }
        // Underline and strike-out are drawn as lines: they share the face's one font.
        return m_styleInsensitive || (key.bold == m_key.bold && key.italic == m_key.italic);
    }

    void Reserve(PdfObjectWriter& writer) {
        if (m_objectNumber == 0) {
            m_objectNumber = writer.reserve();
        }
    }

    void Write(PdfObjectWriter& writer, bool embedded, bool compressed,
               const PdfEncryptor* encryptor);

private:
    // Glyphs of the line shown alike: a run whose glyphs carry their text through the
    // character map, or one cluster that needs /ActualText.
    struct Piece {
        QByteArray hex;
        QString text;
        bool actual = false;
    };
    const std::vector<fonts::ShapedGlyph>& Shaped(const QString& text, bool rightToLeft);
    std::vector<Piece> Record(const QString& text, bool rightToLeft);
    std::vector<Piece> Record(const QString& text, const std::vector<fonts::ShapedGlyph>& glyphs);
    // The common line in one pass: one glyph per character in logical order, each already
    // mapped to that very character, shown as one string. Empty when the line is not like that.
    QByteArray ShowPlain(const QString& text, const std::vector<fonts::ShapedGlyph>& glyphs) const;
    // Records glyphs of a line (in visual order) whose clusters start at `starts` (sorted, of
    // the whole line), and gives them as pieces to show.
    std::vector<Piece> RecordGlyphs(const QString& text,
                                    const std::vector<fonts::ShapedGlyph>& glyphs,
                                    const std::vector<int>& starts);
    static QList<QByteArray> Show(const std::vector<Piece>& pieces);
    QList<QByteArray> LayOutAndRecord(const QString& text, bool rightToLeft,
                                      const QByteArray& fontSize);
    QByteArray CharacterMap() const;

    PdfFontKey m_key;
    fonts::FontLocation m_location; // of a fallback face
    bool m_fallbackFace = false;
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
    // The text each glyph stands for in the character map (empty: none yet).
    std::vector<QString> m_chars;
    std::unordered_map<std::uint32_t, std::size_t> m_used;
    // Per glyph index: the one plain character (see IsPlainUnit) the glyph is mapped to, 0 for
    // none.
    std::vector<char16_t> m_plainUnit;
    // Lines already shaped, left-to-right and right-to-left.
    QHash<QString, std::vector<fonts::ShapedGlyph>> m_shaped[2];
};

namespace {

// The text a cluster stands for as a reader should get it back: soft hyphens, control and
// format characters (joiners, direction marks) dropped, the rest composed (NFC).
QString ReadableText(QStringView cluster) {
    // Most clusters are one plain character: nothing to drop or compose.
    if (cluster.size() == 1) {
        const char16_t unit = cluster[0].unicode();
        if ((unit >= 0x20 && unit < 0x7F) || (unit > 0xAD && unit < 0x300)) {
            return cluster.toString();
        }
    }
    QString kept;
    kept.reserve(cluster.size());
    for (qsizetype i = 0; i < cluster.size(); ++i) {
        const QChar unit = cluster[i];
        if (unit.isHighSurrogate() && i + 1 < cluster.size() && cluster[i + 1].isLowSurrogate()) {
            kept += unit;
            kept += cluster[++i];
            continue;
        }
        if (unit.isSurrogate()) {
            continue; // half of a pair is no character
        }
        const QChar::Category category = unit.category();
        if (unit.unicode() == 0x00AD || category == QChar::Other_Control ||
            category == QChar::Other_Format) {
            continue;
        }
        kept += unit;
    }
    return kept.normalized(QString::NormalizationForm_C);
}

// The longest text one glyph carries in the character map; longer clusters use /ActualText.
constexpr qsizetype kMaxMappedUnits = 8;

// A PDF text string of `text` as UTF-16BE with its byte-order mark, in hexadecimal.
QByteArray HexTextString(const QString& text) {
    QByteArray hex = "<FEFF";
    for (const QChar unit : text) {
        hex += Hex4(unit.unicode());
    }
    hex += '>';
    return hex;
}

} // namespace

const std::vector<fonts::ShapedGlyph>& PdfFont::Shaped(const QString& text, bool rightToLeft) {
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
    return *cached;
}

namespace {

// Where the clusters of a line's glyphs start, sorted, each once.
std::vector<int> ClusterStarts(const std::vector<int>& clusters, qsizetype length) {
    std::vector<int> starts;
    starts.reserve(clusters.size());
    for (const int cluster : clusters) {
        starts.push_back(std::clamp(cluster, 0, int(length)));
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

} // namespace

std::vector<PdfFont::Piece> PdfFont::Record(const QString& text, bool rightToLeft) {
    if (!m_face || text.isEmpty()) {
        return {};
    }
    return Record(text, Shaped(text, rightToLeft));
}

std::vector<PdfFont::Piece> PdfFont::Record(const QString& text,
                                            const std::vector<fonts::ShapedGlyph>& glyphs) {
    std::vector<int> clusters;
    clusters.reserve(glyphs.size());
    for (const auto& glyph : glyphs) {
        clusters.push_back(glyph.cluster);
    }
    return RecordGlyphs(text, glyphs, ClusterStarts(clusters, text.size()));
}

std::vector<PdfFont::Piece> PdfFont::RecordGlyphs(const QString& text,
                                                  const std::vector<fonts::ShapedGlyph>& glyphs,
                                                  const std::vector<int>& starts) {
    std::vector<Piece> pieces;
    const qsizetype length = text.size();
    // Each cluster covers the characters from its first position to the next cluster's (in
    // the line's logical order); characters that left no glyph (soft hyphens, joiners) fall
    // to the cluster before them.
    const auto clusterText = [&](int start) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), start);
        const int end = next == starts.end() ? int(length) : *next;
        return ReadableText(QStringView(text).mid(start, end - start));
    };

    std::size_t k = 0;
    while (k < glyphs.size()) {
        // The glyphs of one cluster stand together in visual order.
        const int cluster = glyphs[k].cluster;
        std::size_t end = k + 1;
        while (end < glyphs.size() && glyphs[end].cluster == cluster) {
            ++end;
        }
        // The common case without a string made: one glyph for one plain character that the
        // glyph is already mapped to.
        const int first = std::clamp(cluster, 0, int(length));
        if (end == k + 1 && glyphs[k].glyph != 0) {
            const auto next = std::upper_bound(starts.begin(), starts.end(), first);
            const int last = next == starts.end() ? int(length) : *next;
            const auto found = m_used.find(glyphs[k].glyph);
            if (last == first + 1 && found != m_used.end()) {
                const char16_t unit = text[first].unicode();
                const QString& mapped = m_chars[found->second];
                if (IsPlainUnit(unit) && mapped.size() == 1 && mapped[0].unicode() == unit) {
                    if (pieces.empty() || pieces.back().actual) {
                        pieces.push_back(Piece{});
                        pieces.back().hex.reserve(qsizetype(glyphs.size() - k) * 4);
                    }
                    AppendHex4(pieces.back().hex, glyphs[k].glyph);
                    k = end;
                    continue;
                }
            }
        }
        const QString wanted = clusterText(first);
        bool carried = true;
        for (std::size_t g = k; g < end; ++g) {
            const fonts::ShapedGlyph& glyph = glyphs[g];
            // The first glyph of the cluster carries its text; the others carry none.
            const QString& mine = g == k ? wanted : QString();
            auto found = m_used.find(glyph.glyph);
            if (found == m_used.end()) {
                found = m_used.emplace(glyph.glyph, m_glyphs.size()).first;
                m_glyphs.push_back(glyph.glyph);
                m_widths.push_back(glyph.advance);
                m_chars.emplace_back();
            }
            QString& mapped = m_chars[found->second];
            if (glyph.glyph == 0) {
                // .notdef stands for no letter: it reads as U+FFFD, like the box it draws, and
                // carries no text of its own.
                mapped = QString(QChar(0xFFFD));
                continue;
            }
            if (mapped.isEmpty() && !mine.isEmpty() && mine.size() <= kMaxMappedUnits) {
                mapped = mine;
                if (mapped.size() == 1 && IsPlainUnit(mapped[0].unicode()) &&
                    glyph.glyph <= kMaxPlainGlyph) {
                    if (m_plainUnit.size() <= glyph.glyph) {
                        m_plainUnit.resize(std::size_t(glyph.glyph) + 1, 0);
                    }
                    m_plainUnit[glyph.glyph] = mapped[0].unicode();
                }
            }
            if (mapped != mine) {
                carried = false;
            }
        }
        if (!carried) {
            pieces.push_back(Piece{QByteArray(), wanted, true});
        } else if (pieces.empty() || pieces.back().actual) {
            pieces.push_back(Piece{});
            pieces.back().hex.reserve(qsizetype(glyphs.size() - k) * 4);
        }
        for (std::size_t g = k; g < end; ++g) {
            AppendHex4(pieces.back().hex, glyphs[g].glyph);
        }
        k = end;
    }
    return pieces;
}

QByteArray PdfFont::ShapeLine(const QString& text, bool rightToLeft) {
    QByteArray hex;
    for (const Piece& piece : Record(text, rightToLeft)) {
        hex += piece.hex;
    }
    return hex;
}

QList<QByteArray> PdfFont::Show(const std::vector<Piece>& pieces) {
    QList<QByteArray> lines;
    for (const Piece& piece : pieces) {
        const QByteArray show = '<' + piece.hex + "> Tj";
        if (piece.actual) {
            lines.append("/Span << /ActualText " + HexTextString(piece.text) + " >> BDC " + show +
                         " EMC");
        } else {
            lines.append(show);
        }
    }
    return lines;
}

QByteArray PdfFont::ShowPlain(const QString& text,
                              const std::vector<fonts::ShapedGlyph>& glyphs) const {
    const qsizetype length = text.size();
    if (qsizetype(glyphs.size()) != length) {
        return {};
    }
    QByteArray show;
    show.reserve(length * 4 + 5);
    show += '<';
    for (qsizetype k = 0; k < length; ++k) {
        const fonts::ShapedGlyph& glyph = glyphs[std::size_t(k)];
        if (glyph.cluster != k || glyph.glyph >= m_plainUnit.size() ||
            m_plainUnit[glyph.glyph] != text[k].unicode()) {
            return {};
        }
        AppendHex4(show, glyph.glyph);
    }
    show += "> Tj";
    return show;
}

QList<QByteArray> PdfFont::ShowLine(const QString& text, bool rightToLeft,
                                    const QByteArray& fontSize) {
    if (!m_face || text.isEmpty()) {
        return {};
    }
    const auto& glyphs = Shaped(text, rightToLeft);
    if (!rightToLeft) {
        QByteArray plain = ShowPlain(text, glyphs);
        if (!plain.isEmpty()) {
            return {std::move(plain)};
        }
    }
    // Only a line the face cannot draw whole (a .notdef glyph) looks for fallback faces.
    const bool drawable = std::none_of(glyphs.begin(), glyphs.end(),
                                       [](const fonts::ShapedGlyph& g) { return g.glyph == 0; });
    if (drawable || !fallbackFont || m_fallbackFace) {
        return Show(Record(text, glyphs));
    }
    return LayOutAndRecord(text, rightToLeft, fontSize);
}

QList<QByteArray> PdfFont::LayOutAndRecord(const QString& text, bool rightToLeft,
                                           const QByteArray& fontSize) {
    // The faces of the fallback chain the line needs, this font's own first.
    std::vector<PdfFont*> fonts{this};
    std::vector<int> faceOf;
    if (fallbackFont && !m_fallbackFace) {
        const bool bold = m_styleInsensitive ? false : m_key.bold;
        const bool italic = m_styleInsensitive ? false : m_key.italic;
        const auto runs = fonts::SplitByFace(text, m_key.family, bold, italic);
        for (const fonts::FaceRun& run : runs) {
            if (!run.fallback) {
                continue;
            }
            PdfFont* other = fallbackFont(run.face);
            if (other == nullptr || !other->Usable()) {
                continue;
            }
            auto found = std::find(fonts.begin(), fonts.end(), other);
            if (found == fonts.end()) {
                fonts.push_back(other);
                found = fonts.end() - 1;
            }
            if (faceOf.empty()) {
                faceOf.assign(std::size_t(text.size()), 0);
            }
            const int face = int(found - fonts.begin());
            for (int i = std::max(0, run.start); i < run.end && i < int(text.size()); ++i) {
                faceOf[std::size_t(i)] = face;
            }
        }
    }
    if (fonts.size() == 1) {
        return Show(Record(text, rightToLeft));
    }

    std::vector<const fonts::FontFace*> faces;
    for (PdfFont* font : fonts) {
        faces.push_back(font->m_face.get());
    }
    const auto placed = fonts::FontFace::LayoutLine(text, rightToLeft, faceOf, faces);
    std::vector<int> clusters;
    clusters.reserve(placed.size());
    for (const auto& glyph : placed) {
        clusters.push_back(glyph.cluster);
    }
    const std::vector<int> starts = ClusterStarts(clusters, text.size());
    QList<QByteArray> lines;
    PdfFont* current = this;
    std::size_t k = 0;
    while (k < placed.size()) {
        const int face = placed[k].face;
        std::vector<fonts::ShapedGlyph> group;
        while (k < placed.size() && placed[k].face == face) {
            group.push_back(placed[k]);
            ++k;
        }
        PdfFont* font = fonts[std::size_t(face)];
        if (font != current) {
            lines.append(font->m_resourceName + ' ' + fontSize + " Tf");
            current = font;
        }
        lines += Show(font->RecordGlyphs(text, group, starts));
    }
    if (current != this) {
        lines.append(m_resourceName + ' ' + fontSize + " Tf");
    }
    return lines;
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
    // Glyphs that carry no text of their own (only ever a cluster's second glyph) are left out;
    // /ActualText gives their text. A section holds at most 100 entries.
    std::vector<std::size_t> mapped;
    for (std::size_t i = 0; i < m_glyphs.size(); ++i) {
        if (!m_chars[i].isEmpty()) {
            mapped.push_back(i);
        }
    }
    for (std::size_t from = 0; from < mapped.size(); from += 100) {
        const std::size_t to = std::min(mapped.size(), from + 100);
        line(QByteArray::number(qsizetype(to - from)) + " beginbfchar");
        for (std::size_t j = from; j < to; ++j) {
            const std::size_t i = mapped[j];
            QByteArray target;
            for (const QChar unit : m_chars[i]) {
                target += Hex4(unit.unicode());
            }
            line("<" + Hex4(m_glyphs[i]) + "> <" + target + ">");
        }
        line("endbfchar");
    }
    line("endcmap");
    line("CMapName currentdict /CMap defineresource pop");
    line("end");
    line("end");
    return text;
}

// A stream object: deflated when `compressed`, encrypted with the object's key when an
// encryptor is given; /Length is that of the bytes written. A font file also gives the length
// of its plain data (/Length1) and ends its data with a line end.
int WriteStream(PdfObjectWriter& writer, const QByteArray& data, bool compressed,
                const PdfEncryptor* encryptor, bool fontFile, const QByteArray& extra = {}) {
    QByteArray body = compressed ? Deflate(data) : data;
    const int number = writer.beginObject();
    if (encryptor != nullptr) {
        body = encryptor->Encrypt(number, body);
    }
    const QByteArray length = QByteArray::number(body.size());
    const QByteArray plainLength =
        fontFile ? " /Length1 " + QByteArray::number(data.size()) : QByteArray();
    if (compressed) {
        writer.line("<< /Length " + length + "  /Filter /FlateDecode" + plainLength + extra +
                    " >>");
    } else {
        writer.line("<< /Length " + length + plainLength + extra + " >>");
    }
    writer.line("stream");
    writer.raw(body);
    if (fontFile || writer.lineBeforeEveryEndstream()) {
        writer.line("");
    }
    writer.line("endstream");
    writer.endObject();
    return number;
}

// The six capital letters that name a subset: the same glyphs of the same font give the same
// tag, different ones (almost always) another.
QByteArray SubsetTag(const std::vector<std::uint32_t>& glyphs, const QByteArray& name) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](std::uint32_t value) {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    for (const char c : name) {
        mix(static_cast<unsigned char>(c));
    }
    for (const std::uint32_t glyph : glyphs) {
        mix(glyph);
    }
    QByteArray tag(6, 'A');
    for (char& c : tag) {
        c = char('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

QByteArray Ref(int number) {
    return QByteArray::number(number) + " 0 R";
}

void PdfFont::Write(PdfObjectWriter& writer, bool embedded, bool compressed,
                    const PdfEncryptor* encryptor) {
    // 1. The font file, cut down to the glyphs used (read now, dropped when written). The
    // CIDs stay the glyph indices of the whole face, which the content and the widths use; a
    // CID-to-glyph map leads them to the subset's packed indices. When the face cannot be
    // subset, the face itself is embedded (taken out of its collection, since a reader of the
    // embedded file would take the collection's first face).
    int fileObject = 0;
    const bool cff = m_face && !m_face->HasTrueTypeOutlines();
    // A font the reader substitutes goes by the family asked for; an embedded one by the face
    // it holds (Liberation Sans standing in for Arial is "LiberationSans"), with the style the
    // export draws over it.
    QByteArray faceName = m_name;
    QByteArray name = m_name;
    QByteArray glyphMap;
    if (embedded && m_face) {
        if (const QByteArray own = m_face->PostScriptName(); !own.isEmpty()) {
            const bool styled = !m_styleInsensitive;
            faceName = PdfFontName(QString::fromLatin1(own), styled && m_syntheticBold,
                                   styled && m_syntheticItalic);
        }
        std::vector<std::uint32_t> newIndex;
        QByteArray data = g_subsetting ? m_face->SubsetData(m_glyphs, newIndex) : QByteArray();
        name = faceName;
        if (!data.isEmpty()) {
            name = SubsetTag(m_glyphs, faceName) + '+' + faceName;
            glyphMap.reserve(qsizetype(newIndex.size() * 2));
            for (const std::uint32_t glyph : newIndex) {
                glyphMap += char((glyph >> 8) & 0xFF);
                glyphMap += char(glyph & 0xFF);
            }
        } else {
            data = m_face->FaceData();
        }
        if (cff) {
            glyphMap.clear(); // a CFF subset keeps its glyph indices
        }
        if (!data.isEmpty()) {
            fileObject = WriteStream(writer, data, compressed, encryptor, true,
                                     cff ? QByteArray(" /Subtype /OpenType") : QByteArray());
        } else {
            name = m_name;
            glyphMap.clear();
        }
    }
    int glyphMapObject = 0;
    if (!glyphMap.isEmpty()) {
        glyphMapObject = WriteStream(writer, glyphMap, compressed, encryptor, false);
    }

    // 2. The descriptor.
    const fonts::FontMetrics& m = m_metrics;
    const auto n = [](int value) { return QByteArray::number(value); };
    const double stem = double(m.weightClass) / 65.0;
    const int stemV = static_cast<int>(std::nearbyint(stem * stem)) + 50;
    const int descriptor = writer.beginObject();
    writer.line("<<");
    writer.line("/Type /FontDescriptor");
    writer.line("/FontName /" + name);
    writer.line("/FontFamily " +
                LiteralString(fileObject != 0 ? faceName : m_name, encryptor, descriptor));
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
        writer.line((cff ? "/FontFile3 " : "/FontFile2 ") + Ref(fileObject));
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
    writer.line(cff ? "/Subtype /CIDFontType0" : "/Subtype /CIDFontType2");
    writer.line("/BaseFont /" + name);
    writer.line("/CIDSystemInfo " + Ref(systemInfo));
    writer.line("/FontDescriptor " + Ref(descriptor));
    if (glyphMapObject != 0) {
        writer.line("/CIDToGIDMap " + Ref(glyphMapObject));
    } else if (!cff) {
        writer.line("/CIDToGIDMap /Identity");
    }
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
    writer.line("/BaseFont /" + name);
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
    Impl* impl = m_impl.get();
    fonts.back()->fallbackFont = [impl](const fonts::FontLocation& location) -> PdfFont* {
        for (const auto& font : impl->fonts) {
            if (font->IsFallbackFor(location)) {
                return font.get();
            }
        }
        impl->fonts.push_back(std::make_unique<PdfFont>(location, int(impl->fonts.size())));
        return impl->fonts.back().get();
    };
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
