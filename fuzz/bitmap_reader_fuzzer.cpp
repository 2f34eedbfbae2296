// Feeds arbitrary bytes to the bitmap reader in each of its forms: as a .bmp file, as a packed
// bitmap (with opaque and with premultiplied 32-bit pixels, with colour tables of colours and
// of palette indexes), as the bitmap of an icon entry, and split into header and pixels the
// way metafile records carry them.

#include "reportlib/render/picture/bitmap_reader.h"

#include <QByteArrayView>
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

using namespace zr::reportlib::render;

// Reads the corner pixels: a result must be a whole image of the size it reports. (Reading
// every pixel would spend the fuzzing time in this loop.)
void touch(const QImage& image) {
    if (!image.isNull()) {
        volatile QRgb corners =
            image.pixel(0, 0) ^ image.pixel(image.width() - 1, image.height() - 1);
        (void)corners;
    }
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
