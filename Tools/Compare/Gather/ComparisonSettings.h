#pragma once

#include "Gather/DifferenceClass.h"

#include <Metadata/MetadataReport.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Here, beside the RunParameters of a report (these settings resolved for the inputs), because Gather is
// the lowest layer that both the command line and the shards' plan reach.
namespace Orvid::Compare {

/// How --out writes its class files: uncompressed or compressed.
enum class ClassFileFormat { las, laz };

/// "las" or "laz", as --out-format and the plan name it.
inline const char* nameOf(ClassFileFormat format) {
    return format == ClassFileFormat::laz ? "laz" : "las";
}

/// The format named `name`, if any.
inline std::optional<ClassFileFormat> classFileFormatNamed(const std::string& name) {
    for (const ClassFileFormat format : {ClassFileFormat::las, ClassFileFormat::laz}) {
        if (name == nameOf(format)) {
            return format;
        }
    }
    return std::nullopt;
}

/// How two clouds are compared, as the comparison flags give it: what a single run takes, and what a
/// plan carries to every shard.
struct ComparisonSettings {
    /// Absent: the coarser coordinate scale factor of the two inputs; 0 compares positions exactly.
    std::optional<double> epsilon;
    /// Epsilons across x and y and along z; absent: `epsilon`.
    std::optional<double> epsilonXY;
    std::optional<double> epsilonZ;
    /// --tolerance NAME=VALUE, in the order given (a later one for the same name wins). Names of point
    /// attributes and `gpsTime` are checked when parsed, those of extra attributes against the inputs.
    std::vector<std::pair<std::string, double>> tolerances;
    /// --ignore names, in the order given.
    std::vector<std::string> ignored;
    /// Seconds added to the test GPS times before pairing.
    double timeOffset = 0.0;
    std::uint16_t rgbEpsilon = 0;
    bool pointAttributes = true;
    bool extraAttributes = true;
    /// Turn every warning about an input into an error (exit status 2).
    bool strict = false;
    /// Memory budget of the whole comparison, in bytes; absent: a quarter of physical memory.
    std::optional<std::uint64_t> memory;
    /// The most threads the run starts; absent: one per CPU this process may run on.
    std::optional<unsigned> threads;
    /// Add the scanner channel to the pairing key (multi-channel scanners).
    bool pairByChannel = false;
    /// The classes of difference that make the exit status 1.
    DifferenceClasses failOn = DifferenceClasses::all();
    /// The metadata differences that make the exit status 1.
    Metadata::MetadataFailOn metadataFailOn = Metadata::MetadataFailOn::crs;
    /// --ignore-metadata names: metadata fields, or kinds, left out of the comparison.
    std::vector<std::string> ignoredMetadata;
    /// The class files' format; absent: LAZ when every input file is LAZ, else LAS.
    std::optional<ClassFileFormat> outFormat;
};

/// What makes the exit status 1, by name as reports and plans list it: the classes in report order, then
/// "crs" or "metadata".
std::vector<std::string> failOnNames(const DifferenceClasses& classes, Metadata::MetadataFailOn metadata);

/// Whether `name` is one that `failOnNames` gives: a class, "crs" or "metadata".
bool isFailOnName(const std::string& name);

/// Reads back what `failOnNames` gives; throws std::invalid_argument naming an unknown name.
void readFailOnNames(const std::vector<std::string>& names, DifferenceClasses& classes,
                     Metadata::MetadataFailOn& metadata);

} // namespace Orvid::Compare
