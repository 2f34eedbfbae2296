#pragma once

#include <QStringList>

namespace zr::textreport {
class TGravana;
}

namespace zr::app {

// The values the main window stores for its text report component, replacing the component's
// own defaults: the Epson-compatible custom set, the preview options, 15/5/20/0 mm margins,
// accents removed, the program's captions and title, spooler output, the Epson model with the
// program's printer mapping table, port "LPT1", 66 x 80 at six lines per inch, one copy,
// 10 pitch with no style, portrait. The converter uses the same values.
void applyViewerSettings(textreport::TGravana& gravana);

// The program's printer mapping table (differs from the component's default table).
QStringList viewerMapping();

} // namespace zr::app
