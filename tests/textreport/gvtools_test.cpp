#include "textreport/gvtools.h"

#include "platform/text/codepages.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>

namespace zr::textreport {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (const int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

TEST(RemoverAcentos, ReplacesAccentedLettersByPlainOnes) {
    EXPECT_EQ(RemoverAcentos("A\xC7\xC3O"), "ACAO");
    EXPECT_EQ(RemoverAcentos("n\xBA 1\xAA"), "no 1a");
    EXPECT_EQ(RemoverAcentos("\xE1\xE0\xE3\xE2\xE4 \xE9\xE8\xEA\xEB \xED\xEC\xEE\xEF "
                             "\xF3\xF2\xF5\xF4\xF6 \xFA\xF9\xFB\xFC \xE7\xF1"),
              "aaaaa eeee iiii ooooo uuuu cn");
    EXPECT_EQ(RemoverAcentos("\xC1\xC0\xC3\xC2\xC4 \xC9\xC8\xCA\xCB \xCD\xCC\xCE\xCF "
                             "\xD3\xD2\xD5\xD4\xD6 \xDA\xD9\xDB\xDC \xC7\xD1"),
              "AAAAA EEEE IIII OOOOO UUUU CN");
    EXPECT_EQ(RemoverAcentos("1\xBC-\xBD-\xBE-\xA7"), "1 - - - ");
}

TEST(RemoverAcentos, LeavesEveryOtherByteAlone) {
    const std::string mapped = "\xE1\xE0\xE3\xE2\xE4\xAA\xE9\xE8\xEA\xEB\xED\xEC\xEE\xEF\xF3\xF2"
                               "\xF5\xF4\xF6\xBA\xFA\xF9\xFB\xFC\xC1\xC0\xC3\xC2\xC4\xC9\xC8\xCA"
                               "\xCB\xCD\xCC\xCE\xCF\xD3\xD2\xD5\xD4\xD6\xDA\xD9\xDB\xDC\xE7\xC7"
                               "\xF1\xD1\xBC\xBE\xBD\xA7";
    for (int b = 0; b < 256; ++b) {
        if (mapped.find(static_cast<char>(b)) == std::string::npos) {
            EXPECT_EQ(RemoverAcentos(bytes({b})), bytes({b})) << b;
        }
    }
    EXPECT_EQ(RemoverAcentos(""), "");
}

TEST(ConverterBox, MapsBoxLettersToTheirLineCharacters) {
    EXPECT_EQ(ConverterBox("a--b"), bytes({0xDA, 0xC4, 0xC4, 0xBF}));
    // What each letter draws, read back through code page 850.
    EXPECT_EQ(codepages::fromCp850(ConverterBox("=IABCDTV[]#-iabcdtv<>+")),
              QString::fromUtf8("═║╔╗╝╚╦╩╠╣╬─│┌┐┘└┬┴├┤┼"));
    EXPECT_EQ(ConverterBox("xyz EFG 0|/\\"), "xyz EFG 0|/\\");
    EXPECT_EQ(ConverterBox(QByteArrayView("\0\xC4", 2)), QByteArray("\0\xC4", 2));
}

struct CodesCase {
    const char* codes;
    QByteArray expected;
};

class CodigosParaBytesTest : public testing::TestWithParam<CodesCase> {};

TEST_P(CodigosParaBytesTest, TurnsDecimalCodesIntoBytes) {
    EXPECT_EQ(CodigosParaBytes(GetParam().codes), GetParam().expected) << GetParam().codes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodigosParaBytesTest,
    testing::Values(CodesCase{"27 80 27 15", bytes({27, 80, 27, 15})},
                    CodesCase{"27  69", bytes({27, 69})},        // empty token skipped
                    CodesCase{"27 300 69", bytes({27, 69})},     // out of range
                    CodesCase{"27 -1 69", bytes({27, 69})},      // out of range
                    CodesCase{" 65 ", bytes({65})},              // leading and trailing blank
                    CodesCase{"0 255 256", bytes({0, 255})},     // bounds, NUL kept
                    CodesCase{"+65 065 -0", bytes({65, 65, 0})}, // sign, leading zeros
                    CodesCase{"x 1b 6x $41 65", bytes({65})},    // not decimal numbers
                    CodesCase{"- + 65", bytes({65})},            // sign alone
                    CodesCase{"99999999999999999999999 65", bytes({65})}, // huge
                    CodesCase{"-2147483648 2147483648 66", bytes({66})},
                    CodesCase{"", QByteArray()}));

TEST(Caractere, GivesOneByteOnlyForZeroTo255) {
    EXPECT_EQ(Caractere(0), QByteArray(1, '\0'));
    EXPECT_EQ(Caractere(65), "A");
    EXPECT_EQ(Caractere(255), bytes({255}));
    EXPECT_TRUE(Caractere(-1).isEmpty());
    EXPECT_TRUE(Caractere(256).isEmpty());
    EXPECT_TRUE(Caractere(INT_MIN).isEmpty());
    EXPECT_TRUE(Caractere(INT_MAX).isEmpty());
}

TEST(CorParaHex, WritesRedGreenBlueInUpperCaseHex) {
    EXPECT_EQ(CorParaHex(QColor(0, 0, 255)), "0000FF");
    EXPECT_EQ(CorParaHex(QColor(0x12, 0xAB, 0xEF)), "12ABEF");
    EXPECT_EQ(CorParaHex(QColor(255, 0, 0)), "FF0000");
}

TEST(HexParaCor, ReadsSixHexDigits) {
    EXPECT_EQ(HexParaCor("0000FF"), QColor(0, 0, 255));
    EXPECT_EQ(HexParaCor("12abEF"), QColor(0x12, 0xAB, 0xEF));
    EXPECT_EQ(HexParaCor("FF000099"), QColor(255, 0, 0)) << "characters after the sixth ignored";
    for (const QColor& c : {QColor(1, 2, 3), QColor(254, 128, 0), QColor(Qt::white)}) {
        EXPECT_EQ(HexParaCor(CorParaHex(c)), c);
    }
}

TEST(HexParaCor, RejectsShortOrNonHexText) {
    EXPECT_EQ(HexParaCor(""), std::nullopt);
    EXPECT_EQ(HexParaCor("0000F"), std::nullopt);
    EXPECT_EQ(HexParaCor("00G0FF"), std::nullopt);
    EXPECT_EQ(HexParaCor("0000F "), std::nullopt);
    EXPECT_EQ(HexParaCor("+00000"), std::nullopt);
    EXPECT_EQ(HexParaCor(QByteArrayView("0000F\0", 6)), std::nullopt);
}

TEST(EscaparHTML, EscapesTheFiveMarkupCharactersOnly) {
    EXPECT_EQ(EscaparHTML("<b class=\"x\">Tom & Jerry's</b>"),
              "&lt;b class=&quot;x&quot;&gt;Tom &amp; Jerry&apos;s&lt;/b&gt;");
    EXPECT_EQ(EscaparHTML("A\xC7\xC3O \x80 &amp;"), "A\xC7\xC3O \x80 &amp;amp;");
    EXPECT_EQ(EscaparHTML(""), "");
}

TEST(EscaparPDF, EscapesDelimitersAndControlCharacters) {
    EXPECT_EQ(EscaparPDF("(a)\\b"), "\\(a\\)\\\\b");
    EXPECT_EQ(EscaparPDF("\b\n\f\r"), "\\b\\n\\f\\r");
    EXPECT_EQ(EscaparPDF("a\tb"), "a\\011b");
    EXPECT_EQ(EscaparPDF(QByteArrayView("\0\x1F\x7F", 3)), "\\000\\037\\177");
    EXPECT_EQ(EscaparPDF(" ~\xC7\x80\xFF"), " ~\xC7\x80\xFF");
}

TEST(Octal, WritesBase8WithLeadingZeros) {
    EXPECT_EQ(Octal(9, 3), "011");
    EXPECT_EQ(Octal(0, 3), "000");
    EXPECT_EQ(Octal(0, 0), "0");
    EXPECT_EQ(Octal(8, 1), "10");
    EXPECT_EQ(Octal(511, 2), "777");
    EXPECT_EQ(Octal(127, -4), "177");
    EXPECT_EQ(Octal(INT_MAX, 0), "17777777777");
    EXPECT_EQ(Octal(-8, 3), "-010");
    EXPECT_EQ(Octal(INT_MIN, 0), "-20000000000");
}

TEST(LimparNomeArquivo, DropsTheNineForbiddenCharactersOnly) {
    EXPECT_EQ(LimparNomeArquivo("Vendas 01/02: total"), "Vendas 0102 total");
    EXPECT_EQ(LimparNomeArquivo("a\"b*c/d:e<f>g?h\\i|j"), "abcdefghij");
    EXPECT_EQ(LimparNomeArquivo("\t.,;'!\xC7\xE3\x80"), "\t.,;'!\xC7\xE3\x80");
    EXPECT_EQ(LimparNomeArquivo("?*"), "");
}

} // namespace
} // namespace zr::textreport
