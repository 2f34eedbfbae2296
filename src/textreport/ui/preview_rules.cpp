#include "preview_rules.h"

#include "textreport/render/page_renderer.h"

#include <QChar>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

namespace zr::textreport::ui {

namespace {

// Trunc(numerator / denominator) for a positive denominator, kept within int.
int truncatedRatio(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t q = numerator / denominator; // C++ division truncates towards zero
    return int(std::clamp<std::int64_t>(q, INT_MIN, INT_MAX));
}

} // namespace

int resolveZoom(int zoom, const ScrollBoxSize& box, QSize page) {
    const std::int64_t w = page.width();
    const std::int64_t h = page.height();
    if (zoom == kZoomFitPage) {
        if (w > 0 && h > 0) {
            zoom = std::min(truncatedRatio(std::int64_t(box.client.width()) * 100 - 1000, w),
                            truncatedRatio(std::int64_t(box.client.height()) * 100 - 1000, h));
        } else {
            zoom = 100;
        }
    } else if (zoom == kZoomFitWidth) {
        zoom = w > 0 ? truncatedRatio(std::int64_t(box.width) * 100 - 3000, w) : 100;
    }
    return std::clamp(zoom, kZoomMinimum, kZoomMaximum);
}

QRect pageTarget(QSize page, int zoom) {
    const int right = roundHalfEven(double(page.width()) * zoom / 100.0);
    const int bottom = roundHalfEven(double(page.height()) * zoom / 100.0);
    return QRect(10, 10, right - 10, bottom - 10);
}

QSize pageBoxSize(QSize page, int zoom) {
    return {roundHalfEven(double(page.width()) * zoom / 100.0) + 10,
            roundHalfEven(double(page.height()) * zoom / 100.0) + 10};
}

QString zoomText(int zoom) {
    const QString digits = QString::number(zoom < 0 ? -qint64(zoom) : qint64(zoom))
                               .rightJustified(2, QLatin1Char('0'));
    return (zoom < 0 ? QStringLiteral("-") : QString()) + digits + QLatin1Char('%');
}

QString pageText(int page, int count) {
    return QStringLiteral("Página: %1 de %2").arg(page).arg(count);
}

QString printerText(const QString& deviceName) {
    return QStringLiteral(" Impressora: ") + deviceName;
}

QString modelName(TModelo model) {
    switch (model) {
    case TModelo::Epson:
        return QStringLiteral("Epson");
    case TModelo::Rima:
        return QStringLiteral("Rima/Emila");
    case TModelo::HP:
        return QStringLiteral("HP");
    case TModelo::Grafico:
        return QStringLiteral("Grafico");
    case TModelo::Personalizado:
        return QStringLiteral("Personalizado");
    case TModelo::Bobina:
        return QStringLiteral("Bobina");
    }
    return {};
}

std::optional<int> pageFromText(const QString& text, int count) {
    const QString t = text.trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (at < t.size() && (t[at] == QLatin1Char('+') || t[at] == QLatin1Char('-'))) {
        negative = t[at] == QLatin1Char('-');
        ++at;
    }
    if (at == t.size()) {
        return std::nullopt;
    }
    // Digits are accumulated up to a bound past any page: beyond it only the sign matters.
    constexpr std::int64_t kBeyond = std::int64_t(INT_MAX) + 1;
    std::int64_t value = 0;
    for (; at < t.size(); ++at) {
        const QChar c = t[at];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c.unicode() - '0'), kBeyond);
    }
    if (negative) {
        value = -value;
    }
    const std::int64_t last = std::max(count, 1);
    return int(std::clamp<std::int64_t>(value, 1, last));
}

QString withExtension(const QString& fileName, const QString& extension) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype nameStart = slash + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot > nameStart) {
        return fileName.left(dot) + extension;
    }
    return fileName + extension;
}

QString filterExtension(const QString& filter, int index) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    const qsizetype at = qsizetype(index) * 2 - 1;
    if (index < 1 || at >= parts.size()) {
        return {};
    }
    const QString pattern = parts.at(at).split(QLatin1Char(';')).value(0).trimmed();
    const qsizetype dot = pattern.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : pattern.mid(dot);
}

namespace {

// The extension of the name's last component with its dot, empty when it has none.
QString extensionOfName(const QString& fileName) {
    const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > nameStart ? fileName.mid(dot) : QString();
}

} // namespace

int filterIndexOfName(const QString& filter, const QString& fileName, int chosen) {
    const QString extension = extensionOfName(fileName);
    if (extension.size() < 2) {
        return chosen;
    }
    const qsizetype entries = (filter.count(QLatin1Char('|')) + 1) / 2;
    for (int index = 1; index <= entries; ++index) {
        if (filterExtension(filter, index).compare(extension, Qt::CaseInsensitive) == 0) {
            return index;
        }
    }
    return chosen;
}

QString savedFileName(const QString& fileName, const QString& extension) {
    if (!extension.isEmpty() &&
        extensionOfName(fileName).compare(extension, Qt::CaseInsensitive) == 0) {
        return fileName;
    }
    return withExtension(fileName, extension);
}

QStringList nameFiltersOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString caption = parts.at(i);
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (const QString& raw : parts.at(i + 1).split(QLatin1Char(';'))) {
                const QString pattern = raw.trimmed();
                for (const QString& variant : {pattern, pattern.toLower()}) {
                    if (!variant.isEmpty() && !patterns.contains(variant)) {
                        patterns.append(variant);
                    }
                }
            }
        }
        if (patterns.isEmpty()) {
            patterns.append(QStringLiteral("*"));
        }
        result.append(caption + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

ToolbarLayout toolbarLayout(const ToolbarVisibility& visible) {
    ToolbarLayout l;
    int x = 9;
    if (visible.imprimir) {
        l.btIMPRIMIR = 9;
        l.Separa1 = 109;
        x = 119;
    }
    bool anyFile = false;
    for (auto [shown, position] : {std::pair{visible.pdf, &l.btPDF},
                                   std::pair{visible.email, &l.btEMAIL},
                                   std::pair{visible.salvar, &l.btSALVAR},
                                   std::pair{visible.abrir, &l.btABRIR},
                                   std::pair{visible.procurar, &l.btPROCURAR}}) {
        if (shown) {
            *position = x;
            x += 25;
            anyFile = true;
        }
    }
    if (anyFile) {
        l.Separa2 = x + 9;
        x += 21;
    }
    l.btPRIMEIRA = x;
    l.btANTERIOR = x + 25;
    l.btDIRETO = x + 50;
    l.btPROXIMA = x + 75;
    l.btULTIMA = x + 100;
    l.Separa3 = x + 134;
    l.btLARGURA = x + 146;
    l.btFULL = x + 171;
    l.btAumenta = x + 196;
    l.btDiminui = x + 221;
    l.Separa4 = x + 255;
    l.btFECHAR = x + 267;
    return l;
}

} // namespace zr::textreport::ui
