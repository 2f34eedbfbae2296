// `zeralconv thumbnail`: the first page read alone draws exactly what the whole report draws,
// the report's kind comes from its content, and nothing that is no report gets an image.

#include "app/common/viewer_settings.h"
#include "app/conv/convert_job.h"
#include "app/conv/thumbnail.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"
#include "temp_dir.h"
#include "textreport/gravana.h"
#include "textreport/render/page_renderer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>

namespace zr::app {
namespace {

using test::RecordingInteraction;
using test::ReportBuilder;
using test::TempDir;

// A text report of `pages` pages whose every page carries a few items, the page-count macro
// among them (so the count must survive the shortened reading).
QByteArray textReport(int pages) {
    ReportBuilder b;
    b.title("Vendas");
    for (int p = 1; p <= pages; ++p) {
        b.item(p, 1, 1, "RELATORIO DE VENDAS   pagina &PAGE&");
        b.item(p, 3, 5, "Cliente " + QByteArray::number(p));
        b.item(p, 4, 5, "Total  1.234,56");
    }
    return b.build();
}

// The first page as the whole-file loaders draw it, at the thumbnail's scale.
QImage fullTextPage(const QString& path, int size) {
    RecordingInteraction quiet;
    textreport::ReportState::ScopedOverride own;
    textreport::TGravana g(quiet);
    applyViewerSettings(g);
    g.OpcoesPreview.Preview = false;
    g.Abrir();
    g.LerRelatorio(path);
    const auto page = textreport::pageGeometry(textreport::PageLayout::Print,
                                               g.TamanhoQteColunas, g.TamanhoQteLinhas);
    QImage image = textreport::renderPageImage(
        g, 1, double(size) / double(std::max(page.width, page.height)));
    g.Abortar();
    return image;
}

QImage fullPreparedPage(const QString& path, int size) {
    reportlib::TqdxReport report;
    report.PreviewPages().LoadFromFile(path, true);
    const QSize paper = report.PreviewPages().PageExtent(0);
    const double scale = double(size) / double(std::max(paper.width(), paper.height()));
    QImage image(reportlib::render::Round(paper.width() * scale),
                 reportlib::render::Round(paper.height() * scale), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    reportlib::render::PaintPage(report.PreviewPages(), 0, painter, scale, scale, 0, 0);
    return image;
}

class Thumbnail : public ::testing::Test {
protected:
    textreport::ReportState::ScopedOverride state;
    TempDir dir;
    RecordingInteraction ui;
};

TEST_F(Thumbnail, TextReportFirstPageIsDrawnAsTheWholeReportDrawsIt) {
    // Named without extension: the content decides.
    const QString input = dir.write(QStringLiteral("vendas"), textReport(40));
    const QString output = dir.path(QStringLiteral("t.png"));
    ASSERT_EQ(writeThumbnail(input, output, 200, ui), ExitDone);
    EXPECT_TRUE(ui.messages.empty());
    const QImage thumb(output);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(std::max(thumb.width(), thumb.height()), 200);
    EXPECT_EQ(thumb.convertToFormat(QImage::Format_RGB32), fullTextPage(input, 200));

    // What was read: the control record with a matching count, page 1's items and the last
    // item (page 40, for the page-count macro), nothing of the pages between.
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<QByteArray> first = textReportFirstPage(file);
    ASSERT_TRUE(first.has_value());
    const QList<QByteArray> lines = first->split('\n');
    ASSERT_EQ(lines.size(), 9 + 4 + 1); // the last "line" is what follows the final CR LF
    EXPECT_EQ(lines[2], "000004\r");
    EXPECT_TRUE(lines[9].startsWith("0001"));
    EXPECT_TRUE(lines[12].startsWith("0040"));
}

TEST_F(Thumbnail, PreparedReportFirstPageIsDrawnAsTheWholeReportDrawsIt) {
    tools::Qp3GeneratorOptions options;
    options.pages = 60;
    options.pictureEvery = 1; // the first page has a picture of its own
    const QString input = dir.path(QStringLiteral("Vendas.Xml"));
    ASSERT_TRUE(tools::WritePreparedReport(input, options));
    const QString output = dir.path(QStringLiteral("p.png"));
    ASSERT_EQ(writeThumbnail(input, output, 256, ui), ExitDone);
    const QImage thumb(output);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(std::max(thumb.width(), thumb.height()), 256);
    EXPECT_EQ(thumb.convertToFormat(QImage::Format_RGB32), fullPreparedPage(input, 256));

    // The shortened document holds one page and none of the sections drawing does not read.
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<QByteArray> first = preparedReportFirstPage(file);
    ASSERT_TRUE(first.has_value());
    EXPECT_LT(first->size(), file.size() / 10);
    EXPECT_FALSE(first->contains("<outline"));
    EXPECT_FALSE(first->contains("<logicalpagenumbers"));
    EXPECT_TRUE(first->contains("<picturecache"));
    // Only the pictures the first page names keep their bytes; the others stay as numbered
    // empty places.
    const qsizetype kept = first->count("<item stream=");
    EXPECT_GE(kept, 1);
    EXPECT_LT(kept, 10);
    reportlib::TqdxReport report;
    QByteArray bytes = *first;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    report.PreviewPages().LoadFromStream(buffer);
    EXPECT_EQ(report.PreviewPages().Count(), 1);
}

TEST_F(Thumbnail, AReportLaidOutOtherwiseIsReadWhole) {
    // The pages section never ends where it is looked for: the whole file is read instead.
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    const QString input = dir.path(QStringLiteral("r.qp3"));
    ASSERT_TRUE(tools::WritePreparedReport(input, options));
    QByteArray bytes = TempDir::read(input);
    bytes.replace("</previewpages>", "</previewpages   >");
    dir.write(QStringLiteral("r.qp3"), bytes);
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(preparedReportFirstPage(file).has_value());
    file.close();
    ASSERT_EQ(writeThumbnail(input, dir.path(QStringLiteral("r.png")), 64, ui), ExitDone);
    EXPECT_FALSE(QImage(dir.path(QStringLiteral("r.png"))).isNull());
}

TEST_F(Thumbnail, WhatIsNoReportFailsAndWritesNoImage) {
    tools::Qp3GeneratorOptions options;
    options.pages = 2;
    const QString good = dir.path(QStringLiteral("bom.QP3"));
    ASSERT_TRUE(tools::WritePreparedReport(good, options));
    const QByteArray prepared = TempDir::read(good);
    const QByteArray text = textReport(2);
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"vazio.GVP", {}},
        {"texto.GVP", "apenas texto\r\n"},
        {"cortado.QP3", prepared.left(prepared.indexOf("<page0") + 40)},
        {"sem-fim.QP3", prepared.left(prepared.size() / 2)},
        {"outro-xml.QP3", "<?xml version=\"1.0\"?><relatorio/>"},
        {"so-marca.GVP", text.left(text.indexOf('\n') + 1)},
        {"controle-curto.GVP", text.left(text.indexOf("Vendas"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString input = dir.write(QString::fromLatin1(c.name), c.bytes);
        const QString output = dir.path(QStringLiteral("nada.png"));
        ui.messages.clear();
        EXPECT_EQ(writeThumbnail(input, output, 128, ui), ExitFailed);
        EXPECT_FALSE(QFile::exists(output));
        EXPECT_EQ(ui.messages.size(), 1u);
    }
    // Missing files and folders.
    EXPECT_EQ(writeThumbnail(dir.path(QStringLiteral("sumiu.GVP")), dir.path(QStringLiteral("x.png")), 64, ui),
              ExitFailed);
    EXPECT_EQ(writeThumbnail(dir.root(), dir.path(QStringLiteral("x.png")), 64, ui), ExitFailed);
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("x.png"))));
}

TEST(ThumbnailCommandLine, TakesSizeOnlyWithinBounds) {
    QString error;
    auto parse = [&](const QStringList& args) { return ConvertJob::parse(args, error); };
    const auto job = parse({"thumbnail", "in", "out.png"});
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->command, ConvertJob::Command::Thumbnail);
    EXPECT_EQ(job->thumbnailSize, 256);
    EXPECT_EQ(parse({"thumbnail", "--size", "4096", "in", "out"})->thumbnailSize, 4096);
    for (const char* bad : {"0", "-3", "4097", "abc", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse({"thumbnail", "--size", bad, "in", "out"}).has_value());
    }
    EXPECT_FALSE(parse({"thumbnail", "--size"}).has_value());
    EXPECT_FALSE(parse({"thumbnail", "in"}).has_value());
    EXPECT_FALSE(parse({"thumbnail", "--pages", "1", "in", "out"}).has_value());
    EXPECT_FALSE(parse({"convert", "--size", "64", "in.GVP", "out.png"}).has_value());
}

TEST(ThumbnailProgram, RunsAsTheThumbnailerEntryRunsIt) {
    TempDir dir;
    const QString input = dir.path(QStringLiteral("exemplo"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZR_SOURCE_DIR "/examples/exemplo.QP3"), input));
    QProcess p;
    p.start(QStringLiteral(ZR_BIN_DIR "/zeralconv"),
            {QStringLiteral("thumbnail"), QStringLiteral("--size"), QStringLiteral("96"), input,
             dir.path(QStringLiteral("out"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    const QImage image(dir.path(QStringLiteral("out")), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(std::max(image.width(), image.height()), 96);
}

} // namespace
} // namespace zr::app
