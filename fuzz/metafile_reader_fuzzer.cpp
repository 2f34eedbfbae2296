// Feeds arbitrary bytes to the metafile player: the header is read, and the records are
// replayed onto a small image twice, once at the natural size and once stretched onto a
// clipped target, which reaches text, bitmaps, clipping and paths at other scales.

#include "fuzz_gui_application.h"
#include "reportlib/render/picture/metafile.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zr::fuzz::ensureGuiApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto metafile = zr::reportlib::render::Metafile::FromBytes(bytes);
    if (!metafile) {
        return 0;
    }
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QSize natural = metafile->Size().boundedTo(QSize(64, 64));
    metafile->Play(painter, QRectF(QPointF(0, 0), QSizeF(natural)));
    painter.setClipRect(QRect(8, 8, 40, 40));
    metafile->Play(painter, QRectF(10, 4, 50, 57));
    painter.end();
    return 0;
}
