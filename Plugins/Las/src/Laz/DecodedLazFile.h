#pragma once

#include "MappedRecordBlocks.h"
#include "RecordBlockSource.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/PointRecordsOptions.h>

#include <filesystem>
#include <memory>

namespace Orvid::FileIoInterface::Las::Laz {

/// The point records of a LAZ file, decoded once, on the threads its options give, into an unnamed temporary
/// file in the system's temporary folder, or in memory when the options say so, and mapped read-only from
/// there: records can then be visited in any order at the speed of a stored file, and live in the page
/// cache (or shared memory) rather than in anonymous memory. The temporary file needs the records'
/// uncompressed size on disk; either is gone with the object.
class DecodedLazFile final : public RecordBlockSource {
public:
    /// `header` is the file's header as `readLasHeader` returns it; `options` say on how many threads
    /// to decode and whom to tell of each decoded chunk. Throws Core::IOException, with a message that
    /// starts with the path, when a chunk cannot be decoded or the temporary file cannot be written.
    DecodedLazFile(const std::filesystem::path& path, const LasHeader& header,
                   const PointRecordsOptions& options);

    std::size_t blockCount() const override { return mRecords->blockCount(); }
    RecordBlock block(std::size_t index) const override { return mRecords->block(index); }
    const std::uint8_t* blockBytes(std::size_t index, std::vector<std::uint8_t>& scratch) const override {
        return mRecords->blockBytes(index, scratch);
    }
    const std::uint8_t* contiguousBytes() const override { return mRecords->contiguousBytes(); }

private:
    std::unique_ptr<MappedRecordBlocks> mRecords;
};

} // namespace Orvid::FileIoInterface::Las::Laz
