#pragma once

// Finding the font file of a family through fontconfig. The system's substitution rules apply,
// so "Arial" gives its metric-compatible stand-in, and a family the machine lacks gives what
// fontconfig offers instead (never nothing while any font is installed).

#include <QString>

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

} // namespace zr::fonts
