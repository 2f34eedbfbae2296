#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <stdexcept>

namespace zr::codepages {

// Raised when a code page number names no conversion this system can perform.
class UnsupportedCodePage : public std::runtime_error {
public:
    explicit UnsupportedCodePage(unsigned codePage);
    unsigned codePage() const { return m_codePage; }

private:
    unsigned m_codePage;
};

// Windows code page numbers with a fixed meaning.
inline constexpr unsigned kCodePageOem = 1; // the current OEM code page (850 here)
inline constexpr unsigned kCodePageMac = 2; // the current Macintosh code page (10000 here)
inline constexpr unsigned kCodePageAnsi = 1252;
inline constexpr unsigned kCodePageUtf8 = 65001;

// Converts 8-bit text in a Windows code page to Unicode and back. Code pages 1252 and 850 use
// the tables of this folder; the others (874, 932, 936, 949, 950, 1250-1258, 1361, 10000,
// 28591, 65001) go through the C library's converter. Bytes or characters the code page cannot
// represent become '?' (narrowing) or U+FFFD (widening). Throws UnsupportedCodePage for any
// other number.
QString toUnicode(unsigned codePage, QByteArrayView bytes);
QByteArray fromUnicode(unsigned codePage, QStringView text);

} // namespace zr::codepages
