// preview_bench: how fast the prepared-report preview shows a large report and scrolls it.
// Run on demand; it is not a test.
//
//   preview_bench [--pages N] [--runs R] [--dir DIR] [--keep]
//
// A report of N pages (default 10000) is generated into a file. Then, R times: the store loads
// the file, and the time from the end of the load to the first page painted in a preview
// (thumbnail strip shown) is measured; a scripted scroll through 200 pages at 100% zoom then
// repaints the main view (grab()) once per 300-pixel step, and the frames per second are given, first
// with an empty page-image cache and then a second time over the same pages (from the cache).
// The cache's bound and its size after the scroll are printed too.
//
// On the page in the middle of the report it then measures what a reader meets there: the time
// of a zoom change (Ampliar and Reduzir, 0.25 a step, with the repaint) and the page the view
// then shows; the peak resident size of a process that loads the report and shows that page at
// 100%, 400% and 2000% and zooms in once more (a child of this program each, run as
// `preview_bench --peak-at ZOOM FILE`); and a search for a word that is not in the report: its
// time and the longest gap between two turns of the event loop while it runs (a 1 ms timer keeps
// the loop busy). Runs on Qt's offscreen platform unless another one is chosen.

#include "bench_common.h"
#include "qp3_generator.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/preview/qdx_preview.h"

#include <QApplication>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace zr::bench;
using zr::reportlib::TqdxReport;
using zr::reportlib::preview::TqdxPreview;
using zr::reportlib::preview::TqdxPreviewWorkspace;

// Frames per second of scrolling the main view through `pages` pages from page `from`.
double scrollFps(TqdxPreview& preview, int from, int pages, int& frames) {
    TqdxPreviewWorkspace& w = *preview.Workspace();
    const int start = w.GetPageBounds(from).top();
    const int end = w.GetPageBounds(from + pages).top();
    frames = 0;
    const Clock::time_point t0 = Clock::now();
    for (int y = start; y < end; y += 300) {
        w.SetVertPosition(y);
        w.viewport()->grab();
        ++frames;
    }
    const double ms = msSince(t0);
    return ms > 0 ? frames * 1000.0 / ms : 0;
}

// A preview of `report` at 1200 x 900 on page `pageNo`, painted once.
std::unique_ptr<TqdxPreview> showPreview(TqdxReport& report, int pageNo) {
    auto preview = std::make_unique<TqdxPreview>();
    preview->resize(1200, 900);
    preview->SetReport(&report);
    preview->show();
    preview->Init();
    preview->SetPageNo(pageNo);
    preview->grab();
    return preview;
}

// The child of --peak-at: shows the middle page of `file` at `zoom`, then zooms in once more.
int showAtZoom(const std::string& file, double zoom) {
    TqdxReport report;
    SilentInteraction interaction;
    report.UserInteraction = &interaction;
    if (!report.PreviewPages().LoadFromFile(QString::fromStdString(file), true)) {
        return 1;
    }
    // From here on: what showing the page costs, not the load.
    resetPeak();
    auto preview = showPreview(report, report.PreviewPages().Count() / 2);
    preview->SetZoom(zoom);
    preview->grab();
    preview->SetZoom(zoom + 0.25);
    preview->grab();
    std::printf("peak_kb=%ld\n", statusKb("VmHWM"));
    return 0;
}

// Peak resident size (MiB) of a child showing the middle page of `file` at `zoom`, from the end
// of its load on. (The child's own figure: its rusage would count this process's pages, which
// it shares until it starts the program.)
double peakAtZoom(const std::string& self, const std::string& dir, const std::string& file,
                  double zoom) {
    const std::string out = dir + "/peak.txt";
    const Outcome o = runMeasured("preview_bench", {self, "--peak-at", std::to_string(zoom), file},
                                  inheritedEnvironment(), out);
    const auto values = readKeyValues(out);
    ::unlink(out.c_str());
    const auto peak = values.find("peak_kb");
    return o.ok && peak != values.end() ? std::atof(peak->second.c_str()) / 1024.0 : -1;
}

// This thread's processor time (ms): unlike the wall clock it does not count the time the
// system gave to other processes.
double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Searches a word the report does not hold from page 1; gives the time and the longest gap
// between two turns of the event loop (ms), on the wall clock and in this thread's processor
// time.
void searchMissing(TqdxPreview& preview, double& searchMs, double& longestGapMs,
                   double& longestCpuGapMs) {
    QTimer ticker;
    ticker.setInterval(1);
    Clock::time_point last = Clock::now();
    double lastCpu = threadCpuMs();
    longestGapMs = 0;
    longestCpuGapMs = 0;
    auto tick = [&] {
        const Clock::time_point now = Clock::now();
        const double cpu = threadCpuMs();
        longestGapMs = std::max(longestGapMs,
                                std::chrono::duration<double, std::milli>(now - last).count());
        longestCpuGapMs = std::max(longestCpuGapMs, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    };
    QObject::connect(&ticker, &QTimer::timeout, tick);
    ticker.start();
    QCoreApplication::processEvents();
    const Clock::time_point t0 = Clock::now();
    last = t0;
    lastCpu = threadCpuMs();
    preview.Find(QStringLiteral("PALAVRA-QUE-NAO-EXISTE"), false, true);
    searchMs = msSince(t0);
    tick();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--peak-at") {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        QApplication app(argc, argv);
        return showAtZoom(argv[3], std::atof(argv[2]));
    }
    CommonOptions options;
    options.pages = "10000";
    for (int i = 1; i < argc; ++i) {
        if (!parseCommonOption(options, i, argc, argv)) {
            std::fprintf(stderr, "usage: preview_bench [--pages N] [--runs R] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    bool madeDir = false;
    const std::string dir = workDir("preview_bench", options.dir, madeDir);
    if (dir.empty()) {
        return 1;
    }
    const std::string file = dir + "/preview_bench.qp3";
    zr::tools::Qp3GeneratorOptions generator;
    generator.pages = std::max(250, std::atoi(options.pages.c_str()));
    QString error;
    if (!zr::tools::WritePreparedReport(QString::fromStdString(file), generator, &error)) {
        std::fprintf(stderr, "preview_bench: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("report: %d pages, %.1f MiB\n", generator.pages,
                double(fileSize(file)) / kMiB);

    std::vector<double> loadMs, firstPageMs, coldFps, warmFps;
    std::size_t cacheLimit = 0, cacheBytes = 0;
    int frames = 0;
    for (int run = 0; run < std::max(1, options.runs); ++run) {
        TqdxReport report;
        SilentInteraction interaction;
        report.UserInteraction = &interaction;
        report.PreviewOptions.ThumbnailVisible = true;
        Clock::time_point t0 = Clock::now();
        report.PreviewPages().LoadFromFile(QString::fromStdString(file), true);
        loadMs.push_back(msSince(t0));

        t0 = Clock::now();
        TqdxPreview preview;
        preview.resize(1200, 900);
        preview.SetReport(&report);
        preview.show();
        preview.Init();
        preview.grab();
        firstPageMs.push_back(msSince(t0));
        if (preview.Workspace()->TilesPainted() < 1) {
            std::fprintf(stderr, "preview_bench: the first page was not painted\n");
        }

        preview.SetZoom(1.0);
        coldFps.push_back(scrollFps(preview, 20, 200, frames));
        // Back over the last pages scrolled, which the cache still holds.
        const int cached = int(preview.Workspace()->CacheLimit() / (std::size_t(794) * 1123 * 4));
        const int from = 220 - std::max(2, std::min(200, cached - 4));
        int warmFrames = 0;
        warmFps.push_back(scrollFps(preview, from, 220 - from - 2, warmFrames));
        cacheLimit = preview.Workspace()->CacheLimit();
        cacheBytes = preview.Workspace()->CacheBytes();
    }
    std::printf("store load:                     %8.1f ms (median of %zu)\n", median(loadMs),
                loadMs.size());
    std::printf("load end to first page painted: %8.1f ms\n", median(firstPageMs));
    std::printf("scroll 200 pages at 100%%, %d frames, pages painted as they come: %6.1f fps\n",
                frames, median(coldFps));
    std::printf("scroll over cached pages:       %8.1f fps\n", median(warmFps));
    std::printf("page-image cache: bound %.0f MiB, held %.1f MiB after the scroll\n",
                double(cacheLimit) / kMiB, double(cacheBytes) / kMiB);
    std::printf("peak resident: %.1f MiB\n", double(statusKb("VmHWM")) / 1024.0);

    // A reader in the middle of the report.
    TqdxReport report;
    SilentInteraction interaction;
    report.UserInteraction = &interaction;
    report.PreviewPages().LoadFromFile(QString::fromStdString(file), true);
    const int middle = generator.pages / 2;
    std::vector<double> zoomMs;
    {
        auto preview = showPreview(report, middle);
        const TqdxPreviewWorkspace& w = *preview->Workspace();
        int lost = 0;
        for (int i = 0; i < 8; ++i) {
            const Clock::time_point t0 = Clock::now();
            preview->SetZoom(preview->Zoom() + (i < 4 ? 0.25 : -0.25));
            preview->grab();
            zoomMs.push_back(msSince(t0));
            lost += w.FindPage(w.VertPosition(), 0) + 1 != middle;
        }
        std::printf("zoom change on page %d (Ampliar/Reduzir, repaint): %8.1f ms (median of %zu); "
                    "changes after which the view's top was on another page: %d of %zu\n",
                    middle, median(zoomMs), zoomMs.size(), lost, zoomMs.size());
    }
    const std::string self = selfPath("preview_bench");
    const double peak100 = peakAtZoom(self, dir, file, 1.0);
    const double peak400 = peakAtZoom(self, dir, file, 4.0);
    const double peak2000 = peakAtZoom(self, dir, file, 20.0);
    std::printf("peak resident of a process showing page %d at 100%%: %.1f MiB, 400%%: %.1f MiB "
                "(%.2fx), 2000%%: %.1f MiB (%.2fx)\n",
                middle, peak100, peak400, peak400 / peak100, peak2000, peak2000 / peak100);
    {
        auto preview = showPreview(report, 1);
        double searchMs = 0;
        double gapMs = 0;
        double cpuGapMs = 0;
        searchMissing(*preview, searchMs, gapMs, cpuGapMs);
        std::printf("search of %d pages for a missing word: %.0f ms; longest gap between event "
                    "loop turns: %.1f ms (%.1f ms of this thread's processor time)\n",
                    generator.pages, searchMs, gapMs, cpuGapMs);
    }
    removeWork("preview_bench", {file}, dir, madeDir, options.keep);
    return 0;
}
