#include "rtf_reader.h"

#include "platform/text/code_page_conversion.h"
#include "platform/text/codepages.h"
#include "platform/text/hex_digits.h"
#include "reportlib/document/qdx_unicode_utils.h"

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextOption>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zr::reportlib::render {

namespace {

constexpr int kDefaultHalfPoints = 24; // 12 points
constexpr int kMaxHalfPoints = 3276;   // 1638 points, the largest size rich text allows
constexpr int kMaxLength = 31680;      // 22 inches in twips: longer indents are clamped
constexpr int kMaxTabStops = 64;
constexpr int kDefaultTabStop = 720;
constexpr const char* kDefaultFamily = "Arial";

enum class Dest { Text, FontTable, ColorTable, Skip };

struct CharState {
    int font = -1; // font-table number; -1 is the document's default font
    int halfPoints = kDefaultHalfPoints;
    bool bold = false, italic = false, underline = false, strike = false, hidden = false;
    int foreground = 0, background = 0; // colour-table indices; 0 is automatic / none
    int vertical = 0;                   // 1 superscript, -1 subscript
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    int align = 0; // 0 left, 1 centre, 2 right, 3 justified
    int leftIndent = 0, rightIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0;
    int lineSpacing = 0;
    bool lineMultiple = false;
    std::vector<QTextOption::Tab> tabs;
    QTextOption::TabType nextTabType = QTextOption::LeftTab;
};

struct GroupState {
    CharState ch;
    ParaState para;
    int uc = 1; // characters that follow a \u as its 8-bit fallback
    Dest dest = Dest::Text;
};

struct FontEntry {
    QByteArray nameBytes;
    QString name;
    int charset = -1;
    int codePage = 0;
};

struct ColorEntry {
    int red = 0, green = 0, blue = 0;
    bool set = false;
};

enum class Word {
    // document
    Rtf,
    Urtf,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    DefTab,
    Bin,
    // destinations
    FontTable,
    ColorTable,
    SkipGroup,
    // font and colour tables
    FontCharset,
    FontCodePage,
    Red,
    Green,
    Blue,
    // character formatting
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    FontSize,
    Font,
    Foreground,
    Background,
    Super,
    Sub,
    NoSuperSub,
    Hidden,
    // paragraph formatting
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    LineMultiple,
    TabStop,
    TabRight,
    TabCenter,
    TabDecimal,
    // text
    Par,
    Line,
    Tab,
    Unicode,
    UnicodeSkip,
    Character, // a fixed character, looked up in characterOf
};

const std::unordered_map<std::string_view, Word>& words() {
    static const std::unordered_map<std::string_view, Word> table = [] {
        std::unordered_map<std::string_view, Word> t{
            {"rtf", Word::Rtf},
            {"urtf", Word::Urtf},
            {"ansi", Word::Ansi},
            {"mac", Word::Mac},
            {"pc", Word::Pc},
            {"pca", Word::Pca},
            {"ansicpg", Word::AnsiCpg},
            {"deff", Word::Deff},
            {"deftab", Word::DefTab},
            {"bin", Word::Bin},
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"fcharset", Word::FontCharset},
            {"cpg", Word::FontCodePage},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
            {"plain", Word::Plain},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ulnone", Word::UnderlineNone},
            {"strike", Word::Strike},
            {"striked", Word::Strike},
            {"fs", Word::FontSize},
            {"f", Word::Font},
            {"cf", Word::Foreground},
            {"cb", Word::Background},
            {"highlight", Word::Background},
            {"super", Word::Super},
            {"sub", Word::Sub},
            {"nosupersub", Word::NoSuperSub},
            {"v", Word::Hidden},
            {"pard", Word::Pard},
            {"ql", Word::AlignLeft},
            {"qc", Word::AlignCenter},
            {"qr", Word::AlignRight},
            {"qj", Word::AlignJustify},
            {"qd", Word::AlignJustify},
            {"li", Word::LeftIndent},
            {"lin", Word::LeftIndent},
            {"ri", Word::RightIndent},
            {"rin", Word::RightIndent},
            {"fi", Word::FirstIndent},
            {"sb", Word::SpaceBefore},
            {"sa", Word::SpaceAfter},
            {"sl", Word::LineSpacing},
            {"slmult", Word::LineMultiple},
            {"tx", Word::TabStop},
            {"tqr", Word::TabRight},
            {"tqc", Word::TabCenter},
            {"tqdec", Word::TabDecimal},
            {"par", Word::Par},
            {"sect", Word::Par},
            {"page", Word::Par},
            {"row", Word::Par},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"cell", Word::Tab},
            {"nestcell", Word::Tab},
            {"u", Word::Unicode},
            {"uc", Word::UnicodeSkip},
        };
        // Every kind of underline is drawn as a plain one.
        for (const char* w : {"ul", "uld", "uldb", "uldash", "uldashd", "uldashdd", "ulth", "ulw",
                              "ulwave", "ulhwave", "ululdbwave", "ulthd", "ulthdash", "ulthdashd",
                              "ulthdashdd", "ulthldash", "ulldash"}) {
            t.emplace(w, Word::Underline);
        }
        // Destinations whose content is not part of the visible text.
        for (const char* w : {"pict",       "stylesheet",   "info",         "header",
                              "headerl",    "headerr",      "headerf",      "footer",
                              "footerl",    "footerr",      "footerf",      "fldinst",
                              "object",     "objdata",      "themedata",    "colorschememapping",
                              "datastore",  "latentstyles", "listtable",    "listoverridetable",
                              "rsidtbl",    "generator",    "xmlnstbl",     "footnote",
                              "annotation", "atnid",        "atnauthor",    "bkmkstart",
                              "bkmkend",    "nonshppict",   "shpinst",      "sp",
                              "sn",         "sv",           "xe",           "tc",
                              "txe",        "revtbl",       "filetbl",      "pgdsctbl",
                              "pn",         "pntxta",       "pntxtb",       "pnseclvl",
                              "template",   "userprops",    "docvar",       "fchars",
                              "lchars",     "author",       "operator",     "title",
                              "subject",    "keywords",     "comment",      "doccomm",
                              "company",    "category",     "manager",      "hlinkbase",
                              "ftnsep",     "ftnsepc",      "ftncn",        "aftnsep",
                              "aftnsepc",   "aftncn",       "falt",         "panose",
                              "fname",      "fontemb",      "fontfile",     "private",
                              "blipuid",    "mmathPr",      "wgrffmtfilter"}) {
            t.emplace(w, Word::SkipGroup);
        }
        for (const char* w :
             {"emdash", "endash", "bullet", "lquote", "rquote", "ldblquote", "rdblquote", "emspace",
              "enspace", "qmspace", "zwj", "zwnj", "ltrmark", "rtlmark"}) {
            t.emplace(w, Word::Character);
        }
        return t;
    }();
    return table;
}

char16_t characterOf(std::string_view word) {
    static const std::unordered_map<std::string_view, char16_t> table{
        {"emdash", u'\u2014'},    {"endash", u'\u2013'},  {"bullet", u'\u2022'},
        {"lquote", u'\u2018'},    {"rquote", u'\u2019'},  {"ldblquote", u'\u201C'},
        {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'},
        {"qmspace", u'\u2005'},   {"zwj", u'\u200D'},     {"zwnj", u'\u200C'},
        {"ltrmark", u'\u200E'},   {"rtlmark", u'\u200F'},
    };
    const auto it = table.find(word);
    return it == table.end() ? u'\0' : it->second;
}

int clampLength(int v) {
    return std::clamp(v, -kMaxLength, kMaxLength);
}

// Code page of an RTF font character set, or 0 when the document's own code page applies.
unsigned codePageOfCharset(int charset) {
    if (charset < 0 || charset == 1) {
        return 0;
    }
    try {
        return CodePageOfCharset(charset);
    } catch (const std::exception&) {
        return 0;
    }
}

QString decode(unsigned codePage, QByteArrayView bytes) {
    try {
        return codepages::toUnicode(codePage, bytes);
    } catch (const std::exception&) {
        // A code page this system cannot convert (the symbol character set among them).
        return codepages::fromCp1252(bytes);
    }
}

// Removes what a text document would take as structure (frame markers, object replacement,
// paragraph separators) or cannot show (control characters, lone surrogates).
QString sanitized(const QString& in) {
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char16_t c = in.at(i).unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < in.size() && QChar::isLowSurrogate(in.at(i + 1).unicode())) {
                out.append(in.at(i));
                out.append(in.at(i + 1));
                ++i;
            } else {
                out.append(QChar::ReplacementCharacter);
            }
            continue;
        }
        if (QChar::isLowSurrogate(c)) {
            out.append(QChar::ReplacementCharacter);
            continue;
        }
        if (c == u'\t' || c == QChar::LineSeparator) {
            out.append(QChar(c));
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == 0xFDD0 || c == 0xFDD1 ||
            c == QChar::ObjectReplacementCharacter) {
            continue;
        }
        if (c == QChar::ParagraphSeparator) {
            out.append(QChar::LineSeparator);
            continue;
        }
        out.append(QChar(c));
    }
    return out;
}

class Parser {
public:
    Parser(QByteArrayView data, QTextDocument& doc) : m_data(data), m_doc(doc), m_cursor(&doc) {}

    void run();
    void runPlainText();

private:
    GroupState& state() { return m_stack.back(); }

    // Tokens
    void openGroup();
    void closeGroup();
    qsizetype control(qsizetype i);
    void word(std::string_view name, bool hasParam, int param);
    void symbol(char c);
    void byte(unsigned char b);

    // Text output
    unsigned codePageOfFont(int font) const;
    void prepareText();
    void addByte(unsigned char b);
    void addUnicode(char32_t c);
    void flushBytes();
    void flushText();
    void endParagraph();
    void finish();
    QTextCharFormat charFormat(const CharState& s) const;
    QTextBlockFormat blockFormat(const ParaState& p) const;
    QColor colour(int index) const;

    // Tables
    void fontTableText(unsigned char b);
    void colorTableText(unsigned char b);

    QByteArrayView m_data;
    QTextDocument& m_doc;
    QTextCursor m_cursor;

    std::vector<GroupState> m_stack;
    int m_overflow = 0; // groups opened beyond kMaxGroupDepth and not yet closed
    bool m_done = false;
    int m_skip = 0; // fallback characters of the last \u still to drop

    unsigned m_codePage = codepages::kCodePageAnsi;
    int m_defaultFont = 0;
    int m_defaultTab = kDefaultTabStop;
    std::map<int, FontEntry> m_fonts;
    int m_tableFont = -1;
    std::vector<ColorEntry> m_colors;
    ColorEntry m_pendingColor;

    QByteArray m_bytes;
    unsigned m_bytesCodePage = 0;
    QString m_text;
    CharState m_textState;
    bool m_haveText = false;
    bool m_blockPending = false; // a paragraph ended; the next one starts with the next text
};

void Parser::run() {
    m_stack.emplace_back(); // the state outside every group
    const qsizetype n = m_data.size();
    qsizetype i = 0;
    while (i < n && !m_done) {
        const char c = m_data[i];
        switch (c) {
        case '{':
            ++i;
            openGroup();
            break;
        case '}':
            ++i;
            closeGroup();
            break;
        case '\\':
            i = control(i + 1);
            break;
        case '\r':
        case '\n':
            ++i;
            break;
        default:
            ++i;
            byte(static_cast<unsigned char>(c));
            break;
        }
    }
    finish();
}

void Parser::runPlainText() {
    m_stack.emplace_back();
    const qsizetype n = m_data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = m_data[i];
        if (c == '\r' || c == '\n') {
            endParagraph();
            if (c == '\r' && i + 1 < n && m_data[i + 1] == '\n') {
                ++i;
            }
        } else {
            addByte(static_cast<unsigned char>(c));
        }
    }
    finish();
}

void Parser::openGroup() {
    m_skip = 0;
    if (m_overflow > 0 || int(m_stack.size()) > RtfReader::kMaxGroupDepth) {
        ++m_overflow;
        return;
    }
    GroupState copy = state();
    m_stack.push_back(std::move(copy));
}

void Parser::closeGroup() {
    m_skip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.size() <= 2) {
        // The outermost group ends the document; a stray brace outside it does too.
        m_done = true;
        return;
    }
    const Dest closing = state().dest;
    if (closing == Dest::ColorTable && m_pendingColor.set) {
        // A last entry without its semicolon.
        m_colors.push_back(m_pendingColor);
        m_pendingColor = {};
    }
    m_stack.pop_back();
}

qsizetype Parser::control(qsizetype i) {
    const qsizetype n = m_data.size();
    if (i >= n) {
        return i;
    }
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char c = m_data[i];
    if (!isLetter(c)) {
        if (c == '\'') {
            const auto hex = [&](qsizetype at) -> int {
                if (at >= n) {
                    return -1;
                }
                return zr::text::hexDigitValue(m_data[at]);
            };
            const int hi = hex(i + 1);
            const int lo = hi < 0 ? -1 : hex(i + 2);
            if (hi < 0 || lo < 0) {
                return i + 1 + (hi < 0 ? 0 : 1);
            }
            byte(static_cast<unsigned char>(hi * 16 + lo));
            return i + 3;
        }
        symbol(c);
        return i + 1;
    }
    const qsizetype start = i;
    while (i < n && isLetter(m_data[i])) {
        ++i;
    }
    // Control words are at most 32 letters; longer runs are no word we know.
    const std::string_view name(m_data.data() + start, size_t(std::min<qsizetype>(i - start, 33)));
    bool hasParam = false;
    bool negative = false;
    std::int64_t value = 0;
    if (i < n && m_data[i] == '-' && i + 1 < n && isDigit(m_data[i + 1])) {
        negative = true;
        ++i;
    }
    while (i < n && isDigit(m_data[i])) {
        hasParam = true;
        value = std::min<std::int64_t>(value * 10 + (m_data[i] - '0'), 0x7FFFFFFF);
        ++i;
    }
    if (i < n && m_data[i] == ' ') {
        ++i;
    }
    const int param = static_cast<int>(negative ? -value : value);
    if (name == "bin") {
        // Binary data of `param` bytes follows; it may hold braces and backslashes.
        const qsizetype skip = std::clamp<qsizetype>(hasParam ? param : 0, 0, n - i);
        return i + skip;
    }
    word(name, hasParam, param);
    return i;
}

void Parser::symbol(char c) {
    switch (c) {
    case '\\':
    case '{':
    case '}':
        byte(static_cast<unsigned char>(c));
        return;
    default:
        break;
    }
    if (state().dest != Dest::Text) {
        if (c == '*' && m_stack.size() > 2) {
            state().dest = Dest::Skip;
        }
        return;
    }
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    switch (c) {
    case '~':
        addUnicode(0x00A0);
        break;
    case '-':
        addUnicode(0x00AD);
        break;
    case '_':
        addUnicode(0x2011);
        break;
    case '*':
        // An ignorable destination: none of them holds visible text.
        if (m_stack.size() > 2) {
            state().dest = Dest::Skip;
        }
        break;
    case '\r':
    case '\n':
        endParagraph();
        break;
    case '\t':
        addUnicode(u'\t');
        break;
    default:
        break;
    }
}

void Parser::byte(unsigned char b) {
    if (m_stack.size() < 2) {
        return; // outside the document's group
    }
    switch (state().dest) {
    case Dest::Text:
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (!state().ch.hidden) {
            if (b == '\t') {
                addUnicode(u'\t');
            } else {
                addByte(b);
            }
        }
        return;
    case Dest::FontTable:
        fontTableText(b);
        return;
    case Dest::ColorTable:
        colorTableText(b);
        return;
    case Dest::Skip:
        return;
    }
}

void Parser::fontTableText(unsigned char b) {
    if (m_tableFont < 0) {
        return;
    }
    FontEntry& font = m_fonts[m_tableFont];
    if (b == ';') {
        unsigned cp = font.codePage > 0 ? unsigned(font.codePage) : codePageOfCharset(font.charset);
        font.name = decode(cp == 0 ? m_codePage : cp, font.nameBytes).trimmed();
        font.nameBytes.clear();
        m_tableFont = -1;
        return;
    }
    if (font.nameBytes.size() < 256) {
        font.nameBytes.append(char(b));
    }
}

void Parser::colorTableText(unsigned char b) {
    if (b == ';') {
        m_colors.push_back(m_pendingColor);
        m_pendingColor = {};
    }
}

void Parser::word(std::string_view name, bool hasParam, int param) {
    const auto it = words().find(name);
    if (it == words().end()) {
        // An unknown word counts as one fallback character of a \u; otherwise it is ignored.
        if (state().dest == Dest::Text && m_skip > 0) {
            --m_skip;
        }
        return;
    }
    GroupState& s = state();
    const Word w = it->second;
    const bool on = !hasParam || param != 0;

    // Words that hold everywhere, tables and skipped groups included.
    switch (w) {
    case Word::Rtf:
    case Word::Ansi:
        return;
    case Word::Urtf:
        m_codePage = codepages::kCodePageUtf8;
        return;
    case Word::Mac:
        m_codePage = codepages::kCodePageMac;
        return;
    case Word::Pc:
    case Word::Pca:
        m_codePage = codepages::kCodePageOem;
        return;
    case Word::AnsiCpg:
        if (hasParam && param > 0) {
            m_codePage = unsigned(param);
        }
        return;
    case Word::Deff:
        m_defaultFont = param;
        return;
    case Word::DefTab:
        if (param > 0) {
            m_defaultTab = std::min(param, kMaxLength);
        }
        return;
    case Word::FontTable:
        s.dest = Dest::FontTable;
        return;
    case Word::ColorTable:
        s.dest = Dest::ColorTable;
        m_pendingColor = {};
        return;
    case Word::SkipGroup:
        // A destination at the root would hide the whole document; there it is ignored.
        if (m_stack.size() > 2) {
            s.dest = Dest::Skip;
        }
        return;
    default:
        break;
    }

    if (s.dest == Dest::Skip) {
        return;
    }
    if (s.dest == Dest::FontTable) {
        switch (w) {
        case Word::Font:
            m_tableFont = param;
            m_fonts[param];
            return;
        case Word::FontCharset:
            if (m_tableFont >= 0) {
                m_fonts[m_tableFont].charset = param;
            }
            return;
        case Word::FontCodePage:
            if (m_tableFont >= 0) {
                m_fonts[m_tableFont].codePage = param;
            }
            return;
        default:
            return;
        }
    }
    if (s.dest == Dest::ColorTable) {
        const int v = std::clamp(param, 0, 255);
        switch (w) {
        case Word::Red:
            m_pendingColor.red = v;
            m_pendingColor.set = true;
            return;
        case Word::Green:
            m_pendingColor.green = v;
            m_pendingColor.set = true;
            return;
        case Word::Blue:
            m_pendingColor.blue = v;
            m_pendingColor.set = true;
            return;
        default:
            return;
        }
    }

    // The body text.
    if (m_skip > 0 && w != Word::UnicodeSkip) {
        --m_skip;
        return;
    }
    CharState& ch = s.ch;
    ParaState& para = s.para;
    switch (w) {
    case Word::Plain:
        ch = CharState{};
        break;
    case Word::Bold:
        ch.bold = on;
        break;
    case Word::Italic:
        ch.italic = on;
        break;
    case Word::Underline:
        ch.underline = on;
        break;
    case Word::UnderlineNone:
        ch.underline = false;
        break;
    case Word::Strike:
        ch.strike = on;
        break;
    case Word::FontSize:
        ch.halfPoints = param > 0 ? std::min(param, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
    case Word::Font:
        ch.font = param;
        break;
    case Word::Foreground:
        ch.foreground = param;
        break;
    case Word::Background:
        ch.background = param;
        break;
    case Word::Super:
        ch.vertical = 1;
        break;
    case Word::Sub:
        ch.vertical = -1;
        break;
    case Word::NoSuperSub:
        ch.vertical = 0;
        break;
    case Word::Hidden:
        ch.hidden = on;
        break;
    case Word::Pard:
        para = ParaState{};
        break;
    case Word::AlignLeft:
        para.align = 0;
        break;
    case Word::AlignCenter:
        para.align = 1;
        break;
    case Word::AlignRight:
        para.align = 2;
        break;
    case Word::AlignJustify:
        para.align = 3;
        break;
    case Word::LeftIndent:
        para.leftIndent = clampLength(param);
        break;
    case Word::RightIndent:
        para.rightIndent = clampLength(param);
        break;
    case Word::FirstIndent:
        para.firstIndent = clampLength(param);
        break;
    case Word::SpaceBefore:
        para.spaceBefore = std::clamp(param, 0, kMaxLength);
        break;
    case Word::SpaceAfter:
        para.spaceAfter = std::clamp(param, 0, kMaxLength);
        break;
    case Word::LineSpacing:
        para.lineSpacing = clampLength(param);
        break;
    case Word::LineMultiple:
        para.lineMultiple = on;
        break;
    case Word::TabStop:
        if (param > 0 && int(para.tabs.size()) < kMaxTabStops) {
            para.tabs.emplace_back(qreal(std::min(param, kMaxLength)), para.nextTabType);
        }
        para.nextTabType = QTextOption::LeftTab;
        break;
    case Word::TabRight:
        para.nextTabType = QTextOption::RightTab;
        break;
    case Word::TabCenter:
        para.nextTabType = QTextOption::CenterTab;
        break;
    case Word::TabDecimal:
        para.nextTabType = QTextOption::DelimiterTab;
        break;
    case Word::Par:
        endParagraph();
        break;
    case Word::Line:
        if (!ch.hidden) {
            addUnicode(QChar::LineSeparator);
        }
        break;
    case Word::Tab:
        if (!ch.hidden) {
            addUnicode(u'\t');
        }
        break;
    case Word::Unicode: {
        if (!hasParam) {
            break;
        }
        // Writers give characters above U+7FFF as negative 16-bit numbers.
        const std::int64_t v = param < 0 ? std::int64_t(param) + 65536 : param;
        if (!ch.hidden) {
            if (v > 0 && v <= 0x10FFFF) {
                addUnicode(char32_t(v));
            } else if (v != 0) {
                addUnicode(QChar::ReplacementCharacter);
            }
        }
        m_skip = s.uc;
        break;
    }
    case Word::UnicodeSkip:
        s.uc = std::clamp(param, 0, 1000);
        break;
    case Word::Character:
        if (!ch.hidden) {
            addUnicode(characterOf(name));
        }
        break;
    default:
        break;
    }
}

unsigned Parser::codePageOfFont(int font) const {
    const auto it = m_fonts.find(font < 0 ? m_defaultFont : font);
    if (it != m_fonts.end()) {
        if (it->second.codePage > 0) {
            return unsigned(it->second.codePage);
        }
        if (const unsigned cp = codePageOfCharset(it->second.charset); cp != 0) {
            return cp;
        }
    }
    return m_codePage;
}

void Parser::prepareText() {
    if (m_blockPending) {
        m_cursor.insertBlock();
        m_blockPending = false;
    }
    const CharState& s = state().ch;
    if (m_haveText && !(s == m_textState)) {
        flushText();
    }
    m_textState = s;
    m_haveText = true;
}

void Parser::addByte(unsigned char b) {
    prepareText();
    const unsigned cp = codePageOfFont(m_textState.font);
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage) {
        flushBytes();
    }
    m_bytesCodePage = cp;
    m_bytes.append(char(b));
}

void Parser::addUnicode(char32_t c) {
    prepareText();
    flushBytes();
    if (c > 0xFFFF) {
        m_text.append(QChar(QChar::highSurrogate(c)));
        m_text.append(QChar(QChar::lowSurrogate(c)));
    } else {
        m_text.append(QChar(char16_t(c)));
    }
}

void Parser::flushBytes() {
    if (!m_bytes.isEmpty()) {
        m_text += decode(m_bytesCodePage, m_bytes);
        m_bytes.clear();
    }
}

void Parser::flushText() {
    flushBytes();
    if (!m_text.isEmpty()) {
        const QString clean = sanitized(m_text);
        if (!clean.isEmpty()) {
            m_cursor.insertText(clean, charFormat(m_textState));
        }
        m_text.clear();
    }
    m_haveText = false;
}

void Parser::endParagraph() {
    flushText();
    if (m_blockPending) {
        m_cursor.insertBlock();
    }
    m_cursor.setBlockFormat(blockFormat(state().para));
    m_cursor.setBlockCharFormat(charFormat(state().ch));
    m_blockPending = true;
}

void Parser::finish() {
    flushText();
    if (!m_blockPending) {
        m_cursor.setBlockFormat(blockFormat(state().para));
        m_cursor.setBlockCharFormat(charFormat(state().ch));
    }
    QTextOption option = m_doc.defaultTextOption();
    option.setTabStopDistance(m_defaultTab);
    m_doc.setDefaultTextOption(option);
}

QColor Parser::colour(int index) const {
    if (index <= 0 || size_t(index) >= m_colors.size()) {
        return {};
    }
    const ColorEntry& e = m_colors[size_t(index)];
    if (!e.set) {
        return {};
    }
    return QColor(e.red, e.green, e.blue);
}

QTextCharFormat Parser::charFormat(const CharState& s) const {
    QTextCharFormat f;
    QString family;
    const auto it = m_fonts.find(s.font < 0 ? m_defaultFont : s.font);
    if (it != m_fonts.end()) {
        family = it->second.name;
    }
    f.setFontFamilies(QStringList{family.isEmpty() ? QString::fromLatin1(kDefaultFamily) : family});
    f.setProperty(QTextFormat::FontPixelSize, s.halfPoints * 10);
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strike);
    if (const QColor c = colour(s.foreground); c.isValid()) {
        f.setForeground(c);
    }
    if (const QColor c = colour(s.background); c.isValid()) {
        f.setBackground(c);
    }
    if (s.vertical > 0) {
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    } else if (s.vertical < 0) {
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    }
    return f;
}

QTextBlockFormat Parser::blockFormat(const ParaState& p) const {
    QTextBlockFormat f;
    static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                               Qt::AlignJustify};
    f.setAlignment(kAlign[std::clamp(p.align, 0, 3)]);
    f.setLeftMargin(std::max(p.leftIndent, 0));
    f.setRightMargin(std::max(p.rightIndent, 0));
    f.setTextIndent(p.firstIndent);
    f.setTopMargin(p.spaceBefore);
    f.setBottomMargin(p.spaceAfter);
    if (p.lineSpacing > 0 && p.lineMultiple) {
        // A multiple of single spacing, 240 being one line.
        f.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    } else if (p.lineSpacing > 0) {
        f.setLineHeight(p.lineSpacing, QTextBlockFormat::MinimumHeight);
    } else if (p.lineSpacing < 0) {
        f.setLineHeight(-p.lineSpacing, QTextBlockFormat::FixedHeight);
    }
    if (!p.tabs.empty()) {
        f.setTabPositions(QList<QTextOption::Tab>(p.tabs.begin(), p.tabs.end()));
    }
    return f;
}

bool looksLikeRtf(QByteArrayView data) {
    qsizetype i = 0;
    while (i < data.size() &&
           (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) {
        ++i;
    }
    const QByteArrayView rest = data.sliced(i);
    return rest.startsWith("{\\rtf") || rest.startsWith("{\\urtf");
}

} // namespace

void RtfReader::read(QByteArrayView rtf, QTextDocument& doc) {
    doc.clear();
    doc.setDocumentMargin(0);
    doc.setUseDesignMetrics(true);
    QFont base(QString::fromLatin1(kDefaultFamily));
    base.setPixelSize(kDefaultHalfPoints * 10);
    doc.setDefaultFont(base);
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);

    Parser parser(rtf, doc);
    if (looksLikeRtf(rtf)) {
        parser.run();
    } else {
        parser.runPlainText();
    }
}

std::unique_ptr<QTextDocument> RtfReader::read(QByteArrayView rtf) {
    auto doc = std::make_unique<QTextDocument>();
    read(rtf, *doc);
    return doc;
}

} // namespace zr::reportlib::render
