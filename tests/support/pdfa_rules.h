#pragma once

#include <QString>
#include <QStringList>

namespace zr::test {

// The PDF/A-2 rules our writers promise, checked on a written file with qpdf's JSON output,
// poppler's pdffonts and a Ghostscript re-rendering (no validator of the standard is packaged):
// - a PDF 1.x header followed by a comment line of four bytes above 127;
// - "stream" followed by an end of line, an end of line before every "endstream";
// - a trailer /ID of two strings, no /Encrypt; qpdf --check finds nothing;
// - the catalog's /Metadata: an unfiltered XML stream with pdfaid:part 2, pdfaid:conformance
//   A or B, xmp:CreateDate and xmp:ModifyDate equal to the information dictionary's dates (which
//   carry a time zone), and dc:title, dc:creator, pdf:Producer equal to /Title, /Author and
//   /Producer where those are present;
// - /OutputIntents holding a /GTS_PDFA1 intent whose /DestOutputProfile is a three-component
//   stream of a well-formed RGB display profile;
// - every font embedded (pdffonts), every descriptor's /FontFamily a string, every
//   CIDFontType2 with a /CIDToGIDMap, every width (/Widths of simple TrueType fonts, /W of CID
//   fonts) equal, within one unit, to the embedded font program's advance, and no glyph shown
//   as .notdef (a character the simple font's program lacks, a CID mapped to glyph 0);
// - every annotation with the print flag and none of the hidden ones in /F;
// - no JavaScript, launch, remote or import actions, no transparency (soft masks, constant
//   alpha below 1, blend modes, transparency groups), no CMYK colour space object (the intent
//   is RGB);
// - Ghostscript renders every page with nothing on its output or error stream.
// Returns one line per broken rule (empty when all hold), or "missing: TOOL" when a tool is not
// installed.
QStringList pdfaProblems(const QString& path);

// The rules of an accessible archive that can be read from the file (with qpdf's JSON output,
// opened with `password` when given), for tagged files:
// - the catalog has a /StructTreeRoot structure tree root, /MarkInfo with /Marked true and a
//   /Lang that reads as a language tag ("pt-BR");
// - everything a page paints (text, paths, images, forms, shadings) lies inside marked content
//   that has an /MCID or is an /Artifact, and the marked-content operators are balanced;
// - every marked-content ID of a page is unique on it and leads, through the page's
//   /StructParents key and the root's /ParentTree, to a structure element;
// - every /Figure structure element has a non-empty /Alt.
// Returns one line per broken rule (empty when all hold), or "missing: qpdf".
QStringList taggedProblems(const QString& path, const QString& password = {});

} // namespace zr::test
