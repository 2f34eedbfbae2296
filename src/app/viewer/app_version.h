#pragma once

#include "app/common/version.h"

namespace zr::app {

// The program's version text, shown by the about window and printed for --version.
inline constexpr const char* kVersaoSistema = kProgramVersion;

} // namespace zr::app
