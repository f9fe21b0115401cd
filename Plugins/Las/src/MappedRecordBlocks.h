#pragma once

#include "RecordBlockSource.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace Orvid::FileIoInterface::Las {

/// The point block of a stored LAS file mapped read-only: the records stay in the page cache, shared
/// with every other reader of the file, and cost no anonymous memory. One block holds them all.
class MappedRecordBlocks final : public RecordBlockSource {
public:
    /// Maps `count` records of `recordLength` bytes from byte `offset` of the file at `path`. Throws
    /// Core::IOException, with a message starting with the path, when the path is not a regular file,
    /// cannot be opened or mapped, or is shorter than the records.
    MappedRecordBlocks(const std::filesystem::path& path, std::uint64_t offset, std::uint64_t count,
                       std::size_t recordLength);
    /// The same for the `count` records from byte 0 of the open file `descriptor` (not owned), which
    /// messages call `path`.
    MappedRecordBlocks(int descriptor, const std::filesystem::path& path, std::uint64_t count,
                       std::size_t recordLength);
    ~MappedRecordBlocks() override;
    MappedRecordBlocks(const MappedRecordBlocks&) = delete;
    MappedRecordBlocks& operator=(const MappedRecordBlocks&) = delete;

    std::size_t blockCount() const override { return mCount == 0 ? 0 : 1; }
    RecordBlock block(std::size_t) const override { return {0, mCount}; }
    const std::uint8_t* blockBytes(std::size_t, std::vector<std::uint8_t>&) const override {
        return mRecords;
    }
    const std::uint8_t* contiguousBytes() const override { return mRecords; }

private:
    void map(int descriptor, const std::filesystem::path& path, std::uint64_t offset,
             std::size_t recordLength);

    void* mMapping = nullptr;
    std::size_t mMappingSize = 0;
    const std::uint8_t* mRecords = nullptr;
    std::uint64_t mCount = 0;
};

} // namespace Orvid::FileIoInterface::Las
