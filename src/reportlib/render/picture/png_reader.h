#pragma once

// PNG decoding through libpng: every colour type and depth, transparency chunks and interlacing.
// Opaque images come back as Format_RGB32, others as Format_ARGB32_Premultiplied. A file cut
// short gives the rows decoded so far, the rest transparent; a damaged header or a size beyond
// imageSizeAllowed() gives a null image.

#include <QByteArrayView>
#include <QImage>

namespace zr::reportlib::render {

QImage ReadPng(QByteArrayView bytes);

} // namespace zr::reportlib::render
