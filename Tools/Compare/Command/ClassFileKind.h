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
    /// What of the input's own kind the class files cannot keep (its version or format, its coordinate
    /// system), one line each.
    std::vector<std::string> warnings;
};

/// The kind of class files for the input `role` ("reference" or "test") whose legs have `headers`
/// (at least one).
ClassFileKind classFileKindOf(const std::string& role,
                              const std::vector<FileIoInterface::Las::LasHeader>& headers);

/// Makes `kinds` write LAS or LAZ class files, as `format` says or, absent, LAZ when `everyInputLaz`;
/// their LAZ chunks are compressed on `threads` threads that all the class files share (on the writing
/// thread when 1).
void chooseClassFileFormat(std::optional<ClassFileFormat> format, bool everyInputLaz, std::size_t threads,
                           const std::array<ClassFileKind*, 2>& kinds);

} // namespace Orvid::Compare
