#include "graphic.h"

#include "bitmap_reader.h"
#include "byte_reader_p.h"
#include "icon_reader.h"
#include "image_limits.h"
#include "jpeg_reader.h"
#include "png_reader.h"

#include <QHash>
#include <QMutexLocker>
#include <QPainter>

#include <list>

namespace zr::reportlib::render {

namespace {

using picture_detail::ByteReader;

// Decoded graphics kept for repainting: the most recently used ones, within both limits.
constexpr size_t kCacheEntries = 32;
constexpr qint64 kCacheBytes = qint64(512) * 1024 * 1024;

struct CacheEntry {
    QByteArray bytes;
    GraphicKind kind = GraphicKind::None;
    size_t hash = 0;
    std::shared_ptr<const Graphic> graphic;
    qint64 cost = 0;
};

struct GraphicCache {
    QMutex lock;
    std::list<CacheEntry> entries; // most recently used first
    qint64 cost = 0;
};

GraphicCache& cache() {
    static GraphicCache instance;
    return instance;
}

qint64 costOf(const Graphic& g, const QByteArray& bytes) {
    // The decoded pixels, plus room for a flattened and a masked copy made while drawing.
    return bytes.size() + (g.IsMetafile() ? 0 : 3 * g.Image().sizeInBytes());
}

bool startsAsIcon(QByteArrayView b) {
    const ByteReader r(b);
    return r.has(0, 6) && r.u16(0) == 0 && (r.u16(2) == 1 || r.u16(2) == 2);
}

} // namespace

GraphicKind DetectGraphicKind(QByteArrayView bytes, qsizetype* start) {
    const ByteReader whole(bytes);
    qsizetype at = 0;
    if (whole.has(0, 8) && whole.u16(0) == 1 && whole.u16(2) == 0x0100 &&
        qint64(whole.u32(4)) == bytes.size() - 8) {
        at = 8;
    }
    if (start != nullptr) {
        *start = at;
    }
    const QByteArrayView b = bytes.sliced(at);
    const ByteReader r(b);
    if (b.size() >= 14 && b.startsWith("BM")) {
        return GraphicKind::Bitmap;
    }
    if (b.size() >= 2 && r.u8(0) == 0xFF && r.u8(1) == 0xD8) {
        return GraphicKind::Jpeg;
    }
    if (b.size() >= 8 && b.startsWith("\x89PNG\r\n\x1a\n")) {
        return GraphicKind::Png;
    }
    if (b.size() >= 22 && r.u32(0) == 0x9AC6CDD7u) {
        return GraphicKind::Metafile;
    }
    if (b.size() >= 100 && r.u32(40) == 0x464D4520u) {
        return GraphicKind::Metafile;
    }
    if (b.size() >= 6 && r.u16(2) < 2) {
        return GraphicKind::Icon;
    }
    return GraphicKind::None;
}

GraphicKind GraphicKindOfClass(QByteArrayView graphicClass) {
    const auto is = [&](const char* name) {
        return graphicClass.compare(name, Qt::CaseInsensitive) == 0;
    };
    if (is("TBitmap")) {
        return GraphicKind::Bitmap;
    }
    if (is("TJPEGImage")) {
        return GraphicKind::Jpeg;
    }
    if (is("TPngImage") || is("TPNGObject")) {
        return GraphicKind::Png;
    }
    if (is("TIcon")) {
        return GraphicKind::Icon;
    }
    if (is("TMetafile")) {
        return GraphicKind::Metafile;
    }
    return GraphicKind::None;
}

QByteArray GraphicFileBytes(const TqdxPicture& picture) {
    const QByteArray& data = picture.Data;
    if (picture.StreamForm || data.size() < 4) {
        return data;
    }
    const GraphicKind kind = GraphicKindOfClass(picture.GraphicClass);
    const qint64 count = ByteReader(data).u32(0);
    const QByteArrayView rest = QByteArrayView(data).sliced(4);
    const bool counted = count == data.size() - 4;
    switch (kind) {
    case GraphicKind::Bitmap:
    case GraphicKind::Jpeg:
        // A count that disagrees with the data still goes when the graphic follows it.
        if (counted || (DetectGraphicKind(data) != kind && DetectGraphicKind(rest) == kind)) {
            return data.mid(4);
        }
        return data;
    case GraphicKind::Icon:
        return !startsAsIcon(data) && startsAsIcon(rest) ? data.mid(4) : data;
    default: {
        // Metafiles and PNG images stream as their files; some writers count them as well.
        const GraphicKind plain = DetectGraphicKind(data);
        const bool plainMatches =
            kind == GraphicKind::None ? plain != GraphicKind::None : plain == kind;
        if (!plainMatches && (counted || count == data.size()) &&
            DetectGraphicKind(rest) != GraphicKind::None) {
            return data.mid(4);
        }
        return data;
    }
    }
}

std::shared_ptr<const Graphic> Graphic::Decode(const QByteArray& bytes, GraphicKind kind) {
    auto g = std::make_shared<Graphic>();
    qsizetype start = 0;
    const GraphicKind detected = DetectGraphicKind(bytes, &start);
    if (detected != GraphicKind::None) {
        kind = detected;
    }
    const QByteArray payload = start > 0 ? bytes.mid(start) : bytes;
    g->m_kind = kind;
    switch (kind) {
    case GraphicKind::Bitmap:
        g->m_image = ReadBitmapFile(payload);
        break;
    case GraphicKind::Jpeg:
        g->m_image = ReadJpeg(payload);
        break;
    case GraphicKind::Png:
        g->m_image = ReadPng(payload);
        break;
    case GraphicKind::Icon:
        g->m_image = ReadIcon(payload);
        break;
    case GraphicKind::Metafile:
        g->m_metafile = Metafile::FromBytes(payload);
        break;
    case GraphicKind::None:
        break;
    }
    g->m_size = g->m_metafile ? g->m_metafile->Size() : g->m_image.size();
    return g;
}

void Graphic::Draw(QPainter& painter, const QRectF& target, bool smooth) const {
    if (Empty() || target.isEmpty()) {
        return;
    }
    if (m_metafile) {
        m_metafile->Play(painter, target);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(target, m_image);
    painter.restore();
}

QImage Graphic::Flattened(QRgb background) const {
    if (!m_metafile && !m_image.hasAlphaChannel()) {
        return m_image;
    }
    if (!imageSizeAllowed(m_size.width(), m_size.height())) {
        return {};
    }
    const QMutexLocker locker(&m_derivedLock);
    if (m_flattenedColor != background) {
        QImage out(m_size, QImage::Format_RGB32);
        if (out.isNull()) {
            return {};
        }
        out.fill(background);
        QPainter painter(&out);
        Draw(painter, QRectF(QPointF(0, 0), QSizeF(m_size)), false);
        painter.end();
        m_flattened = out;
        m_flattenedColor = background;
    }
    return m_flattened;
}

QImage Graphic::WithTransparentColor(const QImage& image, QRgb color) const {
    const QMutexLocker locker(&m_derivedLock);
    if (m_maskedKey != image.cacheKey() || m_maskedColor != color) {
        QImage out = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = color & 0xFFFFFFu;
        for (int y = 0; y < out.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x) {
                if ((line[x] & 0xFFFFFFu) == key) {
                    line[x] = 0;
                }
            }
        }
        m_masked = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_maskedKey = image.cacheKey();
        m_maskedColor = color;
    }
    return m_masked;
}

std::shared_ptr<const Graphic> GraphicOf(const TqdxPicture& picture) {
    if (picture.Empty() || picture.Data.isEmpty()) {
        return nullptr;
    }
    const QByteArray bytes = GraphicFileBytes(picture);
    const GraphicKind kind = GraphicKindOfClass(picture.GraphicClass);
    const size_t hash = qHash(bytes);
    GraphicCache& c = cache();
    {
        const QMutexLocker locker(&c.lock);
        for (auto it = c.entries.begin(); it != c.entries.end(); ++it) {
            if (it->hash == hash && it->kind == kind && it->bytes == bytes) {
                c.entries.splice(c.entries.begin(), c.entries, it);
                return c.entries.front().graphic;
            }
        }
    }
    // Decoded without the lock: other pictures may be drawn meanwhile. Two threads decoding
    // the same picture at once both keep their result; the cache then holds it twice.
    std::shared_ptr<const Graphic> graphic = Graphic::Decode(bytes, kind);
    const QMutexLocker locker(&c.lock);
    const qint64 cost = costOf(*graphic, bytes);
    c.entries.push_front(CacheEntry{bytes, kind, hash, graphic, cost});
    c.cost += cost;
    while (c.entries.size() > 1 && (c.entries.size() > kCacheEntries || c.cost > kCacheBytes)) {
        c.cost -= c.entries.back().cost;
        c.entries.pop_back();
    }
    return graphic;
}

void ClearGraphicCache() {
    GraphicCache& c = cache();
    const QMutexLocker locker(&c.lock);
    c.entries.clear();
    c.cost = 0;
}

} // namespace zr::reportlib::render
