#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

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
