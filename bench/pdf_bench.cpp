// pdf_bench: how long the engine takes to turn a large text report into PDF, next to CUPS
// texttopdf on the same report's plain-text export and next to zlib alone compressing the
// page contents the engine writes. Run on demand; it is not a test.
//
//   pdf_bench [--pages N] [--items-per-page M] [--seed S] [--runs R] [--dir DIR] [--keep]
//             [--gen PATH] [--texttopdf PATH]
//
// It writes the report with gen_report, loads it once, exports it once as plain text
// (GravarTXT, code page 850, turned into UTF-8 for texttopdf) and then, R times each:
//   ours       TGravana::GerarPDF on the loaded report (in this process);
//   ours PDF/A the same with the archival option (what zeralconv convert --pdfa writes): the
//              Liberation faces embedded, metadata and output intent; the faces are read and
//              deflated once per process, so its first run is shown on its own too;
//   texttopdf  the CUPS filter on the text export, as its own process:
//              texttopdf 1 user title 1 "" FILE.txt > OUT.pdf, with PPD unset;
//   zlib floor compress2 at Z_DEFAULT_COMPRESSION, on one thread, of exactly the uncompressed
//              content streams of our PDF (read back from the file and inflated untimed);
//              and, for reference, the same work split over all cores, which shows how much
//              the cores actually gave at the time (virtual machines often give less).
// Medians are printed with the ratios ours/texttopdf, ours PDF/A/texttopdf (the goal is below
// 0.5) and ours/zlib floor.

#include "bench_common.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "textreport/gravana.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace zr::bench;

// Runs argv with standard output sent to `out`, the environment without the variables named
// in `unset`, and waits for it.
Outcome run(const std::vector<std::string>& argv, const std::vector<std::string>& unset,
            const std::string& out) {
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const bool dropped = std::any_of(unset.begin(), unset.end(), [&](const std::string& n) {
            return entry.size() > n.size() && entry.substr(0, n.size()) == n &&
                   entry[n.size()] == '=';
        });
        if (!dropped) {
            envp.push_back(*e);
        }
    }
    return runMeasured("pdf_bench", argv, envp, out);
}

// ---------------------------------------------------------------------------------------------
// Reading our own PDF back: content object 2k of page k, through the cross-reference section.

struct ContentStreams {
    std::vector<std::string> plain;      // inflated operators, one per page
    std::vector<std::string> compressed; // the stream data as stored
    bool ok = false;
};

bool inflateAll(const std::string& in, std::string& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return false;
    }
    out.clear();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    char chunk[1 << 16];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
    }
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

ContentStreams readContentStreams(const std::string& path) {
    ContentStreams c;
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return c;
    }
    const QByteArray file = f.readAll();
    const qsizetype sx = file.lastIndexOf("startxref\r\n");
    if (sx < 0) {
        return c;
    }
    const qint64 xref = file.mid(sx + 11, file.indexOf("\r\n", sx + 11) - sx - 11).toLongLong();
    const qsizetype countAt = xref + 8;
    const int size = file.mid(countAt, file.indexOf("\r\n", countAt) - countAt).toInt();
    const qsizetype entries = file.indexOf("\r\n", countAt) + 2;
    auto offset = [&](int n) { return file.mid(entries + 20 * n, 10).toLongLong(); };
    const int pages = (size - 20) / 3; // /Size is 3P + 20
    for (int k = 1; k <= pages; ++k) {
        const qint64 at = offset(2 * k);
        const qsizetype data = file.indexOf("stream\r\n", at) + 8;
        const qint64 lengthAt = offset(2 * k + 1);
        const qsizetype valueAt = file.indexOf("\r\n", lengthAt) + 2;
        const qint64 length =
            file.mid(valueAt, file.indexOf("\r\n", valueAt) - valueAt).toLongLong();
        std::string stored(file.constData() + data, std::size_t(length));
        std::string plain;
        if (!inflateAll(stored, plain)) {
            return c;
        }
        c.compressed.push_back(std::move(stored));
        c.plain.push_back(std::move(plain));
    }
    c.ok = pages > 0;
    return c;
}

// compress2 of every page on this thread; returns the wall time in ms and whether every
// result equals what the PDF holds.
double zlibFloor(const ContentStreams& streams, bool& identical) {
    identical = true;
    std::vector<Bytef> out;
    const Clock::time_point start = Clock::now();
    for (std::size_t i = 0; i < streams.plain.size(); ++i) {
        const std::string& in = streams.plain[i];
        uLongf length = compressBound(uLong(in.size()));
        out.resize(length);
        compress2(out.data(), &length, reinterpret_cast<const Bytef*>(in.data()), uLong(in.size()),
                  Z_DEFAULT_COMPRESSION);
        identical = identical && length == streams.compressed[i].size() &&
                    std::memcmp(out.data(), streams.compressed[i].data(), length) == 0;
    }
    return msSince(start);
}

// The same compress2 work shared by `threads` threads (page i on thread i mod threads): what
// the machine's cores can do at best at that moment, with nothing else to do.
double zlibSplit(const ContentStreams& streams, unsigned threads) {
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&streams, t, threads] {
            std::vector<Bytef> out;
            for (std::size_t i = t; i < streams.plain.size(); i += threads) {
                const std::string& in = streams.plain[i];
                uLongf length = compressBound(uLong(in.size()));
                out.resize(length);
                compress2(out.data(), &length, reinterpret_cast<const Bytef*>(in.data()),
                          uLong(in.size()), Z_DEFAULT_COMPRESSION);
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    return msSince(start);
}

// ---------------------------------------------------------------------------------------------

struct Options : CommonOptions {
    std::string texttopdf = "/usr/lib/cups/filter/texttopdf";
};

void usage() {
    std::fputs("usage: pdf_bench [--pages N] [--items-per-page M] [--seed S] [--runs R]\n"
               "                 [--dir DIR] [--keep] [--gen PATH] [--texttopdf PATH]\n"
               "Exports a generated report as PDF with the engine, converts its text export with\n"
               "CUPS texttopdf and deflates the engine's page contents with zlib alone, R times\n"
               "each (default 3), and prints the medians.\n",
               stderr);
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (parseCommonOption(o, i, argc, argv)) {
            continue;
        }
        if (std::string_view(argv[i]) == "--texttopdf" && i + 1 < argc) {
            o.texttopdf = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    if (o.runs < 1) {
        return std::nullopt;
    }
    return o;
}

int pdfPages(const std::string& path) {
    // Both writers put "/Count N" in their page tree; the largest is the root's.
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray bytes = f.readAll();
    int pages = 0;
    for (qsizetype at = bytes.indexOf("/Count "); at >= 0; at = bytes.indexOf("/Count ", at + 1)) {
        qsizetype end = at + 7;
        while (end < bytes.size() && bytes[end] >= '0' && bytes[end] <= '9') {
            ++end;
        }
        pages = std::max(pages, bytes.mid(at + 7, end - at - 7).toInt());
    }
    return pages;
}

int benchmark(const Options& o) {
    bool madeDir = false;
    const std::string dir = workDir("pdf_bench", o.dir, madeDir);
    if (dir.empty()) {
        return 1;
    }
    if (::access(o.texttopdf.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "pdf_bench: %s not found (Debian package cups-filters)\n",
                     o.texttopdf.c_str());
        return 1;
    }
    const std::string report = dir + "/report.gvp";
    const std::string cp850Text = dir + "/report-cp850.txt";
    const std::string text = dir + "/report.txt";
    const std::string ours = dir + "/ours.pdf";
    const std::string theirs = dir + "/texttopdf.pdf";
    const std::string archival = dir + "/ours-pdfa.pdf";
    const std::vector<std::string> created = {report, cp850Text, text, ours, theirs, archival};

    std::fprintf(stderr, "pdf_bench: writing the report in %s\n", dir.c_str());
    if (!run({o.gen, "--pages", o.pages, "--items-per-page", o.itemsPerPage, "--seed", o.seed,
              report},
             {}, "/dev/null")
             .ok) {
        return 1;
    }

    SilentInteraction ui;
    zr::textreport::TGravana g(ui);
    g.PortaComunicacao = QStringLiteral("bench"); // no look-up of the system's printer
    g.Abrir();
    if (g.LerRelatorio(QString::fromStdString(report)) != zr::textreport::LoadResult::Loaded) {
        std::fprintf(stderr, "pdf_bench: loading the report failed\n");
        return 1;
    }
    const qsizetype items = g.store()->size();

    // The plain-text export, as the engine writes it (code page 850 for character printers),
    // in UTF-8 for texttopdf. Untimed.
    g.GravarTXT(QString::fromStdString(cp850Text));
    {
        QFile in(QString::fromStdString(cp850Text));
        QFile out(QString::fromStdString(text));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
            out.write(zr::codepages::fromCp850(in.readAll()).toUtf8()) < 0) {
            std::fprintf(stderr, "pdf_bench: writing the text export failed\n");
            return 1;
        }
    }

    std::vector<double> oursWall, oursCpu, theirWall, theirCpu, floorWall, splitWall;
    std::vector<double> archivalWall, archivalCpu;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    ContentStreams streams;
    bool identical = true;
    for (int r = 0; r < o.runs; ++r) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = cpuMs();
        g.GerarPDF(QString::fromStdString(ours));
        oursWall.push_back(msSince(start));
        oursCpu.push_back(cpuMs() - cpuStart);
        if (ui.messages > 0) {
            std::fprintf(stderr, "pdf_bench: GerarPDF: %s\n", ui.lastMessage.toLocal8Bit().data());
            return 1;
        }

        g.OpcoesPDF.archival = true;
        const Clock::time_point archivalStart = Clock::now();
        const double archivalCpuStart = cpuMs();
        g.GerarPDF(QString::fromStdString(archival));
        archivalWall.push_back(msSince(archivalStart));
        archivalCpu.push_back(cpuMs() - archivalCpuStart);
        g.OpcoesPDF.archival = false;
        if (ui.messages > 0) {
            std::fprintf(stderr, "pdf_bench: GerarPDF --pdfa: %s\n",
                         ui.lastMessage.toLocal8Bit().data());
            return 1;
        }

        const Outcome t = run({o.texttopdf, "1", "user", "title", "1", "", text}, {"PPD"}, theirs);
        if (!t.ok) {
            return 1;
        }
        theirWall.push_back(t.wallMs);
        theirCpu.push_back(t.cpuMs);

        if (r == 0) {
            streams = readContentStreams(ours);
            if (!streams.ok) {
                std::fprintf(stderr, "pdf_bench: cannot read the content streams back\n");
                return 1;
            }
        }
        bool same = true;
        floorWall.push_back(zlibFloor(streams, same));
        identical = identical && same;
        splitWall.push_back(zlibSplit(streams, cores));
    }

    std::size_t plainBytes = 0;
    std::size_t packedBytes = 0;
    for (std::size_t i = 0; i < streams.plain.size(); ++i) {
        plainBytes += streams.plain[i].size();
        packedBytes += streams.compressed[i].size();
    }
    std::printf("Report: %s pages x %s items (%lld items), GVP %.1f MiB, text export %.1f MiB; "
                "median of %d runs, %u cores.\n",
                o.pages.c_str(), o.itemsPerPage.c_str(), static_cast<long long>(items),
                double(fileSize(report)) / kMiB, double(fileSize(text)) / kMiB, o.runs,
                std::thread::hardware_concurrency());
    std::printf("Our content streams: %.1f MiB of operators, %.1f MiB deflated; compress2 gives "
                "the same bytes: %s.\n\n",
                double(plainBytes) / kMiB, double(packedBytes) / kMiB, identical ? "yes" : "NO");
    std::printf("  %-36s %9s %9s %8s %10s\n", "", "wall ms", "cpu ms", "pages", "PDF MiB");
    const double oursMs = median(oursWall);
    const double theirMs = median(theirWall);
    const double floorMs = median(floorWall);
    std::printf("  %-36s %9.1f %9.1f %8d %10.1f\n", "ours: GerarPDF", oursMs, median(oursCpu),
                pdfPages(ours), double(fileSize(ours)) / kMiB);
    const double archivalMs = median(archivalWall);
    std::printf("  %-36s %9.1f %9.1f %8d %10.1f\n", "ours: GerarPDF, PDF/A (--pdfa)", archivalMs,
                median(archivalCpu), pdfPages(archival), double(fileSize(archival)) / kMiB);
    std::printf("  %-36s %9.1f %9.1f\n", "  its first run (reads the faces)", archivalWall.front(),
                archivalCpu.front());
    std::printf("  %-36s %9.1f %9.1f %8d %10.1f\n", "texttopdf on the text export", theirMs,
                median(theirCpu), pdfPages(theirs), double(fileSize(theirs)) / kMiB);
    std::printf("  %-36s %9.1f %9.1f\n", "zlib floor: compress2, one thread", floorMs, floorMs);
    const double splitMs = median(splitWall);
    std::printf("  %-36s %9.1f %9s   (the cores gave %.2f times one core)\n",
                ("the same on " + std::to_string(cores) + " threads").c_str(), splitMs, "",
                floorMs / splitMs);
    std::printf("\n  ours / texttopdf  %5.2f   (must be below 1)\n", oursMs / theirMs);
    std::printf("  ours PDF/A / texttopdf  %5.2f   (goal: below 0.5)\n", archivalMs / theirMs);
    std::printf("  ours / zlib floor %5.2f   (must be at most 1.25)\n", oursMs / floorMs);
    std::printf("  ours / zlib on %u threads %5.2f   (the cost of drawing and writing the file)\n",
                cores, oursMs / splitMs);

    removeWork("pdf_bench", created, dir, madeDir, o.keep);
    return identical ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        usage();
        return 2;
    }
    return benchmark(*options);
}
