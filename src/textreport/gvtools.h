#pragma once

// Small conversions shared by the text report engine and its windows. Text is single-byte
// code page 1252, as the reports are written; box-drawing output is code page 850. All
// functions are free of state.

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>

#include <optional>
#include <vector>

namespace zr::textreport {

// Replaces accented letters (and ª º ç ñ, and ¼ ½ ¾ § by a blank) by their plain forms.
QByteArray RemoverAcentos(QByteArrayView text);

// Maps the box letters of "B" items ("=", "I", "A", ... "+") to code page 850 line characters;
// other characters are unchanged.
QByteArray ConverterBox(QByteArrayView text);

// "27 80 27 15" -> bytes 27, 80, 27, 15. Tokens are separated by blanks; tokens that are not
// decimal numbers (an optional sign, then digits), and numbers outside 0..255, are skipped.
QByteArray CodigosParaBytes(QByteArrayView codes);

// One byte n for n in 0..255, an empty string otherwise.
QByteArray Caractere(int n);

// Colour as six upper-case hexadecimal digits, red first.
QByteArray CorParaHex(const QColor& colour);

// Six hexadecimal digits (red, green, blue; either case) to a colour; nullopt when one of the
// six characters is not a hexadecimal digit or the text is shorter than six. Characters after
// the sixth are ignored.
std::optional<QColor> HexParaCor(QByteArrayView hex);

// HTML escaping of " ' > < & only.
QByteArray EscaparHTML(QByteArrayView text);

// Escaping for PDF string literals: ( ) \ get a backslash, BS LF FF CR become \b \n \f \r, other
// controls and 127 become a backslash and three octal digits; the rest is unchanged.
QByteArray EscaparPDF(QByteArrayView text);

// n in base 8 with leading zeros up to at least `digits` digits ("0" for 0 and no minimum); a
// negative n gets a minus sign before the digits.
QByteArray Octal(int n, int digits);

// Removes the nine characters " * / : < > ? \ | from a proposed file name.
QByteArray LimparNomeArquivo(QByteArrayView text);

} // namespace zr::textreport
