#include "trace_canvas.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace zr::test {

namespace {

QString num(double v) {
    double r = std::round(v * 100.0) / 100.0;
    if (r == 0.0) {
        r = 0.0; // no "-0"
    }
    return QString::number(r, 'g', 12);
}

QString point(const QPointF& p) {
    return num(p.x()) + ',' + num(p.y());
}

QString box(const QRectF& r) {
    return point(r.topLeft()) + ' ' + num(r.width()) + 'x' + num(r.height());
}

QString colour(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString penText(const QPen& pen) {
    if (pen.style() == Qt::NoPen) {
        return QStringLiteral("none");
    }
    QString out = colour(pen.color());
    switch (pen.style()) {
    case Qt::DotLine:
        out += QStringLiteral(":dot");
        break;
    case Qt::DashLine:
        out += QStringLiteral(":dash");
        break;
    case Qt::DashDotLine:
        out += QStringLiteral(":dashdot");
        break;
    case Qt::DashDotDotLine:
        out += QStringLiteral(":dashdotdot");
        break;
    case Qt::CustomDashLine:
        out += QStringLiteral(":custom");
        break;
    default:
        break;
    }
    return out;
}

QString brushText(const QBrush& brush) {
    return brush.style() == Qt::NoBrush ? QStringLiteral("none") : colour(brush.color());
}

} // namespace

class TraceCanvas::Engine final : public QPaintEngine {
public:
    Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QLineF l = transform().map(lines[i]);
            add(QStringLiteral("line ") + point(l.p1()) + ' ' + point(l.p2()) + ' ' + pen());
        }
    }
    void drawLines(const QLine* lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            add(QStringLiteral("rect ") + box(transform().mapRect(rects[i])) + ' ' + pen() + ' ' +
                brush());
        }
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }
    void drawEllipse(const QRectF& r) override {
        add(QStringLiteral("ellipse ") + box(transform().mapRect(r)) + ' ' + pen() + ' ' + brush());
    }
    void drawEllipse(const QRect& r) override { drawEllipse(QRectF(r)); }
    void drawPath(const QPainterPath& path) override {
        add(QStringLiteral("path ") + box(transform().map(path).boundingRect()) + ' ' + pen() +
            ' ' + brush());
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (mode == PolylineMode && count == 2) {
            const QLineF l(points[0], points[1]);
            drawLines(&l, 1);
            return;
        }
        QString out = QStringLiteral("polygon");
        for (int i = 0; i < count; ++i) {
            out += ' ' + point(transform().map(points[i]));
        }
        add(out + ' ' + pen() + ' ' + (mode == PolylineMode ? QStringLiteral("none") : brush()));
    }
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override {
        QPolygonF polygon;
        for (int i = 0; i < count; ++i) {
            polygon << QPointF(points[i]);
        }
        drawPolygon(polygon.constData(), int(polygon.size()), mode);
    }
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override {
        add(QStringLiteral("image ") + box(transform().mapRect(r)));
    }
    void drawImage(const QRectF& r, const QImage&, const QRectF&,
                   Qt::ImageConversionFlags) override {
        add(QStringLiteral("image ") + box(transform().mapRect(r)));
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QTransform t = transform();
        const QFont font = item.font();
        const QString text = item.text();
        const double advance = QFontMetricsF(font).horizontalAdvance(text) * t.m11();
        QString out = QStringLiteral("text ") + point(t.map(p)) + QStringLiteral(" w=") +
                      num(advance) + QStringLiteral(" sy=") + num(t.m22()) + ' ' +
                      colour(painter()->pen().color()) + QStringLiteral(" px=") +
                      QString::number(QFontInfo(font).pixelSize());
        if (font.bold()) {
            out += QStringLiteral(" bold");
        }
        if (font.italic()) {
            out += QStringLiteral(" italic");
        }
        add(out + QStringLiteral(" \"") + text + '"');
    }

    QStringList calls;

private:
    QTransform transform() const { return painter()->combinedTransform(); }
    QString pen() const { return penText(painter()->pen()); }
    QString brush() const { return brushText(painter()->brush()); }
    void add(const QString& call) { calls.append(call); }
};

TraceCanvas::TraceCanvas(int width, int height, int dpi)
    : m_engine(std::make_unique<Engine>()), m_width(width), m_height(height), m_dpi(dpi) {}

TraceCanvas::~TraceCanvas() = default;

QPaintEngine* TraceCanvas::paintEngine() const {
    return m_engine.get();
}

const QStringList& TraceCanvas::calls() const {
    return m_engine->calls;
}

void TraceCanvas::clear() {
    m_engine->calls.clear();
}

int TraceCanvas::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return m_width;
    case PdmHeight:
        return m_height;
    case PdmWidthMM:
        return int(m_width * 25.4 / m_dpi);
    case PdmHeightMM:
        return int(m_height * 25.4 / m_dpi);
    case PdmNumColors:
        return 0x7FFFFFFF;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dpi;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    }
    return QPaintDevice::metric(metric);
}

} // namespace zr::test
