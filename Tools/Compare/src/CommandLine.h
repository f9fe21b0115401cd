#pragma once

#include "DifferenceClass.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Orvid::Compare {

/// What the command was asked to do.
struct CompareOptions {
    std::filesystem::path reference;
    std::filesystem::path test;
    /// Absent: the coarser coordinate scale factor of the two inputs.
    std::optional<double> epsilon;
    std::uint16_t rgbEpsilon = 0;
    bool pointAttributes = true;
    bool extraAttributes = true;
    /// Test points per block; absent: derived from `memory`.
    std::optional<std::size_t> capacity;
    /// Memory budget of a block of test points, in bytes.
    std::uint64_t memory = 512ULL << 20;
    /// Threads that decode the chunks of each LAZ input ahead of the comparison; 1 decodes on the
    /// comparison's own thread.
    std::size_t threads = 1;
    std::optional<std::filesystem::path> outDirectory;
    std::optional<std::filesystem::path> jsonFile;
    /// Where to write the HTML report, if anywhere.
    std::optional<std::filesystem::path> htmlFile;
    /// The classes of difference that make the exit status 1.
    DifferenceClasses failOn = DifferenceClasses::all();
    bool quiet = false;
    /// Absent: a progress bar when standard error is a terminal.
    std::optional<bool> progress;
    /// Run the built-in demo, in this folder (or a temporary one when empty).
    bool demo = false;
    std::filesystem::path demoDirectory;
};

/// The command line could not be parsed, or asked only for help; the command exits with `status`.
struct EarlyExit {
    int status = 0;
};

/// Parses the arguments. Help and usage errors are printed here (to standard output and standard
/// error respectively); the result then says how to exit.
std::variant<CompareOptions, EarlyExit> parseCommandLine(int argc, const char* const* argv);

} // namespace Orvid::Compare
