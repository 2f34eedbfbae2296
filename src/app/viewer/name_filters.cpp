#include "name_filters.h"

namespace zr::app {

QStringList toQtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString caption = parts.at(i).trimmed();
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (const QString& raw : parts.at(i + 1).split(QLatin1Char(';'))) {
                const QString pattern = raw.trimmed();
                if (pattern.isEmpty()) {
                    continue;
                }
                for (const QString& variant : {pattern, pattern.toLower()}) {
                    if (!patterns.contains(variant)) {
                        patterns.append(variant);
                    }
                }
            }
        }
        if (caption.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        if (patterns.isEmpty()) {
            patterns.append(QStringLiteral("*"));
        }
        result.append(caption + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

} // namespace zr::app
