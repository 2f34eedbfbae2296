#include "embedded_true_type.h"

#include "pdfwriter/pdf_format.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_resolver.h"
#include "platform/text/codepages.h"

#include <zlib.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

namespace zr::textreport {

namespace {

QByteArray deflate(const QByteArray& data) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw std::runtime_error("cannot compress a font file");
    }
    out.truncate(qsizetype(size));
    return out;
}

void putInt(std::string& out, long long v) {
    out += std::to_string(v);
}

// Six capital letters that stay the same for the same face name (FNV-1a of the name).
QByteArray SubsetTag(const QByteArray& name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    }
    QByteArray tag(6, 'A');
    for (char& c : tag) {
        c = char('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

} // namespace

EmbeddedTrueTypeFace EmbeddedTrueTypeFace::Load(int index) {
    const int family = index < 4 ? 0 : index < 8 ? 1 : index < 12 ? 2 : 0;
    const int style = index < 12 ? index % 4 : 0;
    const bool bold = style == 1 || style == 3;
    const bool italic = style >= 2;
    static const char* const kFamilies[] = {"Liberation Sans", "Liberation Mono",
                                            "Liberation Serif"};
    const QString name = QString::fromLatin1(kFamilies[family]);
    const std::optional<fonts::FontLocation> location = fonts::ResolveFont(name, bold, italic);
    std::unique_ptr<fonts::FontFace> face;
    if (location) {
        face = fonts::FontFace::Open(*location);
    }
    if (!face || !face->HasTrueTypeOutlines()) {
        throw std::runtime_error("no TrueType face for " + name.toStdString());
    }
    EmbeddedTrueTypeFace f;
    f.m_family = location->family.toUtf8();
    QByteArray base = f.m_family;
    base.replace(' ', QByteArray());
    static const char* const kStyles[] = {"", "-Bold", "-Italic", "-BoldItalic"};
    f.m_baseName = base + kStyles[style];

    std::vector<char32_t> characters;
    const QString spaceText(QLatin1Char(' '));
    const std::vector<fonts::ShapedGlyph> spaceShape = face->ShapeLine(spaceText, false);
    const int spaceWidth = spaceShape.empty() ? 0 : spaceShape.front().advance;
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const QString text = codepages::fromCp1252(QByteArray(&byte, 1));
        const char32_t ch = text.isEmpty() ? 0 : text.at(0).unicode();
        const bool defined = b >= 32 && ch != 0 && ch != 0xFFFD && !(ch >= 0x80 && ch < 0xA0);
        const std::uint32_t glyph = defined ? face->GlyphForChar(ch) : 0;
        f.m_draws[std::size_t(b)] = glyph != 0 || b == ' ';
        if (glyph != 0) {
            characters.push_back(ch);
        }
        f.m_widths[std::size_t(b)] = spaceWidth;
        if (glyph != 0) {
            const std::vector<fonts::ShapedGlyph> shape = face->ShapeLine(text, false);
            if (shape.size() == 1 && shape.front().glyph == glyph) {
                f.m_widths[std::size_t(b)] = shape.front().advance;
            }
        }
    }
    // Only what code page 1252 can name is ever drawn: the file holds those glyphs alone, under
    // a subset name (six capitals and "+").
    QByteArray data = face->SubsetForCharacters(characters);
    if (!data.isEmpty()) {
        f.m_baseName = SubsetTag(f.m_baseName) + '+' + f.m_baseName;
    } else {
        data = face->FaceData();
    }
    if (data.isEmpty()) {
        throw std::runtime_error("cannot read " + location->file.toStdString());
    }
    f.m_fileLength = data.size();
    f.m_file = deflate(data);

    const fonts::FontMetrics& m = face->Metrics();
    f.m_flags = 32 | (family == 1 ? 1 : 0) | (family == 2 ? 2 : 0) | (italic ? 64 : 0);
    f.m_boxLeft = m.boxLeft;
    f.m_boxBottom = m.boxBottom;
    f.m_boxRight = m.boxRight;
    f.m_boxTop = m.boxTop;
    f.m_italicAngle = m.italicAngle;
    f.m_ascent = m.ascent;
    f.m_descent = m.descent;
    f.m_capHeight = m.capHeight;
    const double stem = double(m.weightClass) / 65.0;
    f.m_stemV = static_cast<int>(std::nearbyint(stem * stem)) + 50;
    return f;
}

const EmbeddedTrueTypeFace& EmbeddedTrueTypeFace::ForStandardFont(int index) {
    static std::mutex mutex;
    static std::array<std::unique_ptr<EmbeddedTrueTypeFace>, 14> faces;
    if (index < 0 || index >= int(faces.size())) {
        throw std::out_of_range("no standard font of that number");
    }
    std::lock_guard lock(mutex);
    auto& slot = faces[std::size_t(index)];
    if (!slot) {
        slot.reset(new EmbeddedTrueTypeFace(Load(index)));
    }
    return *slot;
}

std::string EmbeddedTrueTypeFace::FontDictionary(int resource, int descriptor) const {
    std::string o;
    o.reserve(2048);
    o += "<< /Type /Font\r\n/Subtype /TrueType\r\n/Name /F";
    putInt(o, resource);
    o += "\r\n/BaseFont /";
    o += m_baseName.toStdString();
    o += "\r\n/FirstChar 32\r\n/LastChar 255\r\n/Widths [";
    for (int b = 32; b < 256; ++b) {
        o += (b - 32) % 16 == 0 ? "\r\n" : " ";
        putInt(o, m_widths[std::size_t(b)]);
    }
    o += "]\r\n/Encoding /WinAnsiEncoding\r\n/FontDescriptor ";
    putInt(o, descriptor);
    o += " 0 R\r\n>>\r\n";
    return o;
}

std::string EmbeddedTrueTypeFace::Descriptor(int fontFile, const pdf::PdfEncryptor* encryptor,
                                             int objectNumber) const {
    std::string o;
    o.reserve(512);
    o += "<< /Type /FontDescriptor\r\n/FontName /";
    o += m_baseName.toStdString();
    o += "\r\n/FontFamily ";
    o += pdf::LiteralString(m_family, encryptor, objectNumber).toStdString();
    o += "\r\n/Flags ";
    putInt(o, m_flags);
    o += "\r\n/FontBBox [";
    for (const int v : {m_boxLeft, m_boxBottom, m_boxRight, m_boxTop}) {
        o += ' ';
        putInt(o, v);
    }
    o += "]\r\n/ItalicAngle ";
    putInt(o, m_italicAngle);
    o += "\r\n/Ascent ";
    putInt(o, m_ascent);
    o += "\r\n/Descent ";
    putInt(o, m_descent);
    o += "\r\n/CapHeight ";
    putInt(o, m_capHeight);
    o += "\r\n/StemV ";
    putInt(o, m_stemV);
    o += "\r\n/FontFile2 ";
    putInt(o, fontFile);
    o += " 0 R\r\n>>\r\n";
    return o;
}

} // namespace zr::textreport
