#include "reportlib/document/qdx_xml.h"

#include "temp_dir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace zr::reportlib {
namespace {

const QByteArray kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::unique_ptr<QBuffer> streamOf(const QByteArray& bytes) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Loads a document body (the header is added) fully.
void load(TqdxXMLDocument& doc, const QByteArray& body) {
    doc.LoadFromBytes(kHeader + body);
}

void expectInvalid(const QByteArray& bytes) {
    TqdxXMLDocument doc;
    try {
        doc.LoadFromBytes(bytes);
        ADD_FAILURE() << "accepted: " << bytes.constData();
    } catch (const TqdxInvalidXMLException& e) {
        EXPECT_STREQ(e.what(), "Invalid file format");
    }
}

// ---- escaping ---------------------------------------------------------------------------------

TEST(EncodeXMLText, ShortFormKeepsAmpersandsLongFormEscapesThem) {
    EXPECT_EQ(EncodeXMLText("a&b"), "a&b");
    const QByteArray pad31(29, 'x');
    EXPECT_EQ(EncodeXMLText(pad31 + "&b"), pad31 + "&b"); // 31 bytes: short form
    const QByteArray pad32(30, 'x');
    EXPECT_EQ(EncodeXMLText(pad32 + "&b"), pad32 + "&#38;b"); // 32 bytes: long form
}

TEST(EncodeXMLText, EscapesSpecialCharactersAndQuotEntityInBothForms) {
    EXPECT_EQ(EncodeXMLText("<x>"), "&#60;x&#62;");
    EXPECT_EQ(EncodeXMLText("\r\n"), "&#13;&#10;");
    EXPECT_EQ(EncodeXMLText("say \"hi\""), "say &#34;hi&#34;");
    EXPECT_EQ(EncodeXMLText("&quot;"), "&#34;");
    const QByteArray pad(40, 'y');
    EXPECT_EQ(EncodeXMLText(pad + "&quot;&"), pad + "&#34;&#38;");
    EXPECT_EQ(EncodeXMLText(""), "");
}

TEST(EncodeXMLText, LongValueMadeOfSpecialsGrowsPastItsInitialBuffer) {
    const QByteArray specials = QByteArray("<>\"\r\n&").repeated(200);
    const QByteArray encoded = EncodeXMLText(specials);
    EXPECT_EQ(encoded.size(), 200 * (6 * 5)); // six specials, five bytes each
    EXPECT_EQ(DecodeXMLText(encoded), specials);
}

struct DecodeCase {
    const char* in;
    const char* out;
};
class DecodeXMLTextCases : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeXMLTextCases, ResolvesReferencesOnce) {
    EXPECT_EQ(DecodeXMLText(GetParam().in), QByteArray(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DecodeXMLTextCases,
    ::testing::Values(DecodeCase{"&#65;&lt;&amp;&quot;&gt;", "A<&\">"},
                      DecodeCase{"&#38;#60;", "&#60;"}, // produced '&' not re-examined
                      DecodeCase{"&amp;lt;", "&lt;"},
                      DecodeCase{"&apos;", "&apos;"}, // other named references stay
                      DecodeCase{"&", "&"}, DecodeCase{"a&", "a&"},
                      DecodeCase{"x&lt", "x&lt"}, // no ';': not a reference
                      DecodeCase{"&#321;", "A"},  // low eight bits of 321
                      DecodeCase{"&#5", "&#5"},   // fewer than three follow
                      DecodeCase{"&#12 and no end", "&#12 and no end"},
                      DecodeCase{"abc&#59;", "abc;"}, // reference ending at the last byte
                      DecodeCase{"", ""}));

TEST(DecodeXMLText, NonNumericCharacterReferenceIsAConversionError) {
    EXPECT_THROW(DecodeXMLText("&#x41;"), std::invalid_argument);
    EXPECT_THROW(DecodeXMLText("&#;abc"), std::invalid_argument);
    EXPECT_THROW(DecodeXMLText("&#99999999999;"), std::invalid_argument);
}

TEST(DecodeXMLText, UndoesEncodingForEveryByteInBothForms) {
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all.append(char(i));
    }
    EXPECT_EQ(DecodeXMLText(EncodeXMLText(all)), all);
    for (int i = 0; i < 256; ++i) {
        const QByteArray one(1, char(i));
        EXPECT_EQ(DecodeXMLText(EncodeXMLText(one)), one) << i;
    }
}

TEST(VariantToXMLText, WritesNumbersBooleansAndEscapedStrings) {
    EXPECT_EQ(VariantToXMLText(QVariant(-42)), "-42");
    EXPECT_EQ(VariantToXMLText(QVariant(true)), "1");
    EXPECT_EQ(VariantToXMLText(QVariant(false)), "0");
    EXPECT_EQ(VariantToXMLText(QVariant(QStringLiteral("a\"b"))), "a&#34;b");
    EXPECT_EQ(VariantToXMLText(QVariant()), "");
}

// ---- attributes ------------------------------------------------------------------------------

TEST(TqdxXMLItemProp, FindsNamesIgnoringCaseOnlyAtAttributeStarts) {
    TqdxXMLItem item;
    item.Text = "left=\"1\" Left2=\"2\" xtop=\"3\" w = \"4\" h='5' open=\"6";
    EXPECT_EQ(item.Prop("LEFT"), "1");
    EXPECT_EQ(item.Prop("left2"), "2");
    EXPECT_EQ(item.Prop("top"), "");  // only inside another name
    EXPECT_EQ(item.Prop("w"), "");    // spaces around '='
    EXPECT_EQ(item.Prop("h"), "");    // single quotes
    EXPECT_EQ(item.Prop("open"), ""); // no closing quote
    item.Text = "t=\"a&#34;b&lt;\"";
    EXPECT_EQ(item.Prop("t"), "a\"b<");
}

TEST(TqdxXMLItemProp, SettingReplacesInPlaceOrAppends) {
    TqdxXMLItem item;
    item.Text = "left=\"1\" Left2=\"2\"";
    item.SetProp("left", "5");
    EXPECT_EQ(item.Text, "left=\"5\" Left2=\"2\"");
    item.SetProp("Left2", "<\"");
    EXPECT_EQ(item.Text, "left=\"5\" Left2=\"&#60;&#34;\"");
    EXPECT_EQ(item.Prop("left2"), "<\"");

    TqdxXMLItem empty;
    empty.SetProp("top", "7");
    EXPECT_EQ(empty.Text, "top=\"7\"");
    empty.SetProp("w", "8");
    EXPECT_EQ(empty.Text, "top=\"7\" w=\"8\"");

    TqdxXMLItem open;
    open.Text = "a=\"1\" b=\"unclosed";
    open.SetProp("b", "2");
    EXPECT_EQ(open.Text, "a=\"1\" b=\"2\"");
}

// ---- the element tree ------------------------------------------------------------------------

TEST(TqdxXMLItem, AddItemMovesElementsBetweenParentsAndToTheEnd) {
    TqdxXMLItem root;
    TqdxXMLItem& a = root.Add();
    a.Name = "a";
    TqdxXMLItem& b = root.Add();
    b.Name = "b";
    TqdxXMLItem& c = a.Add();
    c.Name = "c";

    root.AddItem(a); // re-adding moves it to the end
    EXPECT_EQ(root.IndexOf(a), 1);
    EXPECT_EQ(root.IndexOf(b), 0);

    b.AddItem(c);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(c.Parent(), &b);

    root.InsertItem(0, c);
    EXPECT_EQ(root.IndexOf(c), 0);
    EXPECT_EQ(b.Count(), 0);

    EXPECT_THROW(c.AddItem(c), std::invalid_argument);
    EXPECT_THROW(a.Add().AddItem(a), std::invalid_argument); // would become its own descendant
    EXPECT_THROW(root.Items(3), std::out_of_range);
    EXPECT_THROW(root.Items(-1), std::out_of_range);
}

TEST(TqdxXMLItem, FindMatchesNamesIgnoringCaseAndFindItemCreatesMissing) {
    TqdxXMLItem root;
    root.Add().Name = "Page0";
    EXPECT_EQ(root.Find("PAGE0"), 0);
    EXPECT_EQ(root.Find("page1"), -1);
    TqdxXMLItem& created = root.FindItem("page1");
    EXPECT_EQ(created.Name, "page1");
    EXPECT_EQ(&root.FindItem("PAGE1"), &created);
    EXPECT_EQ(root.Count(), 2);
}

TEST(TqdxXMLItem, ClearLeavesUnloadableElementNotLoaded) {
    TqdxXMLItem item;
    item.Add();
    item.Clear();
    EXPECT_TRUE(item.Loaded);
    item.Add();
    item.Unloadable = true;
    item.Clear();
    EXPECT_EQ(item.Count(), 0);
    EXPECT_FALSE(item.Loaded);
}

TEST(TqdxXMLItem, OffsetKeepsFortyBits) {
    TqdxXMLItem item;
    item.SetOffset((qint64(0x12) << 32) | 0xFFFFFFF0);
    EXPECT_EQ(item.Offset(), (qint64(0x12) << 32) | 0xFFFFFFF0);
}

TEST(TqdxXMLItem, VeryDeepTreeIsFreedWithoutRecursion) {
    auto root = std::make_unique<TqdxXMLItem>();
    TqdxXMLItem* leaf = root.get();
    for (int i = 0; i < 500000; ++i) {
        leaf = &leaf->Add();
    }
    root.reset(); // must not exhaust the stack
    SUCCEED();
}

// ---- reading ----------------------------------------------------------------------------------

TEST(TqdxXMLReader, EmptyElementFormsReadWithoutChildren) {
    TqdxXMLDocument doc;
    load(doc, "<r><a/><a x=\"1\"/><a x=\"1\"></a><a x=\"2\" ></a></r>");
    const TqdxXMLItem& r = doc.Root();
    ASSERT_EQ(r.Count(), 4);
    EXPECT_EQ(r.Items(0).Name, "a");
    EXPECT_EQ(r.Items(0).Text, "");
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(r.Items(i).Name, "a");
        EXPECT_EQ(r.Items(i).Count(), 0);
    }
    EXPECT_EQ(r.Items(1).Text, "x=\"1\"");
    EXPECT_EQ(r.Items(2).Text, "x=\"1\"");
    EXPECT_EQ(r.Items(3).Text, "x=\"2\""); // one trailing space dropped
}

TEST(TqdxXMLReader, EndTagsMatchIgnoringCaseAndMismatchFails) {
    TqdxXMLDocument doc;
    load(doc, "<a><b/></A>");
    EXPECT_EQ(doc.Root().Name, "a");
    EXPECT_EQ(doc.Root().Count(), 1);
    expectInvalid(kHeader + "<a><b/></c>");
}

TEST(TqdxXMLReader, InputEndingBetweenTagsLoadsWhatWasRead) {
    TqdxXMLDocument doc;
    load(doc, "<a><b/><c x=\"1\"><d/>");
    ASSERT_EQ(doc.Root().Count(), 2);
    EXPECT_EQ(doc.Root().Items(1).Items(0).Name, "d");
}

TEST(TqdxXMLReader, SkipsCommentsCharacterDataAndByteOrderMark) {
    TqdxXMLDocument doc;
    doc.LoadFromBytes("\xEF\xBB\xBF" + kHeader +
                      "\r\n<!-- head -->\r\n<a>text<!-- x ---><b/> still comment --><c/>"
                      "<!----><!-- a > b --></a>");
    ASSERT_EQ(doc.Root().Count(), 1);
    EXPECT_EQ(doc.Root().Items(0).Name, "c");
}

TEST(TqdxXMLReader, CommentRunningToTheEndIsNotAnError) {
    TqdxXMLDocument doc;
    load(doc, "<a><b/><!-- never closed <c/>");
    EXPECT_EQ(doc.Root().Count(), 1);
}

TEST(TqdxXMLReader, HeaderSetsLegacyFlag) {
    TqdxXMLDocument doc;
    EXPECT_TRUE(doc.LegacyHeader);
    doc.LoadFromBytes("<?xml version=\"1.1\" encoding=\"utf-8\"?><a/>");
    EXPECT_FALSE(doc.LegacyHeader);
    doc.LoadFromBytes("<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>");
    EXPECT_TRUE(doc.LegacyHeader);
    doc.LoadFromBytes("<?xml version=\"1.0\" standalone=\"yes\"?><a/>");
    EXPECT_FALSE(doc.LegacyHeader);
    doc.LoadFromBytes("<?xml encoding=\"utf-8\"?><a/>");
    EXPECT_FALSE(doc.LegacyHeader);
}

TEST(TqdxXMLReader, RejectsInputOutsideTheDialect) {
    expectInvalid("");
    expectInvalid("<a/>"); // no header
    expectInvalid("just text");
    expectInvalid(kHeader + "<a <b/></a>");   // '<' inside a tag
    expectInvalid(kHeader + "<a><b x=\"1\""); // ends inside a tag
    expectInvalid("<?xml version=\"1.0\"");   // ends inside the header
}

TEST(TqdxXMLReader, FailedLoadKeepsThePartialTree) {
    TqdxXMLDocument doc;
    EXPECT_THROW(doc.LoadFromBytes(kHeader + "<a><b/><c></d></a>"), TqdxInvalidXMLException);
    EXPECT_EQ(doc.Root().Name, "a");
    EXPECT_GE(doc.Root().Count(), 1);
}

TEST(TqdxXMLReader, ReadsOnlyTheFirstElementAndLeavesStreamAfterIt) {
    const QByteArray first = kHeader + "<a><b/></a>";
    QByteArray bytes = first + "<z/>trailing";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TqdxXMLDocument doc;
    doc.LoadFromStream(buffer);
    EXPECT_EQ(doc.Root().Count(), 1);
    EXPECT_EQ(buffer.pos(), first.size());
}

TEST(TqdxXMLReader, OnlyASpaceSeparatesNameFromAttributes) {
    TqdxXMLDocument doc;
    load(doc, "<a\tx=\"1\"/>");
    EXPECT_EQ(doc.Root().Name, "a\tx=\"1\"");
    EXPECT_EQ(doc.Root().Text, "");
}

TEST(TqdxXMLReader, NestingUpToTheLimitLoadsAndDeeperFailsWithoutCrashing) {
    const int depth = TqdxXMLItem::kMaxDepth;
    TqdxXMLDocument doc;
    load(doc, QByteArray("<e>").repeated(depth) + QByteArray("</e>").repeated(depth));
    const TqdxXMLItem* item = &doc.Root();
    int levels = 1;
    while (item->Count() > 0) {
        item = &item->Items(0);
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_FALSE(doc.SaveToBytes().isEmpty());

    expectInvalid(kHeader + QByteArray("<e>").repeated(depth + 1));
    expectInvalid(kHeader + QByteArray("<e>").repeated(300000));
}

// ---- writing ---------------------------------------------------------------------------------

TqdxXMLDocument& sampleTree(TqdxXMLDocument& doc) {
    TqdxXMLItem& root = doc.Root();
    root.Name = "report";
    root.SetProp("Name", "R \"1\"");
    TqdxXMLItem& band = root.Add();
    band.Name = "band";
    band.Text = " Top=\"3\"";
    band.Add().Name = "memo";
    TqdxXMLItem& note = root.Add();
    note.Name = "note";
    note.Value = "raw & <text>";
    return doc;
}

TEST(TqdxXMLWriter, WithoutIndentationWritesOneLine) {
    TqdxXMLDocument doc;
    EXPECT_EQ(sampleTree(doc).SaveToBytes(),
              kHeader + "<report Name=\"R &#34;1&#34;\"><band Top=\"3\"><memo/></band>"
                        "<note>raw & <text></note></report>");
}

TEST(TqdxXMLWriter, WithIndentationIndentsTwoSpacesPerLevelAndEndsLinesWithCrLf) {
    TqdxXMLDocument doc;
    sampleTree(doc).IndentOutput = true;
    EXPECT_EQ(doc.SaveToBytes(), kHeader + "\r\n<report Name=\"R &#34;1&#34;\">\r\n"
                                           "  <band Top=\"3\">\r\n    <memo/>\r\n  </band>\r\n"
                                           "  <note>raw & <text></note>\r\n</report>\r\n");
}

TEST(TqdxXMLWriter, RoundTripKeepsNamesAttributesAndStructure) {
    TqdxXMLDocument doc;
    sampleTree(doc).IndentOutput = true;
    doc.Root().Items(1).Value.clear();
    TqdxXMLItem* item = &doc.Root();
    for (int i = 0; i < 2000; ++i) { // crosses the 4096-byte write buffer many times
        TqdxXMLItem& child = doc.Root().Items(0).Add();
        child.Name = "v" + QByteArray::number(i);
        child.SetProp("Text", QByteArray("line\r\n&\"<>").repeated(i % 7));
        item = &child;
    }
    TqdxXMLDocument back;
    back.LoadFromBytes(doc.SaveToBytes());
    EXPECT_EQ(back.Root().Prop("name"), "R \"1\"");
    ASSERT_EQ(back.Root().Items(0).Count(), 2001);
    EXPECT_EQ(back.Root().Items(0).Items(2000).Prop("Text"), item->Prop("Text"));
    back.IndentOutput = true;
    EXPECT_EQ(back.SaveToBytes(), doc.SaveToBytes());
}

TEST(TqdxXMLWriter, SavesTreesDeeperThanTheReaderAccepts) {
    TqdxXMLDocument doc;
    TqdxXMLItem* item = &doc.Root();
    for (int i = 0; i < 200000; ++i) {
        item->Name = "e";
        item = &item->Add();
    }
    item->Name = "e";
    const QByteArray bytes = doc.SaveToBytes();
    EXPECT_EQ(bytes.count("</e>"), 200000);
    EXPECT_TRUE(bytes.contains("<e><e/></e>"));
    expectInvalid(bytes);
}

TEST(TqdxXMLWriter, SavesToAFile) {
    test::TempDir dir;
    TqdxXMLDocument doc;
    const QString path = dir.path("out.xml");
    ASSERT_TRUE(sampleTree(doc).SaveToFile(path));
    EXPECT_EQ(test::TempDir::read(path), doc.SaveToBytes());
    EXPECT_FALSE(doc.SaveToFile(dir.path("missing/out.xml")));
}

// ---- deferred subtrees -------------------------------------------------------------------------

QByteArray pagedReport() {
    TqdxXMLDocument doc;
    doc.Root().Name = "preparedreport";
    for (int p = 0; p < 3; ++p) {
        TqdxXMLItem& page = doc.Root().Add();
        page.Name = "page" + QByteArray::number(p);
        page.Unloadable = p >= 1;
        for (int o = 0; o < 3; ++o) {
            TqdxXMLItem& memo = page.Add();
            memo.Name = "m";
            memo.SetProp("Text", "p" + QByteArray::number(p) + "o" + QByteArray::number(o));
        }
    }
    return doc.SaveToBytes();
}

TEST(TqdxXMLDeferred, UnloadablePageWithoutAttributesIsMarkedRightAfterItsName) {
    const QByteArray bytes = pagedReport();
    EXPECT_TRUE(bytes.contains("<page0><m "));
    EXPECT_TRUE(bytes.contains("<page1 ld=\"0\"><m Text=\"p1o0\"/>"));
    EXPECT_TRUE(bytes.contains("</page1>"));
}

TEST(TqdxXMLDeferred, FullLoadDropsTheMarkAndKeepsChildren) {
    TqdxXMLDocument doc;
    doc.LoadFromBytes(pagedReport());
    const TqdxXMLItem& page = doc.Root().Items(1);
    EXPECT_EQ(page.Text, "");
    EXPECT_EQ(page.Count(), 3);
    EXPECT_TRUE(page.Loaded);
    EXPECT_FALSE(page.Unloadable);
    EXPECT_FALSE(doc.SaveToBytes().contains("ld="));
}

TEST(TqdxXMLDeferred, PartialLoadDefersMarkedPagesUntilFetched) {
    const QByteArray bytes = pagedReport();
    TqdxXMLDocument doc;
    doc.LoadFromStream(streamOf(bytes), true);
    TqdxXMLItem& page0 = doc.Root().Items(0);
    TqdxXMLItem& page2 = doc.Root().Items(2);
    EXPECT_EQ(page0.Count(), 3);
    EXPECT_FALSE(page0.Unloadable);
    EXPECT_EQ(page2.Count(), 0);
    EXPECT_TRUE(page2.Unloadable);
    EXPECT_FALSE(page2.Loaded);
    EXPECT_EQ(page2.Text, "");
    EXPECT_EQ(bytes.mid(page2.Offset(), 7), "<page2 ");

    // The whole document can still be saved, reading the deferred pages back.
    EXPECT_EQ(doc.SaveToBytes(), bytes);

    page2.SetProp("Seen", "1"); // changed while out of memory
    doc.FetchItem(page2);
    EXPECT_TRUE(page2.Loaded);
    ASSERT_EQ(page2.Count(), 3);
    EXPECT_EQ(page2.Items(2).Prop("text"), "p2o2");
    EXPECT_EQ(page2.Text, "Seen=\"1\"");
}

TEST(TqdxXMLDeferred, MarkIsRecognisedAtTheStartAfterASpaceAndInAnyCaseOnly) {
    TqdxXMLDocument doc;
    doc.LoadFromStream(streamOf(kHeader +
                                "<r><p ld=\"0\" x=\"1\"><c/></p><q x=\"1\" LD=\"0\"><c/></q>"
                                "<s old=\"0\"><c/></s><t x=\"1\"ld=\"0\"><c/></t>"
                                "<u ld=\"0\"/></r>"),
                       true);
    const TqdxXMLItem& r = doc.Root();
    EXPECT_FALSE(r.Items(0).Loaded);
    EXPECT_EQ(r.Items(0).Text, " x=\"1\"");
    EXPECT_EQ(r.Items(0).Prop("x"), "1");
    EXPECT_FALSE(r.Items(1).Loaded);
    EXPECT_EQ(r.Items(1).Text, "x=\"1\"");
    EXPECT_TRUE(r.Items(2).Loaded); // "old" is another attribute
    EXPECT_EQ(r.Items(2).Count(), 1);
    EXPECT_TRUE(r.Items(3).Loaded); // no space before the mark
    EXPECT_TRUE(r.Items(4).Unloadable);
    EXPECT_EQ(r.Items(4).Text, "");
}

TEST(TqdxXMLDeferred, UnloadableElementWithAttributesReadsBackDeferred) {
    TqdxXMLDocument doc;
    doc.Root().Name = "r";
    TqdxXMLItem& page = doc.Root().Add();
    page.Name = "TqdxReportPage";
    page.SetProp("Width", "210");
    page.Unloadable = true;
    page.Add().Name = "band";
    TqdxXMLDocument back;
    back.LoadFromStream(streamOf(doc.SaveToBytes()), true);
    EXPECT_FALSE(back.Root().Items(0).Loaded);
    EXPECT_EQ(back.Root().Items(0).Prop("width"), "210");
}

TEST(TqdxXMLDeferred, ReleasedSubtreesGoToTheSwapFileAndComeBack) {
    test::TempDir dir;
    TqdxXMLDocument doc;
    doc.TempDir = dir.root();
    doc.LoadFromBytes(pagedReport());
    TqdxXMLItem& page0 = doc.Root().Items(0);
    doc.ReleaseItem(page0); // not unloadable: stays
    EXPECT_EQ(page0.Count(), 3);
    EXPECT_TRUE(doc.SwapFileName().isEmpty());

    // Pages big enough to cross the reader's blocks when read back.
    const QByteArray big = QByteArray("x&<>\"").repeated(20000);
    for (int p = 0; p < 3; ++p) {
        TqdxXMLItem& page = doc.Root().Items(p);
        page.Unloadable = true;
        page.Items(1).SetProp("Big", big);
    }
    const QByteArray expected = doc.SaveToBytes();
    doc.ReleaseItem(doc.Root().Items(2));
    doc.ReleaseItem(doc.Root().Items(0));
    const QString swap = doc.SwapFileName();
    EXPECT_TRUE(swap.startsWith(QDir(dir.root()).filePath("qdx")));
    EXPECT_TRUE(QFile::exists(swap));
    EXPECT_EQ(doc.Root().Items(0).Count(), 0);
    EXPECT_FALSE(doc.Root().Items(2).Loaded);
    EXPECT_EQ(doc.SaveToBytes(), expected);

    doc.FetchItem(doc.Root().Items(0));
    ASSERT_EQ(doc.Root().Items(0).Count(), 3);
    EXPECT_EQ(doc.Root().Items(0).Items(1).Prop("big"), big);
    doc.ReleaseItem(doc.Root().Items(0)); // released twice: appended again
    doc.FetchItem(doc.Root().Items(2));
    doc.FetchItem(doc.Root().Items(0));
    EXPECT_EQ(doc.SaveToBytes(), expected);

    doc.Clear();
    EXPECT_FALSE(QFile::exists(swap));
    EXPECT_TRUE(doc.SwapFileName().isEmpty());
}

TEST(TqdxXMLDeferred, AttributeTextChangedWhileReleasedIsSaved) {
    TqdxXMLDocument doc;
    doc.LoadFromBytes(pagedReport());
    TqdxXMLItem& page = doc.Root().Items(1);
    page.Unloadable = true;
    doc.ReleaseItem(page);
    page.SetProp("Copies", "2");
    TqdxXMLDocument back;
    back.LoadFromBytes(doc.SaveToBytes());
    EXPECT_EQ(back.Root().Items(1).Prop("copies"), "2");
    EXPECT_EQ(back.Root().Items(1).Count(), 3);
}

TEST(TqdxXMLDeferred, PartiallyLoadedDocumentCanAlsoReleaseToASwapFile) {
    const QByteArray bytes = pagedReport();
    TqdxXMLDocument doc;
    doc.LoadFromStream(streamOf(bytes), true);
    TqdxXMLItem& page1 = doc.Root().Items(1);
    doc.FetchItem(page1);
    page1.Items(0).SetProp("Text", "edited");
    doc.ReleaseItem(page1);
    EXPECT_FALSE(doc.SwapFileName().isEmpty());
    doc.FetchItem(doc.Root().Items(2)); // still from the loaded stream
    EXPECT_EQ(doc.Root().Items(2).Items(0).Prop("text"), "p2o0");
    doc.FetchItem(page1); // from the swap file
    EXPECT_EQ(page1.Items(0).Prop("text"), "edited");
}

TEST(TqdxXMLDeferred, LoadingAgainDropsTheSourceAndSwapFile) {
    test::TempDir dir;
    const QString path = dir.write("r.xml", pagedReport());
    TqdxXMLDocument doc;
    doc.LoadFromFile(path, true);
    doc.Root().Items(0).Unloadable = true;
    doc.ReleaseItem(doc.Root().Items(0));
    const QString swap = doc.SwapFileName();
    EXPECT_TRUE(QFile::exists(swap));
    doc.LoadFromFile(path);
    EXPECT_FALSE(QFile::exists(swap));
    EXPECT_EQ(doc.Root().Items(2).Count(), 3);
    EXPECT_THROW(doc.LoadFromFile(dir.path("missing.xml")), std::runtime_error);
}

} // namespace
} // namespace zr::reportlib
