#include "pdf_page_content.h"

#include "pdf_jpeg.h"
#include "pdf_vector_canvas.h"

#include "pdfwriter/pdf_format.h"
#include "pdfwriter/qdx_md5.h"
#include "platform/text/codepages.h"
#include "reportlib/render/draw_text.h"
#include "reportlib/render/memo_layout.h"
#include "reportlib/render/view_painter.h"

#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <stdexcept>

namespace zr::reportlib::pdf {

using render::Round;

namespace {

// Bitmaps of rasterised views are scaled down beyond this many pixels (128 MB at 32 bits a
// pixel), and a side never exceeds what a JPEG can hold.
constexpr double kMaxRasterPixels = 32.0 * 1024 * 1024;
constexpr double kMaxRasterSide = 65000;
// Ruled lines under a text: more than any real object has, few enough for absurd heights.
constexpr int kMaxUnderlines = 10000;

// Held, with the text engine's lock, while a text object is written: the fonts' glyph lists
// and the shared engine's state belong to one object at a time.
std::recursive_mutex& pdfUnitLock() {
    static std::recursive_mutex lock;
    return lock;
}

// ---- Forms of numbers, colours and points.

// The operator text of a colour: "0 0 0" for black, "1 1 1" for white and for the transparent
// colour, otherwise the three components / 255 (system colours resolved first).
QByteArray colorText(int color) {
    if (color == 0) {
        return QByteArrayLiteral("0 0 0");
    }
    if (color == clWhite || color == clTransparent) {
        return QByteArrayLiteral("1 1 1");
    }
    const QColor c = render::toQColor(color);
    return Num2(c.red() / 255.0) + ' ' + Num2(c.green() / 255.0) + ' ' + Num2(c.blue() / 255.0);
}

// The dash pattern of a frame style for a line `w` report units wide. A line of no width is
// drawn solid: a pattern of zeros is an error for PDF readers.
QByteArray dashLine(int style, double w) {
    if (!(w > 0)) {
        return QByteArrayLiteral("[] 0 d");
    }
    const QByteArray D = Num2(6 * w) + ' ';
    const QByteArray d = Num2(2 * w) + ' ';
    switch (style) {
    case fsDash:
        return '[' + D + "] 0 d";
    case fsDot:
        return '[' + d + D + "] 0 d";
    case fsDashDot:
        return '[' + D + D + d + D + "] 0 d";
    case fsDashDotDot:
        return '[' + D + D + d + D + d + D + "] 0 d";
    default:
        return QByteArrayLiteral("[] 0 d");
    }
}

// The line width operator for `w` report units; negative widths are taken as 0.
QByteArray lineWidth(double w) {
    return Num2(w > 0 ? w * 0.75 : 0) + " w";
}

// Writing into the page content of one view.
class Content {
public:
    explicit Content(PdfPageState& state) : m_state(state) {}

    void line(const QByteArray& text) {
        m_state.content += text;
        m_state.content += "\r\n";
    }
    double x(double reportX) const { return reportX * 0.75 + m_state.ox; }
    double y(double reportY) const { return m_state.height - m_state.oy - reportY * 0.75; }
    // A mapped point as "x y".
    QByteArray point(double reportX, double reportY) const {
        return Num2(x(reportX)) + ' ' + Num2(y(reportY));
    }
    static QByteArray pair(double a, double b) { return Num2(a) + ' ' + Num2(b); }

    PdfPageState& state() { return m_state; }

private:
    PdfPageState& m_state;
};

// ---- Marked content of tagged output.

// Writes what `write` writes as an artifact when the output is tagged and no sequence is open;
// an artifact that holds nothing is dropped. (A throwing `write` leaves the marking to
// EmitView, which drops the view's content.)
template <class Write> void asArtifact(Content& out, Write write) {
    PdfPageState& s = out.state();
    if (!s.tagged || s.marking != 0) {
        write();
        return;
    }
    const qsizetype mark = s.content.size();
    out.line("/Artifact BMC");
    const qsizetype body = s.content.size();
    s.marking = 1;
    write();
    s.marking = 0;
    if (s.content.size() == body) {
        s.content.truncate(mark);
    } else {
        out.line("EMC");
    }
}

// Opens one element of the page's structure (`figure`: a Figure with `alt` as its alternate
// text, else a P) when the output is tagged and no sequence is open; false, writing nothing,
// otherwise. Reading order: bands top to bottom, the views of a band left to right.
bool beginElement(Content& out, const TqdxView& view, bool figure, const QString& alt) {
    PdfPageState& s = out.state();
    if (!s.tagged || s.marking != 0) {
        return false;
    }
    PdfStructItem item;
    const auto* band = qdx_cast<TqdxBand>(view.Parent());
    item.bandTop = band ? band->AbsTop() : view.AbsTop();
    item.left = view.AbsLeft();
    item.top = view.AbsTop();
    item.mcid = int(s.structItems.size());
    item.figure = figure;
    item.alt = alt;
    out.line(QByteArray(figure ? "/Figure" : "/P") + " <</MCID " + QByteArray::number(item.mcid) +
             ">> BDC");
    s.structItems.push_back(std::move(item));
    s.marking = 2;
    return true;
}

void endElement(Content& out) {
    out.line("EMC");
    out.state().marking = 0;
}

// Writes what `write` writes as one element (see beginElement); an element that holds nothing
// is dropped and takes no identifier.
template <class Write>
void asElement(Content& out, const TqdxView& view, bool figure, const QString& alt, Write write) {
    PdfPageState& s = out.state();
    const qsizetype mark = s.content.size();
    if (!beginElement(out, view, figure, alt)) {
        write();
        return;
    }
    const qsizetype body = s.content.size();
    write();
    if (s.content.size() == body) {
        s.content.truncate(mark);
        s.structItems.pop_back();
        s.marking = 0;
        return;
    }
    endElement(out);
}

// The alternate text of a picture: its hint, else its name.
QString alternateText(const TqdxView& view) {
    const QString hint = codepages::fromCp1252(view.Hint).trimmed();
    return hint.isEmpty() ? codepages::fromCp1252(view.Name()) : hint;
}

// The view's box in report units: absolute left and top, width and height.
struct Box {
    double L, T, W, H;
    explicit Box(const TqdxView& view)
        : L(view.AbsLeft()), T(view.AbsTop()), W(view.Width()), H(view.Height()) {}
};

// ---- Links.

// Addresses a viewer may open from the file: the schemes the preview follows itself.
bool isWebAddress(const QString& address) {
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

void emitLink(Content& out, const TqdxView& view, const Box& box) {
    PdfPageState& state = out.state();
    if (view.URL.isEmpty()) {
        return;
    }
    const QString url = QString::fromLatin1(view.URL);
    PdfLink link;
    if (url.startsWith(QLatin1Char('#'))) {
        int page = 0;
        double top = 0;
        if (!state.findAnchor || !state.findAnchor(url.mid(1), page, top)) {
            return;
        }
        link.targetPage = page;
        link.top = top;
    } else if (url.startsWith(QLatin1Char('@'))) {
        bool ok = false;
        const int number = url.mid(1).trimmed().toInt(&ok);
        if (!ok) {
            throw std::invalid_argument("'" + url.mid(1).toStdString() +
                                        "' is not a valid integer value");
        }
        link.targetPage = number - 1;
    } else {
        if (!isWebAddress(url)) {
            return;
        }
        link.web = true;
        link.address = url.trimmed();
    }
    // A page link must lead to a page of the report: one to nowhere would be an annotation
    // with no destination.
    if (!link.web &&
        (link.targetPage < 0 || (state.pageCount >= 0 && link.targetPage >= state.pageCount))) {
        return;
    }
    if (!state.writer) {
        return;
    }
    link.rect = out.point(box.L, box.T + box.H) + ' ' + out.point(box.L + box.W, box.T);
    link.object = state.writer->reserve();
    state.annots.push_back(link.object);
    state.links.push_back(std::move(link));
}

// ---- Frames, lines, shapes and check boxes.

// The frame's sides around the box (left, top, right, bottom in report units).
void writeFrame(Content& out, const TqdxView& view, double left, double top, double right,
                double bottom);

// The frame, an artifact of tagged output.
void emitFrame(Content& out, const TqdxView& view, double left, double top, double right,
               double bottom) {
    asArtifact(out, [&] { writeFrame(out, view, left, top, right, bottom); });
}

void writeFrame(Content& out, const TqdxView& view, double left, double top, double right,
                double bottom) {
    const TqdxFrame& frame = view.Frame;
    if (frame.Typ == 0 || frame.Color() == clTransparent) {
        return;
    }
    // Sides drawn alike (colour, dashes, width) in a row are one path under one setting.
    QByteArray setting;
    QByteArray path;
    const auto flush = [&] {
        if (!path.isEmpty()) {
            out.line(setting);
            out.line(path + 'S');
            path.clear();
        }
    };
    const auto stroke = [&](const TqdxFrameLine& line, double x1, double y1, double x2, double y2) {
        const QByteArray wanted = colorText(line.Color) + " RG " +
                                  dashLine(line.Style, line.Width) + ' ' + lineWidth(line.Width);
        if (wanted != setting) {
            flush();
            setting = wanted;
        }
        path += out.point(x1, y1) + " m " + out.point(x2, y2) + " l ";
    };
    // A side from (x1, y1) to (x2, y2); `before` and `after`: the sides it meets at its ends
    // are drawn too. A double line is two lines of the width, a width either side of the
    // side's place: the outer one reaches round the corners, the inner one stops short of
    // them, as on screen.
    const auto side = [&](const TqdxFrameLine& line, bool leftOrTop, double x1, double y1,
                          double x2, double y2, bool before, bool after) {
        if (line.Style != fsDouble) {
            stroke(line, x1, y1, x2, y2);
            return;
        }
        const double w = line.Width;
        double a = before ? w : 0, b = after ? w : 0;
        if (leftOrTop) {
            a = -a;
            b = -b;
        }
        if (y1 == y2) {
            stroke(line, x1 + a, y1 - w, x2 - b, y2 - w);
            stroke(line, x1 - a, y1 + w, x2 + b, y2 + w);
        } else {
            stroke(line, x1 - w, y1 + a, x2 - w, y2 - b);
            stroke(line, x1 + w, y1 - a, x2 + w, y2 + b);
        }
    };
    const bool l = frame.Typ & ftLeft, r = frame.Typ & ftRight;
    const bool t = frame.Typ & ftTop, b = frame.Typ & ftBottom;
    if (t) {
        side(frame.TopLine, true, left, top, right, top, l, r);
    }
    if (r) {
        side(frame.RightLine, false, right, top, right, bottom, t, b);
    }
    if (b) {
        side(frame.BottomLine, false, left, bottom, right, bottom, l, r);
    }
    if (l) {
        side(frame.LeftLine, true, left, top, left, bottom, t, b);
    }
    flush();
}

void emitLine(Content& out, const TqdxCustomLineView& view, const Box& box) {
    const TqdxFrame& frame = view.Frame;
    const double fw = frame.Width();
    out.line(dashLine(frame.Style(), fw));
    out.line(colorText(frame.Color()) + " RG");
    out.line(lineWidth(fw));
    out.line(out.point(box.L, box.T) + " m");
    out.line(out.point(box.L + box.W, box.T + box.H) + " l");
    out.line("S");

    // An arrow head with its tip at (ex, ey), pointing away from (ax, ay); mapped points.
    const auto arrow = [&](double ex, double ey, double ax, double ay) {
        const double dx = ax - ex;
        const double dy = ay - ey;
        const double length = std::hypot(dx, dy);
        if (!(length > 0) || !std::isfinite(length)) {
            return; // no direction: a line of no length has no arrow heads
        }
        const double ux = dx / length;
        const double uy = dy / length;
        const double bx = ex + ux * view.ArrowLength * 0.75;
        const double by = ey + uy * view.ArrowLength * 0.75;
        const double wx = -uy * view.ArrowWidth * 0.75;
        const double wy = ux * view.ArrowWidth * 0.75;
        out.line(dashLine(frame.Style(), fw));
        out.line(Content::pair(bx + wx, by + wy) + " m");
        out.line(Content::pair(ex, ey) + " l");
        out.line(Content::pair(bx - wx, by - wy) + " l");
        if (view.ArrowSolid) {
            out.line("1 j");
            out.line(colorText(frame.Color()) + " rg");
            out.line("b");
        } else {
            out.line("S");
        }
    };
    const double x0 = out.x(box.L), y0 = out.y(box.T);
    const double x1 = out.x(box.L + box.W), y1 = out.y(box.T + box.H);
    if (view.ArrowStart) {
        arrow(x0, y0, x1, y1);
    }
    if (view.ArrowEnd) {
        arrow(x1, y1, x0, y0);
    }
}

void emitShape(Content& out, const TqdxShapeView& view, const Box& box) {
    const TqdxFrame& frame = view.Frame;
    const double L = box.L, T = box.T, W = box.W, Ht = box.H;
    const bool diagonal = view.Shape == skDiagonal1 || view.Shape == skDiagonal2;
    out.line(dashLine(frame.Style(), frame.Width()));
    out.line(colorText(frame.Color()) + " RG");
    out.line(lineWidth(frame.Width()));
    if (!diagonal) {
        out.line(colorText(view.Color) + " rg");
    }
    const QByteArray close = view.Color == clTransparent ? "S" : "B";
    const auto p = [&](double x, double y) { return out.point(x, y); };
    switch (view.Shape) {
    case skRoundRectangle: {
        const double r = view.Curve == 0 ? 7.48 : view.Curve * 3.74;
        const double q = r / 2;
        const double R = L + W, B = T + Ht;
        out.line(p(L + r, B) + " m");
        out.line(p(R - r, B) + " l");
        out.line(p(R - q, B) + ' ' + p(R, B - q) + ' ' + p(R, B - r) + " c");
        out.line(p(R, T + r) + " l");
        out.line(p(R, T + q) + ' ' + p(R - q, T) + ' ' + p(R - r, T) + " c");
        out.line(p(L + r, T) + " l");
        out.line(p(L + q, T) + ' ' + p(L, T + q) + ' ' + p(L, T + r) + " c");
        out.line(p(L, B - r) + " l");
        out.line(p(L, B - q) + ' ' + p(L + q, B) + ' ' + p(L + r, B) + " c");
        out.line(close);
        break;
    }
    case skEllipse: {
        // Four cubic arcs; 1 - k2 = k1 - 1 = 0.5523 is the usual quarter-circle constant.
        const double w = W / 2, h = Ht / 2;
        const double k1 = 1.5522847498, k2 = 0.4477152502;
        out.line(p(L + 2 * w, T + h) + " m");
        out.line(p(L + 2 * w, T + k1 * h) + ' ' + p(L + k1 * w, T + 2 * h) + ' ' +
                 p(L + w, T + 2 * h) + " c");
        out.line(p(L + k2 * w, T + 2 * h) + ' ' + p(L, T + k1 * h) + ' ' + p(L, T + h) + " c");
        out.line(p(L, T + k2 * h) + ' ' + p(L + k2 * w, T) + ' ' + p(L + w, T) + " c");
        out.line(p(L + k1 * w, T) + ' ' + p(L + 2 * w, T + k2 * h) + ' ' + p(L + 2 * w, T + h) +
                 " c");
        out.line(close);
        break;
    }
    case skTriangle:
        out.line(p(L + W / 2, T) + " m " + p(L + W, T + Ht) + " l " + p(L, T + Ht) + " l " +
                 p(L + W / 2, T) + " l");
        out.line(close);
        break;
    case skDiamond:
        out.line(p(L + W / 2, T) + " m " + p(L + W, T + Ht / 2) + " l " + p(L + W / 2, T + Ht) +
                 " l " + p(L, T + Ht / 2) + " l " + p(L + W / 2, T) + " l");
        out.line(close);
        break;
    case skDiagonal1:
        out.line(p(L, T + Ht) + " m");
        out.line(p(L + W, T) + " l");
        out.line("S");
        break;
    case skDiagonal2:
        out.line(p(L, T) + " m");
        out.line(p(L + W, T + Ht) + " l");
        out.line("S");
        break;
    default: // skRectangle, and kinds this version does not know
        out.line(p(L, T + Ht) + ' ');
        out.line(Content::pair(W * 0.75, Ht * 0.75) + " re");
        out.line(close);
        break;
    }
}

// The box's colour, the mark its state shows as the screen draws it (the glyphs with the
// same strokes, clipped to the box), then its frame.
void emitCheckBox(Content& out, const TqdxCheckBoxView& view, const Box& box) {
    const double L = box.L, T = box.T, R = box.L + box.W, B = box.T + box.H;
    const auto rectangle = [&] {
        out.line(out.point(L, T) + " m " + out.point(R, T) + " l " + out.point(R, B) + " l " +
                 out.point(L, B) + " l h");
    };
    if (view.Color != clTransparent) {
        out.line(colorText(view.Color) + " rg");
        rectangle();
        out.line("f");
    }
    const render::CheckBoxMark mark = render::CheckBoxMarkOf(view);
    if (mark != render::CheckBoxMark::None && view.CheckColor != clTransparent) {
        out.line("q");
        rectangle();
        out.line("W n");
        out.line("[] 0 d");
        out.line(colorText(view.CheckColor) + " RG");
        const auto segment = [&](double x1, double y1, double x2, double y2) {
            out.line(out.point(x1, y1) + " m");
            out.line(out.point(x2, y2) + " l");
        };
        const double midX = L + std::floor(box.W / 2), midY = T + std::floor(box.H / 2);
        switch (mark) {
        case render::CheckBoxMark::CrossGlyph:
        case render::CheckBoxMark::CheckGlyph: {
            out.line("1 J 1 j");
            out.line(lineWidth(0.12 * box.H));
            const QPainterPath glyph = render::CheckBoxGlyph(mark, L, T, box.W, box.H);
            for (int i = 0; i < glyph.elementCount(); ++i) {
                const QPainterPath::Element e = glyph.elementAt(i);
                out.line(out.point(e.x, e.y) + (e.isMoveTo() ? " m" : " l"));
            }
            break;
        }
        case render::CheckBoxMark::LineCross:
            out.line(lineWidth(std::max(1.0, view.Frame.Width())));
            segment(L, T, R, B);
            segment(L, B, R, T);
            break;
        case render::CheckBoxMark::Plus:
            out.line(lineWidth(std::max(1.0, view.Frame.Width())));
            segment(L + 3, midY, R - 2, midY);
            segment(midX, T + 3, midX, B - 2);
            break;
        case render::CheckBoxMark::Minus:
            out.line(lineWidth(std::max(1.0, view.Frame.Width())));
            segment(L + 3, midY, R - 2, midY);
            break;
        case render::CheckBoxMark::None:
            break;
        }
        out.line("S");
        out.line("Q");
    }
    emitFrame(out, view, L, T, R, B);
}

// ---- Rasterised views.

// Sets the frame's width to 0 while the view is drawn into its bitmap; the frame is written
// as vector lines afterwards. Every side's own width comes back as it was.
class FrameWidthSuspension {
public:
    explicit FrameWidthSuspension(TqdxFrame& frame)
        : m_frame(frame),
          m_width(frame.Width()), m_lines{frame.LeftLine.Width, frame.TopLine.Width,
                                          frame.RightLine.Width, frame.BottomLine.Width} {
        if (m_width > 0) {
            m_frame.SetWidth(0);
        }
    }
    ~FrameWidthSuspension() {
        m_frame.SetWidth(m_width);
        m_frame.LeftLine.Width = m_lines[0];
        m_frame.TopLine.Width = m_lines[1];
        m_frame.RightLine.Width = m_lines[2];
        m_frame.BottomLine.Width = m_lines[3];
    }
    FrameWidthSuspension(const FrameWidthSuspension&) = delete;
    FrameWidthSuspension& operator=(const FrameWidthSuspension&) = delete;

private:
    TqdxFrame& m_frame;
    double m_width;
    std::array<double, 4> m_lines;
};

bool isBarCode(const TqdxView& view) {
    return view.ClassName() == "TqdxBarCodeView";
}

// Adds an image or pattern index to a page's list of uses, once.
void use(std::vector<int>& uses, int index) {
    if (std::find(uses.begin(), uses.end(), index) == uses.end()) {
        uses.push_back(index);
    }
}

// Writes a stream object of the document: its dictionary's entries, then `data` as it is
// (encrypted when the document is); its object number.
int writeStreamObject(PdfPageState& state, const QByteArray& entries, const QByteArray& data) {
    PdfObjectWriter& writer = *state.writer;
    const int number = writer.beginObject();
    const QByteArray sealed = state.encryptor ? state.encryptor->Encrypt(number, data) : data;
    writer.line("<< " + entries + " /Length " + QByteArray::number(sealed.size()) + " >>");
    writer.line("stream");
    writer.raw(sealed);
    writer.line("");
    writer.line("endstream");
    writer.endObject();
    return number;
}

// The index in the image table of the JPEG `jpeg`: an image with the same bytes written
// earlier in the document (a logo on every page is one object), or a new image object written
// now. -1 when nothing can be written.
int imageIndex(PdfPageState& state, const QByteArray& jpeg, int width, int height) {
    const QByteArray digest = TqdxMD5::Digest(jpeg);
    if (const auto known = state.imageByDigest.find(digest); known != state.imageByDigest.end()) {
        return known->second;
    }
    const int number =
        writeStreamObject(state,
                          "/Type /XObject /Subtype /Image /ColorSpace /DeviceRGB "
                          "/BitsPerComponent 8 /Filter /DCTDecode /Width " +
                              QByteArray::number(width) + " /Height " + QByteArray::number(height),
                          jpeg);
    const int index = int(state.imageObjects.size());
    state.imageObjects.push_back(number);
    state.imageByDigest.emplace(digest, index);
    return index;
}

// Draws the view into a bitmap with its own drawing and places it as a JPEG image.
void emitRaster(Content& out, TqdxView& view, const Box& box, bool isText) {
    PdfPageState& state = out.state();
    {
        FrameWidthSuspension suspended(view.Frame);
        const bool plainBrush = view.BrushStyle == bsSolid || view.BrushStyle == bsClear;
        double scale = (state.printOptimized || isText) && plainBrush ? 3 : 1;
        double shift = 0;
        if (isBarCode(view) && !state.printOptimized) {
            scale = 2;
            shift = 2;
        }
        // Absurd sizes are drawn at a scale that keeps the bitmap within bounds.
        const double fit = std::min({std::sqrt(kMaxRasterPixels / (box.W * box.H)),
                                     kMaxRasterSide / box.W, kMaxRasterSide / box.H});
        if (fit < scale) {
            shift *= fit / scale;
            scale = fit;
        }
        const int extra = int(std::ceil(scale));
        const int width = Round(scale * box.W) + extra;
        const int height = Round(scale * box.H) + extra;
        QImage bitmap(width, height, QImage::Format_RGB32);
        if (state.writer && !bitmap.isNull()) {
            bitmap.fill(Qt::white);
            {
                QPainter canvas(&bitmap);
                try {
                    render::DrawView(canvas, view, scale, scale, shift - Round(box.L * scale),
                                     -Round(box.T * scale));
                } catch (...) {
                    // What was drawn before the failure is kept.
                }
            }
            const bool sharp = isBarCode(view) || qdx_cast<TqdxCustomLineView>(&view) ||
                               qdx_cast<TqdxShapeView>(&view);
            const int quality = std::clamp(state.quality, 1, 100);
            const int jpegQuality = sharp ? quality : std::max(1, quality - 5);
            // A bitmap drawn before (a logo on every page) is not encoded again.
            QCryptographicHash hash(QCryptographicHash::Md5);
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(bitmap.constBits()),
                                        bitmap.sizeInBytes()));
            const QByteArray drawn = hash.result() + QByteArray::number(width) + 'x' +
                                     QByteArray::number(height) + 'q' +
                                     QByteArray::number(jpegQuality);
            int index = -1;
            if (const auto known = state.imageByBitmap.find(drawn);
                known != state.imageByBitmap.end()) {
                index = known->second;
            } else {
                const QByteArray jpeg = EncodeJpeg(bitmap, jpegQuality);
                if (!jpeg.isEmpty()) {
                    index = imageIndex(state, jpeg, width, height);
                    state.imageByBitmap.emplace(drawn, index);
                }
            }
            bitmap = QImage();
            if (index >= 0) {
                use(state.imageUses, index);
                asElement(out, view, true, alternateText(view), [&] {
                    out.line("q");
                    out.line(Content::pair(box.W * 0.75, 0) + ' ' + Content::pair(0, box.H * 0.75) +
                             ' ' + out.point(box.L, box.T + box.H) + " cm");
                    out.line("/Im" + QByteArray::number(index) + " Do");
                    out.line("Q");
                });
            }
        }
    }
    emitFrame(out, view, box.L, box.T, box.L + box.W, box.T + box.H);
}

// The resource name of the colored tiling pattern of a hatch, written at its first use. The
// pattern's cell starts at the paper's top-left corner, where the screen's brush starts.
QByteArray patternName(PdfPageState& state, Qt::BrushStyle style, QRgb color) {
    const QByteArray key =
        QByteArray::number(int(style)) + ':' + QByteArray::number(color) + ':' + Num2(state.height);
    int index = -1;
    if (const auto known = state.patternByKey.find(key); known != state.patternByKey.end()) {
        index = known->second;
    } else {
        const QColor c(color);
        const QByteArray cell =
            HatchCell(style, Num2(c.redF()) + ' ' + Num2(c.greenF()) + ' ' + Num2(c.blueF()));
        if (cell.isEmpty() || !state.writer) {
            return {};
        }
        const int number = writeStreamObject(
            state,
            "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 -6 6 0] /XStep 6 "
            "/YStep 6 /Resources << >> /Matrix [1 0 0 1 0 " +
                Num2(state.height) + "]",
            cell);
        index = int(state.patternObjects.size());
        state.patternObjects.push_back(number);
        state.patternByKey.emplace(key, index);
    }
    use(state.patternUses, index);
    return "/P" + QByteArray::number(index);
}

// Draws the view with its own screen drawing onto a vector canvas, four device pixels to the
// report unit: its text is written as text, its hatch as a pattern, its pictures as images.
// The frame follows as vector lines.
void emitVector(Content& out, TqdxView& view, const Box& box) {
    PdfPageState& state = out.state();
    constexpr double kScale = 4;
    {
        FrameWidthSuspension suspended(view.Frame);
        PdfCanvasTarget target;
        target.content = &state.content;
        target.fonts = state.fonts;
        target.image = [&state](const QImage& image) -> QByteArray {
            if (!state.writer) {
                return {};
            }
            const QByteArray jpeg =
                EncodeJpeg(image, std::max(1, std::clamp(state.quality, 1, 100) - 5));
            const int index =
                jpeg.isEmpty() ? -1 : imageIndex(state, jpeg, image.width(), image.height());
            if (index < 0) {
                return {};
            }
            use(state.imageUses, index);
            return "/Im" + QByteArray::number(index);
        };
        target.pattern = [&state](Qt::BrushStyle style, QRgb color) {
            return patternName(state, style, color);
        };
        const QTransform toPage(0.75 / kScale, 0, 0, -0.75 / kScale, state.ox,
                                state.height - state.oy);
        const auto pixels = [](double v) {
            return int(std::clamp(std::ceil(v * kScale) + 1, 1.0, double(1 << 28)));
        };
        asElement(out, view, false, {}, [&] {
            out.line("q");
            {
                std::scoped_lock locks(render::TextLock(), pdfUnitLock());
                PdfVectorCanvas canvas(target, toPage,
                                       QSize(pixels(box.L + box.W), pixels(box.T + box.H)));
                QPainter painter(&canvas);
                try {
                    render::DrawView(painter, view, kScale, kScale, 0, 0);
                } catch (...) {
                    // What was drawn before the failure is kept.
                }
            }
            out.line("Q");
        });
    }
    emitFrame(out, view, box.L, box.T, box.L + box.W, box.T + box.H);
}

// The page's background: its picture as an image, a plain colour as a filled rectangle, no
// colour as nothing; then its frame.
void emitBackground(Content& out, TqdxPictureView& view, const Box& box) {
    if (!view.Picture.Empty()) {
        emitRaster(out, view, box, false);
        return;
    }
    if (view.Color != clTransparent) {
        const double R = box.L + box.W, B = box.T + box.H;
        out.line("q");
        out.line(colorText(view.Color) + " rg");
        out.line(out.point(box.L, box.T) + " m");
        out.line(out.point(R, box.T) + " l");
        out.line(out.point(R, B) + " l");
        out.line(out.point(box.L, B) + " l");
        out.line("h f");
        out.line("Q");
    }
    emitFrame(out, view, box.L, box.T, box.L + box.W, box.T + box.H);
}

// ---- Text objects.

void emitText(Content& out, TqdxCustomMemoView& view, const Box& box) {
    PdfPageState& state = out.state();
    const double L = box.L, T = box.T, W = box.W, Ht = box.H;
    const TqdxFrame& frame = view.Frame;
    const double f = frame.Width();

    out.line("q");
    out.line(out.point(L - f, T + Ht + f) + ' ' +
             Content::pair((W + 2 * f) * 0.75, (Ht + 2 * f) * 0.75) + " re");
    out.line("W");
    out.line("n");

    // The shadow, the colour, the frame and the ruled lines are an artifact of tagged output;
    // the paragraphs of the text are its elements.
    const bool decorations = state.tagged && state.marking == 0;
    if (decorations) {
        out.line("/Artifact BMC");
        state.marking = 1;
    }

    const double sw = frame.ShadowWidth;
    const double W1 = W - sw;
    const double H1 = Ht - sw;
    double right = L + W;
    double bottom = T + Ht;
    if (frame.DropShadow) {
        out.line(colorText(frame.ShadowColor) + " rg");
        out.line(colorText(frame.ShadowColor) + " RG");
        out.line(out.point(L + W1, T + H1 + sw) + ' ' + Content::pair(sw * 0.75, H1 * 0.75) +
                 " re");
        out.line("B");
        out.line(out.point(L + sw, T + H1 + sw) + ' ' + Content::pair(W1 * 0.75, sw * 0.75) +
                 " re");
        out.line("B");
        right = L + W1;
        bottom = T + H1;
    }

    {
        std::scoped_lock locks(render::TextLock(), pdfUnitLock());
        // The highlight replaces font and colour on the page itself.
        if (view.Highlight.Active) {
            view.SetFont(view.Highlight.Font);
            view.Color = view.Highlight.Color;
        }
        render::ExpandMemoPageMacros(view);

        // The engine as the memo's own drawing prepares it, at scale 1: the lines break at
        // the words where they break on the screen.
        render::TqdxDrawText& engine = render::SharedDrawText();
        const TqdxFont& font = view.Font();
        engine.SetUseDefaultCharset(view.UseDefaultCharset);
        engine.UseFont(font);
        engine.UseOptions(view.WordWrap, view.AllowHTMLTags, view.Rotation(), view.Wysiwyg,
                          view.Clipped, view.WordBreak, view.RTLReading);
        engine.UseSpacing(view.LineSpacing, view.CharSpacing, view.ParagraphGap);
        const render::TextRect area =
            render::MemoTextRect(view, render::SetDrawingArea(view, 1, 1, 0, 0));
        engine.UseArea(area, area, 1, 1, 1);
        engine.UseText(view.Memo);
        engine.UseParagraphBreaks(view.FirstParaBreak, view.LastParaBreak);
        const double h = engine.LineStep();

        if (view.Color != clTransparent) {
            out.line(colorText(view.Color) + " rg");
            out.line(out.point(L, bottom) + ' ' +
                     Content::pair((right - L) * 0.75, (bottom - T) * 0.75) + " re");
            out.line("f");
        }
        emitFrame(out, view, L, T, right, bottom);

        const int rotation = view.Rotation();
        if (rotation > 0) {
            const double a = rotation * 3.1415926535897932385 / 180;
            // Rounding noise (cos 90° = 6e-17) would print as "0.00": quarter turns give
            // exact zeros and ones.
            const auto snap = [](double v) { return std::round(v * 1e9) / 1e9; };
            const double s = snap(std::sin(a));
            const double c = snap(std::cos(a));
            double cx = L + W / 2;
            double cy = T + Ht / 2;
            if (rotation != 90 && rotation != 180 && rotation != 270) {
                const bool across =
                    (rotation >= 45 && rotation <= 135) || (rotation >= 225 && rotation <= 315);
                const double w = across ? Ht : W;
                const double v = across ? W : Ht;
                cx = L + (w * c + v * s) / 2;
                cy = T + (w * s + v * c) / 2;
            }
            out.line(Content::pair(c, s) + ' ' + Content::pair(-s, c) + ' ' + out.point(cx, cy) +
                     " cm");
        }

        // Ruled lines as the screen draws them: unrotated texts only, in a visible colour.
        if (view.Underlines && rotation == 0 && frame.Color() != clTransparent && h > 0) {
            const double steps = Ht / h;
            const int count = std::isfinite(steps)
                                  ? int(std::clamp(std::trunc(steps), 0.0, double(kMaxUnderlines)))
                                  : 0;
            for (int n = 1; n <= count; ++n) {
                const double y = T + view.GapY + 1 + n * h;
                out.line(colorText(frame.Color()) + " RG");
                out.line(lineWidth(f));
                out.line(out.point(L, y) + " m");
                out.line(out.point(right, y) + " l");
                out.line("S");
            }
        }

        if (decorations) {
            out.line("EMC");
            state.marking = 0;
        }

        // The engine's lines (and where paragraphs start) are copied: measuring below lays out
        // one line at a time.
        std::vector<QString> lines;
        std::vector<bool> starts;
        const TWideStrings& wrapped = engine.Lines();
        lines.reserve(size_t(wrapped.Count()));
        for (int i = 0; i < wrapped.Count(); ++i) {
            lines.push_back(wrapped.Strings(i));
            starts.push_back(i == 0 || (engine.LineFlags(i) & render::lfFirstLine) != 0);
        }
        bool inParagraph = false;
        if (!lines.empty() && state.fonts) {
            PdfFontKey key;
            key.family = codepages::fromCp1252(font.Name);
            key.bold = font.Style & fsBold;
            key.italic = font.Style & fsItalic;
            key.underline = font.Style & fsUnderline;
            key.strikeOut = font.Style & fsStrikeOut;
            TqdxPDFFont& pdfFont = state.fonts->Font(state.fonts->FindFont(key));
            const int z = std::abs(font.Size());
            out.line(pdfFont.ResourceName() + ' ' + QByteArray::number(z) + " Tf");
            const QByteArray fontColor = colorText(font.Color == clTransparent ? 0 : font.Color);
            out.line(fontColor + " rg");
            const double tc = view.CharSpacing * 0.75;
            if (tc != 0) {
                out.line(Num2(tc) + " Tc");
            }
            const bool bold = (font.Style & fsBold) && pdfFont.SyntheticBold();
            const bool italic = (font.Style & fsItalic) && pdfFont.SyntheticItalic();
            engine.UseSpacing(view.LineSpacing, view.CharSpacing, 0);

            const int n = int(lines.size());
            const double gapX = view.GapX;
            const double gapY = view.GapY;
            const bool across =
                (rotation > 44 && rotation < 136) || (rotation > 224 && rotation <= 315);
            const double rw = across ? H1 : W1;
            const double rh = across ? W1 : H1;
            for (int i = 0; i < n; ++i) {
                const QString& text = lines[size_t(i)];
                if (text.isEmpty()) {
                    continue;
                }
                const double g = i == 0 ? view.ParagraphGap : 0;
                const double cs = view.HAlign == haRight ? tc : 0;
                TWideStrings one;
                one.Add(text);
                engine.UseText(one);
                const double lw = engine.MeasureWidth();
                double x = 0;
                double y = 0;
                if (rotation == 0) {
                    const double s0 = L + gapX + gapX / 2 + g + z * 0.01;
                    const double aw = W1 - 2 * gapX - g;
                    double left = s0;
                    if (view.HAlign == haRight) {
                        left = s0 + aw - lw;
                    } else if (view.HAlign == haCenter) {
                        left = s0 + (aw - lw) / 2;
                    }
                    x = out.x(left) + cs;
                    const double t0 = T + gapY - z * 0.1;
                    const double ah = H1 - 2 * gapY;
                    double baseline = t0 + (i + 1) * h;
                    if (view.VAlign == vaBottom) {
                        baseline = t0 + ah - (n - i - 1) * h;
                    } else if (view.VAlign == vaCenter) {
                        baseline = t0 + (ah - n * h) / 2 + (i + 1) * h;
                    }
                    y = out.y(baseline);
                } else {
                    double left = -rw / 2;
                    if (view.HAlign == haRight) {
                        left = rw / 2 - lw;
                    } else if (view.HAlign == haCenter) {
                        left = -lw / 2;
                    }
                    x = left * 0.75 + cs;
                    double u = (i + 1) * h - rh / 2;
                    if (view.VAlign == vaBottom) {
                        u = rh / 2 - (n - i - 1) * h;
                    } else if (view.VAlign == vaCenter) {
                        u = (i + 1) * h - n * h / 2;
                    }
                    y = -u * 0.75 + z * 0.4;
                }
                if (inParagraph && starts[size_t(i)]) {
                    endElement(out);
                    inParagraph = false;
                }
                if (!inParagraph) {
                    inParagraph = beginElement(out, view, false, {});
                }
                out.line("BT");
                out.line(Content::pair(x, y) + " Td");
                if (italic) {
                    out.line("1 0 0.3333 1 " + Content::pair(x, y) + " Tm");
                }
                if (bold) {
                    out.line("2 Tr " + Num2(z / 35.0) + " w " + fontColor + " RG");
                }
                const QList<QByteArray> shown =
                    pdfFont.ShowLine(text, view.RTLReading, QByteArray::number(z));
                if (shown.isEmpty()) {
                    out.line("<> Tj");
                }
                for (const QByteArray& show : shown) {
                    out.line(show);
                }
                out.line("ET");
                if (bold) {
                    out.line("0 Tr");
                }
                const auto rule = [&](double ry) {
                    out.line(fontColor + " RG");
                    out.line(Num2(z * 0.08) + " w");
                    out.line(Content::pair(x, ry) + " m");
                    out.line(Content::pair(x + lw * 0.75, ry) + " l");
                    out.line("S");
                };
                if (font.Style & fsUnderline) {
                    rule(y - z * 0.12);
                }
                if (font.Style & fsStrikeOut) {
                    rule(y + z * 0.28);
                }
            }
            if (inParagraph) {
                endElement(out);
            }
        }
    }
    out.line("Q");
}

// What tagged output marks as an artifact whole: the page's background, everything in the page
// header and footer, lines, shapes, gradients and views of no kind a reader can tell of.
bool isArtifact(const TqdxView& view) {
    if (view.Name() == "_pagebackground" || qdx_cast<TqdxPageHeader>(view.Parent()) ||
        qdx_cast<TqdxPageFooter>(view.Parent())) {
        return true;
    }
    return !(qdx_cast<TqdxCustomMemoView>(&view) || qdx_cast<TqdxRichView>(&view) ||
             qdx_cast<TqdxPictureView>(&view) || qdx_cast<TqdxCheckBoxView>(&view) ||
             isBarCode(view));
}

// The view's operators by its kind.
void emitContent(Content& out, TqdxView& view, const Box& box) {
    PdfPageState& state = out.state();
    auto* memo = qdx_cast<TqdxCustomMemoView>(&view);
    // Hatched texts and texts with formatting tags are drawn as the screen draws them.
    const bool drawnText =
        memo && (memo->BrushStyle > bsClear || (memo->AllowHTMLTags && state.htmlTags &&
                                                memo->Memo.Text().contains(QLatin1Char('<'))));
    if (memo && !drawnText) {
        emitText(out, *memo, box);
    } else if (auto* line = qdx_cast<TqdxCustomLineView>(&view)) {
        emitLine(out, *line, box);
    } else if (auto* shape = qdx_cast<TqdxShapeView>(&view)) {
        emitShape(out, *shape, box);
    } else if (auto* check = qdx_cast<TqdxCheckBoxView>(&view)) {
        emitCheckBox(out, *check, box);
    } else if (!(box.W > 0 && box.H > 0 && std::isfinite(box.W * box.H))) {
        // nothing to draw
    } else if (view.Name() == "_pagebackground") {
        if (auto* background = qdx_cast<TqdxPictureView>(&view); background && state.background) {
            emitBackground(out, *background, box);
        }
    } else if (memo || qdx_cast<TqdxRichView>(&view)) {
        emitVector(out, view, box);
    } else {
        emitRaster(out, view, box, false);
    }
}

} // namespace

void PdfPageState::resetPage() {
    content.clear();
    imageUses.clear();
    patternUses.clear();
    annots.clear();
    structItems.clear();
    marking = 0;
}

void EmitView(PdfPageState& state, TqdxComponent& object) {
    auto* view = qdx_cast<TqdxView>(&object);
    if (!view || (!view->Printable && !state.exportNotPrintable)) {
        return;
    }
    // A failing view leaves no half-written operators (an unbalanced "q") on the page, and no
    // element of the structure.
    const qsizetype mark = state.content.size();
    const std::size_t items = state.structItems.size();
    try {
        Content out(state);
        const Box box(*view);
        emitLink(out, *view, box);
        if (isArtifact(*view)) {
            asArtifact(out, [&] { emitContent(out, *view, box); });
        } else if (auto* check = qdx_cast<TqdxCheckBoxView>(view)) {
            // A check box reads as its hint, else as its state.
            QString alt = codepages::fromCp1252(check->Hint).trimmed();
            if (alt.isEmpty()) {
                alt = check->Checked ? QStringLiteral("Marcado") : QStringLiteral("Não marcado");
            }
            asElement(out, *view, true, alt, [&] { emitContent(out, *view, box); });
        } else {
            emitContent(out, *view, box);
        }
    } catch (...) {
        state.content.truncate(mark);
        state.structItems.resize(items);
        state.marking = 0;
        throw;
    }
}

} // namespace zr::reportlib::pdf
