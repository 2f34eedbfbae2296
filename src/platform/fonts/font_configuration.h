#pragma once

// The program's own fontconfig rules: the faces that stand in for the Windows families reports
// are laid out with (share/zeralvisualizador/fonts/zeral-fonts.conf beside the programs).

#include <QString>

namespace zr::fonts {

// Once per process: loads the system's configuration (the user's included), then the program's
// rules after it, so that the user's own rules still win, and makes the result fontconfig's
// current configuration. Called before the GUI application object exists, it is what Qt's font
// database uses too; font look-ups call it themselves. False when fontconfig cannot be
// initialised; a missing or unreadable rules file leaves the system's configuration alone.
bool EnsureFontConfiguration();

// The rules file that was loaded (empty when none was).
QString LoadedFontConfigurationFile();

} // namespace zr::fonts
