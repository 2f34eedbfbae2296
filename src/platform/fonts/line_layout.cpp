#include "line_layout.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace zr::fonts {

const FontFace* SharedFace(const FontLocation& location) {
    static std::mutex mutex;
    static std::map<std::pair<QString, int>, std::unique_ptr<FontFace>> faces;
    const std::lock_guard lock(mutex);
    const auto key = std::make_pair(location.file, location.faceIndex);
    auto found = faces.find(key);
    if (found == faces.end()) {
        found = faces.emplace(key, FontFace::Open(location)).first;
    }
    return found->second.get();
}

LineLayout LayOutLine(QStringView text, const QString& family, bool bold, bool italic,
                      bool rightToLeft) {
    LineLayout layout;
    const std::vector<FaceRun> runs = SplitByFace(text, family, bold, italic);
    if (runs.empty()) {
        return layout;
    }
    std::vector<FontLocation> locations;
    std::vector<int> faceOf(std::size_t(text.size()), 0);
    for (const FaceRun& run : runs) {
        std::size_t index = 0;
        while (index < locations.size() && (locations[index].file != run.face.file ||
                                            locations[index].faceIndex != run.face.faceIndex)) {
            ++index;
        }
        if (index == locations.size()) {
            locations.push_back(run.face);
        }
        for (int i = std::max(0, run.start); i < run.end && i < int(text.size()); ++i) {
            faceOf[std::size_t(i)] = int(index);
        }
    }
    for (const FontLocation& location : locations) {
        layout.faces.push_back(SharedFace(location));
    }
    if (layout.faces.front() == nullptr) {
        return {};
    }
    // A stretch whose face cannot be opened is drawn by the first face.
    std::vector<const FontFace*> shapers = layout.faces;
    for (std::size_t f = 0; f < shapers.size(); ++f) {
        if (shapers[f] == nullptr) {
            shapers[f] = layout.faces.front();
            layout.faces[f] = layout.faces.front();
        }
    }
    layout.glyphs = FontFace::LayoutLine(text, rightToLeft, faceOf, shapers);
    return layout;
}

} // namespace zr::fonts
