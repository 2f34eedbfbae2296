#include "qt_arguments.h"

#include <QFile>

namespace zr::app {

namespace {
char kProgramName[] = "zeral";
}

QtArguments::QtArguments(int argc, char** argv) {
    m_argv[0] = argc > 0 && argv[0] ? argv[0] : kProgramName;
    for (int i = 1; i < argc; ++i) {
        // File names and options come in the file system's encoding, as Qt itself decodes them.
        m_arguments += QFile::decodeName(argv[i]);
    }
}

} // namespace zr::app
