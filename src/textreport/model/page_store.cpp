#include "page_store.h"

#include "platform/text/codepages.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zr::textreport {

namespace {

// Case folding of every byte, built once from the code-page table.
const std::array<unsigned char, 256>& foldTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) {
            t[size_t(i)] = codepages::foldCp1252(static_cast<unsigned char>(i));
        }
        return t;
    }();
    return table;
}

// The first eight bytes of an item, folded, as a big-endian number: comparing two keys orders
// items by those bytes (a missing byte counts as below every byte, like a shorter string).
std::uint64_t prefixKey(QByteArrayView item, const std::array<unsigned char, 256>& fold,
                        qsizetype from) {
    std::uint64_t key = 0;
    for (qsizetype i = from; i < from + 8; ++i) {
        key <<= 8;
        if (i < item.size()) {
            key |= fold[static_cast<unsigned char>(item[i])];
        }
    }
    return key;
}

int compareFrom(QByteArrayView a, QByteArrayView b, qsizetype from,
                const std::array<unsigned char, 256>& fold) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = from; i < n; ++i) {
        const unsigned char ca = fold[static_cast<unsigned char>(a[i])];
        const unsigned char cb = fold[static_cast<unsigned char>(b[i])];
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

int PageStore::compare(QByteArrayView a, QByteArrayView b) {
    return compareFrom(a, b, 0, foldTable());
}

QByteArrayView PageStore::item(qsizetype index) const {
    if (index < 0 || index >= size()) {
        return {};
    }
    return view(m_entries[size_t(index)]);
}

void PageStore::clear() {
    m_buffer = QByteArray();
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_sorted = true;
}

bool PageStore::add(QByteArrayView item) {
    if (item.size() > kMaxItemLength || m_buffer.size() + item.size() > kMaxBuffer ||
        m_entries.size() >= kMaxItems) {
        return false;
    }
    sort();
    const Entry e = Entry::make(m_buffer.size(), item.size());
    m_buffer.append(item);
    const auto pos = std::upper_bound(
        m_entries.begin(), m_entries.end(), e,
        [this](const Entry& x, const Entry& y) { return compare(view(x), view(y)) < 0; });
    m_entries.insert(pos, e);
    return true;
}

void PageStore::adoptBuffer(QByteArray buffer) {
    m_entries.clear();
    m_buffer = std::move(buffer);
    m_sorted = true;
}

bool PageStore::appendSpan(qsizetype offset, qsizetype length) {
    if (offset < 0 || length < 0 || length > kMaxItemLength || offset > m_buffer.size() - length ||
        offset + length > kMaxBuffer || m_entries.size() >= kMaxItems) {
        return false;
    }
    const Entry e = Entry::make(offset, length);
    if (m_sorted && !m_entries.empty() && compare(view(m_entries.back()), view(e)) > 0) {
        m_sorted = false;
    }
    m_entries.push_back(e);
    return true;
}

bool PageStore::appendUnsorted(QByteArrayView item) {
    if (item.size() > kMaxItemLength || m_buffer.size() + item.size() > kMaxBuffer) {
        return false;
    }
    const qsizetype offset = m_buffer.size();
    m_buffer.append(item);
    return appendSpan(offset, item.size());
}

void PageStore::sort() {
    if (m_sorted) {
        return;
    }
    const auto& fold = foldTable();
    // Sort on two precomputed 8-byte keys; only items equal in their first 16 bytes need a
    // byte-wise comparison of the rest. The original position breaks ties, which keeps equal
    // items in the order they were added without the extra buffer of a stable sort.
    struct Keyed {
        std::uint64_t k0;
        std::uint64_t k1;
        std::uint32_t index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const QByteArrayView v = view(m_entries[i]);
        keyed.push_back({prefixKey(v, fold, 0), prefixKey(v, fold, 8), std::uint32_t(i)});
    }
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.k0 != b.k0) {
            return a.k0 < b.k0;
        }
        if (a.k1 != b.k1) {
            return a.k1 < b.k1;
        }
        const QByteArrayView va = view(m_entries[a.index]);
        const QByteArrayView vb = view(m_entries[b.index]);
        int c = 0;
        if (va.size() <= 16 || vb.size() <= 16) {
            // The keys are equal and one item ends within them: it is a prefix of the other.
            c = va.size() == vb.size() ? 0 : (va.size() < vb.size() ? -1 : 1);
        } else {
            c = compareFrom(va, vb, 16, fold);
        }
        return c != 0 ? c < 0 : a.index < b.index;
    });
    std::vector<Entry> sorted;
    sorted.reserve(m_entries.size());
    for (const Keyed& k : keyed) {
        sorted.push_back(m_entries[k.index]);
    }
    m_entries = std::move(sorted);
    m_sorted = true;
}

qsizetype PageStore::lowerBoundPage(int page) const {
    char key[16];
    const int n = std::snprintf(key, sizeof key, "%04d", page);
    const QByteArrayView k(key, n);
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), k,
                                     [this](const Entry& e, QByteArrayView pageKey) {
                                         const QByteArrayView v = view(e).first(
                                             std::min(e.length(), pageKey.size()));
                                         return compare(v, pageKey) < 0;
                                     });
    return qsizetype(it - m_entries.begin());
}

qsizetype PageStore::memoryUsed() const {
    return m_buffer.capacity() + qsizetype(m_entries.capacity() * sizeof(Entry));
}

} // namespace zr::textreport
