#pragma once

#include "Gather/DifferenceClass.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace Orvid::Compare {

/// What the command was asked to do.
struct CompareOptions {
    std::filesystem::path reference;
    std::filesystem::path test;
    /// Absent: the coarser coordinate scale factor of the two inputs; 0 compares positions exactly.
    std::optional<double> epsilon;
    /// Epsilons across x and y and along z; absent: `epsilon`.
    std::optional<double> epsilonXY;
    std::optional<double> epsilonZ;
    /// --tolerance NAME=VALUE, in the order given (a later one for the same name wins). Names of point
    /// attributes and `gpsTime` are checked here, those of extra attributes against the inputs.
    std::vector<std::pair<std::string, double>> tolerances;
    /// --ignore names, in the order given.
    std::vector<std::string> ignored;
    /// Seconds added to the test GPS times before pairing.
    double timeOffset = 0.0;
    std::uint16_t rgbEpsilon = 0;
    bool pointAttributes = true;
    bool extraAttributes = true;
    /// Memory budget of the whole comparison, in bytes; absent: a quarter of physical memory.
    std::optional<std::uint64_t> memory;
    /// Threads of the comparison; absent: one per core.
    std::optional<unsigned> threads;
    /// Add the scanner channel to the pairing key (multi-channel scanners).
    bool pairByChannel = false;
    std::optional<std::filesystem::path> outDirectory;
    /// Write into an --out folder that holds files of others (only an earlier run's are replaced).
    bool overwrite = false;
    /// Turn every warning about an input into an error (exit status 2).
    bool strict = false;
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

/// Whether `name` is a point attribute as the reports name it ("intensity", ..., "color") or "gpsTime".
bool isStandardAttributeName(const std::string& name);

/// Parses the arguments. Help and usage errors are printed here (to standard output and standard
/// error respectively); the result then says how to exit.
std::variant<CompareOptions, EarlyExit> parseCommandLine(int argc, const char* const* argv);

} // namespace Orvid::Compare
