#pragma once

// Geometry and sizes of memo views (text objects), shared by their drawing and by callers that
// need a memo's natural size.

#include "draw_text.h"
#include "view_painter.h"

namespace zr::reportlib::render {

// The memo's text rectangle for a device rectangle: the rectangle less the frame lines present
// and the gaps, in the pixels of `area`.
TextRect MemoTextRect(const TqdxCustomMemoView& view, const ViewArea& area);

// Fills in the page macros of the text ([TOTALPAGES#] with TotalPages, [COPYNAME#] with the
// copy name of CopyNo), letters in any case, when AllowExpressions is set. The replacement is
// kept in the memo. Returns true when the text changed.
bool ExpandMemoPageMacros(TqdxCustomMemoView& view);

// Height the memo needs for its text at its current width, in report units (whole pixels),
// frame and gaps included. Takes TextLock() and uses the shared text engine.
double MemoCalcHeight(const TqdxCustomMemoView& view);
// Width of the widest line plus frame and gaps, in report units (whole pixels).
double MemoCalcWidth(const TqdxCustomMemoView& view);

} // namespace zr::reportlib::render
