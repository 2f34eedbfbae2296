#include "textreport/io/gvp_file.h"

#include "platform/interaction/cancel_request.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>

using namespace zr::textreport;
using zr::MessageKind;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

const QString kInvalid = QStringLiteral("Formato do arquivo é inválido...");
const QString kCountWarning = QStringLiteral("Gravana: Erro no controle, relatório pode causar erro");

class GvpFileTest : public ::testing::Test {
protected:
    GvpFileTest() {
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.Abrir();
    }
    LoadResult load(const QByteArray& bytes) { return g.LerRelatorio(dir.write("r.GVP", bytes)); }
    std::vector<QByteArray> items() const {
        std::vector<QByteArray> out;
        for (qsizetype i = 0; i < g.store()->size(); ++i) {
            out.push_back(g.store()->item(i).toByteArray());
        }
        return out;
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    TempDir dir;
};

} // namespace

TEST_F(GvpFileTest, ReadsTheControlRecordAndSortsTheItems) {
    const QByteArray file = ReportBuilder()
                                .title("Relat\xf3rio")
                                .size(72, 132)
                                .lpp("8")
                                .pitch("F17")
                                .style("SN")
                                .item(2, 1, 1, "segunda")
                                .item(1, 5, 10, "b")
                                .item(1, 5, 3, "a")
                                .build();
    EXPECT_EQ(load(file), LoadResult::Loaded);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(g.TitulodoRelatorio, "Relat\xf3rio");
    EXPECT_EQ(g.TamanhoQteLinhas, 72);
    EXPECT_EQ(g.TamanhoQteColunas, 132);
    EXPECT_EQ(g.TamanhoQteLPP, TLinha::Oito);
    EXPECT_EQ(g.FonteTamanhoPadrao, TSize::S17cpp);
    EXPECT_EQ(g.FonteEstiloPadrao, (TStyle{true, false, true})); // "SN": bold and underline
    EXPECT_EQ(g.versaoLida(), 5);
    EXPECT_EQ(items(), (std::vector<QByteArray>{"0001005003016T000000a", "0001005010016T000000b",
                                                "0002001001016T000000segunda"}));
    // The sequences were rebuilt for the loaded size: Epson page length is ESC C 72.
    EXPECT_EQ(g.state().sequencias.tamanhoPagina, QByteArray("\x1b" "C\x48"));
    ASSERT_EQ(ui.progresses.size(), 1u);
    EXPECT_EQ(ui.progresses[0].info.caption, "Lendo...");
    EXPECT_EQ(ui.progresses[0].maximum, 3);
    EXPECT_EQ(ui.progresses[0].value, 3);
}

TEST_F(GvpFileTest, ReadsOlderVersionsAndGivesVersion3ItemsBlack) {
    ASSERT_EQ(load(ReportBuilder().version(4).item(1, 1, 1, "x", 16, 'T', "FF0000").build()),
              LoadResult::Loaded);
    EXPECT_EQ(items(), std::vector<QByteArray>{"0001001001016TFF0000x"});
    ASSERT_EQ(load(ReportBuilder().version(3).item(1, 1, 1, "velho").raw("0001002").build()),
              LoadResult::Loaded);
    EXPECT_EQ(g.versaoLida(), 3);
    EXPECT_EQ(items(), (std::vector<QByteArray>{"0001001001016T000000velho", "0001002000000"}));

    // Saving writes version 5, the colour field included.
    const QString out = dir.path("out.gvp");
    ASSERT_TRUE(g.GravarRelatorio(out).done());
    const QByteArray saved = TempDir::read(out);
    EXPECT_TRUE(saved.startsWith("<< Gravana 5.0 - Morvane Sistemas >>\r\n"
                                 "<< ESTE  ARQUIVO N\xc3O DEVE SER EDITADO >>\r\n000002\r\n"));
    EXPECT_TRUE(saved.endsWith("\r\n0001001001016T000000velho\r\n0001002000000\r\n"));
}

TEST_F(GvpFileTest, RejectsWhatIsNotASavedReportAndKeepsTheStore) {
    g.store()->add("0001001001016T000000kept");
    const QByteArray good = ReportBuilder().item(1, 1, 1, "x").build();
    QByteArray trailingBlank = good;
    trailingBlank.insert(36, ' ');
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i) {
        binary[i] = char((i * 7919) & 0xff);
    }
    const QList<QByteArray> bad = {
        trailingBlank, binary, QByteArray(), "plain text\r\n",
        good.left(good.indexOf("000066")),                               // control record cut short
        ReportBuilder().size(1000000, 80).build(),                       // absurd page length
        ReportBuilder().size(66, 0).build(),                             // no columns
        QByteArray(good).replace("000066", "0x0042"),                    // not a number
    };
    for (const QByteArray& b : bad) {
        ui.clear();
        EXPECT_EQ(load(b), LoadResult::Failed);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, kInvalid);
        EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    }
    EXPECT_EQ(items(), std::vector<QByteArray>{"0001001001016T000000kept"});
}

TEST_F(GvpFileTest, KeepsTheValuesReadBeforeABrokenControlLine) {
    load(ReportBuilder().title("Novo").size(70, 90).build().replace("000090", "abc"));
    EXPECT_EQ(g.TitulodoRelatorio, "Novo");
    EXPECT_EQ(g.TamanhoQteLinhas, 70);
    EXPECT_EQ(g.TamanhoQteColunas, 80); // not read
}

TEST_F(GvpFileTest, ReportsAMissingFileWithItsName) {
    const QString missing = dir.path("nao-existe.GVP");
    EXPECT_EQ(g.LerRelatorio(missing), LoadResult::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Erro na Abertura do arquivo...\r\rArquivo: " + missing +
                                       "\rNo such file or directory");
    EXPECT_EQ(g.LerRelatorio(dir.root()), LoadResult::Failed); // a folder cannot be read
}

TEST_F(GvpFileTest, InterpretsSpacingPitchAndStyleLinesLeniently) {
    load(ReportBuilder().lpp("x").pitch("F99").style("zNz").build());
    EXPECT_EQ(g.TamanhoQteLPP, TLinha::Oito); // anything but "6"
    EXPECT_EQ(g.FonteTamanhoPadrao, TSize::S10cpp); // unknown pitch leaves it unchanged
    EXPECT_EQ(g.FonteEstiloPadrao, (TStyle{true, false, false}));
    load(ReportBuilder().lpp("6").style("").build());
    EXPECT_EQ(g.TamanhoQteLPP, TLinha::Seis);
    EXPECT_TRUE(g.FonteEstiloPadrao.empty());
}

TEST_F(GvpFileTest, AnEmptyLineEndsTheItemsWithTheCountWarning) {
    const QByteArray file =
        ReportBuilder().item(1, 1, 1, "a").raw("").item(1, 2, 1, "lost").build();
    EXPECT_EQ(load(file), LoadResult::CountWarning);
    EXPECT_EQ(items(), std::vector<QByteArray>{"0001001001016T000000a"});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(ui.messages[0].text, kCountWarning);
}

TEST_F(GvpFileTest, KeepsMalformedItemsForTheDecoderToJudge) {
    // Short items, garbage fields and LF-only line ends are still items of the store.
    QByteArray file = ReportBuilder().raw("12").raw("abc\xff\x01").item(1, 1, 1, "ok").build();
    file.replace("\r\n", "\n");
    EXPECT_EQ(load(file), LoadResult::Loaded);
    EXPECT_EQ(items(), (std::vector<QByteArray>{"0001001001016T000000ok", "12", "abc\xff\x01"}));
    EXPECT_EQ(g.TotalPaginas(), 1);
}

TEST_F(GvpFileTest, CancellingALoadKeepsWhatWasRead) {
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    ui.cancelAfterSteps = 2;
    const QByteArray file =
        ReportBuilder().item(1, 1, 1, "a").item(1, 2, 1, "b").item(1, 3, 1, "c").build();
    EXPECT_EQ(load(file), LoadResult::Cancelled);
    EXPECT_EQ(g.store()->size(), 2);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(ui.texts(), std::vector<QString>{kCountWarning});
    zr::CancelRequest::clear();
}

TEST_F(GvpFileTest, NamesFromTheLoadAndSaveEventsAreUsed) {
    const QString real = dir.write("real.GVP", ReportBuilder().item(1, 1, 1, "x").build());
    g.OnLoad = [&](TGravana&, QString& name) { name = real; };
    EXPECT_EQ(g.LerRelatorio(QStringLiteral("other.GVP")), LoadResult::Loaded);
    g.OnLoad = [](TGravana&, QString& name) { name.clear(); };
    EXPECT_EQ(g.LerRelatorio(real), LoadResult::Failed); // an empty name does nothing
    EXPECT_TRUE(ui.messages.empty());

    const QString saved = dir.path("saved.GVP");
    g.OnSave = [&](TGravana&, QString& name) { name = saved; };
    EXPECT_TRUE(g.GravarRelatorio(dir.path("ignored.GVP")).done());
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_FALSE(QFile::exists(dir.path("ignored.GVP")));
}

TEST_F(GvpFileTest, SavingWithNoNameWritesGravanaGvpInTheCurrentFolder) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.root());
    g.store()->add("0001001001016T000000x");
    EXPECT_TRUE(g.GravarRelatorio(QString()).done());
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(dir.path("Gravana.GVP")));
}

TEST_F(GvpFileTest, AFailedOrCancelledSaveLeavesTheOldFileAsItWas) {
    const QString target = dir.write("keep.GVP", "old contents");
    for (int i = 0; i < 5; ++i) {
        g.store()->add(ReportBuilder::itemString(1, i + 1, 1, "linha"));
    }
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    ui.cancelAfterSteps = 3;
    EXPECT_TRUE(g.GravarRelatorio(target).cancelled());
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(TempDir::read(target), "old contents");
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.GVP"}); // no leftovers
    zr::CancelRequest::clear();

    const QString nowhere = dir.path("no/such/folder/r.GVP");
    const zr::Outcome failed = g.GravarRelatorio(nowhere);
    EXPECT_EQ(failed.status, zr::Outcome::Status::Failed);
    EXPECT_EQ(failed.systemError, ENOENT);
    EXPECT_EQ(ui.texts(), std::vector<QString>{"Erro na abertura do arquivo...\r\rArquivo: " +
                                               nowhere + "\rNo such file or directory"});
    EXPECT_TRUE(g.GravarRelatorio(target).done());
    EXPECT_EQ(ui.progresses.back().info.caption, "Gravando...");
    EXPECT_EQ(ui.progresses.back().value, 5);
}

TEST_F(GvpFileTest, ASavedReportReadsBackIdentically) {
    const QByteArray file = ReportBuilder()
                                .title("T\xedtulo")
                                .size(40, 48)
                                .pitch("F05")
                                .style("NIS")
                                .item(1, 1, 1, "a\xe7\xe3o", 42, 'T', "12AB34")
                                .item(1, 2, 1, "a--b", 16, 'B')
                                .item(1, 3, 1, "27 69", 16, 'C')
                                .build();
    ASSERT_EQ(load(file), LoadResult::Loaded);
    const QString out = dir.path("copy.GVP");
    ASSERT_TRUE(g.GravarRelatorio(out).done());
    EXPECT_EQ(TempDir::read(out), file);
}

TEST(GvpFormat, ParsesNumbersAsTheFileWritesThem) {
    int n = -1;
    EXPECT_TRUE(gvp::parseNumber("000066", n));
    EXPECT_EQ(n, 66);
    EXPECT_TRUE(gvp::parseNumber("  -12", n));
    EXPECT_EQ(n, -12);
    for (const char* bad : {"", " ", "-", "12 ", "1e3", "0x10", "99999999999"}) {
        EXPECT_FALSE(gvp::parseNumber(bad, n)) << bad;
    }
    EXPECT_EQ(gvp::sixDigits(42), "000042");
    EXPECT_EQ(gvp::sixDigits(1234567), "1234567");
}
