#include "bitmap_reader.h"

#include "byte_reader_p.h"
#include "image_limits.h"
#include "jpeg_reader.h"
#include "png_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <optional>

namespace zr::reportlib::render {

namespace {

using picture_detail::ByteReader;

enum class Compression { None, Rle8, Rle4, BitFields, Jpeg, Png };

// How the alpha byte of 32-bit pixels is taken, once the header is known.
enum class AlphaSource { Opaque, Straight, Premultiplied };

struct DibHeader {
    qint64 headerSize = 0;
    qint64 width = 0;
    qint64 height = 0; // always positive
    bool topDown = false;
    int bitCount = 0;
    Compression compression = Compression::None;
    std::array<quint32, 4> masks{}; // red, green, blue, alpha
    qint64 paletteOffset = 0;       // from the start of the header
    int paletteEntrySize = 4;
    int paletteCount = 0;   // entries the pixels may use (at most 256)
    qint64 paletteSize = 0; // entries the header declares, for locating packed pixel data
};

std::optional<DibHeader> parseHeader(const ByteReader& info, DibColors colors) {
    DibHeader h;
    h.headerSize = info.u32(0);
    if (h.headerSize < 12 || !info.has(0, h.headerSize)) {
        return std::nullopt;
    }
    qint64 colorsUsed = 0;
    qint64 maskBytes = 0;
    if (h.headerSize == 12) {
        // The core header: 16-bit sizes and 3-byte colour table entries.
        h.width = info.u16(4);
        h.height = info.u16(6);
        h.bitCount = info.u16(10);
        h.paletteEntrySize = 3;
    } else if (h.headerSize < 40) {
        // The short header of the second OS/2 format: sizes, planes and depth only.
        if (h.headerSize < 16) {
            return std::nullopt;
        }
        h.width = info.u32(4);
        h.height = info.u32(8);
        h.bitCount = info.u16(14);
    } else {
        h.width = info.i32(4);
        const qint64 height = info.i32(8);
        h.topDown = height < 0;
        h.height = std::abs(height);
        h.bitCount = info.u16(14);
        const quint32 compression = info.u32(16);
        colorsUsed = info.u32(32);
        const bool os2 = h.headerSize == 64;
        switch (compression) {
        case 0:
            break;
        case 1:
            h.compression = Compression::Rle8;
            break;
        case 2:
            h.compression = Compression::Rle4;
            break;
        case 3:
        case 6:
            if (os2) {
                return std::nullopt; // Huffman 1D or RLE24: not in use in report pictures
            }
            h.compression = Compression::BitFields;
            if (h.headerSize >= 52) {
                h.masks = {info.u32(40), info.u32(44), info.u32(48),
                           h.headerSize >= 56 ? info.u32(52) : 0u};
            } else {
                // The masks follow a 40-byte header.
                maskBytes = compression == 6 ? 16 : 12;
                h.masks = {info.u32(h.headerSize), info.u32(h.headerSize + 4),
                           info.u32(h.headerSize + 8),
                           compression == 6 ? info.u32(h.headerSize + 12) : 0u};
            }
            break;
        case 4:
            h.compression = Compression::Jpeg;
            break;
        case 5:
            h.compression = Compression::Png;
            break;
        default:
            return std::nullopt;
        }
    }
    if (colors == DibColors::Palette) {
        h.paletteEntrySize = 2;
    }
    h.paletteOffset = h.headerSize + maskBytes;
    if (h.bitCount >= 1 && h.bitCount <= 8) {
        const qint64 full = qint64(1) << h.bitCount;
        h.paletteSize = colorsUsed > 0 && colorsUsed < full ? colorsUsed : full;
        h.paletteCount = int(h.paletteSize);
    } else {
        // Deeper bitmaps may carry a table for palette devices; only its size matters here.
        h.paletteSize = qMin<qint64>(colorsUsed, 1 << 16);
    }
    return h;
}

bool depthAllowed(const DibHeader& h) {
    switch (h.compression) {
    case Compression::None:
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
               h.bitCount == 24 || h.bitCount == 32;
    case Compression::Rle8:
        return h.bitCount == 8;
    case Compression::Rle4:
        return h.bitCount == 4;
    case Compression::BitFields:
        return h.bitCount == 16 || h.bitCount == 32;
    case Compression::Jpeg:
    case Compression::Png:
        return true;
    }
    return false;
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            bits = std::popcount(m >> shift);
        }
    }
    int value(quint32 pixel) const {
        if (bits == 0) {
            return 0;
        }
        const quint32 v = (pixel & mask) >> shift;
        if (bits >= 8) {
            return int(v >> (bits - 8)) & 0xFF;
        }
        return int(v * 255u / ((1u << bits) - 1u)) & 0xFF;
    }
};

class PixelWriter {
public:
    PixelWriter(QImage& image, bool topDown) : m_image(image), m_topDown(topDown) {}

    // `row` counts in the file's order.
    QRgb* line(qint64 row) {
        const qint64 y = m_topDown ? row : m_image.height() - 1 - row;
        return reinterpret_cast<QRgb*>(m_image.scanLine(int(y)));
    }
    void put(qint64 x, qint64 row, QRgb color) {
        if (x >= 0 && x < m_image.width() && row >= 0 && row < m_image.height()) {
            line(row)[x] = color;
        }
    }

private:
    QImage& m_image;
    bool m_topDown;
};

std::array<QRgb, 256> readPalette(const ByteReader& info, const DibHeader& h, DibColors colors) {
    std::array<QRgb, 256> palette{};
    palette.fill(qRgb(0, 0, 0));
    for (int i = 0; i < h.paletteCount && i < 256; ++i) {
        const qint64 at = h.paletteOffset + qint64(i) * h.paletteEntrySize;
        if (colors == DibColors::Palette) {
            // Without the logical palette the indexes can only be shown as greys.
            const int grey = h.paletteCount > 1 ? i * 255 / (h.paletteCount - 1) : 0;
            palette[size_t(i)] = qRgb(grey, grey, grey);
        } else if (info.has(at, h.paletteEntrySize)) {
            palette[size_t(i)] = qRgb(info.u8(at + 2), info.u8(at + 1), info.u8(at));
        }
    }
    return palette;
}

void decodeRows(const DibHeader& h, const ByteReader& bits, const std::array<QRgb, 256>& palette,
                AlphaSource alpha, QImage& image) {
    const qint64 stride = ((h.width * h.bitCount + 31) / 32) * 4;
    std::array<quint32, 4> masks = h.masks;
    if (h.compression != Compression::BitFields) {
        if (h.bitCount == 16) {
            masks = {0x7C00, 0x03E0, 0x001F, 0};
        } else {
            masks = {0xFF0000, 0xFF00, 0xFF, alpha == AlphaSource::Opaque ? 0u : 0xFF000000u};
        }
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alphaChannel(masks[3]);
    const bool useAlpha = masks[3] != 0 && h.bitCount == 32;
    PixelWriter out(image, h.topDown);
    for (qint64 row = 0; row < h.height; ++row) {
        const qint64 start = row * stride;
        if (start >= bits.size()) {
            break;
        }
        const qint64 available = qMin(stride, bits.size() - start);
        const qint64 count = qMin(h.width, available * 8 / h.bitCount);
        QRgb* line = out.line(row);
        const auto* src = reinterpret_cast<const uchar*>(bits.data() + start);
        for (qint64 x = 0; x < count; ++x) {
            switch (h.bitCount) {
            case 1:
                line[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                line[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
                break;
            case 8:
                line[x] = palette[src[x]];
                break;
            case 24:
                line[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default: {
                quint32 pixel = 0;
                if (h.bitCount == 16) {
                    pixel = quint32(src[2 * x]) | quint32(src[2 * x + 1]) << 8;
                } else {
                    pixel = quint32(src[4 * x]) | quint32(src[4 * x + 1]) << 8 |
                            quint32(src[4 * x + 2]) << 16 | quint32(src[4 * x + 3]) << 24;
                }
                int r = red.value(pixel), g = green.value(pixel), b = blue.value(pixel);
                const int a = useAlpha ? alphaChannel.value(pixel) : 255;
                if (alpha == AlphaSource::Premultiplied && a > 0 && a < 255) {
                    r = qMin(255, r * 255 / a);
                    g = qMin(255, g * 255 / a);
                    b = qMin(255, b * 255 / a);
                }
                line[x] = qRgba(r, g, b, a);
                break;
            }
            }
        }
    }
}

void decodeRle(const DibHeader& h, const ByteReader& bits, const std::array<QRgb, 256>& palette,
               QImage& image) {
    const bool rle8 = h.compression == Compression::Rle8;
    PixelWriter out(image, h.topDown);
    qint64 x = 0, row = 0, pos = 0;
    // Every step consumes at least two bytes, so the loop ends with the data.
    while (pos + 1 < bits.size() && row < h.height) {
        const int n = bits.u8(pos), c = bits.u8(pos + 1);
        pos += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i, ++x) {
                const int index = rle8 ? c : ((i & 1) ? c & 0xF : c >> 4);
                out.put(x, row, palette[size_t(index)]);
            }
        } else if (c == 0) {
            x = 0;
            ++row;
        } else if (c == 1) {
            break;
        } else if (c == 2) {
            x += bits.u8(pos);
            row += bits.u8(pos + 1);
            pos += 2;
        } else {
            const qint64 bytes = rle8 ? c : (c + 1) / 2;
            for (int i = 0; i < c; ++i, ++x) {
                const qint64 at = pos + (rle8 ? i : i / 2);
                if (at >= bits.size()) {
                    break;
                }
                const int v = bits.u8(at);
                const int index = rle8 ? v : ((i & 1) ? v & 0xF : v >> 4);
                out.put(x, row, palette[size_t(index)]);
            }
            pos += (bytes + 1) & ~qint64(1);
        }
    }
}

// Opaque images as RGB32, the others premultiplied, as QPainter draws them fastest. Both
// conversions keep the pixel size, so they happen in place.
QImage finish(QImage image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255) {
                image.convertTo(QImage::Format_ARGB32_Premultiplied);
                return image;
            }
        }
    }
    image.convertTo(QImage::Format_RGB32);
    return image;
}

// The pixels of a bitmap whose header is at the start of `info`; `bits` empty with `packed`
// means the pixel data follows the colour table. `icon` halves the height and applies the
// transparency mask that follows the colour pixels.
QImage decodeDib(QByteArrayView infoBytes, QByteArrayView bitsBytes, bool packed, AlphaSource alpha,
                 DibColors colors, bool icon) {
    const ByteReader info(infoBytes);
    std::optional<DibHeader> parsed = parseHeader(info, colors);
    if (!parsed || !depthAllowed(*parsed)) {
        return {};
    }
    DibHeader& h = *parsed;
    if (packed) {
        const qint64 offset = h.paletteOffset + h.paletteSize * h.paletteEntrySize;
        bitsBytes = info.from(offset);
    }
    if (h.compression == Compression::Jpeg || h.compression == Compression::Png) {
        const QImage embedded =
            h.compression == Compression::Jpeg ? ReadJpeg(bitsBytes) : ReadPng(bitsBytes);
        return embedded;
    }
    if (icon) {
        h.height /= 2;
        if (h.compression != Compression::None) {
            return {};
        }
    }
    if (!imageSizeAllowed(h.width, h.height)) {
        return {};
    }
    QImage image(int(h.width), int(h.height), QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::transparent);
    const std::array<QRgb, 256> palette = readPalette(info, h, colors);
    const ByteReader bits(bitsBytes);
    if (h.compression == Compression::Rle8 || h.compression == Compression::Rle4) {
        decodeRle(h, bits, palette, image);
    } else {
        decodeRows(h, bits, palette, icon ? AlphaSource::Straight : alpha, image);
    }
    if (icon) {
        bool anyAlpha = false;
        if (h.bitCount == 32) {
            for (int y = 0; y < image.height() && !anyAlpha; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(line[x]) != 0) {
                        anyAlpha = true;
                        break;
                    }
                }
            }
        }
        const qint64 stride = ((h.width * h.bitCount + 31) / 32) * 4;
        const qint64 maskStride = ((h.width + 31) / 32) * 4;
        const qint64 maskStart = stride * h.height;
        // Rows without colour data stay transparent whatever their mask says, so the work is
        // bounded by the data rather than by the size the header claims.
        const qint64 rowsWithColour = std::min(h.height, (bits.size() + stride - 1) / stride);
        for (qint64 row = 0; row < rowsWithColour && !anyAlpha; ++row) {
            auto* line =
                reinterpret_cast<QRgb*>(image.scanLine(int(h.topDown ? row : h.height - 1 - row)));
            for (qint64 x = 0; x < h.width; ++x) {
                // Pixels whose mask data is missing stay visible.
                const qint64 at = maskStart + row * maskStride + (x >> 3);
                const bool masked = bits.has(at, 1) && ((bits.u8(at) >> (7 - (x & 7))) & 1) != 0;
                if (masked) {
                    line[x] = 0;
                } else if (h.bitCount == 32) {
                    line[x] |= 0xFF000000u;
                }
            }
        }
    }
    return finish(std::move(image));
}

AlphaSource alphaSourceOf(DibAlpha alpha) {
    return alpha == DibAlpha::Premultiplied ? AlphaSource::Premultiplied : AlphaSource::Opaque;
}

} // namespace

QImage ReadBitmapFile(QByteArrayView bytes) {
    const ByteReader file(bytes);
    if (bytes.size() < 14 + 12 || file.u8(0) != 'B' || file.u8(1) != 'M') {
        return {};
    }
    const QByteArrayView info = bytes.sliced(14);
    const qint64 offset = file.u32(10);
    // A pixel offset that points into the headers or past the end is a writer's mistake; the
    // pixels then follow the colour table as in a packed bitmap.
    const qint64 headerSize = ByteReader(info).u32(0);
    if (offset >= 14 + headerSize && offset < bytes.size()) {
        return decodeDib(info, bytes.sliced(qsizetype(offset)), false, AlphaSource::Opaque,
                         DibColors::Rgb, false);
    }
    return decodeDib(info, {}, true, AlphaSource::Opaque, DibColors::Rgb, false);
}

QImage ReadDib(QByteArrayView info, QByteArrayView bits, DibAlpha alpha, DibColors colors) {
    return decodeDib(info, bits, false, alphaSourceOf(alpha), colors, false);
}

QImage ReadPackedDib(QByteArrayView packed, DibAlpha alpha, DibColors colors) {
    return decodeDib(packed, {}, true, alphaSourceOf(alpha), colors, false);
}

QImage ReadIconDib(QByteArrayView packed) {
    return decodeDib(packed, {}, true, AlphaSource::Straight, DibColors::Rgb, true);
}

} // namespace zr::reportlib::render
