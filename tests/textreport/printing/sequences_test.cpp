#include "textreport/printing/sequences.h"

#include <gtest/gtest.h>

using namespace zr::textreport;

namespace {

SequenceSet build(TModelo model, int lines = 66, TLinha spacing = TLinha::Seis,
                  TSize pitch = TSize::S10cpp, TStyle style = {}) {
    SequenceSettings s;
    s.modelo = model;
    s.linhas = lines;
    s.espacamento = spacing;
    s.pitch = pitch;
    s.estilo = style;
    return buildSequences(s);
}

} // namespace

TEST(Sequences, EpsonPageLengthIsOneByteOfTheLineCount) {
    const SequenceSet s = build(TModelo::Epson);
    EXPECT_EQ(s.tamanhoPagina, QByteArray("\x1b" "C" "\x42"));
    EXPECT_EQ(s.espacamento, QByteArray("\x1b" "2"));
    EXPECT_EQ(s.saltoPagina, QByteArray("\x0c"));
    EXPECT_EQ(s.reset, QByteArray("\x1bP\x12\x1bW0\x1b" "5\x1bH\x1b-0"));
    EXPECT_EQ(s.comprimir17, QByteArray("\x1bP\x1b\x0f"));
    EXPECT_EQ(s.inicializar, QByteArray("\x1b@"));
    EXPECT_EQ(build(TModelo::Epson, 66, TLinha::Oito).espacamento, QByteArray("\x1b" "0"));
    // Beyond one byte there is no page length: nothing is sent rather than a bare ESC C.
    EXPECT_TRUE(build(TModelo::Epson, 300).tamanhoPagina.isEmpty());
}

TEST(Sequences, HpWritesTheLineCountInDigitsAndExpandsByDefaultPitch) {
    const SequenceSet s = build(TModelo::HP);
    EXPECT_EQ(s.tamanhoPagina, QByteArray("\x1b&l66P"));
    EXPECT_EQ(s.saltoPagina, QByteArray("\x1b&l0H"));
    EXPECT_EQ(build(TModelo::HP, 66, TLinha::Oito).espacamento, QByteArray("\x1b&l8D"));
    EXPECT_EQ(build(TModelo::HP, 66, TLinha::Seis, TSize::S17cpp).expandido,
              QByteArray("\x1b(s8.33H"));
    EXPECT_EQ(build(TModelo::HP, 66, TLinha::Seis, TSize::S12cpp).expandido,
              QByteArray("\x1b(s6H"));
    EXPECT_EQ(s.reset, QByteArray("\x1b(s0B\x1b(s0S\x1b&d@\x1b(s10H\x1b(12U\x1b&l0L"));
}

TEST(Sequences, RimaUsesRecordSeparatorPitches) {
    const SequenceSet s = build(TModelo::Rima);
    EXPECT_EQ(s.normal10, QByteArray("\x1e" "0"));
    EXPECT_EQ(s.comprimir20, QByteArray("\x1e" "5"));
    EXPECT_EQ(s.expandido, QByteArray("\x1b\x0e"));
    EXPECT_EQ(s.negrito, QByteArray("\x1b" "E"));
}

TEST(Sequences, GraphicAndReceiptModelsSendNoControlBytes) {
    for (TModelo m : {TModelo::Grafico, TModelo::Bobina}) {
        const SequenceSet s = build(m, 66, TLinha::Seis, TSize::S12cpp, {true, true, true});
        for (const QByteArray* b : {&s.espacamento, &s.tamanhoPagina, &s.saltoPagina, &s.negrito,
                                    &s.italico, &s.sublinhado, &s.expandido, &s.normal10,
                                    &s.comprimir12, &s.comprimir17, &s.comprimir20, &s.reset,
                                    &s.inicializar, &s.prefixoPadrao}) {
            EXPECT_TRUE(b->isEmpty());
        }
        EXPECT_EQ(s.atributoPadrao, 32 + 7);
        EXPECT_EQ(s.pitchPadrao, 12);
    }
}

TEST(Sequences, CustomModelTakesItsCodeStringsAndAFixedPageLength) {
    SequenceSettings in;
    in.modelo = TModelo::Personalizado;
    in.linhas = 40; // does not change the custom page length
    in.personalizado.Negrito = "27  69 300";
    const SequenceSet s = buildSequences(in);
    EXPECT_EQ(s.tamanhoPagina, QByteArray("\x1b" "C" "\x42"));
    EXPECT_EQ(s.negrito, QByteArray("\x1b" "E"));
    EXPECT_EQ(s.espacamento, QByteArray("\x1b" "2"));
    EXPECT_EQ(s.reset, QByteArray("\x1bP\x12\x14\x1b" "5\x1b" "F\x1b-0"));
}

TEST(Sequences, DefaultPrefixIsItalicBoldUnderlineThenPitch) {
    const SequenceSet s =
        build(TModelo::Epson, 66, TLinha::Seis, TSize::S17cpp, TStyle{true, true, true});
    EXPECT_EQ(s.prefixoPadrao, QByteArray("\x1b" "4" "\x1bG" "\x1b-1" "\x1bP\x1b\x0f"));
    EXPECT_EQ(s.atributoPadrao, 64 + 2 + 1 + 4);
    EXPECT_EQ(s.pitchPadrao, 17);
    EXPECT_DOUBLE_EQ(s.fatores[1], 1.71);
    EXPECT_EQ(build(TModelo::Epson, 66, TLinha::Seis, TSize::S05cpp).prefixoPadrao,
              QByteArray("\x1bW1"));
    EXPECT_DOUBLE_EQ(widthFactorsFor(5)[0], 1.0);
    EXPECT_DOUBLE_EQ(widthFactorsFor(10)[0], 2.0);
}
