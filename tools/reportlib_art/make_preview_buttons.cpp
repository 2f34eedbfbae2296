// Draws the prepared-report preview toolbar's icon strip and packs it the way the report
// library reads it: 25 flat 16 x 16 icons side by side on a magenta key colour, as a 24-bit
// 400 x 16 bitmap file inside a gzip member (stored name "1") whose modification-time field
// carries the bitmap's Adler-32, most significant byte first. Run it again only to change the
// pictures; the packed file is kept in the tree.
//
//   cmake --build BUILD --target make_preview_buttons
//   QT_QPA_PLATFORM=offscreen BUILD/bin/make_preview_buttons OUTPUT
//
// where OUTPUT is resources/reportlib/preview_buttons.bin.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kCell = 16;
constexpr int kCount = 25;
const QColor kKey(255, 0, 255);

const QColor kInk(0x2b, 0x3a, 0x4d);
const QColor kBlue(0x1f, 0x5f, 0xb4);
const QColor kPaleBlue(0xb9, 0xd3, 0xf0);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kGrey(0x8c, 0x96, 0xa3);
const QColor kYellow(0xf2, 0xc1, 0x4e);
const QColor kDarkYellow(0xb8, 0x86, 0x1b);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kRed(0xc8, 0x2a, 0x2a);

void box(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& edge) {
    p.fillRect(x, y, w, h, edge);
    if (w > 2 && h > 2) {
        p.fillRect(x + 1, y + 1, w - 2, h - 2, fill);
    }
}

void polygon(QPainter& p, std::initializer_list<QPoint> points, const QColor& colour) {
    p.setPen(colour);
    p.setBrush(colour);
    p.drawPolygon(QPolygon(QList<QPoint>(points)));
}

// A sheet with a folded corner and a few text lines.
void page(QPainter& p, int x, int y, int w, int h, bool lines = true) {
    box(p, x, y, w, h, kPaper, kGrey);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(x + w - 4, y, 4, 4, Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(kGrey);
    p.drawLine(x + w - 4, y, x + w - 1, y + 3);
    if (lines) {
        for (int ly = y + 4; ly < y + h - 2; ly += 2) {
            p.fillRect(x + 2, ly, w - 5, 1, kPaleBlue);
        }
    }
}

void magnifier(QPainter& p, int sign) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaleBlue);
    p.drawEllipse(1, 1, 9, 9);
    p.setPen(QPen(kInk, 2));
    p.drawLine(9, 9, 13, 13);
    p.setPen(kInk);
    if (sign != 0) {
        p.fillRect(3, 5, 5, 1, kInk);
        if (sign > 0) {
            p.fillRect(5, 3, 1, 5, kInk);
        }
    }
}

// Navigation arrows: a triangle pointing left or right, with an optional stop bar.
void arrow(QPainter& p, bool right, bool bar) {
    if (right) {
        polygon(p, {QPoint(5, 3), QPoint(11, 8), QPoint(5, 13)}, kBlue);
        if (bar) {
            p.fillRect(12, 3, 2, 11, kBlue);
        }
    } else {
        polygon(p, {QPoint(11, 3), QPoint(5, 8), QPoint(11, 13)}, kBlue);
        if (bar) {
            p.fillRect(2, 3, 2, 11, kBlue);
        }
    }
}

void plusMinusBox(QPainter& p, bool plus) {
    box(p, 3, 3, 11, 11, kPaper, kInk);
    p.fillRect(5, 8, 7, 1, kInk);
    if (plus) {
        p.fillRect(8, 5, 1, 7, kInk);
    }
}

const std::vector<std::function<void(QPainter&)>>& painters() {
    static const std::vector<std::function<void(QPainter&)>> list = {
        [](QPainter& p) { // 0 open: a folder
            box(p, 1, 4, 6, 3, kYellow, kDarkYellow);
            box(p, 1, 5, 13, 9, kYellow, kDarkYellow);
            polygon(p, {QPoint(3, 8), QPoint(15, 8), QPoint(13, 13), QPoint(1, 13)}, kDarkYellow);
            polygon(p, {QPoint(4, 9), QPoint(14, 9), QPoint(12, 12), QPoint(2, 12)}, kYellow);
        },
        [](QPainter& p) { // 1 save: a disk
            box(p, 2, 2, 12, 12, kBlue, kInk);
            p.fillRect(4, 3, 8, 5, kPaper);
            p.fillRect(5, 10, 6, 4, kPaleBlue);
            p.fillRect(9, 11, 1, 2, kInk);
        },
        [](QPainter& p) { // 2 print: a printer
            box(p, 4, 1, 8, 6, kPaper, kGrey);
            box(p, 1, 6, 14, 6, kPaleBlue, kInk);
            box(p, 4, 10, 8, 5, kPaper, kGrey);
            p.fillRect(12, 8, 1, 1, kGreen);
        },
        [](QPainter& p) { // 3 export: a sheet with an arrow leaving it
            page(p, 1, 1, 10, 14);
            p.fillRect(6, 7, 6, 3, kGreen);
            polygon(p, {QPoint(11, 4), QPoint(15, 8), QPoint(11, 12)}, kGreen);
        },
        [](QPainter& p) { magnifier(p, 0); }, // 4 find
        [](QPainter& p) {                     // 5 thumbnails: a grid of small pages
            for (int y : {1, 9}) {
                for (int x : {1, 9}) {
                    box(p, x, y, 6, 6, kPaper, kGrey);
                    p.fillRect(x + 2, y + 2, 2, 2, kPaleBlue);
                }
            }
        },
        [](QPainter& p) { page(p, 3, 1, 10, 14, false); }, // 6 (not used)
        [](QPainter& p) {                                  // 7 page settings: page with margins
            page(p, 2, 1, 11, 14, false);
            p.setPen(QPen(kBlue, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(4, 4, 6, 8);
            p.fillRect(9, 10, 6, 5, kGrey);
            p.fillRect(11, 11, 2, 3, kPaper);
        },
        [](QPainter& p) { arrow(p, false, true); },  // 8 first
        [](QPainter& p) { arrow(p, false, false); }, // 9 prior
        [](QPainter& p) { arrow(p, true, false); },  // 10 next
        [](QPainter& p) { arrow(p, true, true); },   // 11 last
        [](QPainter& p) {                            // 12 outline: a tree
            p.fillRect(3, 3, 1, 10, kGrey);
            for (int y : {3, 8, 12}) {
                p.fillRect(3, y, 3, 1, kGrey);
                box(p, 6, y - 1, 8, 3, kPaleBlue, kBlue);
            }
            box(p, 1, 1, 5, 4, kYellow, kDarkYellow);
        },
        [](QPainter& p) { plusMinusBox(p, false); },       // 13 collapse all
        [](QPainter& p) { plusMinusBox(p, true); },        // 14 expand all
        [](QPainter& p) { magnifier(p, 1); },              // 15 zoom in
        [](QPainter& p) { magnifier(p, -1); },             // 16 zoom out
        [](QPainter& p) { page(p, 3, 1, 10, 14, false); }, // 17 (not used)
        [](QPainter& p) { page(p, 3, 1, 10, 14, false); }, // 18 (not used)
        [](QPainter& p) { page(p, 3, 1, 10, 14, false); }, // 19 (not used)
        [](QPainter& p) { page(p, 3, 1, 10, 14, false); }, // 20 (not used)
        [](QPainter& p) {                                  // 21 edit: a pencil over a sheet
            page(p, 1, 1, 10, 14);
            polygon(p, {QPoint(14, 4), QPoint(15, 5), QPoint(8, 12), QPoint(7, 11)}, kDarkYellow);
            polygon(p, {QPoint(7, 11), QPoint(8, 12), QPoint(6, 13)}, kInk);
        },
        [](QPainter& p) { // 22 full screen: a frame with corner marks
            box(p, 2, 3, 12, 10, kPaleBlue, kInk);
            for (const QPoint c : {QPoint(1, 1), QPoint(12, 1), QPoint(1, 12), QPoint(12, 12)}) {
                p.fillRect(c.x(), c.y(), 3, 3, kBlue);
            }
        },
        [](QPainter& p) { // 23 e-mail: an envelope
            box(p, 1, 3, 14, 10, kPaper, kInk);
            p.setPen(kInk);
            p.drawLine(2, 4, 8, 9);
            p.drawLine(13, 4, 8, 9);
        },
        [](QPainter& p) { // 24 PDF: a sheet with a red band
            page(p, 2, 1, 12, 14, false);
            p.fillRect(1, 8, 12, 5, kRed);
            p.fillRect(2, 9, 2, 3, kPaper); // "P"
            p.fillRect(5, 9, 2, 3, kPaper); // "D"
            p.fillRect(8, 9, 1, 3, kPaper); // "F"
            p.fillRect(9, 9, 2, 1, kPaper);
        },
    };
    return list;
}

QImage drawStrip() {
    QImage strip(kCell * kCount, kCell, QImage::Format_RGB32);
    strip.fill(kKey);
    for (int i = 0; i < kCount; ++i) {
        QImage cell(kCell, kCell, QImage::Format_ARGB32);
        cell.fill(Qt::transparent);
        {
            QPainter p(&cell);
            p.setRenderHint(QPainter::Antialiasing, false);
            painters()[std::size_t(i)](p);
        }
        // Flatten onto the key colour: no antialiasing, so a pixel is either drawn or not.
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                const QRgb c = cell.pixel(x, y);
                if (qAlpha(c) >= 128 && !(x == 0 && y == kCell - 1)) {
                    QRgb rgb = qRgb(qRed(c), qGreen(c), qBlue(c));
                    if ((rgb & 0xFFFFFFu) == (kKey.rgb() & 0xFFFFFFu)) {
                        rgb = qRgb(254, 0, 254); // never the key itself
                    }
                    strip.setPixel(i * kCell + x, y, rgb);
                }
            }
        }
    }
    return strip;
}

void putLe(QByteArray& out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(char((v >> (8 * i)) & 0xFF));
    }
}

// 24-bit bottom-up bitmap file.
QByteArray bitmapFile(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    const int stride = (w * 3 + 3) & ~3;
    const quint32 dataSize = quint32(stride * h);
    QByteArray out;
    out.append("BM");
    putLe(out, 54 + dataSize, 4);
    putLe(out, 0, 4);
    putLe(out, 54, 4);
    putLe(out, 40, 4);
    putLe(out, quint32(w), 4);
    putLe(out, quint32(h), 4);
    putLe(out, 1, 2);
    putLe(out, 24, 2);
    putLe(out, 0, 4); // no compression
    putLe(out, dataSize, 4);
    putLe(out, 2835, 4); // 72 dpi
    putLe(out, 2835, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
        row.append(QByteArray(stride - w * 3, '\0'));
        out.append(row);
    }
    return out;
}

QByteArray rawDeflate(const QByteArray& data) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

QByteArray gzipMember(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const Bytef*>(data.constData());
    const quint32 adler = quint32(adler32(adler32(0, nullptr, 0), bytes, uInt(data.size())));
    const quint32 crc = quint32(crc32(crc32(0, nullptr, 0), bytes, uInt(data.size())));
    QByteArray out;
    out.append(char(0x1F)).append(char(0x8B)).append(char(0x08)).append(char(0x08));
    for (int shift : {24, 16, 8, 0}) { // Adler-32 in the time field, most significant first
        out.append(char((adler >> shift) & 0xFF));
    }
    out.append(char(2)).append(char(0)); // best compression, FAT file system
    out.append("1");
    out.append('\0');
    out.append(rawDeflate(data));
    putLe(out, crc, 4);
    putLe(out, quint32(data.size()), 4);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_preview_buttons OUTPUT.bin\n");
        return 2;
    }
    const QByteArray packed = gzipMember(bitmapFile(drawStrip()));
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(packed) != packed.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
