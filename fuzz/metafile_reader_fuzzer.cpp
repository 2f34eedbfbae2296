// Feeds arbitrary bytes to the metafile player: the header is read, and the records are
// replayed onto a small image twice, once at the natural size and once stretched onto a
// clipped target, which reaches text, bitmaps, clipping and paths at other scales.

#include "reportlib/render/picture/metafile.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

namespace {

// Text needs fonts, and fonts need an application (offscreen: no display). It is never
// destroyed: a QGuiApplication torn down by exit handlers outlives what it depends on.
void ensureApplication() {
    if (QGuiApplication::instance() == nullptr) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "metafile_reader_fuzzer";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

} // namespace

// fontconfig keeps its configuration for the life of the process and frees it only when the
// application shuts down, which this one never does; that is not a leak of the player.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
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
