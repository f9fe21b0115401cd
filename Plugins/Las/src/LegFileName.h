#pragma once

#include <FileIoInterface/Las/LasWriterOptions.h>
#include <FileIoInterface/LegInformation.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace Orvid::FileIoInterface::Las {

/// Whether `name` ends with `extension` (".las", ".laz"), in any case.
inline bool hasExtension(const std::string& name, const std::string& extension) {
    return name.size() > extension.size() &&
           std::equal(extension.rbegin(), extension.rend(), name.rbegin(), [](char wanted, char actual) {
               return wanted == std::tolower(static_cast<unsigned char>(actual));
           });
}

/// How a writer with `options` stores the file of `leg`: LAZ when the options ask for it or the leg's
/// name ends in ".laz", as a file name given for it would.
inline LasCompression compressionFor(const LasWriterOptions& options, const LegInformation& leg) {
    return options.compression == LasCompression::Laz || hasExtension(leg.name, ".laz") ? LasCompression::Laz
                                                                                       : LasCompression::Las;
}

} // namespace Orvid::FileIoInterface::Las
