#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Testing::Compare {

/// What a run of the command gave.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string contentsOf(const std::filesystem::path& file);

/// Runs orvid-compare as a process through the shell, its standard output and error captured in files
/// of `folder`; `prefix` is put before the command (a `ulimit`, say). Reports a sanitizer's findings as
/// test failures, since a sanitizer exits with 1 too.
Outcome run(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
            const std::string& prefix = "");

} // namespace Orvid::Testing::Compare
