// Feeds arbitrary bytes to the RTF reader and walks the document it builds: every block's
// format and every fragment's character format. Small inputs are also laid out, which reaches
// the fonts, sizes, indents and tab stops the reader chose.

#include "fuzz_gui_application.h"
#include "reportlib/render/rtf/rtf_reader.h"

#include <QByteArrayView>
#include <QTextBlock>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zr::fuzz::ensureGuiApplication();
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
