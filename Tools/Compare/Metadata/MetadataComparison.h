#pragma once

#include "Metadata/MetadataReport.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

/// One input as its headers give it: its files, one header each, in leg order.
struct InputHeaders {
    /// "reference" or "test".
    const char* role;
    /// As given on the command line.
    std::filesystem::path path;
    const std::vector<std::filesystem::path>& files;
    const std::vector<FileIoInterface::Las::LasHeader>& headers;
    /// Given as a folder: its files are then also compared one by one with those of the same name.
    bool folder = false;
};

/// The metadata comparison of two inputs and what it found doubtful in each.
struct MetadataComparison {
    MetadataReport report;
    /// Warnings about the inputs, each naming the input or file it is about.
    std::vector<std::string> warnings;
};

/// Compares the headers, the variable-length and extended records and the coordinate systems of two
/// inputs, from their headers alone, leaving out the fields named in `ignored` (field names, or a kind:
/// "crs", "vlr", "extraBytes"). An input's value of a field is its value over all its files (see
/// `Aggregation`); files of one input that disagree on a field that should be one for a delivery are a
/// warning. When both inputs are folders, files of the same name are also compared pair by pair on the
/// fields their inputs agree on, as "NAME: field".
MetadataComparison compareMetadata(const InputHeaders& reference, const InputHeaders& test,
                                   const std::vector<std::string>& ignored);

/// The names that `ignored` may hold.
std::vector<std::string> ignorableMetadataNames();

} // namespace Orvid::Compare::Metadata
