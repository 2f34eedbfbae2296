#pragma once

// File names as messages show them.

#include <QString>

namespace zr {

// Names longer than this are shortened in messages.
inline constexpr int kDisplayPathLength = 90;

// `path` with the system's separators; one longer than `maxChars` characters is cut to exactly
// that many at an ellipsis ("…"), keeping the start of its folder and the whole file name (the
// name's own middle goes only when the name alone is too long), so that a message box never
// runs off the screen.
QString displayPath(const QString& path, int maxChars = kDisplayPathLength);

// The system's words for an error number ("Permission denied"), empty for 0.
QString systemReason(int error);

} // namespace zr
