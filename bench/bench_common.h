#pragma once

// What the benchmarks share: clocks, medians, file sizes, peak memory, an interaction that
// shows nothing, the options every benchmark over a generated report takes, and the runner of
// measured child processes with the key=value lines they print.

#include "platform/interaction/interaction.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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

// A "Vm..." line of /proc/self/status in kB, -1 when missing.
inline long statusKb(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) {
        return -1;
    }
    char line[256];
    long value = -1;
    const std::size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
            value = std::strtol(line + keyLength + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

// Starts a new peak: writing 5 to clear_refs resets VmHWM to the current resident size.
inline bool resetPeak() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return ok;
}

// The folder a benchmark writes its reports to: `given`, created when missing, or else a new
// folder "<who>-XXXXXX" under $TMPDIR (then `made` is set and the caller removes it at the
// end). Empty, with a message, when no folder could be made.
inline std::string workDir(const char* who, const std::string& given, bool& made) {
    made = false;
    if (!given.empty()) {
        ::mkdir(given.c_str(), 0755);
        return given;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + who + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "%s: mkdtemp: %s\n", who, std::strerror(errno));
        return {};
    }
    made = true;
    return pattern;
}

// This program's own path, to start itself as a measured child. Empty, with a message, when
// it cannot be read.
inline std::string selfPath(const char* who) {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::fprintf(stderr, "%s: /proc/self/exe: %s\n", who, std::strerror(errno));
        return {};
    }
    return std::string(self, std::size_t(length));
}

// Removes what a benchmark wrote (and the folder workDir made), unless asked to keep it.
inline void removeWork(const char* who, const std::vector<std::string>& created,
                       const std::string& dir, bool madeDir, bool keep) {
    if (keep) {
        std::fprintf(stderr, "%s: files kept in %s\n", who, dir.c_str());
        return;
    }
    for (const std::string& f : created) {
        ::unlink(f.c_str());
    }
    if (madeDir) {
        ::rmdir(dir.c_str());
    }
}

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

// How one measured child process went.
struct Outcome {
    bool ok = false;
    double wallMs = 0;
    double cpuMs = 0;
    long maxRssKb = 0;
};

// Runs argv (searched in PATH) with the environment `envp` (null-terminated) and standard
// output sent to `out`, waits for it and measures it. `who` names the benchmark in messages.
inline Outcome runMeasured(const char* who, std::vector<std::string> argv, std::vector<char*> envp,
                           const std::string& out) {
    envp.push_back(nullptr);
    std::vector<char*> argp;
    for (std::string& a : argv) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Outcome o;
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        std::fprintf(stderr, "%s: cannot run %s: %s\n", who, argp[0], std::strerror(err));
        return o;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    o.wallMs = msSince(start);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    o.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    o.maxRssKb = usage.ru_maxrss;
    o.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!o.ok) {
        std::fprintf(stderr, "%s: %s failed\n", who, argp[0]);
    }
    return o;
}

// This process's environment, for a child that runs as this one does.
inline std::vector<char*> inheritedEnvironment() {
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        env.push_back(*e);
    }
    return env;
}

// The "key=value" lines a measured child printed.
inline std::map<std::string, std::string> readKeyValues(const std::string& path) {
    std::map<std::string, std::string> out;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) {
        return out;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
            s.pop_back();
        }
        const auto eq = s.find('=');
        if (eq != std::string::npos) {
            out[s.substr(0, eq)] = s.substr(eq + 1);
        }
    }
    std::fclose(f);
    return out;
}

} // namespace zr::bench
