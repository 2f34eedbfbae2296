#pragma once

// The number and string forms of the prepared-report PDF export.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zr::pdf {

class PdfEncryptor;

// The two-decimal form: a whole number as an integer ("612", "-3"), anything else with exactly
// two decimals, rounded, and a period whatever the locale ("595.28", "0.50"). Infinities and
// NaN are written as 0, and no result reads "-0".
QByteArray Num2(double value);

// A literal string's bytes: line feed as "\n", carriage return as "\r", and "(", ")" and the
// backslash preceded by a backslash; everything else unchanged. No parentheses around it.
QByteArray EscapeLiteral(QByteArrayView bytes);

// A text string (information values, outline titles): "<FEFF....>" with four upper-case
// hexadecimal digits per UTF-16 code unit; with an encryptor, the bytes FE FF and the code
// units high byte first, encrypted for `objectNumber`, as an escaped literal "(...)".
QByteArray TextString(const QString& text, const PdfEncryptor* encryptor, int objectNumber);

// Bytes as a literal string "(...)", encrypted for `objectNumber` when an encryptor is given.
QByteArray LiteralString(QByteArrayView bytes, const PdfEncryptor* encryptor, int objectNumber);

} // namespace zr::pdf
