#pragma once

// Baseline JPEG encoding of the bitmaps the PDF export embeds (through libjpeg).

#include <QByteArray>
#include <QImage>

namespace zr::reportlib::pdf {

// The image as a baseline 24-bit RGB JPEG at `quality` (1-100; alpha is dropped). Empty for a
// null image, or when the encoder fails.
QByteArray EncodeJpeg(const QImage& image, int quality);

} // namespace zr::reportlib::pdf
