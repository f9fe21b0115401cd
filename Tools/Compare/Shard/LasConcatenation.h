#pragma once

#include <filesystem>
#include <vector>

namespace Orvid::Compare {

/// Whether the LAS files `parts` can be joined by `concatenateLasFiles`: uncompressed, without
/// extended VLRs or bytes after the records, their headers and VLRs the same but for the point counts
/// and bounds. Files written for one --out folder by shards of one plan are. Throws Core::IOException
/// naming a file that cannot be read.
bool concatenable(const std::vector<std::filesystem::path>& parts);

/// Writes to `target` the LAS file of all the point records of `parts` (which `concatenable` accepts),
/// in order: the first part's header and VLRs with the counts by return added up and the bounds
/// joined, as the plug-in's writer would have written those records in one file. Throws
/// Core::IOException naming the file that cannot be read or written.
void concatenateLasFiles(const std::vector<std::filesystem::path>& parts,
                         const std::filesystem::path& target);

} // namespace Orvid::Compare
