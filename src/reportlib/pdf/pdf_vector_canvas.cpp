#include "pdf_vector_canvas.h"

#include "pdfwriter/pdf_format.h"
#include "reportlib/render/view_painter.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextItem>

#include <cmath>

namespace zr::reportlib::pdf {

namespace {

// A number with up to four decimals, trailing zeros dropped: matrices and sizes of the small
// scales the drawing code works at need more than the content's usual two decimals.
QByteArray num(double v) {
    if (!std::isfinite(v) || std::abs(v) < 0.00005) {
        return QByteArrayLiteral("0");
    }
    QByteArray text = QByteArray::number(v, 'f', 4);
    while (text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    return text;
}

QByteArray matrix(const QTransform& t) {
    return num(t.m11()) + ' ' + num(t.m12()) + ' ' + num(t.m21()) + ' ' + num(t.m22()) + ' ' +
           num(t.dx()) + ' ' + num(t.dy());
}

QByteArray rgb(const QColor& c) {
    return Num2(c.redF()) + ' ' + Num2(c.greenF()) + ' ' + Num2(c.blueF());
}

// The path's construction operators, each element on its own line.
QByteArray pathOperators(const QPainterPath& path) {
    QByteArray out;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            out += Num2(e.x) + ' ' + Num2(e.y) + " m\r\n";
            break;
        case QPainterPath::LineToElement:
            out += Num2(e.x) + ' ' + Num2(e.y) + " l\r\n";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element to = path.elementAt(i + 2);
                out += Num2(e.x) + ' ' + Num2(e.y) + ' ' + Num2(c2.x) + ' ' + Num2(c2.y) + ' ' +
                       Num2(to.x) + ' ' + Num2(to.y) + " c\r\n";
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    return out;
}

// The brush's visible colour: invalid when nothing is painted.
QColor paintedColor(const QBrush& brush) {
    if (brush.style() == Qt::NoBrush || brush.color().alpha() == 0) {
        return {};
    }
    return brush.color();
}

bool isHatch(Qt::BrushStyle style) {
    return style >= Qt::HorPattern && style <= Qt::DiagCrossPattern;
}

} // namespace

class PdfVectorCanvas::Engine : public QPaintEngine {
public:
    Engine(const PdfCanvasTarget& target, const QTransform& toPage)
        : QPaintEngine(AllFeatures), m_target(target), m_toPage(toPage) {}

    bool begin(QPaintDevice*) override {
        setActive(true);
        return true;
    }
    bool end() override {
        closeClip();
        setActive(false);
        return true;
    }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& changed) override {
        const DirtyFlags flags = changed.state();
        if (flags & DirtyTransform) {
            m_transform = changed.transform();
        }
        if (flags & DirtyPen) {
            m_pen = changed.pen();
        }
        if (flags & DirtyBrush) {
            m_brush = changed.brush();
        }
        if (flags & (DirtyClipPath | DirtyClipRegion)) {
            QPainterPath clip;
            if (flags & DirtyClipPath) {
                clip = changed.clipPath();
            } else {
                clip.addRegion(changed.clipRegion());
            }
            clip = m_transform.map(clip);
            switch (changed.clipOperation()) {
            case Qt::NoClip:
                m_clipped = false;
                m_clip = {};
                break;
            case Qt::ReplaceClip:
                m_clipped = true;
                m_clip = clip;
                break;
            case Qt::IntersectClip:
                m_clip = m_clipped ? m_clip.intersected(clip) : clip;
                m_clipped = true;
                break;
            }
        }
        if (flags & DirtyClipEnabled) {
            m_clipEnabled = changed.isClipEnabled();
        }
    }

    void drawPath(const QPainterPath& path) override { paint(m_transform.map(path), true, true); }

    void drawRects(const QRectF* rects, int count) override {
        QPainterPath path;
        for (int i = 0; i < count; ++i) {
            path.addRect(rects[i]);
        }
        paint(m_transform.map(path), true, true);
    }

    void drawLines(const QLineF* lines, int count) override {
        QPainterPath path;
        for (int i = 0; i < count; ++i) {
            path.moveTo(lines[i].p1());
            path.lineTo(lines[i].p2());
        }
        paint(m_transform.map(path), false, true);
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (count < 2) {
            return;
        }
        QPainterPath path(points[0]);
        for (int i = 1; i < count; ++i) {
            path.lineTo(points[i]);
        }
        if (mode != PolylineMode) {
            path.closeSubpath();
        }
        path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        paint(m_transform.map(path), mode != PolylineMode, true);
    }

    // A point is a square of the pen's width (one pixel at least) in the pen's colour.
    void drawPoints(const QPointF* points, int count) override {
        const QColor color = paintedColor(m_pen.brush());
        if (m_pen.style() == Qt::NoPen || !color.isValid()) {
            return;
        }
        const double w = std::max(1.0, m_pen.widthF());
        QPainterPath path;
        for (int i = 0; i < count; ++i) {
            path.addRect(QRectF(points[i].x() - w / 2 + 0.5, points[i].y() - w / 2 + 0.5, w, w));
        }
        fill(m_transform.map(path), color);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& source) override {
        drawImage(r, pixmap.toImage(), source, Qt::AutoColor);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags) override {
        if (!m_target.image || image.isNull() || r.isEmpty()) {
            return;
        }
        QImage part = image.copy(source.toAlignedRect());
        if (part.isNull()) {
            return;
        }
        // Transparent parts show the white of the paper.
        if (part.hasAlphaChannel()) {
            QImage flat(part.size(), QImage::Format_RGB32);
            flat.fill(Qt::white);
            QPainter(&flat).drawImage(0, 0, part);
            part = flat;
        }
        const QByteArray name = m_target.image(part);
        if (name.isEmpty()) {
            return;
        }
        openClip();
        const QTransform unit(r.width(), 0, 0, -r.height(), r.x(), r.y() + r.height());
        line("q");
        line(matrix(unit * m_transform * m_toPage) + " cm");
        line(name + " Do");
        line("Q");
    }

    // Text items are written as text; what holds no characters (glyphs drawn by index) is
    // written as the outlines Qt gives.
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QString text = item.text();
        const QColor color = paintedColor(m_pen.brush());
        if (!color.isValid() || m_pen.style() == Qt::NoPen) {
            return;
        }
        if (text.isEmpty() || !m_target.fonts) {
            QPaintEngine::drawTextItem(p, item);
            return;
        }
        const QFont font = item.font();
        double size = font.pixelSize();
        if (size <= 0) {
            size = font.pointSizeF() * 96.0 / 72.0;
        }
        if (!(size > 0) || !std::isfinite(size)) {
            return;
        }
        PdfFontKey key;
        key.family = font.family();
        key.bold = font.bold();
        key.italic = font.italic();
        TqdxPDFFontList& fonts = *m_target.fonts;
        TqdxPDFFont& pdfFont = fonts.Font(fonts.FindFont(key));

        // Text space (y up) at the item's baseline, then the painter's and the page's mapping.
        QTransform tm = QTransform(1, 0, 0, -1, p.x(), p.y()) * m_transform * m_toPage;
        const bool bold = key.bold && pdfFont.SyntheticBold();
        const bool italic = key.italic && pdfFont.SyntheticItalic();
        if (italic) {
            tm = QTransform(1, 0, 0.3333, 1, 0, 0) * tm;
        }
        const bool rightToLeft = item.renderFlags() & QTextItem::RightToLeft;
        const QByteArray sizeText = num(size);
        const QList<QByteArray> shown = pdfFont.ShowLine(text, rightToLeft, sizeText);
        if (shown.isEmpty()) {
            return;
        }
        openClip(true);
        const double scale = std::sqrt(std::abs(tm.determinant()));
        // Items of one line (the screen draws a text character by character) share one text
        // object: each moves on from the previous one along the baseline, and a gap wider than a
        // fifth of the size between two of them holds a space, so that the words read apart.
        double along = 0; // the item's start on the line's baseline, from the line's start
        bool sameLine = false;
        if (m_lineValid && m_lineItalic == italic && tm.m11() == m_lineTm.m11() &&
            tm.m12() == m_lineTm.m12() && tm.m21() == m_lineTm.m21() &&
            tm.m22() == m_lineTm.m22()) {
            bool invertible = false;
            const QPointF at = m_lineTm.inverted(&invertible).map(QPointF(tm.dx(), tm.dy()));
            sameLine = invertible && std::abs(at.y()) < size / 100 && at.x() > m_lineAt;
            along = at.x();
        }
        const bool reopened = !m_inText;
        if (!m_inText) {
            line("BT");
            m_inText = true;
            m_textFont.clear();
            m_textColor = {};
            m_textBold = false;
        }
        if (m_textFont != pdfFont.ResourceName() + ' ' + sizeText) {
            m_textFont = pdfFont.ResourceName() + ' ' + sizeText;
            line(m_textFont + " Tf");
        }
        if (m_textColor != color || bold != m_textBold) {
            line(rgb(color) + " rg");
            if (bold) {
                line("2 Tr " + Num2(size * scale / 35.0) + " w " + rgb(color) + " RG");
            } else if (m_textBold) {
                line("0 Tr");
            }
            m_textColor = color;
            m_textBold = bold;
        }
        if (sameLine) {
            if (reopened) {
                // A new text object (a rule was drawn in between) starts at the last item.
                line(matrix(QTransform::fromTranslate(m_lineAt, 0) * m_lineTm) + " Tm");
            }
            if (along - m_lineEnd > size / 5) {
                line(num(m_lineEnd - m_lineAt) + " 0 Td");
                for (const QByteArray& show :
                     pdfFont.ShowLine(QStringLiteral(" "), false, sizeText)) {
                    line(show);
                }
                m_lineAt = m_lineEnd;
            }
            line(num(along - m_lineAt) + " 0 Td");
            m_lineAt = along;
        } else {
            line(matrix(tm) + " Tm");
            m_lineTm = tm;
            m_lineAt = 0;
        }
        for (const QByteArray& show : shown) {
            line(show);
        }
        m_lineEnd = m_lineAt + item.width();
        m_lineItalic = italic;
        m_lineValid = true;
    }

private:
    void line(const QByteArray& text) {
        *m_target.content += text;
        *m_target.content += "\r\n";
    }

    // Ends the open text object.
    void closeText() {
        if (m_inText) {
            if (m_textBold) {
                line("0 Tr");
            }
            line("ET");
            m_inText = false;
        }
    }

    // The clip in force, as a saved graphics state that stays open while it does not change.
    // Anything but text ends the open text object.
    void openClip(bool forText = false) {
        const bool clipped = m_clipped && m_clipEnabled;
        if (m_open && clipped == m_openClipped && (!clipped || m_clip == m_openClip)) {
            if (!forText) {
                closeText();
            }
            return;
        }
        closeClip();
        line("q");
        m_open = true;
        m_openClipped = clipped;
        m_openClip = m_clip;
        if (clipped) {
            const QPainterPath page = m_toPage.map(m_clip);
            if (page.isEmpty()) {
                // Nothing shows through an empty clip.
                line("0 0 m h W n");
            } else {
                line(pathOperators(page) + (m_clip.fillRule() == Qt::OddEvenFill ? "W* n" : "W n"));
            }
        }
    }
    void closeClip() {
        closeText();
        if (m_open) {
            line("Q");
            m_open = false;
        }
    }

    void fill(const QPainterPath& device, const QColor& color) {
        if (device.isEmpty()) {
            return;
        }
        openClip();
        line(rgb(color) + " rg");
        line(pathOperators(m_toPage.map(device)) +
             (device.fillRule() == Qt::OddEvenFill ? "f*" : "f"));
    }

    // Fills (hatches included) and strokes a path given in device pixels.
    void paint(const QPainterPath& device, bool fillIt, bool strokeIt) {
        if (device.isEmpty()) {
            return;
        }
        if (fillIt) {
            const Qt::BrushStyle style = m_brush.style();
            if (isHatch(style) && m_target.pattern) {
                const QByteArray name = m_target.pattern(style, m_brush.color().rgb());
                if (!name.isEmpty() && m_brush.color().alpha() > 0) {
                    openClip();
                    line("/Pattern cs " + name + " scn");
                    line(pathOperators(m_toPage.map(device)) +
                         (device.fillRule() == Qt::OddEvenFill ? "f*" : "f"));
                }
            } else if (const QColor color = paintedColor(m_brush); color.isValid()) {
                fill(device, color);
            }
        }
        const QColor ink = paintedColor(m_pen.brush());
        if (!strokeIt || m_pen.style() == Qt::NoPen || !ink.isValid()) {
            return;
        }
        // A cosmetic pen is as wide on the device whatever the mapping; another one scales with
        // the painter's.
        const double scale = std::sqrt(std::abs(m_transform.determinant()));
        const double deviceWidth = m_pen.isCosmetic() ? std::max(1.0, m_pen.widthF())
                                                      : std::max(1.0, m_pen.widthF() * scale);
        const double pageWidth = deviceWidth * std::sqrt(std::abs(m_toPage.determinant()));
        openClip();
        line(rgb(ink) + " RG");
        line(num(pageWidth) + " w");
        line(m_pen.capStyle() == Qt::RoundCap    ? "1 J"
             : m_pen.capStyle() == Qt::SquareCap ? "2 J"
                                                 : "0 J");
        line(m_pen.joinStyle() == Qt::RoundJoin   ? "1 j"
             : m_pen.joinStyle() == Qt::BevelJoin ? "2 j"
                                                  : "0 j");
        line(pathOperators(m_toPage.map(device)) + "S");
    }

    PdfCanvasTarget m_target;
    QTransform m_toPage;
    QTransform m_transform;
    QPen m_pen;
    QBrush m_brush;
    QPainterPath m_clip; // device pixels
    bool m_clipped = false;
    bool m_clipEnabled = true;
    // The saved state open in the content and the clip it set.
    bool m_open = false;
    bool m_openClipped = false;
    QPainterPath m_openClip;
    // The open text object: its font and size, colour and simulated bold; and the line the last
    // text item was on (the text matrix at the line's start, where on the baseline that item
    // starts and ends, whether the line is slanted).
    bool m_inText = false;
    QByteArray m_textFont;
    QColor m_textColor;
    bool m_textBold = false;
    bool m_lineValid = false; // a text item was written
    QTransform m_lineTm;
    double m_lineAt = 0, m_lineEnd = 0;
    bool m_lineItalic = false;
};

PdfVectorCanvas::PdfVectorCanvas(const PdfCanvasTarget& target, const QTransform& toPage,
                                 QSize pixels)
    : m_engine(std::make_unique<Engine>(target, toPage)), m_pixels(pixels) {}

PdfVectorCanvas::~PdfVectorCanvas() = default;

QPaintEngine* PdfVectorCanvas::paintEngine() const {
    return m_engine.get();
}

int PdfVectorCanvas::metric(PaintDeviceMetric metric) const {
    return render::RecordingDeviceMetric(metric, m_pixels);
}

QByteArray HatchCell(Qt::BrushStyle style, const QByteArray& rgb) {
    // The brush's pixel row 3 and column 4 hold its straight lines; its diagonals run corner to
    // corner, each drawn with its neighbours' so that the corners join.
    const QByteArray horizontal = "0 -3 6 0.75 re f\r\n";
    const QByteArray vertical = "3 -6 0.75 6 re f\r\n";
    const QByteArray rising = "-6 -12 m 6 0 l S\r\n0 -12 m 12 0 l S\r\n-6 -6 m 6 6 l S\r\n";
    const QByteArray falling = "0 0 m 6 -6 l S\r\n-6 0 m 6 -12 l S\r\n0 6 m 12 -6 l S\r\n";
    QByteArray body;
    switch (style) {
    case Qt::HorPattern:
        body = horizontal;
        break;
    case Qt::VerPattern:
        body = vertical;
        break;
    case Qt::CrossPattern:
        body = horizontal + vertical;
        break;
    case Qt::BDiagPattern:
        body = rising;
        break;
    case Qt::FDiagPattern:
        body = falling;
        break;
    case Qt::DiagCrossPattern:
        body = rising + falling;
        break;
    default:
        return {};
    }
    return "q\r\n" + rgb + " rg\r\n" + rgb + " RG\r\n0.53 w\r\n" + body + "Q\r\n";
}

} // namespace zr::reportlib::pdf
