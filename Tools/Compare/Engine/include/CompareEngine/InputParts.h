#pragma once

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/RunKeys.h>

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
    /// Per leg, what the keys of its records tell, in parts that follow each other in reading order (one
    /// per partition that wrote runs, say); when given, the comparison takes it for a scan of the
    /// records' keys. Empty, the keys are read.
    std::vector<std::vector<RunKeys>> runKeys;
    /// The facts of the whole input (duplicates aside), which the comparison reports as its own.
    InputFacts whole;
};

} // namespace Orvid::Compare::Engine
