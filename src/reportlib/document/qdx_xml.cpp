#include "qdx_xml.h"

#include "platform/files/atomic_file.h"
#include "platform/text/codepages.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>

#include <algorithm>
#include <cstring>
#include <functional>

namespace zr::reportlib {

namespace {

constexpr qsizetype kLongFormLength = 32;
constexpr qint64 kFetchBlock = 64 * 1024;
constexpr qint64 kSequentialBlock = 1024 * 1024;
constexpr qsizetype kWriterFlush = 4096;

bool isSpecial(char c) {
    return c == '\n' || c == '\r' || c == '"' || c == '<' || c == '>';
}

void appendReference(QByteArray& out, unsigned char code) {
    char digits[8];
    int n = 0;
    digits[n++] = '&';
    digits[n++] = '#';
    if (code >= 100) {
        digits[n++] = char('0' + code / 100);
    }
    if (code >= 10) {
        digits[n++] = char('0' + (code / 10) % 10);
    }
    digits[n++] = char('0' + code % 10);
    digits[n++] = ';';
    out.append(digits, n);
}

bool sameFolded(unsigned char a, unsigned char b) {
    return codepages::foldCp1252(a) == codepages::foldCp1252(b);
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameFolded(static_cast<unsigned char>(a[i]), static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Index in `text` where attribute `name` begins: the name (case ignored) followed by '="',
// starting the text or preceded by a space. -1 when absent.
qsizetype findAttribute(QByteArrayView text, QByteArrayView name) {
    const qsizetype need = name.size() + 2;
    for (qsizetype j = 0; j + need <= text.size(); ++j) {
        if (j > 0 && text[j - 1] != ' ') {
            continue;
        }
        if (text[j + name.size()] == '=' && text[j + name.size() + 1] == '"' &&
            equalsIgnoringCase(text.sliced(j, name.size()), name)) {
            return j;
        }
    }
    return -1;
}

// Removes the deferred-subtree mark ld="0" from an attribute text: at its start (where the
// writer puts it for an element without attributes) or after a space. Returns whether it was
// there.
bool removeDeferredMark(QByteArray& text) {
    static constexpr QByteArrayView kMark("ld=\"0\"");
    if (text.size() >= kMark.size() && equalsIgnoringCase(QByteArrayView(text).first(6), kMark)) {
        text.remove(0, kMark.size());
        return true;
    }
    for (qsizetype j = 0; j + kMark.size() < text.size(); ++j) {
        if (text[j] == ' ' && equalsIgnoringCase(QByteArrayView(text).sliced(j + 1, 6), kMark)) {
            text.remove(j, kMark.size() + 1);
            return true;
        }
    }
    return false;
}

// Frees a subtree without recursion, so that any depth is safe.
void freeSubtrees(std::vector<std::unique_ptr<TqdxXMLItem>>& items);

} // namespace

// ----------------------------------------------------------------------------------------------
// Escaping

QByteArray EncodeXMLText(QByteArrayView s) {
    const bool longForm = s.size() >= kLongFormLength;
    QByteArray out;
    out.reserve(s.size() + (longForm ? 256 : 16));
    static constexpr QByteArrayView kQuot("&quot;");
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '&') {
            if (s.sliced(i).startsWith(kQuot)) {
                out.append("&#34;");
                i += kQuot.size() - 1;
            } else if (longForm) {
                out.append("&#38;");
            } else {
                out.append('&');
            }
        } else if (isSpecial(c)) {
            appendReference(out, static_cast<unsigned char>(c));
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray DecodeXMLText(QByteArrayView s) {
    const qsizetype n = s.size();
    QByteArray out;
    out.reserve(n);
    qsizetype i = 0;
    // The last byte never starts a reference.
    while (i < n - 1) {
        const char c = s[i];
        if (c != '&') {
            out.append(c);
            ++i;
            continue;
        }
        if (n - i - 1 >= 3 && s[i + 1] == '#') {
            const qsizetype semi = s.sliced(i + 2).indexOf(';');
            if (semi >= 0) {
                const QByteArrayView digits = s.sliced(i + 2, semi);
                bool ok = false;
                const qlonglong v = QByteArray(digits.data(), digits.size()).toLongLong(&ok);
                if (!ok || v < -2147483648LL || v > 2147483647LL) {
                    throw std::invalid_argument("'" + digits.toByteArray().toStdString() +
                                                "' is not a valid integer value");
                }
                out.append(char(static_cast<unsigned char>(v & 0xFF)));
                i += 2 + semi + 1;
                continue;
            }
            // No ';' anywhere after it: the reference is kept as it is.
            out.append(c);
            ++i;
            continue;
        }
        const QByteArrayView rest = s.sliced(i);
        if (rest.startsWith("&quot;")) {
            out.append('"');
            i += 6;
        } else if (rest.startsWith("&amp;")) {
            out.append('&');
            i += 5;
        } else if (rest.startsWith("&lt;")) {
            out.append('<');
            i += 4;
        } else if (rest.startsWith("&gt;")) {
            out.append('>');
            i += 4;
        } else {
            out.append(c);
            ++i;
        }
    }
    if (i == n - 1) {
        out.append(s[i]);
    }
    return out;
}

QByteArray VariantToXMLText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QByteArray::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QByteArray::number(v.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double: {
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return codepages::toCp1252(locale.toString(v.toDouble(), 'g', 15));
    }
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return codepages::toCp1252(QLocale::system().toString(v.toDate(), QLocale::ShortFormat));
    case QMetaType::QString:
        return EncodeXMLText(codepages::toCp1252(v.toString()));
    case QMetaType::QByteArray:
        return EncodeXMLText(v.toByteArray());
    case QMetaType::Bool:
        return v.toBool() ? "1" : "0";
    default:
        return {};
    }
}

// ----------------------------------------------------------------------------------------------
// Elements

namespace {
void freeSubtrees(std::vector<std::unique_ptr<TqdxXMLItem>>& items) {
    std::vector<std::unique_ptr<TqdxXMLItem>> work = std::move(items);
    items.clear();
    while (!work.empty()) {
        std::unique_ptr<TqdxXMLItem> item = std::move(work.back());
        work.pop_back();
        while (item->Count() > 0) {
            work.push_back(item->TakeItem(item->Count() - 1));
        }
    }
}
} // namespace

TqdxXMLItem::~TqdxXMLItem() {
    freeSubtrees(m_items);
}

void TqdxXMLItem::SetOffset(qint64 offset) {
    m_offsetLow = static_cast<quint32>(offset & 0xFFFFFFFF);
    m_offsetHigh = static_cast<quint8>((offset >> 32) & 0xFF);
}

TqdxXMLItem& TqdxXMLItem::Items(int i) const {
    if (i < 0 || i >= Count()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
    }
    return *m_items[static_cast<std::size_t>(i)];
}

void TqdxXMLItem::Clear() {
    freeSubtrees(m_items);
    m_items.shrink_to_fit();
    if (m_deferred && !Loaded) {
        return; // nothing in memory: the children are still where they were read from
    }
    m_deferred = false;
    if (Unloadable) {
        Loaded = false;
    }
}

TqdxXMLItem& TqdxXMLItem::Add() {
    return AddItem(std::make_unique<TqdxXMLItem>());
}

TqdxXMLItem& TqdxXMLItem::AddItem(std::unique_ptr<TqdxXMLItem> item) {
    if (!item || item->m_parent != nullptr) {
        throw std::invalid_argument("AddItem: the element is null or already has a parent");
    }
    item->m_parent = this;
    m_items.push_back(std::move(item));
    return *m_items.back();
}

TqdxXMLItem& TqdxXMLItem::AddItem(TqdxXMLItem& item) {
    for (const TqdxXMLItem* p = this; p != nullptr; p = p->m_parent) {
        if (p == &item) {
            throw std::invalid_argument("AddItem: an element cannot become its own descendant");
        }
    }
    TqdxXMLItem* old = item.m_parent;
    if (old == nullptr) {
        throw std::invalid_argument("AddItem: the element is owned outside any element");
    }
    return AddItem(old->TakeItem(old->IndexOf(item)));
}

TqdxXMLItem& TqdxXMLItem::InsertItem(int index, std::unique_ptr<TqdxXMLItem> item) {
    TqdxXMLItem& added = AddItem(std::move(item));
    const auto to = std::clamp<qsizetype>(index, 0, Count() - 1);
    std::rotate(m_items.begin() + to, m_items.end() - 1, m_items.end());
    return added;
}

TqdxXMLItem& TqdxXMLItem::InsertItem(int index, TqdxXMLItem& item) {
    TqdxXMLItem& added = AddItem(item);
    const auto to = std::clamp<qsizetype>(index, 0, Count() - 1);
    std::rotate(m_items.begin() + to, m_items.end() - 1, m_items.end());
    return added;
}

std::unique_ptr<TqdxXMLItem> TqdxXMLItem::TakeItem(int i) {
    Items(i); // range check
    auto it = m_items.begin() + i;
    std::unique_ptr<TqdxXMLItem> item = std::move(*it);
    m_items.erase(it);
    item->m_parent = nullptr;
    return item;
}

void TqdxXMLItem::Delete(int i) {
    std::unique_ptr<TqdxXMLItem> item = TakeItem(i);
}

int TqdxXMLItem::Find(QByteArrayView name) const {
    for (int i = 0; i < Count(); ++i) {
        if (equalsIgnoringCase(m_items[static_cast<std::size_t>(i)]->Name, name)) {
            return i;
        }
    }
    return -1;
}

TqdxXMLItem& TqdxXMLItem::FindItem(QByteArrayView name) {
    const int i = Find(name);
    if (i >= 0) {
        return Items(i);
    }
    TqdxXMLItem& item = Add();
    item.Name = name.toByteArray();
    return item;
}

int TqdxXMLItem::IndexOf(const TqdxXMLItem& item) const {
    for (int i = 0; i < Count(); ++i) {
        if (m_items[static_cast<std::size_t>(i)].get() == &item) {
            return i;
        }
    }
    return -1;
}

QByteArray TqdxXMLItem::Prop(QByteArrayView name) const {
    const qsizetype at = findAttribute(Text, name);
    if (at < 0) {
        return {};
    }
    const qsizetype start = at + name.size() + 2;
    const qsizetype close = Text.indexOf('"', start);
    if (close < 0) {
        return {};
    }
    return DecodeXMLText(QByteArrayView(Text).sliced(start, close - start));
}

void TqdxXMLItem::SetProp(QByteArrayView name, QByteArrayView value) {
    qsizetype at = findAttribute(Text, name);
    if (at >= 0) {
        const qsizetype close = Text.indexOf('"', at + name.size() + 2);
        const qsizetype end = close < 0 ? Text.size() : close + 1;
        Text.remove(at, end - at);
    } else {
        at = Text.size();
    }
    QByteArray attribute;
    const QByteArray encoded = EncodeXMLText(value);
    attribute.reserve(name.size() + encoded.size() + 4);
    if (at > 0 && Text[at - 1] != ' ') {
        attribute.append(' ');
    }
    attribute.append(name).append("=\"").append(encoded).append('"');
    Text.insert(at, attribute);
}

// ----------------------------------------------------------------------------------------------
// Reader

// Reads tags from a stream through a buffer that holds at least the tag being read. A load
// reads the whole rest of the stream at once; a fetch reads in blocks. On destruction the
// stream is left just after the last byte consumed.
class XmlReader {
public:
    XmlReader(QIODevice& stream, qint64 blockSize)
        : m_stream(stream), m_base(stream.pos()), m_streamPos(m_base),
          m_end(stream.isSequential() ? -1 : stream.size()), m_block(blockSize) {
        if (m_end >= 0 && m_block <= 0) {
            m_block = std::max<qint64>(m_end - m_base, 1);
        } else if (m_block <= 0) {
            m_block = kSequentialBlock;
        }
    }
    ~XmlReader() {
        if (!m_stream.isSequential()) {
            m_stream.seek(m_base + m_pos);
        }
    }
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Reads the "?xml" header; returns whether it is the legacy form (version 1.0 without
    // "standalone=").
    bool readHeader() {
        QByteArray name, text;
        if (!readTag(name, text) || !name.startsWith("?xml")) {
            throw TqdxInvalidXMLException();
        }
        QByteArray version;
        const qsizetype at = text.indexOf("version=");
        if (at >= 0) {
            version = text.mid(at + 9, 3);
        }
        return version == "1.0" && !text.contains("standalone=");
    }

    // Reads one element and its subtree into `top`. Returns false when the first tag read is an
    // end tag or the stream ended. Nesting is followed on an explicit stack.
    bool readElement(TqdxXMLItem& top, bool loadAll,
                     const TqdxXMLDocument::DeferRule* defer = nullptr) {
        qint64 start = 0;
        const Kind kind = readStart(top, start);
        if (kind == Kind::End) {
            return false;
        }
        if (kind == Kind::Leaf) {
            finish(top, start, loadAll);
            return true;
        }
        struct Frame {
            TqdxXMLItem* item;
            qint64 start;
        };
        std::vector<Frame> stack;
        stack.push_back({&top, start});
        while (!stack.empty()) {
            TqdxXMLItem& parent = *stack.back().item;
            auto child = std::make_unique<TqdxXMLItem>();
            qint64 childStart = 0;
            switch (readStart(*child, childStart)) {
            case Kind::Open: {
                if (stack.size() >= std::size_t(TqdxXMLItem::kMaxDepth)) {
                    throw TqdxInvalidXMLException();
                }
                if (defer && (*defer)(child->Name, parent.Name, int(stack.size()) + 1)) {
                    // Its children stay in the stream until somebody asks for them.
                    child->m_cut = !skipSubtree(stack.size(), child->Name);
                    removeDeferredMark(child->Text);
                    child->SetOffset(childStart);
                    child->m_inSwapFile = false;
                    child->m_deferred = true;
                    child->Loaded = false;
                    parent.AddItem(std::move(child));
                    break;
                }
                TqdxXMLItem& added = parent.AddItem(std::move(child));
                stack.push_back({&added, childStart});
                break;
            }
            case Kind::Leaf:
                finish(*child, childStart, loadAll);
                parent.AddItem(std::move(child));
                break;
            case Kind::End: {
                const Frame frame = stack.back();
                stack.pop_back();
                if (m_atEnd) {
                    frame.item->m_cut = true;
                }
                if (!m_lastName.isEmpty() &&
                    !(m_lastName.startsWith('/') &&
                      equalsIgnoringCase(QByteArrayView(m_lastName).sliced(1), frame.item->Name))) {
                    throw TqdxInvalidXMLException();
                }
                finish(*frame.item, frame.start, loadAll);
                break;
            }
            }
        }
        return true;
    }

private:
    enum class Kind { End, Leaf, Open };

    Kind readStart(TqdxXMLItem& item, qint64& start) {
        start = m_base + m_pos;
        if (!readTag(item.Name, item.Text)) {
            m_lastName.clear();
            m_atEnd = true;
            return Kind::End;
        }
        m_lastName = item.Name;
        if (item.Name.isEmpty() || item.Name.startsWith('/')) {
            return Kind::End;
        }
        if (item.Name.endsWith('/')) {
            item.Name.chop(1);
            return Kind::Leaf;
        }
        if (item.Text.endsWith('/')) {
            item.Text.chop(1);
            return Kind::Leaf;
        }
        return Kind::Open;
    }

    // Drops the deferred mark; without loadAll the children read are dropped too and the
    // element remembers where to read them again.
    static void finish(TqdxXMLItem& item, qint64 start, bool loadAll) {
        if (removeDeferredMark(item.Text) && !loadAll) {
            freeSubtrees(item.m_items);
            item.SetOffset(start);
            item.m_inSwapFile = false;
            item.Unloadable = true;
            item.Loaded = false;
        }
    }

    // Finds the next tag, skipping character data and comments: afterwards the tag's text
    // (between '<' and '>') is m_buf[start, end) and m_pos is just past the '>'. False at the
    // end of the stream (outside a tag). Throws for a '<' inside a tag or the stream ending
    // inside one.
    bool scanTag(qsizetype& start, qsizetype& end) {
        for (;;) {
            if (!skipPast('<')) {
                return false;
            }
            start = m_pos;
            qsizetype i = m_pos;
            bool comment = false;
            for (;;) {
                const char* d = m_buf.constData();
                const qsizetype n = m_buf.size();
                while (i < n) {
                    const char c = d[i];
                    if (c == '>') {
                        break;
                    }
                    if (c == '<') {
                        throw TqdxInvalidXMLException();
                    }
                    ++i;
                    if (i - start == 3 && std::memcmp(d + start, "!--", 3) == 0) {
                        comment = true;
                        break;
                    }
                }
                if (comment || i < n) {
                    break;
                }
                const qsizetype dropped = start;
                if (!fill(dropped)) {
                    throw TqdxTruncatedXMLException();
                }
                start -= dropped;
                i -= dropped;
            }
            if (comment) {
                m_pos = i;
                if (!skipComment()) {
                    return false;
                }
                continue;
            }
            m_pos = i + 1;
            end = i;
            return true;
        }
    }

    // Reads the next tag's name and attribute text (see scanTag).
    bool readTag(QByteArray& name, QByteArray& text) {
        qsizetype start = 0;
        qsizetype end = 0;
        if (!scanTag(start, end)) {
            name.clear();
            text.clear();
            return false;
        }
        const char* d = m_buf.constData();
        if (end > start && d[end - 1] == ' ') {
            --end;
        }
        const void* space = std::memchr(d + start, ' ', std::size_t(end - start));
        if (space == nullptr) {
            name = QByteArray(d + start, end - start);
            text.clear();
        } else {
            const qsizetype at = static_cast<const char*>(space) - d;
            name = QByteArray(d + start, at - start);
            text = QByteArray(d + at + 1, end - at - 1);
        }
        return true;
    }

    // Passes over the children of an element whose start tag was just read, up to and
    // including its end tag, without building them, but checking them as reading them would:
    // tags, nesting depth and end tags that close the element they should (compared through a
    // case-folded hash of the names). The end of the stream between two tags ends the element,
    // as when it is read; false then.
    bool skipSubtree(std::size_t depthAbove, QByteArrayView name) {
        std::vector<quint32> open{foldedHash(name)};
        qsizetype start = 0;
        qsizetype end = 0;
        while (!open.empty() && scanTag(start, end)) {
            const char* d = m_buf.constData();
            if (end > start && d[end - 1] == ' ') {
                --end;
            }
            const void* space = std::memchr(d + start, ' ', std::size_t(end - start));
            const qsizetype nameEnd = space ? static_cast<const char*>(space) - d : end;
            const QByteArrayView tagName(d + start, nameEnd - start);
            if (tagName.isEmpty()) {
                open.pop_back(); // "<>" closes whatever is open, as when reading
            } else if (tagName.front() == '/') {
                if (open.back() != foldedHash(tagName.sliced(1))) {
                    throw TqdxInvalidXMLException();
                }
                open.pop_back();
            } else if (tagName.back() != '/' && d[end - 1] != '/') {
                if (open.size() + depthAbove >= std::size_t(TqdxXMLItem::kMaxDepth)) {
                    throw TqdxInvalidXMLException();
                }
                open.push_back(foldedHash(tagName));
            }
        }
        return open.empty();
    }

    static quint32 foldedHash(QByteArrayView name) {
        quint32 h = 2166136261u;
        for (char c : name) {
            h = (h ^ codepages::foldCp1252(static_cast<unsigned char>(c))) * 16777619u;
        }
        return h;
    }

    // Skips to just after the comment's end: "--" directly followed by '>', where a third '-'
    // in a row starts the count again. False when the stream ends first.
    bool skipComment() {
        int dashes = 0;
        for (;;) {
            const char* d = m_buf.constData();
            const qsizetype n = m_buf.size();
            while (m_pos < n) {
                const char c = d[m_pos++];
                if (c == '-') {
                    if (++dashes == 3) {
                        dashes = 0;
                    }
                } else if (c == '>' && dashes == 2) {
                    return true;
                } else {
                    dashes = 0;
                }
            }
            if (!fill(m_pos)) {
                return false;
            }
        }
    }

    bool skipPast(char ch) {
        for (;;) {
            const void* p =
                std::memchr(m_buf.constData() + m_pos, ch, std::size_t(m_buf.size() - m_pos));
            if (p != nullptr) {
                m_pos = static_cast<const char*>(p) - m_buf.constData() + 1;
                return true;
            }
            m_pos = m_buf.size();
            if (!fill(m_pos)) {
                return false;
            }
        }
    }

    // Drops the first `drop` buffered bytes and appends the next block of the stream. False
    // when the stream has nothing more.
    bool fill(qsizetype drop) {
        if (drop > 0) {
            m_buf.remove(0, drop);
            m_base += drop;
            m_pos -= drop;
        }
        qint64 want = m_block;
        if (m_end >= 0) {
            want = std::min(want, m_end - m_streamPos);
        }
        if (want <= 0) {
            return false;
        }
        const qsizetype old = m_buf.size();
        m_buf.resize(old + qsizetype(want));
        const qint64 got = m_stream.read(m_buf.data() + old, want);
        if (got <= 0) {
            m_buf.resize(old);
            return false;
        }
        m_buf.resize(old + qsizetype(got));
        m_streamPos += got;
        return true;
    }

    QIODevice& m_stream;
    QByteArray m_buf;
    qsizetype m_pos = 0;
    qint64 m_base;      // stream position of m_buf[0]
    qint64 m_streamPos; // stream position after the last byte buffered
    qint64 m_end;       // stream size when the reader was made, -1 for a sequential stream
    qint64 m_block;
    QByteArray m_lastName;
    bool m_atEnd = false; // the stream ended where a tag was looked for
};

// ----------------------------------------------------------------------------------------------
// Writer

namespace {

using Sink = std::function<bool(QByteArrayView)>;
using ReadBack = std::function<std::unique_ptr<TqdxXMLItem>(const TqdxXMLItem&)>;
// The bytes of an element's children and end tag exactly as the writer would write them, or a
// null view when the element's stored form differs or is not at hand.
using RawChildren = std::function<QByteArrayView(const TqdxXMLItem&)>;

// Writes elements as lines into a buffer handed to the sink whenever it passes 4096 bytes.
class XmlWriter {
public:
    XmlWriter(Sink sink, bool indent, ReadBack readBack, RawChildren raw = {})
        : m_sink(std::move(sink)), m_indent(indent), m_readBack(std::move(readBack)),
          m_raw(std::move(raw)) {}

    void writeProlog() {
        m_buf.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        endLine();
    }

    // Writes an element and its subtree, walking it on an explicit stack so that any depth is
    // safe. A swapped-out subtree is read back for the purpose; the element's attribute text in
    // memory is the one written.
    void writeElement(const TqdxXMLItem& top, int level) {
        struct Frame {
            const TqdxXMLItem* item;
            int level;
            int next;
            std::unique_ptr<TqdxXMLItem> copy; // a subtree read back, owned while it is written
        };
        std::vector<Frame> stack;
        auto open = [&](const TqdxXMLItem& item, int at) {
            if (!item.Loaded && !m_indent && m_raw) {
                // Children that were never read are copied as they are stored.
                const QByteArrayView raw = m_raw(item);
                if (!raw.isNull()) {
                    writeStart(item, at, true);
                    m_buf.append(raw);
                    endLine();
                    return;
                }
            }
            std::unique_ptr<TqdxXMLItem> copy = readBack(item);
            const TqdxXMLItem& element = copy ? *copy : item;
            writeStart(element, at);
            if (element.Count() > 0) {
                stack.push_back({&element, at, 0, std::move(copy)});
            }
        };
        open(top, level);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next < frame.item->Count()) {
                const TqdxXMLItem& child = frame.item->Items(frame.next++);
                open(child, frame.level + 2);
                continue;
            }
            indent(frame.level);
            m_buf.append("</").append(frame.item->Name).append('>');
            endLine();
            stack.pop_back();
        }
    }

    bool finish() {
        flush();
        return m_ok;
    }

private:
    std::unique_ptr<TqdxXMLItem> readBack(const TqdxXMLItem& item) const {
        if (item.Loaded || !m_readBack) {
            return nullptr;
        }
        std::unique_ptr<TqdxXMLItem> copy = m_readBack(item);
        if (copy) {
            copy->Text = item.Text;
            copy->Unloadable = item.Unloadable;
            copy->Loaded = true;
        }
        return copy;
    }

    // The element's start tag line; for an element without children its whole line.
    void writeStart(const TqdxXMLItem& item, int level, bool open = false) {
        indent(level);
        m_buf.append('<').append(item.Name);
        if (!item.Text.isEmpty() || item.Unloadable) {
            if (!item.Text.startsWith(' ')) {
                m_buf.append(' ');
            }
            m_buf.append(item.Text);
            if (item.Unloadable) {
                // Keep the mark a separate attribute after other attributes.
                if (!item.Text.isEmpty() && !item.Text.endsWith(' ')) {
                    m_buf.append(' ');
                }
                m_buf.append("ld=\"0\"");
            }
        }
        if (open || item.Count() > 0) {
            m_buf.append('>');
        } else if (!item.Value.isEmpty()) {
            m_buf.append('>').append(item.Value).append("</").append(item.Name).append('>');
        } else {
            m_buf.append("/>");
        }
        endLine();
    }

    void indent(int level) {
        if (m_indent) {
            m_buf.append(QByteArray(level, ' '));
        }
    }
    void endLine() {
        if (m_indent) {
            m_buf.append("\r\n");
        }
        if (m_buf.size() > kWriterFlush) {
            flush();
        }
    }
    void flush() {
        if (!m_buf.isEmpty() && m_ok) {
            m_ok = m_sink(m_buf);
        }
        m_buf.clear();
    }

    Sink m_sink;
    bool m_indent;
    ReadBack m_readBack;
    QByteArray m_buf;
    bool m_ok = true;
    RawChildren m_raw;
};

} // namespace

// ----------------------------------------------------------------------------------------------
// Document

TqdxXMLDocument::TqdxXMLDocument() = default;

TqdxXMLDocument::~TqdxXMLDocument() {
    RemoveSwapFile();
}

void TqdxXMLDocument::Clear() {
    m_root.Clear();
    RemoveSwapFile();
}

void TqdxXMLDocument::load(QIODevice& stream, bool loadAll, const DeferRule* defer) {
    freeSubtrees(m_root.m_items);
    m_root.Name.clear();
    m_root.Text.clear();
    m_root.Value.clear();
    m_root.Loaded = true;
    m_root.Unloadable = false;
    m_root.m_cut = false;
    m_root.SetOffset(0);
    XmlReader reader(stream, defer ? kSequentialBlock : 0);
    LegacyHeader = reader.readHeader();
    reader.readElement(m_root, loadAll, defer);
}

void TqdxXMLDocument::LoadFromStream(QIODevice& stream) {
    RemoveSwapFile();
    load(stream, true);
}

void TqdxXMLDocument::LoadFromStream(std::unique_ptr<QIODevice> stream, bool partialLoad) {
    RemoveSwapFile();
    load(*stream, !partialLoad);
    if (partialLoad) {
        m_source = std::move(stream);
    }
}

void TqdxXMLDocument::LoadDeferred(std::unique_ptr<QIODevice> stream, const DeferRule& defer) {
    RemoveSwapFile();
    load(*stream, true, &defer);
    m_source = std::move(stream);
}

void TqdxXMLDocument::LoadFromFile(const QString& path, bool partialLoad) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        throw std::runtime_error("Cannot open " + path.toStdString() + ": " +
                                 file->errorString().toStdString());
    }
    LoadFromStream(std::move(file), partialLoad);
}

void TqdxXMLDocument::LoadFromBytes(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LoadFromStream(buffer);
}

namespace {
std::unique_ptr<TqdxXMLItem> readBackFrom(QIODevice* stream, const TqdxXMLItem& item) {
    if (stream == nullptr || !stream->seek(item.Offset())) {
        return nullptr;
    }
    auto copy = std::make_unique<TqdxXMLItem>();
    XmlReader reader(*stream, kFetchBlock);
    if (!reader.readElement(*copy, true)) {
        throw TqdxInvalidXMLException();
    }
    return copy;
}
} // namespace

QByteArrayView TqdxXMLDocument::rawChildren(const TqdxXMLItem& item) const {
    const auto* buffer = qobject_cast<const QBuffer*>(m_source.get());
    if (!item.m_deferred || item.m_inSwapFile || buffer == nullptr) {
        return {};
    }
    const QByteArray& data = buffer->data();
    const char* d = data.constData();
    const qsizetype n = data.size();
    qsizetype pos = qsizetype(item.Offset());
    const void* gt = pos < n ? std::memchr(d + pos, '>', std::size_t(n - pos)) : nullptr;
    if (gt == nullptr) {
        return {};
    }
    const qsizetype begin = static_cast<const char*>(gt) - d + 1;
    // Tag after tag with nothing between them, each as the writer writes it: "<name text>",
    // "<name text/>" or "</name>", single spaces only after names, no comments, no marks.
    pos = begin;
    int depth = 1;
    while (depth > 0) {
        if (pos >= n || d[pos] != '<') {
            return {};
        }
        const void* close = std::memchr(d + pos, '>', std::size_t(n - pos));
        if (close == nullptr) {
            return {};
        }
        const qsizetype end = static_cast<const char*>(close) - d; // the '>'
        const QByteArrayView tag(d + pos + 1, end - pos - 1);
        if (tag.isEmpty() || tag.back() == ' ' || tag.startsWith("!") || tag.startsWith("?") ||
            tag.contains('<') || tag.contains('\n') || tag.contains('\r') || tag.contains('\t') ||
            tag.contains("ld=\"0\"")) {
            return {};
        }
        if (tag.front() == '/') {
            if (tag.contains(' ')) {
                return {};
            }
            --depth;
        } else if (tag.back() == '/') {
            if (tag.size() < 2 || tag[tag.size() - 2] == ' ') {
                return {};
            }
        } else {
            ++depth;
        }
        pos = end + 1;
    }
    return QByteArrayView(d + begin, pos - begin);
}

bool TqdxXMLDocument::SaveToStream(QIODevice& stream) const {
    XmlWriter writer(
        [&stream](QByteArrayView bytes) {
            return stream.write(bytes.data(), bytes.size()) == bytes.size();
        },
        IndentOutput,
        [this](const TqdxXMLItem& item) { return readBackFrom(streamFor(item), item); },
        [this](const TqdxXMLItem& item) { return rawChildren(item); });
    writer.writeProlog();
    writer.writeElement(m_root, 0);
    return writer.finish();
}

bool TqdxXMLDocument::SaveToFile(const QString& path, int* error) const {
    AtomicFile file(path);
    const auto failed = [&] {
        if (error) {
            *error = file.error();
        }
        return false;
    };
    if (!file.open()) {
        return failed();
    }
    XmlWriter writer(
        [&file](QByteArrayView bytes) { return file.write(bytes); }, IndentOutput,
        [this](const TqdxXMLItem& item) { return readBackFrom(streamFor(item), item); },
        [this](const TqdxXMLItem& item) { return rawChildren(item); });
    writer.writeProlog();
    writer.writeElement(m_root, 0);
    if (!writer.finish() || !file.commit()) {
        return failed();
    }
    return true;
}

QByteArray TqdxXMLDocument::SaveToBytes() const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    SaveToStream(buffer);
    return buffer.data();
}

QIODevice* TqdxXMLDocument::streamFor(const TqdxXMLItem& item) const {
    return item.m_inSwapFile ? static_cast<QIODevice*>(m_swapFile.get()) : m_source.get();
}

void TqdxXMLDocument::DropItem(TqdxXMLItem& item) {
    if (item.m_deferred && item.Loaded && !item.m_inSwapFile && m_source) {
        freeSubtrees(item.m_items);
        item.m_items.shrink_to_fit();
        item.Loaded = false;
    }
}

void TqdxXMLDocument::FetchItem(TqdxXMLItem& item) {
    if (item.Loaded) {
        return;
    }
    std::unique_ptr<TqdxXMLItem> copy = readBackFrom(streamFor(item), item);
    if (!copy) {
        return;
    }
    freeSubtrees(item.m_items);
    while (copy->Count() > 0) {
        item.AddItem(copy->TakeItem(0));
    }
    item.Loaded = true;
}

void TqdxXMLDocument::ReleaseItem(TqdxXMLItem& item) {
    if (!item.Loaded || !item.Unloadable) {
        return;
    }
    OpenSwapFile();
    // The subtree is written to memory first: writing it may read other released subtrees
    // back from the same swap file.
    QByteArray bytes;
    XmlWriter writer(
        [&bytes](QByteArrayView b) {
            bytes.append(b);
            return true;
        },
        false, [this](const TqdxXMLItem& i) { return readBackFrom(streamFor(i), i); });
    writer.writeElement(item, 0);
    writer.finish();
    const qint64 offset = m_swapFile->size();
    if (!m_swapFile->seek(offset) || m_swapFile->write(bytes) != bytes.size()) {
        throw std::runtime_error("Cannot write the swap file " +
                                 m_swapFile->fileName().toStdString() + ": " +
                                 m_swapFile->errorString().toStdString());
    }
    item.SetOffset(offset);
    item.m_inSwapFile = true;
    item.Clear();
}

void TqdxXMLDocument::OpenSwapFile() {
    if (m_swapFile) {
        return;
    }
    const QString dir =
        !TempDir.isEmpty() && QFileInfo(TempDir).isDir() ? TempDir : QDir::tempPath();
    auto file = std::make_unique<QTemporaryFile>(QDir(dir).filePath(QStringLiteral("qdxXXXXXX")));
    if (!file->open()) {
        throw std::runtime_error("Cannot create a swap file in " + dir.toStdString() + ": " +
                                 file->errorString().toStdString());
    }
    m_swapFile = std::move(file);
}

void TqdxXMLDocument::RemoveSwapFile() {
    m_swapFile.reset();
    m_source.reset();
}

QString TqdxXMLDocument::SwapFileName() const {
    return m_swapFile ? m_swapFile->fileName() : QString();
}

} // namespace zr::reportlib
