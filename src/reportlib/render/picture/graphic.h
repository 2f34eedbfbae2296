#pragma once

// A picture's graphic, decoded and ready to draw: a raster image (bitmap, JPEG, PNG, icon) or
// a metafile. Graphics are immutable once made and shared between threads; GraphicOf keeps
// recently decoded ones so that repainting a page does not decode its pictures again.

#include "metafile.h"

#include "reportlib/document/qdx_components.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QMutex>
#include <QRectF>
#include <QSize>

#include <memory>
#include <optional>

class QPainter;

namespace zr::reportlib::render {

enum class GraphicKind { None, Bitmap, Jpeg, Png, Icon, Metafile };

// The kind of a graphic's bytes, recognised by their start in the order bitmap, JPEG, PNG,
// placeable metafile, enhanced metafile, icon. An 8-byte database header in front (count 1,
// type 0x0100, then the size of the rest) is skipped; `start` receives where the graphic
// begins. None for bytes of no known kind.
GraphicKind DetectGraphicKind(QByteArrayView bytes, qsizetype* start = nullptr);

// The kind a graphic class name ("TBitmap", "TJPEGImage", ...) stands for.
GraphicKind GraphicKindOfClass(QByteArrayView graphicClass);

// A picture's graphic as a file holds it: picture data in the streamed form inside reports
// loses the 32-bit byte count bitmaps and JPEG images (and metafiles of some writers) put in
// front of it.
QByteArray GraphicFileBytes(const TqdxPicture& picture);

class Graphic {
public:
    // Decodes a graphic of `kind` (or of the kind its bytes show, for None); a graphic that
    // cannot be decoded is Empty().
    static std::shared_ptr<const Graphic> Decode(const QByteArray& bytes,
                                                 GraphicKind kind = GraphicKind::None);

    GraphicKind Kind() const { return m_kind; }
    bool Empty() const { return m_size.isEmpty(); }
    bool IsMetafile() const { return m_metafile.has_value(); }
    // Natural size in pixels.
    QSize Size() const { return m_size; }
    // The pixels of a raster graphic (null for metafiles); premultiplied when not opaque.
    const QImage& Image() const { return m_image; }

    // Stretch-draws into `target`: rasters scaled, smoothly with `smooth`, metafiles replayed.
    void Draw(QPainter& painter, const QRectF& target, bool smooth) const;

    // The graphic drawn at its natural size over `background` (an opaque image); for rasters
    // without transparency that is the raster itself. Kept for the last background asked.
    QImage Flattened(QRgb background) const;
    // `image` with every pixel of exactly `color` (alpha ignored) made transparent. Kept for
    // the last image and colour asked.
    QImage WithTransparentColor(const QImage& image, QRgb color) const;

private:
    GraphicKind m_kind = GraphicKind::None;
    QSize m_size;
    QImage m_image;
    std::optional<Metafile> m_metafile;

    mutable QMutex m_derivedLock;
    mutable std::optional<QRgb> m_flattenedColor;
    mutable QImage m_flattened;
    mutable qint64 m_maskedKey = 0;
    mutable std::optional<QRgb> m_maskedColor;
    mutable QImage m_masked;
};

// The graphic of a picture, decoded once and kept while it is among the recently used ones
// (a few dozen, within a memory budget). Null for an empty picture. Thread-safe.
std::shared_ptr<const Graphic> GraphicOf(const TqdxPicture& picture);

// Drops every kept graphic.
void ClearGraphicCache();

} // namespace zr::reportlib::render
