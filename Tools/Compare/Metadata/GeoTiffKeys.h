#pragma once

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

// A LAS file's GeoTIFF keys, read defensively: every offset and count is checked against the records'
// sizes, so that a malformed directory is described rather than read past its end.

struct GeoKeyEntry {
    std::uint16_t location = 0;
    std::uint16_t count = 0;
    std::uint16_t value = 0;
};

/// A key directory's entries by key id (the first of a repeated key), or why it cannot be read.
struct GeoKeyDirectory {
    std::map<std::uint16_t, GeoKeyEntry> entries;
    std::string malformation;
};

/// The EPSG codes of a system that GeoTIFF keys give: horizontal (projected, else geographic) and
/// vertical; why they give none that PROJ could build from instead.
struct GeoKeyCodes {
    int horizontal = 0;
    std::optional<int> vertical;
    std::string unusable;
};

/// `record`'s payload; empty when there is no record.
const std::vector<std::uint8_t>&
payloadOf(const std::optional<FileIoInterface::Las::LasLocatedRecord>& record);

GeoKeyDirectory readKeyDirectory(const FileIoInterface::Las::LasCoordinateSystemRecords& records);

/// The name the keys' citation gives the system (the GeoTIFF citation, else the projected system's);
/// empty when they give none. `directory` is `records`' own, read without malformation.
std::string citationOf(const GeoKeyDirectory& directory,
                       const FileIoInterface::Las::LasCoordinateSystemRecords& records);

GeoKeyCodes codesOf(const GeoKeyDirectory& directory);

/// "EPSG:h", or "EPSG:h + EPSG:v" with a vertical system.
std::string epsgNames(const GeoKeyCodes& codes);

} // namespace Orvid::Compare::Metadata
