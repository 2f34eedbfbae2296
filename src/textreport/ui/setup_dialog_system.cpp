// The print setup dialog over the print system: the system's printers, the program's current
// printer and the system print dialog for a printer's properties.

#include "setup_dialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace zr::textreport::ui {

PrinterSource PrinterSource::system() {
    PrinterSource source;
    source.names = [] { return systemPrinters(); };
    source.current = [] { return ImpressoraAtual(); };
    source.makeCurrent = [](const QString& name) { setCurrentPrinter(name); };
    source.properties = [](QWidget* parent, const QString& name) {
        QPrinter printer(QPrinterInfo::printerInfo(name));
        QPrintDialog dialog(&printer, parent);
        // Only the printer and its properties: pages and copies are chosen in our own dialog.
        dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
        if (dialog.exec() != QDialog::Accepted || printer.printerName().isEmpty()) {
            return name;
        }
        return printer.printerName();
    };
    return source;
}

bool runSetupDialog(TGravana& gravana, QWidget* parent) {
    return runSetupDialog(gravana, parent, PrinterSource::system(),
                          [](TDFMsetup& dialog) { return dialog.exec(); });
}

} // namespace zr::textreport::ui
