#pragma once

// Finding the font file of a family through fontconfig. The system's substitution rules apply,
// so "Arial" gives its metric-compatible stand-in, and a family the machine lacks gives what
// fontconfig offers instead (never nothing while any font is installed).

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace zr::fonts {

// One face of one font file.
struct FontLocation {
    QString file;        // absolute path
    int faceIndex = 0;   // the face within a collection file (0 for a single font)
    QString family;      // the family fontconfig matched (may differ from the one asked for)
    bool bold = false;   // the face itself is bold (weight of at least semi-bold)
    bool italic = false; // the face itself is italic or oblique
};

// The best face for `family` in the given style, after substitution. Empty when fontconfig
// cannot be initialised or knows no font at all.
std::optional<FontLocation> ResolveFont(const QString& family, bool bold, bool italic);

// Every face fontconfig would consider for `family` in the given style, best first (its sorted
// fallback list, without trimming). Empty when fontconfig knows no font.
std::vector<FontLocation> ResolveFontCandidates(const QString& family, bool bold, bool italic);

// A stretch of a line that one face draws.
struct FaceRun {
    int start = 0; // UTF-16 positions [start, end) in the line
    int end = 0;
    FontLocation face;
    bool fallback = false; // drawn by a face other than the one `family` resolves to
    bool missing = false;  // no installed face has these characters (the family's face draws
                           // them, as .notdef)
};

// Characters that never take a face of their own: marks, joiners and other format characters,
// controls and spaces stay with the run (the face) of the character before them.
bool FollowsNeighbour(char32_t ch);

// The one fallback chain of the screen and the PDF: `text` split into runs, each drawn by the
// face `family` resolves to where that face has the characters, otherwise by the first face of
// fontconfig's fallback list (for the family and style) that has them. Marks, joiners,
// controls and spaces stay with the run they are in. Empty for an empty text or when
// fontconfig knows no font.
std::vector<FaceRun> SplitByFace(QStringView text, const QString& family, bool bold, bool italic);

} // namespace zr::fonts
