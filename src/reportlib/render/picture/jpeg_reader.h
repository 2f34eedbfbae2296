#pragma once

// JPEG decoding through libjpeg. Greyscale, YCbCr, RGB, CMYK and YCCK images are read into
// Format_RGB32. A file cut short gives the rows that were decoded (the decoder pads the rest
// grey); data libjpeg cannot start on, or a size beyond imageSizeAllowed(), gives a null image.

#include <QByteArrayView>
#include <QImage>

namespace zr::reportlib::render {

QImage ReadJpeg(QByteArrayView bytes);

} // namespace zr::reportlib::render
