// thumbnail_bench: how long `zeralconv thumbnail` takes on a long report of each kind, next to
// the same command on a one-page report and to `zeralconv --version` (the program's start-up
// alone). A file manager runs the thumbnailer once for every report a folder shows, so its time
// must not grow with the report. Run on demand; it is not a test.
//
//   thumbnail_bench [--pages N] [--runs R] [--size S] [--dir DIR] [--keep]
//
// gen_report writes a text report of min(N, 9999) pages (a text report's page field has four
// digits) and gen_qp3 a prepared report of N pages (default 10000); both also write a one-page
// report. Every measurement is a whole `zeralconv` process, R times (default 7), median shown;
// `convert --page 1` of the long reports shows what reading them whole would cost.
// Inside this process the benchmark then times the two parts of the work on the long reports:
// reading what the first page needs, and the whole thumbnail (reading, loading, drawing and
// writing the PNG).

#include "app/conv/thumbnail.h"
#include "bench_common.h"

#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace zr::bench;

constexpr const char* kWho = "thumbnail_bench";

bool generate(const std::vector<std::string>& argv) {
    return runMeasured(kWho, argv, inheritedEnvironment(), "/dev/null").ok;
}

struct Row {
    std::string label;
    std::vector<std::string> argv;
};

void measureProcesses(const std::vector<Row>& rows, int runs) {
    std::printf("%-44s %10s %10s %10s\n", "zeralconv process", "wall ms", "cpu ms", "rss MiB");
    for (const Row& row : rows) {
        std::vector<double> wall, cpu, rss;
        for (int r = 0; r < runs; ++r) {
            const Outcome o = runMeasured(kWho, row.argv, inheritedEnvironment(), "/dev/null");
            if (!o.ok) {
                return;
            }
            wall.push_back(o.wallMs);
            cpu.push_back(o.cpuMs);
            rss.push_back(double(o.maxRssKb) / 1024.0);
        }
        std::printf("%-44s %10.1f %10.1f %10.1f\n", row.label.c_str(), median(wall), median(cpu),
                    median(rss));
    }
}

template <typename F>
double medianMs(int runs, F&& work) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const Clock::time_point start = Clock::now();
        if (!work()) {
            return -1;
        }
        times.push_back(msSince(start));
    }
    return median(times);
}

void measureInProcess(const std::string& gvp, const std::string& qp3, const std::string& dir,
                      int size, int runs) {
    SilentInteraction ui;
    const QString png = QString::fromStdString(dir + "/in-process.png");
    auto reading = [](const std::string& path, bool text) {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        return text ? zr::app::textReportFirstPage(file).has_value()
                    : zr::app::preparedReportFirstPage(file).has_value();
    };
    auto whole = [&](const std::string& path) {
        return zr::app::writeThumbnail(QString::fromStdString(path), png, size, ui) == 0;
    };
    std::printf("\n%-44s %10s\n", "in this process", "ms");
    std::printf("%-44s %10.2f\n", "text report: read the first page",
                medianMs(runs, [&] { return reading(gvp, true); }));
    std::printf("%-44s %10.2f\n", "text report: whole thumbnail",
                medianMs(runs, [&] { return whole(gvp); }));
    std::printf("%-44s %10.2f\n", "prepared report: read the first page",
                medianMs(runs, [&] { return reading(qp3, false); }));
    std::printf("%-44s %10.2f\n", "prepared report: whole thumbnail",
                medianMs(runs, [&] { return whole(qp3); }));
}

} // namespace

int main(int argc, char** argv) {
    CommonOptions o;
    o.pages = "10000";
    o.runs = 7;
    int size = zr::app::kDefaultThumbnailSize;
    for (int i = 1; i < argc; ++i) {
        if (parseCommonOption(o, i, argc, argv)) {
            continue;
        }
        if (std::string_view(argv[i]) == "--size" && i + 1 < argc) {
            size = std::atoi(argv[++i]);
            continue;
        }
        std::fprintf(stderr, "usage: %s [--pages N] [--runs R] [--size S] [--dir DIR] [--keep]\n",
                     kWho);
        return 2;
    }
    bool made = false;
    const std::string dir = workDir(kWho, o.dir, made);
    if (dir.empty()) {
        return 1;
    }
    const std::string textPages = std::to_string(std::min(std::atoi(o.pages.c_str()), 9999));
    const std::string gvp = dir + "/long.GVP", gvp1 = dir + "/one.GVP";
    const std::string qp3 = dir + "/long.QP3", qp31 = dir + "/one.QP3";
    std::printf("generating a %s-page text report and a %s-page prepared report...\n",
                textPages.c_str(), o.pages.c_str());
    if (!generate({ZR_GEN_REPORT, "--pages", textPages, gvp}) ||
        !generate({ZR_GEN_REPORT, "--pages", "1", gvp1}) ||
        !generate({ZR_GEN_QP3, "--pages", o.pages, qp3}) ||
        !generate({ZR_GEN_QP3, "--pages", "1", qp31})) {
        return 1;
    }
    std::printf("text report %.1f MiB, prepared report %.1f MiB\n\n",
                double(fileSize(gvp)) / kMiB, double(fileSize(qp3)) / kMiB);

    const std::string out = dir + "/thumb.png";
    const std::string s = std::to_string(size);
    measureProcesses(
        {
            {"--version (start-up only)", {ZR_CONV, "--version"}},
            {"thumbnail, text report, 1 page", {ZR_CONV, "thumbnail", "--size", s, gvp1, out}},
            {"thumbnail, text report, " + textPages + " pages",
             {ZR_CONV, "thumbnail", "--size", s, gvp, out}},
            {"thumbnail, prepared report, 1 page", {ZR_CONV, "thumbnail", "--size", s, qp31, out}},
            {"thumbnail, prepared report, " + o.pages + " pages",
             {ZR_CONV, "thumbnail", "--size", s, qp3, out}},
            // The same page through `convert`, which reads the whole report first.
            {"convert --page 1, text report, whole file",
             {ZR_CONV, "convert", "--page", "1", "--scale", "0.25", gvp, out}},
            {"convert --page 1, prepared report, whole file",
             {ZR_CONV, "convert", "--page", "1", "--scale", "0.3", qp3, out}},
        },
        o.runs);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char name[] = "thumbnail_bench";
    char* qtArgv[] = {name, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    measureInProcess(gvp, qp3, dir, size, o.runs);

    removeWork(kWho, {gvp, gvp1, qp3, qp31, out, dir + "/in-process.png"}, dir, made, o.keep);
    return 0;
}
