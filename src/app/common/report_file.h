#pragma once

// How the programs open a saved report: one judgement of a file for every door, so that a
// file `info` describes is one `convert`, `print`, `fonts` and `thumbnail` can use, and one
// they refuse is refused by all with the same words.
//
//   - the file must be readable ("Erro na abertura do arquivo X: REASON");
//   - its content, never its name, tells the kind (reportContentOf); content that is neither
//     kind is "O arquivo não é um relatório Zeral (.GVP ou .QP3): X";
//   - the engine of that kind loads it, saying what it rejects;
//   - every page of a prepared report must be buildable: each object of a known class or
//     named in the report's dictionary, each numbered page with its design page.

#include "app/common/report_content.h"

#include <QString>

namespace zr::reportlib {
class TqdxPreviewPages;
}

namespace zr::app {

// The one-line message for a file that could not be opened, with the system's reason.
QString openFailedMessage(const QString& path, int error);
// The one-line message for a file that could not be written, with the system's reason when
// `error` is not 0.
QString writeFailedMessage(const QString& path, int error = 0);

// The kind of report `path` holds; Unknown, with `error` set (one line), when it cannot be
// read or is no report.
ReportContent judgeReportFile(const QString& path, QString& error);

// Why the pages of a loaded prepared report cannot all be built, in the user's words ("o objeto
// 12 da página 3 é de uma classe desconhecida"); empty when they can. Reads each page's
// elements and drops them again.
QString preparedReportDefect(reportlib::TqdxPreviewPages& store);

} // namespace zr::app
