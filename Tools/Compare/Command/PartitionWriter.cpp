#include "Command/PartitionWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// Buffered bytes per run at most, and for all runs together: few writes per run, bounded memory
/// however many shards.
constexpr std::size_t RUN_BUFFER_BYTES = std::size_t{1} << 20;
constexpr std::size_t ALL_BUFFER_BYTES = std::size_t{64} << 20;
constexpr std::size_t LEAST_BUFFER_BYTES = std::size_t{64} << 10;

std::runtime_error failure(const fs::path& path, const std::string& what) {
    return std::runtime_error(path.string() + ": cannot " + what + " (" + std::strerror(errno) + ")");
}

/// Appends `bytes` to the file `path`, made when missing.
void append(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"), &std::fclose);
    if (!file || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) ||
        std::fflush(file.get()) != 0) {
        throw failure(path, "write the partition's run");
    }
}

} // namespace

PartitionWriter::PartitionWriter(const fs::path& parts, std::size_t partition, std::size_t shards)
    : mFolder(partitionFolder(parts, partition))
    , mPartial(partialFolderOf(mFolder))
    , mBuffers(shards)
    , mBufferBytes(std::max(LEAST_BUFFER_BYTES, std::min(RUN_BUFFER_BYTES, ALL_BUFFER_BYTES / shards))) {
    std::error_code error;
    // What a failed run of this partition left is its own, and goes.
    fs::remove_all(mPartial, error);
    if (!fs::create_directories(mPartial, error) || error) {
        throw std::runtime_error(mPartial.string() + ": cannot make the partition's folder (" +
                                 error.message() + ")");
    }
    for (std::size_t shard = 0; shard < shards; ++shard) {
        mBuffers[shard].reserve(mBufferBytes + RUN_BUFFER_BYTES / 16);
        append(mPartial / runFileName(shard), {});
    }
}

PartitionWriter::~PartitionWriter() {
    if (!mCommitted) {
        std::error_code error;
        fs::remove_all(mPartial, error);
    }
}

void PartitionWriter::flush(std::size_t shard) {
    append(mPartial / runFileName(shard), mBuffers[shard]);
    mBuffers[shard].clear();
}

void PartitionWriter::commit(const PartitionFacts& facts) {
    for (std::size_t shard = 0; shard < mBuffers.size(); ++shard) {
        flush(shard);
    }
    // The facts go in last, under their own name only once the folder is in place: a shard that finds
    // them finds every run complete.
    writePartitionFacts(mPartial / PARTIAL_FACTS_NAME, facts, mFolder / PARTITION_FACTS_NAME);
    const fs::path replaced = replacedFolderOf(mFolder);
    std::error_code error;
    fs::remove_all(replaced, error);
    if (fs::exists(mFolder, error)) {
        fs::rename(mFolder, replaced);
    }
    fs::rename(mPartial, mFolder);
    mCommitted = true;
    fs::rename(mFolder / PARTIAL_FACTS_NAME, mFolder / PARTITION_FACTS_NAME);
    fs::remove_all(replaced, error);
}

} // namespace Orvid::Compare
