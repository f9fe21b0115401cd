#pragma once

#include "MappedRecordBlocks.h"
#include "RecordBlockSource.h"

#include <FileIoInterface/Las/RawRecordRun.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Raw record runs, each mapped read-only, read as the consecutive blocks of one file's records: one
/// block per run that holds records.
class RecordRunBlocks final : public RecordBlockSource {
public:
    /// Maps every run of records of `recordLength` bytes. Throws Core::IOException, with a message
    /// starting with the run's file, when one cannot be mapped or is shorter than its records.
    RecordRunBlocks(const std::vector<RawRecordRun>& runs, std::size_t recordLength);

    std::size_t blockCount() const override { return mRuns.size(); }
    RecordBlock block(std::size_t index) const override { return mBlocks[index]; }
    const std::uint8_t* blockBytes(std::size_t index, std::vector<std::uint8_t>& scratch) const override {
        return mRuns[index]->blockBytes(0, scratch);
    }
    const std::uint8_t* blockInPlace(std::size_t index) const override {
        return mRuns[index]->contiguousBytes();
    }
    const std::uint8_t* contiguousBytes() const override {
        return mRuns.size() == 1 ? mRuns.front()->contiguousBytes() : nullptr;
    }

private:
    std::vector<std::unique_ptr<MappedRecordBlocks>> mRuns;
    std::vector<RecordBlock> mBlocks;
};

} // namespace Orvid::FileIoInterface::Las
