#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Testing::Compare {

/// The whole contents of `file`; empty when it cannot be read.
std::string bytesOf(const std::filesystem::path& file);

/// Where the JSON report of a merge differs from that of a single run, one path each: numbers with a
/// fraction may differ in their last bits (their sums were added in another order), and the windows and
/// the plan, which describe how the run was cut, are left out.
std::vector<std::string> reportDifferences(const nlohmann::json& single, const nlohmann::json& merged);

/// The LAS files under `single` that are missing under `merged` or differ from it in a byte; `count`
/// receives the files compared.
std::vector<std::string> classFileDifferences(const std::filesystem::path& single,
                                              const std::filesystem::path& merged, std::size_t& count);

} // namespace Orvid::Testing::Compare
