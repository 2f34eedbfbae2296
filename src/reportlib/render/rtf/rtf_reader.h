#pragma once

// Our own reader of rich text (RTF) into a QTextDocument, for the rich text views. It covers
// what report documents use: groups, the font and colour tables, character formatting (bold,
// italic, underline, strike-out, size, font, colours, super- and subscript, hidden text),
// paragraph formatting (alignment, indents, spacing, line spacing, tab stops), special
// characters, 8-bit escapes in each font's code page and Unicode escapes. Pictures, objects,
// style sheets, document information, headers, footers, field instructions and every
// ignorable destination are skipped.
//
// Lengths in the produced document are in twips (1/1440 inch): font sizes are pixel sizes in
// twips, and so are indents, paragraph spacing and tab stops. The document is therefore laid
// out as if on a 1440-dpi device and scaled down when painted, which makes its line breaks the
// same at every zoom and on every device.

#include <QByteArrayView>
#include <QTextDocument>

#include <memory>

namespace zr::reportlib::render {

class RtfReader {
public:
    // Groups nested deeper than this still balance their braces but no longer save and
    // restore the formatting state.
    static constexpr int kMaxGroupDepth = 256;

    // Replaces the content of `doc` by the document `rtf` holds. Input that does not start
    // with "{\rtf" is taken as plain text in code page 1252. Never throws for damaged input:
    // unbalanced braces, unknown control words and truncated data yield what could be read.
    // Text after the brace that closes the outermost group is ignored.
    static void read(QByteArrayView rtf, QTextDocument& doc);
    static std::unique_ptr<QTextDocument> read(QByteArrayView rtf);
};

} // namespace zr::reportlib::render
