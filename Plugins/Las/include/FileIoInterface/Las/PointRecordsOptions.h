#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace Orvid::FileIoInterface::Las {

class LazChunkCache;

/// How the records of a LAZ file are read.
enum class LazAccess {
    /// Decoded whole when opened, for visits in any order at the speed of a stored file.
    decodedWhole,
    /// Chunk by chunk when read, each chunk a block decoded anew on every read of it: for programs
    /// that read only some chunks, or the first records of many (`PointRecords::blockHead`).
    chunkByChunk
};

/// How `PointRecords` opens a file.
struct PointRecordsOptions {
    LazAccess lazAccess = LazAccess::decodedWhole;
    /// Threads that decode the chunks of a LAZ file read whole, besides the opening thread, which keeps the
    /// decoded records; 0 means one per CPU this process may run on (`Utils::usableCpuCount`), 1 that
    /// the opening thread decodes them itself and no thread is started.
    unsigned decodingThreads = 0;
    /// Keep the decoded records of a LAZ file read whole in memory (an anonymous file) rather than in
    /// the system's temporary folder: for callers that keep a memory budget of their own and counted
    /// the records' uncompressed size in it.
    bool decodeIntoMemory = false;
    /// Called on the opening thread after each decoded chunk of a LAZ file, with its number of points,
    /// so that a long decoding can show progress; what it throws stops the opening.
    std::function<void(std::uint64_t points)> decoded;
    /// Decoded chunks of LAZ files read chunk by chunk, kept for the next reads of them and shared by
    /// the files opened with the same cache; null: every read of a chunk decodes it.
    std::shared_ptr<LazChunkCache> chunkCache;
};

} // namespace Orvid::FileIoInterface::Las
