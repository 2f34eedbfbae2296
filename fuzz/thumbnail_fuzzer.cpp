// Feeds arbitrary bytes to `zeralconv thumbnail` as a report file: the first-page readers that
// cut a text report or a prepared report down to what its first page needs, the loaders behind
// them, and the drawing. Whatever the file holds, the thumbnailer either writes a PNG picture
// that fits the size asked for, or fails and writes nothing.

#include "app/conv/thumbnail.h"
#include "fuzz_gui_application.h"
#include "platform/interaction/interaction.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

class QuietInteraction final : public zr::Interaction {
public:
    void message(zr::MessageKind, const QString&, const QString&) override {}
    bool confirm(const QString&, const QString&) override { return false; }
    std::unique_ptr<zr::Progress> beginProgress(const zr::ProgressInfo&) override {
        return std::make_unique<zr::SilentProgress>();
    }
};

constexpr int kSize = 24;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zr::fuzz::ensureGuiApplication();
    static QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("relatorio"));
    const QString output = dir.filePath(QStringLiteral("miniatura.png"));
    QFile::remove(output);
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
            return 0;
        }
    }
    QuietInteraction ui;
    const int code = zr::app::writeThumbnail(input, output, kSize, ui);
    if (code != 0) {
        if (QFile::exists(output)) {
            std::abort(); // a failure left a picture behind
        }
        return 0;
    }
    const QImage picture(output, "PNG");
    if (picture.isNull() || picture.width() > kSize || picture.height() > kSize) {
        std::abort(); // success without a fitting picture
    }
    return 0;
}
