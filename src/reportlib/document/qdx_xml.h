#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QVariant>

#include <functional>

#include <memory>
#include <stdexcept>
#include <vector>

class QTemporaryFile;

namespace zr::reportlib {

// The report library's XML dialect. An element is a name plus the raw text of its start tag
// after the name; attributes are searched for in that text on demand. Character data between
// tags is ignored when reading. Everything is a byte string: the document converts no
// character set.

// Raised for input that is not in the dialect: no "?xml" header first, a '<' inside a tag, the
// input ending inside a tag, an end tag that does not close the open element, or elements
// nested deeper than TqdxXMLItem::kMaxDepth.
class TqdxInvalidXMLException : public std::runtime_error {
public:
    TqdxInvalidXMLException() : std::runtime_error("Invalid file format") {}
};

// The input ending inside a tag: a file cut short there (still an invalid one to its callers).
class TqdxTruncatedXMLException : public TqdxInvalidXMLException {};

// Escapes a byte string for a double-quoted attribute value: LF, CR, '"', '<' and '>' become
// decimal references ("&#10;"...), and "&quot;" becomes "&#34;". Another '&' is kept as it is
// in values shorter than 32 bytes and becomes "&#38;" in longer ones.
QByteArray EncodeXMLText(QByteArrayView s);

// Resolves "&#N;" (the byte N mod 256), "&quot;", "&amp;", "&lt;" and "&gt;"; any other '&' is
// kept. The last byte never starts a reference, and a produced byte is not examined again.
// Throws std::invalid_argument when the digits of "&#...;" are not a decimal number. A "&#"
// with no ';' after it is kept unchanged.
QByteArray DecodeXMLText(QByteArrayView s);

// Text of a value for an attribute: integers in decimal, floating-point values with up to 15
// significant digits in the system number format, dates in the system short date format,
// strings through EncodeXMLText, booleans as "1"/"0", anything else as "".
QByteArray VariantToXMLText(const QVariant& v);

// One element. It owns its children; a child's Parent() names the element whose list holds it.
class TqdxXMLItem {
public:
    // Deepest nesting the reader accepts (the root is level 1). Deeper input is rejected as
    // "Invalid file format", so that trees that were read can be walked recursively.
    static constexpr int kMaxDepth = 10000;

    TqdxXMLItem() = default;
    ~TqdxXMLItem();
    TqdxXMLItem(const TqdxXMLItem&) = delete;
    TqdxXMLItem& operator=(const TqdxXMLItem&) = delete;

    QByteArray Name;
    // The start tag after the name and one space, without the closing '/' of an empty element.
    QByteArray Text;
    // Character data written between the tags by the writer (never filled by the reader).
    QByteArray Value;
    // The children are in memory (false while a deferred subtree is swapped out).
    bool Loaded = true;
    // The subtree may be dropped from memory and read again later.
    bool Unloadable = false;

    TqdxXMLItem* Parent() const { return m_parent; }
    // The input ended before the element's end tag, between two tags: the reader closed the
    // element there, with the children read so far.
    bool Truncated() const { return m_cut; }

    // Where the start tag begins in the stream the element can be read again from. Positions
    // are kept to 40 bits (an 8-bit high and a 32-bit low part).
    qint64 Offset() const { return (qint64(m_offsetHigh) << 32) | qint64(m_offsetLow); }
    void SetOffset(qint64 offset);

    int Count() const { return int(m_items.size()); }
    // The i-th child; throws std::out_of_range for an index outside 0..Count()-1.
    TqdxXMLItem& Items(int i) const;

    // Frees all children; an Unloadable element becomes not Loaded.
    void Clear();
    // Appends a new empty child and returns it.
    TqdxXMLItem& Add();
    // Appends an element that has no parent and takes ownership of it.
    TqdxXMLItem& AddItem(std::unique_ptr<TqdxXMLItem> item);
    // Moves an element of any tree to the end of this element's children (an element already
    // in this list moves to the end). Throws std::invalid_argument when `item` is this element
    // or one of its ancestors.
    TqdxXMLItem& AddItem(TqdxXMLItem& item);
    // AddItem, then moves the element to position `index` (clamped to the list).
    TqdxXMLItem& InsertItem(int index, std::unique_ptr<TqdxXMLItem> item);
    TqdxXMLItem& InsertItem(int index, TqdxXMLItem& item);
    // Detaches the i-th child and hands it to the caller. Throws std::out_of_range.
    std::unique_ptr<TqdxXMLItem> TakeItem(int i);
    // Frees the i-th child. Throws std::out_of_range.
    void Delete(int i);

    // Index of the first child named `name` (case ignored), or -1.
    int Find(QByteArrayView name) const;
    // That child, appended with this name when there is none.
    TqdxXMLItem& FindItem(QByteArrayView name);
    int IndexOf(const TqdxXMLItem& item) const;

    // The decoded value of attribute `name` (case ignored; it must start the text or follow a
    // space, and be written name="value"), or "" when absent. May throw as DecodeXMLText.
    QByteArray Prop(QByteArrayView name) const;
    // Replaces attribute `name` in place, or appends it; other attributes stay untouched.
    void SetProp(QByteArrayView name, QByteArrayView value);

private:
    friend class TqdxXMLDocument;
    friend class XmlReader;
    std::vector<std::unique_ptr<TqdxXMLItem>> m_items;
    TqdxXMLItem* m_parent = nullptr;
    quint32 m_offsetLow = 0;
    quint8 m_offsetHigh = 0;
    // Offset() refers to the document's swap file rather than the stream it was loaded from.
    bool m_inSwapFile = false;
    // The children were left in the document's source when it was loaded and can be read
    // from there again while they are unchanged.
    bool m_deferred = false;
    bool m_cut = false; // see Truncated()
};

// A document: a header and one root element, with optional deferred subtrees kept outside
// memory (in the stream it was loaded from, or in a swap file of its own).
class TqdxXMLDocument {
public:
    TqdxXMLDocument();
    ~TqdxXMLDocument();
    TqdxXMLDocument(const TqdxXMLDocument&) = delete;
    TqdxXMLDocument& operator=(const TqdxXMLDocument&) = delete;

    TqdxXMLItem& Root() { return m_root; }
    const TqdxXMLItem& Root() const { return m_root; }

    // Write line breaks (CR LF) and two spaces of indentation per level.
    bool IndentOutput = false;
    // Folder for the swap file; the system temporary folder when empty or not a folder.
    QString TempDir;
    // Set by every load: the header says version "1.0" and has no "standalone=".
    bool LegacyHeader = true;

    // Frees the tree and the swap file.
    void Clear();

    // Reads the whole stream from its position into Root. Elements marked ld="0" lose the mark
    // and keep their children. Throws TqdxInvalidXMLException (the partly read tree stays in
    // Root); input that ends between two tags is accepted with the open elements closed. The
    // stream is left just after the last byte read.
    void LoadFromStream(QIODevice& stream);
    // As above; with partialLoad, elements marked ld="0" are left out of memory (not Loaded)
    // and the document keeps the stream to read them from later.
    void LoadFromStream(std::unique_ptr<QIODevice> stream, bool partialLoad);
    // Whether the children of an element (its name, its parent's name, its level: the root is
    // level 1) are left in the stream when loading.
    using DeferRule =
        std::function<bool(QByteArrayView name, QByteArrayView parentName, int level)>;
    // Loads the whole stream but leaves the children of the elements `defer` picks in the
    // stream, which the document keeps: they come into memory with FetchItem and can leave it
    // again with DropItem. Marks ld="0" are dropped as in a full load.
    void LoadDeferred(std::unique_ptr<QIODevice> stream, const DeferRule& defer);
    // Opens a file and loads it as above. Throws std::runtime_error when it cannot be opened.
    void LoadFromFile(const QString& path, bool partialLoad = false);
    void LoadFromBytes(const QByteArray& bytes);

    // Writes the header and Root; subtrees out of memory are read back for the purpose.
    // False when the stream refused a write.
    bool SaveToStream(QIODevice& stream) const;
    // Saves through a temporary file renamed over `path`. False on failure, with the system's
    // error number in `error` (0 when no call of the system failed).
    bool SaveToFile(const QString& path, int* error = nullptr) const;
    QByteArray SaveToBytes() const;

    // Reads a not Loaded element's children back in; its attribute text stays as it is now.
    // Does nothing for other elements.
    void FetchItem(TqdxXMLItem& item);
    // Frees the children of an element fetched from the document's source and not changed
    // since; they can be fetched again. Does nothing for other elements.
    void DropItem(TqdxXMLItem& item);
    // Writes a Loaded, Unloadable element's subtree to the swap file and frees its children.
    // Does nothing for other elements. Throws std::runtime_error when the swap file cannot be
    // created or written; the element then stays in memory.
    void ReleaseItem(TqdxXMLItem& item);

    void OpenSwapFile();
    void RemoveSwapFile();
    // Name of the swap file, empty while there is none.
    QString SwapFileName() const;

private:
    void load(QIODevice& stream, bool loadAll, const DeferRule* defer = nullptr);
    // The stream an out-of-memory element's Offset refers to (null when there is none).
    QIODevice* streamFor(const TqdxXMLItem& item) const;
    // The stored bytes of a deferred element's children and end tag when they are exactly what
    // writing them would give; a null view otherwise.
    QByteArrayView rawChildren(const TqdxXMLItem& item) const;

    TqdxXMLItem m_root;
    std::unique_ptr<QIODevice> m_source;        // the stream of a partial load
    std::unique_ptr<QTemporaryFile> m_swapFile; // subtrees released by ReleaseItem
};

} // namespace zr::reportlib
