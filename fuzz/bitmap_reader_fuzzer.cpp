// Feeds arbitrary bytes to the bitmap reader in each of its forms: as a .bmp file, as a packed
// bitmap (with opaque and with premultiplied 32-bit pixels, with colour tables of colours and
// of palette indexes), as the bitmap of an icon entry, and split into header and pixels the
// way metafile records carry them. Every pixel of a result is read once.

#include "reportlib/render/picture/bitmap_reader.h"

#include <QByteArrayView>
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

using namespace zr::reportlib::render;

void touch(const QImage& image) {
    quint32 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (qsizetype x = 0; x < image.bytesPerLine(); ++x) {
            sum += line[x];
        }
    }
    (void)sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    touch(ReadBitmapFile(bytes));
    touch(ReadPackedDib(bytes));
    touch(ReadPackedDib(bytes, DibAlpha::Premultiplied, DibColors::Palette));
    touch(ReadIconDib(bytes));
    if (bytes.size() > 2) {
        // The first byte says where the header ends and the pixels begin.
        const qsizetype split = 1 + qsizetype(data[0]) % (bytes.size() - 1);
        touch(ReadDib(bytes.sliced(1, split - 1), bytes.sliced(split)));
    }
    return 0;
}
