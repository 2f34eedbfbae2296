#include "metafile_player_p.h"

#include "reportlib/document/qdx_unicode_utils.h"

#include "platform/text/codepages.h"

#include <QFontMetricsF>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zr::reportlib::render::picture_detail {

namespace {

// Saved states and clip rectangles a metafile may pile up before we stop honouring more.
constexpr size_t kMaxSavedStates = 1024;
// A dashed wide line longer than this (target pixels) is drawn solid: the dash generator
// would otherwise produce millions of segments for a damaged coordinate.
constexpr double kMaxDashedLength = 100000;
// Fonts are laid out at this pixel size and scaled to the logical height, so that any height,
// however small in logical units, keeps its precision.
constexpr int kLayoutFontSize = 100;

bool usable(const QTransform& t) {
    const double values[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (const double v : values) {
        if (!std::isfinite(v) || std::abs(v) > 1e12) {
            return false;
        }
    }
    const double det = t.determinant();
    return std::isfinite(det) && std::abs(det) > 1e-18;
}

// Whether text under `t` (layout font size kLayoutFontSize) can be drawn from glyph images:
// both axes scaled alike, within 50 %, and glyphs of at most 256 pixels.
bool glyphImagesUsable(const QTransform& t) {
    const double a = t.m11(), b = t.m12(), c = t.m21(), d = t.m22();
    const double sum = a * a + b * b + c * c + d * d;
    const double det = std::abs(a * d - b * c);
    const double root = std::sqrt(std::max(0.0, sum * sum / 4 - det * det));
    const double largest = std::sqrt(sum / 2 + root);
    const double smallest = std::sqrt(std::max(0.0, sum / 2 - root));
    return smallest > 0 && largest / smallest < 1.5 && kLayoutFontSize * largest <= 256;
}

double scaleOf(const QTransform& t) {
    return std::sqrt(std::abs(t.determinant()));
}

GdiObject stockObject(quint32 index) {
    GdiObject o;
    switch (index) {
    case 0: // white, light grey, grey, dark grey and black brushes
    case 1:
    case 2:
    case 3:
    case 4: {
        static const int greys[] = {255, 192, 128, 64, 0};
        o.type = GdiObject::Type::Brush;
        o.brush.color = QColor(greys[index], greys[index], greys[index]);
        break;
    }
    case 5: // null brush
        o.type = GdiObject::Type::Brush;
        o.brush.style = gdi::BS_NULL;
        break;
    case 6: // white, black and null pens
    case 7:
    case 8:
        o.type = GdiObject::Type::Pen;
        o.pen.color = index == 6 ? Qt::white : Qt::black;
        o.pen.style = index == 8 ? gdi::PS_NULL : gdi::PS_SOLID;
        break;
    case 10: // the system's fonts
    case 11:
    case 12:
    case 13:
    case 14:
    case 16:
    case 17:
        o.type = GdiObject::Type::Font;
        o.font.face = index == 10 || index == 11 || index == 16 ? QStringLiteral("Courier New")
                                                                : QStringLiteral("Arial");
        break;
    case 18: // the device context's own brush and pen
        o.type = GdiObject::Type::Brush;
        break;
    case 19:
        o.type = GdiObject::Type::Pen;
        break;
    default:
        break;
    }
    return o;
}

// Parametric angle (degrees, counter-clockwise) on the ellipse of `box` of the ray from its
// centre through `p`.
double angleOn(const QRectF& box, QPointF p) {
    const QPointF c = box.center();
    const double a =
        std::atan2(-(p.y() - c.y()) / (box.height() / 2), (p.x() - c.x()) / (box.width() / 2));
    return a * 180 / std::numbers::pi;
}

} // namespace

QColor colorRef(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

MetafilePlayer::MetafilePlayer(QPainter& painter, const PlayerSetup& setup)
    : m_painter(painter), m_setup(setup), m_dc(setup.initial) {
    m_painter.save();
    m_base = m_painter.worldTransform();
    m_targetClip = QRegion(setup.target.toAlignedRect());
    if (m_painter.hasClipping()) {
        m_targetClip &= m_painter.clipRegion();
    }
}

MetafilePlayer::~MetafilePlayer() {
    m_painter.restore();
}

// ---- Mapping ----------------------------------------------------------------------------

QTransform MetafilePlayer::pageToDevice() const {
    double sx = 1, sy = 1;
    const double inchX = m_setup.devicePerInchX, inchY = m_setup.devicePerInchY;
    switch (m_dc.mapMode) {
    case gdi::MM_LOMETRIC: // 0.1 mm, y up
        sx = inchX / 254;
        sy = -inchY / 254;
        break;
    case gdi::MM_HIMETRIC: // 0.01 mm
        sx = inchX / 2540;
        sy = -inchY / 2540;
        break;
    case gdi::MM_LOENGLISH: // 0.01 inch
        sx = inchX / 100;
        sy = -inchY / 100;
        break;
    case gdi::MM_HIENGLISH: // 0.001 inch
        sx = inchX / 1000;
        sy = -inchY / 1000;
        break;
    case gdi::MM_TWIPS: // 1/1440 inch
        sx = inchX / 1440;
        sy = -inchY / 1440;
        break;
    case gdi::MM_ISOTROPIC:
    case gdi::MM_ANISOTROPIC:
        sx = m_dc.viewportExt.x() / m_dc.windowExt.x();
        sy = m_dc.viewportExt.y() / m_dc.windowExt.y();
        if (m_dc.mapMode == gdi::MM_ISOTROPIC) {
            // Equal units on both axes: the smaller scale wins, the directions stay.
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default:
        break;
    }
    return QTransform(sx, 0, 0, sy, m_dc.viewportOrg.x() - m_dc.windowOrg.x() * sx,
                      m_dc.viewportOrg.y() - m_dc.windowOrg.y() * sy);
}

QTransform MetafilePlayer::logicalToTarget() const {
    return m_dc.world * pageToDevice() * m_setup.deviceToTarget;
}

void MetafilePlayer::prepare(bool forText) {
    if (m_clipDirty) {
        m_painter.setWorldTransform(m_base);
        m_painter.setClipRegion(m_dc.clip ? (*m_dc.clip & m_targetClip) : m_targetClip);
        m_clipDirty = false;
        m_transformDirty = true;
    }
    if (m_transformDirty || forText) {
        m_painter.setWorldTransform(logicalToTarget() * m_base);
        m_transformDirty = forText;
    }
}

void MetafilePlayer::saveDc() {
    if (m_saved.size() < kMaxSavedStates) {
        m_saved.push_back(m_dc);
    }
}

void MetafilePlayer::restoreDc(int which) {
    const qint64 count = qint64(m_saved.size());
    const qint64 index = which < 0 ? count + which : qint64(which) - 1;
    if (index < 0 || index >= count) {
        return;
    }
    m_dc = m_saved[size_t(index)];
    m_saved.resize(size_t(index));
    m_transformDirty = m_clipDirty = true;
}

void MetafilePlayer::setMapMode(int mode) {
    if (mode >= gdi::MM_TEXT && mode <= gdi::MM_ANISOTROPIC) {
        m_dc.mapMode = mode;
        m_transformDirty = true;
    }
}

void MetafilePlayer::setWindowOrg(QPointF p) {
    m_dc.windowOrg = p;
    m_transformDirty = true;
}

void MetafilePlayer::setWindowExt(QPointF e) {
    // A zero extent would divide by zero; the graphics interface refuses it too.
    if (e.x() != 0 && e.y() != 0) {
        m_dc.windowExt = e;
        m_transformDirty = true;
    }
}

void MetafilePlayer::setViewportOrg(QPointF p) {
    m_dc.viewportOrg = p;
    m_transformDirty = true;
}

void MetafilePlayer::setViewportExt(QPointF e) {
    if (e.x() != 0 && e.y() != 0) {
        m_dc.viewportExt = e;
        m_transformDirty = true;
    }
}

void MetafilePlayer::setWorldTransform(const QTransform& t) {
    if (usable(t)) {
        m_dc.world = t;
        m_transformDirty = true;
    }
}

void MetafilePlayer::modifyWorldTransform(const QTransform& t, int mode) {
    switch (mode) {
    case 1:
        m_dc.world = QTransform();
        break;
    case 2:
        if (usable(t * m_dc.world)) {
            m_dc.world = t * m_dc.world;
        }
        break;
    case 3:
        if (usable(m_dc.world * t)) {
            m_dc.world = m_dc.world * t;
        }
        break;
    case 4:
        setWorldTransform(t);
        break;
    default:
        return;
    }
    m_transformDirty = true;
}

// ---- Objects ----------------------------------------------------------------------------

void MetafilePlayer::addObject(GdiObject object) {
    int slot = -1;
    if (!m_freeSlots.empty()) {
        slot = *m_freeSlots.begin();
        m_freeSlots.erase(m_freeSlots.begin());
    } else if (m_nextSlot < m_setup.objectLimit) {
        slot = m_nextSlot++;
    } else {
        return; // the table is full: the graphics interface fails the creation
    }
    setObject(quint32(slot), std::move(object));
}

void MetafilePlayer::setObject(quint32 index, GdiObject object) {
    if (index >= quint32(m_setup.objectLimit)) {
        return;
    }
    if (m_objects.size() <= index) {
        m_objects.resize(size_t(index) + 1);
    }
    m_objects[index] = std::move(object);
}

void MetafilePlayer::selectObject(quint32 index) {
    const GdiObject* object = nullptr;
    GdiObject stock;
    if (index & 0x80000000u) {
        stock = stockObject(index & 0x7FFFFFFFu);
        object = &stock;
    } else if (index < m_objects.size()) {
        object = &m_objects[index];
    }
    if (object == nullptr) {
        return;
    }
    switch (object->type) {
    case GdiObject::Type::Pen:
        m_dc.pen = object->pen;
        break;
    case GdiObject::Type::Brush:
        m_dc.brush = object->brush;
        break;
    case GdiObject::Type::Font:
        m_dc.font = object->font;
        break;
    default:
        break;
    }
}

void MetafilePlayer::deleteObject(quint32 index) {
    if (index < m_objects.size() && m_objects[index].type != GdiObject::Type::Empty) {
        m_objects[index] = GdiObject();
        if (index < quint32(m_nextSlot)) {
            m_freeSlots.insert(int(index));
        }
    }
}

// ---- Pens and brushes ---------------------------------------------------------------------

QPen MetafilePlayer::makePen(const QTransform& toTarget, bool targetSpace, double length) const {
    const GdiPen& p = m_dc.pen;
    const int style = p.style & gdi::PS_STYLE_MASK;
    if (style == gdi::PS_NULL) {
        return Qt::NoPen;
    }
    QPen pen(p.color);
    const double deviceWidth = p.width * scaleOf(toTarget);
    const bool cosmetic = p.width <= 0 || deviceWidth < 1.0;
    if (cosmetic) {
        pen.setWidth(0);
        pen.setCapStyle(Qt::FlatCap);
    } else {
        pen.setWidthF(targetSpace ? deviceWidth : p.width);
        switch (p.style & gdi::PS_ENDCAP_MASK) {
        case gdi::PS_ENDCAP_SQUARE:
            pen.setCapStyle(Qt::SquareCap);
            break;
        case gdi::PS_ENDCAP_FLAT:
            pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (p.style & gdi::PS_JOIN_MASK) {
        case gdi::PS_JOIN_BEVEL:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case gdi::PS_JOIN_MITER:
            pen.setJoinStyle(Qt::MiterJoin);
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
        }
    }
    if (cosmetic || length <= kMaxDashedLength) {
        switch (style) {
        case gdi::PS_DASH:
            pen.setStyle(Qt::DashLine);
            break;
        case gdi::PS_DOT:
            pen.setStyle(Qt::DotLine);
            break;
        case gdi::PS_DASHDOT:
            pen.setStyle(Qt::DashDotLine);
            break;
        case gdi::PS_DASHDOTDOT:
            pen.setStyle(Qt::DashDotDotLine);
            break;
        default:
            break;
        }
    }
    return pen;
}

QBrush MetafilePlayer::makeBrush(const QTransform& toTarget) const {
    const GdiBrush& b = m_dc.brush;
    switch (b.style) {
    case gdi::BS_NULL:
        return Qt::NoBrush;
    case gdi::BS_HATCHED: {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                 Qt::FDiagPattern, Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(b.color, b.hatch >= 0 && b.hatch < 6 ? hatches[b.hatch] : Qt::SolidPattern);
    }
    case gdi::BS_PATTERN:
    case gdi::BS_DIBPATTERN:
    case gdi::BS_DIBPATTERNPT:
        if (!b.pattern.isNull()) {
            // Patterns repeat in device pixels, whatever the mapping.
            QBrush brush(b.pattern);
            if (toTarget.isInvertible()) {
                brush.setTransform(toTarget.inverted());
            }
            return brush;
        }
        return QBrush(b.color);
    default:
        return QBrush(b.color);
    }
}

// ---- Drawing ----------------------------------------------------------------------------

void MetafilePlayer::drawShape(const QPainterPath& logical, bool fill, bool stroke) {
    if (m_dc.rop2 == gdi::R2_NOP) {
        return;
    }
    const QTransform t = logicalToTarget();
    if (!usable(t)) {
        return;
    }
    if (m_inPath) {
        m_path.addPath(t.map(logical));
        return;
    }
    QPainterPath path = t.map(logical);
    drawTargetPath(path, fill, stroke);
}

void MetafilePlayer::drawTargetPath(QPainterPath path, bool fill, bool stroke) {
    const QTransform t = logicalToTarget();
    if (!usable(t)) {
        return;
    }
    const QBrush brush = fill ? makeBrush(QTransform()) : QBrush(Qt::NoBrush);
    const QRectF bounds = path.controlPointRect();
    const QPen pen = stroke ? makePen(t, true, bounds.width() + bounds.height()) : QPen(Qt::NoPen);
    if (brush.style() == Qt::NoBrush && pen.style() == Qt::NoPen) {
        return;
    }
    prepare();
    // Paths are kept in target coordinates, so they are drawn without the mapping.
    m_painter.setWorldTransform(m_base);
    m_transformDirty = true;
    path.setFillRule(m_dc.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    if (brush.style() > Qt::SolidPattern && brush.style() < Qt::LinearGradientPattern &&
        m_dc.bkMode == gdi::OPAQUE) {
        // An opaque hatch shows the background colour between its lines.
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(m_dc.bkColor);
        m_painter.drawPath(path);
    }
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    m_painter.drawPath(path);
}

void MetafilePlayer::moveTo(QPointF p) {
    m_dc.current = p;
    if (m_inPath) {
        const QTransform t = logicalToTarget();
        if (usable(t)) {
            m_path.moveTo(t.map(p));
        }
    }
}

void MetafilePlayer::lineTo(QPointF p) {
    polylineTo(QPolygonF{p});
}

void MetafilePlayer::polyline(const QPolygonF& points) {
    if (points.size() < 2) {
        return;
    }
    QPainterPath path;
    path.addPolygon(points);
    drawShape(path, false, true);
}

void MetafilePlayer::polylineTo(const QPolygonF& points) {
    if (points.isEmpty()) {
        return;
    }
    const QTransform t = logicalToTarget();
    if (m_inPath) {
        // Inside a path the lines continue the figure begun at the current position.
        if (usable(t)) {
            if (m_path.elementCount() == 0 || m_path.currentPosition() != t.map(m_dc.current)) {
                m_path.moveTo(t.map(m_dc.current));
            }
            for (const QPointF& p : points) {
                m_path.lineTo(t.map(p));
            }
        }
    } else {
        QPolygonF all{m_dc.current};
        all += points;
        QPainterPath path;
        path.addPolygon(all);
        drawShape(path, false, true);
    }
    m_dc.current = points.back();
}

void MetafilePlayer::polygon(const QPolygonF& points) {
    if (points.size() < 2) {
        return;
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    drawShape(path, true, true);
}

void MetafilePlayer::polyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    for (const QPolygonF& p : polygons) {
        if (p.size() >= 2) {
            path.addPolygon(p);
            path.closeSubpath();
        }
    }
    drawShape(path, true, true);
}

void MetafilePlayer::polyPolyline(const std::vector<QPolygonF>& polylines) {
    QPainterPath path;
    for (const QPolygonF& p : polylines) {
        if (p.size() >= 2) {
            path.addPolygon(p);
        }
    }
    drawShape(path, false, true);
}

void MetafilePlayer::polyBezier(const QPolygonF& points, bool to) {
    qsizetype i = 0;
    QPointF start = m_dc.current;
    if (!to) {
        if (points.isEmpty()) {
            return;
        }
        start = points[0];
        i = 1;
    }
    if (to && m_inPath) {
        const QTransform t = logicalToTarget();
        if (!usable(t)) {
            return;
        }
        if (m_path.elementCount() == 0 || m_path.currentPosition() != t.map(start)) {
            m_path.moveTo(t.map(start));
        }
        for (; i + 2 < points.size(); i += 3) {
            m_path.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
            m_dc.current = points[i + 2];
        }
        return;
    }
    QPainterPath path(start);
    for (; i + 2 < points.size(); i += 3) {
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
        if (to) {
            m_dc.current = points[i + 2];
        }
    }
    drawShape(path, false, true);
}

void MetafilePlayer::rectangle(const QRectF& r) {
    QPainterPath path;
    path.addRect(r.normalized());
    drawShape(path, true, true);
}

void MetafilePlayer::roundRect(const QRectF& r, QPointF corner) {
    QPainterPath path;
    path.addRoundedRect(r.normalized(), std::abs(corner.x()) / 2, std::abs(corner.y()) / 2);
    drawShape(path, true, true);
}

void MetafilePlayer::ellipse(const QRectF& r) {
    const QRectF box = r.normalized();
    if (box.isEmpty()) {
        return;
    }
    QPainterPath path;
    path.addEllipse(box);
    drawShape(path, true, true);
}

void MetafilePlayer::arc(const QRectF& r, QPointF start, QPointF end, ArcKind kind) {
    const QRectF box = r.normalized();
    if (box.isEmpty()) {
        return;
    }
    const double a1 = angleOn(box, start), a2 = angleOn(box, end);
    double sweep = std::fmod(a2 - a1 + 720, 360);
    if (sweep <= 1e-9) {
        sweep = 360; // equal ends: the whole ellipse
    }
    if (m_dc.clockwiseArcs) {
        sweep -= 360;
    }
    QPainterPath path;
    switch (kind) {
    case ArcKind::Arc:
        path.arcMoveTo(box, a1);
        path.arcTo(box, a1, sweep);
        drawShape(path, false, true);
        break;
    case ArcKind::ArcTo: {
        path.moveTo(m_dc.current);
        path.arcTo(box, a1, sweep);
        const QPointF last = path.currentPosition();
        if (m_inPath) {
            const QTransform t = logicalToTarget();
            if (usable(t)) {
                if (m_path.elementCount() == 0 || m_path.currentPosition() != t.map(m_dc.current)) {
                    m_path.moveTo(t.map(m_dc.current));
                }
                m_path.connectPath(t.map(path));
            }
        } else {
            drawShape(path, false, true);
        }
        m_dc.current = last;
        break;
    }
    case ArcKind::Chord:
        path.arcMoveTo(box, a1);
        path.arcTo(box, a1, sweep);
        path.closeSubpath();
        drawShape(path, true, true);
        break;
    case ArcKind::Pie:
        path.moveTo(box.center());
        path.arcTo(box, a1, sweep);
        path.closeSubpath();
        drawShape(path, true, true);
        break;
    }
}

void MetafilePlayer::setPixel(QPointF p, const QColor& color) {
    const QTransform t = logicalToTarget();
    if (!usable(t) || m_inPath) {
        return;
    }
    prepare();
    const QPointF at = t.map(p);
    m_painter.setWorldTransform(m_base);
    m_transformDirty = true;
    m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), color);
}

QString MetafilePlayer::decodeText(QByteArrayView bytes) const {
    try {
        return WidenText(bytes, m_dc.font.charset, 0);
    } catch (...) {
        // Symbol and unknown character sets: the bytes as the Western code page reads them.
        return codepages::fromCp1252(bytes);
    }
}

void MetafilePlayer::text(QPointF reference, const QString& text, const std::vector<double>& dx,
                          quint32 options, const std::optional<QRectF>& rect) {
    const QTransform t = logicalToTarget();
    if (!usable(t) || m_inPath) {
        return;
    }
    if ((options & gdi::ETO_OPAQUE) && rect) {
        prepare();
        m_painter.fillRect(rect->normalized(), m_dc.bkColor);
    }
    if (text.isEmpty()) {
        return;
    }
    const GdiFont& f = m_dc.font;
    QFont font(f.face.isEmpty() ? QStringLiteral("Arial") : f.face);
    font.setPixelSize(kLayoutFontSize);
    font.setWeight(QFont::Weight(std::clamp(f.weight <= 0 ? 400 : f.weight, 1, 1000)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    QFontMetricsF metrics(font);
    // Logical units per layout pixel: a negative height is the character height, a positive
    // one the cell height (ascent plus descent).
    double scale = 12.0 / kLayoutFontSize;
    if (f.height < 0) {
        scale = -f.height / kLayoutFontSize;
    } else if (f.height > 0 && metrics.height() > 0) {
        scale = f.height / metrics.height();
    }
    if (f.width > 0 && metrics.averageCharWidth() > 0) {
        const double stretch = 100.0 * (f.width / scale) / metrics.averageCharWidth();
        font.setStretch(std::clamp(int(std::lround(stretch)), 1, 4000));
        metrics = QFontMetricsF(font);
    }

    // Glyph origins along the baseline in logical units.
    std::vector<double> origins;
    double total = 0;
    if (!dx.empty()) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            origins.push_back(total);
            total += size_t(i) < dx.size() ? dx[size_t(i)] : 0;
        }
    } else {
        total = metrics.horizontalAdvance(text) * scale;
    }
    const bool updateCp = (m_dc.textAlign & gdi::TA_UPDATECP) != 0;
    const QPointF origin = updateCp ? m_dc.current : reference;
    double x0 = 0; // layout pixels
    switch (m_dc.textAlign & gdi::TA_HORIZONTAL_MASK) {
    case gdi::TA_CENTER:
        x0 = -total / scale / 2;
        break;
    case gdi::TA_RIGHT:
        x0 = -total / scale;
        break;
    default:
        break;
    }
    double baseline = metrics.ascent(); // top alignment
    switch (m_dc.textAlign & gdi::TA_VERTICAL_MASK) {
    case gdi::TA_BASELINE:
        baseline = 0;
        break;
    case gdi::TA_BOTTOM:
        baseline = -metrics.descent();
        break;
    default:
        break;
    }

    prepare(true);
    if ((options & gdi::ETO_CLIPPED) && rect) {
        m_painter.setClipRect(rect->normalized(), Qt::IntersectClip);
        m_clipDirty = true;
    }
    // Text stays upright whichever way the mapping turns the axes.
    m_painter.translate(origin);
    m_painter.scale(t.m11() < 0 ? -1 : 1, t.m22() < 0 ? -1 : 1);
    m_painter.rotate(-f.escapement / 10.0);
    m_painter.scale(scale, scale);
    if (m_dc.bkMode == gdi::OPAQUE) {
        m_painter.fillRect(QRectF(x0, baseline - metrics.ascent(), total / scale,
                                  metrics.ascent() + metrics.descent()),
                           m_dc.bkColor);
    }
    // Glyph images are cached for near-uniform scales of moderate size only: a stretched or
    // squeezed mapping, which metafiles may set, makes the font rasteriser fail (and the
    // cache read memory that was never filled). Such text is filled as outlines instead.
    const bool asImages = glyphImagesUsable(m_painter.worldTransform());
    QPainterPath outlines;
    const auto run = [&](QPointF at, const QString& part) {
        if (asImages) {
            m_painter.drawText(at, part);
        } else {
            outlines.addText(at, font, part);
        }
    };
    m_painter.setFont(font);
    m_painter.setPen(m_dc.textColor);
    if (origins.empty()) {
        run(QPointF(x0, baseline), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            run(QPointF(x0 + origins[size_t(i)] / scale, baseline), text.mid(i, n));
            i += n - 1;
        }
    }
    if (!outlines.isEmpty()) {
        const bool antialiased = m_painter.testRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.fillPath(outlines, m_dc.textColor);
        m_painter.setRenderHint(QPainter::Antialiasing, antialiased);
    }
    m_transformDirty = true;
    if (updateCp) {
        m_dc.current.rx() += total;
    }
}

void MetafilePlayer::setRasterOp(quint32 rop) {
    const bool rasterOps = m_painter.paintEngine() != nullptr &&
                           m_painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    const bool blendModes = m_painter.paintEngine() != nullptr &&
                            m_painter.paintEngine()->hasFeature(QPaintEngine::BlendModes);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case gdi::SRCAND:
        mode = rasterOps    ? QPainter::RasterOp_SourceAndDestination
               : blendModes ? QPainter::CompositionMode_Multiply
                            : QPainter::CompositionMode_Destination;
        break;
    case gdi::SRCPAINT:
        mode = rasterOps    ? QPainter::RasterOp_SourceOrDestination
               : blendModes ? QPainter::CompositionMode_Screen
                            : QPainter::CompositionMode_SourceOver;
        break;
    case gdi::SRCINVERT:
    case gdi::PATINVERT:
        mode = rasterOps    ? QPainter::RasterOp_SourceXorDestination
               : blendModes ? QPainter::CompositionMode_Difference
                            : QPainter::CompositionMode_Destination;
        break;
    case gdi::DSTINVERT:
        mode =
            rasterOps ? QPainter::RasterOp_NotDestination : QPainter::CompositionMode_Destination;
        break;
    default:
        break;
    }
    m_painter.setCompositionMode(mode);
}

void MetafilePlayer::image(const QRectF& dest, const QImage& image, const QRectF& source,
                           quint32 rop, double opacity) {
    if (image.isNull()) {
        patBlt(dest, rop);
        return;
    }
    const QTransform t = logicalToTarget();
    if (!usable(t) || dest.width() == 0 || dest.height() == 0) {
        return;
    }
    QRectF src = source.normalized() & QRectF(image.rect());
    if (src.isEmpty()) {
        return;
    }
    QImage part = src == QRectF(image.rect()) ? image : image.copy(src.toAlignedRect());
    if (dest.width() < 0 || dest.height() < 0) {
        part = part.mirrored(dest.width() < 0, dest.height() < 0);
    }
    if (rop == gdi::NOTSRCCOPY) {
        part.invertPixels();
    }
    prepare();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, m_dc.stretchMode == gdi::HALFTONE);
    setRasterOp(rop);
    m_painter.setOpacity(std::clamp(opacity, 0.0, 1.0));
    m_painter.drawImage(dest.normalized(), part);
    m_painter.setOpacity(1.0);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void MetafilePlayer::patBlt(const QRectF& dest, quint32 rop) {
    const QTransform t = logicalToTarget();
    if (!usable(t) || m_inPath) {
        return;
    }
    QBrush brush;
    switch (rop) {
    case gdi::PATCOPY:
    case gdi::PATINVERT:
        brush = makeBrush(t);
        break;
    case gdi::BLACKNESS:
        brush = QBrush(Qt::black);
        break;
    case gdi::WHITENESS:
    case gdi::DSTINVERT:
        brush = QBrush(Qt::white);
        break;
    default:
        return;
    }
    if (brush.style() == Qt::NoBrush) {
        return;
    }
    prepare();
    setRasterOp(rop);
    m_painter.fillRect(dest.normalized(), brush);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- Paths ------------------------------------------------------------------------------

void MetafilePlayer::beginPath() {
    m_inPath = true;
    m_path = QPainterPath();
}

void MetafilePlayer::endPath() {
    m_inPath = false;
}

void MetafilePlayer::abortPath() {
    m_inPath = false;
    m_path = QPainterPath();
}

void MetafilePlayer::closeFigure() {
    if (m_inPath) {
        m_path.closeSubpath();
    }
}

void MetafilePlayer::fillPath() {
    if (!m_inPath) {
        drawTargetPath(m_path, true, false);
    }
    m_path = QPainterPath();
}

void MetafilePlayer::strokePath() {
    if (!m_inPath) {
        drawTargetPath(m_path, false, true);
    }
    m_path = QPainterPath();
}

void MetafilePlayer::strokeAndFillPath() {
    if (!m_inPath) {
        drawTargetPath(m_path, true, true);
    }
    m_path = QPainterPath();
}

void MetafilePlayer::selectClipPath(int mode) {
    if (m_inPath || m_path.isEmpty()) {
        return;
    }
    const Qt::FillRule rule = m_dc.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill;
    QRegion region;
    for (const QPolygonF& polygon : m_path.toFillPolygons()) {
        region |= QRegion(polygon.toPolygon(), rule);
    }
    combineClip(region, mode);
    m_path = QPainterPath();
}

// ---- Clipping ---------------------------------------------------------------------------

QRegion MetafilePlayer::regionOfTargetRect(const QPolygonF& corners) const {
    const QRectF bounds = corners.boundingRect();
    if (!std::isfinite(bounds.left()) || !std::isfinite(bounds.right()) ||
        !std::isfinite(bounds.top()) || !std::isfinite(bounds.bottom())) {
        return {};
    }
    // Beyond the target nothing is drawn anyway; bounding keeps the integers in range.
    const QRectF limit = QRectF(m_setup.target).adjusted(-2, -2, 2, 2);
    bool axisAligned = true;
    for (qsizetype i = 0; i + 1 < corners.size(); ++i) {
        if (corners[i].x() != corners[i + 1].x() && corners[i].y() != corners[i + 1].y()) {
            axisAligned = false;
        }
    }
    if (axisAligned) {
        const QRectF r = bounds & limit;
        if (r.isEmpty()) {
            return {};
        }
        const int l = int(std::lround(r.left())), t = int(std::lround(r.top()));
        const int rr = int(std::lround(r.right())), b = int(std::lround(r.bottom()));
        return QRegion(l, t, rr - l, b - t);
    }
    QPolygonF clipped = corners.intersected(QPolygonF(limit));
    return QRegion(clipped.toPolygon(), Qt::OddEvenFill);
}

void MetafilePlayer::combineClip(const QRegion& region, int mode) {
    const QRegion current = m_dc.clip.value_or(m_targetClip);
    switch (mode) {
    case gdi::RGN_AND:
        m_dc.clip = current & region;
        break;
    case gdi::RGN_OR:
        m_dc.clip = current | region;
        break;
    case gdi::RGN_XOR:
        m_dc.clip = current ^ region;
        break;
    case gdi::RGN_DIFF:
        m_dc.clip = current - region;
        break;
    case gdi::RGN_COPY:
        m_dc.clip = region;
        break;
    default:
        return;
    }
    m_clipDirty = true;
}

void MetafilePlayer::intersectClipRect(const QRectF& r) {
    const QTransform t = logicalToTarget();
    if (usable(t)) {
        combineClip(regionOfTargetRect(t.map(QPolygonF(r.normalized()))), gdi::RGN_AND);
    }
}

void MetafilePlayer::excludeClipRect(const QRectF& r) {
    const QTransform t = logicalToTarget();
    if (usable(t)) {
        combineClip(regionOfTargetRect(t.map(QPolygonF(r.normalized()))), gdi::RGN_DIFF);
    }
}

void MetafilePlayer::selectClipRegion(const std::optional<QRegion>& deviceRegion, int mode) {
    if (!deviceRegion) {
        if (mode == gdi::RGN_COPY) {
            m_dc.clip.reset();
            m_clipDirty = true;
        }
        return;
    }
    QRegion region;
    for (const QRect& r : *deviceRegion) {
        region |= regionOfTargetRect(m_setup.deviceToTarget.map(QPolygonF(QRectF(r))));
    }
    combineClip(region, mode);
}

} // namespace zr::reportlib::render::picture_detail
