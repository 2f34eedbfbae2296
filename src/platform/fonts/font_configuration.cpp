#include "font_configuration.h"

#include <QFile>
#include <QFileInfo>

#include <fontconfig/fontconfig.h>

#include <mutex>

namespace zr::fonts {

namespace {

struct State {
    bool ready = false;
    QString file;
};

State& TheState() {
    static State state;
    return state;
}

// The installed rules beside the program (bin/../share/...), then the copy in the build tree.
QString FindRulesFile() {
    const QString relative = QStringLiteral("/../share/zeralvisualizador/fonts/zeral-fonts.conf");
    const QFileInfo program(QStringLiteral("/proc/self/exe"));
    const QString beside = program.canonicalPath() + relative;
    if (QFileInfo::exists(beside)) {
        return QFileInfo(beside).canonicalFilePath();
    }
#ifdef ZR_BUILD_FONTS_CONF
    if (QFileInfo::exists(QStringLiteral(ZR_BUILD_FONTS_CONF))) {
        return QStringLiteral(ZR_BUILD_FONTS_CONF);
    }
#endif
    return {};
}

} // namespace

bool EnsureFontConfiguration() {
    static std::once_flag once;
    std::call_once(once, [] {
        State& state = TheState();
        const QString rules = FindRulesFile();
        FcConfig* config = rules.isEmpty() ? nullptr : FcInitLoadConfig();
        if (config != nullptr) {
            const QByteArray path = QFile::encodeName(rules);
            if (FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(path.constData()),
                                     FcFalse) == FcTrue &&
                FcConfigBuildFonts(config) == FcTrue && FcConfigSetCurrent(config) == FcTrue) {
                state.file = rules;
            }
            FcConfigDestroy(config); // the current configuration holds its own reference
        }
        state.ready = FcInit() == FcTrue;
    });
    return TheState().ready;
}

QString LoadedFontConfigurationFile() {
    EnsureFontConfiguration();
    return TheState().file;
}

} // namespace zr::fonts
