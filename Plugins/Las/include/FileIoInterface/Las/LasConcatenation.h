#pragma once

#include <FileIoInterface/Las/LasExport.h>

#include <filesystem>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Whether the LAS files `parts` (at least one) can be joined by `concatenateLasFiles`: all LAS files
/// without extended VLRs or bytes after the records, or all LAZ files in chunks, their headers and VLRs
/// the same but for the point counts, bounds and chunk sizes. The files that one `LasWriter` configuration
/// writes for one leg name are. Throws Core::IOException, with a message that starts with the path, for a
/// file that cannot be read.
FILEIOINTERFACE_LAS_EXPORT bool canConcatenateLasFiles(const std::vector<std::filesystem::path>& parts);

/// Writes to `target` the LAS file of all the point records of `parts` (which `canConcatenateLasFiles`
/// accepts), in order, copied without decoding: the first part's header and VLRs with the counts by
/// return added up and the bounds joined, as `LasWriter` would have written those records in one file.
/// LAZ parts are joined chunk by chunk under a new chunk table: the chunks keep their points, so when a
/// part but the last ends in a partial chunk the joined file's chunks each state their point count.
/// Throws Core::IOException naming the file that cannot be read, joined or written.
FILEIOINTERFACE_LAS_EXPORT void concatenateLasFiles(const std::vector<std::filesystem::path>& parts,
                                                    const std::filesystem::path& target);

} // namespace Orvid::FileIoInterface::Las
