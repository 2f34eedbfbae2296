#pragma once

// Value types of the text report component: its enumerations (stored values are the ordinals,
// in this order) and the persistent sub-objects.

#include <QByteArray>
#include <QColor>
#include <QString>

#include <cstdint>

namespace zr::textreport {

enum class TModelo : std::uint8_t { Epson, Rima, HP, Grafico, Personalizado, Bobina };
enum class TLinha : std::uint8_t { Seis, Oito };
enum class TSize : std::uint8_t { S05cpp, S10cpp, S12cpp, S17cpp, S20cpp };
enum class TEstilo : std::uint8_t { Snegrito, Sitalico, Ssublinhado };
enum class TAcento : std::uint8_t { Transliterate, SemAcento };
enum class TStatBut : std::uint8_t { Ativo, Inativo, Invisivel };
enum class TAutor : std::uint8_t { Morvane };
enum class TOrientacao : std::uint8_t { poPortrait, poLandscape };

// A set of TEstilo.
struct TStyle {
    bool Snegrito = false;
    bool Sitalico = false;
    bool Ssublinhado = false;

    bool has(TEstilo e) const;
    void include(TEstilo e);
    bool empty() const { return !Snegrito && !Sitalico && !Ssublinhado; }
    bool operator==(const TStyle&) const = default;
};

// Characters per inch of a pitch (5 for the expanded S05cpp) and its attribute value.
int pitchOf(TSize size);
int attributeOf(TSize size);

// Control sequences of the user-defined printer model, as decimal code strings ("27 69").
struct TCustom {
    QByteArray NomeImpressora = "Modelo Personalizado - (Epson)";
    QByteArray AvancaOitavos = "27 48";
    QByteArray AvancaSextos = "27 50";
    QByteArray SaltoPagina = "12";
    QByteArray TamanhoPagina = "27 67 66";
    QByteArray Negrito = "27 69";
    QByteArray Italico = "27 52";
    QByteArray Sublinhado = "27 45 49";
    QByteArray Expandido = "27 14";
    QByteArray Normal10 = "18 27 80";
    QByteArray Comprimir12 = "18 27 77";
    QByteArray Comprimir17 = "27 80 27 15";
    QByteArray Comprimir20 = "27 77 27 15";
    QByteArray Reset = "27 80 18 20 27 53 27 70 27 45 48";
    QByteArray Inicializar = "27 64";

    bool operator==(const TCustom&) const = default;
};

struct TPreviewOptions {
    bool PaginaZebrada = false;
    bool Remalina = false;
    QString CaptionPreview = QStringLiteral("Gravana Preview");
    int PreviewZoom = 100; // percent; -1 fits the page width, -2 the whole page
    QColor CorPapelPreview = Qt::white;
    QColor CorLetraPreview = Qt::black;
    bool Preview = false;
    TStatBut BotaoSetup = TStatBut::Ativo;
    TStatBut BotaoImprimir = TStatBut::Ativo;
    TStatBut BotaoGravar = TStatBut::Ativo;
    TStatBut BotaoLer = TStatBut::Ativo;
    TStatBut BotaoProcurar = TStatBut::Ativo;
    TStatBut BotaoPDF = TStatBut::Ativo;
    TStatBut BotaoEMAIL = TStatBut::Ativo;
};

// Page margins in millimetres.
struct TMargens {
    int Left = 10;
    int Right = 10;
    int Top = 10;
    int Bottom = 10;
};

} // namespace zr::textreport
