#include "viewer_settings.h"

#include "textreport/gravana.h"

namespace zr::app {

using namespace zr::textreport;

QStringList viewerMapping() {
    // The component's table with two differences: generic printers are spelled "GENERICO"
    // and there is no "TEXT" key.
    QStringList table = defaultMapping();
    table.replace(table.indexOf(QStringLiteral("GENERIC=EPSON")), QStringLiteral("GENERICO=EPSON"));
    table.removeOne(QStringLiteral("TEXT=EPSON"));
    return table;
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
