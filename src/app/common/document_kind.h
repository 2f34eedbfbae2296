#pragma once

#include <QString>

namespace zr::app {

// The two kinds of report the program opens, told by the file's content as the viewer tells it
// (reportContentOfFile). Only a file whose content tells nothing (missing, unreadable, or no
// report) goes by its name: ".QP3" in any case to the prepared report loader, everything else to
// the text report loader, and each rejects it with its own message.
enum class DocumentKind { TextReport, PreparedReport };

DocumentKind detectDocumentKind(const QString& fileName);

} // namespace zr::app
