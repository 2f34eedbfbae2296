#include "platform/text/codepages.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <initializer_list>

namespace zr::codepages {
namespace {

QByteArray allBytes(int from = 0, int to = 255) {
    QByteArray out;
    for (int b = from; b <= to; ++b) {
        out.append(static_cast<char>(b));
    }
    return out;
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (const int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

bool isUndefinedCp1252(int b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

TEST(Cp1252, EveryByteSurvivesARoundTripThroughUnicode) {
    const QByteArray all = allBytes();
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    for (int b = 0; b < 256; ++b) {
        unsigned char back = 0;
        ASSERT_TRUE(unicodeToCp1252(cp1252ToUnicode(static_cast<unsigned char>(b)), back)) << b;
        EXPECT_EQ(back, b);
    }
}

TEST(Cp1252, AgreesWithTheSystemCodecOnDefinedBytes) {
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid()) {
        GTEST_SKIP() << "no windows-1252 codec in this Qt build";
    }
    for (int b = 0; b < 256; ++b) {
        if (isUndefinedCp1252(b)) {
            continue;
        }
        const QString expected = decoder.decode(bytes({b}));
        ASSERT_EQ(expected.size(), 1) << b;
        EXPECT_EQ(cp1252ToUnicode(static_cast<unsigned char>(b)), expected[0].unicode()) << b;
    }
}

TEST(Cp1252, DecodesPortugueseLettersAndSigns) {
    EXPECT_EQ(fromCp1252("A\xC7\xC3O n\xBA 1\xAA 30\xB0 \x80 \x93ok\x94"),
              QString::fromUtf8("AÇÃO nº 1ª 30° € “ok”"));
    EXPECT_EQ(fromCp1252(bytes({0x81, 0x9D})), QString::fromUtf8("\u0081\u009D"));
    EXPECT_TRUE(fromCp1252("").isEmpty());
}

TEST(Cp1252, EncodesUnrepresentableCharactersAsOneReplacementEach) {
    EXPECT_EQ(toCp1252(QString::fromUtf8("ação – €")), QByteArray("a\xE7\xE3o \x96 \x80"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("Ω≤")), QByteArray("??"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("x😀y"), '*'), QByteArray("x*y"));
    // A lone surrogate, and a C1 control that is not one of the undefined bytes.
    EXPECT_EQ(toCp1252(QString(QChar(0xD800)) + QChar(0x0080)), QByteArray("??"));

    unsigned char byte = 0x41;
    EXPECT_FALSE(unicodeToCp1252(u'\u0080', byte));
    EXPECT_EQ(byte, 0x41) << "left untouched on failure";
    EXPECT_TRUE(unicodeToCp1252(u'\u0178', byte));
    EXPECT_EQ(byte, 0x9F);
}

TEST(Cp850, AgreesWithTheSystemCodec) {
    QStringDecoder decoder("IBM850");
    if (!decoder.isValid()) {
        GTEST_SKIP() << "no IBM850 codec in this Qt build";
    }
    const QByteArray high = allBytes(0x80, 0xFF);
    EXPECT_EQ(fromCp850(high), decoder.decode(high));
    EXPECT_EQ(fromCp850("Total: 12,50"), QStringLiteral("Total: 12,50"));
}

TEST(Cp1252ToCp850, KeepsEveryLatin1CharacterAndTheLength) {
    const QByteArray ascii = allBytes(0x00, 0x7F);
    EXPECT_EQ(cp1252ToCp850(ascii), ascii);
    const QByteArray latin1 = allBytes(0xA0, 0xFF);
    const QByteArray converted = cp1252ToCp850(latin1);
    ASSERT_EQ(converted.size(), latin1.size());
    EXPECT_EQ(fromCp850(converted), fromCp1252(latin1));
}

TEST(Cp1252ToCp850, PlacesPortugueseLettersAtTheirCp850Codes) {
    // Ç ã Ã é ó Ô õ ú ª º °
    EXPECT_EQ(cp1252ToCp850("\xC7\xE3\xC3\xE9\xF3\xD4\xF5\xFA\xAA\xBA\xB0"),
              bytes({0x80, 0xC6, 0xC7, 0x82, 0xA2, 0xE2, 0xE4, 0xA3, 0xA6, 0xA7, 0xF8}));
}

TEST(Cp1252ToCp850, GivesCp1252AdditionsAPrintableLookAlike) {
    // Curly quotes, dashes, bullet, euro, f with hook, undefined byte.
    EXPECT_EQ(cp1252ToCp850("\x91\x92\x93\x94\x96\x97\x95\x80\x83\x81"),
              bytes({'\'', '\'', '"', '"', '-', '-', 0xFA, 'E', 0x9F, '?'}));
    const QByteArray converted = cp1252ToCp850(allBytes(0x80, 0x9F));
    ASSERT_EQ(converted.size(), 32);
    for (const char c : converted) {
        EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "no control characters reach a printer";
    }
}

// Upper and lower case must agree with Unicode wherever the counterpart exists in cp1252; the
// rest (sharp s, micro sign, multiplication sign, ...) stays as it is.
TEST(Cp1252Case, FollowsUnicodeCaseWhereCp1252HasTheCounterpart) {
    static_assert(foldCp1252('Q') == 'q', "usable at compile time");
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const QChar ch(cp1252ToUnicode(byte));
        unsigned char upper = byte;
        unicodeToCp1252(ch.toUpper().unicode(), upper);
        unsigned char lower = byte;
        unicodeToCp1252(ch.toLower().unicode(), lower);
        EXPECT_EQ(static_cast<unsigned char>(upperCp1252(bytes({b}))[0]), upper) << b;
        EXPECT_EQ(foldCp1252(byte), lower) << b;
    }
    EXPECT_EQ(upperCp1252(QByteArrayView("a\xE7\0\xFF", 4)), QByteArray("A\xC7\0\x9F", 4));
}

} // namespace
} // namespace zr::codepages
