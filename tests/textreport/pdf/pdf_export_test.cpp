#include "textreport/gravana.h"

#include "pdf_reading.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace zr::textreport;
using zr::MessageKind;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;
namespace pdf = zr::test::pdf;

namespace {

// An open report on a fresh report state, with a fixed clock and a known port (so opening never
// asks the print system), and margins of zero unless a test sets them.
class PdfExportTest : public ::testing::Test {
protected:
    PdfExportTest() {
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.clock = [] { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 0)); };
        g.Margens = {0, 0, 0, 0};
        g.Abrir();
    }
    void fill(std::initializer_list<QByteArray> items) {
        for (const QByteArray& i : items) {
            g.store()->add(i);
        }
    }
    static QByteArray item(int page, int line, int column, const QByteArray& text,
                           int attribute = 16, char kind = 'T',
                           const QByteArray& colour = "000000") {
        return ReportBuilder::itemString(page, line, column, text, attribute, kind, colour);
    }
    // Exports to `name` in the test's folder and returns the file's bytes.
    QByteArray exportPdf(const QString& name = QStringLiteral("r.PDF")) {
        path = dir.path(name);
        g.GerarPDF(path);
        return TempDir::read(path);
    }
    static int pageCount(const QByteArray& file) { return pdf::pageCount(file); }
    static QByteArray firstPage(const QByteArray& file) {
        return pdf::object(file, pdf::pageObject(file, 1));
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    TempDir dir;
    QString path;
};

} // namespace

TEST_F(PdfExportTest, LaysThePageOutOnTheCharacterGridWithMargins) {
    g.Margens = {15, 5, 20, 0}; // left, right, top, bottom: 3, 1, 4 and 0 units
    g.TitulodoRelatorio = "Vendas (2026)";
    fill({item(1, 1, 1, "TOTAL 12,50"), item(1, 2, 11, "Relat\xf3rio &PAGE&")});
    const QByteArray file = exportPdf();

    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(firstPage(file).contains("/MediaBox [ 0 0 484 664]\r\n"));
    EXPECT_EQ(pdf::pageOperators(file, 1),
              "0 0 0 rg\r\n"
              "/P <</MCID 0>> BDC\r\n"
              "BT\r\n100 Tz\r\n/F5 10 Tf\r\n3 652 Td\r\n(TOTAL 12,50) Tj\r\nET\r\nEMC\r\n"
              "/P <</MCID 1>> BDC\r\n"
              "BT\r\n100 Tz\r\n/F5 10 Tf\r\n63 642 Td\r\n(Relat\xf3rio 1) Tj\r\nET\r\nEMC\r\n");
    EXPECT_EQ(pdf::object(file, 1), "1 0 obj\r\n<<\r\n"
                                    "/Producer (Gravana PDF Export)\r\n"
                                    "/Author (ZeralVisualizador)\r\n"
                                    "/CreationDate (D:20260307090500)\r\n"
                                    "/Creator (Gravana \\(Morvane\\))\r\n"
                                    "/Keywords ()\r\n"
                                    "/Subject (Relat\xf3rio Criado com Gravana )\r\n"
                                    "/Title (Vendas \\(2026\\))\r\n"
                                    "/ModDate (D:20260307090500)\r\n>>\r\nendobj\r\n");
    ASSERT_EQ(ui.progresses.size(), 1u);
    EXPECT_EQ(ui.progresses[0].info.caption, "Gerando PDF...");
    EXPECT_EQ(ui.progresses[0].info.label, path);
    EXPECT_EQ(ui.progresses[0].maximum, 2);
    EXPECT_EQ(ui.progresses[0].steps, 2);
    EXPECT_TRUE(ui.progresses[0].finished);

    pdf::expectReadersAccept(path);
    bool skipped = false;
    const QByteArray text = pdf::textOf(path, skipped);
    if (!skipped) {
        EXPECT_TRUE(text.contains("TOTAL 12,50")) << text.data();
        EXPECT_TRUE(text.contains("Relat\xc3\xb3rio 1")) << text.data();
    }
}

TEST_F(PdfExportTest, ScalesTheGridByPitchAndLineSpacing) {
    g.FonteTamanhoPadrao = TSize::S17cpp; // cells 6 / 1.71 wide
    g.TamanhoQteLPP = TLinha::Oito;       // lines 10 / 1.3333 high
    fill({item(1, 2, 3, "x", 64)});
    const QByteArray file = exportPdf();
    EXPECT_TRUE(firstPage(file).contains("/MediaBox [ 0 0 281 495]\r\n"));
    EXPECT_TRUE(pdf::pageOperators(file, 1).contains("58.48 Tz\r\n/F5 10 Tf\r\n7.02 482 Td\r\n"));
}

TEST_F(PdfExportTest, StretchesEachPitchToItsCells) {
    const struct {
        TSize reportPitch;
        int attribute;
        const char* scaling;
    } cases[] = {
        {TSize::S10cpp, 16, "100"},    {TSize::S12cpp, 32, "83.33"},
        {TSize::S12cpp, 16, "100"},    {TSize::S10cpp, 256, "66.67"},
        {TSize::S10cpp, 64, "58.48"},  {TSize::S10cpp, 128, "50"},
        {TSize::S17cpp, 24, "116.96"}, // expanded: twice the report's own cell
        {TSize::S12cpp, 24, "166.67"}, {TSize::S05cpp, 8, "400"},
        {TSize::S10cpp, 0, "100"}, // no pitch named: 10
    };
    for (const auto& c : cases) {
        g.store()->clear();
        g.FonteTamanhoPadrao = c.reportPitch;
        fill({item(1, 1, 1, "abc", c.attribute)});
        const QByteArray ops = pdf::pageOperators(exportPdf(), 1);
        EXPECT_TRUE(ops.contains("BT\r\n" + QByteArray(c.scaling) + " Tz\r\n/F5 10 Tf\r\n"))
            << c.attribute << " " << ops.data();
    }
}

TEST_F(PdfExportTest, ChoosesCourierFacesAndUnderlinesInTheLineColour) {
    fill({item(1, 1, 1, "n", 16 + 2), item(1, 1, 5, "i", 16 + 1), item(1, 1, 9, "ni", 16 + 3),
          item(1, 2, 1, "-", 16, 'B', "0000FF"), item(1, 3, 1, "sub", 32 + 4)});
    const QByteArray ops = pdf::pageOperators(exportPdf(), 1);
    EXPECT_TRUE(ops.contains("/F6 10 Tf\r\n0 652 Td\r\n(n) Tj"));
    EXPECT_TRUE(ops.contains("/F7 10 Tf\r\n24 652 Td\r\n(i) Tj"));
    EXPECT_TRUE(ops.contains("/F8 10 Tf\r\n48 652 Td\r\n(ni) Tj"));
    // The underline: 3 cells of pitch 12 from the origin, 1.2 below the baseline, stroked in
    // the blue of the box item before it (no colour operator of its own), as decoration.
    EXPECT_TRUE(ops.endsWith("(sub) Tj\r\nET\r\nEMC\r\n/Artifact BMC\r\n"
                             "0 630.8 m\r\n15 630.8 l\r\n.75 w\r\nS\r\nEMC\r\n"))
        << ops.data();
    EXPECT_EQ(pdf::occurrences(ops, "RG\r\n"), 1);
    EXPECT_TRUE(ops.contains("0 0 1 RG\r\n"));
}

TEST_F(PdfExportTest, DrawsBoxLettersAsLinesInTheirCells) {
    fill({item(1, 1, 1, "a-?", 16, 'B', "FF0000"), item(1, 2, 1, "   ", 16, 'B', "FF0000"),
          item(1, 3, 1, "27 64", 16, 'C')});
    const QByteArray ops = pdf::pageOperators(exportPdf(), 1);
    // Cell row top Y0 = 0 on a 660-unit page: ┌ runs right and down from the middle, ─ across
    // the next cell; "?" and blanks draw nothing, nor does the control item.
    EXPECT_EQ(ops, "1 0 0 RG\r\n/Artifact BMC\r\n"
                   "3 655 m\r\n6 655 l\r\n.75 w\r\nS\r\n"
                   "3 655 m\r\n3 650 l\r\n.75 w\r\nS\r\n"
                   "6 655 m\r\n12 655 l\r\n.75 w\r\nS\r\nEMC\r\n");

    // Double lines lie at 2 and 4 across, 4 and 6 down, in units of the report's pitch.
    g.store()->clear();
    g.FonteTamanhoPadrao = TSize::S05cpp; // H = 0.5: every unit across counts twice
    fill({item(1, 1, 2, "I", 16, 'B')});
    EXPECT_EQ(pdf::pageOperators(exportPdf(), 1), "0 0 0 RG\r\n/Artifact BMC\r\n"
                                                  "16 660 m\r\n16 650 l\r\n.75 w\r\nS\r\n"
                                                  "20 660 m\r\n20 650 l\r\n.75 w\r\nS\r\nEMC\r\n");
}

TEST_F(PdfExportTest, TextOfBlanksIsDrawnButEmptyTextIsNot) {
    fill({item(1, 1, 1, "   "), item(1, 2, 1, "")});
    const QByteArray ops = pdf::pageOperators(exportPdf(), 1);
    EXPECT_EQ(pdf::occurrences(ops, "BT\r\n"), 1);
    EXPECT_TRUE(ops.contains("(   ) Tj"));
    EXPECT_TRUE(ops.startsWith("0 0 0 rg\r\n/Artifact BMC\r\nBT\r\n")) << ops.data(); // no text
}

TEST_F(PdfExportTest, StatesTheFillColourOncePerColourAndAgainOnEachPage) {
    fill({item(1, 1, 1, "a"), item(1, 2, 1, "b"), item(1, 3, 1, "c", 16, 'T', "C00000"),
          item(1, 4, 1, "d", 16, 'T', "C00000"), item(2, 1, 1, "e", 16, 'T', "C00000")});
    const QByteArray file = exportPdf();
    const QByteArray page1 = pdf::pageOperators(file, 1);
    EXPECT_EQ(pdf::occurrences(page1, "rg\r\n"), 2);
    EXPECT_TRUE(page1.startsWith("0 0 0 rg\r\n"));
    EXPECT_TRUE(page1.contains("ET\r\nEMC\r\n0.75 0 0 rg\r\n/P <</MCID 2>> BDC\r\nBT\r\n"));
    EXPECT_EQ(pdf::pageOperators(file, 2).left(14), "0.75 0 0 rg\r\n/");
}

TEST_F(PdfExportTest, AnEmptyReportIsOneEmptyPage) {
    const QByteArray file = exportPdf();
    EXPECT_EQ(pageCount(file), 1);
    EXPECT_EQ(pdf::pageOperators(file, 1), QByteArray());
    EXPECT_TRUE(ui.messages.empty());
    pdf::expectReadersAccept(path);
}

TEST_F(PdfExportTest, SkippedPageNumbersStartOnlyOneNewPage) {
    fill({item(1, 1, 1, "um"), item(3, 1, 1, "tres")});
    const QByteArray file = exportPdf();
    EXPECT_EQ(pageCount(file), 2);
    EXPECT_TRUE(pdf::pageOperators(file, 2).contains("(tres) Tj"));
    pdf::expectReadersAccept(path);
}

TEST_F(PdfExportTest, CancellingWritesNothingAndKeepsAnExistingFile) {
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    fill({item(1, 1, 1, "primeiro"), item(1, 2, 1, "segundo"), item(2, 1, 1, "terceiro")});
    dir.write(QStringLiteral("r.PDF"), "anterior");
    ui.cancelAfterSteps = 2; // the request is seen before the second item
    EXPECT_EQ(exportPdf(), "anterior");
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.progresses.at(0).finished);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden), QStringList{"r.PDF"});
}

TEST_F(PdfExportTest, AnEmptyNameWritesGravanaPdfInTheCurrentFolder) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.root()));
    fill({item(1, 1, 1, "x")});
    g.GerarPDF(QString());
    QDir::setCurrent(previous);
    EXPECT_TRUE(TempDir::read(dir.path(QStringLiteral("Gravana.PDF"))).startsWith("%PDF-1.4\r\n"));
    EXPECT_EQ(ui.progresses.at(0).info.label, "Gravana.PDF");
}

TEST_F(PdfExportTest, OnSaveMayChangeTheFileName) {
    const QString renamed = dir.path(QStringLiteral("outro.PDF"));
    g.OnSave = [&](TGravana&, QString& name) {
        EXPECT_EQ(name, dir.path(QStringLiteral("r.PDF")));
        name = renamed;
    };
    exportPdf();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QFile::exists(renamed));
}

TEST_F(PdfExportTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
    for (int i = 1; i <= 200; ++i) {
        g.store()->add(item(1 + i / 60, 1 + i % 60, 1, "linha de texto " + QByteArray::number(i)));
    }
    const QString old = dir.write(QStringLiteral("r.PDF"), "old contents");
    {
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small = previous;
        small.rlim_cur = 2048;
        ::setrlimit(RLIMIT_FSIZE, &small);
        g.GerarPDF(old);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Erro na grava\u00e7\u00e3o do arquivo...\r\rArquivo: ") + old +
                  QStringLiteral("\rFile too large"));
    EXPECT_TRUE(ui.progresses.at(0).finished);
    EXPECT_EQ(TempDir::read(old), "old contents");
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("r.PDF")});

    ui.clear();
    const QString missing = dir.path(QStringLiteral("sem/pasta.PDF"));
    g.GerarPDF(missing);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Erro na grava\u00e7\u00e3o do arquivo...\r\rArquivo: ") + missing +
                  QStringLiteral("\rNo such file or directory"));
}
