#include "system_printer.h"

#include <cups/cups.h>

namespace zr {

CurrentPrinter ImpressoraAtual() {
    CurrentPrinter result;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const cups_dest_t* dest = cupsGetDest(nullptr, nullptr, count, dests);
    if (dest) {
        result.deviceName = QString::fromUtf8(dest->name);
        const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options);
        result.port = uri ? QString::fromUtf8(uri) : QString();
        if (result.port.contains(QLatin1String("LPT"))) {
            result.port = result.port.left(4);
        }
    }
    cupsFreeDests(count, dests);
    return result;
}

} // namespace zr
