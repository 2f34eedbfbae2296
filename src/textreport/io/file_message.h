#pragma once

// The messages of the text report component about a file it could not read or write.

#include <QString>

namespace zr::textreport {

// Names longer than this are shortened in messages (see shownPath).
inline constexpr qsizetype kShownPathLength = 90;

// `path` as a message shows it: unchanged up to `length` characters, otherwise cut in the middle
// at an ellipsis ("…") to exactly `length` characters, keeping the start of the path and the
// whole file name (the name's own middle goes only when the name alone is too long).
QString shownPath(const QString& path, qsizetype length = kShownPathLength);

// `what` as the component words it ("Erro na gravação do arquivo..."), a blank line, "Arquivo: "
// and the file's name (shownPath), then the system's reason on a line of its own when there is
// one. Lines are separated by carriage returns.
QString fileMessage(const QString& what, const QString& fileName, const QString& reason);
// The same with the reason of a system error number (errno); 0 gives no reason.
QString fileMessage(const QString& what, const QString& fileName, int error);

} // namespace zr::textreport
