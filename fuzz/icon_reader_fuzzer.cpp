// Feeds arbitrary bytes to the icon reader, directly and through the graphic layer (which
// also recognises the kind of the bytes first, and works out transparency on its result).

#include "reportlib/render/picture/graphic.h"
#include "reportlib/render/picture/icon_reader.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

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
    using namespace zr::reportlib::render;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    touch(ReadIcon(bytes));
    const auto graphic = Graphic::Decode(bytes, GraphicKind::Icon);
    touch(graphic->Image());
    // Transparency is worked out on images of reasonable size only, for the fuzzer's speed.
    if (!graphic->Empty() && !graphic->IsMetafile() &&
        qint64(graphic->Size().width()) * graphic->Size().height() <= 1 << 20) {
        touch(graphic->WithTransparentColor(graphic->Flattened(qRgb(255, 255, 255)),
                                            qRgb(255, 255, 255)));
    }
    return 0;
}
