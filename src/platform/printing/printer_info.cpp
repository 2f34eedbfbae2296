#include "printer_info.h"

#include "cups_destinations_p.h"
#include "system_printer.h"

#include <cups/cups.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace zr {

namespace {

class DestInfo {
public:
    explicit DestInfo(cups_dest_t* dest)
        : m_dest(dest), m_info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {}
    ~DestInfo() {
        if (m_info) {
            cupsFreeDestInfo(m_info);
        }
    }
    DestInfo(const DestInfo&) = delete;
    DestInfo& operator=(const DestInfo&) = delete;

    cups_dinfo_t* get() const { return m_info; }

    // The values of a "supported" attribute as text (keywords, names).
    QStringList supportedKeywords(const char* option) const {
        QStringList list;
        ipp_attribute_t* attr = cupsFindDestSupported(CUPS_HTTP_DEFAULT, m_dest, m_info, option);
        const int count = attr ? ippGetCount(attr) : 0;
        for (int i = 0; i < count; ++i) {
            const char* value = ippGetString(attr, i, nullptr);
            if (value) {
                list.append(QString::fromUtf8(value));
            }
        }
        return list;
    }
    QString defaultKeyword(const char* option) const {
        ipp_attribute_t* attr = cupsFindDestDefault(CUPS_HTTP_DEFAULT, m_dest, m_info, option);
        const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
        return value ? QString::fromUtf8(value) : QString();
    }
    // Resolutions in dpi (horizontal figure; dots per cm converted).
    QList<int> resolutions(const char* option, bool isDefault) const {
        QList<int> list;
        ipp_attribute_t* attr =
            isDefault ? cupsFindDestDefault(CUPS_HTTP_DEFAULT, m_dest, m_info, option)
                      : cupsFindDestSupported(CUPS_HTTP_DEFAULT, m_dest, m_info, option);
        if (!attr || ippGetValueTag(attr) != IPP_TAG_RESOLUTION) {
            return list;
        }
        const int count = ippGetCount(attr);
        for (int i = 0; i < count; ++i) {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            int x = ippGetResolution(attr, i, &y, &units);
            if (units == IPP_RES_PER_CM) {
                x = int(x * 2.54 + 0.5);
            }
            if (x > 0 && x <= 100000 && !list.contains(x)) {
                list.append(x);
            }
        }
        std::sort(list.begin(), list.end());
        return list;
    }

private:
    cups_dest_t* m_dest;
    cups_dinfo_t* m_info;
};

// The usual paper sources in words, for a printer that gives none of its own.
QString binName(const QString& key) {
    static const std::pair<const char*, const char*> names[] = {
        {"main", "Principal"},        {"manual", "Manual"},
        {"top", "Superior"},          {"middle", "Do meio"},
        {"bottom", "Inferior"},       {"by-pass-tray", "Alimentação manual"},
        {"envelope", "Envelopes"},    {"large-capacity", "Alta capacidade"},
        {"alternate", "Alternativa"}, {"rear", "Traseira"},
        {"side", "Lateral"},          {"roll", "Rolo"}};
    for (const auto& [k, name] : names) {
        if (key == QLatin1String(k)) {
            return QString::fromUtf8(name);
        }
    }
    if (key.startsWith(QLatin1String("tray-"))) {
        return QStringLiteral("Bandeja %1").arg(key.mid(5));
    }
    return key;
}

PrinterPaper paperOf(cups_dest_t* dest, cups_dinfo_t* info, cups_size_t& size) {
    PrinterPaper paper;
    paper.key = QString::fromUtf8(size.media);
    const char* label = cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, dest, info, 0, &size);
    paper.name = label && *label ? QString::fromUtf8(label) : paper.key;
    if (paper.name == paper.key) {
        // No words of the printer's own: the paper's common name ("A4" for iso_a4_210x297mm).
        const pwg_media_t* media = pwgMediaForPWG(size.media);
        if (media && media->ppd) {
            paper.name = QString::fromUtf8(media->ppd);
        }
    }
    // A catalogue without words for the paper hands its keyword back, in any of its forms.
    paper.name = paperNameFromKeyword(paper.name);
    paper.sizeMm = QSizeF(size.width / 100.0, size.length / 100.0);
    paper.marginsMm = QMarginsF(std::max(0, size.left) / 100.0, std::max(0, size.top) / 100.0,
                                std::max(0, size.right) / 100.0,
                                std::max(0, size.bottom) / 100.0);
    return paper;
}

} // namespace

QString paperNameFromKeyword(const QString& keyword) {
    static const QRegularExpression pwg(
        QStringLiteral("^(?:media\\.)?[a-z0-9]+_([a-z0-9.-]+?)_([0-9]+(?:\\.[0-9]+)?)x([0-9]+(?:\\."
                       "[0-9]+)?)(mm|in)$"));
    const QRegularExpressionMatch match = pwg.match(keyword);
    if (!match.hasMatch()) {
        return keyword;
    }
    QStringList words = match.captured(1).split(QLatin1Char('-'), Qt::SkipEmptyParts);
    for (QString& word : words) {
        // "a4", "b5", "c6": a paper of a series; other words start with a capital.
        static const QRegularExpression series(QStringLiteral("^[a-z][0-9]+$"));
        word =
            series.match(word).hasMatch() ? word.toUpper() : word.left(1).toUpper() + word.mid(1);
    }
    const double scale = match.captured(4) == QLatin1String("in") ? 25.4 : 1.0;
    const auto mm = [&](int part) {
        return QString::number(std::lround(match.captured(part).toDouble() * scale));
    };
    return QStringLiteral("%1 (%2 × %3 mm)").arg(words.join(QLatin1Char(' ')), mm(2), mm(3));
}

QStringList printerNames() {
    return systemPrinters();
}

QString defaultPrinterName() {
    const Destinations dests;
    const cups_dest_t* dest = dests.systemDefault();
    return dest ? Destinations::nameOf(*dest) : QString();
}

PrinterInfo printerInfo(const QString& name) {
    PrinterInfo result;
    result.name = name;
    const Destinations dests;
    cups_dest_t* dest = dests.find(name);
    if (!dest) {
        return result;
    }
    result.exists = true;
    result.isDefault = dest->is_default != 0;
    result.raw = isRawQueue(*dest);
    const DestInfo info(dest);
    if (!info.get()) {
        return result; // the queue exists but tells nothing of itself
    }

    const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest, info.get(), 0);
    for (int i = 0; i < count && i < 4096; ++i) {
        cups_size_t size{};
        if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest, info.get(), i, 0, &size)) {
            continue;
        }
        if (size.width <= 0 || size.length <= 0) {
            continue;
        }
        const QString key = QString::fromUtf8(size.media);
        const bool known = std::any_of(result.papers.cbegin(), result.papers.cend(),
                                       [&](const PrinterPaper& p) { return p.key == key; });
        if (!known) {
            result.papers.append(paperOf(dest, info.get(), size));
        }
    }
    cups_size_t defaultSize{};
    if (!result.papers.isEmpty() &&
        cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info.get(), 0, &defaultSize)) {
        const QString key = QString::fromUtf8(defaultSize.media);
        for (qsizetype i = 0; i < result.papers.size(); ++i) {
            if (result.papers[i].key == key) {
                result.defaultPaper = int(i);
                break;
            }
        }
        if (result.defaultPaper < 0) { // named differently: the same size will do
            for (qsizetype i = 0; i < result.papers.size(); ++i) {
                const QSizeF s = result.papers[i].sizeMm;
                if (qAbs(s.width() - defaultSize.width / 100.0) < 0.5 &&
                    qAbs(s.height() - defaultSize.length / 100.0) < 0.5) {
                    result.defaultPaper = int(i);
                    break;
                }
            }
        }
    }

    for (const QString& key : info.supportedKeywords("media-source")) {
        if (key == QLatin1String("auto")) {
            continue;
        }
        PrinterBin bin;
        bin.key = key;
        const QByteArray k = key.toUtf8();
        const char* label =
            cupsLocalizeDestValue(CUPS_HTTP_DEFAULT, dest, info.get(), "media-source", k.constData());
        bin.name = label && *label && qstrcmp(label, k.constData()) != 0 ? QString::fromUtf8(label)
                                                                         : binName(key);
        result.bins.append(bin);
    }
    result.defaultBin = info.defaultKeyword("media-source");
    if (result.defaultBin == QLatin1String("auto")) {
        result.defaultBin.clear();
    }

    result.resolutions = info.resolutions("printer-resolution", false);
    const QList<int> defaults = info.resolutions("printer-resolution", true);
    result.defaultResolution = defaults.isEmpty() ? 0 : defaults.first();

    const QStringList sides = info.supportedKeywords("sides");
    result.duplex = std::any_of(sides.cbegin(), sides.cend(), [](const QString& s) {
        return s.startsWith(QLatin1String("two-sided"));
    });
    result.defaultSides = info.defaultKeyword("sides");
    if (ipp_attribute_t* copies =
            cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info.get(), "copies");
        copies && ippGetValueTag(copies) == IPP_TAG_RANGE) {
        int upper = 1;
        (void)ippGetRange(copies, 0, &upper);
        result.maxCopies = std::max(1, upper);
    }
    return result;
}

} // namespace zr
