#include "font_resolver.h"

#include <QFile>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace zr::fonts {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using FontSetPtr = std::unique_ptr<FcFontSet, FontSetDeleter>;

// The request as fontconfig's matcher wants it, with the configuration's substitutions and
// defaults applied. Null when fontconfig is unusable.
PatternPtr MakeRequest(const QString& family, bool bold, bool italic) {
    if (!FcInit()) {
        return nullptr;
    }
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) {
        return nullptr;
    }
    const QByteArray name = family.toUtf8();
    if (!name.isEmpty()) {
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(name.constData()));
    }
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // Only faces with outlines: bitmap strikes cannot be embedded or shaped at any size.
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

std::optional<FontLocation> LocationOf(const FcPattern* pattern) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
        return std::nullopt;
    }
    FontLocation location;
    location.file = QFile::decodeName(reinterpret_cast<const char*>(file));
    int index = 0;
    if (FcPatternGetInteger(pattern, FC_INDEX, 0, &index) == FcResultMatch) {
        // The upper bits of a fontconfig index name a variable-font instance; the face is
        // the low 16 bits.
        location.faceIndex = index & 0xFFFF;
    }
    FcChar8* family = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
        location.family = QString::fromUtf8(reinterpret_cast<const char*>(family));
    }
    int weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight) == FcResultMatch) {
        location.bold = weight >= FC_WEIGHT_DEMIBOLD;
    }
    int slant = FC_SLANT_ROMAN;
    if (FcPatternGetInteger(pattern, FC_SLANT, 0, &slant) == FcResultMatch) {
        location.italic = slant != FC_SLANT_ROMAN;
    }
    return location;
}

} // namespace

std::optional<FontLocation> ResolveFont(const QString& family, bool bold, bool italic) {
    PatternPtr request = MakeRequest(family, bold, italic);
    if (!request) {
        return std::nullopt;
    }
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, request.get(), &result));
    if (!match) {
        return std::nullopt;
    }
    return LocationOf(match.get());
}

std::vector<FontLocation> ResolveFontCandidates(const QString& family, bool bold, bool italic) {
    std::vector<FontLocation> candidates;
    PatternPtr request = MakeRequest(family, bold, italic);
    if (!request) {
        return candidates;
    }
    FcResult result = FcResultNoMatch;
    FontSetPtr set(FcFontSort(nullptr, request.get(), FcFalse, nullptr, &result));
    if (!set) {
        return candidates;
    }
    for (int i = 0; i < set->nfont; ++i) {
        if (auto location = LocationOf(set->fonts[i])) {
            candidates.push_back(std::move(*location));
        }
    }
    return candidates;
}

} // namespace zr::fonts
