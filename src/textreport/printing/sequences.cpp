#include "sequences.h"

#include "textreport/gvtools.h"

namespace zr::textreport {

WidthFactors widthFactorsFor(int defaultPitch) {
    // Columns: expanded (5), 10, 12, 17, 20.
    switch (defaultPitch) {
    case 5:
        return {1.0, 0.5, 0.416666, 0.294117, 0.25};
    case 12:
        return {2.0, 1.2, 1.0, 0.701754, 0.6};
    case 17:
        return {2.0, 1.71, 1.425, 1.0, 0.855};
    case 20:
        return {2.0, 2.0, 1.666666, 1.16959, 1.0};
    default:
        return {2.0, 1.0, 0.833333, 0.584795, 0.5};
    }
}

namespace {

QByteArray esc(const char* text) { return QByteArray("\x1b") + text; }

// ESC C n: n is one byte, so pages of more than 255 lines have no page length. The sequence
// is left out then: ESC C alone would make the printer take the next byte sent as n.
QByteArray pageLengthByte(int lines) {
    const QByteArray n = Caractere(lines);
    return n.isEmpty() ? QByteArray() : esc("C") + n;
}

void fillEpson(SequenceSet& s, const SequenceSettings& in) {
    s.espacamento = in.espacamento == TLinha::Seis ? esc("2") : esc("0");
    s.tamanhoPagina = pageLengthByte(in.linhas);
    s.saltoPagina = "\x0c";
    s.negrito = esc("G");
    s.italico = esc("4");
    s.sublinhado = esc("-1");
    s.expandido = esc("W1");
    s.normal10 = "\x12" + esc("P");
    s.comprimir12 = "\x12" + esc("M");
    s.comprimir17 = esc("P") + esc("\x0f");
    s.comprimir20 = esc("M") + esc("\x0f");
    s.reset = esc("P") + "\x12" + esc("W0") + esc("5") + esc("H") + esc("-0");
    s.inicializar = esc("@");
}

void fillRima(SequenceSet& s, const SequenceSettings& in) {
    s.espacamento = in.espacamento == TLinha::Seis ? esc("2") : esc("0");
    s.tamanhoPagina = pageLengthByte(in.linhas);
    s.saltoPagina = "\x0c";
    s.negrito = esc("E");
    s.italico = esc("4");
    s.sublinhado = esc("-1");
    s.expandido = esc("\x0e");
    s.normal10 = "\x1e"
                 "0";
    s.comprimir12 = "\x1e"
                    "2";
    s.comprimir17 = "\x1e"
                    "4";
    s.comprimir20 = "\x1e"
                    "5";
    s.reset = "\x1e"
              "0" +
              esc("5") + esc("F") + esc("-0");
    s.inicializar = esc("@");
}

void fillHp(SequenceSet& s, const SequenceSettings& in) {
    s.espacamento = in.espacamento == TLinha::Seis ? esc("&l6D") : esc("&l8D");
    s.tamanhoPagina = esc("&l") + QByteArray::number(in.linhas) + "P";
    s.saltoPagina = esc("&l0H");
    s.negrito = esc("(s3B");
    s.italico = esc("(s1S");
    s.sublinhado = esc("&d0D");
    switch (in.pitch) {
    case TSize::S12cpp:
        s.expandido = esc("(s6H");
        break;
    case TSize::S17cpp:
        s.expandido = esc("(s8.33H");
        break;
    case TSize::S20cpp:
        s.expandido = esc("(s10H");
        break;
    case TSize::S05cpp: // a 5-pitch report is already expanded: half of 10 pitch, as for 10
    case TSize::S10cpp:
        s.expandido = esc("(s5H");
        break;
    }
    s.normal10 = esc("(s10H");
    s.comprimir12 = esc("(s12H");
    s.comprimir17 = esc("(s16.67H");
    s.comprimir20 = esc("(s20H");
    s.reset = esc("(s0B") + esc("(s0S") + esc("&d@") + esc("(s10H") + esc("(12U") + esc("&l0L");
    s.inicializar = esc("E");
}

void fillPersonalizado(SequenceSet& s, const SequenceSettings& in) {
    const TCustom& c = in.personalizado;
    s.espacamento = CodigosParaBytes(in.espacamento == TLinha::Seis ? c.AvancaSextos
                                                                     : c.AvancaOitavos);
    s.tamanhoPagina = CodigosParaBytes(c.TamanhoPagina);
    s.saltoPagina = CodigosParaBytes(c.SaltoPagina);
    s.negrito = CodigosParaBytes(c.Negrito);
    s.italico = CodigosParaBytes(c.Italico);
    s.sublinhado = CodigosParaBytes(c.Sublinhado);
    s.expandido = CodigosParaBytes(c.Expandido);
    s.normal10 = CodigosParaBytes(c.Normal10);
    s.comprimir12 = CodigosParaBytes(c.Comprimir12);
    s.comprimir17 = CodigosParaBytes(c.Comprimir17);
    s.comprimir20 = CodigosParaBytes(c.Comprimir20);
    s.reset = CodigosParaBytes(c.Reset);
    s.inicializar = CodigosParaBytes(c.Inicializar);
}

} // namespace

SequenceSet buildSequences(const SequenceSettings& in) {
    SequenceSet s;
    switch (in.modelo) {
    case TModelo::Epson:
        fillEpson(s, in);
        break;
    case TModelo::Rima:
        fillRima(s, in);
        break;
    case TModelo::HP:
        fillHp(s, in);
        break;
    case TModelo::Personalizado:
        fillPersonalizado(s, in);
        break;
    case TModelo::Grafico:
    case TModelo::Bobina:
        break; // no control sequences at all
    }

    s.atributoPadrao = attributeOf(in.pitch) + (in.estilo.Snegrito ? 2 : 0) +
                       (in.estilo.Sitalico ? 1 : 0) + (in.estilo.Ssublinhado ? 4 : 0);

    QByteArray prefix;
    if (in.estilo.Sitalico) {
        prefix += s.italico;
    }
    if (in.estilo.Snegrito) {
        prefix += s.negrito;
    }
    if (in.estilo.Ssublinhado) {
        prefix += s.sublinhado;
    }
    switch (in.pitch) {
    case TSize::S05cpp:
        prefix += s.expandido;
        break;
    case TSize::S10cpp:
        prefix += s.normal10;
        break;
    case TSize::S12cpp:
        prefix += s.comprimir12;
        break;
    case TSize::S17cpp:
        prefix += s.comprimir17;
        break;
    case TSize::S20cpp:
        prefix += s.comprimir20;
        break;
    }
    s.prefixoPadrao = prefix;
    s.pitchPadrao = pitchOf(in.pitch);
    s.fatores = widthFactorsFor(s.pitchPadrao);
    return s;
}

TModelo modelForPrinterName(const QString& printerName, const QStringList& mapping) {
    const QString name = printerName.toUpper();
    for (const QString& raw : mapping) {
        const QString line = raw.toUpper();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.startsWith(QLatin1String("//"))) {
            continue;
        }
        const QString key = line.left(eq);
        if (key.isEmpty() || !name.contains(key)) {
            continue;
        }
        const QString value = line.mid(eq + 1);
        if (value == QLatin1String("EPSON") || value == QLatin1String("ESCP")) {
            return TModelo::Epson;
        }
        if (value == QLatin1String("RIMA") || value == QLatin1String("EMILIA")) {
            return TModelo::Rima;
        }
        if (value == QLatin1String("HP") || value == QLatin1String("PCL")) {
            return TModelo::HP;
        }
        if (value == QLatin1String("CUSTOM") || value == QLatin1String("OUTRO") ||
            value == QLatin1String("PERSONALIZADO")) {
            return TModelo::Personalizado;
        }
        if (value == QLatin1String("BOBINA")) {
            return TModelo::Bobina;
        }
        return TModelo::Grafico; // GRAFICO, WINDOWS and anything unrecognised
    }
    return TModelo::Grafico;
}

QStringList defaultMapping() {
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
        QStringLiteral("GENERIC=EPSON"),
        QStringLiteral("TEXT=EPSON"),
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

} // namespace zr::textreport
