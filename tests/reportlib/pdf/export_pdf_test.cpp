// The PDF export of prepared reports as a whole document: numbering and the exact text of the
// structural objects, then every written file read back by real readers (qpdf, poppler's
// tools, pdf.js under node).

#include "reportlib/pdf/qdx_export_pdf.h"

#include "pdfwriter/pdf_object_writer.h"
#include "platform/interaction/interaction.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/render/page_services.h"

#include "pdf_info.h"
#include "qp3_generator.h"
#include "temp_dir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <zlib.h>

namespace zr::reportlib::pdf {
namespace {

// ---- Reading our own files back.

// Offsets of the cross-reference section, the free entry first; empty when malformed.
std::vector<qint64> xrefOffsets(const QByteArray& file) {
    const qsizetype start = file.lastIndexOf("startxref\r\n");
    if (start < 0) {
        return {};
    }
    bool ok = false;
    const qint64 at =
        file.mid(start + 11, file.indexOf("\r\n", start + 11) - start - 11).toLongLong(&ok);
    if (!ok || !file.mid(at).startsWith("xref\r\n0 ")) {
        return {};
    }
    const qsizetype countEnd = file.indexOf("\r\n", at + 8);
    const int count = file.mid(at + 8, countEnd - at - 8).toInt(&ok);
    std::vector<qint64> offsets;
    for (qsizetype p = countEnd + 2; ok && int(offsets.size()) < count; p += 20) {
        offsets.push_back(file.mid(p, 10).toLongLong(&ok));
    }
    return ok ? offsets : std::vector<qint64>{};
}

// Object n from "n 0 obj" through "endobj", found through the cross-reference table.
QByteArray object(const QByteArray& file, int n) {
    const std::vector<qint64> offsets = xrefOffsets(file);
    if (n < 1 || std::size_t(n) >= offsets.size()) {
        return {};
    }
    const qint64 at = offsets[std::size_t(n)];
    if (!file.mid(at).startsWith(QByteArray::number(n) + " 0 obj\r\n")) {
        return {};
    }
    const qsizetype end = file.indexOf("endobj\r\n", at);
    return end < 0 ? QByteArray() : file.mid(at, end + 8 - at);
}

QByteArray inflate(const QByteArray& data) {
    QByteArray out(qsizetype(data.size()) * 20 + 4096, Qt::Uninitialized);
    uLongf size = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size())) != Z_OK) {
        return "<inflate failed>";
    }
    out.truncate(qsizetype(size));
    return out;
}

// The operators of a content stream object (inflated when compressed).
QByteArray streamData(const QByteArray& file, int n) {
    const QByteArray obj = object(file, n);
    const qsizetype begin = obj.indexOf(">>\r\nstream\r\n");
    const qsizetype end = obj.lastIndexOf("endstream\r\n");
    if (begin < 0 || end < begin) {
        return {};
    }
    QByteArray data = obj.mid(begin + 12, end - begin - 12);
    if (obj.first(begin).contains("/FlateDecode")) {
        data.chop(2); // the empty line after compressed data
        return inflate(data);
    }
    return data;
}

// The page objects listed by the page tree, in order.
QList<int> kidsOf(const QByteArray& file) {
    QList<int> kids;
    const QByteArray tree = object(file, 1);
    const qsizetype from = tree.indexOf("/Kids [");
    const QRegularExpression reference(QStringLiteral("(\\d+) 0 R"));
    for (const auto& m : reference.globalMatch(
             QString::fromLatin1(tree.mid(from, tree.indexOf(']', from) - from)))) {
        kids.push_back(m.captured(1).toInt());
    }
    return kids;
}

QString source(const char* relative) {
    return QStringLiteral(ZR_SOURCE_DIR "/") + QString::fromLatin1(relative);
}

// ---- Reports.

void load(TqdxReport& report, const QByteArray& pagesXml, const QByteArray& extra = {}) {
    QBuffer buffer;
    buffer.setData("<?xml version=\"1.0\"?><preparedreport><previewpages>" + pagesXml +
                   "</previewpages>" + extra + "</preparedreport>");
    buffer.open(QIODevice::ReadOnly);
    report.PreviewPages().LoadFromStream(buffer);
}

QByteArray emptyPage(const QByteArray& attributes = {}) {
    return "<TqdxReportPage LeftMargin=\"10\" RightMargin=\"10\" TopMargin=\"10\" "
           "BottomMargin=\"10\" " +
           attributes + "/>";
}

// A page with a data band holding shapes (vector drawing: no fonts, no images) with links.
QByteArray linkPage(const QList<QByteArray>& urls) {
    QByteArray views;
    int top = 0;
    for (const QByteArray& url : urls) {
        views += "<TqdxShapeView Name=\"S" + QByteArray::number(top) + "\" Left=\"10\" Top=\"" +
                 QByteArray::number(top) + "\" Width=\"40\" Height=\"20\" URL=\"" + url + "\"/>";
        top += 30;
    }
    return "<TqdxReportPage LeftMargin=\"10\" TopMargin=\"10\"><TqdxMasterData Name=\"D\" "
           "Top=\"40\" Height=\"300\">" +
           views + "</TqdxMasterData></TqdxReportPage>";
}

// Exports through the driver with byte-stable settings; returns the file's bytes.
class Exporter {
public:
    Exporter() {
        filter.ShowDialog = false;
        filter.ShowProgress = false;
        filter.FileName = dir.path(QStringLiteral("out.pdf"));
        filter.FixedCreationTime = QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
        filter.FixedDocumentId = "0123456789abcdef0123456789abcdef";
    }
    QByteArray run(TqdxReport& report) {
        filter.Report = &report;
        result = render::Export(report.PreviewPages(), &filter);
        return test::TempDir::read(filter.FileName);
    }
    test::TempDir dir;
    TqdxPDFExport filter;
    bool result = false;
};

// Every check a written file must pass: qpdf without warnings, and pdf.js opens it.
void expectReadable(const QString& path, const QString& password = {}) {
    const QString problems = test::qpdfCheckProblems(path, password);
    if (problems == QStringLiteral("qpdf missing")) {
        return;
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    bool available = false;
    QString error;
    const auto text =
        test::pdfjsText(source("tests/support/pdfjs_text.mjs"), path, password, available, &error);
    if (available) {
        EXPECT_TRUE(text.has_value()) << "pdf.js: " << error.toStdString();
    }
}

// ---- Structure.

TEST(PdfExportStructure, OnePageWithoutFontsOrImages) {
    TqdxReport report;
    load(report, emptyPage());
    Exporter e;
    const QByteArray pdf = e.run(report);
    ASSERT_TRUE(e.result);
    ASSERT_TRUE(e.filter.Succeeded()) << e.filter.ErrorText.toStdString();
    EXPECT_TRUE(pdf.startsWith("%PDF-1.5\r\n"));
    EXPECT_EQ(xrefOffsets(pdf).size(), 6u);
    EXPECT_TRUE(pdf.contains("trailer\r\n<<\r\n/Size 6\r\n/Root 5 0 R\r\n/Info 4 0 R\r\n"
                             "/ID [<0123456789abcdef0123456789abcdef>"
                             "<0123456789abcdef0123456789abcdef>]\r\n>>\r\n"));
    EXPECT_EQ(object(pdf, 1), "1 0 obj\r\n<<\r\n/Type /Pages\r\n/Kids [3 0 R ]\r\n/Count 1\r\n>>"
                              "\r\nendobj\r\n");
    EXPECT_TRUE(object(pdf, 2).contains("/Filter /FlateDecode"));
    // A4 at 96 dpi is 794 × 1123 pixels: fractional sizes keep two decimals.
    EXPECT_EQ(object(pdf, 3), "3 0 obj\r\n<<\r\n/Type /Page\r\n/Parent 1 0 R\r\n"
                              "/MediaBox [0 0 595.50 842.25 ]\r\n/Resources <<\r\n/Font << >>\r\n"
                              "/ProcSet [/PDF /Text /ImageC ]\r\n>>\r\n/Contents 2 0 R\r\n>>\r\n"
                              "endobj\r\n");
    // The information object: text strings in hexadecimal, an empty title as the mark alone.
    const QByteArray info = object(pdf, 4);
    EXPECT_TRUE(info.contains("/Title <FEFF>\r\n/Author <FEFF005100750061006400720065006C>\r\n"));
    EXPECT_TRUE(info.contains("/CreationDate (D:20240305070809)\r\n/ModDate (D:20240305070809)"));
    EXPECT_EQ(object(pdf, 5), "5 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 1 0 R\r\n"
                              "/PageMode /UseNone\r\n/Lang (pt-BR)\r\n/ViewerPreferences <<\r\n"
                              "/PrintScaling /None\r\n>>\r\n>>\r\nendobj\r\n");
    expectReadable(e.filter.OutputPath());

    // A title, viewer preferences and print scaling.
    e.filter.Title = QStringLiteral("Vendas");
    e.filter.HideToolbar = e.filter.CenterWindow = e.filter.PrintScaling = true;
    const QByteArray titled = e.run(report);
    EXPECT_TRUE(object(titled, 4).contains("/Title <FEFF00560065006E006400610073>"));
    EXPECT_TRUE(object(titled, 5).contains("/ViewerPreferences <<\r\n/DisplayDocTitle true\r\n"
                                           "/HideToolbar true\r\n/CenterWindow true\r\n>>\r\n"));
    // The same filter exports again, to the same bytes.
    EXPECT_EQ(e.run(report), titled);
}

TEST(PdfExportStructure, BackgroundRectangleAndStreamForms) {
    TqdxReport report;
    // Blue-green (BGR 0x80FF00) with 10 mm margins; the second page is transparent.
    load(report, emptyPage("Color=\"8453888\"") + emptyPage());
    Exporter e;
    e.filter.Compressed = false;
    const QByteArray pdf = e.run(report);
    ASSERT_TRUE(e.filter.Succeeded());
    // An artifact of the tagged page.
    const QByteArray background = "/Artifact BMC\r\n0 w\r\n0 1 0.50 RG\r\n0 1 0.50 rg\r\n"
                                  "28.35 28.35 m\r\n567.15 28.35 l\r\n567.15 813.90 l\r\n"
                                  "28.35 813.90 l\r\nB\r\nEMC\r\n";
    EXPECT_TRUE(object(pdf, 2).startsWith(
        "2 0 obj\r\n<< /Length " + QByteArray::number(background.size()) + " >>\r\nstream\r\n"));
    EXPECT_EQ(streamData(pdf, 2), background);
    // Uncompressed data runs straight into "endstream".
    EXPECT_TRUE(pdf.contains("EMC\r\nendstream\r\n"));
    EXPECT_EQ(streamData(pdf, 4), ""); // the transparent page draws nothing
    expectReadable(e.filter.OutputPath());

    e.filter.Compressed = true;
    const QByteArray packed = e.run(report);
    const QByteArray dictionary = object(packed, 2).split('\n').value(1);
    // No /Length1: that belongs to font files alone.
    const auto m =
        QRegularExpression(QStringLiteral("^<< /Filter /FlateDecode /Length (\\d+) >>\r$"))
            .match(QString::fromLatin1(dictionary));
    ASSERT_TRUE(m.hasMatch()) << dictionary.toStdString();
    // The deflated data, then a line end before "endstream".
    const QByteArray stream = object(packed, 2);
    const qsizetype data = stream.indexOf("stream\r\n") + 8;
    EXPECT_EQ(stream.mid(data + m.captured(1).toInt()), "\r\nendstream\r\nendobj\r\n");
    EXPECT_TRUE(streamData(packed, 2).startsWith("/Artifact BMC\r\n0 w\r\n0 1 0.50 RG"));
    expectReadable(e.filter.OutputPath());
}

TEST(PdfExportStructure, OutlineInPreOrderAndOutsideTheRange) {
    TqdxReport report;
    tools::Qp3GeneratorOptions options;
    options.pages = 6;
    options.sectionPages = 3;
    options.pictureEvery = 0;
    tools::BuildPreparedReport(report, options);
    Exporter e;
    e.filter.Outline = true;
    e.filter.PageNumbers = QStringLiteral("4-6");
    const QByteArray pdf = e.run(report);
    ASSERT_TRUE(e.filter.Succeeded()) << e.filter.ErrorText.toStdString();
    const int size = int(xrefOffsets(pdf).size());
    const int catalog = size - 1;
    const QByteArray catalogText = object(pdf, catalog);
    ASSERT_TRUE(catalogText.contains("/PageMode /UseOutlines\r\n/Outlines ")) << catalogText.data();
    const int root = QRegularExpression(QStringLiteral("/Outlines (\\d+) 0 R"))
                         .match(QString::fromLatin1(catalogText))
                         .captured(1)
                         .toInt();
    // Only the second section's pages were exported: its item and its three children.
    EXPECT_EQ(object(pdf, root), QByteArray::number(root) +
                                     " 0 obj\r\n<<\r\n/Type /Outlines\r\n"
                                     "/Count 1\r\n/First " +
                                     QByteArray::number(root + 1) + " 0 R\r\n/Last " +
                                     QByteArray::number(root + 1) + " 0 R\r\n>>\r\nendobj\r\n");
    const QByteArray section = object(pdf, root + 1);
    EXPECT_TRUE(section.contains("/First " + QByteArray::number(root + 2) + " 0 R\r\n/Last " +
                                 QByteArray::number(root + 4) + " 0 R\r\n/Count 3\r\n"));
    const QByteArray middle = object(pdf, root + 3);
    EXPECT_TRUE(middle.contains("/Parent " + QByteArray::number(root + 1) + " 0 R\r\n/Prev " +
                                QByteArray::number(root + 2) + " 0 R\r\n/Next " +
                                QByteArray::number(root + 4) + " 0 R\r\n"));
    // "Página 2" on the fifth page of the report (the second exported), at its top.
    EXPECT_TRUE(middle.contains("/Title <FEFF005000E100670069006E006100200032>\r\n"))
        << middle.data();
    const QRegularExpression dest(QStringLiteral("/Dest \\[(\\d+) 0 R /XYZ 0 (\\d+) 0\\]"));
    const auto m = dest.match(QString::fromLatin1(middle));
    ASSERT_TRUE(m.hasMatch()) << middle.data();
    EXPECT_EQ(kidsOf(pdf).value(1), m.captured(1).toInt()) << object(pdf, 1).data();
    EXPECT_EQ(m.captured(2).toInt(), 842); // the page's top: 842.25 points, rounded
    expectReadable(e.filter.OutputPath());

    // A range holding none of the outline's pages: no outline, still the outline page mode.
    TqdxReport bare;
    load(bare, emptyPage() + emptyPage(),
         "<outline><item text=\"Um\" page=\"0\" top=\"0\"><item text=\"Dois\" page=\"0\" "
         "top=\"4\"/></item></outline>");
    e.filter.PageNumbers = QStringLiteral("2");
    const QByteArray none = e.run(bare);
    const QByteArray noneCatalog = object(none, int(xrefOffsets(none).size()) - 1);
    EXPECT_TRUE(noneCatalog.contains("/PageMode /UseOutlines\r\n/Lang (pt-BR)\r\n"))
        << noneCatalog.data();
    EXPECT_FALSE(none.contains("/Outlines"));
    expectReadable(e.filter.OutputPath());
}

TEST(PdfExportStructure, LinkAddressForms) {
    EXPECT_EQ(LinkAddressString(QStringLiteral("http://a.example/x(1)?q=a\\b"), nullptr, 7),
              "(http://a.example/x(1)?q=a\\\\b)");
    // Unbalanced or wrongly nested parentheses: hexadecimal.
    EXPECT_EQ(LinkAddressString(QStringLiteral("http://a/(b"), nullptr, 7),
              "<687474703A2F2F612F2862>");
    EXPECT_EQ(LinkAddressString(QStringLiteral("a)("), nullptr, 7), "<612928>");
    // Characters outside printable ASCII become the URI form of their UTF-8 bytes.
    EXPECT_EQ(LinkAddressString(QStringLiteral("http://a/é"), nullptr, 7),
              "<687474703A2F2F612F254333254139>");
}

TEST(PdfExportStructure, LinksToPagesAnchorsAndAddresses) {
    TqdxReport report;
    load(report,
         linkPage({"@3", "#nada", "#marca", "https://a.example/x(y", "https://a.example/ok"}) +
             emptyPage() + emptyPage(),
         "<anchors><item text=\"Marca\" page=\"1\" top=\"100\"/></anchors>");
    Exporter e;
    e.filter.Compressed = false;
    const QByteArray pdf = e.run(report);
    ASSERT_TRUE(e.filter.Succeeded()) << e.filter.ErrorText.toStdString();
    const QList<int> pages = kidsOf(pdf);
    ASSERT_EQ(pages.size(), 3) << object(pdf, 1).data();
    const QByteArray first = object(pdf, pages[0]);
    const QRegularExpression annot(QStringLiteral("\r\n(\\d+) 0 R"));
    std::vector<int> links;
    const qsizetype annotsAt = first.indexOf("/Annots [");
    ASSERT_GE(annotsAt, 0) << first.data();
    for (const auto& m : annot.globalMatch(
             QString::fromLatin1(first.mid(annotsAt, first.indexOf("]", annotsAt) - annotsAt)))) {
        links.push_back(m.captured(1).toInt());
    }
    // "#nada" names no anchor: four links.
    ASSERT_EQ(links.size(), 4u) << first.data();
    const QByteArray toPage = object(pdf, links[0]);
    EXPECT_TRUE(toPage.contains("/Subtype /Link\r\n/Rect ["));
    // "@3": the third page, at the top of this page's coordinate range.
    EXPECT_TRUE(toPage.contains("/Border [16 16 0]\r\n/Dest [" + QByteArray::number(pages[2]) +
                                " 0 R /XYZ null "))
        << toPage.data();
    EXPECT_TRUE(object(pdf, links[1]).contains("/Dest [" + QByteArray::number(pages[1]) + " 0 R"));
    EXPECT_TRUE(
        object(pdf, links[2])
            .contains(
                "/BS << /W 0 >>\r\n/A <<\r\n/URI <68747470733A2F2F612E6578616D706C652F782879>\r\n"
                "/Type /Action\r\n/S /URI\r\n>>"));
    EXPECT_TRUE(object(pdf, links[3]).contains("/URI (https://a.example/ok)\r\n"));
    expectReadable(e.filter.OutputPath());

    // Only the first page exported: the page link's target is not there, the link stays.
    e.filter.PageNumbers = QStringLiteral("1");
    const QByteArray alone = e.run(report);
    EXPECT_TRUE(alone.contains("/Border [16 16 0]\r\n>>"));
    EXPECT_FALSE(alone.contains("/Dest"));
    expectReadable(e.filter.OutputPath());
}

// ---- Saving.

QStringList filesIn(const test::TempDir& dir) {
    return QDir(dir.root()).entryList(QDir::Files | QDir::Hidden);
}

TEST(PdfExportSaving, FailuresKeepTheExistingFile) {
    TqdxReport report;
    // The second page links to "@x", which is no page number: its export fails.
    load(report, emptyPage() + linkPage({"@x"}) + emptyPage());
    Exporter e;
    const QString target = e.filter.FileName;
    e.dir.write(QStringLiteral("out.pdf"), "old");

    // The converter's choice: an export that ended early writes nothing.
    e.filter.KeepIncompleteOutput = false;
    report.EngineOptions.NewSilentMode = simSilent;
    EXPECT_EQ(e.run(report), "old");
    EXPECT_FALSE(e.result);
    EXPECT_FALSE(e.filter.Succeeded());
    EXPECT_FALSE(e.filter.ErrorText.isEmpty());
    EXPECT_EQ(filesIn(e.dir), QStringList{QStringLiteral("out.pdf")});

    // The viewer's: the pages up to the error.
    e.filter.KeepIncompleteOutput = true;
    const QByteArray partial = e.run(report);
    EXPECT_FALSE(e.result);
    EXPECT_TRUE(e.filter.Succeeded());
    EXPECT_EQ(e.filter.PagesWritten(), 2); // the failing page is closed with what it drew
    EXPECT_TRUE(object(partial, 1).contains("/Count 2"));
    expectReadable(target);

    // A password RC4 cannot take: nothing is written, the message is kept.
    e.dir.write(QStringLiteral("out.pdf"), "old");
    e.filter.UserPassword = QStringLiteral("密码");
    e.filter.Report = &report;
    EXPECT_THROW(e.filter.BeginOutput(), TqdxPDFExportError);
    EXPECT_FALSE(e.filter.ErrorText.isEmpty());
    EXPECT_EQ(test::TempDir::read(target), "old");
    EXPECT_EQ(filesIn(e.dir), QStringList{QStringLiteral("out.pdf")});

    // A target that cannot be replaced (a folder of that name): reported, nothing left over.
    e.filter.UserPassword.clear();
    e.filter.OwnerPassword.clear();
    QDir(e.dir.root()).mkdir(QStringLiteral("folder.pdf"));
    e.filter.FileName = e.dir.path(QStringLiteral("folder.pdf"));
    TqdxReport one;
    load(one, emptyPage());
    try {
        e.run(one); // the folder may already be refused when the file is begun
    } catch (const TqdxPDFExportError&) {
    }
    EXPECT_FALSE(e.filter.Succeeded());
    EXPECT_TRUE(e.filter.ErrorText.startsWith(QStringLiteral("Erro na gravação do arquivo...")))
        << e.filter.ErrorText.toStdString();
    EXPECT_EQ(filesIn(e.dir), QStringList{QStringLiteral("out.pdf")});

    // No file name: nothing begins.
    e.filter.FileName.clear();
    EXPECT_FALSE(e.filter.BeginOutput());

    // A file name without a folder goes to DefaultPath.
    e.filter.FileName = QStringLiteral("rel.pdf");
    e.filter.DefaultPath = e.dir.root();
    e.filter.Report = &one;
    render::Export(one.PreviewPages(), &e.filter);
    EXPECT_TRUE(e.filter.Succeeded());
    EXPECT_TRUE(QFile::exists(e.dir.path(QStringLiteral("rel.pdf"))));
}

// The progress window's cancel button, pressed when the export reaches page `cancelAt`.
class CancellingInteraction final : public Interaction {
public:
    class Bar final : public Progress {
    public:
        explicit Bar(qint64 at) : m_at(at) {}
        void setMaximum(qint64) override {}
        void setValue(qint64 value) override { m_value = value; }
        void step() override {}
        bool cancelled() const override { return m_value >= m_at; }

    private:
        qint64 m_at;
        qint64 m_value = 0;
    };
    void message(MessageKind, const QString&, const QString&) override {}
    bool confirm(const QString&, const QString&) override { return false; }
    std::unique_ptr<Progress> beginProgress(const ProgressInfo&) override {
        return std::make_unique<Bar>(cancelAt);
    }
    qint64 cancelAt = 2;
};

TEST(PdfExportSaving, CancelledExport) {
    TqdxReport report;
    load(report, emptyPage() + emptyPage() + emptyPage() + emptyPage());
    CancellingInteraction ui;
    report.UserInteraction = &ui;
    Exporter e;
    e.filter.ShowProgress = true;
    e.dir.write(QStringLiteral("out.pdf"), "old");

    // The converter keeps the existing file.
    e.filter.KeepIncompleteOutput = false;
    EXPECT_EQ(e.run(report), "old");
    EXPECT_TRUE(e.result); // a cancel is no error
    EXPECT_FALSE(e.filter.Succeeded());
    EXPECT_EQ(filesIn(e.dir), QStringList{QStringLiteral("out.pdf")});

    // The viewer writes the pages done so far.
    e.filter.KeepIncompleteOutput = true;
    const QByteArray partial = e.run(report);
    EXPECT_TRUE(e.filter.Succeeded());
    EXPECT_GE(e.filter.PagesWritten(), 1);
    EXPECT_LT(e.filter.PagesWritten(), 4);
    EXPECT_EQ(kidsOf(partial).size(), e.filter.PagesWritten());
    expectReadable(e.filter.OutputPath());
}

TEST(PdfExportSaving, MainWindowDefaults) {
    TqdxPDFExport f;
    EXPECT_EQ(TqdxPDFExport::FilterCaption(), QStringLiteral("Ficheiro PDF"));
    EXPECT_EQ(f.Author, QStringLiteral("Quadrel"));
    EXPECT_TRUE(f.Compressed);
    EXPECT_EQ(f.ProtectionFlags, kAllPDFProtections);
    EXPECT_FALSE(f.EmbeddedFonts);
    ApplyMainWindowDefaults(f);
    EXPECT_TRUE(f.EmbeddedFonts); // glyph numbers are only right with their own font file
    EXPECT_EQ(f.Author, QStringLiteral("Terravel Informática"));
    EXPECT_TRUE(f.UseFileCache);
    EXPECT_FALSE(f.PrintScaling);
    EXPECT_EQ(f.Quality, 95);
}

// ---- Real readers over a generated report.

TEST(PdfExportReaders, TextFontsImagesAndBothReaders) {
    TqdxReport report;
    tools::Qp3GeneratorOptions options;
    options.pages = 8;
    options.sectionPages = 4;
    options.pictureEvery = 3;
    tools::BuildPreparedReport(report, options);
    Exporter e;
    e.filter.Outline = true;
    e.filter.EmbeddedFonts = true;
    e.run(report);
    ASSERT_TRUE(e.filter.Succeeded()) << e.filter.ErrorText.toStdString();
    const QString path = e.filter.OutputPath();
    expectReadable(path);

    if (const auto text = test::popplerText(path)) {
        EXPECT_TRUE(text->contains("Relatório de Vendas por Cliente")) << text->left(400).data();
        EXPECT_TRUE(text->contains("Resumo da filial 2"));
    }
    const test::ProgramRun fonts = test::runProgram(QStringLiteral("pdffonts"), {path});
    if (fonts.found) {
        EXPECT_TRUE(fonts.out.contains("CID TrueType")) << fonts.out.data();
        for (const QByteArray& line : fonts.out.split('\n').mid(2)) {
            if (!line.trimmed().isEmpty()) {
                // Name, type, encoding, then embedded, subset and ToUnicode.
                const QList<QByteArray> columns = line.simplified().split(' ');
                ASSERT_GE(columns.size(), 7) << line.data();
                EXPECT_EQ(columns[columns.size() - 6], "Identity-H") << line.data();
                EXPECT_EQ(columns[columns.size() - 5], "yes") << line.data();
                EXPECT_EQ(columns[columns.size() - 3], "yes") << line.data();
            }
        }
    }
    const test::ProgramRun images =
        test::runProgram(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
    if (images.found) {
        EXPECT_TRUE(images.out.contains(" image ")) << images.out.data();
        EXPECT_TRUE(images.out.contains("jpeg"));
    }
    bool available = false;
    const auto js = test::pdfjsText(source("tests/support/pdfjs_text.mjs"), path, {}, available);
    if (!available) {
        GTEST_SKIP() << "node or pdfjs-dist missing (scripts/install-deps.sh installs them)";
    }
    ASSERT_TRUE(js.has_value());
    EXPECT_TRUE(js->contains("--- page 8"));
    EXPECT_TRUE(js->contains("Resumo da filial 2")) << js->left(600).data();
}

TEST(PdfExportReaders, EncryptedFilesOpenOnlyWithThePassword) {
    TqdxReport report;
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    options.sectionPages = 3;
    options.pictureEvery = 1;
    tools::BuildPreparedReport(report, options);
    for (const TqdxPDFEncryption method :
         {TqdxPDFEncryption::RC4_128, TqdxPDFEncryption::AES_256}) {
        const bool aes = method == TqdxPDFEncryption::AES_256;
        SCOPED_TRACE(aes ? "AES-256" : "RC4");
        Exporter e;
        e.filter.Encryption = method;
        e.filter.UserPassword = QStringLiteral("leitor");
        e.filter.ProtectionFlags = ePrint | eCopy;
        e.filter.Outline = true;
        e.filter.Title = QStringLiteral("Confidencial");
        const QByteArray pdf = e.run(report);
        ASSERT_TRUE(e.filter.Succeeded()) << e.filter.ErrorText.toStdString();
        EXPECT_TRUE(pdf.startsWith(aes ? "%PDF-2.0\r\n" : "%PDF-1.5\r\n"));
        // The owner password took the user password's value; the fonts are embedded.
        EXPECT_EQ(e.filter.OwnerPassword, QStringLiteral("leitor"));
        EXPECT_TRUE(e.filter.EmbeddedFonts);
        EXPECT_FALSE(pdf.contains("Confidencial"));
        EXPECT_FALSE(pdf.contains("<FEFF"));
        const QString path = e.filter.OutputPath();
        expectReadable(path, e.filter.UserPassword);

        const test::ProgramRun refused =
            test::runProgram(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
        if (refused.found) {
            EXPECT_NE(refused.exitCode, 0);
            EXPECT_TRUE(refused.err.contains("invalid password")) << refused.err.data();
            const test::ProgramRun shown = test::runProgram(
                QStringLiteral("qpdf"),
                {QStringLiteral("--show-encryption"), QStringLiteral("--password=leitor"), path});
            EXPECT_TRUE(shown.out.contains(aes ? "R = 6" : "R = 3")) << shown.out.data();
            EXPECT_TRUE(shown.out.contains(aes ? "P = -44" : "P = -44")) << shown.out.data();
            EXPECT_TRUE(shown.out.contains("print low resolution: allowed"));
            EXPECT_TRUE(shown.out.contains("modify other: not allowed"));
            EXPECT_TRUE(shown.out.contains("extract for any purpose: allowed"));
            EXPECT_TRUE(shown.out.contains("modify annotations: not allowed"));
            if (aes) {
                EXPECT_TRUE(shown.out.contains("stream encryption method: AESv3"));
            }
        }
        const auto text = test::popplerText(path, QStringLiteral("leitor"));
        if (text) {
            EXPECT_TRUE(text->contains("Relatório de Vendas por Cliente"));
        }
        EXPECT_FALSE(test::popplerText(path).has_value());
        const test::ProgramRun info = test::runProgram(
            QStringLiteral("pdfinfo"), {QStringLiteral("-upw"), QStringLiteral("leitor"), path});
        if (info.found) {
            EXPECT_TRUE(info.out.contains("Confidencial")) << info.out.data();
            EXPECT_TRUE(info.out.contains("2024")) << info.out.data();
        }
        bool available = false;
        const auto js = test::pdfjsText(source("tests/support/pdfjs_text.mjs"), path,
                                        QStringLiteral("leitor"), available);
        if (available) {
            ASSERT_TRUE(js.has_value());
            EXPECT_TRUE(js->contains("Resumo da filial 1")) << js->left(600).data();
            EXPECT_FALSE(
                test::pdfjsText(source("tests/support/pdfjs_text.mjs"), path, {}, available)
                    .has_value());
        }
    }
}

} // namespace
} // namespace zr::reportlib::pdf
