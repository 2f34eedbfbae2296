// The print setup dialog over the print system: the system's printers, the program's current
// printer and the dialog of a printer's own properties.

#include "setup_dialog.h"

#include "platform/printing/printer_properties.h"

namespace zr::textreport::ui {

PrinterSource PrinterSource::system() {
    PrinterSource source;
    source.names = [] { return systemPrinters(); };
    source.current = [] { return ImpressoraAtual(); };
    source.makeCurrent = [](const QString& name) { setCurrentPrinter(name); };
    // The paper, source, two-sided printing and driver options chosen there are kept for the
    // printer's graphic jobs.
    source.properties = [](QWidget* parent, const QString& name) {
        showPrinterProperties(parent, name);
        return name;
    };
    return source;
}

bool runSetupDialog(TGravana& gravana, QWidget* parent) {
    return runSetupDialog(gravana, parent, PrinterSource::system(),
                          [](TDFMsetup& dialog) { return dialog.exec(); });
}

} // namespace zr::textreport::ui
