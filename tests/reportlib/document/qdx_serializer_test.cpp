#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_xml_serializer.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <limits>

namespace zr::reportlib {
namespace {

// Restores the decimal separator a test changed.
struct SeparatorScope {
    char saved = DecimalSeparator();
    explicit SeparatorScope(char c) { SetDecimalSeparator(c); }
    ~SeparatorScope() { SetDecimalSeparator(saved); }
};

std::unique_ptr<TqdxMemoView> newMemo() {
    return std::unique_ptr<TqdxMemoView>(TqdxComponent::Create<TqdxMemoView>(nullptr));
}

TEST(FloatText, GeneralFormWithFifteenDigits) {
    SeparatorScope dot('.');
    EXPECT_EQ(FloatToXMLText(0), "0");
    EXPECT_EQ(FloatToXMLText(794), "794");
    EXPECT_EQ(FloatToXMLText(-2.5), "-2.5");
    EXPECT_EQ(FloatToXMLText(190.0 / 3), "63.3333333333333");
    EXPECT_EQ(FloatToXMLText(380.0 / 3), "126.666666666667");
    EXPECT_EQ(FloatToXMLText(0.00001), "0.00001");
    EXPECT_EQ(FloatToXMLText(1e-7), "1E-7");
    EXPECT_EQ(FloatToXMLText(1.5e20), "1.5E20");
    EXPECT_EQ(FloatToXMLText(123456789012345.0), "123456789012345");
    SeparatorScope comma(',');
    EXPECT_EQ(FloatToXMLText(2.5), "2,5");
}

TEST(FloatText, EveryValueWritesTextThatReadsBack) {
    SeparatorScope dot('.');
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FloatToXMLText(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(FloatToXMLText(inf), "1.79769313486231E308");
    EXPECT_EQ(FloatToXMLText(-inf), "-1.79769313486231E308");
    // The largest double would round up to 1.79769313486232E308, past the double range.
    for (const double v : {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                           1e305, std::numeric_limits<double>::denorm_min()}) {
        EXPECT_NO_THROW(XMLTextToFloat(FloatToXMLText(v))) << v;
    }
}

TEST(FloatText, ReadsEitherSeparatorAndRejectsOtherText) {
    SeparatorScope dot('.');
    EXPECT_DOUBLE_EQ(XMLTextToFloat("1 234,5"), 1234.5);
    EXPECT_DOUBLE_EQ(XMLTextToFloat("2.25"), 2.25);
    EXPECT_DOUBLE_EQ(XMLTextToFloat("-1E-7"), -1e-7);
    for (const char* bad : {"", "x", "1.2.3", "1e", "1e999", "nan", "inf", "0x10", "--1"}) {
        EXPECT_THROW(XMLTextToFloat(bad), std::invalid_argument) << bad;
    }
    EXPECT_EQ(XMLTextToInt(" 42 "), 42);
    EXPECT_THROW(XMLTextToInt("99999999999"), std::invalid_argument);
    EXPECT_THROW(XMLTextToInt("4x"), std::invalid_argument);
}

TEST(Serializer, WritesOrdinalsAgainstDefaultsAndFloatsAlways) {
    SeparatorScope dot('.');
    auto memo = newMemo();
    memo->SetBounds(0, 8.5, 100, 20);
    memo->Font().SetStyle(fsBold | fsUnderline); // first and third elements of the set
    memo->Memo.Add(QStringLiteral("Olá"));
    TqdxXMLSerializer s;
    const QByteArray text = s.ObjectToElement(*memo);
    // Floats are written even when 0; Tag equals its default and is left out.
    EXPECT_TRUE(text.startsWith(" Left=\"0\" Top=\"8.5\" Width=\"100\" Height=\"20\""))
        << text.constData();
    EXPECT_FALSE(text.contains("Tag="));
    EXPECT_FALSE(text.contains("Visible="));
    EXPECT_TRUE(text.contains(" Font.Charset=\"1\" Font.Color=\"0\" Font.Height=\"-13\" "
                              "Font.Name=\"Arial\" Font.Style=\"5\""))
        << text.constData();
    EXPECT_TRUE(text.contains(" ParentFont=\"False\""));
    EXPECT_TRUE(text.endsWith(" Text=\"Ol\xc3\xa1\"")) << text.constData();

    auto back = newMemo();
    TqdxXMLSerializer r;
    r.ApplyAttributeText(text, *back);
    EXPECT_TRUE(r.Errors.isEmpty()) << r.Errors.join('\n').toStdString();
    EXPECT_EQ(back->Font().Style, fsBold | fsUnderline);
    EXPECT_EQ(back->Text(), QStringLiteral("Olá"));
    EXPECT_EQ(back->Top(), 8.5);
    EXPECT_FALSE(back->ParentFont());
}

TEST(Serializer, BooleansAndEnumerationsByNameOrNumber) {
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText(R"(WordWrap="0" Clipped="False" AutoWidth="1" Underlines="True")", *memo);
    EXPECT_FALSE(memo->WordWrap);
    EXPECT_FALSE(memo->Clipped);
    EXPECT_TRUE(memo->AutoWidth);
    EXPECT_TRUE(memo->Underlines);
    s.ApplyAttributeText(R"(HAlign="haCenter" VAlign="2")", *memo);
    EXPECT_EQ(memo->HAlign, haCenter);
    EXPECT_EQ(memo->VAlign, vaCenter);
    // A value the type does not have leaves the property inside its range.
    s.ApplyAttributeText(R"(HAlign="haNowhere" VAlign="9")", *memo);
    EXPECT_EQ(memo->HAlign, haCenter);
    EXPECT_EQ(memo->VAlign, vaCenter);
    EXPECT_EQ(s.Errors.size(), 1); // the same message once
    EXPECT_TRUE(s.ObjectToElement(*memo).contains(" WordWrap=\"False\""));
}

TEST(Serializer, FloatWrittenWithCommaReadsBackWithDot) {
    QByteArray text;
    {
        SeparatorScope comma(',');
        auto memo = newMemo();
        memo->SetLeft(12.75);
        TqdxXMLSerializer s;
        text = s.ObjectToElement(*memo);
        EXPECT_TRUE(text.contains("Left=\"12,75\""));
    }
    SeparatorScope dot('.');
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText(text, *memo);
    EXPECT_DOUBLE_EQ(memo->Left(), 12.75);
    s.ApplyAttributeText("Left=\"1 234,5\"", *memo);
    EXPECT_DOUBLE_EQ(memo->Left(), 1234.5);
}

TEST(Serializer, DottedNamesShortFormsAndOrder) {
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText(R"(Font.Name="Courier New" Frame.Typ="15" Frame.LeftLine.Width="3")",
                         *memo);
    EXPECT_EQ(memo->Font().Name, "Courier New");
    EXPECT_EQ(memo->Frame.Typ, ftLeft | ftRight | ftTop | ftBottom);
    EXPECT_EQ(memo->Frame.LeftLine.Width, 3);
    EXPECT_EQ(memo->Frame.TopLine.Width, 1);

    s.ApplyAttributeText(R"(l="10" t="5" Left="20")", *memo);
    EXPECT_EQ(memo->Left(), 20); // the later attribute wins
    EXPECT_EQ(memo->Top(), 5);

    // A dotted walk stops at a property that is not an object; nothing is set.
    s.ApplyAttributeText(R"(Left.X="3" Frame.Nope.Width="9")", *memo);
    EXPECT_EQ(memo->Left(), 20);
    EXPECT_TRUE(s.Errors.isEmpty());

    s.ApplyAttributeText(R"(u="a&#13;&#10;b" )", *memo);
    EXPECT_EQ(memo->Memo.Count(), 2);
    s.ApplyAttributeText("x=\"\xe1\"", *memo);
    EXPECT_EQ(memo->Text(), QStringLiteral("á"));
    s.ApplyAttributeText(R"(Memo.Text="one&#13;&#10;two")", *memo);
    EXPECT_EQ(memo->Memo.Strings(1), QStringLiteral("two"));
}

TEST(Serializer, UnknownNamesIgnoredAndBadValuesCollected) {
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText(R"(Foo="1" Tag="x" Top="y" Tag="x" Left="7" ObjectText="z")", *memo);
    EXPECT_EQ(memo->Left(), 7);
    ASSERT_EQ(s.Errors.size(), 2);
    EXPECT_TRUE(s.Errors.contains(QStringLiteral("'x' is not a valid integer value")));
    EXPECT_TRUE(s.Errors.contains(QStringLiteral("'y' is not a valid floating point value")));
    // A text without '=' or with an empty name ends the scan quietly.
    s.ApplyAttributeText(R"(Left="8" junk)", *memo);
    s.ApplyAttributeText(R"( ="1" Left="9")", *memo);
    EXPECT_EQ(memo->Left(), 8);
}

TEST(Serializer, ErrorListsIgnoreCase) {
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText(R"(Tag="x" Tag="X" Top="b" Tag="C" Tag="a")", *memo);
    EXPECT_EQ(
        s.Errors,
        (QStringList{"'a' is not a valid integer value", "'b' is not a valid floating point value",
                     "'C' is not a valid integer value", "'x' is not a valid integer value"}));

    TqdxReport report;
    report.AddErrors({"beta", "Alpha"});
    report.AddErrors({"ALPHA", "gamma", "Beta"});
    EXPECT_EQ(report.Errors, (QStringList{"Alpha", "beta", "gamma"}));
}

TEST(Serializer, NamesThatAreNoIdentifiersAreRefused) {
    TqdxReportPage page;
    QBuffer in;
    in.setData(R"(<?xml version="1.0"?><TqdxReportPage><TqdxMemoView Name="M&#60;1&#34;x" )"
               R"(Left="3"/><TqdxMemoView Name="Ok" Left="4"/></TqdxReportPage>)");
    in.open(QIODevice::ReadOnly);
    TqdxXMLSerializer reader(&in);
    reader.ReadObjectTree(page);
    ASSERT_EQ(page.Objects().size(), 2u);
    EXPECT_EQ(page.Objects()[0]->Name(), "");
    EXPECT_EQ(page.Objects()[0]->Left(), 3);
    EXPECT_EQ(page.Objects()[1]->Name(), "Ok");
    ASSERT_EQ(reader.Errors.size(), 1);
    EXPECT_TRUE(reader.Errors[0].contains(QStringLiteral("nome de componente")));

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TqdxXMLSerializer(&out).WriteObjectTree(page);
    EXPECT_FALSE(out.data().contains('<' + QByteArray("1")));
    TqdxReportPage again;
    out.close();
    out.open(QIODevice::ReadOnly);
    TqdxXMLSerializer second(&out);
    EXPECT_NO_THROW(second.ReadObjectTree(again));
    EXPECT_EQ(again.Objects().size(), 2u);
    EXPECT_TRUE(second.Errors.isEmpty());
}

TEST(Serializer, PlainStringsDecideHowStringsAreRead) {
    auto memo = newMemo();
    TqdxXMLSerializer s;
    s.ApplyAttributeText("URL=\"\xc3\xa1\"", *memo);
    EXPECT_EQ(memo->URL, QByteArray("\xc3\xa1"));
    s.PlainStrings = false;
    s.ApplyAttributeText("URL=\"\xc3\xa1\"", *memo);
    EXPECT_EQ(memo->URL, QByteArray("\xe1"));
}

TEST(Serializer, PictureDataTravelsAsPropData) {
    auto owner = std::unique_ptr<TqdxReportPage>(TqdxComponent::Create<TqdxReportPage>(nullptr));
    auto* picture = TqdxComponent::Create<TqdxPictureView>(owner.get());
    picture->Picture.GraphicClass = "TBitmap";
    picture->Picture.Data = QByteArray("\x06\0\0\0BM1234", 10);
    TqdxXMLSerializer s;
    const QByteArray text = s.ObjectToElement(*picture);
    // Name length 4, "Data", tag 10, a 32-bit count, then the class name and the data.
    EXPECT_TRUE(text.contains(" Picture.PropData=\"0444617461"
                              "0A"
                              "12000000"
                              "0754426974"))
        << text.constData();

    auto* copy = TqdxComponent::Create<TqdxPictureView>(owner.get());
    s.ApplyAttributeText(text, *copy);
    EXPECT_EQ(copy->Picture, picture->Picture);

    // A malformed stream is dropped silently; an unknown graphic class is reported.
    auto* other = TqdxComponent::Create<TqdxPictureView>(owner.get());
    TqdxXMLSerializer r;
    r.ApplyAttributeText(R"(Picture.PropData="04446174610AFFFFFF7F00")", *other);
    EXPECT_TRUE(r.Errors.isEmpty());
    EXPECT_TRUE(other->Picture.Empty());
    r.ApplyAttributeText(R"(Picture.PropData="04446174610A0400000003466F6F")", *other);
    EXPECT_EQ(r.Errors.size(), 1);
}

TEST(Serializer, TreesRoundTripWithNamesAndReferences) {
    TqdxReportPage page;
    page.SetName("Page1");
    page.SetOrientation(poLandscape);
    auto* title = TqdxComponent::Create<TqdxReportTitle>(&page);
    title->SetName("ReportTitle1");
    title->SetBounds(0, 10, 500, 40);
    auto* child = TqdxComponent::Create<TqdxChild>(&page);
    child->SetName("Child1");
    title->SetChild(child);
    auto* memo = TqdxComponent::Create<TqdxMemoView>(title);
    memo->SetName("Memo1");
    memo->SetBounds(4, 2, 100, 18);
    memo->SetText(u"linha 1\r\nlinha 2");

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    page.SaveToStream(buffer, true, false, false);
    buffer.seek(0);

    TqdxReportPage back;
    back.LoadFromStream(buffer);
    EXPECT_EQ(back.Name(), ""); // the root's name is not written
    EXPECT_EQ(back.Orientation(), poLandscape);
    EXPECT_EQ(back.PaperWidth(), 297);
    ASSERT_EQ(back.Objects().size(), 2u);
    auto* title2 = qdx_cast<TqdxReportTitle>(back.Objects()[0]);
    ASSERT_TRUE(title2);
    EXPECT_EQ(title2->Child(), back.Objects()[1]); // resolved after the whole tree
    ASSERT_EQ(title2->Objects().size(), 1u);
    auto* memo2 = qdx_cast<TqdxMemoView>(title2->Objects()[0]);
    ASSERT_TRUE(memo2);
    EXPECT_EQ(memo2->Name(), "Memo1");
    EXPECT_EQ(memo2->Text(), memo->Text());
    EXPECT_FALSE(memo2->ReadingTree);
}

TEST(Serializer, UnregisteredElementSkipsItsSubtree) {
    TqdxXMLDocument doc;
    doc.LoadFromBytes("<?xml version=\"1.0\"?><TqdxReportPage><TqdxNoSuchView Name=\"A\">"
                      "<TqdxMemoView Name=\"B\"/></TqdxNoSuchView><TqdxMemoView Name=\"C\"/>"
                      "</TqdxReportPage>");
    TqdxReportPage page;
    TqdxXMLSerializer s;
    s.ReadObjectTree(page, &doc.Root());
    ASSERT_EQ(s.Errors.size(), 1);
    EXPECT_EQ(s.Errors[0], QStringLiteral("Classe não encontrada TqdxNoSuchView"));
    ASSERT_EQ(page.Objects().size(), 1u);
    EXPECT_EQ(page.Objects()[0]->Name(), "C");
}

TEST(Serializer, OneLineForms) {
    TqdxReportPage page;
    TqdxXMLSerializer s;
    EXPECT_EQ(s.ObjectTreeFromText(&page, "   ", false), nullptr);
    EXPECT_THROW(s.ObjectTreeFromText(&page, "TqdxFooView l=\"1\"", false), TqdxClassNotFound);
    TqdxComponent* line =
        s.ObjectTreeFromText(&page, "TqdxLineView Diagonal=\"True\" w=\"40\"", false);
    ASSERT_TRUE(qdx_cast<TqdxLineView>(line));
    EXPECT_TRUE(static_cast<TqdxLineView*>(line)->Diagonal);
    EXPECT_EQ(line->Width(), 40);
    EXPECT_EQ(line->Parent(), &page);
    const QByteArray text = s.ObjectTreeToText(*line);
    EXPECT_TRUE(text.startsWith("TqdxLineView Left=\"0\"")) << text.constData();
}

} // namespace
} // namespace zr::reportlib
