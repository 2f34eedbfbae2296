#pragma once

// File names as messages show them.

#include <QString>

namespace zr {

// `path` with the system's separators; one longer than `maxChars` characters is shortened in
// its middle, so that the start of its folder and the end of its name (the extension with it)
// stay in sight and a message box never runs off the screen.
QString displayPath(const QString& path, int maxChars = 80);

// The system's words for an error number ("Permission denied"), empty for 0.
QString systemReason(int error);

} // namespace zr
