#pragma once

#include <QString>
#include <QStringList>

namespace zr::app {

// Converts a file-type filter written as "caption|patterns|caption|patterns..." (patterns
// separated by ';') into file dialog name filters "caption (patterns)", one per pair. The caption
// text is kept as written. File names on Linux are case-sensitive, so each pattern is listed as
// written and also in lower case: "*.GVP" matches "x.GVP" and "x.gvp". A pair without patterns
// gets "*".
QStringList toQtNameFilters(const QString& filter);

} // namespace zr::app
