#pragma once

// Where the file dialogs that open reports start: the folder of the report on screen, else the
// folder the last report was chosen from in this run, else the home folder. Never the program's
// own folder, where no user keeps reports.

#include <QString>

namespace zr {

// The folder to start in; `currentFile` (may be empty) is the report on screen.
QString reportFolder(const QString& currentFile = {});
// Remembers the folder of a report the user chose (an empty name changes nothing).
void rememberReportFolder(const QString& chosenFile);

} // namespace zr
