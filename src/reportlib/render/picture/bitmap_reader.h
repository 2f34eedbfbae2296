#pragma once

// Our own reader of device-independent bitmaps: the .bmp file form (file header and bitmap
// header) and the bare forms metafiles and icons embed. Headers: the 12-byte core header, the
// 40-byte information header and its 52/56/108/124-byte successors, and the 16- and 64-byte
// headers of the second OS/2 format. Depths 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE8,
// RLE4 or with bit-field masks, bottom-up or top-down; JPEG and PNG payloads go to those
// readers.
//
// Every reader returns a null QImage when the data is not a bitmap it can read or claims a
// size beyond imageSizeAllowed(). Truncated pixel data gives an image of the full size in
// which the missing pixels are transparent. Images come back as Format_RGB32 when every pixel
// is opaque, else as Format_ARGB32_Premultiplied.

#include <QByteArrayView>
#include <QImage>

namespace zr::reportlib::render {

// How the alpha byte of 32-bit pixels without an alpha mask is read.
enum class DibAlpha {
    Ignore,       // opaque, as screens show such bitmaps
    Premultiplied // the source of a blending operation: colours already multiplied by alpha
};

// How the colour table is read.
enum class DibColors {
    Rgb,    // 4-byte entries (3-byte for the core header)
    Palette // 2-byte indexes into a logical palette we do not keep: shown as a grey ramp
};

// A .bmp file: "BM", the 14-byte file header, then a bitmap header.
QImage ReadBitmapFile(QByteArrayView bytes);

// A bitmap header with its colour table in `info`, and the pixel data in `bits` (the layout
// metafile records use).
QImage ReadDib(QByteArrayView info, QByteArrayView bits, DibAlpha alpha = DibAlpha::Ignore,
               DibColors colors = DibColors::Rgb);

// A bitmap header followed at once by its colour table and pixel data.
QImage ReadPackedDib(QByteArrayView packed, DibAlpha alpha = DibAlpha::Ignore,
                     DibColors colors = DibColors::Rgb);

// The image of an icon entry: a packed bitmap of twice the icon's height, the colour pixels
// followed by a 1-bit mask whose set bits are transparent. A 32-bit entry with any alpha uses
// its alpha instead of the mask.
QImage ReadIconDib(QByteArrayView packed);

} // namespace zr::reportlib::render
