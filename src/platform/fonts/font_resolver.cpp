#include "font_resolver.h"

#include "font_configuration.h"

#include <QFile>

#include <fontconfig/fontconfig.h>

#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

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
    if (!EnsureFontConfiguration()) {
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

namespace {

struct CharSetDeleter {
    void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};

// The faces a family and style may draw with: its own first, then fontconfig's fallbacks, each
// with the characters it has.
struct Chain {
    struct Face {
        FontLocation location;
        std::unique_ptr<FcCharSet, CharSetDeleter> chars;
        bool Has(char32_t ch) const { return chars && FcCharSetHasChar(chars.get(), ch); }
    };
    std::vector<Face> faces;
};

void AddFace(Chain& chain, const FcPattern* pattern) {
    FcBool outline = FcTrue;
    if (FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline) {
        return;
    }
    auto location = LocationOf(pattern);
    FcCharSet* chars = nullptr;
    if (!location || FcPatternGetCharSet(pattern, FC_CHARSET, 0, &chars) != FcResultMatch) {
        return;
    }
    for (const auto& known : chain.faces) {
        if (known.location.file == location->file &&
            known.location.faceIndex == location->faceIndex) {
            return;
        }
    }
    Chain::Face face;
    face.location = std::move(*location);
    face.chars.reset(FcCharSetCopy(chars));
    chain.faces.push_back(std::move(face));
}

Chain BuildChain(const QString& family, bool bold, bool italic) {
    Chain chain;
    PatternPtr request = MakeRequest(family, bold, italic);
    if (!request) {
        return chain;
    }
    FcResult result = FcResultNoMatch;
    if (PatternPtr match{FcFontMatch(nullptr, request.get(), &result)}) {
        AddFace(chain, match.get());
    }
    FontSetPtr set(FcFontSort(nullptr, request.get(), FcTrue, nullptr, &result));
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            AddFace(chain, set->fonts[i]);
        }
    }
    return chain;
}

// Chains are built once per family and style and kept for the process.
const Chain& ChainFor(const QString& family, bool bold, bool italic) {
    static std::mutex mutex;
    static std::map<std::tuple<QString, bool, bool>, Chain> chains;
    const std::lock_guard lock(mutex);
    auto key = std::make_tuple(family, bold, italic);
    auto found = chains.find(key);
    if (found == chains.end()) {
        found = chains.emplace(key, BuildChain(family, bold, italic)).first;
    }
    return found->second;
}

} // namespace

bool FollowsNeighbour(char32_t ch) {
    switch (QChar::category(ch)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
    case QChar::Other_Control:
    case QChar::Separator_Space:
        return true;
    default:
        return (ch >= 0xFE00 && ch <= 0xFE0F) || (ch >= 0xE0100 && ch <= 0xE01EF);
    }
}

std::vector<FaceRun> SplitByFace(QStringView text, const QString& family, bool bold, bool italic) {
    std::vector<FaceRun> runs;
    if (text.isEmpty()) {
        return runs;
    }
    const Chain& chain = ChainFor(family, bold, italic);
    if (chain.faces.empty()) {
        return runs;
    }
    constexpr std::size_t kMissing = std::numeric_limits<std::size_t>::max();
    std::size_t current = 0;
    const int length = int(text.size());
    for (int i = 0; i < length;) {
        const int start = i;
        char32_t ch = text[i].unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < length && text[i + 1].isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        ++i;
        std::size_t face = current;
        if (runs.empty() || !FollowsNeighbour(ch)) {
            face = kMissing;
            for (std::size_t f = 0; f < chain.faces.size(); ++f) {
                if (chain.faces[f].Has(ch)) {
                    face = f;
                    break;
                }
            }
        }
        const bool missing = face == kMissing;
        if (missing) {
            face = 0;
        }
        if (!runs.empty() && current == face && runs.back().missing == missing) {
            runs.back().end = i;
            continue;
        }
        current = face;
        FaceRun run;
        run.start = start;
        run.end = i;
        run.face = chain.faces[face].location;
        run.fallback = face != 0;
        run.missing = missing;
        runs.push_back(std::move(run));
    }
    return runs;
}

} // namespace zr::fonts
