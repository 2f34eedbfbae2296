#include "gvtools.h"

#include "platform/text/hex_digits.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace zr::textreport {
namespace {

using ByteTable = std::array<unsigned char, 256>;

constexpr ByteTable identityTable() {
    ByteTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<unsigned char>(i);
    }
    return table;
}

constexpr void mapAll(ByteTable& table, std::string_view from, char to) {
    for (const char c : from) {
        table[static_cast<unsigned char>(c)] = static_cast<unsigned char>(to);
    }
}

// Plain forms of the accented cp1252 letters. The fractions and the section sign have no plain
// letter and become a blank, so columns stay where they were.
constexpr ByteTable kSemAcento = [] {
    ByteTable table = identityTable();
    mapAll(table, "\xE1\xE0\xE3\xE2\xE4\xAA", 'a'); // a acute, grave, tilde, circumflex, umlaut; ª
    mapAll(table, "\xE9\xE8\xEA\xEB", 'e');
    mapAll(table, "\xED\xEC\xEE\xEF", 'i');
    mapAll(table, "\xF3\xF2\xF5\xF4\xF6\xBA", 'o'); // ... and º
    mapAll(table, "\xFA\xF9\xFB\xFC", 'u');
    mapAll(table, "\xC1\xC0\xC3\xC2\xC4", 'A');
    mapAll(table, "\xC9\xC8\xCA\xCB", 'E');
    mapAll(table, "\xCD\xCC\xCE\xCF", 'I');
    mapAll(table, "\xD3\xD2\xD5\xD4\xD6", 'O');
    mapAll(table, "\xDA\xD9\xDB\xDC", 'U');
    mapAll(table, "\xE7", 'c');
    mapAll(table, "\xC7", 'C');
    mapAll(table, "\xF1", 'n');
    mapAll(table, "\xD1", 'N');
    mapAll(table, "\xBC\xBE\xBD\xA7", ' ');
    return table;
}();

// Box letters to the code page 850 line characters: capitals and "[ ] #" draw double lines,
// lower case and "- < > +" single ones.
constexpr ByteTable kBox = [] {
    ByteTable table = identityTable();
    constexpr std::array<std::pair<char, unsigned char>, 22> pairs = {{
        {'=', 0xCD}, {'I', 0xBA}, {'A', 0xC9}, {'B', 0xBB}, {'C', 0xBC}, {'D', 0xC8},
        {'T', 0xCB}, {'V', 0xCA}, {'[', 0xCC}, {']', 0xB9}, {'#', 0xCE}, {'-', 0xC4},
        {'i', 0xB3}, {'a', 0xDA}, {'b', 0xBF}, {'c', 0xD9}, {'d', 0xC0}, {'t', 0xC2},
        {'v', 0xC1}, {'<', 0xC3}, {'>', 0xB4}, {'+', 0xC5},
    }};
    for (const auto& [letter, line] : pairs) {
        table[static_cast<unsigned char>(letter)] = line;
    }
    return table;
}();

QByteArray mapBytes(QByteArrayView text, const ByteTable& table) {
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const char c : text) {
        *dst++ = static_cast<char>(table[static_cast<unsigned char>(c)]);
    }
    return out;
}

// A decimal integer with an optional sign and nothing else; nullopt when the text is not one or
// does not fit in an int. Digits are counted in 64 bits and checked at each step, so any length
// of digits is safe.
std::optional<int> decimal(QByteArrayView text) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    constexpr std::int64_t limit = std::int64_t{1} << 31; // magnitude of INT_MIN
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    } else if (value == limit) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

} // namespace

QByteArray RemoverAcentos(QByteArrayView text) {
    return mapBytes(text, kSemAcento);
}

QByteArray ConverterBox(QByteArrayView text) {
    return mapBytes(text, kBox);
}

QByteArray Caractere(int n) {
    if (n < 0 || n > 255) {
        return {};
    }
    return QByteArray(1, static_cast<char>(n));
}

QByteArray CodigosParaBytes(QByteArrayView codes) {
    QByteArray out;
    qsizetype start = 0;
    while (start <= codes.size()) {
        qsizetype end = codes.indexOf(' ', start);
        if (end < 0) {
            end = codes.size();
        }
        if (const std::optional<int> n = decimal(codes.sliced(start, end - start))) {
            out.append(Caractere(*n));
        }
        start = end + 1;
    }
    return out;
}

QByteArray CorParaHex(const QColor& colour) {
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray out(6, Qt::Uninitialized);
    const std::array<int, 3> parts = {colour.red(), colour.green(), colour.blue()};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto v = static_cast<unsigned>(parts[i]) & 0xFFu;
        out[static_cast<qsizetype>(2 * i)] = digits[v >> 4];
        out[static_cast<qsizetype>(2 * i + 1)] = digits[v & 0xFu];
    }
    return out;
}

std::optional<QColor> HexParaCor(QByteArrayView hex) {
    if (hex.size() < 6) {
        return std::nullopt;
    }
    std::array<int, 3> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const int high = zr::text::hexDigitValue(hex[static_cast<qsizetype>(2 * i)]);
        const int low = zr::text::hexDigitValue(hex[static_cast<qsizetype>(2 * i + 1)]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        parts[i] = high * 16 + low;
    }
    return QColor(parts[0], parts[1], parts[2]);
}

QByteArray EscaparHTML(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '"':
            out.append("&quot;");
            break;
        case '\'':
            out.append("&apos;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '&':
            out.append("&amp;");
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

QByteArray EscaparPDF(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '(':
        case ')':
        case '\\':
            out.append('\\').append(c);
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\r':
            out.append("\\r");
            break;
        default:
            if (b < 32 || b == 127) {
                out.append('\\').append(Octal(b, 3));
            } else {
                out.append(c);
            }
        }
    }
    return out;
}

QByteArray Octal(int n, int digits) {
    // Unsigned arithmetic, so that INT_MIN has a magnitude too.
    unsigned magnitude = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    std::array<char, 12> buffer{}; // 32 bits are 11 octal digits
    std::size_t length = 0;
    do {
        buffer[length++] = static_cast<char>('0' + (magnitude & 7u));
        magnitude >>= 3;
    } while (magnitude != 0);

    QByteArray out;
    const qsizetype width = std::max<qsizetype>(digits, static_cast<qsizetype>(length));
    out.reserve(width + 1);
    if (n < 0) {
        out.append('-');
    }
    out.append(width - static_cast<qsizetype>(length), '0');
    while (length > 0) {
        out.append(buffer[--length]);
    }
    return out;
}

QByteArray LimparNomeArquivo(QByteArrayView text) {
    constexpr std::string_view forbidden = "\"*/:<>?\\|";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (forbidden.find(c) == std::string_view::npos) {
            out.append(c);
        }
    }
    return out;
}

} // namespace zr::textreport
