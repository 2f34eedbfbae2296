#include "reportlib/document/qdx_unicode_utils.h"

#include "platform/text/code_page_conversion.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace zr::reportlib {
namespace {

QStringList entries(const TWideStrings& list) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) {
        out << list.Strings(i);
    }
    return out;
}

struct SplitCase {
    const char16_t* text;
    QStringList expected;
};
class TWideStringsSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TWideStringsSplit, SplitsLinesLikeTheTextProperty) {
    TWideStrings list;
    list.SetText(QString::fromUtf16(GetParam().text));
    EXPECT_EQ(entries(list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, TWideStringsSplit,
    ::testing::Values(SplitCase{u"a\r\nb", {"a", "b"}}, SplitCase{u"a\r\n", {"a"}},
                      SplitCase{u"a\n\nb", {"a", "", "b"}}, SplitCase{u"", {}},
                      SplitCase{u"a\r\n\r\nb", {"a", "", "b"}},
                      SplitCase{u"a\rb\u2028c", {"a", "b", "c"}},
                      SplitCase{u"a\r\n\u2028b", {"a", "b"}}, // CR, LF, U+2028 skipped once each
                      SplitCase{u"a\n\rb", {"a", "", "b"}}));

TEST(TWideStrings, SplittingStopsAtANullCharacter) {
    TWideStrings list;
    list.SetText(QStringView(u"a\nb\0c", 5));
    EXPECT_EQ(entries(list), QStringList({"a", "b"}));
}

TEST(TWideStrings, TextEndsEveryEntryWithCrLf) {
    TWideStrings list;
    EXPECT_EQ(list.Text(), "");
    list.SetText(u"a\r\n\r\nb");
    EXPECT_EQ(list.Text(), "a\r\n\r\nb\r\n");
}

TEST(TWideStrings, InsertReplacesInsideAppendsAtTheEndAndRejectsOthers) {
    TWideStrings list;
    EXPECT_EQ(list.Add("one"), 0);
    list.Insert(0, "x");
    EXPECT_EQ(entries(list), QStringList({"x"}));
    list.SetStrings(1, "y");
    EXPECT_EQ(entries(list), QStringList({"x", "y"}));
    try {
        list.Insert(3, "z");
        ADD_FAILURE();
    } catch (const TWideStringsOutOfBounds& e) {
        EXPECT_STREQ(e.what(), "Wide String Out of Bounds");
    }
    EXPECT_THROW(list.Insert(-1, "z"), TWideStringsOutOfBounds);
    EXPECT_THROW(list.Delete(2), std::out_of_range);
}

TEST(TWideStrings, OutOfRangeReadsGiveEmptyValuesAndObjectsAreKept) {
    TWideStrings list;
    int tag = 0;
    list.AddObject("a", &tag);
    EXPECT_EQ(list.Objects(0), &tag);
    EXPECT_EQ(list.Strings(5), "");
    EXPECT_EQ(list.Objects(-1), nullptr);
    list.SetObjects(5, &tag); // ignored
    EXPECT_EQ(list.IndexOf("a"), 0);
    EXPECT_EQ(list.IndexOf("A"), -1);

    TWideStrings copy;
    copy.Assign(list);
    EXPECT_EQ(copy.Objects(0), &tag);
    copy.Delete(0);
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(list.Count(), 1);
}

TEST(TWideStrings, ConvertsEightBitListsThroughTheSystemCodePage) {
    TWideStrings list;
    list.Assign({QByteArray("caf\xE9"), QByteArray("\x80")});
    EXPECT_EQ(entries(list), QStringList({QString::fromUtf8("café"), QString::fromUtf8("€")}));
    EXPECT_EQ(list.AssignTo(), QList<QByteArray>({"caf\xE9", "\x80"}));
    EXPECT_EQ(list.Utf8().at(0), "caf\xC3\xA9");
}

TEST(TWideStrings, StreamsAreUtf16WithoutMarkAndReadWithOrWithoutIt) {
    TWideStrings list;
    list.SetText(u"\u00e9\u4e2d");
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(list.SaveToStream(out));
    EXPECT_EQ(out.data(), QByteArray("\xE9\x00\x2D\x4E\r\x00\n\x00", 8));

    QByteArray marked = QByteArray("\xFF\xFE") + out.data();
    QBuffer in(&marked);
    in.open(QIODevice::ReadOnly);
    TWideStrings back;
    back.LoadFromStream(in);
    EXPECT_EQ(entries(back), entries(list));

    QByteArray plain("\xFF\xFE"); // exactly two bytes: 8-bit text
    QBuffer in2(&plain);
    in2.open(QIODevice::ReadOnly);
    back.LoadFromStream(in2);
    EXPECT_EQ(entries(back), QStringList({QString::fromUtf8("ÿþ")}));
}

TEST(CodePages, CharsetsMapToCodePagesAndLocales) {
    EXPECT_EQ(CodePageOfCharset(1), 1252u);
    EXPECT_EQ(CodePageOfCharset(77), 2u);
    EXPECT_EQ(CodePageOfCharset(255), 1u);
    EXPECT_EQ(CodePageOfCharset(204), 1251u);
    EXPECT_EQ(CodePageOfCharset(238), 1250u);
    EXPECT_THROW(CodePageOfCharset(99), std::invalid_argument);
    EXPECT_EQ(LocaleOfCharset(178), 13313);
    EXPECT_EQ(LocaleOfCharset(0), std::nullopt);
}

TEST(CodePages, WidenAndNarrowUseTheGivenOrTheCharsetsCodePage) {
    EXPECT_EQ(WidenText("\xC0", 204, 0), QString::fromUtf8("А")); // Cyrillic A in cp1251
    EXPECT_EQ(WidenText("\xC0", 204, 1252), QString::fromUtf8("À"));
    EXPECT_EQ(NarrowText(QString::fromUtf8("Ж€"), 204, 0), "\xC6\x88");
    EXPECT_EQ(NarrowText(QString::fromUtf8("Ж"), 0, 0), "?");
    EXPECT_EQ(WidenText("\x82\xA0", 128, 0), QString::fromUtf8("あ")); // Shift-JIS
    EXPECT_EQ(WidenText("", 204, 0), "");
    EXPECT_EQ(NarrowText(QString::fromUtf8("é"), 255, 0), "\x82");      // OEM (850)
    EXPECT_THROW(WidenText("a", 2, 0), codepages::UnsupportedCodePage); // symbol
}

} // namespace
} // namespace zr::reportlib
