#include "viewer_settings.h"

#include "textreport/gravana.h"

namespace zr::app {

using namespace zr::textreport;

QStringList viewerMapping() {
    return {
        QStringLiteral("//--- Grafico Compativel com Windows/USB ---//"),
        QStringLiteral("//"),
        QStringLiteral("GRAFICO=GRAFICO"),
        QStringLiteral("HP=GRAFICO"),
        QStringLiteral("DESKJET=GRAFICO"),
        QStringLiteral("LASERJET=GRAFICO"),
        QStringLiteral("INKJET=GRAFICO"),
        QStringLiteral("STYLUS=GRAFICO"),
        QStringLiteral("EPL=GRAFICO"),
        QStringLiteral("USB=GRAFICO"),
        QStringLiteral("//"),
        QStringLiteral("//--- Linha Epson Matricial 9 e 24 agulhas ---//"),
        QStringLiteral("//"),
        QStringLiteral("EPSON=EPSON"),
        QStringLiteral("GENERICO=EPSON"),
        QStringLiteral("LX-300=EPSON"),
        QStringLiteral("LX-810=EPSON"),
        QStringLiteral("FX-2170=EPSON"),
        QStringLiteral("FX-1170=EPSON"),
        QStringLiteral("LQ-1170=EPSON"),
        QStringLiteral("LQ-2170=EPSON"),
        QStringLiteral("OKIDATA=EPSON"),
        QStringLiteral("//"),
        QStringLiteral("//--- Rima e Emilia ---//"),
        QStringLiteral("//"),
        QStringLiteral("RIMA=RIMA"),
        QStringLiteral("EMILIA=RIMA"),
        QStringLiteral("//"),
        QStringLiteral("//--- Linha HP/Xerox padrão PCL ---//"),
        QStringLiteral("//"),
        QStringLiteral("PCL=HP"),
        QStringLiteral("//"),
        QStringLiteral("//--- Impressoras 40 Colunas ---//"),
        QStringLiteral("//"),
        QStringLiteral("DARUMA=BOBINA"),
        QStringLiteral("SIGTRON=BOBINA"),
        QStringLiteral("SWEDA=BOBINA"),
        QStringLiteral("BEMATECH=BOBINA"),
    };
}

void applyViewerSettings(TGravana& g) {
    g.ImpressoraPersonalizada = TCustom{}; // the Epson-compatible set
    TPreviewOptions& p = g.OpcoesPreview;
    p.PaginaZebrada = false;
    p.Remalina = false;
    p.CaptionPreview = QStringLiteral("ZeralVisualizador - Preview");
    p.PreviewZoom = -1;
    p.CorPapelPreview = Qt::white;
    p.CorLetraPreview = Qt::black;
    p.Preview = true;
    p.BotaoSetup = TStatBut::Inativo;
    p.BotaoImprimir = TStatBut::Ativo;
    p.BotaoGravar = TStatBut::Ativo;
    p.BotaoLer = TStatBut::Inativo;
    p.BotaoProcurar = TStatBut::Ativo;
    p.BotaoPDF = TStatBut::Ativo;
    p.BotaoEMAIL = TStatBut::Inativo;
    g.Margens = TMargens{15, 5, 20, 0};
    g.Acentuacao = TAcento::SemAcento;
    g.CaptionSetup = QStringLiteral("ZeralVisualizador - Setup");
    g.TitulodoRelatorio = "ZeralVisualizador";
    g.UsaGerenciadorImpr = true;
    g.CorForm = QColor(0xF0, 0xF0, 0xF0);
    g.CorFonte = Qt::black;
    g.Impressora = TModelo::Epson;
    g.Mapeamento = viewerMapping();
    g.PortaComunicacao = QStringLiteral("LPT1");
    g.MostrarProgresso = true;
    g.TamanhoQteLinhas = 66;
    g.TamanhoQteColunas = 80;
    g.TamanhoQteLPP = TLinha::Seis;
    g.NumerodeCopias = 1;
    g.FonteTamanhoPadrao = TSize::S10cpp;
    g.FonteEstiloPadrao = TStyle{};
    g.Orientacao = TOrientacao::poPortrait;
}

} // namespace zr::app
