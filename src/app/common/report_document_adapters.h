#pragma once

// The two adapters behind ReportDocument, opened by openReportDocument once the file's content
// has told the kind.

#include "app/common/report_document.h"

namespace zr::app {

// A text report read from `path`; null when the engine refused it (it has said why) or the
// load was interrupted (`cancelled` set).
std::unique_ptr<ReportDocument> openTextReportDocument(const QString& path, Interaction& ui,
                                                       const DocumentSettings& settings,
                                                       bool* cancelled);
// A text report held in `bytes`, read from `name` where no file in memory can be had.
std::unique_ptr<ReportDocument> openTextReportDocument(const QByteArray& bytes, const QString& name,
                                                       Interaction& ui);

// A prepared report read from `bytes`, or from `path` when `bytes` is null, every page of
// which must be buildable; null, having said why, when it cannot be used.
std::unique_ptr<ReportDocument>
openPreparedReportDocument(const QString& path, const QByteArray* bytes, Interaction& ui);

} // namespace zr::app
