// page_bench: how long the preview takes to show one page of a large report. Run on demand; it
// is not a test.
//
//   page_bench [--pages N] [--items-per-page M] [--samples K] [--gen PATH]
//
// It writes a report with gen_report, loads it, and for K pages spread over the report times
// (a) finding the page's items through the page index, next to the linear walk from the start
// of the store that a plain reading of the page store would do, and (b) drawing the page for
// the preview: recording it with DesenharPagina and replaying the picture into a window-sized
// image at 100% zoom, as the preview window does on every page change. Medians and the 95th
// percentile are printed.

#include "bench_common.h"
#include "platform/interaction/interaction.h"
#include "textreport/gravana.h"
#include "textreport/render/page_renderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace zr::bench;

struct Stats {
    double median = 0;
    double p95 = 0;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) {
        return {};
    }
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    int pages = 9999;
    int perPage = 100;
    int samples = 200;
    std::string gen = ZR_GEN_REPORT;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--pages") {
            pages = std::atoi(argv[i + 1]);
        } else if (a == "--items-per-page") {
            perPage = std::atoi(argv[i + 1]);
        } else if (a == "--samples") {
            samples = std::atoi(argv[i + 1]);
        } else if (a == "--gen") {
            gen = argv[i + 1];
        }
    }
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("big.GVP")).toStdString();
    const std::string command = gen + " --pages " + std::to_string(pages) +
                                " --items-per-page " + std::to_string(perPage) + " " + file;
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "page_bench: gen_report failed\n");
        return 1;
    }

    SilentInteraction ui;
    zr::textreport::TGravana g(ui);
    g.PortaComunicacao = QStringLiteral("LPT1");
    g.Abrir();
    g.LerRelatorio(QString::fromStdString(file));
    const zr::textreport::PageStore& store = *g.store();
    std::printf("report: %d pages, %lld items\n", g.TotalPaginas(),
                static_cast<long long>(store.size()));

    std::vector<int> chosen;
    for (int k = 0; k < samples; ++k) {
        chosen.push_back(1 + int((long long)k * 7919 % g.TotalPaginas()));
    }

    // (a) Finding a page's items.
    std::vector<double> indexed, walked;
    for (int p : chosen) {
        auto t = Clock::now();
        const auto range = g.itensDaPagina(p);
        indexed.push_back(msSince(t));
        t = Clock::now();
        qsizetype first = -1;
        const QByteArray key = QByteArray::number(p).rightJustified(4, '0');
        for (qsizetype i = 0; i < store.size(); ++i) {
            const QByteArrayView item = store.item(i);
            if (item.startsWith(key)) {
                first = i;
                break;
            }
        }
        walked.push_back(msSince(t));
        if (first != range.first) {
            std::fprintf(stderr, "page_bench: page %d found at %lld by the walk, %lld indexed\n",
                         p, static_cast<long long>(first), static_cast<long long>(range.first));
        }
    }

    // (b) Drawing a page for the preview at 100%.
    std::vector<double> recorded, shown;
    QImage screen(1000, 1200, QImage::Format_ARGB32_Premultiplied);
    for (int p : chosen) {
        auto t = Clock::now();
        QPicture picture;
        const QSize size = g.DesenharPagina(p, picture, true);
        recorded.push_back(msSince(t));
        screen.fill(Qt::gray);
        QPainter painter(&screen);
        zr::textreport::drawPagePicture(painter, picture, QRectF(QPointF(10, 10), QSizeF(size)));
        painter.end();
        shown.push_back(msSince(t));
    }

    const Stats si = stats(indexed), sw = stats(walked), sr = stats(recorded), ss = stats(shown);
    std::printf("\n%-44s %10s %10s\n", "per page (ms)", "median", "p95");
    std::printf("%-44s %10.4f %10.4f\n", "find items through the page index", si.median, si.p95);
    std::printf("%-44s %10.4f %10.4f\n", "find items walking the store from its start",
                sw.median, sw.p95);
    std::printf("%-44s %10.2f %10.2f\n", "record the page (DesenharPagina, preview)", sr.median,
                sr.p95);
    std::printf("%-44s %10.2f %10.2f\n", "record and show it at 100% zoom", ss.median, ss.p95);
    std::printf("\nwalk / index (median): %.0fx; target for showing a page: under 50 ms\n",
                si.median > 0 ? sw.median / si.median : 0.0);
    return 0;
}
