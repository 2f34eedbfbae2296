#pragma once

// What a user chose in a printer's own properties (showPrinterProperties): paper, two-sided
// printing, paper source and the driver's further options. The choice is kept per printer for
// the rest of the program's run and applies to that printer's graphic jobs: the paper they are
// laid out on and the options their CUPS jobs carry. Orientation, title and copies stay the
// job's own.

#include <QByteArray>
#include <QPageSize>
#include <QString>

#include <utility>
#include <vector>

class QWidget;

namespace zr {

struct PrinterProperties {
    QPageSize pageSize;  // not valid: the printer's default paper
    QString sides;       // IPP "sides" keyword; empty: the printer's default
    QString mediaSource; // IPP media-source keyword or PPD InputSlot choice; empty: default
    // Further driver options chosen (PPD choices such as "Resolution"), as CUPS job options.
    std::vector<std::pair<QByteArray, QByteArray>> options;

    bool isEmpty() const {
        return !pageSize.isValid() && sides.isEmpty() && mediaSource.isEmpty() && options.empty();
    }
    // The job options these properties add: "sides", "media-source" and the driver's options.
    std::vector<std::pair<QByteArray, QByteArray>> jobOptions() const;
};

// The properties kept for `printerName` (empty when none were chosen), and keeping new ones.
PrinterProperties rememberedProperties(const QString& printerName);
void rememberProperties(const QString& printerName, const PrinterProperties& properties);
void forgetAllProperties();

// Shows the properties of `printerName` alone: its papers, paper sources, two-sided printing and
// resolutions, as its PPD or its IPP attributes offer them, starting from the properties kept
// for it. When the user accepts, the properties are kept and the result is true. False
// (nothing changed) when cancelled, when the printer is gone, or when there is no widget
// application. `parent` may be null: the dialog then belongs to the window that has the focus.
bool showPrinterProperties(QWidget* parent, const QString& printerName);

} // namespace zr
