#pragma once

// The parts of the PDF fonts that tests look at directly.

#include <QByteArray>
#include <QString>

namespace zr::reportlib::pdf {

// The name a font goes by in the PDF (after "/"): the family in code page 1252 with "#", the
// space and the delimiters ( ) % < > [ ] { } / written as "#" and two hexadecimal digits, then
// ",Bold", ",Italic" or ",BoldItalic" (not for a family whose styles share one face), then
// every byte of 127 and above, and every control byte, as "#" and two hexadecimal digits.
QByteArray PdfFontName(const QString& family, bool bold, bool italic);

} // namespace zr::reportlib::pdf
