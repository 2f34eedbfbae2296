#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace zr::textreport {
class PageStore;
class TGravana;
} // namespace zr::textreport

namespace zr::app {

// The pages of a text report as plain text: one string per page that has items, in page order,
// with every text item ("T") written at its line and column of a character grid (line breaks
// between lines). Items too short for their fixed fields or with bad numbers are skipped.
QStringList interimPreviewPages(const textreport::PageStore& store);

// Shows the open report's pages as plain text in a modal window titled with the preview caption,
// until the user closes it. Does nothing visible beyond an empty window when no report is open.
void showInterimPreview(textreport::TGravana& gravana, QWidget* parent);

} // namespace zr::app
