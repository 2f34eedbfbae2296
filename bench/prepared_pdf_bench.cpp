// prepared_pdf_bench: the PDF export of a large generated prepared report (about 40 views a
// page), next to Ghostscript re-writing our own output (gs -sDEVICE=pdfwrite, a writer that
// interprets and lays out every page again) and qpdf re-writing it (qpdf in.pdf out.pdf, a
// writer that does no layout at all). Our export runs for a 1,000-page and an N-page report
// (default 10,000) to show that its peak memory does not grow with the page count. Every
// measurement is a child process of its own (this program with --child), so each maximum RSS
// belongs to one run. The N-page export runs twice, with the fonts subset (as the program
// writes them) and embedded whole (as it did before), for the size and the time of both. See
// README.md.
//
// Usage: prepared_pdf_bench [--pages N] [--runs R] [--dir DIR] [--keep] [--gs-full]

#include "bench_common.h"

#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/pdf/writer/qdx_pdf_font.h"
#include "reportlib/render/page_services.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

extern char** environ;

using namespace zr::bench;
using namespace zr::reportlib;

namespace {

// ---- Child: one export, timed inside the process.
int exportChild(const char* qp3, const char* pdfPath, bool wholeFonts) {
    pdf::SetFontSubsetting(!wholeFonts);
    TqdxReport report;
    SilentInteraction silent;
    report.UserInteraction = &silent;
    report.EngineOptions.NewSilentMode = simSilent;
    TqdxPreviewPages& pages = report.PreviewPages();
    try {
        pages.LoadFromFile(QString::fromLocal8Bit(qp3), true);
    } catch (const std::exception& e) {
        std::printf("message=%s\n", e.what());
        return 1;
    }
    pdf::TqdxPDFExport filter;
    pdf::ApplyMainWindowDefaults(filter);
    filter.ShowDialog = false;
    filter.ShowProgress = false;
    filter.Report = &report;
    filter.FileName = QString::fromLocal8Bit(pdfPath);
    const long baseline = statusKb("VmRSS");
    resetPeak();
    const Clock::time_point start = Clock::now();
    const bool ok = render::Export(pages, &filter);
    std::printf("export_ms=%.3f\n", msSince(start));
    std::printf("baseline_kb=%ld\npeak_kb=%ld\n", baseline, statusKb("VmHWM"));
    std::printf("pages=%d\n", filter.PagesWritten());
    if (!ok || !filter.Succeeded()) {
        std::printf("message=%s\n", filter.ErrorText.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

// ---- Parent.
Outcome run(const std::vector<std::string>& argv, const std::string& out) {
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        envp.push_back(*e);
    }
    return runMeasured("prepared_pdf_bench", argv, envp, out);
}

double number(const std::map<std::string, std::string>& kv, const char* key) {
    const auto it = kv.find(key);
    return it == kv.end() ? 0 : std::atof(it->second.c_str());
}

struct Series {
    std::vector<double> wall, cpu, rssMiB, inner, peakOverBaseMiB;
    void add(const Outcome& o) {
        wall.push_back(o.wallMs);
        cpu.push_back(o.cpuMs);
        rssMiB.push_back(double(o.maxRssKb) / 1024);
    }
};

struct Options {
    int pages = 10000;
    int runs = 1;
    std::string dir;
    bool keep = false;
    bool gsFull = false; // Ghostscript on the large file too (it needs the best part of an hour)
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--pages" && i + 1 < argc) {
            o.pages = std::atoi(argv[++i]);
        } else if (a == "--runs" && i + 1 < argc) {
            o.runs = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--gs-full") {
            o.gsFull = true;
        } else {
            return std::nullopt;
        }
    }
    if (o.pages < 1 || o.runs < 1) {
        return std::nullopt;
    }
    return o;
}

bool exportRun(const std::string& self, const std::string& qp3, const std::string& pdf,
               const std::string& out, Series& into, bool wholeFonts = false) {
    const Outcome o = run({self, wholeFonts ? "--child-whole-fonts" : "--child", qp3, pdf}, out);
    const auto kv = readKeyValues(out);
    if (!o.ok || !kv.count("export_ms")) {
        std::fprintf(stderr, "prepared_pdf_bench: export failed%s%s\n",
                     kv.count("message") ? ": " : "",
                     kv.count("message") ? kv.at("message").c_str() : "");
        return false;
    }
    into.add(o);
    into.inner.push_back(number(kv, "export_ms"));
    into.peakOverBaseMiB.push_back((number(kv, "peak_kb") - number(kv, "baseline_kb")) / 1024);
    return true;
}

int benchmark(const Options& o) {
    bool madeDir = false;
    const std::string dir = workDir("prepared_pdf_bench", o.dir, madeDir);
    const std::string self = selfPath("prepared_pdf_bench");
    if (dir.empty() || self.empty()) {
        return 1;
    }
    const int smallPages = std::min(1000, o.pages);
    const std::string large = dir + "/large.qp3";
    const std::string small = dir + "/small.qp3";
    const std::string ours = dir + "/ours.pdf";
    const std::string oursSmall = dir + "/ours-small.pdf";
    const std::string oursWhole = dir + "/ours-whole-fonts.pdf";
    const std::string gsOut = dir + "/gs.pdf";
    const std::string qpdfOut = dir + "/qpdf.pdf";
    const std::string out = dir + "/child.out";
    const std::vector<std::string> created = {large,     small, ours,    oursSmall,
                                              oursWhole, gsOut, qpdfOut, out};

    std::fprintf(stderr, "prepared_pdf_bench: writing reports in %s\n", dir.c_str());
    // gen_qp3 writes them in processes of their own, so that this one stays small: a spawned
    // child's maximum RSS starts from its parent's.
    for (const auto& [path, count] : {std::pair{large, o.pages}, std::pair{small, smallPages}}) {
        if (!run({ZR_GEN_REPORT, "--pages", std::to_string(count), path}, out).ok) {
            std::fprintf(stderr, "prepared_pdf_bench: gen_qp3 failed\n");
            return 1;
        }
    }
    int views = 0;
    {
        TqdxReport report;
        report.PreviewPages().LoadFromFile(QString::fromStdString(small), true);
        const int sample = std::min(50, report.PreviewPages().Count());
        for (int i = 0; i < sample; ++i) {
            if (TqdxReportPage* page = report.PreviewPages().PageObject(i)) {
                for (TqdxComponent* c : page->AllObjects()) {
                    views += qdx_cast<TqdxView>(c) != nullptr;
                }
            }
        }
        views = sample > 0 ? views / sample : 0;
    }

    Series oursLarge, oursSmallSeries, oursWholeSeries, gs, qpdf;
    bool gsFound = true;
    bool qpdfFound = true;
    for (int r = 0; r < o.runs; ++r) {
        std::fprintf(stderr, "prepared_pdf_bench: run %d of %d\n", r + 1, o.runs);
        if (!exportRun(self, small, oursSmall, out, oursSmallSeries) ||
            !exportRun(self, large, ours, out, oursLarge) ||
            !exportRun(self, large, oursWhole, out, oursWholeSeries, true)) {
            removeWork("prepared_pdf_bench", created, dir, madeDir, o.keep);
            return 1;
        }
        if (gsFound) {
            const Outcome g = run({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
                                   "-sOutputFile=" + gsOut, o.gsFull ? ours : oursSmall},
                                  out);
            gsFound = g.ok;
            if (g.ok) {
                gs.add(g);
            }
        }
        if (qpdfFound) {
            const Outcome q = run({"qpdf", ours, qpdfOut}, out);
            qpdfFound = q.ok;
            if (q.ok) {
                qpdf.add(q);
            }
        }
    }

    std::printf("Prepared report: %d pages, about %d views a page; our PDF %.1f MiB; "
                "%d run(s), medians.\n\n",
                o.pages, views, double(fileSize(ours)) / kMiB, o.runs);
    std::printf("  %-44s %10s %10s %12s\n", "", "wall ms", "cpu ms", "max RSS MiB");
    auto line = [](const char* what, const Series& s) {
        std::printf("  %-44s %10.0f %10.0f %12.1f\n", what, median(s.wall), median(s.cpu),
                    median(s.rssMiB));
    };
    char label[96];
    std::snprintf(label, sizeof label, "ours: export, %d pages (whole process)", o.pages);
    line(label, oursLarge);
    std::snprintf(label, sizeof label, "ours: export, %d pages, fonts whole", o.pages);
    line(label, oursWholeSeries);
    std::snprintf(label, sizeof label, "ours: export, %d pages (whole process)", smallPages);
    line(label, oursSmallSeries);
    if (gsFound) {
        std::snprintf(label, sizeof label, "gs -sDEVICE=pdfwrite re-writing our %d pages",
                      o.gsFull ? o.pages : smallPages);
        line(label, gs);
    } else {
        std::printf("  gs: not run (missing or failed)\n");
    }
    if (qpdfFound) {
        line("qpdf re-writing our file", qpdf);
    } else {
        std::printf("  qpdf: not run (missing or failed)\n");
    }

    const double inner = median(oursLarge.inner);
    std::printf("\n  ours, Export() alone: %.0f ms for %d pages (%.2f ms a page); "
                "%d pages: %.0f ms\n",
                inner, o.pages, inner / o.pages, smallPages, median(oursSmallSeries.inner));
    std::printf("  fonts subset: %.1f KiB in %.0f ms; fonts whole: %.1f KiB in %.0f ms "
                "(%d pages, Export() alone; size %.1f %% of whole)\n",
                double(fileSize(ours)) / 1024, inner, double(fileSize(oursWhole)) / 1024,
                median(oursWholeSeries.inner), o.pages,
                100.0 * double(fileSize(ours)) /
                    double(std::max<long long>(1, fileSize(oursWhole))));
    std::printf("  peak memory of the export over the loaded report: %.1f MiB (%d pages), "
                "%.1f MiB (%d pages)\n",
                median(oursSmallSeries.peakOverBaseMiB), smallPages,
                median(oursLarge.peakOverBaseMiB), o.pages);
    if (gsFound) {
        const double factor =
            median(gs.wall) / median(o.gsFull ? oursLarge.wall : oursSmallSeries.wall);
        std::printf("  Ghostscript / ours (wall): %.1f  (goal: at least 5): %s\n", factor,
                    factor >= 5 ? "met" : "NOT met");
    }
    if (qpdfFound) {
        const double factor = median(oursLarge.wall) / median(qpdf.wall);
        std::printf("  ours / qpdf (wall): %.2f  (goal: at most 2): %s\n", factor,
                    factor <= 2 ? "met" : "NOT met");
    }
    removeWork("prepared_pdf_bench", created, dir, madeDir, o.keep);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 4 && !std::strcmp(argv[1], "--child")) {
        return exportChild(argv[2], argv[3], false);
    }
    if (argc == 4 && !std::strcmp(argv[1], "--child-whole-fonts")) {
        return exportChild(argv[2], argv[3], true);
    }
    const std::optional<Options> o = parse(argc, argv);
    if (!o) {
        std::fputs(
            "usage: prepared_pdf_bench [--pages N] [--runs R] [--dir DIR] [--keep] [--gs-full]\n"
            "Exports a generated prepared report of N pages (default 10000) and one of\n"
            "1000 pages to PDF, then re-writes our 1000-page file with Ghostscript (the\n"
            "N-page one with --gs-full, which takes the best part of an hour) and our\n"
            "N-page file with qpdf; R runs (default 1), medians of wall and CPU time and\n"
            "maximum RSS.\n",
            stderr);
        return 2;
    }
    return benchmark(*o);
}
