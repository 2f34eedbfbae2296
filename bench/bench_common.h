#pragma once

// What the benchmarks share: clocks, medians, file sizes, an interaction that shows nothing,
// and the options every benchmark over a generated report takes.

#include "platform/interaction/interaction.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace zr::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this process so far, all threads.
inline double cpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

inline double median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline long long fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

inline constexpr double kMiB = 1024.0 * 1024.0;

// Shows nothing; counts the messages and keeps the last one.
class SilentInteraction final : public zr::Interaction {
public:
    void message(zr::MessageKind, const QString& text, const QString&) override {
        ++messages;
        lastMessage = text;
    }
    bool confirm(const QString&, const QString&) override { return false; }
    std::unique_ptr<zr::Progress> beginProgress(const zr::ProgressInfo&) override {
        return std::make_unique<zr::SilentProgress>();
    }

    int messages = 0;
    QString lastMessage;
};

// The generated report and how often to measure it.
struct CommonOptions {
    std::string pages = "9999";
    std::string itemsPerPage = "100";
    std::string seed = "1";
    int runs = 3;
    std::string dir;
    bool keep = false;
    std::string gen = ZR_GEN_REPORT;
};

// Takes argv[i] (and its value, advancing i) when it is one of the common options.
inline bool parseCommonOption(CommonOptions& o, int& i, int argc, char** argv) {
    const std::string_view a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--keep") {
        o.keep = true;
    } else if (hasValue && a == "--pages") {
        o.pages = argv[++i];
    } else if (hasValue && a == "--items-per-page") {
        o.itemsPerPage = argv[++i];
    } else if (hasValue && a == "--seed") {
        o.seed = argv[++i];
    } else if (hasValue && a == "--runs") {
        o.runs = std::atoi(argv[++i]);
    } else if (hasValue && a == "--dir") {
        o.dir = argv[++i];
    } else if (hasValue && a == "--gen") {
        o.gen = argv[++i];
    } else {
        return false;
    }
    return true;
}

} // namespace zr::bench
