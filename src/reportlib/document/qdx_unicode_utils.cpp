#include "qdx_unicode_utils.h"

#include "platform/text/code_page_conversion.h"
#include "platform/text/codepages.h"

#include <QFile>

#include <string>

namespace zr::reportlib {

unsigned CodePageOfCharset(int charset) {
    switch (charset) {
    case 0:
        return codepages::kCodePageAnsi; // ANSI
    case 1:
        return codepages::kCodePageAnsi; // default: the system ANSI code page
    case 2:
        return 42; // symbol
    case 77:
        return codepages::kCodePageMac; // Macintosh
    case 128:
        return 932; // Shift-JIS
    case 129:
        return 949; // Hangul
    case 130:
        return 1361; // Johab
    case 134:
        return 936; // GB 2312
    case 136:
        return 950; // Big5
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Central European
    case 255:
        return codepages::kCodePageOem; // OEM
    default:
        throw std::invalid_argument("No code page for character set " + std::to_string(charset));
    }
}

std::optional<int> LocaleOfCharset(int charset) {
    switch (charset) {
    case 128:
        return 1041;
    case 129:
        return 1042;
    case 130:
        return 2066;
    case 134:
        return 2052;
    case 136:
        return 3076;
    case 161:
        return 1032;
    case 162:
        return 1055;
    case 163:
        return 1066;
    case 177:
        return 1037;
    case 178:
        return 13313;
    case 186:
        return 1061;
    case 204:
        return 1049;
    case 222:
        return 1054;
    case 238:
        return 1029;
    default:
        return std::nullopt;
    }
}

QString WidenText(QByteArrayView text, int charset, unsigned codePage) {
    if (text.isEmpty()) {
        return {};
    }
    return codepages::toUnicode(codePage != 0 ? codePage : CodePageOfCharset(charset), text);
}

QByteArray NarrowText(QStringView text, int charset, unsigned codePage) {
    if (text.isEmpty()) {
        return {};
    }
    return codepages::fromUnicode(codePage != 0 ? codePage : CodePageOfCharset(charset), text);
}

int TWideStrings::AddObject(const QString& s, void* object) {
    m_items.push_back({s, object});
    return Count() - 1;
}

void TWideStrings::Delete(int i) {
    if (i < 0 || i >= Count()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
    }
    m_items.erase(m_items.begin() + i);
}

int TWideStrings::IndexOf(const QString& s) const {
    for (int i = 0; i < Count(); ++i) {
        if (m_items[std::size_t(i)].text == s) {
            return i;
        }
    }
    return -1;
}

void TWideStrings::Insert(int i, const QString& s) {
    if (i >= 0 && i < Count()) {
        m_items[std::size_t(i)].text = s;
    } else if (i == Count()) {
        Add(s);
    } else {
        throw TWideStringsOutOfBounds();
    }
}

QString TWideStrings::Strings(int i) const {
    return i >= 0 && i < Count() ? m_items[std::size_t(i)].text : QString();
}

void* TWideStrings::Objects(int i) const {
    return i >= 0 && i < Count() ? m_items[std::size_t(i)].object : nullptr;
}

void TWideStrings::SetObjects(int i, void* object) {
    if (i >= 0 && i < Count()) {
        m_items[std::size_t(i)].object = object;
    }
}

QString TWideStrings::Text() const {
    QString text;
    for (const TWString& item : m_items) {
        text += item.text;
        text += QLatin1String("\r\n");
    }
    return text;
}

void TWideStrings::SetText(QStringView text) {
    Clear();
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isBreak = [](char16_t c) { return c == u'\r' || c == u'\n' || c == u'\u2028' || c == 0; };
    while (i < n && text[i] != QChar(0)) {
        const qsizetype start = i;
        while (i < n && !isBreak(text[i].unicode())) {
            ++i;
        }
        Add(text.sliced(start, i - start).toString());
        if (i < n && text[i] == u'\r') {
            ++i;
        }
        if (i < n && text[i] == u'\n') {
            ++i;
        }
        if (i < n && text[i] == u'\u2028') {
            ++i;
        }
    }
}

void TWideStrings::Assign(const TWideStrings& source) {
    if (&source != this) {
        m_items = source.m_items;
    }
}

void TWideStrings::Assign(const QList<QByteArray>& source, const QList<void*>& objects) {
    Clear();
    for (qsizetype i = 0; i < source.size(); ++i) {
        AddObject(codepages::fromCp1252(source[i]), i < objects.size() ? objects[i] : nullptr);
    }
}

QList<QByteArray> TWideStrings::AssignTo() const {
    QList<QByteArray> out;
    out.reserve(Count());
    for (const TWString& item : m_items) {
        out.append(codepages::toCp1252(item.text));
    }
    return out;
}

bool TWideStrings::SaveToStream(QIODevice& stream) const {
    const QString text = Text();
    QByteArray bytes;
    bytes.resize(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        bytes[2 * i] = char(c & 0xFF);
        bytes[2 * i + 1] = char(c >> 8);
    }
    return stream.write(bytes) == bytes.size();
}

void TWideStrings::LoadFromStream(QIODevice& stream) {
    const QByteArray bytes = stream.readAll();
    if (bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        QString text;
        text.resize((bytes.size() - 2) / 2);
        for (qsizetype i = 0; i < text.size(); ++i) {
            text[i] = QChar(char16_t(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8)));
        }
        SetText(text);
    } else {
        SetText(codepages::fromCp1252(bytes));
    }
}

bool TWideStrings::SaveToFile(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && SaveToStream(file);
}

void TWideStrings::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("Cannot open " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    }
    LoadFromStream(file);
}

QList<QByteArray> TWideStrings::Utf8() const {
    QList<QByteArray> out;
    out.reserve(Count());
    for (const TWString& item : m_items) {
        out.append(item.text.toUtf8());
    }
    return out;
}

void TWideStrings::SetUtf8(const QList<QByteArray>& lines) {
    Clear();
    for (const QByteArray& line : lines) {
        Add(QString::fromUtf8(line));
    }
}

} // namespace zr::reportlib
