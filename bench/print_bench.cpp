// print_bench: printing a generated 1,000-page prepared report to a queue of a private CUPS
// scheduler in each print mode ("zeralconv print --printer QUEUE --mode M report.qp3"; the
// scale, split and join modes on A4 sheets), next to "lp -d QUEUE ours.pdf" submitting our own
// PDF export of the same report to that queue. Each is timed as a process
// (wall, CPU, maximum RSS) and until the queue's printer has received the whole job. While our
// print runs, the scheduler's spool folder is watched: when our job's document file grows
// there well before our process ends (before half its time), pages reached CUPS while later
// ones were still being drawn.
// Every measurement is a child process of its own, so each maximum RSS belongs to one run; the
// report is written by this program in a child process too (--generate), so that this process
// stays small. See README.md.
//
// Usage: print_bench [--pages N[,M...]] [--runs R] [--dir DIR] [--keep] [--conv PATH]

#include "bench_common.h"

#include "private_cupsd.h"
#include "qp3_generator.h"

#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

extern char** environ;

using namespace zr::bench;

namespace {

constexpr const char* kWho = "print_bench";
const QString kQueue = QStringLiteral("bench");

// ---- Child: writes the report.
int generateChild(const char* path, const char* pages) {
    zr::tools::Qp3GeneratorOptions options;
    options.pages = std::atoi(pages);
    QString error;
    if (options.pages < 1 ||
        !zr::tools::WritePreparedReport(QString::fromLocal8Bit(path), options, &error)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kWho, path,
                     error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

// ---- Parent.
Outcome run(const std::vector<std::string>& argv, const std::string& out) {
    // Read at every call: the private scheduler sets CUPS_SERVER in this process's environment.
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        envp.push_back(*e);
    }
    return runMeasured(kWho, argv, envp, out);
}

// Watches the scheduler's spool folder for document files that were not there when it started,
// and notes when one of them first held bytes. The scheduler receives a document into a file
// named by the request's number ("0000002a"), and renames it to the job's ("d<job>-<n>") once it
// is whole: both count.
class SpoolWatch {
public:
    explicit SpoolWatch(std::filesystem::path spool) : m_spool(std::move(spool)) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_spool, ec)) {
            m_known.insert(entry.path().filename().string());
        }
        m_start = Clock::now();
        m_thread = std::thread([this] { watch(); });
    }
    ~SpoolWatch() { stop(); }
    SpoolWatch(const SpoolWatch&) = delete;
    SpoolWatch& operator=(const SpoolWatch&) = delete;

    void stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    // Milliseconds from the start until a new document file first held bytes; < 0 when never.
    double firstBytesMs() const { return m_firstBytesMs.load(); }

private:
    void watch() {
        using namespace std::chrono_literals;
        while (!m_stop && m_firstBytesMs.load() < 0) {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(m_spool, ec)) {
                const std::string name = entry.path().filename().string();
                const bool document =
                    name.size() > 1 && (name[0] == 'd' || std::isxdigit(uchar(name[0])));
                if (document && name[0] != 'c' && !m_known.count(name)) {
                    std::error_code sizeError;
                    const auto size = std::filesystem::file_size(entry.path(), sizeError);
                    if (!sizeError && size > 0) {
                        m_firstBytesMs = msSince(m_start);
                        break;
                    }
                }
            }
            std::this_thread::sleep_for(2ms);
        }
    }

    std::filesystem::path m_spool;
    std::set<std::string> m_known;
    Clock::time_point m_start;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_firstBytesMs{-1};
    std::thread m_thread;
};

struct Series {
    std::vector<double> wall, cpu, rssMiB, toPrinter, jobMiB, firstBytes;
    void add(const Outcome& o) {
        wall.push_back(o.wallMs);
        cpu.push_back(o.cpuMs);
        rssMiB.push_back(double(o.maxRssKb) / 1024);
    }
};

struct Options {
    std::vector<int> pages{1000, 2000};
    int runs = 1;
    std::string dir;
    bool keep = false;
    std::string conv = ZR_CONV;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--pages" && i + 1 < argc) {
            // One size or several: "1000" or "1000,2000".
            o.pages.clear();
            for (const QByteArray& n : QByteArray(argv[++i]).split(',')) {
                o.pages.push_back(n.toInt());
            }
        } else if (a == "--runs" && i + 1 < argc) {
            o.runs = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--conv" && i + 1 < argc) {
            o.conv = argv[++i];
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            return std::nullopt;
        }
    }
    if (o.pages.empty() || *std::min_element(o.pages.begin(), o.pages.end()) < 1 || o.runs < 1) {
        return std::nullopt;
    }
    return o;
}

// Runs one submission and waits until the queue's printer has the whole job. `watch` also
// watches the spool while the submission runs.
bool submit(zr::test::PrivateCupsd& cups, const std::vector<std::string>& argv,
            const std::string& out, bool watch, Series& into) {
    const std::filesystem::path spool =
        std::filesystem::path(QFile::encodeName(cups.server()).toStdString()).parent_path() /
        "spool";
    std::optional<SpoolWatch> watcher;
    if (watch) {
        watcher.emplace(spool);
    }
    const Clock::time_point start = Clock::now();
    const Outcome o = run(argv, out);
    if (watcher) {
        watcher->stop();
    }
    if (!o.ok) {
        return false;
    }
    const std::optional<QByteArray> job = cups.nextJob(kQueue, 10 * 60 * 1000);
    if (!job) {
        std::fprintf(stderr, "%s: no job reached the printer of the queue\n", kWho);
        return false;
    }
    into.add(o);
    into.toPrinter.push_back(msSince(start));
    into.jobMiB.push_back(double(job->size()) / kMiB);
    if (watcher) {
        into.firstBytes.push_back(watcher->firstBytesMs());
    }
    if (!job->startsWith("%PDF")) {
        std::fprintf(stderr, "%s: note: the job does not start with %%PDF (%s)\n", kWho,
                     job->left(8).toHex().constData());
    }
    return true;
}

int benchmark(const Options& o, int pages) {
    bool madeDir = false;
    const std::string dir = workDir(kWho, o.dir, madeDir);
    const std::string self = selfPath(kWho);
    if (dir.empty() || self.empty()) {
        return 1;
    }
    const std::string qp3 = dir + "/report.qp3";
    const std::string ours = dir + "/ours.pdf";
    const std::string out = dir + "/child.out";
    const std::vector<std::string> created = {qp3, ours, out};
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s: %s\n", kWho, what);
        removeWork(kWho, created, dir, madeDir, o.keep);
        return 1;
    };

    std::fprintf(stderr, "%s: writing the report in %s\n", kWho, dir.c_str());
    if (!run({self, "--generate", qp3, std::to_string(pages)}, out).ok) {
        return fail("the report could not be written");
    }
    Series exportSeries;
    const Outcome exported = run({o.conv, "convert", qp3, ours}, out);
    if (!exported.ok) {
        return fail("zeralconv convert failed");
    }
    exportSeries.add(exported);

    zr::test::PrivateCupsd cups;
    if (!cups.running()) {
        std::fprintf(stderr, "%s: the private scheduler did not start: %s\n", kWho,
                     cups.failure().toLocal8Bit().constData());
        return fail("no scheduler");
    }
    if (!cups.addQueue(kQueue)) {
        return fail("the queue could not be added");
    }
    const std::string queue = kQueue.toStdString();

    Series print, lp;
    const char* const modes[] = {"scale", "split", "join"};
    Series others[3];
    for (int r = 0; r < o.runs; ++r) {
        std::fprintf(stderr, "%s: run %d of %d\n", kWho, r + 1, o.runs);
        if (!submit(cups, {o.conv, "print", "--printer", queue, qp3}, out, true, print)) {
            return fail("zeralconv print failed");
        }
        if (!submit(cups, {"lp", "-d", queue, ours}, out, false, lp)) {
            return fail("lp failed (is it installed?)");
        }
        for (int m = 0; m < 3; ++m) {
            if (!submit(cups, {o.conv, "print", "--printer", queue, "--mode", modes[m], "--sheet",
                               "9", qp3},
                        out, false, others[m])) {
                return fail("zeralconv print --mode failed");
            }
        }
    }

    std::printf("Prepared report: %d pages, %.1f MiB; our PDF export %.1f MiB; a raw queue of a "
                "private CUPS scheduler; %d run(s), medians.\n\n",
                pages, double(fileSize(qp3)) / kMiB, double(fileSize(ours)) / kMiB, o.runs);
    std::printf("  %-40s %9s %9s %12s %11s %8s\n", "", "wall ms", "cpu ms", "max RSS MiB",
                "printer ms", "job MiB");
    auto line = [](const char* what, const Series& s) {
        std::printf("  %-40s %9.0f %9.0f %12.1f", what, median(s.wall), median(s.cpu),
                    median(s.rssMiB));
        if (s.toPrinter.empty()) {
            std::printf(" %11s %8s\n", "-", "-");
        } else {
            std::printf(" %11.0f %8.1f\n", median(s.toPrinter), median(s.jobMiB));
        }
    };
    line("ours: zeralconv print --printer QUEUE", print);
    line("ours: ... --mode scale --sheet 9", others[0]);
    line("ours: ... --mode split --sheet 9", others[1]);
    line("ours: ... --mode join --sheet 9", others[2]);
    line("lp -d QUEUE ours.pdf", lp);
    line("(ours.pdf made by zeralconv convert)", exportSeries);
    std::printf("\n  wall and cpu ms, max RSS: the submitting process; printer ms: from its start "
                "until the\n  queue's printer had the whole job.\n");

    // The goal: each mode at most as long as convert + lp, and its job no larger than the
    // export.
    const double convertAndLp = median(lp.toPrinter) + median(exportSeries.wall);
    const double exportMiB = double(fileSize(ours)) / kMiB;
    std::printf("  ours / lp until the printer: %.2f\n",
                median(print.toPrinter) / median(lp.toPrinter));
    std::printf("  %-40s %14s %14s\n", "", "time / conv+lp", "bytes / export");
    auto ratios = [&](const char* what, const Series& s) {
        std::printf("  %-40s %14.2f %14.2f\n", what, median(s.toPrinter) / convertAndLp,
                    median(s.jobMiB) / exportMiB);
    };
    ratios("default mode", print);
    for (int m = 0; m < 3; ++m) {
        ratios(modes[m], others[m]);
    }
    const double first = median(print.firstBytes);
    if (first >= 0) {
        // Only a first arrival well before the end shows that drawing and spooling overlapped.
        const bool overlapped = first < 0.5 * median(print.wall);
        std::printf("  ours: the job's first bytes were in the CUPS spool after %.0f ms, the "
                    "process ended after %.0f ms:\n  %s\n",
                    first, median(print.wall),
                    overlapped ? "pages reached CUPS while later ones were still being drawn"
                               : "the document reached CUPS only near the end");
    } else {
        std::printf("  ours: the job's document was not seen in the CUPS spool while printing\n");
    }
    removeWork(kWho, created, dir, madeDir, o.keep);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 4 && !std::strcmp(argv[1], "--generate")) {
        return generateChild(argv[2], argv[3]);
    }
    const std::optional<Options> o = parse(argc, argv);
    if (!o) {
        std::fputs("usage: print_bench [--pages N[,M...]] [--runs R] [--dir DIR] [--keep] [--conv "
                   "PATH]\n"
                   "Prints a generated prepared report of N pages (default 1000, then 2000) with\n"
                   "zeralconv\n"
                   "to a queue of a private CUPS scheduler, next to lp submitting our PDF export\n"
                   "of it to the same queue; R runs (default 1), medians of wall and CPU time,\n"
                   "maximum RSS and the time until the queue's printer had the job.\n",
                   stderr);
        return 2;
    }
    for (const int pages : o->pages) {
        if (const int code = benchmark(*o, pages); code != 0) {
            return code;
        }
        std::printf("\n");
    }
    return 0;
}
