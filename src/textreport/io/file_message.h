#pragma once

// The messages of the text report component about a file it could not read or write.

#include <QString>

namespace zr::textreport {

// `what` as the component words it ("Erro na gravação do arquivo..."), a blank line, "Arquivo: "
// and the file's name (displayPath), then the system's reason on a line of its own when there is
// one. Lines are separated by carriage returns.
QString fileMessage(const QString& what, const QString& fileName, const QString& reason);
// The same with the reason of a system error number (errno); 0 gives no reason.
QString fileMessage(const QString& what, const QString& fileName, int error);

} // namespace zr::textreport
