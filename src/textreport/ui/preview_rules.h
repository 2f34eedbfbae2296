#pragma once

// The preview window's arithmetic and texts, free of any widget so they can be checked alone:
// zoom fitting, the page box size, the toolbar's x positions, status texts, the page number
// typed by the user and the file name a save produces.

#include "textreport/types.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace zr::textreport::ui {

// Zoom requests: fit the page width, or the whole page, into the scroll box.
inline constexpr int kZoomFitWidth = -1;
inline constexpr int kZoomFitPage = -2;
inline constexpr int kZoomMinimum = 20;
inline constexpr int kZoomMaximum = 400;
inline constexpr int kZoomStep = 10;

// The sizes of the scroll box a fit request is measured against: its outer width, and the size
// of its client area (inside the frame and the scroll bars).
struct ScrollBoxSize {
    int width = 0;
    QSize client;
};

// The percent a zoom value stands for. A fit-width request is Trunc((width * 100 - 3000) / W)
// and a whole-page request the smaller of Trunc((client width * 100 - 1000) / W) and
// Trunc((client height * 100 - 1000) / H), with W x H the page picture's size. The result is
// clamped to 20 ... 400. A page side that is not positive cannot be fitted: such a request
// takes 100.
int resolveZoom(int zoom, const ScrollBoxSize& box, QSize page);

// The rectangle the page is drawn into at a zoom (already resolved): from (10, 10) to
// (Nearest(W * zoom / 100), Nearest(H * zoom / 100)), Nearest rounding halves to the even
// neighbour. The page box is 10 pixels larger each way than its far corner.
QRect pageTarget(QSize page, int zoom);
QSize pageBoxSize(QSize page, int zoom);

// The zoom as the status bar shows it: at least two digits and a percent sign ("05%", "100%",
// "-01%").
QString zoomText(int zoom);

// "Página: 2 de 5".
QString pageText(int page, int count);

// " Impressora: " and the printer's name.
QString printerText(const QString& deviceName);

// The name of a printer model: "Epson", "Rima/Emila", "HP", "Grafico", "Personalizado" or
// "Bobina".
QString modelName(TModelo model);

// The page the user typed in the quick access box, clamped to 1 ... count (a count below 1 counts
// as 1). Blanks around the number and a sign are allowed; a number too large for any page goes to
// the last page, one too small to the first. nullopt when the text is not a decimal number.
std::optional<int> pageFromText(const QString& text, int count);

// The file name with its extension replaced by `extension` (which includes its dot). The
// extension is what follows the last dot of the name's last component; a name that begins with
// its only dot (a hidden file) has none, and a name without one just gets the extension added.
QString withExtension(const QString& fileName, const QString& extension);

// The extension (".GVP") of entry `index` (from 1) of a file-type filter written as
// "caption|patterns|caption|patterns...": the text after the first dot of the entry's first
// pattern. Empty when there is no such entry.
QString filterExtension(const QString& filter, int index);

// The entry (from 1) of a file-type filter whose extension (filterExtension) is the extension of
// the name's last component, in any case; `chosen` when the name has no extension or one that no
// entry has. A save follows what the user typed: "r1.htm" is an HTML file whatever the type box
// says.
int filterIndexOfName(const QString& filter, const QString& fileName, int chosen);

// The name a save writes to for a type whose extension is `extension` (with its dot): the name as
// typed when its extension already is that one (in any case), else withExtension.
QString savedFileName(const QString& fileName, const QString& extension);

// File dialog name filters for a filter written as "caption|patterns|...": "caption (patterns)",
// one per pair. The caption is kept as written so that a dialog that hides the patterns shows it
// exactly; each pattern is listed as written and in lower case, since file names on Linux are
// case-sensitive.
QStringList nameFiltersOf(const QString& filter);

// x positions of the toolbar, from the visibility of the buttons that may be hidden. The
// paging, zoom and close buttons are always there.
struct ToolbarVisibility {
    bool imprimir = true;
    bool pdf = true;
    bool email = true;
    bool salvar = true;
    bool abrir = true;
    bool procurar = true;
};
struct ToolbarLayout {
    // Hidden buttons and separators keep -1.
    int btIMPRIMIR = -1;
    int Separa1 = -1;
    int btPDF = -1;
    int btEMAIL = -1;
    int btSALVAR = -1;
    int btABRIR = -1;
    int btPROCURAR = -1;
    int Separa2 = -1;
    int btPRIMEIRA = 0;
    int btANTERIOR = 0;
    int btDIRETO = 0;
    int btPROXIMA = 0;
    int btULTIMA = 0;
    int Separa3 = 0;
    int btLARGURA = 0;
    int btFULL = 0;
    int btAumenta = 0;
    int btDiminui = 0;
    int Separa4 = 0;
    int btFECHAR = 0;
    bool operator==(const ToolbarLayout&) const = default;
};
ToolbarLayout toolbarLayout(const ToolbarVisibility& visible);

} // namespace zr::textreport::ui
