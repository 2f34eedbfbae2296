#pragma once

// `zeralconv fonts FILE`: which face draws each font of a prepared report, so that a user can
// see why a line wraps differently from the machine the report was made on.

#include "platform/interaction/interaction.h"

#include <QString>

#include <cstdio>

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::app {

// Writes one line per family and style the report's text objects use, in order of first use:
//   "Arial (negrito): Liberation Sans Bold — /usr/share/fonts/…/LiberationSans-Bold.ttf"
// then, indented, one line per fallback face its texts needed ("  reserva: DejaVu Sans — FILE
// (N caracteres)") and the count of characters no installed face has ("  sem fonte: N
// caracteres"). Returns the program's exit code; a page that cannot be built is an error.
int WriteFontReport(reportlib::TqdxReport& report, Interaction& ui, std::FILE* out);

} // namespace zr::app
