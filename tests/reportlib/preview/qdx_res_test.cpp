#include "reportlib/print/qdx_res.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

using zr::reportlib::qdxResources;
using zr::reportlib::TqdxResources;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Number of names in a string document, read into a table of its own.
int countEntries(const QString& path) {
    TqdxResources table;
    EXPECT_TRUE(table.LoadFromString(readFile(path))) << path.toStdString();
    return table.Count();
}

const QString kResources = QStringLiteral(ZR_SOURCE_DIR "/resources/reportlib/");

} // namespace

TEST(QdxResources, DocumentsHoldTheirEntries) {
    EXPECT_EQ(countEntries(kResources + "strings_main.xml"), 227);
    EXPECT_EQ(countEntries(kResources + "strings_exports.xml"), 204);
    EXPECT_EQ(qdxResources().Count(), 431);
    EXPECT_EQ(qdxResources().CodePage(), 1252u);
    for (const char* name : {"1", "rpEditAlias", "8000", "expMailAddr", "SLangNotFound",
                             "SEventError", "Code39 Extended", "UPC Supp5", "9111"}) {
        EXPECT_TRUE(qdxResources().Contains(name)) << name;
    }
}

TEST(QdxResources, QuotedTextsAreExact) {
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"5", "Páginas:"},
        {"9",
         "Digite números de página e/ou intervalos, separados por vírgulas. Por exemplo, 1,3,5-12"},
        {"100", "Pré-Visualizar"},
        {"115", "100%"},
        {"133", "Editar Página"},
        {"140", "Última"},
        {"150", "Ecran inteiro"},
        {"zmPageWidth", "Largura da Página"},
        {"601", "Condensar tudo"},
        {"201", " Impressora "},
        {"pmScale", "À Escala"},
        {"poReverse", "Inversa (9-1)"},
        {"302", " Opções de pesquisa "},
        {"305", "Diferenciar maiúsculas/minúsculas"},
        {"403", " Tamanho "},
        {"412", " Acção "},
        {"uInch", "pol"},
        {"clFirstPass", "Primeiro passo: página "},
        {"clStrNotFound", "Text not found"},
        {"prExporting", "Exportando página %d"},
        {"xrCantFindClass", "Classe não encontrada"},
        {"PDFexport", "Ficheiro PDF"},
        {"8702", "T.Letra Embutidos"},
        {"8707", "Ficheiro Adobe PDF (*.pdf)|*.pdf"},
        {"8969", "Adicionar ou modificar anotações"},
        {"8989", "Confirmação de leitura"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qdxResources().Text(c.name), QString::fromUtf8(c.text)) << c.name;
    }
}

TEST(QdxResources, LookupByNameAndNumber) {
    const TqdxResources& r = qdxResources();
    // 8-bit text in code page 1252.
    EXPECT_EQ(r.Get("clPageOf"), QByteArray("P\xe1g. %d de %d"));
    EXPECT_EQ(r.Get(100), QByteArray("Pr\xe9-Visualizar"));
    EXPECT_EQ(r.Text(100), QStringLiteral(u"Pré-Visualizar"));
    // Names compare without regard to case.
    EXPECT_EQ(r.Text("CLPAGEOF"), QStringLiteral(u"Pág. %d de %d"));
    EXPECT_EQ(r.Text(QStringLiteral("clpageof")), r.Text("clPageOf"));
    // A missing name comes back unchanged.
    EXPECT_EQ(r.Get("noSuchName"), QByteArray("noSuchName"));
    EXPECT_EQ(r.Text(99999), QStringLiteral("99999"));
    EXPECT_EQ(r.Get(-3), QByteArray("-3"));
}

TEST(QdxResources, LeadingBangIsDropped) {
    TqdxResources r;
    r.Add("warn", QStringLiteral("!Atenção"));
    r.Add("twice", QStringLiteral("!!x"));
    EXPECT_EQ(r.Text("warn"), QStringLiteral(u"Atenção"));
    EXPECT_EQ(r.Get("warn"), QByteArray("Aten\xe7\xe3o"));
    EXPECT_EQ(r.Text("twice"), QStringLiteral("!x"));
    EXPECT_EQ(r.Text("!missing"), QStringLiteral("missing"));
    EXPECT_EQ(r.Get("!missing"), QByteArray("missing"));
}

TEST(QdxResources, LoadingRepeatedNamesAndOtherRoots) {
    TqdxResources r;
    EXPECT_TRUE(r.LoadFromString(R"(<?xml version="1.1" encoding="utf-8"?>
<Resources CodePage="1252">
  <StrRes Name="a" Text="primeiro"/>
  <StrRes Name="b" Text="x &amp;lt; y &#38;#60; &quot;q&quot;"/>
  <StrRes Name="A" Text="segundo"/>
  <Other Name="c" Text="ignored"/>
</Resources>)"));
    EXPECT_EQ(r.Count(), 2);
    EXPECT_EQ(r.Text("a"), QStringLiteral("segundo"));
    // References are resolved once only.
    EXPECT_EQ(r.Text("b"), QStringLiteral("x &lt; y &#60; \"q\""));

    // Another root adds nothing and keeps the code page.
    EXPECT_FALSE(r.LoadFromString(R"(<?xml version="1.1"?><Strings CodePage="1250">)"
                                  R"(<StrRes Name="z" Text="z"/></Strings>)"));
    EXPECT_EQ(r.Count(), 2);
    EXPECT_EQ(r.CodePage(), 1252u);

    // The code page of the last document is used when narrowing.
    QByteArray doc = R"(<?xml version="1.1"?><Resources CodePage="1250">)"
                     R"(<StrRes Name="s" Text="ś"/></Resources>)";
    QBuffer buffer(&doc);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_TRUE(r.LoadFromStream(buffer));
    EXPECT_EQ(r.CodePage(), 1250u);
    EXPECT_EQ(r.Get("s"), QByteArray("\x9c"));
}

TEST(QdxResources, BadDocumentsDoNotHarm) {
    TqdxResources r;
    r.Add("k", QStringLiteral("v"));
    EXPECT_FALSE(r.LoadFromString(""));
    EXPECT_FALSE(r.LoadFromString("not xml at all"));
    EXPECT_FALSE(r.LoadFromString(R"(<?xml version="1.1"?><Resources><StrRes Name="a" <b>)"));
    // A malformed reference spoils its own entry only; an unknown code page is ignored.
    EXPECT_TRUE(r.LoadFromString(R"(<?xml version="1.1"?><Resources CodePage="77777">)"
                                 R"(<StrRes Name="bad" Text="&#x41;"/>)"
                                 R"(<StrRes Name="good" Text="ok"/></Resources>)"));
    EXPECT_FALSE(r.Contains("bad"));
    EXPECT_EQ(r.Text("good"), QStringLiteral("ok"));
    EXPECT_EQ(r.CodePage(), 1252u);
    EXPECT_EQ(r.Count(), 2);
}

TEST(QdxResources, PreviewIconStrip) {
    const QList<QIcon>& icons = qdxResources().PreviewIcons();
    ASSERT_EQ(icons.size(), TqdxResources::kPreviewIconCount);
    for (const QIcon& icon : icons) {
        const QPixmap pixmap = icon.pixmap(16, 16);
        ASSERT_EQ(pixmap.size(), QSize(16, 16));
        // The key colour at the bottom-left corner is see-through.
        EXPECT_EQ(qAlpha(pixmap.toImage().pixel(0, 15)), 0);
    }
    EXPECT_TRUE(qdxResources()
                    .PreviewIcon(TqdxResources::iconPdf)
                    .availableSizes()
                    .contains(QSize(16, 16)));
    EXPECT_TRUE(qdxResources().PreviewIcon(25).isNull());
    EXPECT_TRUE(qdxResources().PreviewIcon(-1).isNull());

    // Every icon draws something.
    const QImage strip = TqdxResources::UnpackBitmap(readFile(kResources + "preview_buttons.bin"));
    ASSERT_EQ(strip.size(), QSize(400, 16));
    const QList<QImage> cells = TqdxResources::CutStrip(strip, 16);
    ASSERT_EQ(cells.size(), 25);
    for (const QImage& cell : cells) {
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                opaque += qAlpha(cell.pixel(x, y)) != 0;
            }
        }
        EXPECT_GT(opaque, 20);
    }
}

TEST(QdxResources, DamagedStripsGiveNoImage) {
    const QByteArray good = readFile(kResources + "preview_buttons.bin");
    ASSERT_FALSE(TqdxResources::UnpackBitmap(good).isNull());
    EXPECT_TRUE(TqdxResources::UnpackBitmap({}).isNull());
    EXPECT_TRUE(TqdxResources::UnpackBitmap(good.left(30)).isNull());
    QByteArray badCheck = good;
    badCheck[5] = char(badCheck[5] ^ 0x40); // Adler-32 no longer matches
    EXPECT_TRUE(TqdxResources::UnpackBitmap(badCheck).isNull());
    QByteArray unterminatedName = good.left(12);
    unterminatedName.append(QByteArray(40, 'n'));
    EXPECT_TRUE(TqdxResources::UnpackBitmap(unterminatedName).isNull());
    QByteArray notGzip = good;
    notGzip[0] = 'x';
    EXPECT_TRUE(TqdxResources::UnpackBitmap(notGzip).isNull());
    // Any truncation loses the end of the data; flipped bytes must not upset the reader.
    for (qsizetype length = 0; length < good.size(); ++length) {
        ASSERT_TRUE(TqdxResources::UnpackBitmap(good.left(length)).isNull()) << length;
    }
    for (qsizetype at = 0; at < good.size(); ++at) {
        QByteArray flipped = good;
        flipped[at] = char(~flipped[at]);
        const QImage image = TqdxResources::UnpackBitmap(flipped);
        EXPECT_TRUE(image.isNull() || image.size() == QSize(400, 16)) << at;
    }

    // Cells that do not fit whole are left out.
    QImage odd(40, 20, QImage::Format_RGB32);
    odd.fill(Qt::white);
    EXPECT_EQ(TqdxResources::CutStrip(odd, 16).size(), 2);
    EXPECT_TRUE(TqdxResources::CutStrip(odd, 0).isEmpty());
    EXPECT_TRUE(TqdxResources::CutStrip(QImage(), 16).isEmpty());
}

TEST(QdxResources, HelpPageIsWrittenOut) {
    const QString path = TqdxResources::HelpFilePath();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_TRUE(readFile(path).contains("pré-visualização"));
}
