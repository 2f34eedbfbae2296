#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>

namespace zr::codepages {

// Single-byte code pages used by the reports. Reports are written in Windows code page 1252;
// character printers take code page 850.

// cp1252 bytes to Unicode. The five bytes cp1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 controls of the same value, so that every byte survives a round trip.
QString fromCp1252(QByteArrayView bytes);

// Unicode to cp1252. Characters cp1252 cannot hold become `replacement`, one byte per character
// (a surrogate pair counts as one character).
QByteArray toCp1252(QStringView text, char replacement = '?');

// One cp1252 byte to its Unicode character, and back: unicodeToCp1252 returns false, leaving
// `byte` untouched, when cp1252 has no byte for `ch`. The C1 controls map back only for the five
// undefined bytes above.
char16_t cp1252ToUnicode(unsigned char byte);
bool unicodeToCp1252(char16_t ch, unsigned char& byte);

// cp1252 to cp850, character for character (the result has the same length). Characters that
// cp850 lacks get the nearest look-alike (curly quotes become straight ones, dashes a hyphen,
// and so on) or '?' when there is none. Bytes below 0x80 are unchanged.
QByteArray cp1252ToCp850(QByteArrayView bytes);

// cp850 bytes to Unicode (for showing printer streams and tests).
QString fromCp850(QByteArrayView bytes);

// Upper case of cp1252 text: ASCII letters, the accented Latin-1 letters (not the German sharp
// s or y with diaeresis, which have no single upper form in Latin-1 — y with diaeresis does in
// cp1252 and is converted), and the three cp1252 letter pairs (S, Z and OE with caron/ligature).
QByteArray upperCp1252(QByteArrayView bytes);

namespace detail {
// Lower-case counterpart of every cp1252 byte; kept in the header so that sorting loops can
// inline the look-up.
inline constexpr std::array<unsigned char, 256> kFoldCp1252 = [] {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    // ASCII letters, and the Latin-1 capitals (0xD7 is the multiplication sign).
    for (int i = 'A'; i <= 'Z'; ++i) {
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 0x20);
    }
    for (int i = 0xC0; i <= 0xDE; ++i) {
        if (i != 0xD7) {
            table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 0x20);
        }
    }
    // The cp1252 additions: S and Z with caron, the OE ligature, Y with diaeresis.
    table[0x8A] = 0x9A;
    table[0x8C] = 0x9C;
    table[0x8E] = 0x9E;
    table[0x9F] = 0xFF;
    return table;
}();
} // namespace detail

// Case folding for comparisons: the lower-case counterpart of one cp1252 byte (the byte itself
// when it is not an upper-case letter). A single table look-up.
inline constexpr unsigned char foldCp1252(unsigned char byte) {
    return detail::kFoldCp1252[byte];
}

} // namespace zr::codepages
