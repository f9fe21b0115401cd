#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

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

/// Starts orvid-compare with `arguments` as a process of its own, sharing this one's standard output and
/// error, and returns its process id (wait for it with `waitpid`); -1 when it cannot be started.
pid_t start(std::vector<std::string> arguments);

/// Waits for the process `pid` and returns its exit status, or -1 when it did not exit (a signal).
int exitStatusOf(pid_t pid);

} // namespace Orvid::Testing::Compare
