#pragma once

// For fuzz targets that decode pictures.

#include <QImage>

namespace zr::fuzz {

// Reads the corner pixels: a result must be a whole image of the size it reports. (Reading
// every pixel would spend the fuzzing time in this loop.)
inline void touchImage(const QImage& image) {
    if (!image.isNull()) {
        volatile QRgb corners =
            image.pixel(0, 0) ^ image.pixel(image.width() - 1, image.height() - 1);
        (void)corners;
    }
}

} // namespace zr::fuzz
