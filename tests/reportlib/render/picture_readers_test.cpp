#include "reportlib/render/picture/bitmap_reader.h"
#include "reportlib/render/picture/graphic.h"
#include "reportlib/render/picture/icon_reader.h"
#include "reportlib/render/picture/jpeg_reader.h"
#include "reportlib/render/picture/metafile.h"
#include "reportlib/render/picture/png_reader.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

namespace zr::reportlib::render {
namespace {

// Little-endian byte building for the picture files the tests make.
class Bytes {
public:
    Bytes& u8(int v) {
        m_data.append(char(v & 0xFF));
        return *this;
    }
    Bytes& u16(int v) { return u8(v).u8(v >> 8); }
    Bytes& u32(qint64 v) { return u16(int(v & 0xFFFF)).u16(int((v >> 16) & 0xFFFF)); }
    Bytes& raw(const QByteArray& b) {
        m_data.append(b);
        return *this;
    }
    Bytes& zeros(int n) {
        m_data.append(QByteArray(n, '\0'));
        return *this;
    }
    // Pads with zeros to a multiple of four bytes.
    Bytes& align4() {
        while (m_data.size() % 4 != 0) {
            u8(0);
        }
        return *this;
    }
    qsizetype size() const { return m_data.size(); }
    const QByteArray& data() const { return m_data; }
    operator QByteArray() const { return m_data; }

private:
    QByteArray m_data;
};

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// The 4 x 2 checker every bitmap variant encodes: blue where x + y is even, red elsewhere.
int indexAt(int x, int y) {
    return (x + y) % 2;
}
QRgb colorAt(int x, int y) {
    return indexAt(x, y) == 0 ? kBlue : kRed;
}

// A 40-byte bitmap header (or a larger one filled with zeros beyond 40 bytes).
Bytes infoHeader(int headerSize, int width, int height, int bpp, int compression,
                 int colorsUsed = 0) {
    Bytes b;
    b.u32(headerSize).u32(width).u32(height).u16(1).u16(bpp).u32(compression).u32(0);
    b.u32(2835).u32(2835).u32(colorsUsed).u32(0);
    b.zeros(headerSize - 40);
    return b;
}

QByteArray withFileHeader(const QByteArray& dib, qint64 pixelOffsetInDib) {
    Bytes file;
    file.raw("BM").u32(14 + dib.size()).u32(0).u32(14 + pixelOffsetInDib).raw(dib);
    return file;
}

// Rows of palette indexes at `bpp` bits, bottom-up unless `topDown`.
QByteArray indexedRows(int bpp, bool topDown) {
    Bytes rows;
    for (int r = 0; r < 2; ++r) {
        const int y = topDown ? r : 1 - r;
        Bytes row;
        int acc = 0, bits = 0;
        for (int x = 0; x < 4; ++x) {
            acc = acc << bpp | indexAt(x, y);
            bits += bpp;
            if (bits == 8) {
                row.u8(acc);
                acc = bits = 0;
            }
        }
        if (bits > 0) {
            row.u8(acc << (8 - bits));
        }
        rows.raw(row).align4();
    }
    return rows;
}

struct BitmapVariant {
    const char* name;
    std::function<QByteArray()> build;
};

QByteArray palettedBmp(int bpp, bool topDown) {
    Bytes dib = infoHeader(40, 4, topDown ? -2 : 2, bpp, 0, 2);
    dib.u32(0x0000FF).u32(0xFF0000); // blue, red as B G R 0
    const qint64 offset = dib.size();
    dib.raw(indexedRows(bpp, topDown));
    return withFileHeader(dib, offset);
}

QByteArray trueColorBmp(int bpp, bool topDown) {
    Bytes dib = infoHeader(40, 4, topDown ? -2 : 2, bpp, 0);
    const qint64 offset = dib.size();
    for (int r = 0; r < 2; ++r) {
        const int y = topDown ? r : 1 - r;
        for (int x = 0; x < 4; ++x) {
            const QRgb c = colorAt(x, y);
            if (bpp == 16) {
                dib.u16((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3);
            } else {
                dib.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c));
                if (bpp == 32) {
                    dib.u8(0); // unused, must not make the pixel transparent
                }
            }
        }
        dib.align4();
    }
    return withFileHeader(dib, offset);
}

QByteArray bitFields565Bmp() {
    Bytes dib = infoHeader(40, 4, 2, 16, 3);
    dib.u32(0xF800).u32(0x07E0).u32(0x001F);
    const qint64 offset = dib.size();
    for (int y = 1; y >= 0; --y) {
        for (int x = 0; x < 4; ++x) {
            dib.u16(colorAt(x, y) == kRed ? 0xF800 : 0x001F);
        }
    }
    return withFileHeader(dib, offset);
}

QByteArray v5AlphaBmp() {
    // A 124-byte header whose masks put alpha in the top byte; every pixel is opaque.
    Bytes dib;
    dib.u32(124).u32(4).u32(2).u16(1).u16(32).u32(3).u32(0).u32(0).u32(0).u32(0).u32(0);
    dib.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF).u32(0xFF000000);
    dib.zeros(124 - 56);
    const qint64 offset = dib.size();
    for (int y = 1; y >= 0; --y) {
        for (int x = 0; x < 4; ++x) {
            dib.u32(0xFF000000 | (colorAt(x, y) & 0xFFFFFF));
        }
    }
    return withFileHeader(dib, offset);
}

QByteArray coreHeaderBmp() {
    Bytes dib;
    dib.u32(12).u16(4).u16(2).u16(1).u16(8);
    dib.u8(255).u8(0).u8(0); // blue
    dib.u8(0).u8(0).u8(255); // red
    for (int i = 2; i < 256; ++i) {
        dib.u8(0).u8(0).u8(0);
    }
    const qint64 offset = dib.size();
    dib.raw(indexedRows(8, false));
    return withFileHeader(dib, offset);
}

QByteArray os2Header64Bmp() {
    Bytes dib = infoHeader(64, 4, 2, 8, 0, 2);
    dib.u32(0x0000FF).u32(0xFF0000);
    const qint64 offset = dib.size();
    dib.raw(indexedRows(8, false));
    return withFileHeader(dib, offset);
}

QByteArray rleBmp(bool rle8) {
    Bytes dib = infoHeader(40, 4, 2, rle8 ? 8 : 4, rle8 ? 1 : 2, 2);
    dib.u32(0x0000FF).u32(0xFF0000);
    const qint64 offset = dib.size();
    // Bottom row (y = 1: red blue red blue) in absolute mode, top row as encoded runs.
    if (rle8) {
        dib.u8(0).u8(4).u8(1).u8(0).u8(1).u8(0);
    } else {
        dib.u8(0).u8(4).u8(0x10).u8(0x10);
    }
    dib.u8(0).u8(0);
    for (int x = 0; x < 4; ++x) {
        dib.u8(1).u8(rle8 ? indexAt(x, 0) : indexAt(x, 0) << 4);
    }
    dib.u8(0).u8(1);
    return withFileHeader(dib, offset);
}

class BitmapVariants : public ::testing::TestWithParam<BitmapVariant> {};

TEST_P(BitmapVariants, DecodeToTheSameChecker) {
    const QImage image = ReadBitmapFile(GetParam().build());
    ASSERT_EQ(image.size(), QSize(4, 2)) << GetParam().name;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(image.pixel(x, y), colorAt(x, y))
                << GetParam().name << " at " << x << "," << y;
        }
    }
    EXPECT_FALSE(image.hasAlphaChannel()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Bmp, BitmapVariants,
    ::testing::Values(BitmapVariant{"1bpp", [] { return palettedBmp(1, false); }},
                      BitmapVariant{"4bpp", [] { return palettedBmp(4, false); }},
                      BitmapVariant{"8bpp", [] { return palettedBmp(8, false); }},
                      BitmapVariant{"8bpp_topdown", [] { return palettedBmp(8, true); }},
                      BitmapVariant{"16bpp_555", [] { return trueColorBmp(16, false); }},
                      BitmapVariant{"16bpp_565_bitfields", bitFields565Bmp},
                      BitmapVariant{"24bpp", [] { return trueColorBmp(24, false); }},
                      BitmapVariant{"24bpp_topdown", [] { return trueColorBmp(24, true); }},
                      BitmapVariant{"32bpp", [] { return trueColorBmp(32, false); }},
                      BitmapVariant{"32bpp_v5_alpha_mask", v5AlphaBmp},
                      BitmapVariant{"core_header", coreHeaderBmp},
                      BitmapVariant{"os2_64_byte_header", os2Header64Bmp},
                      BitmapVariant{"rle8", [] { return rleBmp(true); }},
                      BitmapVariant{"rle4", [] { return rleBmp(false); }}),
    [](const ::testing::TestParamInfo<BitmapVariant>& param) { return param.param.name; });

TEST(BitmapReader, TruncatedPixelsLeaveTheMissingRowsTransparent) {
    QByteArray bmp = trueColorBmp(24, false);
    bmp.chop(12); // the last row in the file, the top row of the image
    const QImage image = ReadBitmapFile(bmp);
    ASSERT_EQ(image.size(), QSize(4, 2));
    EXPECT_EQ(image.pixel(0, 1), colorAt(0, 1));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST(BitmapReader, RefusesAbsurdOrImpossibleHeaders) {
    const auto bmp = [](int w, int h, int bpp) {
        Bytes dib = infoHeader(40, w, h, bpp, 0);
        dib.zeros(64);
        return withFileHeader(dib, 40);
    };
    EXPECT_TRUE(ReadBitmapFile(bmp(100000, 100000, 24)).isNull());
    EXPECT_TRUE(ReadBitmapFile(bmp(40000, 1, 24)).isNull());
    EXPECT_TRUE(ReadBitmapFile(bmp(-4, 2, 24)).isNull());
    EXPECT_TRUE(ReadBitmapFile(bmp(4, 2, 7)).isNull());
    EXPECT_TRUE(ReadBitmapFile(QByteArray("BM") + QByteArray(12, '\xff')).isNull());
    // A header size beyond the data.
    Bytes huge;
    huge.raw("BM").u32(0).u32(0).u32(0).u32(0x7FFFFFFF).zeros(40);
    EXPECT_TRUE(ReadBitmapFile(huge.data()).isNull());
}

TEST(BitmapReader, RleDeltaSkipsPixelsAndLeavesThemTransparent) {
    Bytes dib = infoHeader(40, 4, 2, 8, 1, 2);
    dib.u32(0x0000FF).u32(0xFF0000);
    const qint64 offset = dib.size();
    dib.u8(1).u8(1);             // one red pixel at the bottom left
    dib.u8(0).u8(2).u8(2).u8(1); // move right 2 and up 1
    dib.u8(1).u8(1);             // one red pixel at (3, top)
    dib.u8(0).u8(1);
    const QImage image = ReadBitmapFile(withFileHeader(dib, offset));
    ASSERT_EQ(image.size(), QSize(4, 2));
    EXPECT_EQ(image.pixel(0, 1), kRed);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
    EXPECT_EQ(image.pixel(3, 0), kRed);
    EXPECT_EQ(qAlpha(image.pixel(2, 0)), 0);
}

// ---- Icons --------------------------------------------------------------------------------

// A square 24-bit icon image with its AND mask; `masked` pixels are transparent.
QByteArray iconDib(int size, QRgb color, const std::function<bool(int, int)>& masked) {
    Bytes dib = infoHeader(40, size, 2 * size, 24, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            dib.u8(qBlue(color)).u8(qGreen(color)).u8(qRed(color));
        }
        dib.align4();
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row;
        int acc = 0;
        for (int x = 0; x < size; ++x) {
            acc |= (masked(x, y) ? 1 : 0) << (7 - x % 8);
            if (x % 8 == 7 || x == size - 1) {
                row.u8(acc);
                acc = 0;
            }
        }
        dib.raw(row).align4();
    }
    return dib;
}

QByteArray iconFile(const std::vector<std::pair<int, QByteArray>>& entries) {
    Bytes file;
    file.u16(0).u16(1).u16(int(entries.size()));
    qint64 offset = 6 + 16 * qint64(entries.size());
    for (const auto& [size, data] : entries) {
        file.u8(size % 256).u8(size % 256).u8(0).u8(0).u16(1).u16(24).u32(data.size()).u32(offset);
        offset += data.size();
    }
    for (const auto& entry : entries) {
        file.raw(entry.second);
    }
    return file;
}

QByteArray pngOf(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

TEST(IconReader, ReadsTheLargestEntryWithItsMask) {
    const QByteArray small = iconDib(2, kRed, [](int, int) { return false; });
    const QByteArray large = iconDib(8, kBlue, [](int x, int y) { return x == 0 && y == 0; });
    const QImage image = ReadIcon(iconFile({{2, small}, {8, large}}));
    ASSERT_EQ(image.size(), QSize(8, 8));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixel(5, 3), kBlue);
}

TEST(IconReader, ReadsPngEntriesAndFallsBackFromUnreadableOnes) {
    QImage source(16, 16, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    source.setPixel(4, 5, qRgba(0, 255, 0, 255));
    const QByteArray broken(40, '\x01');
    const QByteArray small = iconDib(4, kRed, [](int, int) { return false; });
    // The 32-pixel entry cannot be read, the 16-pixel PNG can.
    const QImage image = ReadIcon(iconFile({{32, broken}, {16, pngOf(source)}, {4, small}}));
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(image.pixel(4, 5), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST(IconReader, SurvivesDirectoriesPointingOutside) {
    Bytes file;
    file.u16(0).u16(1).u16(500);
    for (int i = 0; i < 3; ++i) {
        file.u8(0).u8(0).u8(0).u8(0).u16(1).u16(32).u32(0x7FFFFFFF).u32(0x7FFFFFF0);
    }
    EXPECT_TRUE(ReadIcon(file.data()).isNull());
    EXPECT_TRUE(ReadIcon(QByteArray("\0\0\1\0", 4)).isNull());
}

// ---- JPEG and PNG -------------------------------------------------------------------------

QByteArray jpegOf(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    writer.write(image);
    return out;
}

bool near(QRgb a, QRgb b, int tolerance = 8) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

TEST(JpegReader, DecodesWholeAndTruncatedFiles) {
    if (!QImageWriter::supportedImageFormats().contains("jpeg")) {
        GTEST_SKIP() << "no JPEG writer to make the test image";
    }
    QImage source(64, 64, QImage::Format_RGB32);
    source.fill(kRed);
    for (int y = 32; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            source.setPixel(x, y, kBlue);
        }
    }
    const QByteArray jpeg = jpegOf(source);
    const QImage whole = ReadJpeg(jpeg);
    ASSERT_EQ(whole.size(), QSize(64, 64));
    EXPECT_TRUE(near(whole.pixel(10, 10), kRed));
    EXPECT_TRUE(near(whole.pixel(10, 50), kBlue));

    // Cut in the middle of the scan: the full size with the first rows intact.
    const qsizetype scan = jpeg.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    const QImage cut = ReadJpeg(jpeg.left(scan + (jpeg.size() - scan) / 2));
    ASSERT_EQ(cut.size(), QSize(64, 64));
    EXPECT_TRUE(near(cut.pixel(10, 4), kRed));

    EXPECT_TRUE(ReadJpeg(jpeg.left(20)).isNull());
    EXPECT_TRUE(ReadJpeg(QByteArray("\xff\xd8\xff\xe0garbage-garbage", 19)).isNull());
}

TEST(PngReader, DecodesAlphaAndKeepsRowsOfTruncatedFiles) {
    // Noise, so that the compressed rows spread over several data chunks.
    QImage source(64, 256, QImage::Format_ARGB32);
    quint32 seed = 12345;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            source.setPixel(x, y,
                            qRgba(int(seed >> 24), int(seed >> 16) & 0xFF, y, x == 0 ? 0 : 255));
        }
    }
    const QByteArray png = pngOf(source);
    const QImage whole = ReadPng(png);
    ASSERT_EQ(whole.size(), source.size());
    EXPECT_TRUE(whole.hasAlphaChannel());
    EXPECT_EQ(whole.pixel(5, 200), source.pixel(5, 200));
    EXPECT_EQ(qAlpha(whole.pixel(0, 7)), 0);

    const QImage cut = ReadPng(png.left(png.size() * 2 / 3));
    ASSERT_EQ(cut.size(), source.size());
    EXPECT_EQ(cut.pixel(5, 1), source.pixel(5, 1));
    EXPECT_EQ(qAlpha(cut.pixel(5, 255)), 0);

    EXPECT_TRUE(ReadPng(png.left(40)).isNull()); // header only
    QImage opaque(3, 3, QImage::Format_RGB32);
    opaque.fill(kRed);
    EXPECT_FALSE(ReadPng(pngOf(opaque)).hasAlphaChannel());
}

// ---- Kinds and the streamed form ----------------------------------------------------------

TEST(GraphicKinds, AreRecognisedByTheirFirstBytes) {
    const QByteArray bmp = trueColorBmp(24, false);
    qsizetype start = -1;
    EXPECT_EQ(DetectGraphicKind(bmp, &start), GraphicKind::Bitmap);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(DetectGraphicKind(QByteArray("\xff\xd8", 2)), GraphicKind::Jpeg);
    EXPECT_EQ(DetectGraphicKind(QByteArray("\x89PNG\r\n\x1a\n", 8)), GraphicKind::Png);
    EXPECT_EQ(DetectGraphicKind(QByteArray("\0\0\1\0\1\0", 6)), GraphicKind::Icon);
    EXPECT_EQ(DetectGraphicKind(QByteArray("GIF89a", 6)), GraphicKind::None);
    EXPECT_EQ(DetectGraphicKind(QByteArray()), GraphicKind::None);

    // The database header is skipped only when its size is that of the rest.
    Bytes header;
    header.u16(1).u16(0x0100).u32(bmp.size()).raw(bmp);
    EXPECT_EQ(DetectGraphicKind(header.data(), &start), GraphicKind::Bitmap);
    EXPECT_EQ(start, 8);
    Bytes wrong;
    wrong.u16(1).u16(0x0100).u32(bmp.size() + 1).raw(bmp);
    EXPECT_EQ(DetectGraphicKind(wrong.data(), &start), GraphicKind::None);
    EXPECT_EQ(start, 0);
}

TEST(GraphicKinds, StreamedBitmapsLoseTheirByteCount) {
    const QByteArray bmp = trueColorBmp(24, false);
    TqdxPicture picture;
    picture.GraphicClass = "TBitmap";
    picture.Data = Bytes().u32(bmp.size()).raw(bmp);
    EXPECT_EQ(GraphicFileBytes(picture), bmp);
    TqdxPicture asFile = picture;
    asFile.StreamForm = true;
    EXPECT_EQ(GraphicFileBytes(asFile), picture.Data);

    // PNG and icon data stream as their files.
    TqdxPicture png;
    png.GraphicClass = "TPngImage";
    png.Data = pngOf(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_EQ(GraphicFileBytes(png), png.Data);

    const std::shared_ptr<const Graphic> graphic = GraphicOf(picture);
    ASSERT_TRUE(graphic);
    EXPECT_EQ(graphic->Size(), QSize(4, 2));
    EXPECT_EQ(GraphicOf(picture), graphic) << "a second look finds the decoded graphic";
}

// ---- Metafiles ----------------------------------------------------------------------------

// A placeable Windows metafile of `records` (each a function and its 16-bit parameters).
QByteArray wmf(int left, int top, int right, int bottom, int inch,
               const std::vector<std::pair<int, std::vector<int>>>& records, int objects = 4) {
    Bytes body;
    qint64 words = 9;
    for (const auto& [function, params] : records) {
        body.u32(3 + qint64(params.size())).u16(function);
        for (const int p : params) {
            body.u16(p);
        }
        words += 3 + qint64(params.size());
    }
    body.u32(3).u16(0);
    words += 3;
    Bytes file;
    file.u32(0x9AC6CDD7).u16(0).u16(left).u16(top).u16(right).u16(bottom).u16(inch).u32(0).u16(0);
    file.u16(1).u16(9).u16(0x0300).u32(words).u16(objects).u32(0).u16(0);
    file.raw(body);
    return file;
}

// Red solid brush, null pen, then `more` records.
std::vector<std::pair<int, std::vector<int>>>
redNoPen(std::vector<std::pair<int, std::vector<int>>> more) {
    std::vector<std::pair<int, std::vector<int>>> records = {
        {0x02FC, {0, 0x00FF, 0x0000, 0}}, // CREATEBRUSHINDIRECT solid red
        {0x012D, {0}},                    // SELECTOBJECT 0
        {0x02FA, {5, 0, 0, 0, 0}},        // CREATEPENINDIRECT null pen
        {0x012D, {1}},                    // SELECTOBJECT 1
    };
    records.insert(records.end(), more.begin(), more.end());
    return records;
}

QImage play(const Metafile& m, QSize canvas, QRectF target) {
    QImage image(canvas, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    m.Play(painter, target);
    painter.end();
    return image;
}

TEST(Metafile, PlaceableMetafileFillsARectangleThroughItsWindow) {
    // Window 0..200 on a 100-unit box at 96 units per inch: the picture is 100 x 100 pixels
    // and the window covers all of it.
    const std::optional<Metafile> m =
        Metafile::FromBytes(wmf(0, 0, 100, 100, 96,
                                redNoPen({
                                    {0x020B, {0, 0}},            // SETWINDOWORG
                                    {0x020C, {200, 200}},        // SETWINDOWEXT
                                    {0x041B, {140, 120, 60, 40}} // RECTANGLE 40,60 - 120,140
                                })));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Size(), QSize(100, 100));
    const QImage image = play(*m, QSize(120, 120), QRectF(10, 10, 100, 100));
    EXPECT_EQ(image.pixel(10 + 40, 10 + 50), kRed);
    EXPECT_EQ(image.pixel(10 + 21, 10 + 31), kRed);
    EXPECT_EQ(image.pixel(10 + 18, 10 + 50), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(10 + 40, 10 + 72), qRgb(255, 255, 255));
}

TEST(Metafile, PlaysClippingStatesAndStretchedBitmaps) {
    // A 2 x 2 bitmap (bottom row red red, top row blue red) stretched over 0..50, then a
    // rectangle clipped to its left half and the clip dropped by RESTOREDC.
    Bytes dib = infoHeader(40, 2, 2, 24, 0);
    dib.u8(0).u8(0).u8(255).u8(0).u8(0).u8(255).zeros(2);
    dib.u8(255).u8(0).u8(0).u8(0).u8(0).u8(255).zeros(2);
    std::vector<int> stretch = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 50, 50, 0, 0};
    for (qsizetype i = 0; i + 1 < dib.size(); i += 2) {
        stretch.push_back(uchar(dib.data()[i]) | uchar(dib.data()[i + 1]) << 8);
    }
    const std::optional<Metafile> m = Metafile::FromBytes(
        wmf(0, 0, 100, 100, 96,
            redNoPen({{0x0F43, stretch},              // STRETCHDIB SRCCOPY
                      {0x001E, {}},                   // SAVEDC
                      {0x0416, {100, 75, 50, 50}},    // INTERSECTCLIPRECT 50,50 - 75,100
                      {0x041B, {100, 100, 50, 50}},   // RECTANGLE 50,50 - 100,100
                      {0x0127, {0xFFFF}},             // RESTOREDC -1
                      {0x041B, {40, 100, 0, 90}}}))); // RECTANGLE 90,0 - 100,40
    ASSERT_TRUE(m);
    const QImage image = play(*m, QSize(100, 100), QRectF(0, 0, 100, 100));
    EXPECT_EQ(image.pixel(10, 10), kBlue);
    EXPECT_EQ(image.pixel(40, 10), kRed);
    EXPECT_EQ(image.pixel(10, 40), kRed);
    EXPECT_EQ(image.pixel(60, 80), kRed);
    EXPECT_EQ(image.pixel(85, 80), qRgb(255, 255, 255)) << "outside the clip";
    EXPECT_EQ(image.pixel(95, 20), kRed) << "drawn after the clip was restored";
}

TEST(Metafile, TruncatedOrAbsurdMetafilesDrawWhatTheyCan) {
    QByteArray data =
        wmf(0, 0, 100, 100, 96, redNoPen({{0x041B, {50, 50, 0, 0}}, {0x041B, {100, 100, 60, 60}}}));
    data.chop(6 + 4); // EOF and half of the second rectangle
    const std::optional<Metafile> m = Metafile::FromBytes(data);
    ASSERT_TRUE(m);
    const QImage image = play(*m, QSize(100, 100), QRectF(0, 0, 100, 100));
    EXPECT_EQ(image.pixel(20, 20), kRed);
    EXPECT_EQ(image.pixel(80, 80), qRgb(255, 255, 255));

    // A box of 32767 inches is bounded to the largest raster side, proportions kept.
    const std::optional<Metafile> huge = Metafile::FromBytes(wmf(0, 0, 32767, 16000, 1, {}));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->Size().width(), 32767);
    EXPECT_NEAR(huge->Size().height(), 16000, 1);
    EXPECT_FALSE(Metafile::FromBytes(wmf(5, 5, 5, 90, 96, {})));

    // A record claiming more objects and sizes than exist.
    QByteArray lying = wmf(0, 0, 10, 10, 96, {{0x02FC, {0, 0, 0, 0}}}, 65535);
    lying.chop(6);
    lying.append(Bytes().u32(0x7FFFFFFF).u16(0x041B).u16(10).data());
    const std::optional<Metafile> lyingFile = Metafile::FromBytes(lying);
    ASSERT_TRUE(lyingFile);
    EXPECT_EQ(play(*lyingFile, QSize(10, 10), QRectF(0, 0, 10, 10)).pixel(5, 5),
              qRgb(255, 255, 255));
}

// An enhanced metafile 96 x 96 pixels recorded for a 96-dpi device, with `records` (type,
// 32-bit parameters).
QByteArray emf(const std::vector<std::pair<int, std::vector<qint64>>>& records) {
    Bytes body;
    for (const auto& [type, params] : records) {
        body.u32(type).u32(8 + 4 * qint64(params.size()));
        for (const qint64 p : params) {
            body.u32(p);
        }
    }
    body.u32(14).u32(20).u32(0).u32(0).u32(20);
    Bytes header;
    header.u32(1).u32(108);
    header.u32(0).u32(0).u32(95).u32(95);     // bounds
    header.u32(0).u32(0).u32(2540).u32(2540); // frame, 0.01 mm
    header.u32(0x464D4520).u32(0x10000).u32(108 + body.size()).u32(qint64(records.size()) + 2);
    header.u16(8).u16(0).u32(0).u32(0).u32(0);
    header.u32(960).u32(960).u32(254).u32(254); // device pixels and millimetres
    header.u32(0).u32(0).u32(0).u32(254000).u32(254000);
    return header.raw(body);
}

TEST(Metafile, EnhancedMetafileMapsItsFrameOntoTheTarget) {
    const qint64 nullPen = 0x80000008;
    const std::optional<Metafile> m = Metafile::FromBytes(
        emf({{39, {1, 0, 0xFF0000, 0}},                  // CREATEBRUSHINDIRECT 1: solid blue
             {37, {1}},                                  // SELECTOBJECT 1
             {37, {nullPen}},                            // SELECTOBJECT stock null pen
             {43, {24, 24, 72, 72}},                     // RECTANGLE
             {35, {0x3F000000, 0, 0, 0x3F000000, 0, 0}}, // SETWORLDTRANSFORM scale 0.5
             {86, {0, 0, 0, 0, 3, 120, 180, 40 << 16 | 180}}})); // POLYGON16
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Size(), QSize(96, 96));
    // Twice the natural size: the rectangle lands on 58..154; the triangle (120,0), (180,0),
    // (180,40), halved by the world transform, on (130,10), (190,10), (190,50).
    const QImage image = play(*m, QSize(220, 220), QRectF(10, 10, 192, 192));
    EXPECT_EQ(image.pixel(106, 70), kBlue);
    EXPECT_EQ(image.pixel(50, 70), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(160, 106), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(180, 20), kBlue) << "inside the triangle";
    EXPECT_EQ(image.pixel(140, 45), qRgb(255, 255, 255)) << "below its diagonal";
}

TEST(Metafile, EnhancedMetafileTextLandsAtItsReferencePoint) {
    // EXTCREATEFONTINDIRECTW with a 40-unit character height, black text "MM" at (20, 20),
    // aligned top left, transparent background.
    std::vector<qint64> font = {1, qint64(-40) & 0xFFFFFFFF, 0, 0, 0, 700, 0};
    for (int i = 0; i < 17; ++i) {
        font.push_back(0);
    }
    const qint64 text[] = {0, 0, 0, 0, 1, 0, 0, 20, 20, 2, 76, 0, 0, 0, 0, 0, 0, 'M' | 'M' << 16};
    const std::optional<Metafile> m =
        Metafile::FromBytes(emf({{82, font},
                                 {37, {1}},
                                 {18, {1}},
                                 {84, std::vector<qint64>(std::begin(text), std::end(text))}}));
    ASSERT_TRUE(m);
    const QImage image = play(*m, QSize(96, 96), QRectF(0, 0, 96, 96));
    int inside = 0, outside = 0;
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 96; ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                (x >= 18 && x < 90 && y >= 18 && y < 64 ? inside : outside) += 1;
            }
        }
    }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
}

} // namespace
} // namespace zr::reportlib::render
