#include "draw_text.h"

#include "view_painter.h"

#include "platform/fonts/font_resolver.h"
#include "platform/fonts/line_layout.h"
#include "platform/text/code_page_conversion.h"
#include "platform/text/codepages.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <unordered_map>

namespace zr::reportlib::render {

namespace {

constexpr double kLayoutPerReport = double(TqdxDrawText::LayoutDpi) / TqdxDrawText::ScreenDpi;

// ---------------------------------------------------------------------------------------------
// Font measurement cache.
//
// Every advance the engine uses is the advance of one character in one font (family, bold and
// italic, pixel size), rounded to whole pixels and without kerning, so a line's cumulative
// extents are sums of per-character values. Those values are kept here for the life of the
// process: wrapping a text again, or drawing the same page at another zoom, looks the
// characters up instead of asking the font again. Only a new device pixel size (a new zoom)
// measures its characters once more, and the 600-dpi layout widths never change with the zoom.

struct FontKey {
    QString family;
    int style = 0; // bold and italic only; underline and strike-out do not change advances
    int pixelSize = 0;
    bool operator==(const FontKey&) const = default;
};

struct FontKeyHash {
    size_t operator()(const FontKey& k) const {
        return qHash(k.family) ^ (size_t(k.style) << 1) ^ (size_t(k.pixelSize) << 4);
    }
};

struct FontEntry {
    QFont font;
    QFontMetricsF metrics;
    int ascent = 0;
    // Per character: its advance times two, plus one when the report's face lacks it. Such a
    // character is drawn, like in the PDF, by the fallback chain's face for it (or as the
    // face's .notdef when no installed face has it), and measured with that face.
    QHash<char32_t, int> advances;
    // The face Qt draws the family with (loaded when a character is first measured).
    QRawFont primary;
    bool primaryLoaded = false;

    explicit FontEntry(const QFont& f)
        : font(f), metrics(f), ascent(Round(QFontMetricsF(f).ascent())) {}

    // The advance of a character times two, plus one when the report's face lacks it.
    int advance(char32_t code) {
        auto it = advances.constFind(code);
        if (it != advances.constEnd()) {
            return *it;
        }
        return measure(code);
    }

private:
    Q_DECL_COLD_FUNCTION int measure(char32_t code) {
        int width = 0;
        bool foreign = false;
        const QChar::Category cat = QChar::category(code);
        // Non-spacing and enclosing marks sit on the character before them; measured alone
        // a shaper would give them the width of a placeholder circle.
        if (cat != QChar::Mark_NonSpacing && cat != QChar::Mark_Enclosing && code != 0x200D) {
            const char32_t one[1] = {code};
            const QString text = QString::fromUcs4(one, 1);
            if (const fonts::FontFace* face = foreignFace(code, text)) {
                foreign = true;
                int units = 0;
                for (const auto& glyph : face->ShapeLine(text, false)) {
                    units += glyph.advance;
                }
                width = Round(double(units) * font.pixelSize() / 1000.0);
            } else {
                width = Round(metrics.horizontalAdvance(text));
            }
        }
        const int packed = width * 2 + (foreign ? 1 : 0);
        advances.insert(code, packed);
        return packed;
    }

    // The face that draws a character the report's face lacks (null when the report's face
    // has it).
    const fonts::FontFace* foreignFace(char32_t code, const QString& text) {
        if (fonts::FollowsNeighbour(code)) {
            return nullptr;
        }
        // The face Qt opened for the family is the one fontconfig gives it: what that face has
        // needs no look through the fallback chain.
        if (!primaryLoaded) {
            primary = QRawFont::fromFont(font);
            primaryLoaded = true;
        }
        if (primary.isValid() && primary.supportsCharacter(code)) {
            return nullptr;
        }
        const auto runs = fonts::SplitByFace(text, font.family(), font.bold(), font.italic());
        if (runs.size() != 1 || (!runs.front().fallback && !runs.front().missing)) {
            return nullptr;
        }
        return fonts::SharedFace(runs.front().face);
    }
};

QFont makeFont(const QString& family, int style, int pixelSize) {
    QFont f(family);
    f.setPixelSize(std::max(1, pixelSize));
    f.setBold((style & fsBold) != 0);
    f.setItalic((style & fsItalic) != 0);
    f.setKerning(false);
    return f;
}

class FontCache {
public:
    static FontCache& instance() {
        // Never destroyed: fonts must not outlive the application object that owns the font
        // database, and static destruction would run after it.
        static FontCache* cache = new FontCache;
        return *cache;
    }

    std::shared_ptr<FontEntry> entry(const QString& family, int style, int pixelSize) {
        FontKey key{family, style & (fsBold | fsItalic), std::max(1, pixelSize)};
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(key);
        if (it != m_entries.end()) {
            return it->second;
        }
        if (m_entries.size() >= kMaxFonts) {
            // Many zoom levels and fonts: start over rather than grow without bound. Callers
            // keep the entries they hold.
            m_entries.clear();
        }
        auto e = std::make_shared<FontEntry>(makeFont(key.family, key.style, key.pixelSize));
        m_entries.emplace(std::move(key), e);
        return e;
    }

    // Held while advances are looked up or added.
    std::mutex& advanceMutex() { return m_advanceMutex; }

private:
    static constexpr size_t kMaxFonts = 256;
    std::mutex m_mutex;
    std::mutex m_advanceMutex;
    std::unordered_map<FontKey, std::shared_ptr<FontEntry>, FontKeyHash> m_entries;
};

// The code point that starts at text[i]; `units` is set to 1 or 2.
char32_t codeAt(const QString& text, int i, int& units) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    units = 1;
    return c.unicode();
}

// Characters drawn together with the character before them.
bool continuesCluster(const QString& text, int i) {
    const QChar c = text[i];
    if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()) {
        return true;
    }
    const char16_t u = c.unicode();
    if (u == 0x200D || (u >= 0xFE00 && u <= 0xFE0F)) {
        return true;
    }
    const QChar::Category cat = c.category();
    return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing;
}

bool isBlank(QChar c) {
    return c == u' ' || c == QChar(0xA0);
}

// A run shaped as a whole (right-to-left reading, joining or reordering scripts) cannot take a
// position per character. Its words are shaped at their own width and set into the room that
// `widths` (one entry per character of `text`) gives the run: the room of a word is the sum of
// its characters' widths, a blank's room holds its share of a justified line, and whatever a
// word's shaped width differs from its room goes into the gaps beside it. The letters keep their
// shape; justification and character spacing widen the gaps. Character spacing also goes after
// every glyph inside a word, as the font's letter spacing.
void drawShapedRun(QPainter& canvas, const QString& text, QFont font, double baseline,
                   std::span<const int> widths, bool rtlReading, int letterSpacing) {
    const int n = int(text.size());
    if (n == 0 || int(widths.size()) < n) {
        return;
    }
    if (letterSpacing != 0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    }
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(rtlReading ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(1e6);
    }
    layout.endLayout();
    if (!line.isValid()) {
        return;
    }

    // Words and runs of blanks, with where the shaper put them and the room they get.
    struct Segment {
        int from = 0, length = 0;
        bool blank = false;
        double left = 0, right = 0; // as shaped
        qint64 room = 0;
    };
    std::vector<Segment> segments;
    for (int i = 0; i < n;) {
        Segment s;
        s.from = i;
        s.blank = isBlank(text[i]);
        int j = i + 1;
        while (j < n && isBlank(text[j]) == s.blank) {
            ++j;
        }
        s.length = j - i;
        const double a = line.cursorToX(i);
        const double b = line.cursorToX(j);
        s.left = std::min(a, b);
        s.right = std::max(a, b);
        for (int k = i; k < j; ++k) {
            s.room += widths[size_t(k)];
        }
        segments.push_back(s);
        i = j;
    }
    // The rooms are handed out in the order the shaper shows the segments, left to right.
    std::stable_sort(segments.begin(), segments.end(),
                     [](const Segment& a, const Segment& b) { return a.left < b.left; });

    const bool rightToLeft = rtlReading || text.isRightToLeft();
    const double top = baseline - line.ascent();
    qint64 slot = 0;
    for (size_t v = 0; v < segments.size(); ++v) {
        const Segment& s = segments[v];
        if (!s.blank) {
            const double natural = s.right - s.left;
            const double spare = double(s.room) - natural;
            // The outer words keep to the run's edges, so a justified line stays flush; a word
            // alone keeps to the side its reading starts from.
            double left = double(slot) + spare / 2;
            if (segments.size() == 1) {
                left = rightToLeft ? double(slot) + spare : double(slot);
            } else if (v == 0) {
                left = double(slot);
            } else if (v + 1 == segments.size()) {
                left = double(slot) + spare;
            }
            const QPointF shift(std::round(left - s.left), top);
            for (const QGlyphRun& run : layout.glyphRuns(s.from, s.length)) {
                canvas.drawGlyphRun(shift, run);
            }
        }
        slot += s.room;
    }
}

// The face of a font file as Qt draws it, loaded once from the bytes the PDF embeds.
QRawFont RawFontOf(const fonts::FontFace& face, double pixelSize) {
    static std::mutex mutex;
    static std::unordered_map<const fonts::FontFace*, QRawFont> loaded;
    QRawFont raw;
    {
        const std::lock_guard lock(mutex);
        auto found = loaded.find(&face);
        if (found == loaded.end()) {
            QRawFont font;
            font.loadFromData(face.FaceData(), 12.0, QFont::PreferNoHinting);
            found = loaded.emplace(&face, font).first;
        }
        raw = found->second;
    }
    if (raw.isValid()) {
        raw.setPixelSize(pixelSize);
    }
    return raw;
}

// A run that needs shaping drawn from the one layout the PDF export writes too (the fallback
// chain's faces, FriBidi's order, HarfBuzz's glyphs and advances), from the run's left edge.
// A justified run (`justified`) sets its words into the rooms `widths` gives them, as
// drawShapedRun does: the letters keep their shape, the gaps widen. False when no layout could
// be made (the caller then lets Qt shape the run).
bool drawLaidOutRun(QPainter& canvas, const QString& text, const QString& family, int style,
                    int pixels, double baseline, bool rtlReading, int letterSpacing,
                    std::span<const int> widths, bool justified) {
    const fonts::LineLayout layout =
        fonts::LayOutLine(text, family, (style & fsBold) != 0, (style & fsItalic) != 0, rtlReading);
    if (layout.glyphs.empty()) {
        return false;
    }
    const int n = int(text.size());
    std::vector<double> xs;
    xs.reserve(layout.glyphs.size() + 1);
    double x = 0;
    for (const auto& glyph : layout.glyphs) {
        xs.push_back(x);
        x += double(glyph.advance) * pixels / 1000.0 + letterSpacing;
    }
    xs.push_back(x);

    // Justified: each word's glyphs move to where its room in the line begins.
    std::vector<double> shift(layout.glyphs.size(), 0.0);
    if (justified && int(widths.size()) >= n) {
        struct Segment {
            int from = 0, to = 0;
            bool blank = false;
            double left = 1e300, right = -1e300;
            qint64 room = 0;
        };
        std::vector<Segment> segments;
        std::vector<int> segmentOf(std::size_t(n), 0);
        for (int i = 0; i < n;) {
            Segment seg;
            seg.from = i;
            seg.blank = isBlank(text[i]);
            int j = i + 1;
            while (j < n && isBlank(text[j]) == seg.blank) {
                ++j;
            }
            seg.to = j;
            for (int k = i; k < j; ++k) {
                seg.room += widths[std::size_t(k)];
                segmentOf[std::size_t(k)] = int(segments.size());
            }
            segments.push_back(seg);
            i = j;
        }
        for (std::size_t g = 0; g < layout.glyphs.size(); ++g) {
            const int cluster = std::clamp(layout.glyphs[g].cluster, 0, n - 1);
            Segment& seg = segments[std::size_t(segmentOf[std::size_t(cluster)])];
            seg.left = std::min(seg.left, xs[g]);
            seg.right = std::max(seg.right, xs[g + 1]);
        }
        std::vector<std::size_t> order(segments.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(), [&segments](std::size_t a, std::size_t b) {
            return segments[a].left < segments[b].left;
        });
        std::vector<double> move(segments.size(), 0.0);
        qint64 slot = 0;
        for (std::size_t v = 0; v < order.size(); ++v) {
            Segment& seg = segments[order[v]];
            if (!seg.blank && seg.left <= seg.right) {
                const double spare = double(seg.room) - (seg.right - seg.left);
                double left = double(slot) + spare / 2;
                if (v == 0) {
                    left = double(slot);
                } else if (v + 1 == order.size()) {
                    left = double(slot) + spare;
                }
                move[order[v]] = std::round(left - seg.left);
            }
            slot += seg.room;
        }
        for (std::size_t g = 0; g < layout.glyphs.size(); ++g) {
            const int cluster = std::clamp(layout.glyphs[g].cluster, 0, n - 1);
            shift[g] = move[std::size_t(segmentOf[std::size_t(cluster)])];
        }
    }

    std::size_t k = 0;
    while (k < layout.glyphs.size()) {
        const int face = layout.glyphs[k].face;
        QList<quint32> indexes;
        QList<QPointF> positions;
        for (; k < layout.glyphs.size() && layout.glyphs[k].face == face; ++k) {
            indexes.append(layout.glyphs[k].glyph);
            positions.append(QPointF(xs[k] + shift[k], 0));
        }
        const QRawFont raw = RawFontOf(*layout.faces[std::size_t(face)], pixels);
        if (!raw.isValid()) {
            continue;
        }
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        canvas.drawGlyphRun(QPointF(0, baseline), run);
    }
    return true;
}

// Draws text[from, to) of a left-to-right run that needs no shaping, cluster by cluster at the
// places `offsets` gives (the left edge of each character from the run's start), with the
// painter's font.
void drawClusters(QPainter& canvas, const QString& text, int from, int to,
                  const std::vector<qint64>& offsets, double baseline) {
    for (int k = from; k < to;) {
        int len = 1;
        while (k + len < to && continuesCluster(text, k + len)) {
            ++len;
        }
        const QStringView cluster = QStringView(text).sliced(k, len);
        if (cluster.size() != 1 || cluster[0] != u' ') {
            canvas.drawText(QPointF(double(offsets[std::size_t(k)]), baseline), cluster.toString());
        }
        k += len;
    }
}

// A left-to-right run with characters the report's face lacks: the stretches the fallback
// chain gives another face (or none) are shaped with that face's file and drawn from it, as the
// PDF draws them; each glyph starts where its character's place begins. The rest is drawn as
// any plain run.
void drawWithFallbacks(QPainter& canvas, const QString& text, const QString& family, int style,
                       int pixels, double baseline, const std::vector<qint64>& offsets) {
    const auto runs =
        fonts::SplitByFace(text, family, (style & fsBold) != 0, (style & fsItalic) != 0);
    int drawn = 0;
    for (const fonts::FaceRun& run : runs) {
        const int from = std::clamp(run.start, drawn, int(text.size()));
        const int to = std::clamp(run.end, from, int(text.size()));
        if (from == to) {
            continue;
        }
        const fonts::FontFace* face =
            run.fallback || run.missing ? fonts::SharedFace(run.face) : nullptr;
        const QRawFont raw = face ? RawFontOf(*face, pixels) : QRawFont();
        if (!raw.isValid()) {
            drawClusters(canvas, text, from, to, offsets, baseline);
            drawn = to;
            continue;
        }
        QList<quint32> indexes;
        QList<QPointF> positions;
        int cluster = -1;
        double x = 0;
        for (const auto& glyph :
             face->ShapeLine(QStringView(text).sliced(from, to - from), false)) {
            const int at = from + std::clamp(glyph.cluster, 0, to - from - 1);
            if (at != cluster) {
                cluster = at;
                x = double(offsets[std::size_t(at)]);
            }
            indexes.append(glyph.glyph);
            positions.append(QPointF(x, 0));
            x += double(glyph.advance) * pixels / 1000.0;
        }
        QGlyphRun glyphs;
        glyphs.setRawFont(raw);
        glyphs.setGlyphIndexes(indexes);
        glyphs.setPositions(positions);
        canvas.drawGlyphRun(QPointF(0, baseline), glyphs);
        drawn = to;
    }
    // What the chain left out (all of it when fontconfig knows no font) is drawn as usual.
    drawClusters(canvas, text, drawn, int(text.size()), offsets, baseline);
}

// Text that only reads right when shaped as a whole (right-to-left or joining scripts).
bool needsShaping(QStringView text) {
    for (const QChar c : text) {
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return true;
        default:
            break;
        }
        switch (c.script()) {
        case QChar::Script_Arabic:
        case QChar::Script_Syriac:
        case QChar::Script_Thaana:
        case QChar::Script_Devanagari:
        case QChar::Script_Bengali:
        case QChar::Script_Gurmukhi:
        case QChar::Script_Gujarati:
        case QChar::Script_Oriya:
        case QChar::Script_Tamil:
        case QChar::Script_Telugu:
        case QChar::Script_Kannada:
        case QChar::Script_Malayalam:
        case QChar::Script_Sinhala:
        case QChar::Script_Thai:
        case QChar::Script_Lao:
        case QChar::Script_Tibetan:
        case QChar::Script_Myanmar:
        case QChar::Script_Khmer:
        case QChar::Script_Mongolian:
            return true;
        default:
            break;
        }
    }
    return false;
}

// Upper case that keeps every position (one UTF-16 unit for one), so that positions found in
// the upper-case copy are positions in the text.
QString upperSameLength(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        if (!c.isSurrogate()) {
            c = c.toUpper();
        }
    }
    return upper;
}

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

struct ColorName {
    const char* name;
    int value;
};

// Colour values 0x00BBGGRR; system colours are 0x800000nn.
constexpr ColorName kColorNames[] = {
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"LtGray", 0xC0C0C0},
    {"DkGray", 0x808080},
    {"White", 0xFFFFFF},
    {"MoneyGreen", 0xC0DCC0},
    {"SkyBlue", 0xF0CAA6},
    {"Cream", 0xF0FBFF},
    {"MedGray", 0xA4A0A0},
    {"ScrollBar", int(0x80000000u)},
    {"Background", int(0x80000001u)},
    {"ActiveCaption", int(0x80000002u)},
    {"InactiveCaption", int(0x80000003u)},
    {"Menu", int(0x80000004u)},
    {"Window", int(0x80000005u)},
    {"WindowFrame", int(0x80000006u)},
    {"MenuText", int(0x80000007u)},
    {"WindowText", int(0x80000008u)},
    {"CaptionText", int(0x80000009u)},
    {"ActiveBorder", int(0x8000000Au)},
    {"InactiveBorder", int(0x8000000Bu)},
    {"AppWorkSpace", int(0x8000000Cu)},
    {"Highlight", int(0x8000000Du)},
    {"HighlightText", int(0x8000000Eu)},
    {"BtnFace", int(0x8000000Fu)},
    {"BtnShadow", int(0x80000010u)},
    {"GrayText", int(0x80000011u)},
    {"BtnText", int(0x80000012u)},
    {"InactiveCaptionText", int(0x80000013u)},
    {"BtnHighlight", int(0x80000014u)},
    {"3DDkShadow", int(0x80000015u)},
    {"3DLight", int(0x80000016u)},
    {"InfoText", int(0x80000017u)},
    {"InfoBk", int(0x80000018u)},
    {"HotLight", int(0x8000001Au)},
    {"GradientActiveCaption", int(0x8000001Bu)},
    {"GradientInactiveCaption", int(0x8000001Cu)},
    {"MenuHighlight", int(0x8000001Du)},
    {"MenuBar", int(0x8000001Eu)},
};

QColor textColor(int color) {
    const QColor c = toQColor(color);
    return c.isValid() ? c : QColor(Qt::black);
}

// Sine and cosine of whole degrees, exact at the right angles.
void sinCos(int degrees, double& s, double& c) {
    switch (degrees) {
    case 0:
        s = 0;
        c = 1;
        return;
    case 90:
        s = 1;
        c = 0;
        return;
    case 180:
        s = 0;
        c = -1;
        return;
    case 270:
        s = -1;
        c = 0;
        return;
    default: {
        const double r = degrees * std::numbers::pi / 180.0;
        s = std::sin(r);
        c = std::cos(r);
    }
    }
}

int sizeOf(const QString& s) {
    return int(std::min<qsizetype>(s.size(), INT_MAX / 2));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Formatting records.

void TqdxHTMLTags::CopyRange(const TqdxHTMLTags& source, int from, int count) {
    const auto first = source.m_items.begin() + from;
    m_items.insert(m_items.end(), first, first + count);
}

void TqdxHTMLTags::MoveTail(int from, TqdxHTMLTags& target) {
    if (from < 0 || from >= Count()) {
        return;
    }
    const auto first = m_items.begin() + from;
    target.m_items.insert(target.m_items.end(), first, m_items.end());
    m_items.erase(first, m_items.end());
}

void TqdxHTMLTagsList::Init(int color, int size, int style) {
    m_lists.clear();
    DefColor = Color = color;
    DefSize = Size = size;
    DefStyle = Style = style;
    Lowered = 0;
    NoWrap = false;
    SourceIndex = 1;
}

void TqdxHTMLTagsList::NewLine() {
    m_lists.emplace_back();
}

TqdxHTMLTags& TqdxHTMLTagsList::last() {
    if (m_lists.empty()) {
        m_lists.emplace_back();
    }
    return m_lists.back();
}

void TqdxHTMLTagsList::AddTag() {
    TqdxHTMLTag tag;
    tag.SourceIndex = SourceIndex;
    tag.FontSize = Size;
    tag.Lowered = Lowered;
    tag.FontStyle = Style;
    tag.FontColor = Color;
    tag.NoWrap = NoWrap;
    tag.Reduced = Size != DefSize;
    TqdxHTMLTags& list = last();
    if (AllowTags) {
        const TqdxHTMLTag* prev = nullptr;
        if (list.Count() > 0) {
            prev = &list.Items(list.Count() - 1);
        } else if (m_lists.size() >= 2 && m_lists[m_lists.size() - 2].Count() > 0) {
            const TqdxHTMLTags& before = m_lists[m_lists.size() - 2];
            prev = &before.Items(before.Count() - 1);
        }
        if (prev) {
            tag.Unchanged = prev->FontStyle == Style && prev->FontColor == Color &&
                            prev->FontSize == Size && prev->Lowered == Lowered &&
                            prev->NoWrap == NoWrap;
        } else {
            tag.Unchanged = Style == DefStyle && Color == DefColor && Size == DefSize;
        }
    }
    list.Add(tag);
}

void TqdxHTMLTagsList::SplitTags(int n, bool duplicate) {
    SplitTags(std::vector<TqdxTagSplit>{{n, duplicate}});
}

void TqdxHTMLTagsList::SplitTags(const std::vector<TqdxTagSplit>& splits) {
    if (splits.empty()) {
        return;
    }
    // One pass over the last list instead of moving its tail once per split: a long paragraph
    // would otherwise cost time in the square of its length.
    TqdxHTMLTags all;
    last().MoveTail(0, all);
    m_lists.pop_back();
    int pos = 0;
    for (const TqdxTagSplit& split : splits) {
        const int n = split.count;
        if (n <= 0 || n >= all.Count() - pos) {
            continue;
        }
        TqdxHTMLTags& kept = m_lists.emplace_back();
        kept.CopyRange(all, pos, n);
        const TqdxHTMLTag before = all.Items(pos + n - 1);
        if (split.duplicate) {
            kept.Add(before);
        } else if (all.Items(pos + n).Unchanged) {
            const bool noWrap = all.Items(pos + n).NoWrap;
            all.Items(pos + n) = before;
            all.Items(pos + n).NoWrap = noWrap;
        }
        pos += n;
    }
    m_lists.emplace_back().CopyRange(all, pos, all.Count() - pos);
}

int TqdxHTMLTagsList::parseTag(const QString& text, const QString& upper, int i) {
    const int n = sizeOf(text);
    auto at = [&](int k) { return k < n ? upper[k] : QChar(); };
    // A tag counts only where the first occurrence of its text in the paragraph is.
    auto firstAt = [&](QStringView tag) { return upper.indexOf(tag) == i; };

    if (at(i + 2) == u'>') {
        if (firstAt(u"<B>")) {
            Style |= fsBold;
            return 3;
        }
        if (firstAt(u"<I>")) {
            Style |= fsItalic;
            return 3;
        }
        if (firstAt(u"<U>")) {
            Style |= fsUnderline;
            return 3;
        }
    }
    if (at(i + 4) == u'>') {
        // Any five-character form goes, whatever the three letters are.
        if (upper.indexOf(u"SUB>") == i + 1) {
            Size = Round(DefSize / 1.5);
            Lowered = 1;
        } else if (upper.indexOf(u"SUP>") == i + 1) {
            Size = Round(DefSize / 1.5);
            Lowered = 0;
        }
        return 5;
    }
    if (at(i + 1) == u'N' && firstAt(u"<NOWRAP>")) {
        NoWrap = true;
        return 8;
    }
    if (at(i + 1) == u'S' && firstAt(u"<STRIKE>")) {
        Style |= fsStrikeOut;
        return 8;
    }
    if (at(i + 3) == u'>') {
        if (firstAt(u"</B>")) {
            Style &= ~fsBold;
            return 4;
        }
        if (firstAt(u"</I>")) {
            Style &= ~fsItalic;
            return 4;
        }
        if (firstAt(u"</U>")) {
            Style &= ~fsUnderline;
            return 4;
        }
    }
    if (firstAt(u"</STRIKE>")) {
        Style &= ~fsStrikeOut;
        return 9;
    }
    if (firstAt(u"</NOWRAP>")) {
        NoWrap = false;
        return 9;
    }
    if (firstAt(u"</FONT>")) {
        Color = DefColor;
        return 7;
    }
    if (firstAt(u"</SUB>") || firstAt(u"</SUP>")) {
        Size = DefSize;
        Lowered = 0;
        return 6;
    }
    if (upper.indexOf(u"FONT COLOR") == i + 1) {
        const qsizetype eq = text.indexOf(u'=', i + 11);
        if (eq < 0) {
            return 0;
        }
        qsizetype v = eq + 1;
        while (v < n && text[v] == u' ') {
            ++v;
        }
        const qsizetype close = text.indexOf(u'>', v);
        if (close < 0) {
            return 0;
        }
        // The value runs to the '>' as it stands: "red " names no colour and stays text.
        const QStringView value = QStringView(text).sliced(v, close - v);
        if (value.isEmpty()) {
            return 0;
        }
        int color = -1;
        if (value.size() > 3 && value[0] == u'"' && value[1] == u'#') {
            // "#RRGGBB" in quotes; anything that is no hexadecimal number stays text.
            const QStringView digits = value.sliced(2, value.size() - 3);
            if (value.back() != u'"' || digits.isEmpty() || digits.size() > 6 ||
                !std::all_of(digits.begin(), digits.end(), isHexDigit)) {
                return 0;
            }
            const int rgb = digits.toString().toInt(nullptr, 16);
            color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
        } else {
            color = ColorOfName(value);
            if (color == -1) {
                return 0;
            }
        }
        Color = color;
        return int(close - i + 1);
    }
    return 0;
}

void TqdxHTMLTagsList::ParseTags(QString& text) {
    last();
    QString upper = AllowTags ? upperSameLength(text) : QString();
    int i = 0;
    while (i < sizeOf(text)) {
        if (AllowTags && text[i] == u'<') {
            const int length = parseTag(text, upper, i);
            if (length > 0) {
                text.remove(i, length);
                upper.remove(i, length);
                SourceIndex += length;
                continue;
            }
        }
        AddTag();
        ++i;
        ++SourceIndex;
    }
    if (text.isEmpty()) {
        AddTag();
        text = QStringLiteral(" ");
    }
}

// ---------------------------------------------------------------------------------------------
// Free helpers.

void Distribute(std::vector<int>& a, int lo, int hi, int delta, int n) {
    if (n <= 0 || hi < lo || lo < 0) {
        return;
    }
    const int half = std::max(1, (hi - lo + 1) / 2);
    if (n == 1) {
        const size_t k = size_t(lo + half - 1);
        if (k < a.size()) {
            a[k] += delta;
        }
        return;
    }
    Distribute(a, lo, lo + half - 1, delta, n / 2);
    Distribute(a, lo + half, hi, delta, n - n / 2);
}

std::vector<int> BreakWord(QStringView word) {
    static const QString vowels = QStringLiteral(u"АЕЁИОУЫЭЮЯ");
    static const QString consonants = QStringLiteral(u"БВГДЖЗЙКЛМНПРСТФХЦЧШЩЬЪ");
    static const QString signs = QStringLiteral(u"ЬЪ");
    auto isVowel = [](QChar c) { return vowels.contains(c); };
    auto isConsonant = [](QChar c) { return consonants.contains(c); };
    auto isSign = [](QChar c) { return signs.contains(c); };
    auto hasVowel = [&](QStringView part) {
        return std::any_of(part.begin(), part.end(), isVowel);
    };

    std::vector<int> positions;
    const int length = int(word.size());
    if (length <= 3) {
        return positions;
    }
    for (int p = 1; p <= length; ++p) {
        const QChar c = word[p - 1];
        bool candidate = false;
        if (isConsonant(c)) {
            candidate = !(p < length && (isVowel(word[p]) || isSign(word[p])));
        } else if (isVowel(c)) {
            candidate = true;
            if (p < length && word[p] == u'Й') {
                candidate = false;
            } else if (p < length - 2 && isConsonant(word[p]) && word[p + 1] == word[p] &&
                       isVowel(word[p + 2])) {
                candidate = false;
            }
        }
        if (candidate) {
            const QStringView head = word.first(p);
            const QStringView tail = word.sliced(p);
            if (head.size() > 1 && tail.size() > 1 && hasVowel(head) && hasVowel(tail)) {
                positions.push_back(p);
            }
        }
    }
    return positions;
}

int ColorOfName(QStringView name) {
    for (const ColorName& entry : kColorNames) {
        if (name.compare(QLatin1StringView(entry.name), Qt::CaseInsensitive) == 0) {
            return entry.value;
        }
    }
    return -1;
}

std::recursive_mutex& TextLock() {
    static std::recursive_mutex lock;
    return lock;
}

TqdxDrawText& SharedDrawText() {
    static TqdxDrawText engine;
    return engine;
}

// ---------------------------------------------------------------------------------------------
// Setting up.

void TqdxDrawText::UseFont(const TqdxFont& font) {
    // A positive height is a cell height; its size comes out negative and is taken as it is.
    m_fontSize = std::abs(font.Size());
    m_fontName = codepages::fromCp1252(font.Name);
    m_fontStyle = font.Style;
    m_fontColor = font.Color;
    m_fontCharset = font.Charset;
    m_measureHeight = Round(m_fontSize * double(LayoutDpi) / 72.0);
}

void TqdxDrawText::UseOptions(bool wordWrap, bool allowTags, int rotation, bool wysiwyg,
                              bool clipped, bool wordBreak, bool rtlReading) {
    m_wordWrap = wordWrap;
    m_allowTags = allowTags;
    m_rotation = rotation % 360;
    m_wysiwyg = wysiwyg;
    m_clipped = clipped;
    m_wordBreak = wordBreak;
    m_rtlReading = rtlReading;
}

void TqdxDrawText::UseSpacing(double lineSpacing, double charSpacing, double paragraphGap) {
    m_lineSpacing = lineSpacing;
    m_charSpacing = charSpacing;
    m_paragraphGap = paragraphGap;
}

void TqdxDrawText::UseArea(const TextRect& layout, const TextRect& clip, double scaleX,
                           double scaleY, double printScale) {
    m_layoutRect = layout;
    m_clipRect = clip;
    m_scaleX = scaleX;
    m_scaleY = scaleY;
    m_printScale = printScale;
}

int TqdxDrawText::LineFlags(int i) const {
    return int(reinterpret_cast<quintptr>(m_lines.Objects(i)));
}

void TqdxDrawText::setLineFlags(int i, int flags) {
    m_lines.SetObjects(i, reinterpret_cast<void*>(quintptr(flags)));
}

void TqdxDrawText::addLine(const QString& text) {
    m_lines.Add(text);
}

void TqdxDrawText::UseText(const TWideStrings& paragraphs) {
    m_lines.Clear();
    m_plainText.clear();
    m_tags.AllowTags = m_allowTags;
    m_tags.Init(m_fontColor, m_fontSize, m_fontStyle);
    if (paragraphs.Count() == 0) {
        return;
    }
    const int rotation = ((m_rotation % 360) + 360) % 360;
    const bool across = (rotation >= 90 && rotation <= 179) || (rotation >= 270);
    const int width = across ? m_layoutRect.Height() : m_layoutRect.Width();
    const int fullWidth = Round(width * kLayoutPerReport);
    const int firstWidth = Round((width - m_paragraphGap) * kLayoutPerReport);
    const int charSpacing = Round(m_charSpacing * kLayoutPerReport);
    for (int p = 0; p < paragraphs.Count(); ++p) {
        QString text = paragraphs.Strings(p);
        if (text.isEmpty()) {
            text = QStringLiteral(" ");
        }
        m_plainText += text;
        m_plainText += QStringLiteral("\r\n");
        const int before = m_lines.Count();
        wrapLine(std::move(text), fullWidth, firstWidth, charSpacing);
        const int after = m_lines.Count();
        if (after > before) {
            if (after - before == 1) {
                setLineFlags(before, lfFirstLine | lfLastLine);
            } else {
                setLineFlags(before, lfFirstLine);
                setLineFlags(after - 1, lfLastLine);
            }
        }
    }
}

void TqdxDrawText::UseParagraphBreaks(bool firstIsContinued, bool lastIsContinued) {
    if (m_lines.Count() == 0) {
        return;
    }
    if (firstIsContinued) {
        setLineFlags(0, LineFlags(0) & ~lfFirstLine);
    }
    if (lastIsContinued) {
        const int last = m_lines.Count() - 1;
        setLineFlags(last, LineFlags(last) & ~lfLastLine);
    }
}

QString TqdxDrawText::WrappedLines() const {
    return m_lines.Text();
}

double TqdxDrawText::LineStep() const {
    return m_measureHeight / kLayoutPerReport + m_lineSpacing;
}

double TqdxDrawText::MeasureHeight() const {
    if (m_lines.Count() == 0) {
        return 0;
    }
    double h = LineStep() * m_lines.Count();
    if (m_lineSpacing < 0) {
        h -= m_lineSpacing;
    }
    return h;
}

// ---------------------------------------------------------------------------------------------
// Measuring.

QString TqdxDrawText::outputText(const QString& text) const {
    // With a font of a specific character set the text goes through that set's 8-bit code
    // page: characters it cannot hold show as '?', as they would in an 8-bit text.
    if (m_useDefaultCharset || m_fontCharset == 1) {
        return text;
    }
    unsigned codePage = 0;
    try {
        codePage = CodePageOfCharset(m_fontCharset);
    } catch (const std::exception&) {
        return text;
    }
    static std::mutex mappedLock;
    static QHash<quint64, char16_t> mapped;
    std::lock_guard lock(mappedLock);
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            continue;
        }
        const quint64 key = (quint64(codePage) << 16) | u;
        auto it = mapped.constFind(key);
        if (it == mapped.constEnd()) {
            char16_t result = u'?';
            if (c.isSurrogate()) {
                result = u'?';
            } else {
                try {
                    const QChar one[1] = {c};
                    const QByteArray narrow = codepages::fromUnicode(codePage, QStringView(one, 1));
                    const QString wide = codepages::toUnicode(codePage, narrow);
                    if (wide.size() == 1 && wide[0] != QChar(0xFFFD)) {
                        result = wide[0].unicode();
                    }
                } catch (const std::exception&) {
                    return text; // a code page this system lacks: keep the text
                }
            }
            it = mapped.insert(key, result);
        }
        c = QChar(*it);
    }
    return out;
}

qint64 TqdxDrawText::measureWidths(const QString& text, const TqdxHTMLTags* tags, int pixelSize,
                                   int charSpacing, std::vector<int>& widths, bool reduce,
                                   bool* anyForeign) const {
    const int n = sizeOf(text);
    widths.assign(size_t(n), 0);
    FontCache& cache = FontCache::instance();
    std::shared_ptr<FontEntry> font;
    int fontStyle = -1;
    qint64 total = 0;
    bool foreign = false;
    const int recordCount = tags ? tags->Count() : 0;
    std::lock_guard lock(cache.advanceMutex());
    for (int k = 0; k < n;) {
        const TqdxHTMLTag* rec =
            recordCount > 0 ? &tags->Items(std::min(k, recordCount - 1)) : nullptr;
        const int style = (rec ? rec->FontStyle : m_fontStyle) & (fsBold | fsItalic);
        if (style != fontStyle) {
            font = cache.entry(m_fontName, style, pixelSize);
            fontStyle = style;
        }
        int units = 1;
        const char32_t code = codeAt(text, k, units);
        const int measured = font->advance(code);
        const int advance = measured >> 1;
        foreign |= (measured & 1) != 0;
        int w = advance;
        if (advance > 0 || !continuesCluster(text, k)) {
            w += charSpacing;
        }
        if (reduce && rec && rec->Reduced) {
            w = Round(w / 1.5);
        }
        widths[size_t(k)] = w;
        total += w;
        k += units;
    }
    if (anyForeign != nullptr) {
        *anyForeign = foreign;
    }
    return total;
}

double TqdxDrawText::MeasureWidth() const {
    if (m_lines.Count() == 0) {
        return 0;
    }
    std::vector<int> widths;
    qint64 widest = 0;
    for (int i = 0; i < m_lines.Count(); ++i) {
        const QString text = outputText(m_lines.Strings(i));
        const TqdxHTMLTags* tags = m_allowTags && i < m_tags.Count() && m_tags.Items(i).Count()
                                       ? &m_tags.Items(i)
                                       : nullptr;
        // Runs measured at the default size in their own style; reduced characters are
        // not scaled down here, so the width is generous for sub- and superscripts.
        qint64 w = measureWidths(text, tags, m_measureHeight, 0, widths, false);
        w += Round(sizeOf(text) * m_charSpacing * kLayoutPerReport);
        if (LineFlags(i) & lfFirstLine) {
            w += Round(m_paragraphGap * kLayoutPerReport);
        }
        widest = std::max(widest, w);
    }
    return double(widest) / kLayoutPerReport;
}

// ---------------------------------------------------------------------------------------------
// Wrapping.

QString TqdxDrawText::hyphenate(const QString& text, int start, int stop) const {
    const int n = sizeOf(text);
    if (start < 1 || start > n) {
        return {};
    }
    int end = std::max(stop, start);
    while (end <= n) {
        const QChar c = text[end - 1];
        if (c == u' ' || c == u'.' || c == u',' || c == u'-' || c == u';') {
            break;
        }
        ++end;
    }
    const QString word = text.mid(start - 1, end - start);
    int best = 0;
    for (const int p : BreakWord(upperSameLength(word))) {
        if (p < stop - start && p > best) {
            best = p;
        }
    }
    return best > 0 ? word.left(best) : QString();
}

void TqdxDrawText::wrapLine(QString text, int fullWidth, int firstWidth, int charSpacing) {
    m_tags.NewLine();
    m_tags.ParseTags(text);
    m_tags.SourceIndex += 2;
    const int n = sizeOf(text);
    if (n < 2 || !m_wordWrap) {
        addLine(text);
        return;
    }
    std::vector<int> widths;
    const qint64 total = measureWidths(outputText(text), &m_tags.Items(m_tags.Count() - 1),
                                       m_measureHeight, charSpacing, widths, true);
    if (total < firstWidth) {
        addLine(text);
        return;
    }
    // Cumulative widths, 1-based: cum[i] is the width of characters 1..i.
    std::vector<qint64> cum(size_t(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        cum[size_t(i)] = cum[size_t(i - 1)] + widths[size_t(i - 1)];
    }
    // Splits are applied once the walk is done; until then the paragraph's list holds the
    // record of character i at i - 1 (a split never changes a record's NoWrap).
    std::vector<TqdxTagSplit> splits;
    const TqdxHTMLTags& records = m_tags.Items(m_tags.Count() - 1);
    int lineStart = 1;
    int lastSpace = 1;
    qint64 base = 0;
    qint64 available = firstWidth;
    int i = 1;
    while (i <= n) {
        if (text[i - 1] == u' ' && (i > records.Count() || !records.Items(i - 1).NoWrap)) {
            lastSpace = i;
        }
        if (cum[size_t(i)] - base <= available) {
            ++i;
            continue;
        }
        int c = 0;
        if (lastSpace == lineStart) {
            if (i == lineStart) {
                addLine(text.mid(i - 1, 1));
                splits.push_back({1, false});
                c = i;
            } else {
                const QString prefix = m_wordBreak ? hyphenate(text, lineStart, i) : QString();
                if (!prefix.isEmpty()) {
                    addLine(prefix + u'-');
                    splits.push_back({sizeOf(prefix), true});
                    c = lineStart + sizeOf(prefix) - 1;
                } else {
                    addLine(text.mid(lineStart - 1, i - lineStart));
                    splits.push_back({i - lineStart, false});
                    c = i - 1;
                }
            }
        } else {
            const QString prefix = m_wordBreak ? hyphenate(text, lastSpace + 1, i) : QString();
            if (!prefix.isEmpty()) {
                addLine(text.mid(lineStart - 1, lastSpace - lineStart + 1) + prefix + u'-');
                splits.push_back({lastSpace - lineStart + 1 + sizeOf(prefix), true});
                c = lastSpace + sizeOf(prefix);
            } else {
                addLine(text.mid(lineStart - 1, lastSpace - lineStart));
                splits.push_back({lastSpace - lineStart + 1, false});
                c = lastSpace;
            }
        }
        base = cum[size_t(c)];
        lineStart = lastSpace = c + 1;
        available = fullWidth;
        i = c + 1;
    }
    if (lineStart <= n) {
        addLine(text.mid(lineStart - 1));
    }
    m_tags.SplitTags(splits);
}

// ---------------------------------------------------------------------------------------------
// Drawing.

struct TqdxDrawText::RenderState {
    bool printer = false;
    int dpiX = 96, dpiY = 96;
    int rotation = 0; // 0..359
    double sinT = 0, cosT = 1;
    int devicePixels = 1; // pixel size of the default font on the canvas
};

int TqdxDrawText::deviceHeight(const RenderState& state, int size, bool useDpiX) const {
    if (state.printer) {
        const int dpi = useDpiX ? state.dpiX : state.dpiY;
        return Round(size * double(dpi) * m_printScale / 72.0);
    }
    return Round(size * m_scaleY * 96.0 / 72.0);
}

void TqdxDrawText::RenderText(QPainter& canvas, int hAlign, int vAlign) {
    const int n = m_lines.Count();
    if (n == 0 || m_tags.Count() == 0) {
        return;
    }
    RenderState state;
    state.printer = canvasKind(canvas) == CanvasKind::Printer;
    state.dpiX = canvasDpiX(canvas);
    state.dpiY = canvasDpiY(canvas);
    state.rotation = ((m_rotation % 360) + 360) % 360;
    sinCos(state.rotation, state.sinT, state.cosT);
    state.devicePixels = deviceHeight(state, m_fontSize, false);

    // The line height on the canvas is the height of the font the first line starts with.
    int fh = state.devicePixels;
    if (m_tags.Items(0).Count() > 0 && !m_tags.Items(0).Items(0).Unchanged) {
        fh = deviceHeight(state, m_tags.Items(0).Items(0).FontSize, false);
    }
    const int f600 = m_measureHeight;

    // The height all lines have at 600 dpi, in device pixels, and what the device lines miss.
    int th = 0;
    if (state.printer) {
        const double r = double(LayoutDpi) / state.dpiY / m_printScale;
        th = Round((m_lineSpacing * m_scaleY * r * n + double(f600) * n) / r);
    } else {
        const double r = kLayoutPerReport;
        th = Round((m_lineSpacing * r * n + double(f600) * n) / r * m_scaleY);
    }
    const int lineGap = Round(m_lineSpacing * m_scaleY);
    int e = th - (lineGap * n + fh * n);
    if (!m_wysiwyg) {
        e = 0;
    }

    // Placement of the first line.
    const TextRect& rc = m_clipRect;
    const int theta = state.rotation;
    const double c = std::fabs(state.cosT);
    const double s = std::fabs(state.sinT);
    int x0 = rc.Left, y0 = rc.Top, lw = rc.Width(), avail = rc.Height();
    auto slantedWidth = [&] { return Round((rc.Width() - th * s) / c); };
    if (theta == 0) {
        // as initialised
    } else if (theta < 90) {
        lw = slantedWidth();
        y0 = rc.Top + Round(lw * s);
        avail = rc.Bottom - y0 - Round(th * c) + th;
    } else if (theta == 90) {
        y0 = rc.Bottom;
        lw = rc.Height();
        avail = rc.Width();
    } else if (theta < 180) {
        lw = slantedWidth();
        x0 = rc.Left + Round(lw * c);
        y0 = rc.Bottom;
        avail = rc.Height() - Round(th * c + lw * s) + th;
    } else if (theta == 180) {
        x0 = rc.Right;
        y0 = rc.Bottom;
    } else if (theta < 270) {
        lw = slantedWidth();
        x0 = rc.Right;
        y0 = rc.Bottom - Round(lw * s);
        avail = y0 - rc.Top - Round(th * c) + th;
    } else if (theta == 270) {
        x0 = rc.Right;
        lw = rc.Height();
        avail = rc.Width();
    } else {
        lw = slantedWidth();
        x0 = rc.Left + Round(th * s);
        avail = rc.Height() - Round(lw * s + th * c) + th;
    }
    double vx = 0, vy = 1;
    if (theta % 90 == 0) {
        vx = state.sinT;
        vy = state.cosT;
    } else if (theta > 90 && theta < 270) {
        vy = -1;
    }
    if (vAlign == vaBottom) {
        y0 += Round((avail - th) * vy);
        x0 += Round((avail - th) * vx);
    } else if (vAlign == vaCenter) {
        y0 += Round((avail - th) / 2.0 * vy);
        x0 += Round((avail - th) / 2.0 * vx);
    }

    // Line steps, with the 600-dpi correction spread over them.
    std::vector<int> steps(size_t(std::max(n - 1, 0)), lineGap + fh);
    if (n > 1 && e != 0) {
        const int sign = e < 0 ? -1 : 1;
        const int magnitude = std::abs(e);
        if (magnitude < n) {
            Distribute(steps, 0, n - 2, sign, magnitude);
        } else {
            for (int& step : steps) {
                step += magnitude / (n - 1) * sign;
            }
            Distribute(steps, 0, n - 2, sign, magnitude % (n - 1));
        }
    }

    canvas.save();
    canvas.setBackgroundMode(Qt::TransparentMode);
    if (m_clipped) {
        canvas.setClipRect(
            QRect(rc.Left, rc.Top, std::max(0, rc.Width()), std::max(0, rc.Height())),
            Qt::IntersectClip);
    }
    for (int k = 0; k < n; ++k) {
        int indent = 0;
        int align = hAlign;
        const int flags = LineFlags(k);
        if ((flags & lfFirstLine) && (hAlign == haLeft || hAlign == haBlock)) {
            indent = Round(m_paragraphGap * m_scaleX);
        }
        if ((flags & lfLastLine) && hAlign == haBlock) {
            align = m_rtlReading ? haRight : haLeft;
        }
        drawTextLine(canvas, state, m_lines.Strings(k), x0 + indent, y0, lw - indent, k, align);
        if (k < n - 1) {
            y0 += Round(steps[size_t(k)] * state.cosT);
            x0 += Round(steps[size_t(k)] * state.sinT);
        }
    }
    canvas.restore();
}

void TqdxDrawText::drawTextLine(QPainter& canvas, RenderState& state, const QString& line, int x,
                                int y, int w, int lineIndex, int align) {
    if (line.isEmpty()) {
        return;
    }
    const QString text = outputText(line);
    const int n = sizeOf(text);
    const TqdxHTMLTags* tags = lineIndex < m_tags.Count() && m_tags.Items(lineIndex).Count() > 0
                                   ? &m_tags.Items(lineIndex)
                                   : nullptr;
    auto record = [&](int k) -> const TqdxHTMLTag* {
        return tags ? &tags->Items(std::min(k, tags->Count() - 1)) : nullptr;
    };

    // Width at 600 dpi and on the device; the buffer keeps the device widths.
    std::vector<int> widths;
    const int spacing600 = Round(m_charSpacing * kLayoutPerReport);
    const qint64 w600 =
        measureWidths(text, tags, m_measureHeight, spacing600, widths, true) - spacing600;
    const int spacingDevice = Round(m_charSpacing * m_scaleX);
    bool foreign = false;
    const qint64 wd =
        measureWidths(text, tags, state.devicePixels, spacingDevice, widths, true, &foreign) -
        spacingDevice;

    qint64 wi = 0;
    if (state.printer) {
        wi = Round(double(w600) * m_printScale / (double(LayoutDpi) / state.dpiX));
    } else {
        wi = Round(double(w600) / kLayoutPerReport * m_scaleX);
    }
    if (!m_wysiwyg) {
        wi = wd;
    }

    const double sinT = state.sinT;
    const double cosT = state.cosT;
    const int firstStyle = record(0) ? record(0)->FontStyle : m_fontStyle;
    if (align == haRight) {
        x += Round(double(w - wi + 1) * cosT);
        y -= Round(double(w - wi + 1) * sinT);
        x -= 1;
        if ((firstStyle & (fsBold | fsItalic)) && state.rotation == 0) {
            x -= 1;
        }
    } else if (align == haCenter) {
        x += Round(double(w - wi) / 2.0 * cosT);
        y -= Round(double(w - wi) / 2.0 * sinT);
    }

    // Spread the difference to the 600-dpi width over the characters (or, justified, over
    // the blanks).
    qint64 d = wi - wd;
    int blanks = 0;
    if (align == haBlock) {
        for (const QChar ch : text) {
            if (ch == u' ' || ch == QChar(0xA0)) {
                ++blanks;
            }
        }
        if (blanks > 0) {
            d = std::abs(w) - wd;
        }
    }
    const int sign = d < 0 ? -1 : 1;
    const qint64 magnitude = std::min<qint64>(std::llabs(d), INT_MAX / 2);
    if (align == haBlock && blanks > 0) {
        const int each = int(magnitude / blanks) * sign;
        int extra = int(magnitude % blanks);
        for (int k = 0; k < n; ++k) {
            if (text[k] == u' ' || text[k] == QChar(0xA0)) {
                widths[size_t(k)] += each;
                if (extra > 0) {
                    widths[size_t(k)] += sign;
                    --extra;
                }
            }
        }
    } else if (magnitude > 0) {
        if (magnitude < n) {
            Distribute(widths, 0, n - 1, sign, int(magnitude));
        } else {
            const int each = int(magnitude / n) * sign;
            for (int& width : widths) {
                width += each;
            }
            Distribute(widths, 0, n - 1, sign, int(magnitude % n));
        }
    }

    // Runs of equal formatting, each drawn with its own font at the positions the widths give.
    int start = 0;
    while (start < n) {
        int end = start + 1;
        while (end < n && !(tags && end < tags->Count() && !tags->Items(end).Unchanged)) {
            ++end;
        }
        // Keep surrogate pairs and marks with their base character.
        while (end < n && continuesCluster(text, end)) {
            ++end;
        }
        const TqdxHTMLTag* rec = record(start);
        const int size = rec ? rec->FontSize : m_fontSize;
        const int style = rec ? rec->FontStyle : m_fontStyle;
        const int color = rec ? rec->FontColor : m_fontColor;
        const int lowered = rec ? rec->Lowered : 0;
        const int pixels =
            start == 0 ? deviceHeight(state, size, false) : deviceHeight(state, size, true);
        const int shift = Round(lowered * size * m_scaleY);
        qint64 runWidth = 0;
        for (int k = start; k < end; ++k) {
            runWidth += widths[size_t(k)];
        }

        std::shared_ptr<FontEntry> font = FontCache::instance().entry(m_fontName, style, pixels);
        canvas.save();
        canvas.translate(x + Round(shift * sinT), y + Round(shift * cosT));
        if (state.rotation != 0) {
            canvas.rotate(-state.rotation);
        }
        canvas.setFont(font->font);
        canvas.setPen(textColor(color));
        const double baseline = font->ascent;
        const QString runText = text.mid(start, end - start);
        if (needsShaping(runText) || (m_rtlReading && runText.size() > 1)) {
            const std::span<const int> room =
                std::span<const int>(widths).subspan(size_t(start), size_t(end - start));
            if (drawLaidOutRun(canvas, runText, m_fontName, style, pixels, baseline, m_rtlReading,
                               spacingDevice, room, align == haBlock && blanks > 0)) {
                // Drawn as the PDF draws it.
            } else {
                drawShapedRun(
                    canvas, runText, font->font, baseline,
                    std::span<const int>(widths).subspan(size_t(start), size_t(end - start)),
                    m_rtlReading, spacingDevice);
            }
        } else {
            std::vector<qint64> offsets(runText.size() + 1, 0);
            for (int k = start; k < end; ++k) {
                offsets[std::size_t(k - start + 1)] =
                    offsets[std::size_t(k - start)] + widths[size_t(k)];
            }
            if (foreign) {
                drawWithFallbacks(canvas, runText, m_fontName, style, pixels, baseline, offsets);
            } else {
                drawClusters(canvas, runText, 0, int(runText.size()), offsets, baseline);
            }
        }
        // Underline and strike-out span the whole run, spreading included.
        if (style & (fsUnderline | fsStrikeOut)) {
            const QFontMetricsF& fm = font->metrics;
            const double thickness = std::max(1.0, double(Round(fm.lineWidth())));
            const QColor lineColor = textColor(color);
            if (style & fsUnderline) {
                const double top = Round(baseline + fm.underlinePos());
                canvas.fillRect(QRectF(0, top, double(runWidth), thickness), lineColor);
            }
            if (style & fsStrikeOut) {
                const double top = Round(baseline - fm.strikeOutPos());
                canvas.fillRect(QRectF(0, top, double(runWidth), thickness), lineColor);
            }
        }
        canvas.restore();

        if (state.rotation == 0) {
            x += int(runWidth);
        } else {
            x += Round(double(runWidth) * cosT);
            y -= Round(double(runWidth) * sinT);
        }
        start = end;
    }
}

} // namespace zr::reportlib::render
