#pragma once

#include "Shard/PartitionFacts.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare {

/// Writes the folder of one partition under a parts folder, all or none: its runs and facts go into a
/// partial folder beside it, which replaces the partition's folder (an earlier run's) only once complete;
/// a writer destroyed before `commit` removes it.
class PartitionWriter {
public:
    /// Prepares the partial folder of partition `partition` under `parts` (made when missing), with an
    /// empty run for each of `shards` shards. Throws std::runtime_error naming the folder when it cannot
    /// be made.
    PartitionWriter(const std::filesystem::path& parts, std::size_t partition, std::size_t shards);
    ~PartitionWriter();
    PartitionWriter(const PartitionWriter&) = delete;
    PartitionWriter& operator=(const PartitionWriter&) = delete;

    /// Appends the `length` bytes of records at `record` to the run of shard `shard`.
    void add(std::size_t shard, const std::uint8_t* record, std::size_t length) {
        std::vector<std::uint8_t>& buffer = mBuffers[shard];
        buffer.insert(buffer.end(), record, record + length);
        if (buffer.size() >= mBufferBytes) {
            flush(shard);
        }
    }

    /// Completes the runs, writes `facts` and puts the folder in place of the partition's. Throws
    /// std::runtime_error naming the file that cannot be written.
    void commit(const PartitionFacts& facts);

    /// The partition's folder once committed.
    const std::filesystem::path& folder() const { return mFolder; }
    /// The folder written into until then.
    const std::filesystem::path& partialFolder() const { return mPartial; }

private:
    /// Appends the buffered records of shard `shard` to its run.
    void flush(std::size_t shard);

    std::filesystem::path mFolder;
    std::filesystem::path mPartial;
    std::vector<std::vector<std::uint8_t>> mBuffers;
    std::size_t mBufferBytes = 0;
    bool mCommitted = false;
};

} // namespace Orvid::Compare
