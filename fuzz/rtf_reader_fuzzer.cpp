// Feeds arbitrary bytes to the RTF reader and walks the document it builds: every block's
// format and every fragment's character format. Small inputs are also laid out, which reaches
// the fonts, sizes, indents and tab stops the reader chose.

#include "reportlib/render/rtf/rtf_reader.h"

#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// Laying text out needs fonts, and fonts need an application (offscreen: no display). It is
// never destroyed: a QGuiApplication torn down by exit handlers outlives what it depends on.
void ensureApplication() {
    if (QGuiApplication::instance() == nullptr) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "rtf_reader_fuzzer";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

} // namespace

// The leak checker's hook: the font patterns fontconfig hands to the application's font
// database live as long as the application, which is never destroyed here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<QTextDocument> doc = zr::reportlib::render::RtfReader::read(bytes);
    qsizetype characters = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        (void)block.blockFormat().tabPositions();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            characters += it.fragment().length();
            (void)it.fragment().charFormat().font();
        }
    }
    if (size < 4096) {
        doc->setTextWidth(20000);
        (void)doc->size();
    }
    return characters >= 0 ? 0 : 1;
}
