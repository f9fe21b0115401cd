#pragma once

#include "Command/ParseCommand.h"
#include "Gather/ComparisonSettings.h"

#include <filesystem>
#include <optional>
#include <variant>

namespace Orvid::Compare {

/// What the command was asked to do: a comparison of two inputs, or the demo, and where to write it.
struct CompareOptions {
    std::filesystem::path reference;
    std::filesystem::path test;
    ComparisonSettings settings;
    std::optional<std::filesystem::path> outDirectory;
    /// Write into an --out folder that holds files of others (only an earlier run's are replaced).
    bool overwrite = false;
    std::optional<std::filesystem::path> jsonFile;
    /// Where to write the HTML report, if anywhere.
    std::optional<std::filesystem::path> htmlFile;
    bool quiet = false;
    /// Absent: a progress bar when standard error is a terminal.
    std::optional<bool> progress;
    /// Run the built-in demo, in this folder (or a temporary one when empty).
    bool demo = false;
    std::filesystem::path demoDirectory;
};

/// Parses the arguments. Help and usage errors are printed here (to standard output and standard
/// error respectively); the result then says how to exit.
std::variant<CompareOptions, EarlyExit> parseCommandLine(int argc, const char* const* argv);

} // namespace Orvid::Compare
