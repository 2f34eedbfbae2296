#pragma once

#include "textreport/types.h"

#include <QByteArray>
#include <QStringList>

#include <array>

namespace zr::textreport {

// Relative widths of a character of each pitch (expanded 5, 10, 12, 17, 20) for a report whose
// default pitch is the row's.
using WidthFactors = std::array<double, 5>;
WidthFactors widthFactorsFor(int defaultPitch);

// The control sequences sent to a character printer of one model, with the report defaults
// derived from the pitch and style.
struct SequenceSet {
    QByteArray espacamento;   // line spacing, sent at job start
    QByteArray tamanhoPagina; // page length, sent at job start
    QByteArray saltoPagina;   // page feed, after each page
    QByteArray negrito;
    QByteArray italico;
    QByteArray sublinhado;
    QByteArray expandido;
    QByteArray normal10;
    QByteArray comprimir12;
    QByteArray comprimir17;
    QByteArray comprimir20;
    QByteArray reset;       // after each styled run and at job start
    QByteArray inicializar; // at the end of the job

    QByteArray prefixoPadrao; // default style prefix
    int atributoPadrao = 16;  // default attribute code
    int pitchPadrao = 10;     // default pitch
    WidthFactors fatores = widthFactorsFor(10);

    bool operator==(const SequenceSet&) const = default;
};

// Everything a sequence set is built from.
struct SequenceSettings {
    TModelo modelo = TModelo::Epson;
    int linhas = 66; // TamanhoQteLinhas
    TLinha espacamento = TLinha::Seis;
    TSize pitch = TSize::S10cpp;
    TStyle estilo;
    TCustom personalizado;
};

// Builds the sequence set of a model (MontarSequencias without the component).
SequenceSet buildSequences(const SequenceSettings& settings);

// The model a printer name maps to through a mapping table ("KEY=VALUE" lines, "//" comments),
// Grafico when no line matches.
TModelo modelForPrinterName(const QString& printerName, const QStringList& mapping);

// The component's own default mapping table (39 lines).
QStringList defaultMapping();

} // namespace zr::textreport
