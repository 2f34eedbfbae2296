#pragma once

namespace zr::textreport {
class TGravana;
}

namespace zr::app {

// Connects a text report component to the system's printing: raw jobs (UsaGerenciadorImpr) go
// to the print spooler on the current printer, named after the report's title; the Grafico
// model draws on the current printer in graphic mode, opened afresh for each job. "Current" is
// asked of the print system when each job starts, so a printer chosen or removed in the
// meantime is taken into account.
void connectSystemPrinting(textreport::TGravana& gravana);

} // namespace zr::app
