// Replay of Windows metafile records. Records covered (the others are skipped):
//
//   state      SETBKCOLOR, SETBKMODE, SETMAPMODE, SETROP2 (only "no operation" is honoured),
//              SETPOLYFILLMODE, SETSTRETCHBLTMODE, SETTEXTCOLOR, SETTEXTALIGN, SAVEDC,
//              RESTOREDC
//   mapping    SETWINDOWORG, SETWINDOWEXT, SETVIEWPORTORG, SETVIEWPORTEXT, OFFSETWINDOWORG,
//              OFFSETVIEWPORTORG, SCALEWINDOWEXT, SCALEVIEWPORTEXT
//   objects    CREATEPENINDIRECT, CREATEBRUSHINDIRECT, CREATEFONTINDIRECT,
//              DIBCREATEPATTERNBRUSH, SELECTOBJECT, DELETEOBJECT; CREATEPALETTE,
//              CREATEPATTERNBRUSH and CREATEREGION take their table slot without effect
//   drawing    MOVETO, LINETO, POLYLINE, POLYGON, POLYPOLYGON, RECTANGLE, ROUNDRECT, ELLIPSE,
//              ARC, CHORD, PIE, SETPIXEL, TEXTOUT, EXTTEXTOUT (opaque and clipped rectangles,
//              character spacing)
//   bitmaps    STRETCHDIB, DIBSTRETCHBLT, DIBBITBLT, SETDIBTODEV, PATBLT, and BITBLT and
//              STRETCHBLT in their form without a bitmap
//   clipping   INTERSECTCLIPRECT, EXCLUDECLIPRECT, SELECTCLIPREGION (resets the clip)
//   end        EOF

#include "bitmap_reader.h"
#include "byte_reader_p.h"
#include "metafile_player_p.h"

namespace zr::reportlib::render::picture_detail {

namespace {

enum WmfFunction {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_RESTOREDC = 0x0127,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_SELECTPALETTE = 0x0234,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHBLT = 0x0B23,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43
};

// A record's parameters, addressed in 16-bit words as the format lays them out.
class Params {
public:
    explicit Params(QByteArrayView bytes) : r(bytes) {}
    double w(int k) const { return r.i16(2 * qint64(k)); }
    int u(int k) const { return r.u16(2 * qint64(k)); }
    quint32 dword(int k) const { return r.u32(2 * qint64(k)); }
    QPointF point(int yWord, int xWord) const { return QPointF(w(xWord), w(yWord)); }
    // The rectangle of four words in the order bottom, right, top, left.
    QRectF rect(int k) const {
        return QRectF(QPointF(w(k + 3), w(k + 2)), QPointF(w(k + 1), w(k)));
    }

    ByteReader r;
};

// Whether a bitmap header describes rows stored from the bottom up.
bool bottomUp(QByteArrayView info) {
    const ByteReader h(info);
    return h.u32(0) == 12 || h.i32(8) > 0;
}

QPolygonF points16(const ByteReader& r, qint64 at, qint64 count) {
    QPolygonF points;
    count = std::max<qint64>(0, std::min(count, (r.size() - at) / 4));
    points.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        points.append(QPointF(r.i16(at + 4 * i), r.i16(at + 4 * i + 2)));
    }
    return points;
}

void createFont(MetafilePlayer& player, const Params& p) {
    GdiObject o;
    o.type = GdiObject::Type::Font;
    o.font.height = p.w(0);
    o.font.width = std::abs(p.w(1));
    o.font.escapement = int(p.w(2));
    o.font.weight = int(p.w(4));
    o.font.italic = p.r.u8(10) != 0;
    o.font.underline = p.r.u8(11) != 0;
    o.font.strikeOut = p.r.u8(12) != 0;
    o.font.charset = p.r.u8(13);
    const QByteArrayView face = p.r.slice(18, 32);
    const qsizetype end = face.indexOf('\0');
    o.font.face = player.decodeText(end < 0 ? face : face.first(end)).trimmed();
    player.addObject(std::move(o));
}

// Text of EXTTEXTOUT: position, count, options, optional rectangle, string, optional spacing.
void extTextOut(MetafilePlayer& player, const Params& p) {
    const QPointF at = p.point(0, 1);
    const qint64 count = std::max(0, int(p.w(2)));
    const quint32 options = quint32(p.u(3));
    qint64 offset = 8;
    std::optional<QRectF> rect;
    if (options & (gdi::ETO_OPAQUE | gdi::ETO_CLIPPED)) {
        rect = QRectF(QPointF(p.w(4), p.w(5)), QPointF(p.w(6), p.w(7)));
        offset = 16;
    }
    const QByteArrayView bytes = p.r.slice(offset, count);
    std::vector<double> dx;
    const qint64 dxAt = offset + ((count + 1) & ~qint64(1));
    if (p.r.has(dxAt, 2 * count)) {
        for (qint64 i = 0; i < count; ++i) {
            dx.push_back(p.r.i16(dxAt + 2 * i));
        }
    }
    player.text(at, player.decodeText(bytes), dx, options, rect);
}

// A record that may or may not carry a bitmap: without one its size is fixed by its function.
bool hasBitmap(qint64 recordWords, int function) {
    return recordWords != (function >> 8) + 3;
}

void playRecord(MetafilePlayer& player, int function, const Params& p, qint64 recordWords) {
    DcState& dc = player.dc();
    switch (function) {
    case META_SETBKCOLOR:
        dc.bkColor = colorRef(p.dword(0));
        break;
    case META_SETBKMODE:
        dc.bkMode = p.u(0);
        break;
    case META_SETMAPMODE:
        player.setMapMode(p.u(0));
        break;
    case META_SETROP2:
        dc.rop2 = p.u(0);
        break;
    case META_SETPOLYFILLMODE:
        dc.polyFillMode = p.u(0);
        break;
    case META_SETSTRETCHBLTMODE:
        dc.stretchMode = p.u(0);
        break;
    case META_SETTEXTCOLOR:
        dc.textColor = colorRef(p.dword(0));
        break;
    case META_SETTEXTALIGN:
        dc.textAlign = p.u(0);
        break;
    case META_SAVEDC:
        player.saveDc();
        break;
    case META_RESTOREDC:
        player.restoreDc(int(p.w(0)));
        break;
    case META_SETWINDOWORG:
        player.setWindowOrg(p.point(0, 1));
        break;
    case META_SETWINDOWEXT:
        player.setWindowExt(p.point(0, 1));
        break;
    case META_SETVIEWPORTORG:
        player.setViewportOrg(p.point(0, 1));
        break;
    case META_SETVIEWPORTEXT:
        player.setViewportExt(p.point(0, 1));
        break;
    case META_OFFSETWINDOWORG:
        player.setWindowOrg(dc.windowOrg + p.point(0, 1));
        break;
    case META_OFFSETVIEWPORTORG:
        player.setViewportOrg(dc.viewportOrg + p.point(0, 1));
        break;
    case META_SCALEWINDOWEXT:
    case META_SCALEVIEWPORTEXT: {
        if (p.w(0) == 0 || p.w(2) == 0) {
            break;
        }
        const QPointF& ext = function == META_SCALEWINDOWEXT ? dc.windowExt : dc.viewportExt;
        const QPointF scaled(ext.x() * p.w(3) / p.w(2), ext.y() * p.w(1) / p.w(0));
        if (function == META_SCALEWINDOWEXT) {
            player.setWindowExt(scaled);
        } else {
            player.setViewportExt(scaled);
        }
        break;
    }
    case META_CREATEPENINDIRECT: {
        GdiObject o;
        o.type = GdiObject::Type::Pen;
        o.pen.style = p.u(0);
        o.pen.width = std::abs(p.w(1));
        o.pen.color = colorRef(p.r.u32(6));
        player.addObject(std::move(o));
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        GdiObject o;
        o.type = GdiObject::Type::Brush;
        o.brush.style = p.u(0);
        o.brush.color = colorRef(p.r.u32(2));
        o.brush.hatch = p.r.u16(6);
        player.addObject(std::move(o));
        break;
    }
    case META_CREATEFONTINDIRECT:
        createFont(player, p);
        break;
    case META_DIBCREATEPATTERNBRUSH: {
        GdiObject o;
        o.type = GdiObject::Type::Brush;
        o.brush.style = gdi::BS_DIBPATTERNPT;
        o.brush.color = Qt::black;
        if (p.u(0) != gdi::BS_PATTERN) {
            o.brush.pattern = ReadPackedDib(p.r.from(4), DibAlpha::Ignore,
                                            p.u(1) == 1 ? DibColors::Palette : DibColors::Rgb);
        }
        player.addObject(std::move(o));
        break;
    }
    case META_CREATEPALETTE:
    case META_CREATEPATTERNBRUSH:
    case META_CREATEREGION: {
        GdiObject o;
        o.type = GdiObject::Type::Other;
        player.addObject(std::move(o));
        break;
    }
    case META_SELECTOBJECT:
        player.selectObject(quint32(p.u(0)));
        break;
    case META_DELETEOBJECT:
        player.deleteObject(quint32(p.u(0)));
        break;
    case META_MOVETO:
        player.moveTo(p.point(0, 1));
        break;
    case META_LINETO:
        player.lineTo(p.point(0, 1));
        break;
    case META_POLYLINE:
    case META_POLYGON: {
        const QPolygonF points = points16(p.r, 2, p.u(0));
        if (function == META_POLYLINE) {
            player.polyline(points);
        } else {
            player.polygon(points);
        }
        break;
    }
    case META_POLYPOLYGON: {
        const int n = p.u(0);
        std::vector<QPolygonF> polygons;
        qint64 at = 2 + 2 * qint64(n);
        for (int i = 0; i < n && at < p.r.size(); ++i) {
            const int count = p.u(1 + i);
            polygons.push_back(points16(p.r, at, count));
            at += 4 * qint64(count);
        }
        player.polyPolygon(polygons);
        break;
    }
    case META_RECTANGLE:
        player.rectangle(p.rect(0));
        break;
    case META_ELLIPSE:
        player.ellipse(p.rect(0));
        break;
    case META_ROUNDRECT:
        player.roundRect(p.rect(2), QPointF(p.w(1), p.w(0)));
        break;
    case META_ARC:
    case META_CHORD:
    case META_PIE: {
        const auto kind = function == META_ARC     ? MetafilePlayer::ArcKind::Arc
                          : function == META_CHORD ? MetafilePlayer::ArcKind::Chord
                                                   : MetafilePlayer::ArcKind::Pie;
        player.arc(p.rect(4), p.point(2, 3), p.point(0, 1), kind);
        break;
    }
    case META_SETPIXEL:
        player.setPixel(p.point(2, 3), colorRef(p.dword(0)));
        break;
    case META_TEXTOUT: {
        const qint64 count = std::max(0, int(p.w(0)));
        const qint64 after = 2 + ((count + 1) & ~qint64(1));
        const QString text = player.decodeText(p.r.slice(2, count));
        player.text(QPointF(p.r.i16(after + 2), p.r.i16(after)), text, {}, 0, std::nullopt);
        break;
    }
    case META_EXTTEXTOUT:
        extTextOut(player, p);
        break;
    case META_PATBLT:
        player.patBlt(QRectF(p.w(5), p.w(4), p.w(3), p.w(2)), p.dword(0));
        break;
    case META_BITBLT:
        if (!hasBitmap(recordWords, function)) {
            player.patBlt(QRectF(p.w(8), p.w(7), p.w(6), p.w(5)), p.dword(0));
        }
        break;
    case META_STRETCHBLT:
        if (!hasBitmap(recordWords, function)) {
            player.patBlt(QRectF(p.w(10), p.w(9), p.w(8), p.w(7)), p.dword(0));
        }
        break;
    case META_DIBBITBLT:
        if (!hasBitmap(recordWords, function)) {
            player.patBlt(QRectF(p.w(8), p.w(7), p.w(6), p.w(5)), p.dword(0));
        } else {
            const QImage image = ReadPackedDib(p.r.from(16));
            player.image(QRectF(p.w(7), p.w(6), p.w(5), p.w(4)), image,
                         QRectF(p.w(3), p.w(2), p.w(5), p.w(4)), p.dword(0));
        }
        break;
    case META_DIBSTRETCHBLT:
        if (!hasBitmap(recordWords, function)) {
            player.patBlt(QRectF(p.w(10), p.w(9), p.w(8), p.w(7)), p.dword(0));
        } else {
            const QImage image = ReadPackedDib(p.r.from(20));
            player.image(QRectF(p.w(9), p.w(8), p.w(7), p.w(6)), image,
                         QRectF(p.w(5), p.w(4), p.w(3), p.w(2)), p.dword(0));
        }
        break;
    case META_STRETCHDIB:
    case META_SETDIBTODEV: {
        // Source rectangles of these two count rows from the bottom of a bottom-up bitmap.
        const bool stretch = function == META_STRETCHDIB;
        const QByteArrayView dib = p.r.from(stretch ? 22 : 18);
        const DibColors colors = p.u(stretch ? 2 : 0) == 1 ? DibColors::Palette : DibColors::Rgb;
        const QImage image = ReadPackedDib(dib, DibAlpha::Ignore, colors);
        QRectF source, dest;
        if (stretch) {
            source = QRectF(p.w(6), p.w(5), p.w(4), p.w(3));
            dest = QRectF(p.w(10), p.w(9), p.w(8), p.w(7));
        } else {
            source = QRectF(p.w(4), p.w(3), p.w(6), p.w(5));
            dest = QRectF(p.w(8), p.w(7), p.w(6), p.w(5));
        }
        if (!image.isNull() && bottomUp(dib)) {
            source.moveTop(image.height() - source.top() - source.height());
        }
        player.image(dest, image, source, stretch ? p.dword(0) : gdi::SRCCOPY);
        break;
    }
    case META_INTERSECTCLIPRECT:
        player.intersectClipRect(p.rect(0));
        break;
    case META_EXCLUDECLIPRECT:
        player.excludeClipRect(p.rect(0));
        break;
    case META_SELECTCLIPREGION:
        player.selectClipRegion(std::nullopt, gdi::RGN_COPY);
        break;
    default:
        break;
    }
}

} // namespace

void PlayWmfRecords(MetafilePlayer& player, QByteArrayView data, qint64 position) {
    const ByteReader r(data);
    while (r.has(position, 6)) {
        const qint64 words = r.u32(position);
        const int function = r.u16(position + 4);
        if (function == META_EOF || words < 3 || !r.has(position, 2 * words)) {
            break; // the end, or a record cut short or of impossible size
        }
        playRecord(player, function, Params(r.slice(position + 6, 2 * words - 6)), words);
        position += 2 * words;
    }
}

} // namespace zr::reportlib::render::picture_detail
