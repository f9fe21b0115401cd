#include "ReportComparison.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace Orvid::Testing::Compare {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

void differences(const json& single, const json& merged, const std::string& path,
                 std::vector<std::string>& found) {
    if (path == "/parameters/windows" || path == "/parameters/plan") {
        return;
    }
    if (single.is_object() && merged.is_object()) {
        std::set<std::string> keys;
        for (const auto& [key, value] : single.items()) {
            keys.insert(key);
        }
        for (const auto& [key, value] : merged.items()) {
            keys.insert(key);
        }
        for (const std::string& key : keys) {
            std::string at = path;
            at += '/';
            at += key;
            if (!single.contains(key) || !merged.contains(key)) {
                if (at != "/parameters/plan") {
                    found.push_back(at + " (only in one)");
                }
                continue;
            }
            differences(single[key], merged[key], at, found);
        }
    } else if (single.is_array() && merged.is_array() && single.size() == merged.size()) {
        for (std::size_t index = 0; index < single.size(); ++index) {
            differences(single[index], merged[index], path + "/" + std::to_string(index), found);
        }
    } else if (single.is_number_float() && merged.is_number_float()) {
        const double a = single.get<double>();
        const double b = merged.get<double>();
        if (std::fabs(a - b) > 1e-12 * std::max(std::fabs(a), std::fabs(b))) {
            found.push_back(path + ": " + single.dump() + " != " + merged.dump());
        }
    } else if (single != merged) {
        found.push_back(path + ": " + single.dump() + " != " + merged.dump());
    }
}

} // namespace

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> reportDifferences(const json& single, const json& merged) {
    std::vector<std::string> found;
    differences(single, merged, "", found);
    return found;
}

std::vector<std::string> classFileDifferences(const fs::path& single, const fs::path& merged,
                                              std::size_t& count) {
    std::vector<std::string> found;
    count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(single)) {
        if (entry.path().extension() != ".las") {
            continue;
        }
        ++count;
        const fs::path relative = fs::relative(entry.path(), single);
        if (!fs::exists(merged / relative) || bytesOf(entry.path()) != bytesOf(merged / relative)) {
            found.push_back(relative.string());
        }
    }
    return found;
}

} // namespace Orvid::Testing::Compare
