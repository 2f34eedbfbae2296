// A text report printed through the system's print spooler and printer, on a scheduler of the
// test's own.

#include "app/common/printing_hooks.h"
#include "platform/printing/system_printer.h"
#include "textreport/gravana.h"

#include "pdf_info.h"
#include "private_cupsd.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace zr::textreport;
using zr::test::PrivateCupsd;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

// One scheduler for the suite, with the raw queue "matricial" as the system default.
class SpoolerJob : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCupsd;
        if (cups->running()) {
            queueReady = cups->addQueue(QStringLiteral("matricial")) &&
                         cups->setDefault(QStringLiteral("matricial"));
        }
    }
    static void TearDownTestSuite() {
        delete cups;
        cups = nullptr;
    }

    void SetUp() override {
        if (!cups->running()) {
            GTEST_SKIP() << "no private cupsd: " << cups->failure().toStdString();
        }
        ASSERT_TRUE(queueReady);
        zr::setCurrentPrinter({});
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.Impressora = TModelo::Epson;
        g.UsaGerenciadorImpr = true;
        g.TitulodoRelatorio = "Relat\xf3rio de Vendas"; // cp1252
        g.OnErro = [this](TGravana&, const QString& m) { errors.push_back(m); };
        g.OnAfterPrint = [this](TGravana&) { ++afterPrint; };
        ASSERT_TRUE(g.Abrir());
        zr::app::connectSystemPrinting(g);
    }
    void TearDown() override { zr::setCurrentPrinter({}); }

    void add(int page, int line, int column, const QByteArray& text, int attribute = 16,
             char kind = 'T') {
        g.store()->add(ReportBuilder::itemString(page, line, column, text, attribute, kind));
    }

    static PrivateCupsd* cups;
    static bool queueReady;

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    TempDir dir;
    std::vector<QString> errors;
    int afterPrint = 0;
};

PrivateCupsd* SpoolerJob::cups = nullptr;
bool SpoolerJob::queueReady = false;

} // namespace

TEST_F(SpoolerJob, SendsThePrinterExactlyTheBytesOfThePrinterFile) {
    add(1, 1, 1, "A\xc7\xc3O");           // accents, converted for the printer
    add(1, 2, 3, "NEGRITO", 16 + 2);      // bold
    add(1, 2, 20, "comprimido", 64);      // pitch 17, the head comes back over it
    add(1, 3, 1, "a--b", 16, 'B');        // box letters become line characters
    add(2, 1, 1, "27 69 0 255", 16, 'C'); // control codes, a zero byte among them
    add(2, 5, 10, "fim");
    add(3, 1, 1, "terceira");
    g.state().job.copias = 2;
    g.state().job.agrupar = false;
    g.state().job.faixa = "1-2";

    g.Imprimir(QString());
    ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(afterPrint, 1);
    const std::optional<QByteArray> printed = cups->nextJob(QStringLiteral("matricial"));
    ASSERT_TRUE(printed.has_value());

    const QString file = dir.path("vendas.prn");
    g.GravarPRN(file);
    const QByteArray prn = TempDir::read(file);
    ASSERT_FALSE(prn.isEmpty());
    EXPECT_EQ(printed->toHex(' '), prn.toHex(' '));
    EXPECT_EQ(cups->newestJobTitle(QStringLiteral("matricial")),
              QStringLiteral("Relatório de Vendas"));
}

TEST_F(SpoolerJob, PrinterRemovedAfterItWasChosenFailsEitherKindOfJobWithAMessage) {
    add(1, 1, 1, "linha");
    ASSERT_TRUE(cups->addQueue(QStringLiteral("removida")));
    zr::setCurrentPrinter(QStringLiteral("removida"));
    ASSERT_TRUE(cups->removeQueue(QStringLiteral("removida")));

    g.Imprimir(QString());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, zr::MessageKind::Error);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("A impressora \"removida\" não está instalada no sistema."));

    g.Impressora = TModelo::Grafico;
    g.Imprimir(QString());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              QStringLiteral("Erro - a impressora do sistema não está disponível."));
    EXPECT_EQ(afterPrint, 0); // neither job began
    EXPECT_TRUE(errors.empty());
}

TEST_F(SpoolerJob, GraphicJobDrawsEveryCopyOnTheCurrentPrinter) {
    if (!zr::test::pdfInfoAvailable()) {
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    }
    ASSERT_TRUE(cups->addQueue(QStringLiteral("laser")));
    zr::setCurrentPrinter(QStringLiteral("laser"));
    for (int p = 1; p <= 3; ++p) {
        add(p, 1, 1, "Pagina " + QByteArray::number(p));
    }
    g.Impressora = TModelo::Grafico;
    g.Orientacao = TOrientacao::poLandscape;
    g.state().job.copias = 2;

    g.Imprimir(QString());
    ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
    EXPECT_EQ(afterPrint, 1);
    const std::optional<QByteArray> printed = cups->nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(printed.has_value());
    const std::optional<zr::test::PdfInfo> info = zr::test::pdfInfo(*printed);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->pages, 6);
    EXPECT_GT(info->pageSize.width(), info->pageSize.height());
    EXPECT_EQ(info->title, QStringLiteral("Relatório de Vendas"));
}
