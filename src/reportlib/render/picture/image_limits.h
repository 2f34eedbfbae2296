#pragma once

// The largest raster the picture decoders will allocate. A picture's header may claim any
// size; anything beyond these bounds is refused before memory is taken, so a damaged or
// hostile file cannot exhaust memory. 2^26 pixels (256 MB as 32-bit pixels) holds an A4 page
// scanned at 600 dpi.

#include <QtGlobal>

namespace zr::reportlib::render {

inline constexpr qint64 kMaxImageSide = 32767;
inline constexpr qint64 kMaxImagePixels = qint64(1) << 26;

inline bool imageSizeAllowed(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

} // namespace zr::reportlib::render
