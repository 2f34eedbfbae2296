// Replay of enhanced metafile records. Records covered (the others, among them the EMF+
// comments whose plain records follow them anyway, are skipped):
//
//   state      SETBKCOLOR, SETBKMODE, SETMAPMODE, SETROP2 (only "no operation" is honoured),
//              SETPOLYFILLMODE, SETSTRETCHBLTMODE, SETTEXTCOLOR, SETTEXTALIGN,
//              SETARCDIRECTION, SAVEDC, RESTOREDC
//   mapping    SETWINDOWORGEX, SETWINDOWEXTEX, SETVIEWPORTORGEX, SETVIEWPORTEXTEX,
//              SCALEWINDOWEXTEX, SCALEVIEWPORTEXTEX, SETWORLDTRANSFORM, MODIFYWORLDTRANSFORM
//   objects    CREATEPEN, EXTCREATEPEN, CREATEBRUSHINDIRECT, CREATEDIBPATTERNBRUSHPT,
//              CREATEMONOBRUSH, EXTCREATEFONTINDIRECTW, SELECTOBJECT (stock objects too),
//              DELETEOBJECT; CREATEPALETTE and CREATECOLORSPACE take their slot without effect
//   drawing    MOVETOEX, LINETO, POLYLINE, POLYLINETO, POLYGON, POLYPOLYLINE, POLYPOLYGON,
//              POLYBEZIER, POLYBEZIERTO, each also in its 16-bit form, RECTANGLE, ROUNDRECT,
//              ELLIPSE, ARC, ARCTO, CHORD, PIE, SETPIXELV, EXTTEXTOUTA, EXTTEXTOUTW
//   paths      BEGINPATH, ENDPATH, CLOSEFIGURE, ABORTPATH, FILLPATH, STROKEPATH,
//              STROKEANDFILLPATH, SELECTCLIPPATH
//   bitmaps    BITBLT, STRETCHBLT, STRETCHDIBITS, SETDIBITSTODEVICE, ALPHABLEND,
//              TRANSPARENTBLT
//   clipping   INTERSECTCLIPRECT, EXCLUDECLIPRECT, EXTSELECTCLIPRGN, SELECTCLIPPATH
//   end        EOF

#include "bitmap_reader.h"
#include "byte_reader_p.h"
#include "metafile_player_p.h"

namespace zr::reportlib::render::picture_detail {

namespace {

enum EmfRecord {
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_SETARCDIRECTION = 57,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_CREATECOLORSPACE = 99,
    EMR_ALPHABLEND = 114,
    EMR_TRANSPARENTBLT = 116
};

// Rectangles a clip region record may list before the rest is ignored.
constexpr qint64 kMaxRegionRects = 10000;

QPointF pointAt(const ByteReader& r, qint64 at) {
    return QPointF(r.i32(at), r.i32(at + 4));
}

QRectF rectAt(const ByteReader& r, qint64 at) {
    return QRectF(pointAt(r, at), pointAt(r, at + 8));
}

// `count` points from `at`, 32-bit or 16-bit coordinates, as many as the record holds.
QPolygonF pointsAt(const ByteReader& r, qint64 at, qint64 count, bool small) {
    const int size = small ? 4 : 8;
    count = std::max<qint64>(0, std::min(count, (r.size() - at) / size));
    QPolygonF points;
    points.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 p = at + i * size;
        points.append(small ? QPointF(r.i16(p), r.i16(p + 2)) : pointAt(r, p));
    }
    return points;
}

std::vector<QPolygonF> polyPointsAt(const ByteReader& r, bool small) {
    const qint64 polys = std::min<qint64>(r.u32(24), std::max<qint64>(0, (r.size() - 32) / 4));
    std::vector<QPolygonF> out;
    qint64 at = 32 + 4 * polys;
    const int size = small ? 4 : 8;
    for (qint64 i = 0; i < polys && at < r.size(); ++i) {
        const qint64 count = r.u32(32 + 4 * i);
        out.push_back(pointsAt(r, at, count, small));
        at += count * size;
    }
    return out;
}

QTransform xformAt(const ByteReader& r, qint64 at) {
    return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16),
                      r.f32(at + 20));
}

// The bitmap a record carries: header at offBmi (cbBmi bytes), pixels at offBits.
QImage bitmapAt(const ByteReader& r, qint64 offsets, quint32 usage,
                DibAlpha alpha = DibAlpha::Ignore) {
    const qint64 offBmi = r.u32(offsets), cbBmi = r.u32(offsets + 4);
    const qint64 offBits = r.u32(offsets + 8), cbBits = r.u32(offsets + 12);
    if (cbBmi == 0) {
        return {};
    }
    return ReadDib(r.slice(offBmi, cbBmi), r.slice(offBits, cbBits), alpha,
                   usage == 1 ? DibColors::Palette : DibColors::Rgb);
}

bool bottomUpAt(const ByteReader& r, qint64 offsets) {
    const ByteReader info(r.slice(r.u32(offsets), r.u32(offsets + 4)));
    return info.u32(0) == 12 || info.i32(8) > 0;
}

void extTextOut(MetafilePlayer& player, const ByteReader& r, bool wide) {
    const QPointF reference = pointAt(r, 36);
    const qint64 count = r.u32(44);
    const qint64 offString = r.u32(48);
    const quint32 options = r.u32(52);
    const qint64 offDx = r.u32(72);
    QString text;
    if (wide) {
        const qint64 n = std::max<qint64>(0, std::min(count, (r.size() - offString) / 2));
        text.reserve(n);
        for (qint64 i = 0; i < n; ++i) {
            text.append(QChar(r.u16(offString + 2 * i)));
        }
    } else {
        text = player.decodeText(r.slice(offString, count));
    }
    std::vector<double> dx;
    const int step = (options & gdi::ETO_PDY) ? 8 : 4;
    if (offDx > 0 && r.has(offDx, step * qint64(text.size()))) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            dx.push_back(r.i32(offDx + step * i));
        }
    }
    std::optional<QRectF> rect;
    if (options & (gdi::ETO_OPAQUE | gdi::ETO_CLIPPED)) {
        rect = rectAt(r, 56);
    }
    player.text(reference, text, dx, options, rect);
}

void createPen(MetafilePlayer& player, const ByteReader& r, bool extended) {
    GdiObject o;
    o.type = GdiObject::Type::Pen;
    if (extended) {
        const quint32 style = r.u32(28);
        const bool geometric = (style & 0x10000u) != 0;
        o.pen.style = int(style & 0xFFFF);
        o.pen.width = geometric ? double(r.u32(32)) : 0.0;
        o.pen.color = colorRef(r.u32(40));
        if (r.u32(36) == gdi::BS_NULL) {
            o.pen.style = gdi::PS_NULL;
        }
    } else {
        o.pen.style = int(r.u32(12));
        o.pen.width = std::abs(double(r.i32(16)));
        o.pen.color = colorRef(r.u32(24));
    }
    player.setObject(r.u32(8), std::move(o));
}

void createFont(MetafilePlayer& player, const ByteReader& r) {
    GdiObject o;
    o.type = GdiObject::Type::Font;
    o.font.height = r.i32(12);
    o.font.width = std::abs(double(r.i32(16)));
    o.font.escapement = r.i32(20);
    o.font.weight = r.i32(28);
    o.font.italic = r.u8(32) != 0;
    o.font.underline = r.u8(33) != 0;
    o.font.strikeOut = r.u8(34) != 0;
    o.font.charset = r.u8(35);
    for (int i = 0; i < 32; ++i) {
        const quint16 c = r.u16(40 + 2 * i);
        if (c == 0) {
            break;
        }
        o.font.face.append(QChar(c));
    }
    player.setObject(r.u32(8), std::move(o));
}

void clipRegion(MetafilePlayer& player, const ByteReader& r) {
    const qint64 size = r.u32(8);
    const int mode = int(r.u32(12));
    if (size == 0) {
        player.selectClipRegion(std::nullopt, mode);
        return;
    }
    // The region data: a 32-byte header whose count says how many rectangles follow.
    const qint64 count = std::min<qint64>(r.u32(24), kMaxRegionRects);
    QRegion region;
    for (qint64 i = 0; i < count && r.has(48 + 16 * i, 16); ++i) {
        const QRectF rect = rectAt(r, 48 + 16 * i).normalized();
        if (rect.width() > 0 && rect.height() > 0 && rect.width() < 1e8 && rect.height() < 1e8 &&
            std::abs(rect.x()) < 1e8 && std::abs(rect.y()) < 1e8) {
            region |= QRect(int(rect.x()), int(rect.y()), int(rect.width()), int(rect.height()));
        }
    }
    player.selectClipRegion(region, mode);
}

void playRecord(MetafilePlayer& player, quint32 type, const ByteReader& r) {
    DcState& dc = player.dc();
    switch (type) {
    case EMR_SETBKCOLOR:
        dc.bkColor = colorRef(r.u32(8));
        break;
    case EMR_SETBKMODE:
        dc.bkMode = int(r.u32(8));
        break;
    case EMR_SETMAPMODE:
        player.setMapMode(int(r.u32(8)));
        break;
    case EMR_SETROP2:
        dc.rop2 = int(r.u32(8));
        break;
    case EMR_SETPOLYFILLMODE:
        dc.polyFillMode = int(r.u32(8));
        break;
    case EMR_SETSTRETCHBLTMODE:
        dc.stretchMode = int(r.u32(8));
        break;
    case EMR_SETTEXTCOLOR:
        dc.textColor = colorRef(r.u32(8));
        break;
    case EMR_SETTEXTALIGN:
        dc.textAlign = int(r.u32(8));
        break;
    case EMR_SETARCDIRECTION:
        dc.clockwiseArcs = r.u32(8) == 2;
        break;
    case EMR_SAVEDC:
        player.saveDc();
        break;
    case EMR_RESTOREDC:
        player.restoreDc(r.i32(8));
        break;
    case EMR_SETWINDOWORGEX:
        player.setWindowOrg(pointAt(r, 8));
        break;
    case EMR_SETWINDOWEXTEX:
        player.setWindowExt(pointAt(r, 8));
        break;
    case EMR_SETVIEWPORTORGEX:
        player.setViewportOrg(pointAt(r, 8));
        break;
    case EMR_SETVIEWPORTEXTEX:
        player.setViewportExt(pointAt(r, 8));
        break;
    case EMR_SCALEWINDOWEXTEX:
    case EMR_SCALEVIEWPORTEXTEX: {
        const double xNum = r.i32(8), xDenom = r.i32(12), yNum = r.i32(16), yDenom = r.i32(20);
        if (xDenom == 0 || yDenom == 0) {
            break;
        }
        const bool window = type == EMR_SCALEWINDOWEXTEX;
        const QPointF ext = window ? dc.windowExt : dc.viewportExt;
        const QPointF scaled(ext.x() * xNum / xDenom, ext.y() * yNum / yDenom);
        if (window) {
            player.setWindowExt(scaled);
        } else {
            player.setViewportExt(scaled);
        }
        break;
    }
    case EMR_SETWORLDTRANSFORM:
        player.setWorldTransform(xformAt(r, 8));
        break;
    case EMR_MODIFYWORLDTRANSFORM:
        player.modifyWorldTransform(xformAt(r, 8), int(r.u32(32)));
        break;
    case EMR_CREATEPEN:
        createPen(player, r, false);
        break;
    case EMR_EXTCREATEPEN:
        createPen(player, r, true);
        break;
    case EMR_CREATEBRUSHINDIRECT: {
        GdiObject o;
        o.type = GdiObject::Type::Brush;
        o.brush.style = int(r.u32(12));
        o.brush.color = colorRef(r.u32(16));
        o.brush.hatch = int(r.u32(20));
        player.setObject(r.u32(8), std::move(o));
        break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        GdiObject o;
        o.type = GdiObject::Type::Brush;
        o.brush.style = gdi::BS_DIBPATTERNPT;
        o.brush.color = Qt::black;
        o.brush.pattern = bitmapAt(r, 16, r.u32(12));
        player.setObject(r.u32(8), std::move(o));
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW:
        createFont(player, r);
        break;
    case EMR_CREATEPALETTE:
    case EMR_CREATECOLORSPACE: {
        GdiObject o;
        o.type = GdiObject::Type::Other;
        player.setObject(r.u32(8), std::move(o));
        break;
    }
    case EMR_SELECTOBJECT:
        player.selectObject(r.u32(8));
        break;
    case EMR_DELETEOBJECT:
        player.deleteObject(r.u32(8));
        break;
    case EMR_MOVETOEX:
        player.moveTo(pointAt(r, 8));
        break;
    case EMR_LINETO:
        player.lineTo(pointAt(r, 8));
        break;
    case EMR_POLYLINE:
    case EMR_POLYLINE16:
        player.polyline(pointsAt(r, 28, r.u32(24), type == EMR_POLYLINE16));
        break;
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16:
        player.polylineTo(pointsAt(r, 28, r.u32(24), type == EMR_POLYLINETO16));
        break;
    case EMR_POLYGON:
    case EMR_POLYGON16:
        player.polygon(pointsAt(r, 28, r.u32(24), type == EMR_POLYGON16));
        break;
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
        player.polyBezier(pointsAt(r, 28, r.u32(24), type == EMR_POLYBEZIER16), false);
        break;
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16:
        player.polyBezier(pointsAt(r, 28, r.u32(24), type == EMR_POLYBEZIERTO16), true);
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYLINE16:
        player.polyPolyline(polyPointsAt(r, type == EMR_POLYPOLYLINE16));
        break;
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYGON16:
        player.polyPolygon(polyPointsAt(r, type == EMR_POLYPOLYGON16));
        break;
    case EMR_RECTANGLE:
        player.rectangle(rectAt(r, 8));
        break;
    case EMR_ELLIPSE:
        player.ellipse(rectAt(r, 8));
        break;
    case EMR_ROUNDRECT:
        player.roundRect(rectAt(r, 8), pointAt(r, 24));
        break;
    case EMR_ARC:
    case EMR_ARCTO:
    case EMR_CHORD:
    case EMR_PIE: {
        const auto kind = type == EMR_ARC     ? MetafilePlayer::ArcKind::Arc
                          : type == EMR_ARCTO ? MetafilePlayer::ArcKind::ArcTo
                          : type == EMR_CHORD ? MetafilePlayer::ArcKind::Chord
                                              : MetafilePlayer::ArcKind::Pie;
        player.arc(rectAt(r, 8), pointAt(r, 24), pointAt(r, 32), kind);
        break;
    }
    case EMR_SETPIXELV:
        player.setPixel(pointAt(r, 8), colorRef(r.u32(16)));
        break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        extTextOut(player, r, type == EMR_EXTTEXTOUTW);
        break;
    case EMR_BEGINPATH:
        player.beginPath();
        break;
    case EMR_ENDPATH:
        player.endPath();
        break;
    case EMR_CLOSEFIGURE:
        player.closeFigure();
        break;
    case EMR_ABORTPATH:
        player.abortPath();
        break;
    case EMR_FILLPATH:
        player.fillPath();
        break;
    case EMR_STROKEPATH:
        player.strokePath();
        break;
    case EMR_STROKEANDFILLPATH:
        player.strokeAndFillPath();
        break;
    case EMR_SELECTCLIPPATH:
        player.selectClipPath(int(r.u32(8)));
        break;
    case EMR_INTERSECTCLIPRECT:
        player.intersectClipRect(rectAt(r, 8));
        break;
    case EMR_EXCLUDECLIPRECT:
        player.excludeClipRect(rectAt(r, 8));
        break;
    case EMR_EXTSELECTCLIPRGN:
        clipRegion(player, r);
        break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const quint32 rop = r.u32(40);
        const QImage image = bitmapAt(r, 84, r.u32(80));
        const QSizeF sourceSize = type == EMR_STRETCHBLT ? QSizeF(r.i32(100), r.i32(104))
                                                         : QSizeF(dest.width(), dest.height());
        player.image(dest, image, QRectF(QPointF(r.i32(44), r.i32(48)), sourceSize), rop);
        break;
    }
    case EMR_TRANSPARENTBLT: {
        // The raster operation field holds the colour that is not drawn.
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        QImage image = bitmapAt(r, 84, r.u32(80));
        if (image.isNull()) {
            break;
        }
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = colorRef(r.u32(40)).rgb() & 0xFFFFFFu;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFFu) == key) {
                    line[x] = 0;
                }
            }
        }
        player.image(dest, image,
                     QRectF(QPointF(r.i32(44), r.i32(48)), QSizeF(r.i32(100), r.i32(104))),
                     gdi::SRCCOPY);
        break;
    }
    case EMR_ALPHABLEND: {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const bool sourceAlpha = (r.u8(43) & 1) != 0;
        const QImage image =
            bitmapAt(r, 84, r.u32(80), sourceAlpha ? DibAlpha::Premultiplied : DibAlpha::Ignore);
        player.image(dest, image,
                     QRectF(QPointF(r.i32(44), r.i32(48)), QSizeF(r.i32(100), r.i32(104))),
                     gdi::SRCCOPY, r.u8(42) / 255.0);
        break;
    }
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: {
        // Source rectangles of these two count rows from the bottom of a bottom-up bitmap.
        const bool stretch = type == EMR_STRETCHDIBITS;
        const QImage image = bitmapAt(r, 48, r.u32(64));
        QRectF source(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        const QRectF dest = stretch ? QRectF(r.i32(24), r.i32(28), r.i32(72), r.i32(76))
                                    : QRectF(r.i32(24), r.i32(28), r.i32(40), r.i32(44));
        if (!image.isNull() && bottomUpAt(r, 48)) {
            source.moveTop(image.height() - source.top() - source.height());
        }
        player.image(dest, image, source, stretch ? r.u32(68) : gdi::SRCCOPY);
        break;
    }
    default:
        break;
    }
}

} // namespace

void PlayEmfRecords(MetafilePlayer& player, QByteArrayView data) {
    const ByteReader r(data);
    qint64 position = 0;
    while (r.has(position, 8)) {
        const quint32 type = r.u32(position);
        const qint64 size = r.u32(position + 4);
        if (type == EMR_EOF || size < 8 || !r.has(position, size)) {
            break; // the end, or a record cut short or of impossible size
        }
        playRecord(player, type, ByteReader(r.slice(position, size)));
        position += size;
    }
}

} // namespace zr::reportlib::render::picture_detail
