// gen_qp3: writes a prepared report (.QP3) built through the prepared-pages store the way the
// report engine fills it, for tests, samples and load measurements.
//
//   gen_qp3 [--pages N] [--seed S] [--section-pages K] [--picture-every P] [--complete-page]
//           FILE
//
// See qp3_generator.h for what the report holds. The same options always give the same bytes.

#include "qp3_generator.h"

#include <QString>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

void usage(std::FILE* to) {
    std::fputs("usage: gen_qp3 [--pages N] [--seed S] [--section-pages K] [--picture-every P]\n"
               "               [--complete-page] FILE\n"
               "Writes a prepared report of N pages (default 10000) to FILE. Every K pages\n"
               "(default 25) make one logical report ending in a summary page; every P-th page\n"
               "(default 7, 0 for none) has a picture of its own. --complete-page stores the\n"
               "last page complete, as the preview's editing leaves it.\n",
               to);
}

template <class T> bool parseNumber(const char* text, T& out) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, out);
    return ec == std::errc() && ptr == end && end != text;
}

} // namespace

int main(int argc, char** argv) {
    zr::tools::Qp3GeneratorOptions o;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&](auto& out) {
            if (i + 1 >= argc || !parseNumber(argv[i + 1], out)) {
                std::fprintf(stderr, "gen_qp3: %s needs a number\n", argv[i]);
                return false;
            }
            ++i;
            return true;
        };
        bool ok = true;
        if (a == "--pages") {
            ok = value(o.pages);
        } else if (a == "--seed") {
            ok = value(o.seed);
        } else if (a == "--section-pages") {
            ok = value(o.sectionPages);
        } else if (a == "--picture-every") {
            ok = value(o.pictureEvery);
        } else if (a == "--complete-page") {
            o.completeLastPage = true;
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "gen_qp3: unknown option %s\n", argv[i]);
            ok = false;
        } else if (!output) {
            output = argv[i];
        } else {
            std::fprintf(stderr, "gen_qp3: more than one output file\n");
            ok = false;
        }
        if (!ok) {
            usage(stderr);
            return 2;
        }
    }
    if (!output || o.pages < 1 || o.sectionPages < 1 || o.pictureEvery < 0) {
        std::fprintf(stderr, "gen_qp3: an output file is needed; --pages and --section-pages "
                             "must be at least 1, --picture-every at least 0\n");
        usage(stderr);
        return 2;
    }
    QString error;
    if (!zr::tools::WritePreparedReport(QString::fromLocal8Bit(output), o, &error)) {
        std::fprintf(stderr, "gen_qp3: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
