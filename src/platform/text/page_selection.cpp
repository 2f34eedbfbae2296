#include "page_selection.h"

#include <QList>

#include <algorithm>
#include <limits>

namespace zr {

namespace {

// A page number of digits alone; numbers beyond int are taken as the largest, which no report
// reaches. nullopt for an empty text or one with any other character.
std::optional<int> pageNumber(QStringView digits) {
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = std::min<qint64>(value * 10 + (c.unicode() - '0'), std::numeric_limits<int>::max());
    }
    return int(value);
}

} // namespace

std::optional<PageSelection> PageSelection::parse(QStringView text, QString* error) {
    auto fail = [&](const QString& message) -> std::optional<PageSelection> {
        if (error) {
            *error = message;
        }
        return std::nullopt;
    };
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace()) {
            compact += c;
        }
    }
    const QString invalid =
        QStringLiteral("Intervalo de páginas inválido: '%1'.").arg(text.trimmed());
    PageSelection selection;
    for (const QStringView item : QStringView(compact).split(QLatin1Char(','))) {
        if (item.isEmpty()) {
            continue;
        }
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            const std::optional<int> n = pageNumber(item);
            if (!n || *n < 1) {
                return fail(invalid);
            }
            selection.m_items.push_back({*n, *n});
            continue;
        }
        const QStringView from = item.first(dash);
        const QStringView to = item.sliced(dash + 1);
        const std::optional<int> first = from.isEmpty() ? std::optional<int>(1) : pageNumber(from);
        const std::optional<int> last = to.isEmpty() ? std::optional<int>(0) : pageNumber(to);
        if ((from.isEmpty() && to.isEmpty()) || !first || !last || *first < 1 ||
            (!to.isEmpty() && *last < 1)) {
            return fail(invalid);
        }
        if (*last != 0 && *last < *first) {
            return fail(QStringLiteral("Intervalo de páginas invertido: '%1' (a primeira página "
                                       "vem depois da última).")
                            .arg(item));
        }
        selection.m_items.push_back({*first, *last});
    }
    return selection;
}

std::vector<int> PageSelection::pages(int total, Parity parity, bool reverse) const {
    total = std::max(total, 0);
    std::vector<int> result;
    std::vector<bool> taken(std::size_t(total) + 1, false);
    auto add = [&](int page) {
        if (taken[std::size_t(page)] || (parity == Parity::Odd && page % 2 == 0) ||
            (parity == Parity::Even && page % 2 != 0)) {
            return;
        }
        taken[std::size_t(page)] = true;
        result.push_back(page);
    };
    if (m_items.empty()) {
        for (int page = 1; page <= total; ++page) {
            add(page);
        }
    }
    for (const Item& item : m_items) {
        const int last = item.last == 0 ? total : std::min(item.last, total);
        for (int page = item.first; page <= last; ++page) {
            add(page);
        }
    }
    if (reverse) {
        std::reverse(result.begin(), result.end());
    }
    return result;
}

std::optional<std::vector<int>> PageSelection::select(QStringView text, int total, Parity parity,
                                                      bool reverse, QString* error) {
    const std::optional<PageSelection> selection = parse(text, error);
    if (!selection) {
        return std::nullopt;
    }
    std::vector<int> chosen = selection->pages(total, parity, reverse);
    if (chosen.empty()) {
        if (error) {
            *error = noPageMessage();
        }
        return std::nullopt;
    }
    return chosen;
}

bool PageSelection::everyPageInOrder(const std::vector<int>& pages, int total) {
    if (int(pages.size()) != total) {
        return false;
    }
    for (int i = 0; i < total; ++i) {
        if (pages[std::size_t(i)] != i + 1) {
            return false;
        }
    }
    return true;
}

QString PageSelection::noPageMessage() {
    return QStringLiteral("Nenhuma página selecionada.");
}

} // namespace zr
