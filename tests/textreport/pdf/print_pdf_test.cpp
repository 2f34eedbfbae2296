#include "textreport/pdf/writer/print_pdf.h"

#include "pdf_reading.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace zr::textreport;
using zr::test::TempDir;
namespace pdf = zr::test::pdf;

namespace {

class PrintPdfTest : public ::testing::Test {
protected:
    PrintPdfTest() {
        w.FileName = dir.path(QStringLiteral("out.pdf"));
        w.CreationDate = QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
    }
    // Finishes the document and returns the file's bytes.
    QByteArray finish() {
        w.EndDoc();
        return TempDir::read(w.FileName);
    }
    // The operators of page 1 of an uncompressed document holding only what `draw` does.
    template <class Draw> QByteArray operatorsOf(Draw draw) {
        w.Compress = false;
        w.BeginDoc();
        draw();
        return pdf::pageOperators(finish(), 1);
    }

    TempDir dir;
    TPrintPDF w;
};

// The whole file of a one-page document, byte for byte, up to the cross-reference section.
const QByteArray kGoldenBody =
    "%PDF-1.4\r\n"
    "1 0 obj\r\n"
    "<<\r\n"
    "/Producer (Prod)\r\n"
    "/Author (Ana)\r\n"
    "/CreationDate (D:20240305070809)\r\n"
    "/Creator (Cri)\r\n"
    "/Keywords ()\r\n"
    "/Subject (Relat\xf3rio )\r\n"
    "/Title (T\\(1\\))\r\n"
    "/ModDate (D:20240305070809)\r\n"
    ">>\r\n"
    "endobj\r\n"
    "2 0 obj\r\n"
    "<< /Length 3 0 R\r\n"
    " >>\r\n"
    "stream\r\n"
    "BT\r\n"
    "/F5 12 Tf\r\n"
    "36 741.5 Td\r\n"
    "(Hi) Tj\r\n"
    "ET\r\n"
    "1 0 0 rg\r\n"
    "0 792 m\r\n"
    "10.26 -8 l\r\n"
    ".75 w\r\n"
    "S\r\n"
    "endstream\r\n"
    "endobj\r\n"
    "3 0 obj\r\n"
    "82\r\n"
    "endobj\r\n"
    "4 0 obj\r\n"
    "<< /Type /Outlines\r\n"
    "/Count 0\r\n"
    ">>\r\n"
    "endobj\r\n"
    "5 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F1\r\n"
    "/BaseFont /Helvetica\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "6 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F2\r\n"
    "/BaseFont /Helvetica-Bold\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "7 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F3\r\n"
    "/BaseFont /Helvetica-Oblique\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "8 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F4\r\n"
    "/BaseFont /Helvetica-BoldOblique\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "9 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F5\r\n"
    "/BaseFont /Courier\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "10 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F6\r\n"
    "/BaseFont /Courier-Bold\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "11 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F7\r\n"
    "/BaseFont /Courier-Oblique\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "12 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F8\r\n"
    "/BaseFont /Courier-BoldOblique\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "13 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F9\r\n"
    "/BaseFont /Times-Roman\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "14 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F10\r\n"
    "/BaseFont /Times-Bold\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "15 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F11\r\n"
    "/BaseFont /Times-Italic\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "16 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F12\r\n"
    "/BaseFont /Times-BoldItalic\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "17 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F13\r\n"
    "/BaseFont /Symbol\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "18 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F14\r\n"
    "/BaseFont /ZapfDingbats\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n"
    "19 0 obj\r\n"
    "<< /Type /Pages\r\n"
    "/Kids [\r\n"
    "21 0 R\r\n"
    "]\r\n"
    "/Count 1\r\n"
    ">>\r\n"
    "endobj\r\n"
    "20 0 obj\r\n"
    "<< /ProcSet [ /PDF /Text /ImageC]\r\n"
    "/XObject << \r\n"
    ">>\r\n"
    "/Font << \r\n"
    "/F1 5 0 R \r\n/F2 6 0 R \r\n/F3 7 0 R \r\n/F4 8 0 R \r\n/F5 9 0 R \r\n/F6 10 0 R \r\n"
    "/F7 11 0 R \r\n/F8 12 0 R \r\n/F9 13 0 R \r\n/F10 14 0 R \r\n/F11 15 0 R \r\n"
    "/F12 16 0 R \r\n/F13 17 0 R \r\n/F14 18 0 R \r\n"
    ">>\r\n"
    ">>\r\n"
    "endobj\r\n"
    "21 0 obj\r\n"
    "<< /Type /Page\r\n"
    "/Parent 19 0 R\r\n"
    "/MediaBox [ 0 0 612 792]\r\n"
    "/Contents 2 0 R\r\n"
    "/Resources 20 0 R\r\n"
    ">>\r\n"
    "endobj\r\n"
    "22 0 obj\r\n"
    "<< /Type /Catalog\r\n"
    "/Pages 19 0 R\r\n"
    "/Outlines 4 0 R\r\n"
    ">>\r\n"
    "endobj\r\n";

} // namespace

TEST_F(PrintPdfTest, WritesAOnePageDocumentByteForByte) {
    w.Compress = false;
    w.Producer = "Prod";
    w.Author = "Ana";
    w.Creator = "Cri";
    w.Subject = "Relat\xf3rio ";
    w.TITLE = "T(1)";
    w.BeginDoc();
    w.TextOut("Hi", false, 36, 50.5, 0);
    w.SetFillColor(Qt::red);
    w.LineWidth = 0.75;
    w.DrawLine(0, 0, 10.256, 800);
    const QByteArray file = finish();

    // The cross-reference section lists where each "N 0 obj" of the body begins.
    QByteArray xref = "xref\r\n0 23\r\n0000000000 65535 f\r\n";
    for (int n = 1; n <= 22; ++n) {
        const qsizetype at = kGoldenBody.indexOf("\n" + QByteArray::number(n) + " 0 obj\r\n") + 1;
        ASSERT_GT(at, 0) << n;
        xref += QByteArray::number(at).rightJustified(10, '0') + " 00000 n\r\n";
    }
    ASSERT_EQ(xref.size(), 12 + 23 * 20); // every entry is 20 bytes, the free one included
    EXPECT_EQ(file, kGoldenBody + xref +
                        "trailer\r\n<< /Size 23\r\n/Root 22 0 R\r\n/Info 1 0 R\r\n>>\r\n"
                        "startxref\r\n" +
                        QByteArray::number(kGoldenBody.size()) + "\r\n%%EOF\r\n");
    EXPECT_EQ(pdf::xrefOffsets(file).at(1), 10); // right after the header line
    pdf::expectReadersAccept(w.FileName);
}

TEST_F(PrintPdfTest, ObjectNumbersFollowThePageCount) {
    w.Compress = false;
    w.BeginDoc();
    EXPECT_EQ(w.PageNumber(), 1);
    for (int k = 2; k <= 100; ++k) {
        w.NewPage();
        w.TextOut("p" + QByteArray::number(k), false, 10, 20, 0);
    }
    EXPECT_EQ(w.PageNumber(), 100);
    const QByteArray file = finish();
    EXPECT_EQ(w.PageNumber(), 100); // still readable after EndDoc

    EXPECT_TRUE(file.contains("trailer\r\n<< /Size 320\r\n/Root 319 0 R\r\n"));
    EXPECT_TRUE(pdf::object(file, 319).contains("/Type /Catalog\r\n/Pages 217 0 R\r\n"
                                                "/Outlines 202 0 R\r\n"));
    EXPECT_TRUE(pdf::object(file, 203).contains("/BaseFont /Helvetica\r\n"));
    EXPECT_TRUE(pdf::object(file, 216).contains("/BaseFont /ZapfDingbats\r\n"));
    EXPECT_TRUE(pdf::object(file, 217).contains("/Kids [\r\n219 0 R\r\n220 0 R\r\n"));
    EXPECT_TRUE(pdf::object(file, 217).contains("318 0 R\r\n]\r\n/Count 100\r\n"));
    EXPECT_TRUE(pdf::object(file, 218).contains("/F14 216 0 R \r\n"));
    // Page 100 is object 318 and draws content object 200, whose length is object 201.
    EXPECT_TRUE(pdf::object(file, 318).contains("/Contents 200 0 R\r\n/Resources 218 0 R\r\n"));
    EXPECT_TRUE(pdf::object(file, 200).contains("<< /Length 201 0 R\r\n"));
    EXPECT_EQ(pdf::pageOperators(file, 100), "BT\r\n/F5 12 Tf\r\n10 772 Td\r\n(p100) Tj\r\nET\r\n");

    // Every cross-reference entry points at its object, and startxref at the section.
    const std::vector<qint64> offsets = pdf::xrefOffsets(file);
    ASSERT_EQ(offsets.size(), 320u);
    for (int n = 1; n < 320; ++n) {
        EXPECT_TRUE(
            file.mid(offsets[std::size_t(n)]).startsWith(QByteArray::number(n) + " 0 obj\r\n"))
            << n;
    }
    pdf::expectReadersAccept(w.FileName);
}

TEST_F(PrintPdfTest, LengthObjectsHoldTheExactStreamSizeEvenForEmptyPages) {
    for (const bool compress : {false, true}) {
        w.Compress = compress;
        w.BeginDoc();
        w.TextOut("uma linha (com parênteses)", false, 10, 20, 100);
        w.NewPage(); // page 2 stays empty
        const QByteArray file = finish();
        for (int k = 1; k <= 2; ++k) {
            const QByteArray content = pdf::object(file, 2 * k);
            const qsizetype data = content.indexOf("stream\r\n") + 8;
            const qsizetype end = content.lastIndexOf("endstream\r\nendobj\r\n");
            EXPECT_EQ(pdf::object(file, 2 * k + 1), QByteArray::number(2 * k + 1) + " 0 obj\r\n" +
                                                        QByteArray::number(end - data) +
                                                        "\r\nendobj\r\n");
            EXPECT_EQ(content.contains("/Filter [/FlateDecode]\r\n"), compress);
        }
        // An empty page has no data, or the deflate encoding of nothing.
        EXPECT_EQ(pdf::object(file, 5),
                  compress ? "5 0 obj\r\n8\r\nendobj\r\n" : "5 0 obj\r\n0\r\nendobj\r\n");
        EXPECT_EQ(pdf::pageOperators(file, 1), "BT\r\n100 Tz\r\n/F5 12 Tf\r\n10 772 Td\r\n(uma "
                                               "linha \\(com par\xc3\xaanteses\\)) Tj\r\n"
                                               "ET\r\n");
        pdf::expectReadersAccept(w.FileName);
    }
}

TEST_F(PrintPdfTest, EscapesLiteralStringsBytePerByte) {
    const QByteArray ops = operatorsOf(
        [&] { w.TextOut(QByteArray("(a)\\\t\xe7\x7f\b\n\f\r\x01\x1f ~", 15), false, 0, 0, 0); });
    EXPECT_TRUE(ops.contains("(\\(a\\)\\\\\\011\xe7\\177\\b\\n\\f\\r\\001\\037 ~) Tj\r\n"))
        << ops.data();

    // A NUL byte is text like any other.
    const QByteArray nul = operatorsOf([&] { w.TextOut(QByteArray("a\0b", 3), false, 0, 0, 0); });
    EXPECT_TRUE(nul.contains("(a\\000b) Tj"));

    w.TITLE = "a\\b(c";
    w.Keywords = QByteArray("\x80\xff", 2);
    w.BeginDoc();
    const QByteArray file = finish();
    EXPECT_TRUE(pdf::object(file, 1).contains("/Keywords (\x80\xff)\r\n/Subject ()\r\n"
                                              "/Title (a\\\\b\\(c)\r\n"));
    pdf::expectReadersAccept(w.FileName);
}

TEST_F(PrintPdfTest, WritesTextOperatorsWithScalingRotationAndFont) {
    const QByteArray ops = operatorsOf([&] {
        w.Font.Name = 7;
        w.Font.Size = 10;
        w.TextOut("a", false, 3, 12, 100);
        w.TextOut("b", false, 3.004, 12.005, 83.33);
        w.TextOut("c", true, 1.5, 900, 0);
        w.TextOut("d", false, 0, 0, 0.001); // rounds to nothing: no scaling operator
    });
    EXPECT_EQ(ops, "BT\r\n100 Tz\r\n/F8 10 Tf\r\n3 780 Td\r\n(a) Tj\r\nET\r\n"
                   "BT\r\n83.33 Tz\r\n/F8 10 Tf\r\n3 780 Td\r\n(b) Tj\r\nET\r\n"
                   "BT\r\n/F8 10 Tf\r\n1.5 -108 Td\r\n0.71 0.71 -0.71 0.71 1.5 -108 Tm\r\n"
                   "(c) Tj\r\nET\r\n"
                   "BT\r\n/F8 10 Tf\r\n0 792 Td\r\n(d) Tj\r\nET\r\n");
}

TEST_F(PrintPdfTest, WritesLinesAndColoursWithTheCurrentWidthAndHeight) {
    const QByteArray ops = operatorsOf([&] {
        w.PageHeight = 100;
        w.DrawLine(1, 2, 3.333, 4.666);
        w.LineWidth = 0.75;
        w.DrawLine(0, 0, 0, 0);
        w.LineWidth = 0; // no empty operand even for a width the writer cannot honour
        w.DrawLine(0, 0, 0, 0);
        w.SetLineColor(QColor(128, 128, 128));
        w.SetFillColor(QColor(255, 0, 0));
        w.SetFillColor(QColor(0, 64, 255));
    });
    EXPECT_EQ(ops, "1 98 m\r\n3.33 95.33 l\r\n1 w\r\nS\r\n"
                   "0 100 m\r\n0 100 l\r\n.75 w\r\nS\r\n"
                   "0 100 m\r\n0 100 l\r\n0 w\r\nS\r\n"
                   "0.5 0.5 0.5 RG\r\n"
                   "1 0 0 rg\r\n"
                   "0 0.25 1 rg\r\n");
}

TEST(PdfNumberForms, TwoDecimalsHalvesAwayFromZeroInEveryForm) {
    using F = PdfNumberForm;
    const struct {
        double value;
        F form;
        const char* text;
    } cases[] = {
        {612, F::Integer, "612"},
        {36, F::Decimal, "36"},
        {741.5, F::Decimal, "741.5"},
        {0.25, F::Decimal, "0.25"},
        {0.75, F::NoLeadingZero, ".75"},
        {1, F::NoLeadingZero, "1"},
        {83.33, F::NoLeadingZero, "83.33"},
        {200 / 1.71, F::NoLeadingZero, "116.96"},
        {100.0 / 1.3333, F::Decimal, "75"},
        {-12.5, F::Decimal, "-12.5"},
        {-0.5, F::NoLeadingZero, "-.5"},
        {0, F::NoLeadingZero, ""},
        {0.004, F::Decimal, "0"},
        {-0.004, F::Decimal, "0"}, // never "-0"
        {1.005, F::Decimal, "1.01"},
        {2.675, F::Decimal, "2.68"}, // halves as read in decimal
        {-1.005, F::Decimal, "-1.01"},
        {0.125, F::Decimal, "0.13"},
        {1.2049999, F::Decimal, "1.2"},
        {99.999, F::Decimal, "100"},
        {1, F::Component, "1 "},
        {128 / 255.0, F::Component, "0.5 "},
        {0, F::Component, "0 "},
        {64 / 255.0, F::Component, "0.25 "},
        {std::nan(""), F::Decimal, "0"},
        {HUGE_VAL, F::Component, "0 "},
        {12345678.901, F::Decimal, "12345678.9"},
        {1e15, F::Decimal, "1000000000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatPdfNumber(c.value, c.form), QByteArray(c.text)) << c.value;
    }
}

TEST_F(PrintPdfTest, CompressedOutputIsTheSameOnAnyNumberOfThreads) {
    auto build = [&](int threads) {
        w.Threads = threads;
        w.BeginDoc();
        for (int page = 1; page <= 40; ++page) {
            if (page > 1) {
                w.NewPage();
            }
            for (int line = 0; line < page * 3; ++line) {
                w.TextOut("linha " + QByteArray::number(line * page), false, 10, 20 + line, 100);
                w.DrawLine(0, line, 100, line);
            }
        }
        return finish();
    };
    const QByteArray serial = build(1);
    EXPECT_EQ(build(4), serial);
    EXPECT_EQ(build(0), serial);
    EXPECT_TRUE(pdf::pageOperators(serial, 40)
                    .startsWith("BT\r\n100 Tz\r\n/F5 12 Tf\r\n10 772 Td\r\n"
                                "(linha 0) Tj\r\nET\r\n0 792 m\r\n"));
    pdf::expectReadersAccept(w.FileName);
}

TEST_F(PrintPdfTest, CompressionIsDecidedWhenAPageOpens) {
    w.Compress = true;
    w.BeginDoc();
    w.TextOut("um", false, 10, 20, 0);
    w.Compress = false; // applies from the next page on
    w.NewPage();
    w.TextOut("dois", false, 10, 20, 0);
    const QByteArray file = finish();
    EXPECT_TRUE(pdf::object(file, 2).contains("/Filter [/FlateDecode]"));
    EXPECT_FALSE(pdf::object(file, 4).contains("/Filter"));
    EXPECT_TRUE(pdf::pageOperators(file, 1).contains("(um) Tj"));
    EXPECT_TRUE(pdf::object(file, 4).contains("(dois) Tj"));
    pdf::expectReadersAccept(w.FileName);
}

TEST_F(PrintPdfTest, IgnoresDrawingOutsideADocumentAndCanBeginAgain) {
    w.TextOut("fora", false, 0, 0, 0);
    w.NewPage();
    EXPECT_EQ(w.PageNumber(), 0);
    EXPECT_THROW(w.EndDoc(), std::logic_error);
    EXPECT_FALSE(QFile::exists(w.FileName));

    // An unfinished document is dropped by the next BeginDoc, pages still compressing included.
    w.BeginDoc();
    for (int i = 0; i < 30; ++i) {
        w.TextOut("rascunho", false, 0, 0, 0);
        w.NewPage();
    }
    w.BeginDoc();
    w.TextOut("final", false, 10, 20, 0);
    const QByteArray file = finish();
    EXPECT_EQ(pdf::xrefOffsets(file).size(), 23u);
    EXPECT_EQ(pdf::pageOperators(file, 1), "BT\r\n/F5 12 Tf\r\n10 772 Td\r\n(final) Tj\r\nET\r\n");
}

TEST_F(PrintPdfTest, FindsTheTextThroughAPdfReader) {
    w.BeginDoc();
    w.Font.Size = 10;
    w.TextOut("Relat\xf3rio de Vendas", false, 36, 72, 100);
    w.NewPage();
    w.TextOut("TOTAL 12,50", false, 36, 72, 58.48);
    finish();
    bool skipped = false;
    const QByteArray text = pdf::textOf(w.FileName, skipped);
    if (skipped) {
        GTEST_SKIP() << "pdftotext is not installed";
    }
    EXPECT_TRUE(text.contains("Relat\xc3\xb3rio de Vendas")) << text.data(); // cp1252 ó read back
    EXPECT_TRUE(text.contains("TOTAL 12,50")) << text.data();
    EXPECT_EQ(pdf::occurrences(text, "\f"), 2); // two pages
}

TEST_F(PrintPdfTest, AFailedSaveThrowsAndLeavesTheOldFileAlone) {
    // A missing folder: nothing can be created.
    w.FileName = dir.path(QStringLiteral("no/such/folder/out.pdf"));
    w.BeginDoc();
    try {
        w.EndDoc();
        ADD_FAILURE() << "EndDoc did not throw";
    } catch (const PdfWriteError& e) {
        EXPECT_EQ(e.error(), ENOENT);
        EXPECT_EQ(e.path(), w.FileName);
    }

    // A write that fails halfway (the file size limit is reached): the old file stays as it was.
    const QString old = dir.write(QStringLiteral("old.pdf"), "old contents");
    w.FileName = old;
    w.BeginDoc();
    for (int i = 0; i < 200; ++i) {
        w.TextOut("bastante texto para passar do limite", false, 0, double(i), 0);
    }
    int error = 0;
    {
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small = previous;
        small.rlim_cur = 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        try {
            w.EndDoc();
        } catch (const PdfWriteError& e) {
            error = e.error();
        }
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(TempDir::read(old), "old contents");
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.pdf")});

    // The writer is idle again and saves the next document normally.
    w.BeginDoc();
    EXPECT_NO_THROW(w.EndDoc());
    EXPECT_TRUE(TempDir::read(old).startsWith("%PDF-1.4\r\n"));
}
