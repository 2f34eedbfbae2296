#pragma once

// Qt's own texts (file dialogs, message-box buttons, the printer dialog, the context menus of
// text fields) in Portuguese, like the rest of the viewer, whatever the machine's language.

#include <QString>

namespace zr::app {

// Loads Qt's Portuguese catalogue from `folder` (Brazilian first, then plain Portuguese, then
// European; the module catalogue before the combined one) and installs it into the running
// application, which owns it from then on. Returns the file loaded, or an empty string when
// the folder holds none of them (Qt's texts then stay English). Call once, after the
// application object exists.
QString installQtTranslations(const QString& folder);

// The same from the folder where Qt keeps its translations.
QString installQtTranslations();

} // namespace zr::app
