#include "page_renderer.h"

#include "platform/text/codepages.h"
#include "textreport/gravana.h"
#include "textreport/io/gvp_file.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPicture>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>

namespace zr::textreport {

// ---- Layout arithmetic.

PageLayout layoutFor(bool preview, bool tractorFeed) {
    if (!preview) {
        return PageLayout::Print;
    }
    return tractorFeed ? PageLayout::TractorFeed : PageLayout::Preview;
}

PageGeometry pageGeometry(PageLayout layout, int columns, int lines) {
    const int gridWidth = std::max(columns, 0) * kCellWidth;
    const int gridHeight = std::max(lines, 0) * kCellHeight;
    switch (layout) {
    case PageLayout::Preview:
        return {gridWidth + 30, gridHeight + 30, 30, 30};
    case PageLayout::TractorFeed:
        return {gridWidth + 70, gridHeight, 70, 0};
    case PageLayout::Print:
        break;
    }
    return {gridWidth, gridHeight, 0, 0};
}

int roundHalfEven(double x) {
    if (!std::isfinite(x)) {
        return 0;
    }
    const double down = std::floor(x);
    const double diff = x - down;
    double r = down;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(down, 2.0) != 0.0)) {
        r = down + 1.0;
    }
    return int(std::clamp(r, double(INT_MIN), double(INT_MAX)));
}

double widthFactor(int attribute, const WidthFactors& factors) {
    // The attribute code is taken apart like the item decoder does, largest value first; the
    // last pitch found is the one that counts. Factors are indexed expanded, 10, 12, 17, 20.
    double f = 1.0;
    int a = attribute;
    if (a >= 256) {
        a -= 256;
    }
    const struct {
        int value;
        size_t index;
    } steps[] = {{128, 4}, {64, 3}, {32, 2}, {16, 1}, {8, 0}};
    for (const auto& step : steps) {
        if (a >= step.value) {
            a -= step.value;
            f = factors[step.index];
        }
    }
    return f;
}

namespace {

// How each layout moves an item's rectangle: added to left, top, right and bottom.
struct ItemOffsets {
    int left;
    int top;
    int right;
    int bottom;
};

ItemOffsets itemOffsets(PageLayout layout) {
    switch (layout) {
    case PageLayout::Preview:
        return {15, 15, 16, 16};
    case PageLayout::TractorFeed:
        return {36, 0, 36, 0};
    case PageLayout::Print:
        break;
    }
    return {0, 0, 0, 0};
}

} // namespace

QRect itemRectangle(PageLayout layout, int line, int column, qsizetype length, double factor) {
    const ItemOffsets o = itemOffsets(layout);
    const int left = (column - 1) * kCellWidth + o.left;
    const int top = (line - 1) * kCellHeight + o.top;
    const int right = roundHalfEven((double(length) * factor + column - 1) * kCellWidth + o.right);
    const int bottom = line * kCellHeight + o.bottom;
    return QRect(left, top, right - left, bottom - top);
}

QPoint boxCell(PageLayout layout, int line, int column, int k) {
    const PageGeometry g = pageGeometry(layout, 0, 0);
    return {g.x0 / 2 + (column + k - 2) * kCellWidth, g.y0 / 2 + (line - 1) * kCellHeight};
}

namespace {

struct LetterSegments {
    char letter;
    std::span<const BoxSegment> segments;
};

// Segments relative to the cell's top-left corner.
constexpr BoxSegment seg(int x1, int y1, int x2, int y2) {
    return {{x1, y1}, {x2, y2}};
}

// Double lines.
const BoxSegment kDoubleHorizontal[] = {seg(0, 5, 8, 5), seg(0, 8, 8, 8)};
const BoxSegment kDoubleVertical[] = {seg(3, 0, 3, 16), seg(6, 0, 6, 16)};
const BoxSegment kDoubleCross[] = {seg(0, 5, 3, 5), seg(3, 0, 3, 5), seg(6, 5, 8, 5),
                                   seg(6, 0, 6, 5), seg(6, 8, 8, 8), seg(6, 8, 6, 16),
                                   seg(0, 8, 3, 8), seg(3, 8, 3, 16)};
const BoxSegment kDoubleTeeRight[] = {seg(3, 0, 3, 16), seg(6, 5, 8, 5), seg(6, 0, 6, 5),
                                      seg(6, 8, 8, 8), seg(6, 8, 6, 16)};
const BoxSegment kDoubleTeeLeft[] = {seg(0, 5, 3, 5), seg(3, 0, 3, 5), seg(0, 8, 3, 8),
                                     seg(3, 8, 3, 16), seg(6, 0, 6, 16)};
const BoxSegment kDoubleTeeDown[] = {seg(6, 8, 8, 8), seg(6, 8, 6, 16), seg(0, 8, 3, 8),
                                     seg(3, 8, 3, 16), seg(0, 5, 8, 5)};
const BoxSegment kDoubleTeeUp[] = {seg(0, 5, 3, 5), seg(3, 0, 3, 5), seg(6, 5, 8, 5),
                                   seg(6, 0, 6, 5), seg(0, 8, 8, 8)};
const BoxSegment kDoubleDownRight[] = {seg(3, 5, 8, 5), seg(6, 8, 8, 8), seg(3, 5, 3, 16),
                                       seg(6, 8, 6, 16)};
const BoxSegment kDoubleDownLeft[] = {seg(0, 5, 6, 5), seg(0, 8, 3, 8), seg(3, 8, 3, 16),
                                      seg(6, 5, 6, 16)};
const BoxSegment kDoubleUpLeft[] = {seg(0, 5, 3, 5), seg(0, 8, 6, 8), seg(3, 0, 3, 5),
                                    seg(6, 0, 6, 8)};
const BoxSegment kDoubleUpRight[] = {seg(6, 5, 8, 5), seg(4, 8, 8, 8), seg(3, 0, 3, 8),
                                     seg(6, 0, 6, 5)};
// Single lines.
const BoxSegment kHorizontal[] = {seg(0, 7, 8, 7)};
const BoxSegment kVertical[] = {seg(4, 0, 4, 16)};
const BoxSegment kCross[] = {seg(0, 7, 8, 7), seg(4, 0, 4, 16)};
const BoxSegment kTeeDown[] = {seg(0, 7, 8, 7), seg(4, 7, 4, 16)};
const BoxSegment kTeeUp[] = {seg(0, 7, 8, 7), seg(4, 0, 4, 7)};
const BoxSegment kTeeRight[] = {seg(4, 0, 4, 16), seg(4, 7, 8, 7)};
const BoxSegment kTeeLeft[] = {seg(4, 0, 4, 16), seg(0, 7, 4, 7)};
const BoxSegment kDownRight[] = {seg(4, 7, 8, 7), seg(4, 7, 4, 16)};
const BoxSegment kDownLeft[] = {seg(0, 7, 4, 7), seg(4, 7, 4, 16)};
const BoxSegment kUpLeft[] = {seg(0, 7, 4, 7), seg(4, 0, 4, 7)};
const BoxSegment kUpRight[] = {seg(4, 7, 8, 7), seg(4, 0, 4, 7)};

const LetterSegments kBoxLetters[] = {
    {'=', kDoubleHorizontal}, {'I', kDoubleVertical},
    {'#', kDoubleCross},      {'[', kDoubleTeeRight},
    {']', kDoubleTeeLeft},    {'T', kDoubleTeeDown},
    {'V', kDoubleTeeUp},      {'A', kDoubleDownRight},
    {'B', kDoubleDownLeft},   {'C', kDoubleUpLeft},
    {'D', kDoubleUpRight},    {'-', kHorizontal},
    {'i', kVertical},         {'+', kCross},
    {'t', kTeeDown},          {'v', kTeeUp},
    {'<', kTeeRight},         {'>', kTeeLeft},
    {'a', kDownRight},        {'b', kDownLeft},
    {'c', kUpLeft},           {'d', kUpRight},
};

} // namespace

std::vector<BoxSegment> boxLetterSegments(char letter, int m, int t) {
    std::vector<BoxSegment> out;
    for (const LetterSegments& entry : kBoxLetters) {
        if (entry.letter != letter) {
            continue;
        }
        out.reserve(entry.segments.size());
        for (const BoxSegment& s : entry.segments) {
            out.push_back({s.from + QPoint(m, t), s.to + QPoint(m, t)});
        }
        break;
    }
    return out;
}

namespace {

// num / den truncated towards zero, and rounded to the nearest with halves to even (den > 0).
std::int64_t truncRatio(std::int64_t num, std::int64_t den) {
    return num / den;
}

std::int64_t nearestRatio(std::int64_t num, std::int64_t den) {
    std::int64_t q = num / den;
    std::int64_t r = num % den;
    if (r < 0) {
        r += den;
        --q;
    }
    if (2 * r > den || (2 * r == den && q % 2 != 0)) {
        ++q;
    }
    return q;
}

// A margin in device pixels: millimetres at the resolution, truncated, less the unprintable
// strip on its side (0 when the strip is as wide). dpi / 25.4 * mm is computed as
// dpi * mm * 10 / 254 so that whole results are not lost to rounding.
int marginPixels(int dpi, int millimetres, int unprintable) {
    const std::int64_t m = truncRatio(std::int64_t(dpi) * millimetres * 10, 254);
    return m > unprintable ? int(m - unprintable) : 0;
}

} // namespace

QRect graphicPageTarget(const PrinterMetrics& metrics, const TMargens& margins, int columns,
                        int lines, int defaultPitch, TLinha spacing) {
    if (metrics.dpiX <= 0 || metrics.dpiY <= 0 || columns <= 0 || lines <= 0 || defaultPitch <= 0) {
        return {};
    }
    const int left = marginPixels(metrics.dpiX, margins.Left, metrics.offsetLeft);
    const int right = marginPixels(metrics.dpiX, margins.Right, metrics.offsetRight);
    const int top = marginPixels(metrics.dpiY, margins.Top, metrics.offsetTop);
    const int bottom = marginPixels(metrics.dpiY, margins.Bottom, metrics.offsetBottom);
    const std::int64_t availableWidth = std::int64_t(metrics.printableWidth) - left - right;
    const std::int64_t availableHeight = std::int64_t(metrics.printableHeight) - top - bottom;
    if (availableWidth <= 0 || availableHeight <= 0) {
        // Margins wider than the paper leave no room to draw in (and no scale that would fit).
        return {};
    }

    std::int64_t width = nearestRatio(std::int64_t(metrics.dpiX) * columns, defaultPitch);
    std::int64_t height =
        nearestRatio(std::int64_t(metrics.dpiY) * lines, spacing == TLinha::Oito ? 8 : 6);

    // The scale is kept as the fraction scaleNum / scaleDen (needed / available) so that the
    // shrunk size is exact: dividing by a rounded scale can come out one pixel short.
    std::int64_t scaleNum = 1;
    std::int64_t scaleDen = 1;
    if (availableWidth < width) {
        scaleNum = width;
        scaleDen = availableWidth;
    }
    if (height > availableHeight && height * scaleDen > scaleNum * availableHeight) {
        scaleNum = height;
        scaleDen = availableHeight;
    }
    if (scaleNum > scaleDen) {
        width = truncRatio(width * scaleDen, scaleNum);
        height = truncRatio(height * scaleDen, scaleNum);
    }
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) {
        return {};
    }
    return QRect(left, top, int(width), int(height));
}

// ---- Drawing.

namespace {

const QColor kSilver(192, 192, 192);
const QColor kZebra(233, 254, 236);
const QColor kHighlight(255, 255, 128);
// The classic button face: the holes of continuous paper look the same whatever the desktop's
// colour scheme.
const QColor kButtonFace(0xF0, 0xF0, 0xF0);

// Lines are drawn one device pixel wide, from their first point up to, not including, their
// second: a flat-capped cosmetic pen paints exactly that, so segments that meet end to end
// neither overlap nor leave a gap.
QPen linePen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, 0, style, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    return pen;
}

// The grid's font: Courier New (a metric-compatible face where it is missing), 10 points at the
// 96 dots per inch of picture units. Point sizes are resolved against the painter's device, so
// the size is scaled by 96 / its resolution: a recorded picture then holds the text at the same
// size in picture units as a screen would.
QFont gridFont(const QPaintDevice* device) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    const int dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    font.setPointSizeF(10.0 * 96.0 / dpi);
    return font;
}

// The font of an item and how to draw it into its cells: `stretch` widens the text so that
// every character advances exactly one cell (the face's own advance at this size is a fraction
// of a unit short, which over a long item would add up to whole cells and leave the text out of
// step with the grid); the baseline lies `ascent` below the top of the cell.
struct CellFont {
    QFont font;
    qreal stretch = 1.0;
    qreal ascent = 0.0;
};

CellFont cellFont(const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics(font, device);
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('M'));
    return {font, advance > 0 ? kCellWidth / advance : 1.0, metrics.ascent()};
}

// The fonts of a page's items, made once per weight and slant (underlining changes no advance).
class ItemFonts {
public:
    ItemFonts(const QFont& base, const QPaintDevice* device) : m_base(base), m_device(device) {}

    CellFont font(const DecodedItem& d) {
        std::optional<CellFont>& slot = m_fonts[(d.negrito ? 1u : 0u) + (d.italico ? 2u : 0u)];
        if (!slot) {
            QFont f = m_base;
            f.setBold(d.negrito);
            f.setItalic(d.italico);
            slot = cellFont(f, m_device);
        }
        CellFont out = *slot;
        out.font.setUnderline(d.sublinhado);
        return out;
    }

private:
    QFont m_base;
    const QPaintDevice* m_device;
    std::array<std::optional<CellFont>, 4> m_fonts;
};

// A rectangle given by two corners, filled without an outline: it covers one unit less each
// way than the corners span, as such fills always have.
void fillWithoutOutline(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour) {
    painter.fillRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), colour);
}

void drawBackground(QPainter& painter, PageLayout layout, const PageGeometry& g, int lines,
                    const TPreviewOptions& options) {
    const int w = g.width;
    const int h = g.height;
    if (layout == PageLayout::Print) {
        painter.fillRect(QRect(0, 0, w, h), Qt::white);
        painter.setPen(linePen(Qt::black));
        return;
    }
    painter.fillRect(QRect(0, 0, w, h), options.CorPapelPreview);
    painter.setBrush(Qt::NoBrush);
    if (layout == PageLayout::Preview) {
        // Outlines cover their corners' span less the right and bottom edge: (0, 0)-(w, h)
        // outlines the picture's outermost pixels.
        painter.setPen(linePen(Qt::black));
        painter.drawRect(QRect(0, 0, w - 1, h - 1));
        painter.setPen(linePen(kSilver, Qt::DotLine));
        painter.drawRect(QRect(12, 12, (w - 13) - 12 - 1, (h - 13) - 12 - 1));
    } else {
        painter.setPen(linePen(kSilver, Qt::DotLine));
        painter.drawLine(QPoint(31, 0), QPoint(31, h));
        painter.drawLine(QPoint(w - 32, 0), QPoint(w - 32, h));
        painter.setPen(linePen(kSilver));
        painter.setBrush(kButtonFace);
        for (int i = 1; i <= lines / 3; ++i) {
            const int y = (i - 1) * 48 + 20;
            // Holes of 11 x 11 units, (10, y)-(21, y + 11) and (w - 21, y)-(w - 10, y + 11).
            painter.drawEllipse(QRect(10, y, 10, 10));
            painter.drawEllipse(QRect(w - 21, y, 10, 10));
        }
        painter.setBrush(Qt::NoBrush);
    }
    if (options.PaginaZebrada) {
        for (int i = 1; i <= lines - 1; i += 2) {
            if (layout == PageLayout::Preview) {
                fillWithoutOutline(painter, 15, (i - 1) * 16 + 15, w - 16, i * 16 + 16, kZebra);
            } else {
                fillWithoutOutline(painter, 33, (i - 1) * 16, w - 33, i * 16 + 1, kZebra);
            }
        }
    }
    painter.setPen(linePen(options.CorLetraPreview));
}

bool hasKind(QByteArrayView item, char kind) {
    return item.size() > 13 && item[13] == kind;
}

int pageOfItem(QByteArrayView item) {
    int page = 0;
    if (item.size() < 4 || !gvp::parseNumber(item.first(4), page)) {
        return -1;
    }
    return page;
}

} // namespace

void TGravana::drawPage(int page, QPainter& painter, bool preview) {
    ReportState& s = state();
    if (preview) {
        s.paginaAtual = page;
    }

    // The page's items, copied: drawing runs event handlers (progress, cancel, error
    // messages) that may close the report and free the store.
    QList<QByteArray> items;
    if (const PageStore* st = store()) {
        const auto [first, last] = itensDaPagina(page);
        items.reserve(last - first);
        for (qsizetype i = first; i < last; ++i) {
            const QByteArrayView item = st->item(i);
            if (!hasKind(item, 'C')) {
                items.append(item.toByteArray());
            }
        }
    }
    if (!s.destaque.isEmpty() && pageOfItem(s.destaque) == page) {
        items.append(s.destaque);
    }

    const PageLayout layout = layoutFor(preview, OpcoesPreview.Remalina);
    const PageGeometry geometry = pageGeometry(layout, TamanhoQteColunas, TamanhoQteLinhas);
    const WidthFactors factors = s.sequencias.fatores;
    const QPaintDevice* device = painter.device();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFont font = gridFont(device);
    painter.setFont(font);
    ItemFonts fonts(font, device);
    drawBackground(painter, layout, geometry, TamanhoQteLinhas, OpcoesPreview);

    const bool pollCancel = !preview && MostrarProgresso;
    for (const QByteArray& item : items) {
        if (pollCancel) {
            if (QCoreApplication::instance()) {
                QCoreApplication::processEvents();
            }
            if (cancelRequested()) {
                break;
            }
        }
        const DecodedItem& d = DecodificarItem(item);
        const QColor colour = d.cor;
        QByteArray text = d.texto;

        if (d.tipo == 'B') {
            painter.setPen(linePen(colour));
            for (qsizetype k = 0; k < text.size(); ++k) {
                const QPoint cell = boxCell(layout, d.linha, d.coluna, int(k) + 1);
                for (const BoxSegment& segment : boxLetterSegments(text[k], cell.x(), cell.y())) {
                    painter.drawLine(segment.from, segment.to);
                }
            }
            text.clear();
        }
        if (text.isEmpty()) {
            continue;
        }

        // The text is drawn as into a picture of its own, one cell per character, then
        // stretched onto its rectangle: compressed and expanded pitches take their true share
        // of the line while the font stays the same.
        const qsizetype n = text.size();
        const double itemWidth = double(n) * kCellWidth;
        const QRect target =
            itemRectangle(layout, d.linha, d.coluna, n, widthFactor(d.atributo, factors));
        painter.save();
        painter.translate(target.left(), target.top());
        painter.scale(target.width() / itemWidth, double(target.height()) / kCellHeight);
        if (!preview) {
            painter.fillRect(QRectF(0, 0, itemWidth, kCellHeight), Qt::white);
        } else if (d.tipo == 'M') {
            painter.fillRect(QRectF(0, 0, itemWidth, kCellHeight), kHighlight);
        }
        const CellFont f = fonts.font(d);
        painter.setFont(f.font);
        painter.setPen(QPen(colour));
        painter.scale(f.stretch, 1.0);
        painter.drawText(QPointF(0, f.ascent), codepages::fromCp1252(text));
        painter.restore();
    }
    painter.restore();
}

QString TGravana::TextoDaPagina(int page) {
    if (!store()) {
        return {};
    }
    // The page's items, copied: decoding may run macros, and the store may change meanwhile.
    std::vector<QByteArray> items;
    const auto [first, last] = itensDaPagina(page);
    for (qsizetype i = first; i < last; ++i) {
        items.emplace_back(store()->item(i).toByteArray());
    }
    std::map<int, QString> lines;
    for (const QByteArray& item : items) {
        const DecodedItem& d = DecodificarItem(item);
        if (d.tipo == 'C' || d.linha < 1) {
            continue; // control sequences say nothing
        }
        const QString text =
            d.tipo == 'B' ? QString(d.texto.size(), u' ') : codepages::fromCp1252(d.texto);
        // A later item overwrites the rest of the line from its column on, as on paper.
        QString& line = lines[d.linha];
        const qsizetype at = std::max(0, d.coluna - 1);
        if (line.size() < at) {
            line.append(QString(at - line.size(), u' '));
        } else {
            line.truncate(at);
        }
        line += text;
    }
    QString out;
    int next = lines.empty() ? 0 : lines.begin()->first;
    for (const auto& [number, line] : lines) {
        for (; next < number; ++next) {
            out += u'\n';
        }
        QString shown = line;
        while (!shown.isEmpty() && shown.back().isSpace()) {
            shown.chop(1);
        }
        out += shown + u'\n';
        next = number + 1;
    }
    // Lines that hold only blanks before the first text and after the last say nothing.
    qsizetype lead = 0;
    while (lead < out.size() && out[lead] == u'\n') {
        ++lead;
    }
    out.remove(0, lead);
    while (out.endsWith(QLatin1String("\n\n"))) {
        out.chop(1);
    }
    return out;
}

QSize TGravana::DesenharPagina(int page, QPicture& picture, bool preview) {
    const PageGeometry geometry = pageGeometry(layoutFor(preview, OpcoesPreview.Remalina),
                                               TamanhoQteColunas, TamanhoQteLinhas);
    picture = QPicture();
    // Ended here rather than by the painter's destructor: ending the recording writes to it,
    // which may run out of memory, and a destructor must not throw.
    auto painter = std::make_unique<QPainter>(&picture);
    try {
        drawPage(page, *painter, preview);
        painter->end();
    } catch (const std::bad_alloc&) {
        try {
            painter->end();
        } catch (const std::bad_alloc&) {
        }
        if (painter->isActive()) {
            (void)painter.release(); // destroying it would end it again, and throw
        }
        throw;
    }
    // The picture's frame is the page, whatever was drawn in it.
    picture.setBoundingRect(QRect(0, 0, geometry.width, geometry.height));
    return {geometry.width, geometry.height};
}

void TGravana::ImprimirPaginaGrafica(int page) {
    if (!impressoraGrafica) {
        return;
    }
    const QRect target =
        graphicPageTarget(impressoraGrafica->metrics(), Margens, TamanhoQteColunas,
                          TamanhoQteLinhas, state().sequencias.pitchPadrao, TamanhoQteLPP);
    QPicture picture;
    const QSize size = DesenharPagina(page, picture, false);
    if (!target.isEmpty() && !size.isEmpty()) {
        drawPagePicture(impressoraGrafica->painter(), picture, QRectF(target));
    }
    m_graphicPageStarted = true;
}

QImage renderPageImage(TGravana& report, int page, double scale) {
    if (!std::isfinite(scale) || scale <= 0) {
        return {};
    }
    const PageGeometry geometry =
        pageGeometry(PageLayout::Print, report.TamanhoQteColunas, report.TamanhoQteLinhas);
    const double w = std::round(geometry.width * scale);
    const double h = std::round(geometry.height * scale);
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) {
        return {};
    }
    QPicture picture;
    report.DesenharPagina(page, picture, false);
    QImage image(int(w), int(h), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    drawPagePicture(painter, picture, QRectF(0, 0, w, h));
    painter.end();
    return image;
}

void drawPagePicture(QPainter& painter, const QPicture& picture, const QRectF& target) {
    const QRect frame = picture.boundingRect();
    if (frame.isEmpty() || target.isEmpty()) {
        return;
    }
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / frame.width(), target.height() / frame.height());
    painter.translate(-frame.topLeft());
    // Replaying scales by the device's resolution over the screen's (the picture's own
    // resolution); undo that, the page's units are mapped above.
    const QPaintDevice* device = painter.device();
    if (device && device->logicalDpiX() > 0 && device->logicalDpiY() > 0) {
        painter.scale(double(picture.logicalDpiX()) / device->logicalDpiX(),
                      double(picture.logicalDpiY()) / device->logicalDpiY());
    }
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

} // namespace zr::textreport
