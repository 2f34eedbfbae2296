// Feeds arbitrary bytes to the saved text report reader as a file, then walks what was loaded
// the way the viewer does: decoding every item, counting pages, searching.

#include "platform/interaction/interaction.h"
#include "textreport/gravana.h"

#include <QByteArray>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

class QuietInteraction final : public zr::Interaction {
public:
    void message(zr::MessageKind, const QString&, const QString&) override {}
    bool confirm(const QString&, const QString&) override { return true; }
    std::unique_ptr<zr::Progress> beginProgress(const zr::ProgressInfo&) override {
        return std::make_unique<zr::SilentProgress>();
    }
};

QString inputPath() {
    static const QString path =
        QStringLiteral("/tmp/zr-gvp-fuzz-%1.GVP").arg(QString::number(getpid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zr::textreport;
    {
        QFile f(inputPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ReportState::ScopedOverride state;
    QuietInteraction ui;
    TGravana g(ui);
    g.PortaComunicacao = QStringLiteral("LPT1");
    g.OnErro = [](TGravana&, const QString&) {};
    g.Abrir();
    g.LerRelatorio(inputPath());
    const PageStore& store = *g.store();
    for (qsizetype i = 0; i < store.size(); ++i) {
        g.DecodificarItem(store.item(i));
    }
    (void)g.TotalPaginas();
    int start = 0, column = 0, line = 0, page = 0;
    while (g.Procurar(SearchDirection::Down, false, start, column, line, page, "a")) {
    }
    g.Abortar();
    return 0;
}
