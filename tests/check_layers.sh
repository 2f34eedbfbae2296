#!/usr/bin/env bash
# Fails when code below the window layers includes window classes, or when a PDF writer
# includes a report model. Engines draw on QPainter and talk to the user through Interaction.
set -u
src="${1:-$(dirname "$0")/../src}"
status=0

engine_dirs=()
for d in platform pdfwriter textreport reportlib/document reportlib/render reportlib/pdf reportlib/print app/common; do
    [ -d "$src/$d" ] && engine_dirs+=("$src/$d")
done

widgets='#include *[<"](QtWidgets|QtWidgets/[A-Za-z]+|QWidget|QMessageBox|QApplication|QDialog|QMainWindow|QProgressDialog|QFileDialog)[>"]'
# The printing layer's one window is a printer's own properties, as the system print dialog was;
# the platform's widgets folder holds what the windows of both report kinds share.
hits=$(grep -rnE "$widgets" "${engine_dirs[@]}" --include='*.h' --include='*.cpp' |
       grep -v '/textreport/ui/' | grep -v '/platform/printing/printer_properties_dialog.cpp:' |
       grep -v '/platform/widgets/' ||
       true)
if [ -n "$hits" ]; then
    echo "Engine or platform code includes window classes:"
    echo "$hits"
    status=1
fi

# Printing support pulls in widgets: only the platform's printing folder may use it.
hits=$(grep -rnE '#include *[<"](QtPrintSupport|QPrinter|QPrinterInfo|QPrintDialog)' \
       "${engine_dirs[@]}" --include='*.h' --include='*.cpp' |
       grep -v '/platform/printing/' | grep -v '/textreport/ui/' || true)
if [ -n "$hits" ]; then
    echo "Code outside the platform's printing layer includes print support:"
    echo "$hits"
    status=1
fi

# The PDF writers know nothing of the report models.
for w in pdfwriter textreport/pdf/writer reportlib/pdf/writer; do
    [ -d "$src/$w" ] || continue
    hits=$(grep -rnE '#include *"(textreport/(gravana|model/)|reportlib/(document|render)/)' \
           "$src/$w" || true)
    if [ -n "$hits" ]; then
        echo "A PDF writer includes a report model:"
        echo "$hits"
        status=1
    fi
done

[ $status -eq 0 ] && echo "layers: ok"
exit $status
