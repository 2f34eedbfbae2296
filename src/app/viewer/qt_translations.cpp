#include "qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace zr::app {

QString installQtTranslations(const QString& folder) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || folder.isEmpty()) {
        return {};
    }
    // The catalogues in order of preference. "qtbase" holds the widgets' texts; "qt" is the
    // catalogue that pulls in every module's, which some distributions ship alone.
    static const char* const kNames[] = {"qtbase_pt_BR", "qtbase_pt",    "qt_pt_BR",
                                         "qt_pt",        "qtbase_pt_PT", "qt_pt_PT"};
    const QDir dir(folder);
    for (const char* name : kNames) {
        const QString file = dir.filePath(QLatin1String(name) + QLatin1String(".qm"));
        auto translator = std::make_unique<QTranslator>(app);
        if (translator->load(file) && !translator->isEmpty()) {
            QCoreApplication::installTranslator(translator.get());
            translator.release(); // the application is its parent
            return file;
        }
    }
    return {};
}

QString installQtTranslations() {
    return installQtTranslations(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace zr::app
