#include "reportlib/render/picture_view.h"
#include "reportlib/render/view_painter.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

namespace zr::reportlib::render {
namespace {

const QRgb kGrey = qRgb(128, 128, 128); // the canvas where nothing was drawn
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& b, qint64 v) {
    put16(b, int(v & 0xFFFF));
    put16(b, int((v >> 16) & 0xFFFF));
}

// A 24-bit bottom-up .bmp file of `image`.
QByteArray bmpOf(const QImage& image) {
    const int stride = (image.width() * 3 + 3) & ~3;
    QByteArray b("BM");
    put32(b, 54 + qint64(stride) * image.height());
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, image.width());
    put32(b, image.height());
    put16(b, 1);
    put16(b, 24);
    for (int i = 0; i < 6; ++i) {
        put32(b, 0);
    }
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
        row.append(QByteArray(stride - row.size(), '\0'));
        b.append(row);
    }
    return b;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    writer.write(image);
    return out;
}

// 200 x 100: green on the left half, blue on the right.
QImage wideImage() {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(kGreen);
    for (int y = 0; y < 100; ++y) {
        for (int x = 100; x < 200; ++x) {
            image.setPixel(x, y, kBlue);
        }
    }
    return image;
}

// White 60 x 60 with a red 20 x 20 square in the middle.
QImage squareOnWhite(QRgb square = kRed) {
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(kWhite);
    for (int y = 20; y < 40; ++y) {
        for (int x = 20; x < 40; ++x) {
            image.setPixel(x, y, square);
        }
    }
    return image;
}

struct Canvas {
    QImage image{140, 140, QImage::Format_RGB32};
    Canvas() { image.fill(kGrey); }
    void draw(TqdxPictureView& view, double scale = 1) {
        QPainter painter(&image);
        DrawPictureView(painter, view, scale, scale, 0, 0);
    }
    QRgb at(int x, int y) const { return image.pixel(x, y); }
};

// A 100 x 100 view at (10, 10) holding `bytes` as a file holds them.
void setUp(TqdxPictureView& view, const QByteArray& bytes) {
    view.SetBounds(10, 10, 100, 100);
    ASSERT_TRUE(view.LoadPictureFromBytes(bytes));
}

TEST(PictureView, StretchedWithAspectRatioFitsTheImageAtTheTopOrCentred) {
    TqdxPictureView view;
    setUp(view, bmpOf(wideImage()));
    Canvas top;
    top.draw(view);
    // Drawn 100 x 50 at the top; the rest of the view is its white background.
    EXPECT_EQ(top.at(12, 12), kGreen);
    EXPECT_EQ(top.at(107, 57), kBlue);
    EXPECT_EQ(top.at(50, 62), kWhite);
    EXPECT_EQ(top.at(115, 30), kGrey);

    view.Center = true;
    Canvas centred;
    centred.draw(view);
    // Moved down by (100 - 50) div 2 = 25.
    EXPECT_EQ(centred.at(12, 30), kWhite);
    EXPECT_EQ(centred.at(12, 37), kGreen);
    EXPECT_EQ(centred.at(107, 82), kBlue);
    EXPECT_EQ(centred.at(107, 88), kWhite);
}

TEST(PictureView, StretchedWithoutAspectRatioFillsTheView) {
    TqdxPictureView view;
    setUp(view, bmpOf(wideImage()));
    view.KeepAspectRatio = false;
    view.Center = true; // no effect without the aspect ratio
    Canvas c;
    c.draw(view);
    EXPECT_EQ(c.at(12, 107), kGreen);
    EXPECT_EQ(c.at(107, 12), kBlue);
    EXPECT_EQ(c.at(59, 60), kGreen);
    EXPECT_EQ(c.at(60, 60), kBlue);
}

TEST(PictureView, NaturalSizeIsCentredAndClippedToTheView) {
    TqdxPictureView view;
    setUp(view, bmpOf(wideImage()));
    view.Stretched = false;
    view.Center = true;
    Canvas c;
    c.draw(view);
    // 200 x 100 moved left by 50: image columns 50..149 show in the view's 100 columns.
    EXPECT_EQ(c.at(10, 50), kGreen);
    EXPECT_EQ(c.at(59, 50), kGreen);
    EXPECT_EQ(c.at(60, 50), kBlue);
    EXPECT_EQ(c.at(109, 109), kBlue);
    EXPECT_EQ(c.at(5, 50), kGrey) << "clipped on the left";
    EXPECT_EQ(c.at(115, 50), kGrey) << "clipped on the right";

    // Not centred at scale 0.5: 100 x 50 from the view's corner at (5, 5), the view 50 x 50.
    view.Center = false;
    Canvas half;
    half.draw(view, 0.5);
    EXPECT_EQ(half.at(6, 6), kGreen);
    EXPECT_EQ(half.at(54, 54), kGreen);
    EXPECT_EQ(half.at(56, 30), kGrey) << "clipped on the right";
    EXPECT_EQ(half.at(30, 56), kGrey);
}

TEST(PictureView, TransparentBitmapShowsTheObjectBelow) {
    TqdxPictureView view;
    setUp(view, bmpOf(squareOnWhite()));
    view.SetTransparent(true);
    Canvas c;
    {
        QPainter painter(&c.image);
        painter.fillRect(0, 0, 140, 140, kBlue);
    }
    c.draw(view);
    EXPECT_EQ(c.at(15, 15), kBlue);
    EXPECT_EQ(c.at(60, 60), kRed);
    EXPECT_EQ(c.at(100, 100), kBlue);
}

TEST(PictureView, TransparentJpegGoesThroughTheIntermediateBitmap) {
    if (!QImageWriter::supportedImageFormats().contains("jpeg")) {
        GTEST_SKIP() << "no JPEG writer to make the test image";
    }
    TqdxPictureView view;
    setUp(view, encoded(squareOnWhite(qRgb(0, 0, 0)), "jpeg"));
    ASSERT_EQ(view.Picture.GraphicClass, "TJPEGImage");
    view.SetTransparent(true);
    view.KeepAspectRatio = false;
    Canvas c;
    {
        QPainter painter(&c.image);
        painter.fillRect(0, 0, 140, 140, kBlue);
    }
    c.draw(view);
    // Flat white decodes to exactly white and disappears; the dark square stays.
    EXPECT_EQ(c.at(14, 14), kBlue);
    EXPECT_EQ(c.at(105, 105), kBlue);
    EXPECT_LT(qGray(c.at(60, 60)), 40);
}

TEST(PictureView, IntermediateBitmapGivesSeeThroughPixelsTheTransparentColour) {
    QImage source(20, 20, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            source.setPixel(x, y, qRgba(255, 0, 0, 255));
        }
    }
    TqdxPictureView view;
    setUp(view, encoded(source, "png"));
    view.KeepAspectRatio = false;
    view.TransparentColor = 0x00FF00; // green, as 0x00BBGGRR
    Canvas below;
    {
        QPainter painter(&below.image);
        painter.fillRect(0, 0, 140, 140, kBlue);
    }

    // High quality, not transparent: the see-through half becomes opaque green.
    view.HightQuality = true;
    Canvas hq = below;
    hq.draw(view);
    EXPECT_EQ(hq.at(60, 30), kRed);
    EXPECT_EQ(hq.at(60, 90), kGreen);

    // Transparent: the green filling is then left out and the blue object shows.
    view.HightQuality = false;
    view.SetTransparent(true);
    Canvas transparent = below;
    transparent.draw(view);
    EXPECT_EQ(transparent.at(60, 30), kRed);
    EXPECT_EQ(transparent.at(60, 90), kBlue);
}

TEST(PictureView, DatabaseHeaderCountsOnlyWhenItsSizeMatches) {
    const QByteArray bmp = bmpOf(squareOnWhite());
    QByteArray header;
    put16(header, 1);
    put16(header, 0x0100);
    put32(header, bmp.size());
    TqdxPictureView good;
    setUp(good, header + bmp);
    Canvas c;
    c.draw(good);
    EXPECT_EQ(c.at(60, 60), kRed);

    // With a wrong size the data is read from its first byte, where no kind is found.
    QByteArray wrong;
    put16(wrong, 1);
    put16(wrong, 0x0100);
    put32(wrong, bmp.size() + 2);
    TqdxPictureView bad;
    bad.SetBounds(10, 10, 100, 100);
    EXPECT_FALSE(bad.LoadPictureFromBytes(wrong + bmp));
    Canvas d;
    d.draw(bad);
    EXPECT_EQ(d.at(60, 60), kWhite) << "background only";
}

// A placeable metafile 10 x 10 units at 96 per inch: red on the left half, blue on the right.
QByteArray splitMetafile() {
    QByteArray b;
    put32(b, 0x9AC6CDD7);
    for (const int v : {0, 0, 0, 10, 10, 96, 0, 0, 0}) {
        put16(b, v);
    }
    const std::vector<std::vector<int>> records = {{0x02FA, 5, 0, 0, 0, 0},   // null pen
                                                   {0x012D, 0},               // select it
                                                   {0x02FC, 0, 0x00FF, 0, 0}, // red brush
                                                   {0x012D, 1},               // select it
                                                   {0x041B, 10, 5, 0, 0}, // rectangle 0,0 - 5,10
                                                   {0x02FC, 0, 0, 0x00FF, 0}, // blue brush
                                                   {0x012D, 2},               // select it
                                                   {0x041B, 10, 10, 0, 5}, // rectangle 5,0 - 10,10
                                                   {0x0000}};              // end
    qint64 words = 9;
    for (const auto& r : records) {
        words += 2 + qint64(r.size());
    }
    for (const int v : {1, 9, 0x300}) {
        put16(b, v);
    }
    put32(b, words);
    put16(b, 3);
    put32(b, 8);
    put16(b, 0);
    for (const auto& r : records) {
        put32(b, 2 + qint64(r.size()));
        for (const int v : r) {
            put16(b, v);
        }
    }
    return b;
}

TEST(PictureView, MetafilesAreAlwaysStretchDrawn) {
    TqdxPictureView view;
    setUp(view, splitMetafile());
    view.KeepAspectRatio = false;
    // Through an intermediate 10 x 10 bitmap smoothly scaled the halves would blend; replayed
    // at the view's size they meet sharply at x = 60.
    view.HightQuality = true;
    view.IsPrinting = true;
    Canvas c;
    c.draw(view);
    EXPECT_EQ(c.at(59, 60), kRed);
    EXPECT_EQ(c.at(60, 60), kBlue);
    EXPECT_EQ(c.at(10, 10), kRed);
    EXPECT_EQ(c.at(109, 109), kBlue);
}

TEST(PictureView, AutoSizeTakesTheImageSizeAndUnreadableDataDrawsNothing) {
    TqdxPictureView view;
    setUp(view, bmpOf(wideImage()));
    EXPECT_EQ(PictureNaturalSize(view.Picture), QSize(200, 100));
    view.AutoSize = true;
    Canvas c;
    c.draw(view);
    EXPECT_EQ(view.Width(), 200);
    EXPECT_EQ(view.Height(), 100);
    EXPECT_EQ(c.at(130, 50), kBlue);

    // A picture whose bitmap cannot be read: background and frame only, size unchanged.
    TqdxPictureView broken;
    broken.SetBounds(10, 10, 100, 100);
    broken.AutoSize = true;
    broken.Picture.GraphicClass = "TBitmap";
    broken.Picture.Data = QByteArray("BM") + QByteArray(60, '\x7f');
    broken.Picture.StreamForm = true;
    Canvas d;
    d.draw(broken);
    EXPECT_EQ(broken.Width(), 100);
    EXPECT_EQ(d.at(60, 60), kWhite);
}

TEST(PictureView, StreamedBitmapInsideAReportDraws) {
    const QByteArray bmp = bmpOf(squareOnWhite());
    TqdxPictureView view;
    view.SetBounds(10, 10, 100, 100);
    view.KeepAspectRatio = false;
    view.Picture.GraphicClass = "TBitmap";
    put32(view.Picture.Data, bmp.size());
    view.Picture.Data += bmp;
    Canvas c;
    c.draw(view);
    EXPECT_EQ(c.at(60, 60), kRed);
    EXPECT_EQ(c.at(15, 15), kWhite);
}

} // namespace
} // namespace zr::reportlib::render
