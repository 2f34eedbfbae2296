#include "font_report.h"

#include "platform/fonts/font_resolver.h"
#include "platform/text/codepages.h"
#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <exception>
#include <map>
#include <new>
#include <vector>

namespace zr::app {

namespace {

using reportlib::TqdxComponent;
using reportlib::TqdxCustomMemoView;

struct Used {
    QString family;
    bool bold = false;
    bool italic = false;
    std::optional<fonts::FontLocation> face;
    // Fallback faces by file, with the number of characters each drew.
    std::map<QString, std::pair<QString, int>> fallbacks;
    int missing = 0;
};

QString StyleName(bool bold, bool italic) {
    if (bold && italic) {
        return QStringLiteral("negrito itálico");
    }
    if (bold) {
        return QStringLiteral("negrito");
    }
    return italic ? QStringLiteral("itálico") : QStringLiteral("normal");
}

} // namespace

Outcome WriteFontReport(reportlib::TqdxReport& report, Interaction& ui, QByteArray& text) {
    reportlib::TqdxPreviewPages& store = report.PreviewPages();
    std::vector<Used> used;
    try {
        for (int p = 0; p < store.Count(); ++p) {
            reportlib::TqdxReportPage* page = store.PageObject(p);
            if (page == nullptr) {
                continue;
            }
            for (TqdxComponent* object : page->AllObjects()) {
                auto* memo = dynamic_cast<TqdxCustomMemoView*>(object);
                if (memo == nullptr) {
                    continue;
                }
                const reportlib::TqdxFont& font = memo->Font();
                const QString family = codepages::fromCp1252(font.Name);
                const bool bold = (font.Style & reportlib::fsBold) != 0;
                const bool italic = (font.Style & reportlib::fsItalic) != 0;
                auto it = std::find_if(used.begin(), used.end(), [&](const Used& u) {
                    return u.family == family && u.bold == bold && u.italic == italic;
                });
                if (it == used.end()) {
                    Used u;
                    u.family = family;
                    u.bold = bold;
                    u.italic = italic;
                    u.face = fonts::ResolveFont(family, bold, italic);
                    used.push_back(std::move(u));
                    it = used.end() - 1;
                }
                const QString memoText = memo->Text();
                for (const fonts::FaceRun& run :
                     fonts::SplitByFace(memoText, family, bold, italic)) {
                    const int count = run.end - run.start;
                    if (run.missing) {
                        it->missing += count;
                    } else if (run.fallback) {
                        auto& entry = it->fallbacks[run.face.file];
                        entry.first = run.face.family;
                        entry.second += count;
                    }
                }
            }
        }
    } catch (const std::bad_alloc&) {
        throw; // reported where the job ends
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return Outcome::failure();
    }
    text.clear();
    for (const Used& u : used) {
        QString line =
            u.family + QStringLiteral(" (") + StyleName(u.bold, u.italic) + QStringLiteral("): ");
        if (u.face) {
            line += u.face->family + QStringLiteral(" — ") + u.face->file;
            if ((u.bold && !u.face->bold) || (u.italic && !u.face->italic)) {
                line += QStringLiteral(" (estilo simulado)");
            }
        } else {
            line += QStringLiteral("nenhuma fonte instalada");
        }
        text += line.toUtf8() + '\n';
        for (const auto& [file, entry] : u.fallbacks) {
            text += QStringLiteral("  reserva: %1 — %2 (%3 caracteres)\n")
                        .arg(entry.first, file)
                        .arg(entry.second)
                        .toUtf8();
        }
        if (u.missing > 0) {
            text += QStringLiteral("  sem fonte: %1 caracteres\n").arg(u.missing).toUtf8();
        }
    }
    return Outcome::success();
}

} // namespace zr::app
