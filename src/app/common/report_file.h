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

#include <memory>

namespace zr {
class Interaction;
}
namespace zr::textreport {
class TGravana;
}
namespace zr::reportlib {
class TqdxPreviewPages;
class TqdxReport;
} // namespace zr::reportlib

namespace zr::app {

// The one-line message for a file that could not be opened, with the system's reason.
QString openFailedMessage(const QString& path, int error);

// The kind of report `path` holds; Unknown, with `error` set (one line), when it cannot be
// read or is no report.
ReportContent judgeReportFile(const QString& path, QString& error);

// Why the pages of a loaded prepared report cannot all be built, in the user's words ("o objeto
// 12 da página 3 é de uma classe desconhecida"); empty when they can. Looks at the first
// `pages` pages (all when negative), reading each page's elements and dropping them again.
QString preparedReportDefect(reportlib::TqdxPreviewPages& store, int pages = -1);

// An open report of either kind.
class OpenedReport {
public:
    OpenedReport();
    ~OpenedReport(); // closes a text report without previewing or printing it
    OpenedReport(OpenedReport&&) noexcept;
    OpenedReport& operator=(OpenedReport&&) noexcept;

    // Unknown when the file was refused (the Interaction has been told why).
    ReportContent kind = ReportContent::Unknown;
    bool cancelled = false; // the load was interrupted
    std::unique_ptr<textreport::TGravana> text;
    std::unique_ptr<reportlib::TqdxReport> prepared;
};

// Opens `path` whole, with the viewer's settings, as judgeReportFile and the engines judge it;
// warnings (a control record that does not match, attributes that could not be applied) go to
// `ui`. `ui` must outlive the result: a text report keeps reporting through it.
OpenedReport openReport(const QString& path, Interaction& ui);

} // namespace zr::app
