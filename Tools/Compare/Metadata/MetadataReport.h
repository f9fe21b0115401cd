#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Orvid::Compare::Metadata {

/// What a metadata difference is about.
enum class MetadataKind : std::uint8_t { crs, header, vlr, extraBytes };

/// "crs", "header", "vlr" or "extraBytes".
std::string_view nameOf(MetadataKind kind);

/// One field whose value differs between the inputs, each value as text ("absent" where one side lacks
/// it).
struct MetadataDifference {
    std::string field;
    MetadataKind kind = MetadataKind::header;
    std::string reference;
    std::string test;
};

/// "NAD83 / UTM zone 15N (EPSG:26915)", or the name alone without a code.
inline std::string describeSystem(const std::string& name, std::optional<int> epsg) {
    return epsg ? name + " (EPSG:" + std::to_string(*epsg) + ")" : name;
}

/// One coordinate system that files of an input declare.
struct InputCoordinateSystem {
    std::string name;
    std::optional<int> epsg;
    /// The record it was read from, as `CoordinateSystem::source` gives it.
    std::string source;
    /// How many of the input's files declare it.
    std::uint64_t files = 0;

    std::string describe() const { return describeSystem(name, epsg); }
};

/// What an input's headers and records say, over all its files.
struct InputMetadata {
    /// The distinct coordinate systems of its files, in the order first met.
    std::vector<InputCoordinateSystem> coordinateSystems;
    /// Its files that declare no coordinate system.
    std::uint64_t filesWithoutCoordinateSystem = 0;
    /// Each header field by name with its value over the input's files: the one value they share, the
    /// distinct values in file order, or for counts and bounds their total.
    std::vector<std::pair<std::string, std::string>> fields;
};

/// Which metadata differences make the exit status 1: none, a coordinate system that changed, was added
/// or was lost, or any difference.
enum class MetadataFailOn : std::uint8_t { none, crs, all };

/// The metadata comparison of two inputs.
struct MetadataReport {
    std::vector<MetadataDifference> differences;
    /// Reference then test.
    std::array<InputMetadata, 2> inputs;

    bool has(MetadataKind kind) const;
    /// Whether a difference that `failOn` names was found.
    bool fails(MetadataFailOn failOn) const {
        return failOn == MetadataFailOn::all ? !differences.empty()
                                             : failOn == MetadataFailOn::crs && has(MetadataKind::crs);
    }
};

} // namespace Orvid::Compare::Metadata
