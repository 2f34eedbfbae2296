#pragma once

namespace zr::textreport::ui {

// Makes the windows' pictures available (they are compiled into a static library, whose
// resources must be registered once before use).
void initResources();

} // namespace zr::textreport::ui
