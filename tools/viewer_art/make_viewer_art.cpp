// Draws the viewer's window pictures (backgrounds, about artwork, close buttons, icons) into
// resources/images. Run it again only to change the pictures; the PNG files are kept in the tree.
//
//   cmake --build BUILD --target make_viewer_art
//   QT_QPA_PLATFORM=offscreen BUILD/bin/make_viewer_art resources/images

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>

namespace {

const QColor kNavy(0x00, 0x33, 0x66); // the main window's client colour
const QColor kBlue(0x0b, 0x4f, 0x8f);
const QColor kPale(0xd8, 0xe6, 0xf3);

QFont sans(int pixelSize, bool bold, bool italic = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// A sheet of a character-grid report, drawn as a stylised page with text rows.
void drawSheet(QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRect(r.translated(5, 5));
    p.setBrush(QColor(0xfa, 0xfb, 0xfd));
    p.drawRect(r);
    // Continuous-form margins with their sprocket holes.
    const qreal margin = r.width() * 0.07;
    p.setBrush(QColor(0xe4, 0xea, 0xf1));
    p.drawRect(QRectF(r.left(), r.top(), margin, r.height()));
    p.drawRect(QRectF(r.right() - margin, r.top(), margin, r.height()));
    p.setBrush(QColor(0xb8, 0xc4, 0xd2));
    const qreal hole = margin * 0.35;
    for (qreal y = r.top() + margin; y < r.bottom() - hole; y += margin * 1.2) {
        p.drawEllipse(QPointF(r.left() + margin / 2, y), hole, hole);
        p.drawEllipse(QPointF(r.right() - margin / 2, y), hole, hole);
    }
    // Rows of "text": a title, then columns of figures.
    const qreal left = r.left() + margin * 1.8;
    const qreal right = r.right() - margin * 1.8;
    const qreal row = r.height() / 24;
    p.setBrush(QColor(0x35, 0x4a, 0x63));
    p.drawRect(QRectF(left, r.top() + row * 1.5, (right - left) * 0.55, row * 0.55));
    p.setBrush(QColor(0x9a, 0xa9, 0xba));
    for (int i = 0; i < 17; ++i) {
        const qreal y = r.top() + row * (4 + i);
        const qreal lengths[] = {0.42, 0.30, 0.36, 0.25, 0.40};
        p.drawRect(QRectF(left, y, (right - left) * lengths[i % 5], row * 0.38));
        p.drawRect(QRectF(right - (right - left) * 0.22, y, (right - left) * 0.22, row * 0.38));
    }
    p.setBrush(QColor(0x35, 0x4a, 0x63));
    p.drawRect(QRectF(left, r.top() + row * 21.5, right - left, 1.5));
}

void fillBackdrop(QPainter& p, const QRect& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, kNavy);
    g.setColorAt(0.5, kBlue);
    g.setColorAt(1.0, kNavy);
    p.fillRect(r, g);
}

QImage background(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    fillBackdrop(p, img.rect());
    // Fade the sides into the client colour, so a screen wider than the picture shows no seam.
    const int fade = width / 8;
    QLinearGradient left(0, 0, fade, 0);
    left.setColorAt(0, kNavy);
    left.setColorAt(1, QColor(kNavy.red(), kNavy.green(), kNavy.blue(), 0));
    p.fillRect(QRect(0, 0, fade, height), left);
    QLinearGradient right(width, 0, width - fade, 0);
    right.setStops(left.stops());
    p.fillRect(QRect(width - fade, 0, fade, height), right);

    const qreal scale = height / 600.0;
    const qreal sheetH = 300 * scale;
    const qreal sheetW = sheetH * 0.78;
    const QFont title = sans(int(44 * scale), true);
    const QFont subtitle = sans(int(19 * scale), false);
    const QString titleText = QStringLiteral("ZeralVisualizador");
    const QString subtitleText = QStringLiteral("Relatórios na tela, na impressora e em PDF");
    const qreal gap = 50 * scale;
    const qreal textW = std::max(QFontMetricsF(title).horizontalAdvance(titleText),
                                 QFontMetricsF(subtitle).horizontalAdvance(subtitleText));
    // The sheet and the texts form one group, centred on the picture.
    const qreal sheetX = (width - (sheetW + gap + textW)) / 2;
    const qreal sheetY = (height - sheetH) / 2;
    drawSheet(p, QRectF(sheetX, sheetY, sheetW, sheetH));

    const qreal textX = sheetX + sheetW + gap;
    p.setPen(Qt::white);
    p.setFont(title);
    p.drawText(QPointF(textX, height / 2.0 - 6 * scale), titleText);
    p.setPen(kPale);
    p.setFont(subtitle);
    p.drawText(QPointF(textX + 2, height / 2.0 + 28 * scale), subtitleText);
    p.fillRect(QRectF(textX + 2, height / 2.0 + 44 * scale, 260 * scale, 2), kPale);
    return img;
}

QImage aboutArtwork() {
    QImage img(480, 300, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    fillBackdrop(p, img.rect());
    p.setPen(QPen(kPale, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 479, 299));

    drawSheet(p, QRectF(352, 112, 92, 118));

    p.setPen(Qt::white);
    p.setFont(sans(28, true));
    p.drawText(QPointF(24, 48), QStringLiteral("ZeralVisualizador"));
    p.setPen(kPale);
    p.setFont(sans(12, false));
    p.drawText(QPointF(26, 70), QStringLiteral("Visualizador de relatórios"));

    // The version and build date labels of the window sit at x 145, y 131 and 147.
    p.setFont(sans(11, false));
    const QRect versionCaption(40, 129, 98, 15);
    const QRect dateCaption(40, 145, 98, 15);
    p.drawText(versionCaption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Versão:"));
    p.drawText(dateCaption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Edição:"));

    // Caption above the site link picture (at 336, 78).
    p.setFont(sans(10, false));
    p.drawText(QRect(300, 63, 157, 14), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Visite nosso site"));

    p.fillRect(QRect(24, 250, 432, 1), QColor(0xd8, 0xe6, 0xf3, 120));
    p.setFont(sans(11, false));
    p.drawText(QRect(24, 258, 432, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Terravel Informática"));
    p.drawText(QRect(24, 258, 432, 16), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Todos os direitos reservados"));
    return img;
}

QImage closeButton(bool highlighted) {
    QImage img(31, 24, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(1.5, 1.5, 28, 21), 4, 4);
    if (highlighted) {
        p.fillPath(frame, QColor(0xc4, 0x2b, 0x1c));
        p.setPen(QPen(QColor(0xff, 0xd0, 0xc8), 1));
    } else {
        p.fillPath(frame, QColor(255, 255, 255, 40));
        p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    }
    p.drawPath(frame);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 7.5), QPointF(20, 16.5));
    p.drawLine(QPointF(20, 7.5), QPointF(11, 16.5));
    return img;
}

QImage siteLink() {
    QImage img(121, 15, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f = sans(11, true);
    f.setUnderline(true);
    p.setFont(f);
    p.setPen(QColor(0xff, 0xe0, 0x8a));
    p.drawText(img.rect(), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("www.terravel.com.br"));
    return img;
}

QImage programIcon() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, kBlue);
    g.setColorAt(1, kNavy);
    p.fillPath(tile, g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfa, 0xfb, 0xfd));
    p.drawRect(QRectF(8, 5, 16, 22));
    p.setBrush(QColor(0x35, 0x4a, 0x63));
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(11, 9 + i * 3.5, i % 2 ? 7 : 10, 1.5));
    }
    return img;
}

QImage printerIcon() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x25, 0x33, 0x44), 1));
    p.setBrush(QColor(0xfa, 0xfb, 0xfd)); // paper going in
    p.drawRect(QRectF(9.5, 2.5, 13, 10));
    QLinearGradient body(0, 11, 0, 24);
    body.setColorAt(0, QColor(0x8c, 0xa0, 0xb6));
    body.setColorAt(1, QColor(0x4e, 0x63, 0x7a));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.5, 11.5, 27, 12), 2, 2);
    p.setBrush(QColor(0x7c, 0xd3, 0x4a));
    p.drawEllipse(QPointF(25, 15), 1.3, 1.3);
    p.setBrush(QColor(0xfa, 0xfb, 0xfd)); // printed sheet
    p.drawRect(QRectF(7.5, 19.5, 17, 10));
    p.setPen(QPen(kBlue, 1));
    p.drawLine(QPointF(10, 23), QPointF(22, 23));
    p.drawLine(QPointF(10, 26), QPointF(18, 26));
    return img;
}

bool save(const QImage& image, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG", 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_viewer_art OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = save(background(800, 600), out, "fundo_800x600.png");
    ok = save(background(1024, 768), out, "fundo_1024x768.png") && ok;
    ok = save(background(1280, 600), out, "fundo_1280x600.png") && ok;
    ok = save(aboutArtwork(), out, "sobre_480x300.png") && ok;
    ok = save(closeButton(false), out, "fechar_off.png") && ok;
    ok = save(closeButton(true), out, "fechar_on.png") && ok;
    ok = save(siteLink(), out, "site_121x15.png") && ok;
    ok = save(programIcon(), out, "zeral_32.png") && ok;
    ok = save(printerIcon(), out, "impressora_32.png") && ok;
    return ok ? 0 : 1;
}
