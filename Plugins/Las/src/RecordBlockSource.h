#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Consecutive point records of one block: `count` records from record `first`.
struct RecordBlock {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

/// Where the raw point records of one file come from, block by block. A stored (LAS) file is one
/// block viewed in place; a compressed file would be one block per chunk of its chunk table, turned
/// into records on request. Implementations are safe to call from several threads at once.
class RecordBlockSource {
public:
    virtual ~RecordBlockSource() = default;

    /// Number of blocks; their records follow each other from record 0.
    virtual std::size_t blockCount() const = 0;
    /// Records of block `index`, which is less than `blockCount()`.
    virtual RecordBlock block(std::size_t index) const = 0;
    /// The bytes of block `index`, `block(index).count` records one after the other: a view that the
    /// source keeps for its lifetime, or `scratch` filled and returned. Throws Core::IOException when
    /// the block cannot be produced.
    virtual const std::uint8_t* blockBytes(std::size_t index, std::vector<std::uint8_t>& scratch) const = 0;
    /// The first `count` records (at least 1, at most the block's) of block `index`, as `blockBytes`
    /// gives them; a source that decodes its blocks decodes no more than these.
    virtual const std::uint8_t* blockHead(std::size_t index, std::uint64_t count,
                                          std::vector<std::uint8_t>& scratch) const {
        static_cast<void>(count);
        return blockBytes(index, scratch);
    }
    /// The records of block `index` as the source shares them between readers (from a cache of decoded
    /// blocks), kept alive while held; null when it does not, and `blockBytes` is to be read.
    virtual std::shared_ptr<const std::vector<std::uint8_t>> sharedBlock(std::size_t index) const {
        static_cast<void>(index);
        return nullptr;
    }
    /// All records one after the other when the source holds them so; null otherwise.
    virtual const std::uint8_t* contiguousBytes() const = 0;
    /// The bytes of block `index` when the source holds them in place for its lifetime (mapped, say);
    /// null when they are produced on request.
    virtual const std::uint8_t* blockInPlace(std::size_t index) const {
        static_cast<void>(index);
        return nullptr;
    }
};

} // namespace Orvid::FileIoInterface::Las
