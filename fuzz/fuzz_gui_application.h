#pragma once

// For fuzz targets that draw text: fonts need a QGuiApplication (offscreen: no display).

#include <QGuiApplication>

namespace zr::fuzz {

// Creates the application on first use. It is never destroyed: a QGuiApplication torn down by
// exit handlers outlives what it depends on.
inline void ensureGuiApplication() {
    if (QGuiApplication::instance() == nullptr) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "fuzzer";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

} // namespace zr::fuzz

// The leak checker's hook: fontconfig keeps its configuration and the font patterns it hands
// to the application for the life of the process, and the application is never destroyed.
// Defined here (not inline, so that it is always emitted): include this header in one file of
// a fuzz target only.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
