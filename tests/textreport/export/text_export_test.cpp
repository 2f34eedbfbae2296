#include "textreport/gravana.h"

#include "platform/files/display_path.h"
#include "platform/interaction/cancel_request.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/export/report_format.h"
#include "textreport/io/file_message.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>

using namespace zr::textreport;
using zr::displayPath;
using zr::kDisplayPathLength;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

class ExportTest : public ::testing::Test {
protected:
    ExportTest() {
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.Abrir();
    }
    void add(int page, int line, int column, const QByteArray& text, int attribute = 16,
             char kind = 'T', const QByteArray& colour = "000000") {
        g.store()->add(
            ReportBuilder::itemString(page, line, column, text, attribute, kind, colour));
    }
    QList<QByteArray> textLines() {
        const QString file = dir.path("r.txt");
        g.GravarTXT(file);
        QByteArray all = TempDir::read(file);
        EXPECT_TRUE(all.endsWith("\r\n"));
        all.chop(2);
        return all.split('\n');
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    TempDir dir;
};

} // namespace

TEST_F(ExportTest, TextPadsEveryPageButTheLastToItsLength) {
    g.TamanhoQteLinhas = 66;
    add(1, 10, 1, "fim da primeira");
    add(2, 1, 1, "segunda");
    add(2, 3, 1, "terceira linha");
    const QList<QByteArray> lines = textLines();
    ASSERT_EQ(lines.size(), 66 + 3);
    EXPECT_EQ(lines[9], "fim da primeira\r");
    EXPECT_EQ(lines[66], "segunda\r");
    EXPECT_EQ(lines[67], "\r");
    EXPECT_EQ(lines[68], "terceira linha"); // the last line, its CR LF chopped above
}

TEST_F(ExportTest, TextPlacesItemsOnTheGridAndLetLaterItemsOverwrite) {
    g.Acentuacao = TAcento::SemAcento;
    add(1, 1, 1, "ABCDEFGHIJK"); // ends at column 12
    add(1, 1, 5, "xy");          // cuts the line to four characters
    add(1, 2, 4, "a\xe7\xe3o");  // accents removed, padded to column 4
    add(1, 3, 1, "a--b", 16, 'B');
    add(1, 3, 9, "27 69", 16, 'C'); // moves to its column, writes nothing
    add(1, 4, 1, "velho");
    add(1, 4, 1, "27 15", 17, 'C'); // at column 1: empties what was built (sorts after)
    const QList<QByteArray> lines = textLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "ABCDxy\r");
    EXPECT_EQ(lines[1], "   acao\r");
    EXPECT_EQ(lines[2], "\xda\xc4\xc4\xbf    \r");
    EXPECT_EQ(lines[3], "");
}

TEST_F(ExportTest, TextCancelKeepsWhatWasWrittenAndFailuresAreReported) {
    for (int i = 1; i <= 5; ++i) {
        add(1, i, 1, "linha " + QByteArray::number(i));
    }
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    ui.cancelAfterSteps = 3;
    const QList<QByteArray> lines = textLines();
    EXPECT_EQ(lines, (QList<QByteArray>{"linha 1\r", "linha 2"}));
    EXPECT_EQ(cancels, 1);
    zr::CancelRequest::clear();

    const QString bad = dir.path("none/r.txt");
    EXPECT_EQ(g.GravarTXT(bad).systemError, ENOENT);
    EXPECT_EQ(ui.texts().back(),
              "Erro na Abertura do arquivo...\r\rArquivo: " + bad + "\rNo such file or directory");
    EXPECT_EQ(ui.progresses.front().info.caption, "Gravando...");
}

TEST_F(ExportTest, SavingUnderDefaultNamesWritesThemInTheCurrentFolder) {
    add(1, 1, 1, "x");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.root());
    g.GravarTXT(QString());
    g.GravarHTML(QString());
    g.OnSave = [](TGravana&, QString& name) { name.clear(); }; // a handler may cancel the save
    g.GravarTXT(QString());
    QDir::setCurrent(previous);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"Gravana.HTM", "Gravana.TXT"}));
}

namespace {
QByteArray htmlOf(TGravana& g, const TempDir& dir) {
    const QString file = dir.path("r.htm");
    g.GravarHTML(file);
    return TempDir::read(file);
}
} // namespace

TEST_F(ExportTest, HtmlHeadDescribesTheDefaultPitchAndColours) {
    g.FonteTamanhoPadrao = TSize::S12cpp;
    g.OpcoesPreview.CorPapelPreview = QColor(0xFF, 0xFF, 0xF0);
    const QByteArray html = htmlOf(g, dir);
    EXPECT_TRUE(html.startsWith(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
        "<!-- ////////////////////////////////////////////////////// -->\r\n"));
    const QList<QByteArray> lines = html.split('\n');
    EXPECT_EQ(lines[2].size(), 63 + 1); // the comment is as wide as the rule, CR aside
    EXPECT_TRUE(html.contains(
        "div {font-family:Courier New;font-size:16px;Letter-spacing:-2px;\r\n"
        "backround-color:#FFFFF0; color:#000000; position: absolute; z-index: 0; left: 0px; "
        "top: 0px }\r\n</style>\r\n"));
    EXPECT_TRUE(html.endsWith("<nobr>\r\n<nowrap>\r\n</nowrap>\r\n</nobr>\r\n</body>\r\n</html>\r\n"));
    EXPECT_EQ(ui.progresses.back().info.caption, "Gerando HTML...");
}

TEST_F(ExportTest, HtmlFramesPagesAndPlacesStyledText) {
    g.TamanhoQteColunas = 80;
    g.TamanhoQteLinhas = 66;
    add(1, 1, 1, "a--b", 16, 'B'); // page 1 has no text: no frame
    add(2, 3, 5, "<Total & \"c\">", 16 + 2 + 4);
    add(2, 4, 1, "pitch 17", 64);
    add(2, 5, 1, "largo", 16 + 8);
    add(2, 6, 1, "dois  espacos", 16, 'T', "FF0000");
    add(3, 1, 1, "27 69", 16, 'C');
    const QByteArray html = htmlOf(g, dir);
    EXPECT_FALSE(html.contains("name=\"pagina_1\""));
    EXPECT_FALSE(html.contains("pagina_3\">&nbsp;"));
    // Page 2 starts one page box (17 x 69 = 1173) and a 30-pixel gap down; its line L is at
    // (L + 1) x 17 + 1203 + 30.
    EXPECT_TRUE(html.contains("<div style=\"top:1233;left:30;width:850px;Height:1173px; "
                              "background:#FFFFFF\"></div>\r\n"));
    EXPECT_TRUE(html.contains("<div style=\"top:1233;left:879;width:1px;Height:1173px;"
                              "background:#000000\"></div>\r\n"));
    EXPECT_TRUE(html.contains("<a name=\"pagina_2\">&nbsp;&nbsp;&nbsp;P\xc1GINA: 2&nbsp;&nbsp;"
                              "de&nbsp;&nbsp;3&nbsp;&nbsp;&nbsp;</a></span><a href=\"#pagina_3\">"
                              "Pr\xf3xima</a><a href=\"#pagina_3\">\xdaltima</a></div>\r\n"));
    EXPECT_TRUE(html.contains("<div style=\"top:1301px;left:100px\"><u><b>&lt;Total &amp; "
                              "&quot;c&quot;&gt;</b></u></div>\r\n"));
    EXPECT_TRUE(html.contains("<div class=\"f17\" style=\"top:1318px;left:60px\">pitch 17</div>"));
    EXPECT_TRUE(html.contains("<div class=\"e10\" style=\"top:1335px;left:60px\">largo</div>"));
    EXPECT_TRUE(html.contains("<div style=\"top:1352px;left:60px;Color:#FF0000\">"
                              "<pre>dois  espacos</pre></div>"));
}

TEST_F(ExportTest, HtmlPageRendersInABrowserEngine) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        GTEST_SKIP() << "chromium is not installed";
    }
    add(1, 2, 3, "RELAT\xd3RIO DE VENDAS", 16 + 8 + 2);
    for (int l = 4; l < 30; ++l) {
        add(1, l, 1, "0000" + QByteArray::number(l) + "  Cliente exemplo  1.234,56");
    }
    const QString file = dir.path("page.htm");
    g.GravarHTML(file);
    const QString shot = dir.path("shot.png");
    QProcess p;
    p.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                       "--disable-background-networking", "--disable-component-update",
                       "--disable-sync", "--user-data-dir=" + dir.path("profile"),
                       "--window-size=1000,800", "--screenshot=" + shot,
                       "file://" + file});
    ASSERT_TRUE(p.waitForFinished(120000));
    QImage image(shot);
    ASSERT_FALSE(image.isNull()) << p.readAllStandardError().toStdString();
    // The grey body, the white page and dark text must all be there.
    int white = 0, dark = 0, grey = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (c.lightness() > 245) {
                ++white;
            } else if (c.lightness() < 80) {
                ++dark;
            } else if (c == QColor(0x8B, 0x89, 0x89)) {
                ++grey;
            }
        }
    }
    EXPECT_GT(white, 10000);
    EXPECT_GT(dark, 200);
    EXPECT_GT(grey, 1000);
}

TEST_F(ExportTest, AFailedSaveSaysTheSystemsReasonUnderAFileNameThatFitsTheBox) {
    add(1, 1, 1, "x");
    const QString deep =
        dir.path(QStringLiteral("vendas-do-mes-de-marco/filial-centro/relatorios-conferidos/"
                                "segunda-via/r.TXT"));
    const struct {
        QString name;
        const char* reason;
    } failures[] = {
        {dir.path(QStringLiteral("nenhuma/r.TXT")), "No such file or directory"},
        // The name the preview makes of 253 typed characters and the type's extension.
        {dir.path(QString(253, QLatin1Char('r')) + QStringLiteral(".TXT")), "File name too long"},
        {deep, "No such file or directory"},
        {QStringLiteral("/dev/full"), "No space left on device"},
    };
    for (const TextReportFormat format : {TextReportFormat::Gvp, TextReportFormat::Txt,
                                          TextReportFormat::Htm, TextReportFormat::Pdf}) {
        for (const auto& failure : failures) {
            if (failure.name == "/dev/full" && !QFile::exists(failure.name)) {
                continue;
            }
            ui.clear();
            EXPECT_FALSE(writeReportAs(g, format, failure.name).done());
            ASSERT_EQ(ui.texts().size(), 1u) << failure.reason;
            const QStringList lines = ui.texts().front().split(QLatin1Char('\r'));
            ASSERT_EQ(lines.size(), 4) << ui.texts().front().toStdString();
            EXPECT_TRUE(lines[0].startsWith("Erro na ")) << lines[0].toStdString();
            EXPECT_EQ(lines[1], "");
            EXPECT_EQ(lines[2], "Arquivo: " + displayPath(failure.name));
            EXPECT_EQ(lines[3], QString::fromUtf8(failure.reason)) << int(format);
        }
    }
    // A long name keeps its start and its file's name, and is cut in the middle.
    const QString shown = displayPath(deep);
    EXPECT_EQ(shown.size(), kDisplayPathLength);
    EXPECT_TRUE(shown.startsWith(dir.root()));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\u2026/r.TXT"))) << shown.toStdString();
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}
