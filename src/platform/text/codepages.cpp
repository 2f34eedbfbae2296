#include "codepages.h"

#include <cstddef>

namespace zr::codepages {
namespace {

// cp1252 0x80..0x9F. The rest of cp1252 is Latin-1: bytes below 0x80 are ASCII and 0xA0..0xFF
// are U+00A0..U+00FF. The undefined bytes keep their C1 control value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

// cp850 0x80..0xFF; the lower half is ASCII.
constexpr std::array<char16_t, 128> kCp850High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0, // F8
};

// cp1252 to cp850. cp850 holds every Latin-1 character, so 0xA0..0xFF are found by inverting
// the cp850 table; the cp1252 additions in 0x80..0x9F mostly have no cp850 form and get a
// look-alike that keeps column alignment on character printers.
constexpr std::array<unsigned char, 256> kCp1252ToCp850 = [] {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 0x80; ++i) {
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    for (std::size_t i = 0; i < kCp850High.size(); ++i) {
        const char16_t u = kCp850High[i];
        if (u >= 0xA0 && u <= 0xFF) {
            table[u] = static_cast<unsigned char>(0x80 + i);
        }
    }
    // Euro sign, low quotes, ellipsis, daggers, per mille, angle quotes, caron letters and the
    // ligatures fall back to ASCII; the f with hook exists in cp850 and the bullet becomes the
    // middle dot. Undefined bytes become '?'.
    constexpr std::array<unsigned char, 32> high = {
        'E', '?',  ',',  0x9F, '"', '.',  '+', '+', // 80
        '^', '%',  'S',  '<',  'O', '?',  'Z', '?', // 88
        '?', '\'', '\'', '"',  '"', 0xFA, '-', '-', // 90
        '~', 'T',  's',  '>',  'o', '?',  'z', 'Y', // 98
    };
    for (std::size_t i = 0; i < high.size(); ++i) {
        table[0x80 + i] = high[i];
    }
    return table;
}();

// Every Latin-1 character must have been found in cp850: all found bytes are 0x80 or above, so
// an entry below that is a gap.
constexpr bool latin1Complete() {
    for (std::size_t i = 0xA0; i <= 0xFF; ++i) {
        if (kCp1252ToCp850[i] < 0x80) {
            return false;
        }
    }
    return true;
}
static_assert(latin1Complete(), "cp850 table must contain all of Latin-1");

constexpr std::array<unsigned char, 256> kUpperCp1252 = [] {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    for (int i = 'a'; i <= 'z'; ++i) {
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i - 0x20);
    }
    // 0xDF (sharp s) and 0xF7 (division sign) have no upper form one row above.
    for (int i = 0xE0; i <= 0xFE; ++i) {
        if (i != 0xF7) {
            table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i - 0x20);
        }
    }
    table[0x9A] = 0x8A;
    table[0x9C] = 0x8C;
    table[0x9E] = 0x8E;
    table[0xFF] = 0x9F;
    return table;
}();

} // namespace

char16_t cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return kCp1252High[byte - 0x80u];
    }
    return byte;
}

bool unicodeToCp1252(char16_t ch, unsigned char& byte) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        byte = static_cast<unsigned char>(ch);
        return true;
    }
    // Only 32 candidates, and most text never gets here.
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == ch) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

QString fromCp1252(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char c : bytes) {
        *dst++ = QChar(cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

QByteArray toCp1252(QStringView text, char replacement) {
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (ch.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the BMP, never in cp1252
            out.append(replacement);
            continue;
        }
        unsigned char byte = 0;
        if (!ch.isSurrogate() && unicodeToCp1252(ch.unicode(), byte)) {
            out.append(static_cast<char>(byte));
        } else {
            out.append(replacement);
        }
    }
    return out;
}

QByteArray cp1252ToCp850(QByteArrayView bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const char c : bytes) {
        *dst++ = static_cast<char>(kCp1252ToCp850[static_cast<unsigned char>(c)]);
    }
    return out;
}

QString fromCp850(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = QChar(b < 0x80 ? char16_t{b} : kCp850High[b - 0x80u]);
    }
    return out;
}

QByteArray upperCp1252(QByteArrayView bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const char c : bytes) {
        *dst++ = static_cast<char>(kUpperCp1252[static_cast<unsigned char>(c)]);
    }
    return out;
}

} // namespace zr::codepages
