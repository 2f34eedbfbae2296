// Feeds arbitrary bytes to the icon reader, directly and through the graphic layer (which
// also recognises the kind of the bytes first), and reads every pixel of the result.

#include "reportlib/render/picture/graphic.h"
#include "reportlib/render/picture/icon_reader.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

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
    using namespace zr::reportlib::render;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    touch(ReadIcon(bytes));
    const auto graphic = Graphic::Decode(bytes, GraphicKind::Icon);
    touch(graphic->Image());
    if (!graphic->Empty() && !graphic->IsMetafile()) {
        touch(graphic->WithTransparentColor(graphic->Flattened(qRgb(255, 255, 255)),
                                            qRgb(255, 255, 255)));
    }
    return 0;
}
