#include "icon_reader.h"

#include "bitmap_reader.h"
#include "byte_reader_p.h"
#include "png_reader.h"

#include <algorithm>
#include <vector>

namespace zr::reportlib::render {

namespace {

using picture_detail::ByteReader;

struct Entry {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    qint64 size = 0;
    qint64 offset = 0;
};

constexpr size_t kMaxAttempts = 8;

int bitCountOf(const ByteReader& r, qint64 at) {
    const int declared = r.u16(at + 6);
    if (declared != 0) {
        return declared;
    }
    // Old writers leave the depth out and give the colour count instead.
    const int colors = r.u8(at + 2);
    int bits = 1;
    while (bits < 8 && (1 << bits) < colors) {
        ++bits;
    }
    return colors == 0 ? 8 : bits;
}

} // namespace

QImage ReadIcon(QByteArrayView bytes) {
    const ByteReader r(bytes);
    if (!r.has(0, 6) || r.u16(2) > 2) {
        return {};
    }
    const int count = r.u16(4);
    std::vector<Entry> entries;
    for (int i = 0; i < count && r.has(6 + 16 * qint64(i), 16); ++i) {
        const qint64 at = 6 + 16 * qint64(i);
        Entry e;
        e.width = r.u8(at) != 0 ? r.u8(at) : 256;
        e.height = r.u8(at + 1) != 0 ? r.u8(at + 1) : 256;
        e.bitCount = bitCountOf(r, at);
        e.size = r.u32(at + 8);
        e.offset = r.u32(at + 12);
        entries.push_back(e);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int areaA = a.width * a.height, areaB = b.width * b.height;
        return areaA != areaB ? areaA > areaB : a.bitCount > b.bitCount;
    });
    // A directory may list thousands of entries; a real icon is readable from its first few.
    if (entries.size() > kMaxAttempts) {
        entries.resize(kMaxAttempts);
    }
    for (const Entry& e : entries) {
        // An entry cut short by the end of the file is read as far as it goes.
        const QByteArrayView data = r.slice(e.offset, e.size);
        if (data.size() < 8) {
            continue;
        }
        const QImage image =
            data.startsWith("\x89PNG\r\n\x1a\n") ? ReadPng(data) : ReadIconDib(data);
        if (!image.isNull()) {
            return image;
        }
    }
    return {};
}

} // namespace zr::reportlib::render
