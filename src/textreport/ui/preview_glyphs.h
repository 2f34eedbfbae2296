#pragma once

// The pictures on the preview window's buttons, drawn at run time.

#include <QIcon>

#include <cstdint>

namespace zr::textreport::ui {

enum class PreviewGlyph : std::uint8_t {
    Imprimir,
    Pdf,
    Email,
    Salvar,
    Abrir,
    Procurar,
    Primeira,
    Anterior,
    Direto,
    Proxima,
    Ultima,
    Largura,
    Full,
    Aumenta,
    Diminui,
    Fechar,
};

// The glyph in a 20 x 20 picture (and its double for high-density screens).
QIcon previewGlyph(PreviewGlyph glyph);

} // namespace zr::textreport::ui
