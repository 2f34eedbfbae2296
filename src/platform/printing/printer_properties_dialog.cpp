// The printer's own properties: the one window of the printing layer, as the system print
// dialog was before it. It offers what the print system says the printer takes, nothing of a
// job.

#include "printer_info.h"
#include "printer_properties.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace zr {

namespace {

// A choice of the printer's own, or "the printer's default" first.
QComboBox* choices(QDialog& dialog, const char* name, const QString& caption) {
    auto* box = new QComboBox(&dialog);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    box->addItem(QStringLiteral("Padrão da impressora"));
    return box;
}

void selectData(QComboBox* box, const QVariant& value) {
    const int index = box->findData(value);
    box->setCurrentIndex(std::max(0, index));
}

} // namespace

bool showPrinterProperties(QWidget* parent, const QString& printerName) {
    if (!QCoreApplication::instance() || !QCoreApplication::instance()->inherits("QApplication")) {
        return false;
    }
    const PrinterInfo info = printerInfo(printerName);
    if (!info.exists) {
        return false;
    }
    PrinterProperties chosen = rememberedProperties(printerName);

    // Only what the printer itself offers (its PPD's or its IPP choices): the job's pages,
    // copies and printer are chosen in the program's own print dialog.
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Propriedades de %1").arg(printerName));
    auto* form = new QFormLayout;
    const auto row = [&](const QString& caption, QComboBox* box) {
        auto* label = new QLabel(caption, &dialog);
        label->setBuddy(box);
        form->addRow(label, box);
    };

    QComboBox* paper = choices(dialog, "paper", QStringLiteral("&Papel:"));
    for (const PrinterPaper& p : info.papers) {
        paper->addItem(p.name, p.key);
        const QSizeF size =
            chosen.pageSize.isValid() ? chosen.pageSize.size(QPageSize::Millimeter) : QSizeF();
        if (size.isValid() && std::abs(size.width() - p.sizeMm.width()) < 1.0 &&
            std::abs(size.height() - p.sizeMm.height()) < 1.0) {
            paper->setCurrentIndex(paper->count() - 1);
        }
    }
    row(QStringLiteral("&Papel:"), paper);

    QComboBox* bin = choices(dialog, "bin", QStringLiteral("&Bandeja:"));
    bin->setItemText(0, QStringLiteral("Automática"));
    for (const PrinterBin& b : info.bins) {
        bin->addItem(b.name, b.key);
    }
    selectData(bin, chosen.mediaSource);
    row(QStringLiteral("&Bandeja:"), bin);

    QComboBox* sides = choices(dialog, "sides", QStringLiteral("&Frente e verso:"));
    sides->addItem(QStringLiteral("Só a frente"), QStringLiteral("one-sided"));
    if (info.duplex) {
        sides->addItem(QStringLiteral("Frente e verso (borda longa)"),
                       QStringLiteral("two-sided-long-edge"));
        sides->addItem(QStringLiteral("Frente e verso (borda curta)"),
                       QStringLiteral("two-sided-short-edge"));
    }
    selectData(sides, chosen.sides);
    row(QStringLiteral("&Frente e verso:"), sides);

    QComboBox* resolution = choices(dialog, "resolution", QStringLiteral("&Resolução:"));
    QByteArray chosenResolution;
    for (const auto& [name, value] : chosen.options) {
        if (name == "printer-resolution") {
            chosenResolution = value;
        }
    }
    for (const int dpi : info.resolutions) {
        resolution->addItem(QStringLiteral("%1 ppp").arg(dpi), QByteArray::number(dpi) + "dpi");
    }
    selectData(resolution, chosenResolution);
    row(QStringLiteral("&Resolução:"), resolution);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (!parent) {
        dialog.winId();
        if (QWindow* window = dialog.windowHandle()) {
            window->setTransientParent(QGuiApplication::focusWindow());
        }
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }

    chosen.pageSize = QPageSize();
    if (paper->currentIndex() > 0) {
        const PrinterPaper& p = info.papers[paper->currentIndex() - 1];
        chosen.pageSize = QPageSize(p.sizeMm, QPageSize::Millimeter, p.name, QPageSize::FuzzyMatch);
    }
    chosen.mediaSource = bin->currentData().toString();
    chosen.sides = sides->currentData().toString();
    std::erase_if(chosen.options, [](const auto& o) { return o.first == "printer-resolution"; });
    if (const QByteArray dpi = resolution->currentData().toByteArray(); !dpi.isEmpty()) {
        chosen.options.emplace_back("printer-resolution", dpi);
    }
    rememberProperties(printerName, chosen);
    return true;
}

} // namespace zr
