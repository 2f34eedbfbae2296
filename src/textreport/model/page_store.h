#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace zr::textreport {

// The page store of a text report: item strings kept in ascending case-insensitive order, equal
// items all kept (in the order they were added). The item layout is page (4 digits), line (3),
// column (3), attribute code (3), kind (1), colour (6 hex digits) and then the text, so the
// order is page, line, column, attribute code and the items of one page are contiguous.
//
// Items live in one byte buffer and are addressed by (offset, length) entries, so a store costs
// little more than the bytes of its items. Loading appends every item unsorted and sorts once
// (appendUnsorted, then sort); add() keeps the order for occasional single items.
class PageStore {
public:
    // The longest item a store holds (bytes). Longer items are refused by add/appendUnsorted.
    static constexpr qsizetype kMaxItemLength = (qsizetype(1) << 24) - 1;
    // The most items a store holds.
    static constexpr size_t kMaxItems = 0xFFFFFFFFu;

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool empty() const { return m_entries.empty(); }
    QByteArrayView item(qsizetype index) const;
    QByteArrayView operator[](qsizetype index) const { return item(index); }
    QByteArrayView last() const { return item(size() - 1); }

    void clear();

    // Inserts one item at its place in the order, after any equal items. False (and nothing
    // stored) when the item is longer than kMaxItemLength.
    bool add(QByteArrayView item);

    // Bulk loading. adoptBuffer hands over a buffer that holds the items' bytes (for instance a
    // whole file); appendSpan then names an item inside it by offset and length. appendUnsorted
    // copies the item in. Call sort() before reading the store again.
    void adoptBuffer(QByteArray buffer);
    bool appendSpan(qsizetype offset, qsizetype length);
    bool appendUnsorted(QByteArrayView item);
    void reserve(qsizetype items) { m_entries.reserve(size_t(items)); }
    // Sorts the items appended since the store was last in order (stable). Cheap when the
    // items already came in order, as they do from a file this program wrote.
    void sort();

    // Index of the first item whose first four characters are not below the page's
    // four-digit number, by binary search (the page's first item when it has any).
    qsizetype lowerBoundPage(int page) const;

    // Bytes held: the buffer and the entries.
    qsizetype memoryUsed() const;

    // The store's order: case-insensitive byte comparison (cp1252 letters folded), a shorter
    // item before a longer one that it begins.
    static int compare(QByteArrayView a, QByteArrayView b);

private:
    // Where one item lies in the buffer: offset in the high 40 bits, length in the low 24.
    struct Entry {
        std::uint64_t packed;
        static Entry make(qsizetype offset, qsizetype length) {
            return {(std::uint64_t(offset) << 24) | std::uint64_t(length)};
        }
        qsizetype offset() const { return qsizetype(packed >> 24); }
        qsizetype length() const { return qsizetype(packed & 0xFFFFFF); }
    };
    static constexpr qsizetype kMaxBuffer = qsizetype(1) << 40;

    QByteArrayView view(const Entry& e) const {
        return QByteArrayView(m_buffer.constData() + e.offset(), e.length());
    }

    QByteArray m_buffer;
    std::vector<Entry> m_entries;
    bool m_sorted = true;
};

} // namespace zr::textreport
