#pragma once

// The preview window's print command: the report's named printer is made current when it
// exists; the print dialog is shown when PrintOptions.ShowDialog is set; then the print job runs
// on the current printer (or into the file chosen in the dialog). False when there is no
// printer or the dialog was cancelled, true otherwise (also when the job failed: it has said
// why). Every print option but the duplex choice is as before afterwards.

#include "reportlib/document/qdx_report.h"

class QWidget;

namespace zr::reportlib::preview {

bool Print(TqdxReport& report, QWidget* parent = nullptr);

} // namespace zr::reportlib::preview
