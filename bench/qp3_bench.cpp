// qp3_bench: how long the prepared-pages store takes to load, describe and save a large prepared
// report (.QP3) and how much memory loading needs, next to pugixml parsing the same file; and
// how long building one page takes on a small and on a large report. Run on demand; it is not a
// test.
//
//   qp3_bench [--pages N] [--seed S] [--runs R] [--samples K] [--dir DIR] [--keep] [--gen PATH]
//
// gen_qp3 writes the report (N pages, default 10000) and a 100-page one. Then, R times: pugixml
// parses the file with load_file and, from a copy in memory, with load_buffer; our store loads
// it with LoadFromFile, asks every page's size (as `zeralconv info` does), saves it with
// SaveToFile and builds K pages spread over it (the page cache emptied before each, so every
// build is a real one); and the same page building runs on the 100-page report. Each
// measurement runs in a child process of its own (this program with --child), so every peak
// memory figure belongs to one load. Medians are printed.

#include "bench_common.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <pugixml.hpp>

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace zr::bench;

// ---------------------------------------------------------------------------------------------
// Child side: one measurement each.

struct Peak {
    long baselineKb = 0;
    bool reset = false;
    void start() {
        reset = resetPeak();
        baselineKb = reset ? statusKb("VmRSS") : statusKb("VmHWM");
    }
    void print() const {
        std::printf("baseline_kb=%ld\npeak_kb=%ld\npeak_reset=%d\n", baselineKb, statusKb("VmHWM"),
                    reset ? 1 : 0);
    }
};

int pugixmlFromFile(const char* path) {
    pugi::xml_document doc;
    Peak peak;
    peak.start();
    const Clock::time_point start = Clock::now();
    const pugi::xml_parse_result result = doc.load_file(path);
    std::printf("load_ms=%.3f\n", msSince(start));
    peak.print();
    if (!result) {
        std::printf("message=%s at offset %lld\n", result.description(),
                    static_cast<long long>(result.offset));
        return 1;
    }
    const pugi::xml_node pages = doc.child("preparedreport").child("previewpages");
    std::printf("pages=%lld\n", static_cast<long long>(std::distance(pages.begin(), pages.end())));
    return 0;
}

int pugixmlFromMemory(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::printf("message=cannot open %s\n", path);
        return 1;
    }
    std::vector<char> bytes(static_cast<std::size_t>(std::max(0LL, fileSize(path))));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (got != bytes.size()) {
        std::printf("message=short read\n");
        return 1;
    }
    pugi::xml_document doc;
    Peak peak;
    peak.start();
    const Clock::time_point start = Clock::now();
    const pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size());
    std::printf("load_ms=%.3f\n", msSince(start));
    peak.print();
    return result ? 0 : 1;
}

int ours(const char* path, const char* savePath, int samples) {
    zr::reportlib::TqdxReport report;
    zr::reportlib::TqdxPreviewPages& pages = report.PreviewPages();
    const QString fileName = QString::fromLocal8Bit(path);
    try {
        Peak peak;
        peak.start();
        Clock::time_point start = Clock::now();
        pages.LoadFromFile(fileName, true);
        std::printf("load_ms=%.3f\n", msSince(start));
        peak.print();
        const int count = pages.Count();
        std::printf("pages=%d\n", count);

        start = Clock::now();
        long long area = 0; // keeps the loop from being optimised away
        for (int i = 0; i < count; ++i) {
            const QSize size = pages.PageExtent(i);
            area += static_cast<long long>(size.width()) * size.height();
        }
        std::printf("info_ms=%.3f\nextent_sum=%lld\n", msSince(start), area);

        start = Clock::now();
        const bool saved = pages.SaveToFile(QString::fromLocal8Bit(savePath));
        std::printf("save_ms=%.3f\nsaved=%d\n", msSince(start), saved ? 1 : 0);

        std::vector<double> builds;
        const int n = std::min(samples, count);
        for (int k = 0; k < n; ++k) {
            const int index =
                n > 1 ? static_cast<int>(static_cast<long long>(k) * (count - 1) / (n - 1)) : 0;
            pages.ClearCache();
            const Clock::time_point one = Clock::now();
            const zr::reportlib::TqdxReportPage* page = pages.PageObject(index);
            builds.push_back(msSince(one));
            if (!page) {
                std::printf("message=page %d was not built\n", index);
                return 1;
            }
        }
        std::sort(builds.begin(), builds.end());
        if (!builds.empty()) {
            std::printf("page_ms=%.4f\npage_p95_ms=%.4f\n", median(builds),
                        builds[std::min(builds.size() - 1, builds.size() * 95 / 100)]);
        }
        return saved ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("message=%s\n", e.what());
        return 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Parent side.

Outcome run(const std::vector<std::string>& argv, const std::string& out) {
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        envp.push_back(*e);
    }
    return runMeasured("qp3_bench", argv, envp, out);
}

struct Options : CommonOptions {
    int samples = 200;
};

void usage() {
    std::fputs("usage: qp3_bench [--pages N] [--seed S] [--runs R] [--samples K] [--dir DIR]\n"
               "                 [--keep] [--gen PATH-TO-gen_qp3]\n"
               "Loads, describes and saves a generated prepared report of N pages (default\n"
               "10000) with the prepared-pages store and parses it with pugixml, R times each\n"
               "(default 3), builds K pages (default 200) of it and of a 100-page report, and\n"
               "prints the medians. Files go to DIR (default a new folder under TMPDIR, removed\n"
               "at the end unless --keep).\n",
               stderr);
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    o.pages = "10000";
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--samples" && i + 1 < argc) {
            o.samples = std::atoi(argv[++i]);
        } else if (std::string_view(argv[i]) == "--items-per-page" ||
                   !parseCommonOption(o, i, argc, argv)) {
            return std::nullopt;
        }
    }
    if (o.runs < 1 || o.samples < 1) {
        return std::nullopt;
    }
    return o;
}

struct Series {
    std::vector<double> ms, peakOverBase, info, save, page, pageP95;
};

double number(const std::map<std::string, std::string>& kv, const char* key) {
    const auto it = kv.find(key);
    return it == kv.end() ? 0 : std::atof(it->second.c_str());
}

bool measure(const char* who, const std::vector<std::string>& argv, const std::string& out,
             Series& into) {
    const Outcome child = run(argv, out);
    const auto kv = readKeyValues(out);
    if (!child.ok || !kv.count("load_ms")) {
        std::fprintf(stderr, "qp3_bench: %s failed%s%s\n", who, kv.count("message") ? ": " : "",
                     kv.count("message") ? kv.at("message").c_str() : "");
        return false;
    }
    into.ms.push_back(number(kv, "load_ms"));
    into.peakOverBase.push_back((number(kv, "peak_kb") - number(kv, "baseline_kb")) * 1024);
    into.info.push_back(number(kv, "info_ms"));
    into.save.push_back(number(kv, "save_ms"));
    into.page.push_back(number(kv, "page_ms"));
    into.pageP95.push_back(number(kv, "page_p95_ms"));
    return true;
}

int benchmark(const Options& o) {
    bool madeDir = false;
    const std::string dir = workDir("qp3_bench", o.dir, madeDir);
    if (dir.empty()) {
        return 1;
    }
    const std::string self = selfPath("qp3_bench");
    if (self.empty()) {
        return 1;
    }

    const std::string large = dir + "/large.qp3";
    const std::string small = dir + "/small.qp3";
    const std::string saved = dir + "/saved.qp3";
    const std::string smallSaved = dir + "/small-saved.qp3";
    const std::string out = dir + "/child.out";
    const std::vector<std::string> created = {large, small, saved, smallSaved, out};
    std::fprintf(stderr, "qp3_bench: writing reports in %s\n", dir.c_str());
    const Clock::time_point generating = Clock::now();
    if (!run({o.gen, "--pages", o.pages, "--seed", o.seed, large}, "/dev/null").ok ||
        !run({o.gen, "--pages", "100", "--seed", o.seed, small}, "/dev/null").ok) {
        return 1;
    }
    const double generateMs = msSince(generating);

    const std::string samples = std::to_string(o.samples);
    Series pugiFile, pugiMemory, oursLarge, oursSmall;
    for (int r = 0; r < o.runs; ++r) {
        if (!measure("pugixml load_file", {self, "--child", "pugixml-file", large}, out,
                     pugiFile) ||
            !measure("pugixml load_buffer", {self, "--child", "pugixml-memory", large}, out,
                     pugiMemory) ||
            !measure("our store", {self, "--child", "ours", large, saved, samples}, out,
                     oursLarge) ||
            !measure("our store (100 pages)", {self, "--child", "ours", small, smallSaved, samples},
                     out, oursSmall)) {
            return 1;
        }
    }

    const double file = double(fileSize(large));
    std::printf("Report: %s pages, file %.1f MiB (saved again: %.1f MiB; 100-page report "
                "%.2f MiB); written by gen_qp3 in %.0f ms; median of %d runs, %ld cores.\n\n",
                o.pages.c_str(), file / kMiB, double(fileSize(saved)) / kMiB,
                double(fileSize(small)) / kMiB, generateMs, o.runs,
                ::sysconf(_SC_NPROCESSORS_ONLN));

    const double pf = median(pugiFile.ms);
    const double pm = median(pugiMemory.ms);
    const double load = median(oursLarge.ms);
    const double info = median(oursLarge.info);
    std::printf("  %-40s %9s %13s %13s\n", "", "wall ms", "x load_file", "x load_buffer");
    auto line = [&](const char* what, double ms) {
        std::printf("  %-40s %9.1f %13.2f %13.2f\n", what, ms, ms / pf, ms / pm);
    };
    line("pugixml load_file", pf);
    line("pugixml load_buffer (from memory)", pm);
    line("ours: LoadFromFile", load);
    line("ours: load + info (PageExtent of all)", load + info);
    line("ours: info alone", info);
    line("ours: SaveToFile", median(oursLarge.save));

    std::printf("\n  %-40s %9s %13s\n", "Building one page (PageObject)", "median ms", "p95 ms");
    std::printf("  %-40s %9.3f %13.3f\n", "100-page report", median(oursSmall.page),
                median(oursSmall.pageP95));
    std::printf("  %-40s %9.3f %13.3f\n", (o.pages + "-page report").c_str(),
                median(oursLarge.page), median(oursLarge.pageP95));

    std::printf("\n  %-40s %9s %13s\n", "Peak memory over baseline", "MiB", "x file");
    auto memory = [&](const char* what, const Series& s) {
        const double bytes = median(s.peakOverBase);
        std::printf("  %-40s %9.1f %13.2f\n", what, bytes / kMiB, bytes / file);
    };
    memory("ours: LoadFromFile", oursLarge);
    memory("pugixml load_file", pugiFile);
    memory("pugixml load_buffer (copy + tree)", pugiMemory);

    const double memoryRatio = median(oursLarge.peakOverBase) / file;
    std::printf("\nTargets: load <= 2x pugixml load_file: %.2f (%s); peak memory <= 2x file: "
                "%.2f (%s).\n",
                load / pf, load / pf <= 2 ? "met" : "NOT met", memoryRatio,
                memoryRatio <= 2 ? "met" : "NOT met");

    removeWork("qp3_bench", created, dir, madeDir, o.keep);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string_view(argv[1]) == "--child") {
        const std::string_view what = argv[2];
        if (what == "pugixml-file") {
            return pugixmlFromFile(argv[3]);
        }
        if (what == "pugixml-memory") {
            return pugixmlFromMemory(argv[3]);
        }
        if (what == "ours" && argc == 6) {
            return ours(argv[3], argv[4], std::atoi(argv[5]));
        }
        return 2;
    }
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        usage();
        return 2;
    }
    return benchmark(*options);
}
