// Feeds arbitrary bytes to the bitmap reader in each of its forms: as a .bmp file, as a packed
// bitmap (with opaque and with premultiplied 32-bit pixels, with colour tables of colours and
// of palette indexes), as the bitmap of an icon entry, and split into header and pixels the
// way metafile records carry them.

#include "fuzz_image_check.h"
#include "reportlib/render/picture/bitmap_reader.h"

#include <QByteArrayView>
#include <QImage>

#include <cstddef>
#include <cstdint>

using namespace zr::reportlib::render;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    zr::fuzz::touchImage(ReadBitmapFile(bytes));
    zr::fuzz::touchImage(ReadPackedDib(bytes));
    zr::fuzz::touchImage(ReadPackedDib(bytes, DibAlpha::Premultiplied, DibColors::Palette));
    zr::fuzz::touchImage(ReadIconDib(bytes));
    if (bytes.size() > 2) {
        // The first byte says where the header ends and the pixels begin.
        const qsizetype split = 1 + qsizetype(data[0]) % (bytes.size() - 1);
        zr::fuzz::touchImage(ReadDib(bytes.sliced(1, split - 1), bytes.sliced(split)));
    }
    return 0;
}
