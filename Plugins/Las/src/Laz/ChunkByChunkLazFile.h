#pragma once

#include "Laz/LazChunkReader.h"
#include "RecordBlockSource.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LazChunkCache.h>

#include <filesystem>
#include <memory>

namespace Orvid::FileIoInterface::Las::Laz {

/// The point records of a LAZ file, one block per chunk, each decoded when asked for and kept nowhere:
/// for programs that read a few chunks, or the first records of many, of a file they need not decode
/// whole. Reading the file through and through costs one chunk's decoding per block read, unless a
/// cache of decoded chunks, which several files may share, keeps the chunks read lately.
class ChunkByChunkLazFile final : public RecordBlockSource {
public:
    /// `header` is the file's header as `readLasHeader` returns it. Throws Core::IOException, with a
    /// message that starts with the path, when the chunk table cannot be read.
    ChunkByChunkLazFile(const std::filesystem::path& path, const LasHeader& header,
                        std::shared_ptr<LazChunkCache> cache = nullptr);

    std::size_t blockCount() const override { return mChunks.chunks().size(); }
    RecordBlock block(std::size_t index) const override {
        const LazChunk& chunk = mChunks.chunks()[index];
        return {chunk.firstPoint, chunk.pointCount};
    }
    const std::uint8_t* blockBytes(std::size_t index, std::vector<std::uint8_t>& scratch) const override;
    const std::uint8_t* blockHead(std::size_t index, std::uint64_t count,
                                  std::vector<std::uint8_t>& scratch) const override;
    std::shared_ptr<const std::vector<std::uint8_t>> sharedBlock(std::size_t index) const override;
    const std::uint8_t* contiguousBytes() const override { return nullptr; }

private:
    LazChunkReader mChunks;
    std::shared_ptr<LazChunkCache> mCache;
    /// This file's number in `mCache`.
    std::uint64_t mCacheFile = 0;
};

} // namespace Orvid::FileIoInterface::Las::Laz
