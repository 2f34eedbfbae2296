#pragma once

namespace zr::app {

// The program's version text, shown by the about window.
inline constexpr char kVersaoSistema[] = "04";

} // namespace zr::app
