#pragma once

// The device context both metafile formats replay into: drawing attributes, mapping modes,
// the object table, clipping, paths and saved states, drawn with a QPainter. The record
// readers (wmf_player.cpp, emf_player.cpp) decode records and call these operations with
// logical coordinates.

#include <QByteArrayView>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <optional>
#include <set>
#include <vector>

namespace zr::reportlib::render::picture_detail {

// Values of the graphics device interface the records carry.
namespace gdi {
enum MapMode {
    MM_TEXT = 1,
    MM_LOMETRIC = 2,
    MM_HIMETRIC = 3,
    MM_LOENGLISH = 4,
    MM_HIENGLISH = 5,
    MM_TWIPS = 6,
    MM_ISOTROPIC = 7,
    MM_ANISOTROPIC = 8
};
enum PenStyle {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
    PS_STYLE_MASK = 0xF,
    PS_ENDCAP_SQUARE = 0x100,
    PS_ENDCAP_FLAT = 0x200,
    PS_ENDCAP_MASK = 0xF00,
    PS_JOIN_BEVEL = 0x1000,
    PS_JOIN_MITER = 0x2000,
    PS_JOIN_MASK = 0xF000
};
enum BrushStyle {
    BS_SOLID = 0,
    BS_NULL = 1,
    BS_HATCHED = 2,
    BS_PATTERN = 3,
    BS_DIBPATTERN = 5,
    BS_DIBPATTERNPT = 6
};
enum BkMode { TRANSPARENT = 1, OPAQUE = 2 };
enum PolyFillMode { ALTERNATE = 1, WINDING = 2 };
enum TextAlign {
    TA_UPDATECP = 1,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_HORIZONTAL_MASK = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
    TA_VERTICAL_MASK = 24
};
enum TextOutOptions { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_PDY = 0x2000 };
enum Rop2 { R2_NOP = 11, R2_COPYPEN = 13 };
enum StretchMode { HALFTONE = 4 };
enum RegionMode { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
enum RasterOp : quint32 {
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    SRCAND = 0x008800C6,
    SRCINVERT = 0x00660046,
    NOTSRCCOPY = 0x00330008,
    PATCOPY = 0x00F00021,
    PATINVERT = 0x005A0049,
    DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062
};
} // namespace gdi

struct GdiPen {
    int style = gdi::PS_SOLID; // with end cap and join bits
    double width = 0;          // logical units; 0 is one device pixel
    QColor color = Qt::black;
};

struct GdiBrush {
    int style = gdi::BS_SOLID;
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;
};

struct GdiFont {
    double height = 0; // < 0: character height, > 0: cell height, 0: a default size
    double width = 0;
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 1;
    QString face;
};

struct GdiObject {
    enum class Type { Empty, Pen, Brush, Font, Other };
    Type type = Type::Empty;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
};

// A 0x00BBGGRR colour; the palette flags of the high byte are ignored.
QColor colorRef(quint32 value);

struct DcState {
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = gdi::OPAQUE;
    int polyFillMode = gdi::ALTERNATE;
    int textAlign = 0;
    int rop2 = gdi::R2_COPYPEN;
    int stretchMode = 1;
    bool clockwiseArcs = false;
    int mapMode = gdi::MM_TEXT;
    QPointF windowOrg, viewportOrg;
    QPointF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    QPointF current;
    // In target coordinates; none means the whole target.
    std::optional<QRegion> clip;
};

// Where the player's device space lands on the painter, and how big a device inch is.
struct PlayerSetup {
    QRectF target;
    QTransform deviceToTarget;
    double devicePerInchX = 96, devicePerInchY = 96;
    DcState initial;
    // Objects the table may hold (the header's count, at most 65536).
    int objectLimit = 0;
};

class MetafilePlayer {
public:
    MetafilePlayer(QPainter& painter, const PlayerSetup& setup);
    ~MetafilePlayer();
    MetafilePlayer(const MetafilePlayer&) = delete;
    MetafilePlayer& operator=(const MetafilePlayer&) = delete;

    DcState& dc() { return m_dc; }
    const DcState& dc() const { return m_dc; }
    // Call after changing the mapping or the world transform through dc().
    void mappingChanged() { m_transformDirty = true; }

    void saveDc();
    // A negative count goes back that many saves; a positive one names a save, 1 the first.
    void restoreDc(int which);
    void setMapMode(int mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QPointF e);
    void setViewportOrg(QPointF p);
    void setViewportExt(QPointF e);
    void setWorldTransform(const QTransform& t);
    // 1 identity, 2 left multiply, 3 right multiply, 4 set.
    void modifyWorldTransform(const QTransform& t, int mode);

    // The object table: WMF creation takes the lowest free slot, EMF names the slot.
    void addObject(GdiObject object);
    void setObject(quint32 index, GdiObject object);
    void selectObject(quint32 index);
    void deleteObject(quint32 index);

    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    // From the current position through the points, which moves it to the last point.
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyPolyline(const std::vector<QPolygonF>& polylines);
    // Start point plus three points per segment; with `to` the start is the current position.
    void polyBezier(const QPolygonF& points, bool to);
    void rectangle(const QRectF& r);
    void roundRect(const QRectF& r, QPointF corner);
    void ellipse(const QRectF& r);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind);
    void setPixel(QPointF p, const QColor& color);
    void text(QPointF reference, const QString& text, const std::vector<double>& dx,
              quint32 options, const std::optional<QRectF>& rect);
    // `source` in image pixels, top-down. A null image draws the pattern operations.
    void image(const QRectF& dest, const QImage& image, const QRectF& source, quint32 rop,
               double opacity = 1.0);
    void patBlt(const QRectF& dest, quint32 rop);

    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    void intersectClipRect(const QRectF& r);
    void excludeClipRect(const QRectF& r);
    // A region in device units, combined by a RGN_* mode; an empty optional resets the clip
    // (with RGN_COPY).
    void selectClipRegion(const std::optional<QRegion>& deviceRegion, int mode);

    // Text decoded in the current font's character set.
    QString decodeText(QByteArrayView bytes) const;

private:
    QTransform pageToDevice() const;
    QTransform logicalToTarget() const;
    void prepare(bool forText = false);
    // The pen for a mapping; `targetSpace` gives its width in target units, `length` is a
    // measure of the figure's size there.
    QPen makePen(const QTransform& toTarget, bool targetSpace, double length) const;
    QBrush makeBrush(const QTransform& toTarget) const;
    void drawShape(const QPainterPath& logical, bool fill, bool stroke);
    void drawTargetPath(QPainterPath targetPath, bool fill, bool stroke);
    void combineClip(const QRegion& region, int mode);
    QRegion regionOfTargetRect(const QPolygonF& corners) const;
    void setRasterOp(quint32 rop);

    QPainter& m_painter;
    PlayerSetup m_setup;
    QTransform m_base;
    QRegion m_targetClip;
    DcState m_dc;
    std::vector<DcState> m_saved;
    std::vector<GdiObject> m_objects;
    std::set<int> m_freeSlots;
    int m_nextSlot = 0;
    bool m_inPath = false;
    QPainterPath m_path; // target coordinates
    bool m_transformDirty = true;
    bool m_clipDirty = true;
};

// Replay of the record streams; `data` is the whole metafile.
void PlayWmfRecords(MetafilePlayer& player, QByteArrayView data, qint64 firstRecord);
void PlayEmfRecords(MetafilePlayer& player, QByteArrayView data);

} // namespace zr::reportlib::render::picture_detail
