// load_bench: how long the engine takes to load a large saved text report and how much memory
// it needs, next to `sort -f` over the same item lines. Run on demand; it is not a test.
//
//   load_bench [--pages N] [--items-per-page M] [--seed S] [--runs R] [--dir DIR] [--keep]
//              [--gen PATH]
//
// It writes the report twice with gen_report (items in the viewer's order, and shuffled),
// extracts the item lines of each with `tail -n +10`, and then, R times per variant: loads the
// report in a child process (this program with --load FILE), and sorts the item lines with
// `LC_ALL=C sort -f` and, when the user's collation locale is not C, plain `sort -f`. Each
// measurement is its own process, so peak memory is that of one load or one sort. Medians are
// printed.

#include "bench_common.h"
#include "platform/interaction/interaction.h"
#include "textreport/gravana.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace zr::bench;

// ---------------------------------------------------------------------------------------------
// Child side: one load through the engine.

int loadOnce(const char* path) {
    const QString fileName = QString::fromLocal8Bit(path);
    SilentInteraction ui;
    const bool peakReset = resetPeak();
    const long baselineKb = peakReset ? statusKb("VmRSS") : statusKb("VmHWM");

    const Clock::time_point start = Clock::now();
    const double cpuStart = cpuMs();
    zr::textreport::TGravana g(ui);
    g.PortaComunicacao = QStringLiteral("bench"); // no look-up of the system's printer
    g.Abrir();
    const zr::textreport::LoadResult result = g.LerRelatorio(fileName);
    const double loadMs = msSince(start);
    const double loadCpuMs = cpuMs() - cpuStart;

    const long peakKb = statusKb("VmHWM");
    const zr::textreport::ReportState& state = zr::textreport::ReportState::current();
    std::printf("load_ms=%.3f\nload_cpu_ms=%.3f\n", loadMs, loadCpuMs);
    std::printf("baseline_kb=%ld\npeak_kb=%ld\n", baselineKb, peakKb);
    std::printf("store_bytes=%lld\n",
                state.store ? static_cast<long long>(state.store->memoryUsed()) : 0LL);
    std::printf("items=%lld\n", state.store ? static_cast<long long>(state.store->size()) : 0LL);
    std::printf("loaded=%d\n", result == zr::textreport::LoadResult::Loaded ? 1 : 0);
    // Whether the items kept the order they had in the file (they point into the file's bytes,
    // or into a copy made in file order). For the report written in order this confirms that
    // gen_report's order is the store's, so its load time is that of the in-order path.
    bool fileOrder = true;
    for (qsizetype i = 1; state.store && i < state.store->size() && fileOrder; ++i) {
        fileOrder = state.store->item(i - 1).data() < state.store->item(i).data();
    }
    std::printf("file_order=%d\n", fileOrder ? 1 : 0);
    if (ui.messages > 0) {
        std::printf("message=%s\n", ui.lastMessage.toLocal8Bit().constData());
    }
    return result == zr::textreport::LoadResult::Loaded ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Parent side: processes, measured from the outside.

// Runs argv (searched in PATH) with extra environment entries ("NAME=value", replacing the
// inherited ones) and standard output sent to `out`, and waits for it.
Outcome run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& out) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& o) {
            const std::string_view name = std::string_view(o).substr(0, o.find('=') + 1);
            return entry.substr(0, name.size()) == name;
        });
        if (!replaced) {
            envStrings.emplace_back(entry);
        }
    }
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& s : envStrings) {
        envp.push_back(s.data());
    }
    return runMeasured("load_bench", argv, envp, out);
}

// ---------------------------------------------------------------------------------------------

struct Options : CommonOptions {};

void usage() {
    std::fputs("usage: load_bench [--pages N] [--items-per-page M] [--seed S] [--runs R]\n"
               "                  [--dir DIR] [--keep] [--gen PATH-TO-gen_report]\n"
               "Loads a generated report with the engine and sorts its item lines with sort -f,\n"
               "R times each (default 3), and prints the medians. Files go to DIR (default a new\n"
               "folder under TMPDIR, removed at the end unless --keep).\n",
               stderr);
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (!parseCommonOption(o, i, argc, argv)) {
            return std::nullopt;
        }
    }
    if (o.runs < 1) {
        return std::nullopt;
    }
    return o;
}

struct SortCommand {
    std::string label;
    std::vector<std::string> env;
};

struct Samples {
    std::vector<double> load, loadCpu, wall, cpu, rss, peakOverBase, store;
    long long items = 0;
    bool fileOrder = false;
};

int benchmark(const Options& o) {
    bool madeDir = false;
    const std::string dir = workDir("load_bench", o.dir, madeDir);
    if (dir.empty()) {
        return 1;
    }
    const std::string self = selfPath("load_bench");
    if (self.empty()) {
        return 1;
    }

    // The collation locale sort would use by default.
    const char* collate = std::setlocale(LC_COLLATE, "");
    const std::string locale = collate ? collate : "C";
    std::setlocale(LC_COLLATE, "C");
    std::vector<SortCommand> sorts = {{"LC_ALL=C sort -f", {"LC_ALL=C"}}};
    if (locale != "C" && locale != "POSIX") {
        sorts.push_back({"sort -f (" + locale + ")", {}});
    }

    std::vector<std::string> created;
    struct Variant {
        const char* name;
        bool shuffle;
        std::string report, items;
    };
    std::vector<Variant> variants = {
        {"sorted", false, dir + "/sorted.gvp", dir + "/sorted.txt"},
        {"shuffled", true, dir + "/shuffled.gvp", dir + "/shuffled.txt"}};
    std::fprintf(stderr, "load_bench: writing reports in %s\n", dir.c_str());
    for (const Variant& v : variants) {
        std::vector<std::string> args = {o.gen,          "--pages", o.pages, "--items-per-page",
                                         o.itemsPerPage, "--seed",  o.seed};
        if (v.shuffle) {
            args.push_back("--shuffle");
        }
        args.push_back(v.report);
        created.push_back(v.report);
        created.push_back(v.items);
        if (!run(args, {}, "/dev/null").ok ||
            !run({"tail", "-n", "+10", v.report}, {}, v.items).ok) {
            return 1;
        }
    }
    const std::string childOut = dir + "/load.out";
    created.push_back(childOut);

    const long long reportBytes = fileSize(variants[0].report);
    const long long itemBytes = fileSize(variants[0].items);
    std::printf("Report: %s pages x %s items, file %.1f MiB (item lines %.1f MiB); "
                "median of %d runs, %ld cores.\n",
                o.pages.c_str(), o.itemsPerPage.c_str(), double(reportBytes) / kMiB,
                double(itemBytes) / kMiB, o.runs, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("The engine load is timed inside its child process; the other lines are whole "
                "processes.\n\n");

    for (const Variant& v : variants) {
        Samples ours;
        std::vector<Samples> theirs(sorts.size());
        for (int r = 0; r < o.runs; ++r) {
            const Outcome child = run({self, "--load", v.report}, {}, childOut);
            const auto kv = readKeyValues(childOut);
            if (!child.ok || !kv.count("load_ms")) {
                std::fprintf(stderr, "load_bench: loading %s failed%s%s\n", v.report.c_str(),
                             kv.count("message") ? ": " : "",
                             kv.count("message") ? kv.at("message").c_str() : "");
                return 1;
            }
            ours.load.push_back(std::atof(kv.at("load_ms").c_str()));
            ours.loadCpu.push_back(kv.count("load_cpu_ms") ? std::atof(kv.at("load_cpu_ms").c_str())
                                                           : 0);
            ours.wall.push_back(child.wallMs);
            ours.cpu.push_back(child.cpuMs);
            ours.rss.push_back(double(child.maxRssKb) * 1024);
            ours.peakOverBase.push_back(double(std::atol(kv.at("peak_kb").c_str()) -
                                               std::atol(kv.at("baseline_kb").c_str())) *
                                        1024);
            ours.store.push_back(std::atof(kv.at("store_bytes").c_str()));
            ours.items = std::atoll(kv.at("items").c_str());
            ours.fileOrder = kv.count("file_order") && kv.at("file_order") == "1";
            for (std::size_t s = 0; s < sorts.size(); ++s) {
                const Outcome sorted =
                    run({"sort", "-f", v.items, "-o", "/dev/null"}, sorts[s].env, "/dev/null");
                if (!sorted.ok) {
                    return 1;
                }
                theirs[s].wall.push_back(sorted.wallMs);
                theirs[s].cpu.push_back(sorted.cpuMs);
                theirs[s].rss.push_back(double(sorted.maxRssKb) * 1024);
            }
        }

        const double file = double(fileSize(v.report));
        const double load = median(ours.load);
        std::printf("%s (%lld items; the store %s)\n", v.name, ours.items,
                    ours.fileOrder ? "kept the file's order" : "sorted them");
        if (!v.shuffle && !ours.fileOrder) {
            std::fprintf(stderr, "load_bench: warning: the report written in order was sorted "
                                 "again on loading; gen_report's order differs from the store's\n");
        }
        const double loadCpu = median(ours.loadCpu);
        std::printf("  %-34s %9s %9s   %s\n", "", "wall ms", "cpu ms", "engine/sort: wall  cpu");
        std::printf("  %-34s %9.1f %9.1f\n", "engine load (Abrir+LerRelatorio)", load, loadCpu);
        std::printf("  %-34s %9.1f %9.1f\n", "engine process (with start-up)", median(ours.wall),
                    median(ours.cpu));
        for (std::size_t s = 0; s < sorts.size(); ++s) {
            const double wall = median(theirs[s].wall);
            const double cpu = median(theirs[s].cpu);
            std::printf("  %-34s %9.1f %9.1f   %18.2f %5.2f\n", sorts[s].label.c_str(), wall, cpu,
                        load / wall, loadCpu / cpu);
        }
        std::printf("  %-34s %9s %9s\n", "", "MiB", "x file");
        auto memory = [&](const std::string& what, double bytes) {
            std::printf("  %-34s %9.1f %9.2f\n", what.c_str(), bytes / kMiB, bytes / file);
        };
        memory("engine peak over baseline", median(ours.peakOverBase));
        memory("engine store (memoryUsed)", median(ours.store));
        memory("engine process max RSS", median(ours.rss));
        for (std::size_t s = 0; s < sorts.size(); ++s) {
            memory(sorts[s].label + " max RSS", median(theirs[s].rss));
        }
        std::printf("\n");
    }

    removeWork("load_bench", created, dir, madeDir, o.keep);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--load") {
        return loadOnce(argv[2]);
    }
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        usage();
        return 2;
    }
    return benchmark(*options);
}
