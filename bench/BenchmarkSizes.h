#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

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
