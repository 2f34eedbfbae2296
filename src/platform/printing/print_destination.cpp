#include "print_destination.h"

#include "cups_destinations_p.h"
#include "cups_job_p.h"

#include <QStringList>

#include <cups/cups.h>

#include <cmath>

namespace zr {

namespace {

// What the scheduler tells of a queue beside its job defaults.
bool describesTheQueue(const char* name) {
    const QByteArrayView n(name);
    return n.startsWith("printer-") || n.startsWith("marker-") || n == "device-uri" ||
           n == "auth-info-required";
}

// The copies-supported range's upper end; 1 when the queue gives none.
int copiesLimit(http_t* http, cups_dest_t* dest) {
    int upper = 1;
    if (cups_dinfo_t* info = cupsCopyDestInfo(http, dest)) {
        ipp_attribute_t* copies = cupsFindDestSupported(http, dest, info, "copies");
        if (copies && ippGetValueTag(copies) == IPP_TAG_RANGE) {
            (void)ippGetRange(copies, 0, &upper);
        }
        cupsFreeDestInfo(info);
    }
    return std::max(1, upper);
}

} // namespace

QString PrintDestination::name() const {
    return instance.isEmpty() ? queue : queue + QLatin1Char('/') + instance;
}

DestinationLookup findPrintDestination(const QString& name) {
    DestinationLookup lookup;
    http_t* http = connectToScheduler();
    if (!http) {
        lookup.problem = DestinationLookup::Problem::NoService;
        lookup.message = QStringLiteral("O serviço de impressão não responde (%1).")
                             .arg(QString::fromUtf8(cupsLastErrorString()));
        return lookup;
    }
    const qsizetype slash = name.indexOf(QLatin1Char('/'));
    const QByteArray queue = name.left(slash).toUtf8();
    const QByteArray instance = slash < 0 ? QByteArray() : name.mid(slash + 1).toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(http, queue.isEmpty() ? nullptr : queue.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    if (!dest) {
        const bool down = cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        httpClose(http);
        if (down) {
            lookup.problem = DestinationLookup::Problem::NoService;
            lookup.message = QStringLiteral("O serviço de impressão não responde (%1).")
                                 .arg(QString::fromUtf8(cupsLastErrorString()));
        } else if (name.isEmpty()) {
            lookup.problem = DestinationLookup::Problem::NoDefault;
            lookup.message = QStringLiteral("Não há impressora padrão.");
        } else {
            lookup.problem = DestinationLookup::Problem::NotInstalled;
            lookup.message =
                QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(name);
        }
        return lookup;
    }
    PrintDestination found;
    found.queue = QString::fromUtf8(dest->name);
    // The queue's own spelling is the last part of its address.
    if (const char* uri =
            cupsGetOption("printer-uri-supported", dest->num_options, dest->options)) {
        const QString own = QString::fromUtf8(uri).section(QLatin1Char('/'), -1);
        if (own.compare(found.queue, Qt::CaseInsensitive) == 0) {
            found.queue = own;
        }
    }
    found.instance = dest->instance ? QString::fromUtf8(dest->instance) : QString();
    for (int i = 0; i < dest->num_options; ++i) {
        const cups_option_t& o = dest->options[i];
        if (!describesTheQueue(o.name)) {
            found.options.emplace_back(QByteArray(o.name), QByteArray(o.value));
        }
    }
    found.raw = isRawQueue(*dest);
    found.maxCopies = copiesLimit(http, dest);
    cupsFreeDests(1, dest);
    httpClose(http);
    lookup.destination = std::move(found);
    return lookup;
}

std::optional<PrintMedia> printMediaByName(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    // As given, then in the spellings the tables use: PWG and legacy names are lower case, PPD
    // names capitalised ("A4", "Letter").
    QStringList spellings{trimmed, trimmed.toLower()};
    spellings.append(spellings.back().left(1).toUpper() + spellings.back().mid(1));
    if (trimmed.startsWith(QLatin1String("custom."), Qt::CaseInsensitive)) {
        QString size = trimmed.mid(7).toLower();
        // "cm" is not among the PPD units: 10x15cm is 100x150mm.
        if (size.endsWith(QLatin1String("cm"))) {
            const QStringList parts = size.chopped(2).split(QLatin1Char('x'));
            bool okW = false, okH = false;
            const double w = parts.size() == 2 ? parts[0].toDouble(&okW) : 0;
            const double h = parts.size() == 2 ? parts[1].toDouble(&okH) : 0;
            if (!okW || !okH) {
                return std::nullopt;
            }
            size = QStringLiteral("%1x%2mm").arg(w * 10).arg(h * 10);
        }
        spellings = {QStringLiteral("Custom.") + size};
    }
    for (const QString& spelling : spellings) {
        const QByteArray s = spelling.toUtf8();
        const pwg_media_t* media = pwgMediaForPWG(s.constData());
        if (!media) {
            media = pwgMediaForLegacy(s.constData());
        }
        if (!media) {
            media = pwgMediaForPPD(s.constData());
        }
        // No paper is empty or larger than a roll of 5 m.
        if (media && media->pwg && media->width > 0 && media->length > 0 &&
            media->width <= 500000 && media->length <= 500000) {
            return PrintMedia{QString::fromUtf8(media->pwg),
                              QSizeF(media->width / 100.0, media->length / 100.0)};
        }
    }
    return std::nullopt;
}

QString printMediaNameForSize(QSizeF sizeMm) {
    const int w = int(std::lround(sizeMm.width() * 100));
    const int h = int(std::lround(sizeMm.height() * 100));
    const pwg_media_t* media = w > 0 && h > 0 ? pwgMediaForSize(w, h) : nullptr;
    return media && media->pwg ? QString::fromUtf8(media->pwg) : QString();
}

} // namespace zr
