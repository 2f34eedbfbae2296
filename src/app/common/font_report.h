#pragma once

// `zeralconv fonts FILE`: which face draws each font of a prepared report, so that a user can
// see why a line wraps differently from the machine the report was made on.

#include "platform/interaction/interaction.h"
#include "platform/interaction/outcome.h"

#include <QString>

#include <QByteArray>

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::app {

// Writes one line per family and style the report's text objects use, in order of first use:
//   "Arial (negrito): Liberation Sans Bold — /usr/share/fonts/…/LiberationSans-Bold.ttf"
// then, indented, one line per fallback face its texts needed ("  reserva: DejaVu Sans — FILE
// (N caracteres)") and the count of characters no installed face has ("  sem fonte: N
// caracteres") into `text`. A page that cannot be built is a failure (`ui` is told why).
Outcome WriteFontReport(reportlib::TqdxReport& report, Interaction& ui, QByteArray& text);

} // namespace zr::app
