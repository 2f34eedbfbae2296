#include "preview_glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace zr::textreport::ui {

namespace {

constexpr int kSide = 20;

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(30, 90, 180);
const QColor kGreen(20, 130, 60);
const QColor kRed(190, 30, 30);
const QColor kYellow(235, 190, 60);

QPen ink(const QColor& c = kInk, double width = 1.2) {
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner, its lines of text optional.
void sheet(QPainter& p, const QRectF& r, bool lines) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
    if (lines) {
        p.setPen(ink(QColor(120, 120, 120), 1.0));
        for (double y = r.top() + 6; y < r.bottom() - 2; y += 3) {
            p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
        }
    }
}

void magnifier(QPainter& p, QPointF centre, double radius) {
    p.setPen(ink(kInk, 1.6));
    p.setBrush(QColor(210, 230, 250));
    p.drawEllipse(centre, radius, radius);
    p.setPen(ink(kInk, 2.6));
    const double d = radius * 0.72;
    p.drawLine(centre + QPointF(d, d), centre + QPointF(d + 5, d + 5));
}

// A filled triangle pointing left (dir -1) or right (dir 1), its point at x.
void arrowHead(QPainter& p, double x, int dir) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    const double back = x - dir * 7.0;
    p.drawPolygon(QPolygonF({QPointF(x, 10), QPointF(back, 4), QPointF(back, 16)}));
}

void bar(QPainter& p, double x) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(x, 4, 2, 12));
}

void draw(QPainter& p, PreviewGlyph glyph) {
    switch (glyph) {
    case PreviewGlyph::Imprimir:
        sheet(p, QRectF(5.5, 1.5, 9, 8), false);
        p.setPen(ink());
        p.setBrush(QColor(170, 170, 180));
        p.drawRoundedRect(QRectF(1.5, 8.5, 17, 7), 1.5, 1.5);
        p.setBrush(kPaper);
        p.drawRect(QRectF(5.5, 13.5, 9, 5));
        p.setPen(ink(kGreen, 1.6));
        p.drawPoint(QPointF(15.5, 10.5));
        break;
    case PreviewGlyph::Pdf: {
        sheet(p, QRectF(3.5, 1.5, 13, 17), false);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRect(QRectF(1, 9, 15, 7));
        QFont f = p.font();
        f.setPixelSize(7);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 9, 15, 7), Qt::AlignCenter, QStringLiteral("PDF"));
        break;
    }
    case PreviewGlyph::Email:
        p.setPen(ink());
        p.setBrush(kPaper);
        p.drawRect(QRectF(1.5, 4.5, 17, 11));
        p.drawPolyline(QPolygonF({QPointF(1.5, 4.5), QPointF(10, 11), QPointF(18.5, 4.5)}));
        break;
    case PreviewGlyph::Salvar:
        p.setPen(ink());
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(2.5, 2.5, 15, 15), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(5.5, 2.5, 9, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(5.5, 11.5, 9, 6));
        break;
    case PreviewGlyph::Abrir:
        p.setPen(ink());
        p.setBrush(kYellow.darker(115));
        p.drawPolygon(QPolygonF({QPointF(1.5, 4.5), QPointF(7, 4.5), QPointF(9, 6.5),
                                 QPointF(16.5, 6.5), QPointF(16.5, 16.5), QPointF(1.5, 16.5)}));
        p.setBrush(kYellow);
        p.drawPolygon(QPolygonF({QPointF(1.5, 16.5), QPointF(4.5, 9.5), QPointF(19, 9.5),
                                 QPointF(16.5, 16.5)}));
        break;
    case PreviewGlyph::Procurar:
        sheet(p, QRectF(1.5, 1.5, 11, 15), true);
        magnifier(p, QPointF(11.5, 10.5), 4);
        break;
    case PreviewGlyph::Primeira:
        bar(p, 3);
        arrowHead(p, 6, -1);
        arrowHead(p, 12, -1);
        break;
    case PreviewGlyph::Anterior:
        arrowHead(p, 6, -1);
        break;
    case PreviewGlyph::Direto: {
        sheet(p, QRectF(3.5, 1.5, 13, 17), false);
        QFont f = p.font();
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kBlue);
        p.drawText(QRectF(3, 5, 13, 12), Qt::AlignCenter, QStringLiteral("#"));
        break;
    }
    case PreviewGlyph::Proxima:
        arrowHead(p, 14, 1);
        break;
    case PreviewGlyph::Ultima:
        arrowHead(p, 8, 1);
        arrowHead(p, 14, 1);
        bar(p, 15);
        break;
    case PreviewGlyph::Largura:
        sheet(p, QRectF(4.5, 1.5, 11, 17), true);
        p.setPen(ink(kBlue, 1.6));
        p.drawLine(QPointF(1.5, 10), QPointF(18.5, 10));
        p.drawPolyline(QPolygonF({QPointF(4, 7.5), QPointF(1.5, 10), QPointF(4, 12.5)}));
        p.drawPolyline(QPolygonF({QPointF(16, 7.5), QPointF(18.5, 10), QPointF(16, 12.5)}));
        break;
    case PreviewGlyph::Full:
        sheet(p, QRectF(4.5, 1.5, 11, 17), true);
        break;
    case PreviewGlyph::Aumenta:
    case PreviewGlyph::Diminui:
        magnifier(p, QPointF(8, 8), 6);
        p.setPen(ink(kInk, 1.6));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
        if (glyph == PreviewGlyph::Aumenta) {
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
        }
        break;
    case PreviewGlyph::Fechar:
        p.setPen(ink());
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(4.5, 1.5, 10, 17));
        p.setPen(ink(kYellow, 2.0));
        p.drawPoint(QPointF(12, 10));
        break;
    }
}

QPixmap render(PreviewGlyph glyph, int scale) {
    QPixmap pixmap(kSide * scale, kSide * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, glyph);
    p.end();
    return pixmap;
}

} // namespace

QIcon previewGlyph(PreviewGlyph glyph) {
    QIcon icon;
    icon.addPixmap(render(glyph, 1));
    icon.addPixmap(render(glyph, 2));
    return icon;
}

} // namespace zr::textreport::ui
