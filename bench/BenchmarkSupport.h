#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

/// The point counts that the environment variable `variable` lists, comma-separated, each with an
/// optional K or M (thousands, millions); `fallback` when it is not set.
inline std::vector<std::int64_t> benchmarkSizes(const char* variable, const char* fallback) {
    const char* text = std::getenv(variable);
    std::istringstream list(text != nullptr ? text : fallback);
    std::vector<std::int64_t> values;
    std::string item;
    while (std::getline(list, item, ',')) {
        if (item.empty()) {
            continue;
        }
        std::int64_t scale = 1;
        if (item.back() == 'M' || item.back() == 'm') {
            scale = 1000000;
            item.pop_back();
        } else if (item.back() == 'K' || item.back() == 'k') {
            scale = 1000;
            item.pop_back();
        }
        values.push_back(std::stoll(item) * scale);
    }
    return values;
}

/// The middle value of `values` (the upper one of an even count).
inline double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Reports `points` per iteration, over `seconds` in all, as the items processed and as "Mpoints/s",
/// and the rate's ratio to `baseline` as the counter `ratio` when the baseline is known (above 0);
/// returns the rate, in points per second.
inline double reportPointRate(benchmark::State& state, double seconds, std::uint64_t points, double baseline,
                              const char* ratio) {
    const double all = static_cast<double>(state.iterations()) * static_cast<double>(points);
    state.SetItemsProcessed(static_cast<std::int64_t>(all));
    const double rate = seconds > 0.0 ? all / seconds : 0.0;
    state.counters["Mpoints/s"] = rate / 1e6;
    if (baseline > 0.0) {
        state.counters[ratio] = rate / baseline;
    }
    return rate;
}

/// Runs `write` in a child process, so that the memory it takes never shows in this process.
template <typename Write>
void inChildProcess(const std::filesystem::path& folder, Write&& write) {
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            write();
            std::_Exit(0);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "cannot write the benchmark files: %s\n", error.what());
            std::_Exit(1);
        }
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "cannot write the benchmark files into %s\n", folder.c_str());
        std::exit(1);
    }
}

/// The folder that the environment variable `variable` names, else `name` in the temporary folder:
/// where a benchmark keeps the files it generates for later runs.
inline std::filesystem::path benchmarkDataFolder(const char* variable, const char* name) {
    const char* folder = std::getenv(variable);
    return folder != nullptr ? std::filesystem::path(folder) : std::filesystem::temp_directory_path() / name;
}

/// Writes the pair `files` (reference, test) in `folder` unless an earlier run left it: `write` writes
/// both, under the same names, into the empty folder it is given; they are renamed into place when
/// complete, the test first, so that a reference present means both are.
template <typename Write>
void writePairOnce(const std::filesystem::path& folder, const std::array<std::filesystem::path, 2>& files,
                   Write write) {
    namespace fs = std::filesystem;
    if (fs::exists(files[0]) && fs::exists(files[1])) {
        return;
    }
    inChildProcess(folder, [&] {
        const fs::path partial = folder / "partial";
        fs::remove_all(partial);
        fs::create_directories(partial);
        write(partial);
        fs::rename(partial / files[1].filename(), files[1]);
        fs::rename(partial / files[0].filename(), files[0]);
        fs::remove_all(partial);
    });
}

/// What a process took: wall-clock seconds, and CPU seconds (user + system) of it and its threads.
struct ProcessSeconds {
    double wall = 0.0;
    double cpu = 0.0;
};

/// Runs `program` with `arguments` in a process of its own. Exits when it fails (status 2 or a
/// signal): statuses 0 and 1 say same and different.
inline ProcessSeconds runProcess(const char* program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(program, argv.data());
        std::_Exit(2);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1) {
        std::fprintf(stderr, "%s %s ... failed\n", program,
                     arguments.empty() ? "" : arguments.front().c_str());
        std::exit(1);
    }
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return {secondsSince(start), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}
