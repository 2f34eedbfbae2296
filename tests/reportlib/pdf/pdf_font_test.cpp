// The fonts of the prepared-report PDF export, on the machine's real fonts: naming, the font
// list, shaping against the embedded file, the written objects, and a small document read back
// by qpdf and poppler's tools.

#include "reportlib/pdf/writer/qdx_pdf_font.h"
#include "reportlib/pdf/writer/qdx_pdf_font_p.h"

#include "platform/fonts/font_face.h"
#include "platform/fonts/font_resolver.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

namespace zr::reportlib::pdf {
namespace {

// What a PDF written by a test holds, object by object.
struct WrittenPdf {
    QByteArray bytes;
    std::map<int, QByteArray> objects; // number -> text from after "N 0 obj" to "endobj"

    // The objects whose text contains `marker`.
    std::vector<int> Find(const QByteArray& marker) const {
        std::vector<int> found;
        for (const auto& [number, text] : objects) {
            if (text.contains(marker)) {
                found.push_back(number);
            }
        }
        return found;
    }
    // The raw data of a stream object (as long as its /Length says).
    QByteArray StreamData(int number) const {
        const QByteArray& text = objects.at(number);
        const QRegularExpression lengthRe(QStringLiteral("/Length (\\d+)"));
        const auto match = lengthRe.match(QString::fromLatin1(text));
        if (!match.hasMatch()) {
            return {};
        }
        const qsizetype start = text.indexOf("stream\r\n") + 8;
        return text.mid(start, match.captured(1).toLongLong());
    }
};

WrittenPdf ParsePdf(const QByteArray& bytes) {
    WrittenPdf pdf;
    pdf.bytes = bytes;
    const QRegularExpression header(QStringLiteral("(?:^|\\n)(\\d+) 0 obj\\r\\n"));
    const QString latin = QString::fromLatin1(bytes);
    auto it = header.globalMatch(latin);
    while (it.hasNext()) {
        const auto match = it.next();
        const qsizetype start = match.capturedEnd();
        const qsizetype end = bytes.indexOf("endobj\r\n", start);
        pdf.objects[match.captured(1).toInt()] = bytes.mid(start, end - start);
    }
    return pdf;
}

// Runs `body` on a writer over a temporary file and gives what it wrote.
WrittenPdf Write(const std::function<void(PdfObjectWriter&)>& body, QString* path = nullptr) {
    static QTemporaryDir dir;
    static int counter = 0;
    const QString file = dir.filePath(QStringLiteral("fonts%1.pdf").arg(++counter));
    PdfObjectWriter writer;
    EXPECT_TRUE(writer.open(file));
    body(writer);
    EXPECT_TRUE(writer.commit());
    QFile in(file);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    if (path != nullptr) {
        *path = file;
    }
    return ParsePdf(in.readAll());
}

// Fonts alone, written as the end of a document writes them.
WrittenPdf WriteFonts(TqdxPDFFontList& fonts, bool embedded, bool compressed,
                      const PdfEncryptor* encryptor = nullptr) {
    return Write([&](PdfObjectWriter& writer) {
        fonts.ReserveObjects(writer);
        fonts.WriteObjects(writer, embedded, compressed, encryptor);
    });
}

PdfFontKey Key(const QString& family, bool bold = false, bool italic = false) {
    PdfFontKey key;
    key.family = family;
    key.bold = bold;
    key.italic = italic;
    return key;
}

std::vector<std::uint32_t> HexGlyphs(const QByteArray& hex) {
    std::vector<std::uint32_t> glyphs;
    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4) {
        glyphs.push_back(hex.mid(i, 4).toUInt(nullptr, 16));
    }
    return glyphs;
}

// The bfchar pairs of a ToUnicode map, in order.
std::vector<std::pair<QByteArray, QByteArray>> CMapPairs(const QByteArray& cmap) {
    std::vector<std::pair<QByteArray, QByteArray>> pairs;
    const QRegularExpression re(QStringLiteral("<([0-9A-F]{4})> <([0-9A-F]+)>\\r\\n"));
    const qsizetype begin = cmap.indexOf("beginbfchar");
    auto it = re.globalMatch(QString::fromLatin1(cmap.mid(begin)));
    while (it.hasNext()) {
        const auto m = it.next();
        pairs.emplace_back(m.captured(1).toLatin1(), m.captured(2).toLatin1());
    }
    return pairs;
}

QByteArray ToUnicodeOf(const WrittenPdf& pdf) {
    const auto maps = pdf.Find("/Length ");
    for (int number : maps) {
        const QByteArray data = pdf.StreamData(number);
        if (data.startsWith("/CIDInit")) {
            return data;
        }
    }
    return {};
}

QByteArray Inflate(const QByteArray& deflated) {
    QByteArray sized(4, '\0');
    const quint32 hint = quint32(deflated.size()) * 16 + 1024;
    for (int i = 0; i < 4; ++i) {
        sized[i] = char((hint >> (24 - 8 * i)) & 0xFF);
    }
    return qUncompress(sized + deflated);
}

bool HasFamily(const QString& family) {
    const auto location = fonts::ResolveFont(family, false, false);
    return location && location->family == family;
}

TEST(PdfFontName, EscapesDelimitersStylesAndHighBytes) {
    EXPECT_EQ(PdfFontName(QStringLiteral("Arial"), false, false), "Arial");
    EXPECT_EQ(PdfFontName(QStringLiteral("Arial"), true, false), "Arial,Bold");
    EXPECT_EQ(PdfFontName(QStringLiteral("Arial"), false, true), "Arial,Italic");
    EXPECT_EQ(PdfFontName(QStringLiteral("Arial"), true, true), "Arial,BoldItalic");
    EXPECT_EQ(PdfFontName(QStringLiteral("Times New Roman"), true, false),
              "Times#20New#20Roman,Bold");
    // One face for every style: no style suffix.
    EXPECT_EQ(PdfFontName(QStringLiteral("MS UI Gothic"), true, true), "MS#20UI#20Gothic");
    EXPECT_EQ(PdfFontName(QStringLiteral("Two  Spaces"), false, false), "Two#20#20Spaces");
    EXPECT_EQ(PdfFontName(QString::fromUtf8("Caf\u00e9"), false, false), "Caf#E9");
    EXPECT_EQ(PdfFontName(QStringLiteral("a(b)c%d<e>f[g]h{i}j/k"), false, false),
              "a#28b#29c#25d#3Ce#3Ef#5Bg#5Dh#7Bi#7Dj#2Fk");
    // A "#" or a control byte of the family would otherwise break the name.
    EXPECT_EQ(PdfFontName(QStringLiteral("No#1\tX"), false, false), "No#231#09X");
}

TEST(PdfFontList, OneFontPerFamilyAndStyleSet) {
    TqdxPDFFontList fonts;
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("Arial"))), 0);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("Arial"), true)), 1);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("Arial"))), 0);
    PdfFontKey underlined = Key(QStringLiteral("Arial"));
    underlined.underline = true;
    // Underline and strike-out are lines of the content: one font per face and style.
    EXPECT_EQ(fonts.FindFont(underlined), 0);
    PdfFontKey struck = Key(QStringLiteral("Arial"), true);
    struck.strikeOut = true;
    EXPECT_EQ(fonts.FindFont(struck), 1);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("Arial"), false, true)), 2);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("Arial"), true, true)), 3);
    // The name is compared exactly.
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("arial"))), 4);
    // Style-insensitive: regular and bold italic share a font, whose styles are simulated.
    const int gothic = fonts.FindFont(Key(QStringLiteral("MS UI Gothic"), true));
    EXPECT_EQ(gothic, 5);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("MS UI Gothic"))), gothic);
    EXPECT_EQ(fonts.FindFont(Key(QStringLiteral("MS UI Gothic"), true, true)), gothic);
    EXPECT_TRUE(fonts.Font(gothic).SyntheticBold());
    EXPECT_TRUE(fonts.Font(gothic).SyntheticItalic());
    ASSERT_EQ(fonts.Count(), 6);
    EXPECT_EQ(fonts.Font(0).ResourceName(), "/F0");
    EXPECT_EQ(fonts.Font(5).ResourceName(), "/F5");
    EXPECT_THROW(fonts.Font(6), std::out_of_range);
    EXPECT_THROW(fonts.Font(-1), std::out_of_range);

    if (HasFamily(QStringLiteral("Liberation Sans"))) {
        // Arial's stand-in has a real bold face.
        EXPECT_FALSE(fonts.Font(1).SyntheticBold());
        EXPECT_FALSE(fonts.Font(0).SyntheticItalic());
    }

    const WrittenPdf pdf = WriteFonts(fonts, false, false);
    const auto type0 = pdf.Find("/Subtype /Type0");
    ASSERT_EQ(type0.size(), 6u);
    EXPECT_TRUE(pdf.objects.at(type0[0]).contains("/BaseFont /Arial\r\n"));
    EXPECT_TRUE(pdf.objects.at(type0[1]).contains("/BaseFont /Arial,Bold\r\n"));
    EXPECT_TRUE(pdf.objects.at(type0[2]).contains("/BaseFont /Arial,Italic\r\n"));
    EXPECT_TRUE(pdf.objects.at(type0[3]).contains("/BaseFont /Arial,BoldItalic\r\n"));
    EXPECT_TRUE(pdf.objects.at(type0[5]).contains("/BaseFont /MS#20UI#20Gothic\r\n"));
    // The Type 0 fonts sit under the numbers reserved first.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(type0[std::size_t(i)], i + 1);
        EXPECT_EQ(fonts.Font(i).ObjectNumber(), i + 1);
    }
    fonts.Clear();
    EXPECT_EQ(fonts.Count(), 0);
}

TEST(PdfFontShaping, GlyphsAreThoseOfTheEmbeddedFile) {
    TqdxPDFFontList fonts;
    TqdxPDFFont& font = fonts.Font(fonts.FindFont(Key(QStringLiteral("Arial"))));
    const QByteArray hex = font.ShapeLine(QStringLiteral("Teste"), false);
    ASSERT_EQ(hex.size(), 20);
    EXPECT_EQ(hex, hex.toUpper());
    const auto glyphs = HexGlyphs(hex);
    const QByteArray second = font.ShapeLine(QStringLiteral("tese"), false);

    const WrittenPdf pdf = WriteFonts(fonts, true, false);
    const auto files = pdf.Find("/Length1");
    ASSERT_FALSE(files.empty());
    // The font file comes first: a subset of the face the glyphs were taken from, named with a
    // subset tag, whose CID-to-glyph map leads each glyph index of the content to its glyph.
    const QByteArray fontFile = pdf.StreamData(files.front());
    auto face = fonts::FontFace::FromData(fontFile, 0);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->HasTrueTypeOutlines());
    EXPECT_LT(fontFile.size(), 40000);
    const QByteArray& cidFont = pdf.objects.at(pdf.Find("/Subtype /CIDFontType2").front());
    const QRegularExpression mapRe(QStringLiteral("/CIDToGIDMap (\\d+) 0 R"));
    const auto mapRef = mapRe.match(QString::fromLatin1(cidFont));
    ASSERT_TRUE(mapRef.hasMatch()) << cidFont.constData();
    const QByteArray map = pdf.StreamData(mapRef.captured(1).toInt());
    // Named by the face it holds, not by the family asked for.
    const auto asked = fonts::ResolveFont(QStringLiteral("Arial"), false, false);
    ASSERT_TRUE(asked);
    const QByteArray own = fonts::FontFace::Open(*asked)->PostScriptName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("/BaseFont /[A-Z]{6}\\+%1\\r\\n")
                                       .arg(QRegularExpression::escape(QString::fromLatin1(own))))
                    .match(QString::fromLatin1(cidFont))
                    .hasMatch())
        << cidFont.constData();
    const auto mapped = [&map](std::uint32_t cid) {
        const qsizetype at = qsizetype(cid) * 2;
        return at + 1 < map.size()
                   ? (std::uint32_t(std::uint8_t(map[at])) << 8) | std::uint8_t(map[at + 1])
                   : 0u;
    };
    const char16_t text[] = u"Teste";
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(mapped(glyphs[i]), face->GlyphForChar(text[i])) << i;
        EXPECT_NE(glyphs[i], 0u);
    }
    EXPECT_EQ(glyphs[1], glyphs[4]);
    EXPECT_EQ(HexGlyphs(second)[0], glyphs[3]);

    // Widths and characters: T e s t once each, in order of first use, across both lines.
    const auto descendant = pdf.Find("/Subtype /CIDFontType2");
    ASSERT_EQ(descendant.size(), 1u);
    const QByteArray& cid = pdf.objects.at(descendant[0]);
    const QRegularExpression wRe(QStringLiteral("/W \\[ ((?:\\d+ \\[\\d+\\] )*)\\]\\r\\n"));
    const auto w = wRe.match(QString::fromLatin1(cid));
    ASSERT_TRUE(w.hasMatch()) << cid.constData();
    const QStringList entries = w.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_EQ(entries.size(), 8);
    const std::uint32_t order[] = {glyphs[0], glyphs[1], glyphs[2], glyphs[3]};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[2 * i].toUInt(), order[i]);
    }
    // Liberation Sans: T is 611 and e 556 per 1000 em.
    if (HasFamily(QStringLiteral("Liberation Sans"))) {
        EXPECT_EQ(entries[1], QStringLiteral("[611]"));
        EXPECT_EQ(entries[3], QStringLiteral("[556]"));
    }
    const auto pairs = CMapPairs(ToUnicodeOf(pdf));
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0].second, "0054");
    EXPECT_EQ(pairs[1].second, "0065");
    EXPECT_EQ(pairs[2].second, "0073");
    EXPECT_EQ(pairs[3].second, "0074");
    EXPECT_EQ(pairs[0].first, hex.left(4));
}

TEST(PdfFontShaping, MergedGlyphsAndRightToLeft) {
    if (!HasFamily(QStringLiteral("DejaVu Sans"))) {
        GTEST_SKIP() << "DejaVu Sans (Hebrew and Arabic) is not installed";
    }
    TqdxPDFFontList fonts;
    TqdxPDFFont& font = fonts.Font(fonts.FindFont(Key(QStringLiteral("DejaVu Sans"))));
    // Hebrew alef bet gimel: three glyphs, right to left, so the first glyph is gimel.
    const QString hebrew = QString::fromUtf8("\u05d0\u05d1\u05d2");
    const auto hebrewGlyphs = HexGlyphs(font.ShapeLine(hebrew, true));
    ASSERT_EQ(hebrewGlyphs.size(), 3u);
    // Arabic lam alef: one ligature glyph for two characters.
    const auto ligature = HexGlyphs(font.ShapeLine(QString::fromUtf8("\u0644\u0627"), true));
    ASSERT_EQ(ligature.size(), 1u);
    // A line shaped again adds nothing.
    font.ShapeLine(hebrew, true);
    // Left-to-right text in a right-to-left line keeps its own order on the page.
    const auto mixed = HexGlyphs(font.ShapeLine(QString::fromUtf8("ab \u05d3"), true));
    ASSERT_EQ(mixed.size(), 4u);

    const WrittenPdf pdf = WriteFonts(fonts, false, true); // the character map its one stream
    const auto pairs = CMapPairs(Inflate(pdf.StreamData(pdf.Find("/Length ").front())));
    ASSERT_EQ(pairs.size(), 8u);
    EXPECT_EQ(pairs[0].second, "05D2");
    EXPECT_EQ(pairs[1].second, "05D1");
    EXPECT_EQ(pairs[2].second, "05D0");
    EXPECT_EQ(pairs[3].first, QByteArray::number(ligature[0], 16).toUpper().rightJustified(4, '0'));
    EXPECT_EQ(pairs[3].second, "06440627"); // the ligature stands for both letters
    EXPECT_EQ(pairs[4].second, "05D3");
    EXPECT_EQ(pairs[5].second, "0020");
    EXPECT_EQ(pairs[6].second, "0061");
    EXPECT_EQ(pairs[7].second, "0062");
}

// Stands in for the security handler: scrambles the bytes and adds sixteen, as a block cipher's
// initialisation vector would, so that a /Length of the plain data would show.
class GrowingEncryptor final : public PdfEncryptor {
public:
    QByteArray Encrypt(int objectNumber, QByteArrayView data) const override {
        QByteArray out = data.toByteArray();
        for (char& c : out) {
            c = char(c ^ 0x5A);
        }
        return out + QByteArray(16, char(objectNumber));
    }
};

TEST(PdfFontObjects, EmbeddingCompressionAndEncryption) {
    // Each document has its own font list (object numbers are those of one file).
    const auto writeOla = [](bool embed, bool compress, const PdfEncryptor* encryptor) {
        TqdxPDFFontList fonts;
        fonts.Font(fonts.FindFont(Key(QStringLiteral("Arial"))))
            .ShapeLine(QStringLiteral("Ola"), false);
        return WriteFonts(fonts, embed, compress, encryptor);
    };

    // Not embedded: five objects, no font file, no /FontFile2.
    const WrittenPdf plain = writeOla(false, false, nullptr);
    EXPECT_EQ(plain.objects.size(), 5u);
    EXPECT_FALSE(plain.bytes.contains("/FontFile2"));
    EXPECT_TRUE(plain.Find("/Length1").empty()); // a plain length is a font file's alone
    const QByteArray cmap = ToUnicodeOf(plain);
    EXPECT_TRUE(cmap.endsWith("end\r\nend\r\n"));
    EXPECT_TRUE(plain.bytes.contains("end\r\nend\r\nendstream\r\n")); // no empty line
    const auto info = plain.Find(" /Ordering ");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(plain.objects.at(info[0]),
              "<<\r\n/Registry (Adobe) /Ordering (Identity) /Supplement 0\r\n>>\r\n");

    // Embedded and deflated: the font file first, its lengths those of the deflated and plain
    // bytes, an empty line after the data; the descriptor points at it.
    const WrittenPdf embedded = writeOla(true, true, nullptr);
    EXPECT_EQ(embedded.objects.size(), 7u);          // the subset's CID-to-glyph map too
    const QByteArray& file = embedded.objects.at(2); // 1 is the reserved Type 0 font
    const QRegularExpression dictRe(
        QStringLiteral("^<< /Length (\\d+)  /Filter /FlateDecode /Length1 (\\d+) >>\\r\\n"));
    const auto dict = dictRe.match(QString::fromLatin1(file.left(100)));
    ASSERT_TRUE(dict.hasMatch()) << file.left(100).constData();
    const QByteArray fontData = Inflate(embedded.StreamData(2));
    EXPECT_EQ(fontData.size(), dict.captured(2).toLongLong());
    // The data, then a line end of its own before "endstream".
    EXPECT_EQ(file.indexOf("stream\r\n") + 8 + dict.captured(1).toLongLong() + 13, file.size());
    EXPECT_TRUE(file.endsWith("\r\nendstream\r\n"));
    EXPECT_TRUE(embedded.objects.at(4).contains("/FontFile2 2 0 R\r\n"));
    EXPECT_TRUE(embedded.objects.at(4).contains("/Flags 32\r\n/FontBBox ["));
    EXPECT_TRUE(
        embedded.objects.at(1).contains("/DescendantFonts [7 0 R]\r\n/ToUnicode 5 0 R\r\n"));
    EXPECT_TRUE(embedded.objects.at(7).contains("/CIDToGIDMap 3 0 R\r\n"));

    // Encrypted: /Length is that of the encrypted bytes, and the strings are encrypted too.
    const GrowingEncryptor encryptor;
    const WrittenPdf secret = writeOla(true, false, &encryptor);
    const auto fileDict = dictRe.match(QString::fromLatin1(secret.objects.at(2).left(100)));
    const QRegularExpression plainRe(QStringLiteral("^<< /Length (\\d+) /Length1 (\\d+) >>\\r\\n"));
    const auto plainDict = plainRe.match(QString::fromLatin1(secret.objects.at(2).left(100)));
    ASSERT_FALSE(fileDict.hasMatch());
    ASSERT_TRUE(plainDict.hasMatch());
    EXPECT_EQ(plainDict.captured(1).toLongLong(), plainDict.captured(2).toLongLong() + 16);
    EXPECT_EQ(plainDict.captured(2).toLongLong(), fontData.size());
    EXPECT_FALSE(secret.objects.at(6).contains("(Adobe)"));
}

TEST(PdfFontFaces, MissingFamiliesAndCffFaces) {
    TqdxPDFFontList fonts;
    // A family the machine lacks shapes and embeds what fontconfig offers instead, under the
    // report's own name; a face with CFF outlines is embedded as itself (a CFF-based CID font
    // over its OpenType file), its glyph indices kept.
    const QString missing = QStringLiteral("Zz No Such Family");
    const QString cff = QStringLiteral("Nimbus Sans");
    fonts.Font(fonts.FindFont(Key(missing))).ShapeLine(QStringLiteral("abc"), false);
    const bool haveCff = HasFamily(cff);
    std::vector<std::uint32_t> cffGlyphs;
    if (haveCff) {
        const auto location = fonts::ResolveFont(cff, true, false);
        auto face = fonts::FontFace::Open(*location);
        ASSERT_TRUE(face);
        EXPECT_TRUE(face->HasCffOutlines()) << location->file.toStdString();
        cffGlyphs = HexGlyphs(
            fonts.Font(fonts.FindFont(Key(cff, true))).ShapeLine(QStringLiteral("abc"), false));
        ASSERT_EQ(cffGlyphs.size(), 3u);
        EXPECT_EQ(cffGlyphs[0], face->GlyphForChar(U'a'));
    }
    const WrittenPdf pdf = WriteFonts(fonts, true, false);
    // A family that is not installed: named by the face that stands in for it.
    EXPECT_FALSE(pdf.bytes.contains("+Zz#20No#20Such#20Family\r\n"));
    EXPECT_EQ(pdf.Find("/FontFile2").size(), 1u);
    for (const int number : pdf.Find("/Length1")) {
        const QByteArray data = pdf.StreamData(number);
        const bool openType = pdf.objects.at(number).contains("/Subtype /OpenType");
        if (data.startsWith("/CIDInit") ||
            !(data.startsWith(QByteArray("\0\1\0\0", 4)) || data.startsWith("OTTO"))) {
            continue; // the character map and the CID-to-glyph map
        }
        auto face = fonts::FontFace::FromData(data, 0);
        ASSERT_TRUE(face);
        EXPECT_EQ(face->HasCffOutlines(), openType);
        EXPECT_NE(face->GlyphForChar(U'a'), 0u);
        if (openType) {
            EXPECT_EQ(face->GlyphForChar(U'a'), cffGlyphs.at(0));
            EXPECT_LT(data.size(), 20000);
        }
    }
    if (haveCff) {
        EXPECT_EQ(pdf.Find("/FontFile3").size(), 1u);
        EXPECT_EQ(pdf.Find("/Subtype /CIDFontType0").size(), 1u);
        EXPECT_TRUE(pdf.bytes.contains("+NimbusSans-Bold\r\n"));
    }
}

TEST(PdfFontShaping, EmptyAndOddLines) {
    TqdxPDFFontList fonts;
    TqdxPDFFont& font = fonts.Font(fonts.FindFont(Key(QStringLiteral("Arial"))));
    EXPECT_TRUE(font.ShapeLine(QString(), false).isEmpty());
    EXPECT_TRUE(font.ShapeLine(QString(), true).isEmpty());
    // Invisible characters leave no glyph, so the space keeps its own width.
    EXPECT_TRUE(font.ShapeLine(QString::fromUtf8("\u200b\u200f\u2060"), false).isEmpty());
    const auto space = HexGlyphs(font.ShapeLine(QString::fromUtf8("\u200d \u200e"), false));
    ASSERT_EQ(space.size(), 1u);
    // A lone surrogate, a character outside the BMP, controls and a long line.
    QString odd = QStringLiteral("x");
    odd += QChar(0xD800);
    odd += QString::fromUcs4(U"\U0001D11E\u0000\t\u202E\u200F");
    EXPECT_FALSE(font.ShapeLine(odd, false).isEmpty());
    EXPECT_FALSE(font.ShapeLine(odd, true).isEmpty());
    EXPECT_EQ(font.ShapeLine(QString(5000, QLatin1Char('w')), true).size(), 20000);
    const WrittenPdf pdf = WriteFonts(fonts, false, false);
    const QByteArray& widths = pdf.objects.at(pdf.Find("/W [").front());
    EXPECT_TRUE(widths.contains("/W [ " + QByteArray::number(space[0]) + " ["));
    EXPECT_FALSE(widths.contains("/W [ " + QByteArray::number(space[0]) + " [0] "));
    for (const auto& [glyph, ch] : CMapPairs(ToUnicodeOf(pdf))) {
        const uint code = ch.toUInt(nullptr, 16);
        EXPECT_FALSE(QChar::isSurrogate(char16_t(code))) << ch.constData();
    }
}

// Runs a tool and gives its standard output and error together; empty when it is missing.
QString RunTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        *exitCode = -1;
        return {};
    }
    *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

// A one-page document whose text uses an embedded Arial and a right-to-left line, checked by
// qpdf and poppler's tools.
TEST(PdfFontReaders, SmallDocumentReadsBack) {
    for (const char* tool : {"qpdf", "pdffonts", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    const bool hebrew = HasFamily(QStringLiteral("DejaVu Sans"));
    for (const bool compressed : {false, true}) {
        QString path;
        Write(
            [&](PdfObjectWriter& writer) {
                TqdxPDFFontList fonts;
                writer.line("%PDF-1.4");
                const int pages = writer.reserve();
                TqdxPDFFont& arial = fonts.Font(fonts.FindFont(Key(QStringLiteral("Arial"))));
                TqdxPDFFont& bold = fonts.Font(fonts.FindFont(Key(QStringLiteral("Arial"), true)));
                QByteArray content =
                    "BT\r\n/F0 20 Tf\r\n72 700 Td\r\n<" +
                    arial.ShapeLine(QString::fromUtf8("Exporta\u00e7\u00e3o de teste"), false) +
                    "> Tj\r\nET\r\nBT\r\n/F1 20 Tf\r\n72 660 Td\r\n<" +
                    bold.ShapeLine(QStringLiteral("Negrito"), false) + "> Tj\r\nET\r\n";
                if (hebrew) {
                    TqdxPDFFont& dejavu =
                        fonts.Font(fonts.FindFont(Key(QStringLiteral("DejaVu Sans"))));
                    content +=
                        "BT\r\n/F2 20 Tf\r\n72 620 Td\r\n<" +
                        dejavu.ShapeLine(QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd"), true) +
                        "> Tj\r\nET\r\n";
                }
                const int contents = writer.beginObject();
                writer.line("<< /Length " + QByteArray::number(content.size()) + " >>");
                writer.line("stream");
                writer.raw(content);
                writer.line("endstream");
                writer.endObject();
                fonts.ReserveObjects(writer);
                const int page = writer.beginObject();
                QByteArray resources = "/Font << ";
                for (int i = 0; i < fonts.Count(); ++i) {
                    resources += fonts.Font(i).ResourceName() + " " +
                                 QByteArray::number(fonts.Font(i).ObjectNumber()) + " 0 R ";
                }
                writer.line("<< /Type /Page /Parent " + QByteArray::number(pages) +
                            " 0 R /MediaBox [0 0 612 792] /Resources << " + resources +
                            ">> >> /Contents " + QByteArray::number(contents) + " 0 R >>");
                writer.endObject();
                fonts.WriteObjects(writer, true, compressed, nullptr);
                writer.beginReserved(pages);
                writer.line("<< /Type /Pages /Kids [" + QByteArray::number(page) +
                            " 0 R] /Count 1 >>");
                writer.endObject();
                const int catalog = writer.beginObject();
                writer.line("<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>");
                writer.endObject();
                writer.beginTrailer();
                writer.line("/Root " + QByteArray::number(catalog) + " 0 R");
                writer.finishTrailer();
            },
            &path);

        int code = 0;
        const QString check =
            RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}, &code);
        EXPECT_EQ(code, 0) << check.toStdString();
        EXPECT_FALSE(check.contains(QStringLiteral("WARNING"))) << check.toStdString();

        const QString list = RunTool(QStringLiteral("pdffonts"), {path}, &code);
        EXPECT_EQ(code, 0) << list.toStdString();
        const QStringList rows = list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
        ASSERT_EQ(rows.size(), hebrew ? 3 : 2) << list.toStdString();
        const QRegularExpression rowRe(
            QStringLiteral("^[A-Z]{6}\\+.*CID TrueType\\s+Identity-H\\s+yes\\s+yes\\s+yes"));
        for (const QString& row : rows) {
            EXPECT_TRUE(rowRe.match(row).hasMatch()) << row.toStdString();
        }
        // Each named by the face embedded for Arial in its style.
        const auto faceName = [](bool bold) {
            const auto location = fonts::ResolveFont(QStringLiteral("Arial"), bold, false);
            return location
                       ? QString::fromLatin1(fonts::FontFace::Open(*location)->PostScriptName())
                       : QString();
        };
        EXPECT_TRUE(rows[0].mid(7).startsWith(faceName(false) + QLatin1Char(' ')))
            << list.toStdString();
        EXPECT_TRUE(rows[1].mid(7).startsWith(faceName(true) + QLatin1Char(' ')))
            << list.toStdString();

        const QString text =
            RunTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}, &code);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(text.contains(QString::fromUtf8("Exporta\u00e7\u00e3o de teste")))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Negrito"))) << text.toStdString();
        if (hebrew) {
            EXPECT_TRUE(text.contains(QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd")))
                << text.toStdString();
        }
    }
}

// A font collection of whole font files, their table offsets moved to where they now lie.
QByteArray BuildCollection(const std::vector<QByteArray>& files) {
    const auto put32 = [](QByteArray& data, qsizetype at, quint32 value) {
        for (int i = 0; i < 4; ++i) {
            data[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
        }
    };
    const auto get32 = [](const QByteArray& data, qsizetype at) {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | quint8(data[at + i]);
        }
        return value;
    };
    QByteArray out("ttcf\0\1\0\0", 8);
    out += QByteArray(4 + 4 * qsizetype(files.size()), '\0');
    put32(out, 8, quint32(files.size()));
    for (std::size_t f = 0; f < files.size(); ++f) {
        const auto base = quint32(out.size());
        put32(out, 12 + 4 * qsizetype(f), base);
        QByteArray file = files[f];
        const int tables = (quint8(file[4]) << 8) | quint8(file[5]);
        for (int t = 0; t < tables; ++t) {
            const qsizetype record = 12 + 16 * qsizetype(t) + 8;
            put32(file, record, get32(file, record) + base);
        }
        out += file;
        while (out.size() % 4 != 0) {
            out += '\0';
        }
    }
    return out;
}

TEST(FontFaceCollections, AFaceOfACollectionIsEmbeddedAlone) {
    const auto regular = fonts::ResolveFont(QStringLiteral("Liberation Sans"), false, false);
    const auto bold = fonts::ResolveFont(QStringLiteral("Liberation Sans"), true, false);
    if (!regular || !bold || regular->family != QStringLiteral("Liberation Sans") || !bold->bold) {
        GTEST_SKIP() << "Liberation Sans regular and bold are not installed";
    }
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray regularData = read(regular->file);
    const QByteArray boldData = read(bold->file);
    const QByteArray collection = BuildCollection({regularData, boldData});

    auto second = fonts::FontFace::FromData(collection, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->FileData(), collection);
    const QByteArray alone = second->FaceData();
    EXPECT_FALSE(alone.startsWith("ttcf"));
    auto standalone = fonts::FontFace::FromData(alone, 0);
    auto reference = fonts::FontFace::FromData(boldData, 0);
    ASSERT_TRUE(standalone);
    ASSERT_TRUE(reference);
    EXPECT_TRUE(standalone->HasTrueTypeOutlines());
    EXPECT_EQ(standalone->Metrics().weightClass, 700);
    EXPECT_EQ(standalone->Metrics().boxRight, reference->Metrics().boxRight);
    const auto glyphs = standalone->ShapeLine(u"Negrito", false);
    const auto expected = reference->ShapeLine(u"Negrito", false);
    ASSERT_EQ(glyphs.size(), expected.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_EQ(glyphs[i].glyph, expected[i].glyph);
        EXPECT_EQ(glyphs[i].advance, expected[i].advance);
    }
    auto first = fonts::FontFace::FromData(collection, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(fonts::FontFace::FromData(first->FaceData(), 0)->Metrics().weightClass, 400);

    // A damaged collection: a face past the end, a directory pointing outside the file.
    EXPECT_FALSE(fonts::FontFace::FromData(collection, 2));
    QByteArray broken = collection;
    // The high byte of the offset of the first face's fourth table (the face starts at 20).
    broken[20 + 12 + 16 * 3 + 8] = char(0x7F);
    if (auto damaged = fonts::FontFace::FromData(broken, 0)) {
        EXPECT_EQ(damaged->FaceData(), broken); // left whole
    }
    EXPECT_FALSE(fonts::FontFace::FromData(collection.left(40), 1));
    EXPECT_FALSE(fonts::FontFace::FromData(QByteArray("ttcf"), 0));
}

} // namespace
} // namespace zr::reportlib::pdf
