#include "textreport/gravana.h"

#include "platform/interaction/cancel_request.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/printing/port_output.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>

using namespace zr::textreport;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

const QByteArray ESC = "\x1b";

// A report open on a fresh state, printing to a file in a private folder.
class PrintJobTest : public ::testing::Test {
protected:
    PrintJobTest() {
        g.PortaComunicacao = dir.path("port.prn");
        g.UsaGerenciadorImpr = false;
        g.Acentuacao = TAcento::Transliterate;
        g.OnErro = [this](TGravana&, const QString& m) { errors.push_back(m); };
        g.Abrir();
    }
    void add(int page, int line, int column, const QByteArray& text, int attribute = 16,
             char kind = 'T') {
        g.store()->add(ReportBuilder::itemString(page, line, column, text, attribute, kind));
    }
    // Adds pages 1..n, each holding its own name at line 1.
    void pages(int n) {
        for (int p = 1; p <= n; ++p) {
            add(p, 1, 1, "P" + QByteArray::number(p));
        }
    }
    QByteArray print() {
        g.Imprimir(QString());
        return TempDir::read(g.PortaComunicacao);
    }
    // The page names in the order a stream holds them.
    static QByteArray order(const QByteArray& stream) {
        QByteArray out;
        for (qsizetype i = 0; i + 1 < stream.size(); ++i) {
            if (stream[i] == 'P' && stream[i + 1] >= '1' && stream[i + 1] <= '9') {
                out += stream[i + 1];
            }
        }
        return out;
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    TempDir dir;
    std::vector<QString> errors;
};

struct ModelBytes {
    TModelo model;
    const char* name;
    QByteArray spacing, length, feed, bold, pitch10, pitch17, reset, init;
    QByteArray accented; // "AÇÃO" as the model receives it
};

const ModelBytes kModels[] = {
    {TModelo::Epson, "Epson", ESC + "2", ESC + "C\x42", "\x0c", ESC + "G", "\x12" + ESC + "P",
     ESC + "P" + ESC + "\x0f", ESC + "P\x12" + ESC + "W0" + ESC + "5" + ESC + "H" + ESC + "-0",
     ESC + "@", "A\x80\xc7O"},
    {TModelo::Rima, "Rima", ESC + "2", ESC + "C\x42", "\x0c", ESC + "E", "\x1e" "0", "\x1e" "4",
     "\x1e" "0" + ESC + "5" + ESC + "F" + ESC + "-0", ESC + "@", "ACAO"},
    {TModelo::HP, "HP", ESC + "&l6D", ESC + "&l66P", ESC + "&l0H", ESC + "(s3B", ESC + "(s10H",
     ESC + "(s16.67H",
     ESC + "(s0B" + ESC + "(s0S" + ESC + "&d@" + ESC + "(s10H" + ESC + "(12U" + ESC + "&l0L",
     ESC + "E", "A\x80\xc7O"},
    {TModelo::Personalizado, "Personalizado", ESC + "2", ESC + "C\x42", "\x0c", ESC + "E",
     "\x12" + ESC + "P", ESC + "P" + ESC + "\x0f",
     ESC + "P\x12\x14" + ESC + "5" + ESC + "F" + ESC + "-0", ESC + "@", "A\x80\xc7O"},
    {TModelo::Bobina, "Bobina", "", "", "", "", "", "", "", "", "A\x80\xc7O"},
};

class PrnStream : public PrintJobTest, public ::testing::WithParamInterface<ModelBytes> {};

} // namespace

TEST_P(PrnStream, MatchesTheModelsControlLanguageByteForByte) {
    const ModelBytes& m = GetParam();
    g.Impressora = m.model;
    g.MontarSequencias(m.model, 66, TLinha::Seis);
    add(1, 1, 1, "A\xc7\xc3O");
    add(1, 2, 3, "X", 16 + 2);  // bold
    add(1, 2, 10, "Y", 64);     // pitch 17: the head returns over it
    add(2, 1, 1, "Z");
    add(2, 1, 1, "27 69", 16, 'C');
    const QString file = dir.path("out.prn");
    g.GravarPRN(file);

    const QByteArray prefix = m.pitch10;
    QByteArray want = m.spacing + m.length + m.reset + prefix;
    want += m.accented;
    want += "\n\r  " + m.pitch10 + m.bold + "X" + m.reset + prefix;
    want += "      " + m.pitch17 + "Y\b" + m.reset + prefix;
    want += m.feed;
    want += "\x1b\x45"; // the control item comes first on its line (C sorts before T)
    want += "Z" + m.feed;
    want += m.init;
    EXPECT_EQ(TempDir::read(file).toHex(' '), want.toHex(' ')) << m.name;
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, PrnStream, ::testing::ValuesIn(kModels),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(PrintJobTest, MovesTheHeadWithLineFeedsBlanksAndBackspaces) {
    g.Impressora = TModelo::Bobina;
    g.MontarSequencias(TModelo::Bobina, 66, TLinha::Seis);
    add(1, 1, 10, "ABCDE");   // ends at column 15
    add(1, 1, 12, "x");       // three backspaces back to column 12
    add(1, 4, 2, "q");        // three line feed/carriage return pairs, then a blank
    add(1, 4, 5, "WIDE", 8);  // expanded: back over its four characters
    add(1, 4, 7, "n");        // blanks counted from column 5, where the expanded text began
    EXPECT_EQ(print(), "         ABCDE\b\b\bx\n\r\n\r\n\r q  WIDE\b\b\b\b  n");
}

TEST_F(PrintJobTest, HonoursRangeOddEvenCopiesCollationAndOrder) {
    pages(6);
    g.state().job.faixa = "1,3,5-12";
    EXPECT_EQ(order(print()), "1356"); // pages past the end are skipped
    g.state().job.faixa = "2-5";
    g.state().job.parImpar = 1;
    EXPECT_EQ(order(print()), "35");
    g.state().job.parImpar = 2;
    EXPECT_EQ(order(print()), "24");

    g.state().job = JobOptions{};
    g.state().job.faixa = "1-3";
    g.state().job.copias = 2;
    EXPECT_EQ(order(print()), "123123");
    g.state().job.agrupar = false;
    EXPECT_EQ(order(print()), "112233");
    g.state().job.inverter = true;
    EXPECT_EQ(order(print()), "332211");
    g.state().job.agrupar = true;
    EXPECT_EQ(order(print()), "321321");
    EXPECT_EQ(ui.progresses.back().info.caption, "Imprimindo...");
    EXPECT_EQ(ui.progresses.back().maximum, 6);
    EXPECT_EQ(ui.progresses.back().value, 6);
}

TEST_F(PrintJobTest, RaisesThePrintEventsOnlyForRealJobs) {
    pages(1);
    std::vector<QString> events;
    g.OnBeforePrint = [&](TGravana&, bool& go) {
        events.push_back("before");
        go = false;
    };
    g.OnAfterPrint = [&](TGravana&) { events.push_back("after"); };
    g.Imprimir(QString());
    EXPECT_FALSE(QFile::exists(g.PortaComunicacao)); // refused: no job at all
    g.OnBeforePrint = [&](TGravana&, bool&) { events.push_back("before"); };
    g.Imprimir(QString());
    g.GravarPRN(dir.path("f.prn")); // printing to a file raises neither
    EXPECT_EQ(events, (std::vector<QString>{"before", "before", "after"}));
    EXPECT_EQ(ui.progresses.back().info.caption, "Gravando...");
    EXPECT_EQ(g.PortaComunicacao, dir.path("port.prn")); // restored after GravarPRN
}

TEST_F(PrintJobTest, ReportsAPortThatCannotBeOpenedWithTheSystemErrorNumber) {
    pages(1);
    g.PortaComunicacao = dir.path("no/such/folder/lpt.prn");
    g.Imprimir(QString());
    EXPECT_EQ(errors, std::vector<QString>{"Erro #03 - I/O 2 " + g.PortaComunicacao +
                                           "\rNo such file or directory"});
}

TEST_F(PrintJobTest, CancellingStopsTheJobAndStillEndsIt) {
    pages(5);
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    ui.cancelAfterSteps = 2;
    const QByteArray stream = print();
    EXPECT_EQ(order(stream), "12");
    EXPECT_TRUE(stream.endsWith(ESC + "@")); // the final sequence is still sent
    EXPECT_EQ(cancels, 1);
    zr::CancelRequest::clear();
}

TEST_F(PrintJobTest, GraphicModelCannotBeSavedAsAPrinterFile) {
    pages(1);
    g.Impressora = TModelo::Grafico;
    const QString file = dir.path("g.prn");
    g.GravarPRN(file);
    EXPECT_FALSE(QFile::exists(file));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, zr::MessageKind::Error);
}

namespace {
class FakePrinter final : public zr::GraphicPrinter {
public:
    FakePrinter() : image(200, 300, QImage::Format_RGB32), p(&image) {}
    bool beginDocument(const QString&, bool) override {
        calls += "begin ";
        return true;
    }
    void newPage() override { calls += "new "; }
    QPainter& painter() override { return p; }
    zr::PrinterMetrics metrics() const override {
        zr::PrinterMetrics m;
        m.physicalWidth = m.printableWidth = 200;
        m.physicalHeight = m.printableHeight = 300;
        m.dpiX = m.dpiY = 25;
        return m;
    }
    void endDocument() override { calls += "end"; }
    int error() const override { return failure; }
    QImage image;
    QPainter p;
    QString calls;
    int failure = 0;
};
} // namespace

TEST_F(PrintJobTest, GraphicJobStartsANewPageBeforeEveryPageButTheFirst) {
    pages(2);
    FakePrinter printer;
    g.impressoraGrafica = &printer;
    g.Impressora = TModelo::Grafico;
    g.state().job.copias = 2;
    g.state().job.agrupar = false;
    g.Imprimir(QString());
    EXPECT_EQ(printer.calls, "begin new new new end");
    EXPECT_FALSE(QFile::exists(g.PortaComunicacao));
}

TEST_F(PrintJobTest, GraphicJobThePrintSystemDidNotTakeIsReported) {
    pages(1);
    FakePrinter printer;
    printer.failure = 1030;
    g.impressoraGrafica = &printer;
    g.Impressora = TModelo::Grafico;
    int after = 0;
    g.OnAfterPrint = [&](TGravana&) { ++after; };
    g.Imprimir(QString());
    EXPECT_EQ(printer.calls, "begin end");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, zr::MessageKind::Error);
    EXPECT_EQ(ui.messages[0].text,
              "A impressora do sistema não recebeu o documento (código 1030).");
    EXPECT_EQ(after, 1); // the job did run to its end, as a failed spooler job does
}

TEST(PortOutput, MapsClassicPortNamesToDevices) {
    EXPECT_EQ(PortOutput::devicePath("LPT1"), "/dev/lp0");
    EXPECT_EQ(PortOutput::devicePath("lpt2:"), "/dev/lp1");
    EXPECT_EQ(PortOutput::devicePath("COM3"), "/dev/ttyS2");
    EXPECT_EQ(PortOutput::devicePath("PRN"), "/dev/lp0");
    EXPECT_EQ(PortOutput::devicePath("/tmp/LPT1"), "/tmp/LPT1");
    EXPECT_EQ(PortOutput::devicePath("LPT10"), "LPT10");
}

TEST(PortOutput, WritesDevicesDirectlyAndFilesOnlyWhenFinished) {
    int error = -1;
    auto device = PortOutput::open("/dev/null", error);
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->write("bytes"));
    EXPECT_TRUE(device->finish());

    TempDir dir;
    const QString path = dir.write("old.prn", "old");
    auto file = PortOutput::open(path, error);
    ASSERT_TRUE(file);
    file->write("new");
    EXPECT_EQ(TempDir::read(path), "old");
    EXPECT_TRUE(file->finish());
    EXPECT_EQ(TempDir::read(path), "new");
}
