#pragma once

// The saved text report file (.GVP): a control record of nine lines, then one page-store item
// per line, every line ended by CR LF, bytes written and read unchanged.
//
//   1  version marker          "<< Gravana 5.0 - Morvane Sistemas >>"
//   2  "<< ESTE  ARQUIVO NÃO DEVE SER EDITADO >>"
//   3  item count, "000000"    6  columns, "000000"    8  pitch "F05" ... "F20"
//   4  report title            7  "6" or "8" lines per inch   9  style letters N, I, S
//   5  lines per page, "000000"
//
// Version 3 files have no colour field in their items.

#include "textreport/types.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace zr::textreport::gvp {

inline constexpr char kMarkerV3[] = "<< Gravana 3.0 - Morvane Inform\xe1tica >>";
inline constexpr char kMarkerV4[] = "<< Gravana 4.0 - Morvane Inform\xe1tica >>";
inline constexpr char kMarkerV5[] = "<< Gravana 5.0 - Morvane Sistemas >>";
inline constexpr char kWarningLine[] = "<< ESTE  ARQUIVO N\xc3O DEVE SER EDITADO >>";

// The version (3, 4 or 5) a first line announces, 0 when it is none of the markers.
int versionOfMarker(QByteArrayView line);

// A decimal number as the file and the items write it: optional leading blanks, an optional
// sign, then digits only, within the range of int. False for anything else.
bool parseNumber(QByteArrayView text, int& out);

// Line 8 to a pitch (nullopt for any other text) and back.
std::optional<TSize> pitchFromCode(QByteArrayView code);
QByteArray pitchCode(TSize size);

// Line 9 to a style (each of N, I, S found anywhere adds its member) and back.
TStyle styleFromLetters(QByteArrayView letters);
QByteArray styleLetters(const TStyle& style);

// An item line of a version 3 file with the black colour field inserted after position 14.
QByteArray convertV3Item(QByteArrayView line);

// "000000" formatting: at least six digits, zero-padded.
QByteArray sixDigits(qint64 n);

// Splits a buffer into lines: a line ends at LF, and a CR just before the LF is not part of it.
// The last line needs no terminator.
class LineReader {
public:
    explicit LineReader(QByteArrayView buffer) : m_buffer(buffer) {}
    // The next line, with its offset in the buffer; false at the end of the buffer.
    bool next(QByteArrayView& line, qsizetype& offset);
    bool atEnd() const { return m_pos >= m_buffer.size(); }

private:
    QByteArrayView m_buffer;
    qsizetype m_pos = 0;
};

} // namespace zr::textreport::gvp
