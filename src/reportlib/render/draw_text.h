#pragma once

// The text layout engine of text objects. It wraps paragraphs into output lines (word wrap,
// optional hyphenation of Russian words, a few inline formatting tags), measures every
// character with the font at a fixed layout resolution of 600 dpi and draws the lines on any
// canvas so that each line has the width it has at 600 dpi, whatever the zoom or the device:
// a page looks the same on the screen at every zoom and on the printer.
//
// A sequence of calls (UseFont, UseOptions, UseSpacing, UseArea, UseText, then RenderText or
// the measuring functions) must run under TextLock(): the engine keeps the state of the text
// being laid out between the calls.

#include "reportlib/document/qdx_components.h"

#include <QPainter>
#include <QString>
#include <QStringView>

#include <mutex>
#include <vector>

namespace zr::reportlib::render {

// The formatting of one character of an output line.
struct TqdxHTMLTag {
    int SourceIndex = 1; // 1-based position in the plain text, tags and line ends counted
    int FontSize = 0;    // points
    int Lowered = 0;     // 1: drawn lowered by its own size (subscript)
    int FontStyle = 0;   // TFontStyleBit bits
    int FontColor = 0;   // 0x00BBGGRR
    bool Unchanged = true;
    bool Reduced = false; // FontSize differs from the default size (sub- or superscript)
    bool NoWrap = false;
};

// The formatting records of one output line, one per character in order.
class TqdxHTMLTags {
public:
    int Count() const { return int(m_items.size()); }
    const TqdxHTMLTag& Items(int i) const { return m_items[size_t(i)]; }
    TqdxHTMLTag& Items(int i) { return m_items[size_t(i)]; }
    void Add(const TqdxHTMLTag& tag) { m_items.push_back(tag); }
    // Records from `from` on move to `target` (appended in order); this list keeps the rest.
    void MoveTail(int from, TqdxHTMLTags& target);
    // Appends copies of `count` records of `source` from `from` on.
    void CopyRange(const TqdxHTMLTags& source, int from, int count);

private:
    std::vector<TqdxHTMLTag> m_items;
};

// One split of the last formatting list: after `count` records, with or without a copy of the
// last kept record for an added hyphen.
struct TqdxTagSplit {
    int count = 0;
    bool duplicate = false;
};

// The tag parser and the formatting lists of the output lines, one list per line in order.
class TqdxHTMLTagsList {
public:
    bool AllowTags = true;
    int DefColor = 0, DefSize = 0, DefStyle = 0;
    int Color = 0, Size = 0, Style = 0, Lowered = 0;
    bool NoWrap = false;
    int SourceIndex = 1;

    // Clears every list; defaults and current formatting from the arguments.
    void Init(int color, int size, int style);
    // Starts the list of a new output line.
    void NewLine();
    // Removes the recognised tags from `text` (only with AllowTags) and appends one record per
    // remaining character to the last list. Formatting carries over to the next call. A text
    // that is empty afterwards becomes a single blank with one record.
    void ParseTags(QString& text);
    // Appends a record with the current formatting to the last list.
    void AddTag();
    // Moves the records from n on of the last list to a new list. With `duplicate` the last
    // list gets a copy of its record n-1 (the record of an added hyphen). Nothing happens when
    // the last list holds no more than n records.
    void SplitTags(int n, bool duplicate);
    // Several splits in order, each applied to the list the previous one left last.
    void SplitTags(const std::vector<TqdxTagSplit>& splits);

    int Count() const { return int(m_lists.size()); }
    const TqdxHTMLTags& Items(int i) const { return m_lists[size_t(i)]; }
    TqdxHTMLTags& Items(int i) { return m_lists[size_t(i)]; }

private:
    TqdxHTMLTags& last();
    // Length of the tag that starts at text[i] ('<'), applying its effect; 0 when none starts
    // there.
    int parseTag(const QString& text, const QString& upper, int i);

    std::vector<TqdxHTMLTags> m_lists;
};

// A rectangle of whole pixels; Right and Bottom are the first pixels outside it.
struct TextRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TextRect&) const = default;
};

// Paragraph flags of an output line.
enum TqdxLineFlag { lfFirstLine = 1, lfLastLine = 2 };

class TqdxDrawText {
public:
    static constexpr int LayoutDpi = 600;
    static constexpr int ScreenDpi = 96;

    TqdxDrawText() = default;
    TqdxDrawText(const TqdxDrawText&) = delete;
    TqdxDrawText& operator=(const TqdxDrawText&) = delete;

    // The font of the text: name, style, character set and colour; its size in points sets
    // the 600-dpi measure font.
    void UseFont(const TqdxFont& font);
    // Always take the text as Unicode, whatever the font's character set.
    void SetUseDefaultCharset(bool value) { m_useDefaultCharset = value; }
    void UseOptions(bool wordWrap, bool allowTags, int rotation, bool wysiwyg, bool clipped,
                    bool wordBreak, bool rtlReading);
    // All in report units (pixels at 96 dpi).
    void UseSpacing(double lineSpacing, double charSpacing, double paragraphGap);
    // `layout`: the text rectangle at scale 1 in report units (its width decides wrapping);
    // `clip`: the text rectangle in device pixels (placement and clipping).
    void UseArea(const TextRect& layout, const TextRect& clip, double scaleX, double scaleY,
                 double printScale);
    // Wraps the paragraphs into Lines. UseFont, UseOptions, UseSpacing and UseArea first.
    void UseText(const TWideStrings& paragraphs);
    // A text that continues another object's text has no paragraph start on its first line;
    // one that is continued elsewhere has no paragraph end on its last line.
    void UseParagraphBreaks(bool firstIsContinued, bool lastIsContinued);
    // Draws Lines into the clip rectangle. `hAlign` is a TqdxHAlign, `vAlign` a TqdxVAlign.
    // The painter's state is left as it was.
    void RenderText(QPainter& canvas, int hAlign, int vAlign);

    // Distance between two line tops in report units.
    double LineStep() const;
    // Height of all lines in report units (0 without lines).
    double MeasureHeight() const;
    // Width of the widest line in report units (0 without lines).
    double MeasureWidth() const;
    // The output lines, each followed by CR LF.
    QString WrappedLines() const;

    const TWideStrings& Lines() const { return m_lines; }
    // TqdxLineFlag bits of output line i.
    int LineFlags(int i) const;
    const TqdxHTMLTagsList& Tags() const { return m_tags; }
    int FontSize() const { return m_fontSize; }
    int Rotation() const { return m_rotation; }

private:
    struct RenderState;

    void wrapLine(QString text, int fullWidth, int firstWidth, int charSpacing);
    void addLine(const QString& text);
    void setLineFlags(int i, int flags);
    QString hyphenate(const QString& text, int start, int stop) const;
    // Per-character advances of `text` with the records of `tags` (may be null), the font
    // at `pixelSize` for the default size, plus `charSpacing`; with `reduce` reduced
    // characters count 1/1.5 of that. Returns the sum. `anyForeign` (may be null) receives
    // whether a character is one the report's face lacks (drawn by a fallback face).
    qint64 measureWidths(const QString& text, const TqdxHTMLTags* tags, int pixelSize,
                         int charSpacing, std::vector<int>& widths, bool reduce,
                         bool* anyForeign = nullptr) const;
    QString outputText(const QString& text) const;
    void drawTextLine(QPainter& canvas, RenderState& state, const QString& text, int x, int y,
                      int w, int lineIndex, int align);
    int deviceHeight(const RenderState& state, int size, bool useDpiX) const;

    // Measure font.
    QString m_fontName = QStringLiteral("Arial");
    int m_fontStyle = 0;
    int m_fontColor = 0;
    int m_fontCharset = 1;
    int m_fontSize = 10;
    int m_measureHeight = 83; // pixels of the 600-dpi font

    bool m_wordWrap = true, m_allowTags = false, m_wysiwyg = true, m_clipped = true;
    bool m_wordBreak = false, m_rtlReading = false, m_useDefaultCharset = false;
    int m_rotation = 0;
    double m_lineSpacing = 0, m_charSpacing = 0, m_paragraphGap = 0;
    TextRect m_layoutRect, m_clipRect;
    double m_scaleX = 1, m_scaleY = 1, m_printScale = 1;

    TWideStrings m_lines;
    QString m_plainText;
    TqdxHTMLTagsList m_tags;
};

// Adds n units of `delta` to entries lo..hi of `a`, spreading them by halving the range:
// over 10 entries one unit goes to entry 4 and two units to entries 1 and 6. Entries outside
// `a` are never touched.
void Distribute(std::vector<int>& a, int lo, int hi, int delta, int n);

// Permitted break positions (a break after character p, 1-based) of an upper-case Russian
// word; none for words of other alphabets and words of 3 characters or fewer.
std::vector<int> BreakWord(QStringView word);

// A colour named with the prefix "cl" ("navy" gives clNavy), without regard to case; -1 when
// the name is no colour.
int ColorOfName(QStringView name);

// The process-wide lock of the text engines: held from a text object's first engine call to
// its last.
std::recursive_mutex& TextLock();
// The engine shared by text objects (a report holds none of its own).
TqdxDrawText& SharedDrawText();

} // namespace zr::reportlib::render
