#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <vector>

namespace zr::reportlib {

// Windows code page of a font character set: 1 (default) gives the system ANSI code page 1252,
// 77 (Macintosh) gives 2, 255 (OEM) gives 1, and the other character sets their ANSI code page.
// Throws std::invalid_argument for a character set that has none.
unsigned CodePageOfCharset(int charset);

// Locale identifier used for a font character set; nullopt means "the calling thread's locale".
std::optional<int> LocaleOfCharset(int charset);

// 8-bit text to wide text and back, in `codePage`, or in CodePageOfCharset(charset) when
// `codePage` is 0. Throws codepages::UnsupportedCodePage for code pages this system lacks.
QString WidenText(QByteArrayView text, int charset, unsigned codePage);
QByteArray NarrowText(QStringView text, int charset, unsigned codePage);

// Raised for an index outside TWideStrings' bounds in Strings/Insert.
class TWideStringsOutOfBounds : public std::out_of_range {
public:
    TWideStringsOutOfBounds() : std::out_of_range("Wide String Out of Bounds") {}
};

// An ordered list of wide strings, each with an untyped object reference the list does not own.
class TWideStrings {
public:
    int Count() const { return int(m_items.size()); }

    // Appends and returns the new index.
    int Add(const QString& s) { return AddObject(s, nullptr); }
    int AddObject(const QString& s, void* object);
    void Clear() { m_items.clear(); }
    // Removes entry i; throws std::out_of_range for an invalid index.
    void Delete(int i);
    // First entry equal to s (exact comparison), or -1.
    int IndexOf(const QString& s) const;
    // For 0 <= i < Count replaces entry i's text; for i == Count appends; otherwise throws
    // TWideStringsOutOfBounds. (Insert and SetStrings are the same operation.)
    void Insert(int i, const QString& s);
    void SetStrings(int i, const QString& s) { Insert(i, s); }

    // "" and nullptr outside 0..Count-1; SetObjects ignores such an index.
    QString Strings(int i) const;
    void* Objects(int i) const;
    void SetObjects(int i, void* object);

    // Every entry followed by CR LF.
    QString Text() const;
    // Splits at CR, LF, U+2028 (CR LF counting as one break); stops at U+0000.
    void SetText(QStringView text);

    // Copies texts and objects; from 8-bit strings through the system code page (1252).
    void Assign(const TWideStrings& source);
    void Assign(const QList<QByteArray>& source, const QList<void*>& objects = {});
    // 8-bit copies of the entries through the system code page.
    QList<QByteArray> AssignTo() const;

    // UTF-16LE without byte-order mark.
    bool SaveToStream(QIODevice& stream) const;
    // From the stream's position to its end: UTF-16LE after FF FE, else 8-bit text (cp1252).
    void LoadFromStream(QIODevice& stream);
    bool SaveToFile(const QString& path) const;
    // Throws std::runtime_error when the file cannot be opened.
    void LoadFromFile(const QString& path);

    // The persistent "UTF8" form: one UTF-8 string per entry.
    QList<QByteArray> Utf8() const;
    void SetUtf8(const QList<QByteArray>& lines);

private:
    struct TWString {
        QString text;
        void* object = nullptr;
    };
    std::vector<TWString> m_items;
};

} // namespace zr::reportlib
