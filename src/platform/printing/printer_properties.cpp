#include "printer_properties.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWindow>

#include <mutex>

namespace zr {

namespace {

// The print engine property under which Qt's CUPS support keeps the driver options chosen in
// the dialog: a flat list of names and values.
const auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// Choices that are the job's own, or carried by the fields of PrinterProperties.
bool jobsOwnOption(const QString& name) {
    static const QStringList own = {
        QStringLiteral("copies"),   QStringLiteral("Collate"),   QStringLiteral("collate"),
        QStringLiteral("orientation-requested"), QStringLiteral("landscape"),
        QStringLiteral("page-ranges"), QStringLiteral("job-name"), QStringLiteral("PageSize"),
        QStringLiteral("media"),    QStringLiteral("Duplex"),    QStringLiteral("sides"),
        QStringLiteral("InputSlot"), QStringLiteral("media-source"),
        QStringLiteral("outputorder"), QStringLiteral("OutputOrder")};
    return own.contains(name);
}

struct Remembered {
    std::mutex mutex;
    QHash<QString, PrinterProperties> byPrinter;
    static Remembered& instance() {
        static Remembered r;
        return r;
    }
};

QString sidesOf(QPrinter::DuplexMode mode) {
    switch (mode) {
    case QPrinter::DuplexNone:
        return QStringLiteral("one-sided");
    case QPrinter::DuplexLongSide:
        return QStringLiteral("two-sided-long-edge");
    case QPrinter::DuplexShortSide:
        return QStringLiteral("two-sided-short-edge");
    case QPrinter::DuplexAuto:
        break;
    }
    return {};
}

QPrinter::DuplexMode duplexOf(const QString& sides) {
    if (sides == QLatin1String("one-sided")) {
        return QPrinter::DuplexNone;
    }
    if (sides == QLatin1String("two-sided-long-edge")) {
        return QPrinter::DuplexLongSide;
    }
    if (sides == QLatin1String("two-sided-short-edge")) {
        return QPrinter::DuplexShortSide;
    }
    return QPrinter::DuplexAuto;
}

} // namespace

std::vector<std::pair<QByteArray, QByteArray>> PrinterProperties::jobOptions() const {
    std::vector<std::pair<QByteArray, QByteArray>> list;
    if (!sides.isEmpty()) {
        list.emplace_back("sides", sides.toUtf8());
    }
    if (!mediaSource.isEmpty()) {
        list.emplace_back("media-source", mediaSource.toUtf8());
    }
    list.insert(list.end(), options.begin(), options.end());
    return list;
}

PrinterProperties propertiesOf(QPrinter& printer) {
    PrinterProperties p;
    p.pageSize = printer.pageLayout().pageSize();
    p.sides = sidesOf(printer.duplex());
    const QStringList cups = printer.printEngine()
                                 ? printer.printEngine()->property(kCupsOptions).toStringList()
                                 : QStringList();
    for (qsizetype i = 0; i + 1 < cups.size(); i += 2) {
        const QString& name = cups[i];
        const QString& value = cups[i + 1];
        if (name == QLatin1String("InputSlot") || name == QLatin1String("media-source")) {
            p.mediaSource = value;
        } else if (!jobsOwnOption(name) && !name.isEmpty()) {
            p.options.emplace_back(name.toUtf8(), value.toUtf8());
        }
    }
    return p;
}

void applyProperties(const PrinterProperties& properties, QPrinter& printer) {
    if (properties.pageSize.isValid()) {
        printer.setPageSize(properties.pageSize);
    }
    printer.setDuplex(duplexOf(properties.sides));
    if (QPrintEngine* engine = printer.printEngine()) {
        QStringList cups;
        if (!properties.mediaSource.isEmpty()) {
            cups << QStringLiteral("InputSlot") << properties.mediaSource;
        }
        for (const auto& [name, value] : properties.options) {
            cups << QString::fromUtf8(name) << QString::fromUtf8(value);
        }
        engine->setProperty(kCupsOptions, cups);
    }
}

PrinterProperties rememberedProperties(const QString& printerName) {
    Remembered& r = Remembered::instance();
    const std::lock_guard lock(r.mutex);
    return r.byPrinter.value(printerName);
}

void rememberProperties(const QString& printerName, const PrinterProperties& properties) {
    Remembered& r = Remembered::instance();
    const std::lock_guard lock(r.mutex);
    r.byPrinter.insert(printerName, properties);
}

void forgetAllProperties() {
    Remembered& r = Remembered::instance();
    const std::lock_guard lock(r.mutex);
    r.byPrinter.clear();
}

bool showPrinterProperties(QWidget* parent, QString& printerName) {
    if (!QCoreApplication::instance() || !QCoreApplication::instance()->inherits("QApplication")) {
        return false;
    }
    QPrinter printer(QPrinterInfo::printerInfo(printerName));
    applyProperties(rememberedProperties(printerName), printer);
    QPrintDialog dialog(&printer, parent);
    // Only the printer and its properties: pages and copies are chosen in the program's dialog.
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    if (!parent) {
        dialog.winId();
        if (QWindow* window = dialog.windowHandle()) {
            window->setTransientParent(QGuiApplication::focusWindow());
        }
    }
    if (dialog.exec() != QDialog::Accepted || printer.printerName().isEmpty()) {
        return false;
    }
    printerName = printer.printerName();
    rememberProperties(printerName, propertiesOf(printer));
    return true;
}

} // namespace zr
