#pragma once

#include <CompareEngine/InputFacts.h>

#include <FileIoInterface/Las/RawRecordRun.h>

#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// An input of which only some records are compared, held as raw record runs outside its files, and
/// what is known of the whole of it.
struct InputParts {
    /// Its legs, in leg order: their headers describe the records.
    std::vector<std::filesystem::path> legs;
    /// Per leg, the runs that hold its records, in reading order.
    std::vector<std::vector<FileIoInterface::Las::RawRecordRun>> runs;
    /// The facts of the whole input (duplicates aside), which the comparison reports as its own.
    InputFacts whole;
};

} // namespace Orvid::Compare::Engine
