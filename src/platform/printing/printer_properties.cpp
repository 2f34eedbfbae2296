#include "printer_properties.h"

#include <QHash>

#include <mutex>

namespace zr {

namespace {

struct Remembered {
    std::mutex mutex;
    QHash<QString, PrinterProperties> byPrinter;
    static Remembered& instance() {
        static Remembered r;
        return r;
    }
};

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

} // namespace zr
