#include "textreport/gravana.h"

#include "recording_interaction.h"
#include "report_builder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>

using namespace zr::textreport;
using zr::MessageKind;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;

namespace {

// A component on a fresh report state, with a fixed clock and a known port (so opening never
// asks the print system).
class GravanaTest : public ::testing::Test {
protected:
    GravanaTest() {
        g.PortaComunicacao = QStringLiteral("LPT1");
        g.clock = [] { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 0)); };
        g.OnErro = [this](TGravana&, const QString& m) { errors.push_back(m); };
    }
    void fill(std::initializer_list<QByteArray> items) {
        for (const QByteArray& i : items) {
            g.store()->add(i);
        }
    }
    static QByteArray item(int page, int line, int column, const QByteArray& text,
                           int attribute = 16, char kind = 'T') {
        return ReportBuilder::itemString(page, line, column, text, attribute, kind);
    }

    ReportState::ScopedOverride state;
    RecordingInteraction ui;
    TGravana g{ui};
    std::vector<QString> errors;
};

} // namespace

TEST_F(GravanaTest, OpeningTwiceReportsErro01AndKeepsTheFirstReportOpen) {
    ASSERT_TRUE(g.Abrir());
    g.store()->add(item(1, 1, 1, "mantido"));
    EXPECT_FALSE(g.Abrir());
    EXPECT_EQ(errors, std::vector<QString>{"Erro #01 - (ABRIR) Relatório já foi aberto..."});
    EXPECT_TRUE(g.state().aberto);
    EXPECT_EQ(g.store()->size(), 1);
}

TEST_F(GravanaTest, ClosingOrAbortingWithoutAReportReportsTheirErrors) {
    EXPECT_FALSE(g.Fechar());
    int cancels = 0;
    g.OnCancel = [&](TGravana&) { ++cancels; };
    EXPECT_FALSE(g.Abortar());
    EXPECT_EQ(errors, (std::vector<QString>{"Erro #02 - (FECHAR) Relatório não foi aberto...",
                                            "Erro #08 - (ABORTAR) Relatório não foi aberto..."}));
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(g.state().abortado);
    // Once aborted, closing does nothing and succeeds.
    EXPECT_TRUE(g.Fechar());
}

TEST_F(GravanaTest, ErrorsGoToAMessageBoxWhenNoHandlerIsSet) {
    g.OnErro = nullptr;
    g.Abrir();
    g.Abrir();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(ui.messages[0].text, "Erro #01 - (ABRIR) Relatório já foi aberto...");
}

TEST_F(GravanaTest, ClosingShowsThePreviewOrPrintsAndRaisesTheEventsOnce) {
    std::vector<QString> events;
    g.OnNewPage = [&](TGravana&, int p) { events.push_back(QStringLiteral("new %1").arg(p)); };
    g.OnBeforeNewPage = [&](TGravana&, int p) {
        events.push_back(QStringLiteral("before %1").arg(p));
    };
    g.previewHook = [&](TGravana& c) {
        events.push_back(c.state().previewAtivo ? QStringLiteral("preview")
                                                : QStringLiteral("preview inactive"));
    };
    g.OnBeforePrint = [&](TGravana&, bool& continuar) {
        events.push_back(QStringLiteral("print"));
        continuar = false; // no job: only that closing asks for one
    };
    g.OpcoesPreview.Preview = true;
    g.Abrir();
    EXPECT_TRUE(g.Fechar());
    g.OpcoesPreview.Preview = false;
    g.Abrir();
    g.GravarRelatorio(QString()); // raises the pending page's event first...
    g.Fechar();                   // ...so closing does not raise it again
    EXPECT_EQ(events, (std::vector<QString>{"new 1", "before 1", "preview", "new 1", "before 1",
                                            "print"}));
    EXPECT_FALSE(g.state().aberto);
    EXPECT_EQ(g.store(), nullptr);
    QFile::remove(QStringLiteral("Gravana.GVP"));
}

TEST_F(GravanaTest, AnEmptyOrUnnumberedStoreHasOnePage) {
    g.Abrir();
    EXPECT_EQ(g.TotalPaginas(), 1);
    fill({item(1, 1, 1, "a"), item(3, 1, 1, "b")});
    EXPECT_EQ(g.TotalPaginas(), 3);
    g.store()->add("XXXX001001016T000000z"); // sorts last; its page is not a number
    EXPECT_EQ(g.TotalPaginas(), 1);
}

TEST_F(GravanaTest, DecodesAttributesByTheLargestValueFirst) {
    g.Abrir();
    const DecodedItem& d = g.DecodificarItem("0002005010042T00FF00texto");
    EXPECT_EQ(d.pagina, 2);
    EXPECT_EQ(d.linha, 5);
    EXPECT_EQ(d.coluna, 10);
    EXPECT_EQ(d.atributo, 42);
    EXPECT_EQ(d.pitch, 5); // the expanded test comes after the pitch-12 one
    EXPECT_TRUE(d.expandido);
    EXPECT_TRUE(d.negrito);
    EXPECT_FALSE(d.italico);
    EXPECT_FALSE(d.sublinhado);
    EXPECT_EQ(d.cor, QColor(0, 255, 0));
    EXPECT_EQ(d.corTexto, "00FF00");
    EXPECT_EQ(d.tipo, 'T');
    EXPECT_EQ(d.texto, "texto");

    EXPECT_EQ(g.DecodificarItem("0001001001256T000000x").pitch, 15);
    EXPECT_EQ(g.DecodificarItem("0001001001069T000000x").pitch, 17);
    EXPECT_TRUE(g.itemAtual().sublinhado && g.itemAtual().italico);
    EXPECT_TRUE(errors.empty());
}

TEST_F(GravanaTest, AFieldThatIsNoNumberStopsDecodingThereAndKeepsLaterFields) {
    g.Abrir();
    g.DecodificarItem("0001002003016T0000FFantes");
    const DecodedItem& d = g.DecodificarItem("00090xx001016T000000depois");
    EXPECT_EQ(d.pagina, 9);     // read before the failure
    EXPECT_EQ(d.linha, 2);      // the failing field keeps the previous item's value
    EXPECT_EQ(d.coluna, 3);     // and so do the fields after it
    EXPECT_EQ(d.texto, "antes");
    EXPECT_EQ(d.cor, QColor(0, 0, 255));
    g.DecodificarItem("0001001001016T00GG00cor");   // bad colour
    g.DecodificarItem("000100100");                 // a short item
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "Erro #10 - (PARAMETROS INVÁLIDOS) Comando 00090xx001016T000000depois");
    EXPECT_EQ(errors[2], "Erro #10 - (PARAMETROS INVÁLIDOS) Comando 000100100");

    // Without a handler the failure is silent.
    g.OnErro = nullptr;
    g.DecodificarItem("garbage");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GravanaTest, ExpandsEachMacroOnceWithoutRegardToCase) {
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    g.Abrir();
    fill({item(1, 1, 1, "a"), item(3, 1, 1, "b")});
    g.TitulodoRelatorio = "Vendas &PAGE&";
    EXPECT_EQ(g.ExpandirMacros("p. &page& de &PAGE&"), "p. 3 de &PAGE&");
    EXPECT_EQ(g.ExpandirMacros("&HORA& &data& &Titulo&"), "09:05 07/03/2026 Vendas &PAGE&");
    EXPECT_EQ(g.DecodificarItem(item(1, 1, 1, "[&PAGE&]")).texto, "[3]");
    g.store()->add(item(1234, 1, 1, "x"));
    EXPECT_EQ(g.ExpandirMacros("&PAGE&"), "1.234"); // thousands grouped as the locale does
    QLocale::setDefault(QLocale::c());
}

TEST_F(GravanaTest, SearchIgnoresAccentsAndCaseUnlessAskedAndContinuesAfterAMatch) {
    g.Abrir();
    fill({item(1, 1, 1, "nada"), item(1, 4, 10, "A A\xc7\xc3O FINAL"),
          item(2, 2, 5, "a\xe7\xe3o", 16, 'B'), item(2, 7, 3, "outra a\xe7\xe3o")});
    int start = 0, column = 0, line = 0, page = 0;
    ASSERT_TRUE(g.Procurar(SearchDirection::Down, false, start, column, line, page, "acao"));
    EXPECT_EQ(page, 1);
    EXPECT_EQ(line, 5);
    EXPECT_EQ(column, 10 + 12);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(g.state().destaque, "0001004010016M000000A A\xc7\xc3O FINAL");
    ASSERT_TRUE(g.Procurar(SearchDirection::Down, false, start, column, line, page, "acao"));
    EXPECT_EQ(page, 2); // the box item in between is not text and is skipped
    EXPECT_FALSE(g.Procurar(SearchDirection::Down, false, start, column, line, page, "acao"));
    EXPECT_TRUE(g.state().destaque.isEmpty());
    EXPECT_EQ(page, 0);

    start = 0;
    EXPECT_FALSE(g.Procurar(SearchDirection::Down, true, start, column, line, page, "Acao"));
    start = 0;
    EXPECT_TRUE(g.Procurar(SearchDirection::Down, true, start, column, line, page, "ACAO"));

    start = 99; // clamped to the last item, then searching upwards
    ASSERT_TRUE(g.Procurar(SearchDirection::Up, false, start, column, line, page, "nada"));
    EXPECT_EQ(start, -1);
    EXPECT_FALSE(g.Procurar(SearchDirection::Up, false, start, column, line, page, ""));
}

TEST_F(GravanaTest, ChoosesTheModelByTheFirstMatchingLineOfTheMapping) {
    g.ModeloPorNome(QStringLiteral("Generic / Text Only"));
    EXPECT_EQ(g.Impressora, TModelo::Epson);
    g.ModeloPorNome(QStringLiteral("EPSON Stylus Color"));
    EXPECT_EQ(g.Impressora, TModelo::Grafico); // "STYLUS=GRAFICO" comes first
    g.Mapeamento = {QStringLiteral("// zebra=bobina"), QStringLiteral("zebra=bobina"),
                    QStringLiteral("=epson"), QStringLiteral("acme=laser")};
    g.ModeloPorNome(QStringLiteral("Zebra TLP"));
    EXPECT_EQ(g.Impressora, TModelo::Bobina);
    g.ModeloPorNome(QStringLiteral("ACME 1"));
    EXPECT_EQ(g.Impressora, TModelo::Grafico); // an unknown value
    g.ModeloPorNome(QStringLiteral("Outra"));
    EXPECT_EQ(g.Impressora, TModelo::Grafico); // nothing matches; the empty key never does
}

TEST_F(GravanaTest, RimaAlwaysRemovesAccentsAndOtherModelsSendCodePage850) {
    g.Acentuacao = TAcento::Transliterate;
    g.Impressora = TModelo::Rima;
    EXPECT_EQ(g.ConverterAcentos("A\xc7\xc3O"), "ACAO");
    g.Impressora = TModelo::Epson;
    EXPECT_EQ(g.ConverterAcentos("A\xc7\xc3O"), "A\x80\xc7O");
    g.Impressora = TModelo::Grafico;
    EXPECT_EQ(g.ConverterAcentos("A\xc7\xc3O"), "A\xc7\xc3O");
    g.Acentuacao = TAcento::SemAcento;
    EXPECT_EQ(g.ConverterAcentos("A\xc7\xc3O"), "ACAO");
}
