#include "printing_hooks.h"

#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "textreport/gravana.h"

namespace zr::app {

void connectSystemPrinting(textreport::TGravana& gravana) {
    gravana.spoolerHook = [](const QByteArray& documentName, QString& error) {
        return startRawJobOnCurrentPrinter(codepages::fromCp1252(documentName), error);
    };
    gravana.impressoraGrafica = &currentGraphicPrinter();
}

} // namespace zr::app
