#pragma once

// The one layout of a line of text that the screen and the PDF share: the fallback chain picks
// the face of each stretch (SplitByFace), FriBidi orders the runs and HarfBuzz shapes them
// (FontFace::LayoutLine). The glyphs are those of the face files, so a painter drawing them
// through those files and a PDF embedding them put the same glyphs at the same places.

#include "font_face.h"
#include "font_resolver.h"

#include <QStringView>

#include <vector>

namespace zr::fonts {

struct LineLayout {
    // The faces the line is drawn with, the family's own first (null where a face could not
    // be opened: its stretch is drawn by the first).
    std::vector<const FontFace*> faces;
    // In visual order, left to right; advances in units of 1000 per em.
    std::vector<FontFace::PlacedGlyph> glyphs;
};

// Lays out one line in `family` and style, base direction right-to-left when asked. Faces are
// opened once per process and kept. Empty when no face can be found.
LineLayout LayOutLine(QStringView text, const QString& family, bool bold, bool italic,
                      bool rightToLeft);

// The opened face of a location, kept for the process (null when it cannot be opened).
const FontFace* SharedFace(const FontLocation& location);

} // namespace zr::fonts
