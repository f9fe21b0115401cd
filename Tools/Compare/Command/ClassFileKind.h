#pragma once

#include "Gather/ComparisonSettings.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasWriterOptions.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// How the class files of one input's points are written, so that they line up with it in a GIS and
/// read as it does: in the input's LAS version and point format when all its legs share them, with the
/// coordinate system, scale and offset of its first leg.
struct ClassFileKind {
    FileIoInterface::Las::LasWriterOptions options;
    /// Says what was converted, when the input's own kind could not be kept; absent otherwise.
    std::optional<std::string> conversion;
};

/// The kind of class files for the input `role` ("reference" or "test") whose legs have `headers`
/// (at least one).
ClassFileKind classFileKindOf(const std::string& role,
                              const std::vector<FileIoInterface::Las::LasHeader>& headers);

/// Makes `kinds` write LAS or LAZ class files, as `format` says or, absent, LAZ when `everyInputLaz`;
/// their LAZ chunks are compressed on `threads` threads.
void chooseClassFileFormat(std::optional<ClassFileFormat> format, bool everyInputLaz, std::size_t threads,
                           const std::array<ClassFileKind*, 2>& kinds);

} // namespace Orvid::Compare
