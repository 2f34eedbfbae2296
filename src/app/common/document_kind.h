#pragma once

#include <QString>

namespace zr::app {

// The two kinds of report the program opens. A prepared report is recognised by its ".QP3"
// extension in any case; every other file goes to the text report loader, which rejects what
// is not a saved text report with its own message.
enum class DocumentKind { TextReport, PreparedReport };

DocumentKind detectDocumentKind(const QString& fileName);

} // namespace zr::app
