#include "font_face.h"

#include <QFile>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <fribidi.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zr::fonts {

namespace {

struct BlobDeleter {
    void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
};
struct HbFaceDeleter {
    void operator()(hb_face_t* face) const { hb_face_destroy(face); }
};
struct HbFontDeleter {
    void operator()(hb_font_t* font) const { hb_font_destroy(font); }
};
struct SubsetInputDeleter {
    void operator()(hb_subset_input_t* input) const { hb_subset_input_destroy(input); }
};
struct SubsetPlanDeleter {
    void operator()(hb_subset_plan_t* plan) const { hb_subset_plan_destroy(plan); }
};
struct BufferDeleter {
    void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

// A run of a line: characters [start, end) of the UTF-32 form at one embedding level, in one
// script.
struct Run {
    int start = 0;
    int end = 0;
    FriBidiLevel level = 0;
    hb_script_t script = HB_SCRIPT_UNKNOWN;
    int face = 0; // the index of the face that draws it
};

bool IsRealScript(hb_script_t script) {
    return script != HB_SCRIPT_COMMON && script != HB_SCRIPT_INHERITED &&
           script != HB_SCRIPT_UNKNOWN && script != HB_SCRIPT_INVALID;
}

// Rule L2 of the bidirectional algorithm on whole runs: from the highest level down to the
// lowest odd one, every maximal sequence of runs at that level or above is reversed.
void ReorderRuns(std::vector<Run>& runs) {
    if (runs.empty()) {
        return;
    }
    FriBidiLevel highest = 0;
    FriBidiLevel lowestOdd = std::numeric_limits<FriBidiLevel>::max();
    for (const Run& run : runs) {
        highest = std::max(highest, run.level);
        if ((run.level & 1) != 0) {
            lowestOdd = std::min(lowestOdd, run.level);
        }
    }
    if (lowestOdd == std::numeric_limits<FriBidiLevel>::max()) {
        return; // all left-to-right
    }
    for (int level = highest; level >= lowestOdd; --level) {
        std::size_t i = 0;
        while (i < runs.size()) {
            if (runs[i].level < level) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < runs.size() && runs[j].level >= level) {
                ++j;
            }
            std::reverse(runs.begin() + std::ptrdiff_t(i), runs.begin() + std::ptrdiff_t(j));
            i = j;
        }
    }
}

std::uint32_t ReadU32(const QByteArray& data, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

std::uint16_t ReadU16(const QByteArray& data, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void PutU32(QByteArray& data, qsizetype at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        data[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    }
}

// Face `index` of a collection ("ttcf") as a font file of its own: its table directory with
// the offsets of the copied tables, each table padded to four bytes. Empty when `data` is no
// collection or its directories point outside it.
QByteArray ExtractCollectionFace(const QByteArray& data, int index) {
    const qsizetype size = data.size();
    if (size < 12 || ReadU32(data, 0) != 0x74746366u /* ttcf */ || index < 0) {
        return {};
    }
    const std::uint32_t faces = ReadU32(data, 8);
    if (std::uint32_t(index) >= faces || 12 + 4 * qsizetype(index) + 4 > size) {
        return {};
    }
    const qsizetype face = ReadU32(data, 12 + 4 * qsizetype(index));
    if (face + 12 > size) {
        return {};
    }
    const int tables = ReadU16(data, face + 4);
    const qsizetype directoryEnd = face + 12 + 16 * qsizetype(tables);
    if (tables == 0 || directoryEnd > size) {
        return {};
    }
    QByteArray out = data.mid(face, 12 + 16 * qsizetype(tables));
    for (int t = 0; t < tables; ++t) {
        const qsizetype record = face + 12 + 16 * qsizetype(t);
        const qsizetype offset = ReadU32(data, record + 8);
        const qsizetype length = ReadU32(data, record + 12);
        if (offset > size || length > size - offset) {
            return {};
        }
        PutU32(out, 12 + 16 * qsizetype(t) + 8, std::uint32_t(out.size()));
        out += data.mid(offset, length);
        while (out.size() % 4 != 0) {
            out += '\0';
        }
    }
    return out;
}

// The embedding levels of a line (rules up to L1), the paragraph's base direction forced.
void ResolveLevels(const std::vector<FriBidiChar>& chars, bool rightToLeft,
                   std::vector<FriBidiLevel>& levels) {
    const int length = int(chars.size());
    std::vector<FriBidiCharType> types(std::size_t(length), 0);
    std::vector<FriBidiBracketType> brackets(std::size_t(length), 0);
    fribidi_get_bidi_types(chars.data(), length, types.data());
    fribidi_get_bracket_types(chars.data(), length, types.data(), brackets.data());
    FriBidiParType base = rightToLeft ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), length, &base,
                                            levels.data()) == 0) {
        std::fill(levels.begin(), levels.end(), FriBidiLevel(rightToLeft ? 1 : 0));
    } else {
        // Only for rule L1 (trailing white space back to the paragraph level).
        [[maybe_unused]] const FriBidiLevel reordered =
            fribidi_reorder_line(0, types.data(), length, 0, base, levels.data(), nullptr, nullptr);
    }
}

} // namespace

struct FontFace::Impl {
    ~Impl() {
        // HarfBuzz first (it may hold the blob over the memory copy), then FreeType.
        font.reset();
        hbFace.reset();
        blob.reset();
        if (ftFace != nullptr) {
            FT_Done_Face(ftFace);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }

    FT_Library library = nullptr;
    FT_Face ftFace = nullptr;
    std::unique_ptr<hb_blob_t, BlobDeleter> blob;
    std::unique_ptr<hb_face_t, HbFaceDeleter> hbFace;
    std::unique_ptr<hb_font_t, HbFontDeleter> font;
    QByteArray memory; // the font bytes of a face opened from memory
    bool fromMemory = false;
};

FontFace::FontFace(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const FontLocation& location) {
    if (location.file.isEmpty() || location.faceIndex < 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) {
        impl->library = nullptr;
        return nullptr;
    }
    const QByteArray path = QFile::encodeName(location.file);
    if (FT_New_Face(impl->library, path.constData(), location.faceIndex, &impl->ftFace) != 0) {
        impl->ftFace = nullptr;
        return nullptr;
    }
    impl->blob.reset(hb_blob_create_from_file_or_fail(path.constData()));
    if (!impl->blob) {
        return nullptr;
    }
    std::unique_ptr<FontFace> face(new FontFace(std::move(impl)));
    face->m_location = location;
    if (!face->Load()) {
        return nullptr;
    }
    return face;
}

std::unique_ptr<FontFace> FontFace::FromData(const QByteArray& data, int faceIndex) {
    if (data.isEmpty() || faceIndex < 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->memory = data;
    impl->fromMemory = true;
    if (FT_Init_FreeType(&impl->library) != 0) {
        impl->library = nullptr;
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const FT_Byte*>(impl->memory.constData());
    if (FT_New_Memory_Face(impl->library, bytes, FT_Long(impl->memory.size()), faceIndex,
                           &impl->ftFace) != 0) {
        impl->ftFace = nullptr;
        return nullptr;
    }
    impl->blob.reset(hb_blob_create(impl->memory.constData(),
                                    static_cast<unsigned>(impl->memory.size()),
                                    HB_MEMORY_MODE_READONLY, nullptr, nullptr));
    std::unique_ptr<FontFace> face(new FontFace(std::move(impl)));
    face->m_location.faceIndex = faceIndex;
    if (!face->Load()) {
        return nullptr;
    }
    return face;
}

bool FontFace::Load() {
    FT_Face ft = m_impl->ftFace;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) {
        return false; // bitmap strikes only
    }
    m_impl->hbFace.reset(hb_face_create(m_impl->blob.get(), unsigned(m_location.faceIndex)));
    m_impl->font.reset(hb_font_create(m_impl->hbFace.get()));
    const int upem = ft->units_per_EM;
    hb_font_set_scale(m_impl->font.get(), upem, upem);

    FT_ULong glyfLength = 0;
    m_trueType = FT_IS_SFNT(ft) &&
                 FT_Load_Sfnt_Table(ft, TTAG_glyf, 0, nullptr, &glyfLength) == 0 && glyfLength > 0;
    FT_ULong cffLength = 0;
    m_cff = !m_trueType && FT_IS_SFNT(ft) &&
            FT_Load_Sfnt_Table(ft, TTAG_CFF, 0, nullptr, &cffLength) == 0 && cffLength > 0;

    const auto scale = [upem](double value) {
        return static_cast<int>(std::lround(value * 1000.0 / upem));
    };
    FontMetrics& m = m_metrics;
    m.boxLeft = scale(double(ft->bbox.xMin));
    m.boxBottom = scale(double(ft->bbox.yMin));
    m.boxRight = scale(double(ft->bbox.xMax));
    m.boxTop = scale(double(ft->bbox.yMax));
    m.ascent = scale(ft->ascender);
    m.descent = scale(ft->descender);
    m.internalLeading = scale(double(ft->ascender) - double(ft->descender) - upem);
    m.maximumWidth = scale(ft->max_advance_width);
    m.weightClass = (ft->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700 : 400;
    m.capHeight = m.ascent;

    const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST));
    if (post != nullptr) {
        m.italicAngle = static_cast<int>(std::lround(double(post->italicAngle) / 65536.0));
    } else if ((ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0) {
        m.italicAngle = -12;
    }
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    if (hhea != nullptr) {
        m.maximumWidth = scale(hhea->advance_Width_Max);
    }
    bool capFromTable = false;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF) {
        m.ascent = scale(os2->sTypoAscender);
        m.descent = scale(os2->sTypoDescender);
        m.internalLeading = scale(double(os2->usWinAscent) + double(os2->usWinDescent) - upem);
        if (os2->usWeightClass >= 1 && os2->usWeightClass <= 1000) {
            m.weightClass = os2->usWeightClass;
        }
        m.averageWidth = scale(os2->xAvgCharWidth);
        if (os2->version >= 2) {
            if (os2->sCapHeight > 0) {
                m.capHeight = scale(os2->sCapHeight);
                capFromTable = true;
            }
            if (os2->usDefaultChar != 0) {
                m.defaultChar = static_cast<char16_t>(os2->usDefaultChar);
            }
        }
    }
    if (!capFromTable) {
        // The top of the capital H, when the face has one.
        const FT_UInt glyph = FT_Get_Char_Index(ft, 'H');
        if (glyph != 0 && FT_Load_Glyph(ft, glyph, FT_LOAD_NO_SCALE) == 0) {
            m.capHeight = scale(double(ft->glyph->metrics.horiBearingY));
        }
    }
    if (m.averageWidth <= 0) {
        m.averageWidth = m.maximumWidth / 2;
    }
    return true;
}

int FontFace::UnitsPerEm() const {
    return m_impl->ftFace->units_per_EM;
}

QByteArray FontFace::PostScriptName() const {
    const char* name = FT_Get_Postscript_Name(m_impl->ftFace);
    return name ? QByteArray(name) : QByteArray();
}

std::uint32_t FontFace::GlyphForChar(char32_t ch) const {
    return FT_Get_Char_Index(m_impl->ftFace, FT_ULong(ch));
}

std::vector<ShapedGlyph> FontFace::ShapeLine(QStringView text, bool rightToLeft) const {
    const std::vector<PlacedGlyph> placed =
        LayoutLine(text, rightToLeft, std::vector<int>(std::size_t(text.size()), 0), {this});
    return std::vector<ShapedGlyph>(placed.begin(), placed.end());
}

std::vector<FontFace::PlacedGlyph> FontFace::LayoutLine(QStringView text, bool rightToLeft,
                                                        const std::vector<int>& faceOf,
                                                        const std::vector<const FontFace*>& faces) {
    std::vector<PlacedGlyph> glyphs;
    if (faces.empty() || faceOf.size() != std::size_t(text.size())) {
        return glyphs;
    }
    for (const int face : faceOf) {
        if (face < 0 || std::size_t(face) >= faces.size() || faces[std::size_t(face)] == nullptr) {
            return glyphs;
        }
    }
    if (text.isEmpty() || text.size() > std::numeric_limits<int>::max() / 4) {
        return glyphs;
    }
    const int textLength = int(text.size());

    // UTF-32 for the bidirectional analysis, with each character's UTF-16 position (a lone
    // surrogate stands for itself).
    std::vector<FriBidiChar> chars;
    std::vector<int> positions;
    chars.reserve(std::size_t(textLength));
    positions.reserve(std::size_t(textLength) + 1);
    for (int i = 0; i < textLength; ++i) {
        const char16_t unit = text[i].unicode();
        positions.push_back(i);
        if (QChar::isHighSurrogate(unit) && i + 1 < textLength &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            chars.push_back(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else {
            chars.push_back(unit);
        }
    }
    const int length = int(chars.size());
    positions.push_back(textLength);

    std::vector<FriBidiLevel> levels(std::size_t(length), 0);
    // A left-to-right line of characters below Hebrew (no right-to-left letters, no Arabic
    // digits, no directional controls) is one level 0 throughout.
    const bool plainLeftToRight =
        !rightToLeft &&
        std::all_of(chars.begin(), chars.end(), [](FriBidiChar ch) { return ch < 0x0590; });
    if (!plainLeftToRight) {
        ResolveLevels(chars, rightToLeft, levels);
    }

    // Runs of one level, one script and one face; characters of no particular script (spaces,
    // digits, marks) join the run they are in.
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::vector<Run> runs;
    for (int i = 0; i < length; ++i) {
        const hb_script_t script = hb_unicode_script(unicode, chars[std::size_t(i)]);
        const FriBidiLevel level = levels[std::size_t(i)];
        const int face = faceOf[std::size_t(positions[std::size_t(i)])];
        if (!runs.empty() && runs.back().level == level && runs.back().face == face &&
            (!IsRealScript(script) || !IsRealScript(runs.back().script) ||
             runs.back().script == script)) {
            Run& run = runs.back();
            run.end = i + 1;
            if (!IsRealScript(run.script) && IsRealScript(script)) {
                run.script = script;
            }
            continue;
        }
        runs.push_back(Run{i, i + 1, level, script, face});
    }
    ReorderRuns(runs);

    const auto* utf16 = reinterpret_cast<const uint16_t*>(text.utf16());
    glyphs.reserve(std::size_t(textLength));
    for (const Run& run : runs) {
        const FontFace& shaper = *faces[std::size_t(run.face)];
        const int upem = shaper.UnitsPerEm();
        std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
        const int from = positions[std::size_t(run.start)];
        const int to = positions[std::size_t(run.end)];
        hb_buffer_add_utf16(buffer.get(), utf16, textLength, unsigned(from), to - from);
        hb_buffer_set_direction(buffer.get(),
                                (run.level & 1) != 0 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        if (IsRealScript(run.script)) {
            hb_buffer_set_script(buffer.get(), run.script);
        }
        hb_buffer_guess_segment_properties(buffer.get());
        // Invisible characters (joiners, direction marks) leave no glyph, rather than the
        // space glyph with no advance, which would give the space a width of 0 wherever the
        // glyph's width is recorded once.
        hb_buffer_set_flags(buffer.get(), HB_BUFFER_FLAG_REMOVE_DEFAULT_IGNORABLES);
        // No kerning: a glyph's advance is then its own, the same wherever it stands, which
        // is what a width table that names each glyph once can hold.
        static const hb_feature_t kNoKerning = {HB_TAG('k', 'e', 'r', 'n'), 0,
                                                HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END};
        hb_shape(shaper.m_impl->font.get(), buffer.get(), &kNoKerning, 1);
        if (!hb_buffer_allocation_successful(buffer.get())) {
            return {};
        }
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
        const hb_glyph_position_t* placements =
            hb_buffer_get_glyph_positions(buffer.get(), nullptr);
        for (unsigned g = 0; g < count; ++g) {
            PlacedGlyph glyph;
            glyph.face = run.face;
            glyph.glyph = infos[g].codepoint;
            glyph.cluster = int(infos[g].cluster);
            glyph.advance =
                static_cast<int>(std::lround(double(placements[g].x_advance) * 1000.0 / upem));
            glyphs.push_back(glyph);
        }
    }
    return glyphs;
}

QByteArray FontFace::FileData() const {
    if (m_impl->fromMemory) {
        return m_impl->memory;
    }
    QFile file(m_location.file);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QByteArray FontFace::FaceData() const {
    QByteArray data = FileData();
    if (QByteArray face = ExtractCollectionFace(data, m_location.faceIndex); !face.isEmpty()) {
        return face;
    }
    return data;
}

namespace {

// The tables a PDF reader draws nothing from (layout, hinting, colour and variation tables):
// they only make an embedded file larger.
void DropUnusedTables(hb_subset_input_t* input) {
    hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const char* tag :
         {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "morx", "kerx", "DSIG", "hdmx",
          "VDMX", "LTSH", "gasp", "COLR", "CPAL", "SVG ", "sbix", "CBDT", "CBLC", "EBDT", "EBLC",
          "fvar", "gvar", "avar", "HVAR", "MVAR", "STAT", "meta", "vhea", "vmtx", "VORG"}) {
        hb_set_add(drop, hb_tag_from_string(tag, 4));
    }
}

// The bytes of the subset `plan` makes of its face; empty when it fails.
QByteArray ExecuteSubset(hb_subset_plan_t* plan) {
    std::unique_ptr<hb_face_t, HbFaceDeleter> subset(hb_subset_plan_execute_or_fail(plan));
    if (!subset) {
        return {};
    }
    std::unique_ptr<hb_blob_t, BlobDeleter> blob(hb_face_reference_blob(subset.get()));
    unsigned length = 0;
    const char* bytes = hb_blob_get_data(blob.get(), &length);
    if (bytes == nullptr || length == 0) {
        return {};
    }
    return QByteArray(bytes, qsizetype(length));
}

} // namespace

QByteArray FontFace::SubsetData(const std::vector<std::uint32_t>& glyphs,
                                std::vector<std::uint32_t>& newIndex) const {
    newIndex.clear();
    std::unique_ptr<hb_subset_input_t, SubsetInputDeleter> input(hb_subset_input_create_or_fail());
    if (!input) {
        return {};
    }
    const unsigned glyphCount = hb_face_get_glyph_count(m_impl->hbFace.get());
    hb_set_t* wanted = hb_subset_input_glyph_set(input.get());
    hb_set_add(wanted, 0);
    std::uint32_t largest = 0;
    for (const std::uint32_t glyph : glyphs) {
        if (glyph < glyphCount) {
            hb_set_add(wanted, glyph);
            largest = std::max(largest, glyph);
        }
    }
    DropUnusedTables(input.get());
    hb_subset_flags_t flags = HB_SUBSET_FLAGS_NO_HINTING;
    if (!m_trueType) {
        // A CFF font program is drawn by glyph index as CID: the indices must stay.
        flags =
            hb_subset_flags_t(flags | HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_DESUBROUTINIZE);
    }
    hb_subset_input_set_flags(input.get(), flags);
    std::unique_ptr<hb_subset_plan_t, SubsetPlanDeleter> plan(
        hb_subset_plan_create_or_fail(m_impl->hbFace.get(), input.get()));
    if (!plan) {
        return {};
    }
    QByteArray data = ExecuteSubset(plan.get());
    if (data.isEmpty()) {
        return {};
    }
    const hb_map_t* mapping = hb_subset_plan_old_to_new_glyph_mapping(plan.get());
    newIndex.assign(std::size_t(largest) + 1, 0);
    for (std::uint32_t glyph = 0; glyph <= largest; ++glyph) {
        if (m_trueType) {
            const hb_codepoint_t mapped = hb_map_get(mapping, glyph);
            newIndex[glyph] = mapped == HB_MAP_VALUE_INVALID ? 0 : mapped;
        } else {
            newIndex[glyph] = glyph;
        }
    }
    return data;
}

QByteArray FontFace::SubsetForCharacters(const std::vector<char32_t>& characters) const {
    std::unique_ptr<hb_subset_input_t, SubsetInputDeleter> input(hb_subset_input_create_or_fail());
    if (!input) {
        return {};
    }
    hb_set_t* wanted = hb_subset_input_unicode_set(input.get());
    for (const char32_t ch : characters) {
        hb_set_add(wanted, ch);
    }
    DropUnusedTables(input.get());
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_NO_HINTING);
    std::unique_ptr<hb_subset_plan_t, SubsetPlanDeleter> plan(
        hb_subset_plan_create_or_fail(m_impl->hbFace.get(), input.get()));
    return plan ? ExecuteSubset(plan.get()) : QByteArray();
}

} // namespace zr::fonts
