#include "png_reader.h"

#include "image_limits.h"

#include <csetjmp>
#include <cstring>
#include <memory>
#include <utility>

#include <png.h>

namespace zr::reportlib::render {

namespace {

// libpng reports fatal errors by jumping back to ReadPng; everything that lives across that
// jump is in this heap-allocated state.
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArrayView data;
    qsizetype position = 0;
    QImage image;
    png_uint_32 rowsDone = 0;
};

// Ancillary chunks (text, profiles) larger than this are refused rather than allocated.
constexpr png_alloc_size_t kMaxChunkMemory = 16 * 1024 * 1024;

void readBytes(png_structp png, png_bytep out, size_t count) {
    auto* s = static_cast<PngState*>(png_get_io_ptr(png));
    if (count > size_t(s->data.size() - s->position)) {
        png_error(png, "unexpected end of data");
    }
    std::memcpy(out, s->data.data() + s->position, count);
    s->position += qsizetype(count);
}

[[noreturn]] void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

QImage finish(QImage rgba) {
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* line = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x) {
            if (line[4 * x + 3] != 255) {
                rgba.convertTo(QImage::Format_ARGB32_Premultiplied);
                return rgba;
            }
        }
    }
    rgba.convertTo(QImage::Format_RGB32);
    return rgba;
}

// Returns false when the image is too large to decode.
bool decode(PngState& s) {
    png_set_read_fn(s.png, &s, readBytes);
    png_set_user_limits(s.png, png_uint_32(kMaxImageSide), png_uint_32(kMaxImageSide));
    png_set_chunk_malloc_max(s.png, kMaxChunkMemory);
    png_read_info(s.png, s.info);
    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    if (!imageSizeAllowed(width, height)) {
        return false;
    }
    png_set_expand(s.png);
    png_set_strip_16(s.png);
    png_set_gray_to_rgb(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != size_t(width) * 4) {
        return false;
    }
    s.image = QImage(int(width), int(height), QImage::Format_RGBA8888);
    if (s.image.isNull()) {
        return false;
    }
    s.image.fill(Qt::transparent);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(s.png, s.image.scanLine(int(y)), nullptr);
            ++s.rowsDone;
        }
    }
    return true;
}

} // namespace

QImage ReadPng(QByteArrayView bytes) {
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8)) {
        return {};
    }
    const auto state = std::make_unique<PngState>();
    PngState* const s = state.get();
    s->data = bytes;
    s->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s, onError, onWarning);
    if (s->png == nullptr) {
        return {};
    }
    s->info = png_create_info_struct(s->png);
    if (s->info == nullptr) {
        png_destroy_read_struct(&s->png, nullptr, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(s->png)) != 0) {
        // A fatal error or the end of the data: keep the rows decoded so far.
        png_destroy_read_struct(&s->png, &s->info, nullptr);
        return s->rowsDone > 0 ? finish(std::move(s->image)) : QImage();
    }
    const bool decoded = decode(*s);
    png_destroy_read_struct(&s->png, &s->info, nullptr);
    return decoded ? finish(std::move(s->image)) : QImage();
}

} // namespace zr::reportlib::render
