#include "pdf_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace zr::reportlib::pdf {

namespace {

// libjpeg reports fatal errors through a callback that must not return; it jumps back to
// EncodeJpeg. Everything that lives across that jump is in this heap-allocated state, and the
// code between setjmp and the libjpeg calls keeps no objects with destructors on the stack.
struct JpegWriteState {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr destination{};
    std::jmp_buf jump{};
    std::vector<JOCTET> chunk = std::vector<JOCTET>(64 * 1024);
    QByteArray bytes;
    std::vector<JSAMPLE> row;
};

JpegWriteState& stateOf(j_compress_ptr cinfo) {
    return *static_cast<JpegWriteState*>(cinfo->client_data);
}

// The compressed bytes are collected in chunks into the state's byte array.
void initDestination(j_compress_ptr cinfo) {
    JpegWriteState& s = stateOf(cinfo);
    s.destination.next_output_byte = s.chunk.data();
    s.destination.free_in_buffer = s.chunk.size();
}

boolean emptyDestination(j_compress_ptr cinfo) {
    JpegWriteState& s = stateOf(cinfo);
    s.bytes.append(reinterpret_cast<const char*>(s.chunk.data()), qsizetype(s.chunk.size()));
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    JpegWriteState& s = stateOf(cinfo);
    const size_t used = s.chunk.size() - s.destination.free_in_buffer;
    s.bytes.append(reinterpret_cast<const char*>(s.chunk.data()), qsizetype(used));
}

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* state = static_cast<JpegWriteState*>(cinfo->client_data);
    std::longjmp(state->jump, 1);
}

void onMessage(j_common_ptr) {}

// One scan line of `image` (32-bit RGB) as RGB bytes.
void convertRow(const QImage& image, int y, std::vector<JSAMPLE>& row) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    JSAMPLE* out = row.data();
    for (int x = 0; x < image.width(); ++x, out += 3) {
        out[0] = JSAMPLE(qRed(line[x]));
        out[1] = JSAMPLE(qGreen(line[x]));
        out[2] = JSAMPLE(qBlue(line[x]));
    }
}

bool encode(JpegWriteState& s, const QImage& image, int quality) {
    if (setjmp(s.jump)) {
        return false;
    }
    jpeg_create_compress(&s.cinfo);
    s.cinfo.client_data = &s;
    s.destination.init_destination = initDestination;
    s.destination.empty_output_buffer = emptyDestination;
    s.destination.term_destination = termDestination;
    s.cinfo.dest = &s.destination;
    s.cinfo.image_width = JDIMENSION(image.width());
    s.cinfo.image_height = JDIMENSION(image.height());
    s.cinfo.input_components = 3;
    s.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, quality, TRUE);
    jpeg_start_compress(&s.cinfo, TRUE);
    while (s.cinfo.next_scanline < s.cinfo.image_height) {
        convertRow(image, int(s.cinfo.next_scanline), s.row);
        JSAMPROW rows[1] = {s.row.data()};
        jpeg_write_scanlines(&s.cinfo, rows, 1);
    }
    jpeg_finish_compress(&s.cinfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage& source, int quality) {
    // JPEG holds at most 65,535 pixels a side.
    if (source.isNull() || source.width() > 65535 || source.height() > 65535) {
        return {};
    }
    const QImage image = source.format() == QImage::Format_RGB32
                             ? source
                             : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    auto state = std::make_unique<JpegWriteState>();
    state->cinfo.err = jpeg_std_error(&state->errors);
    state->errors.error_exit = onError;
    state->errors.output_message = onMessage;
    state->row.resize(size_t(image.width()) * 3);
    const bool ok = encode(*state, image, quality < 1 ? 1 : (quality > 100 ? 100 : quality));
    jpeg_destroy_compress(&state->cinfo);
    return ok ? state->bytes : QByteArray();
}

} // namespace zr::reportlib::pdf
