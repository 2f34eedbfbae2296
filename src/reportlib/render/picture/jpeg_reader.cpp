#include "jpeg_reader.h"

#include "image_limits.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace zr::reportlib::render {

namespace {

// libjpeg reports fatal errors through a callback that must not return; it jumps back to
// ReadJpeg. Everything that lives across that jump is in the heap-allocated state, and the
// code between setjmp and a libjpeg call keeps no objects with destructors on the stack.
struct JpegState {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    QImage image;
    std::vector<JSAMPLE> row;
    JDIMENSION rowsDone = 0;
};

// Progressive files may hold any number of scans; real pictures have a dozen or so. A damaged
// file with thousands would keep the decoder busy for minutes.
constexpr int kMaxScans = 500;
// Coefficient buffers of progressive images are bounded with the memory of the decoder.
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* state = static_cast<JpegState*>(cinfo->client_data);
    std::longjmp(state->jump, 1);
}

void onMessage(j_common_ptr) {
    // Warnings (premature end of data, corrupt segments) are worked around silently.
}

void onProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        onError(cinfo);
    }
}

void convertRow(JpegState& s, int y) {
    auto* line = reinterpret_cast<QRgb*>(s.image.scanLine(y));
    const JDIMENSION width = s.cinfo.output_width;
    const JSAMPLE* src = s.row.data();
    if (s.cinfo.out_color_space == JCS_CMYK) {
        // Adobe writers store the four inks inverted, the others do not.
        const bool inverted = s.cinfo.saw_Adobe_marker;
        for (JDIMENSION x = 0; x < width; ++x, src += 4) {
            int c = src[0], m = src[1], ye = src[2], k = src[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                ye = 255 - ye;
                k = 255 - k;
            }
            line[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
        }
    } else if (s.cinfo.output_components == 1) {
        for (JDIMENSION x = 0; x < width; ++x) {
            line[x] = qRgb(src[x], src[x], src[x]);
        }
    } else {
        for (JDIMENSION x = 0; x < width; ++x, src += 3) {
            line[x] = qRgb(src[0], src[1], src[2]);
        }
    }
}

// Returns false when the image is too large to decode.
bool decode(JpegState& s) {
    jpeg_read_header(&s.cinfo, TRUE);
    if (!imageSizeAllowed(s.cinfo.image_width, s.cinfo.image_height)) {
        return false;
    }
    if (s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK) {
        s.cinfo.out_color_space = JCS_CMYK;
    } else if (s.cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        s.cinfo.out_color_space = JCS_GRAYSCALE;
    } else {
        s.cinfo.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&s.cinfo);
    s.image = QImage(int(s.cinfo.output_width), int(s.cinfo.output_height), QImage::Format_RGB32);
    if (s.image.isNull()) {
        return false;
    }
    s.image.fill(qRgb(128, 128, 128));
    s.row.resize(size_t(s.cinfo.output_width) * size_t(s.cinfo.output_components));
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        JSAMPROW rows[1] = {s.row.data()};
        const int y = int(s.cinfo.output_scanline);
        if (jpeg_read_scanlines(&s.cinfo, rows, 1) != 1) {
            break;
        }
        convertRow(s, y);
        ++s.rowsDone;
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

} // namespace

QImage ReadJpeg(QByteArrayView bytes) {
    if (bytes.size() < 4) {
        return {};
    }
    const auto state = std::make_unique<JpegState>();
    JpegState* const s = state.get();
    s->cinfo.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = onError;
    s->errors.output_message = onMessage;
    s->cinfo.client_data = s;
    if (setjmp(s->jump) != 0) {
        // A fatal error: keep the rows decoded so far.
        jpeg_destroy_decompress(&s->cinfo);
        return s->rowsDone > 0 ? s->image : QImage();
    }
    jpeg_create_decompress(&s->cinfo);
    s->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    s->progress.progress_monitor = onProgress;
    s->cinfo.progress = &s->progress;
    jpeg_mem_src(&s->cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    const bool decoded = decode(*s);
    jpeg_destroy_decompress(&s->cinfo);
    return decoded ? s->image : QImage();
}

} // namespace zr::reportlib::render
