// Feeds arbitrary bytes to the icon reader, directly and through the graphic layer (which
// also recognises the kind of the bytes first, and works out transparency on its result).

#include "fuzz_image_check.h"
#include "reportlib/render/picture/graphic.h"
#include "reportlib/render/picture/icon_reader.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zr::reportlib::render;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    zr::fuzz::touchImage(ReadIcon(bytes));
    const auto graphic = Graphic::Decode(bytes, GraphicKind::Icon);
    zr::fuzz::touchImage(graphic->Image());
    // Transparency is worked out on images of reasonable size only, for the fuzzer's speed.
    if (!graphic->Empty() && !graphic->IsMetafile() &&
        qint64(graphic->Size().width()) * graphic->Size().height() <= 1 << 20) {
        zr::fuzz::touchImage(graphic->WithTransparentColor(graphic->Flattened(qRgb(255, 255, 255)),
                                                           qRgb(255, 255, 255)));
    }
    return 0;
}
