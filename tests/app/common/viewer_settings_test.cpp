#include "app/common/viewer_settings.h"

#include "recording_interaction.h"
#include "textreport/gravana.h"

#include <gtest/gtest.h>

using namespace zr::textreport;

TEST(ViewerSettings, ReplaceTheComponentDefaultsWithTheProgramsOwn) {
    ReportState::ScopedOverride state;
    zr::test::RecordingInteraction ui;
    TGravana g(ui);
    zr::app::applyViewerSettings(g);
    EXPECT_EQ(g.Mapeamento.size(), 38);
    EXPECT_EQ(g.Margens.Left, 15);
    EXPECT_EQ(g.Margens.Top, 20);
    EXPECT_EQ(g.OpcoesPreview.PreviewZoom, -1);
    EXPECT_EQ(g.OpcoesPreview.BotaoLer, TStatBut::Inativo);
    EXPECT_EQ(g.PortaComunicacao, "LPT1");
    EXPECT_EQ(g.TitulodoRelatorio, "ZeralVisualizador");

    // The program's table knows "GENERICO" but not "GENERIC" or "TEXT": the system's generic
    // text printer falls through to graphic mode, as does anything "HP" (listed before "PCL").
    g.ModeloPorNome(QStringLiteral("Generic / Text Only"));
    EXPECT_EQ(g.Impressora, TModelo::Grafico);
    g.ModeloPorNome(QStringLiteral("HP LaserJet 1020"));
    EXPECT_EQ(g.Impressora, TModelo::Grafico);
    g.ModeloPorNome(QStringLiteral("Impressora GENERICO"));
    EXPECT_EQ(g.Impressora, TModelo::Epson);
    g.ModeloPorNome(QStringLiteral("Bematech MP-4200"));
    EXPECT_EQ(g.Impressora, TModelo::Bobina);
}
