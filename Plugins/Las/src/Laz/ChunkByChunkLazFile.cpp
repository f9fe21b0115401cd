#include "Laz/ChunkByChunkLazFile.h"

#include <Core/IOException.h>

#include <utility>

namespace Orvid::FileIoInterface::Las::Laz {

ChunkByChunkLazFile::ChunkByChunkLazFile(const std::filesystem::path& path, const LasHeader& header,
                                         std::shared_ptr<LazChunkCache> cache)
    : mChunks(path, header)
    , mCache(std::move(cache))
    , mCacheFile(mCache ? mCache->newFile() : 0) {}

const std::uint8_t* ChunkByChunkLazFile::blockBytes(std::size_t index,
                                                    std::vector<std::uint8_t>& scratch) const {
    mChunks.decodeChunk(index, scratch);
    return scratch.data();
}

std::shared_ptr<const std::vector<std::uint8_t>> ChunkByChunkLazFile::sharedBlock(std::size_t index) const {
    if (!mCache) {
        return nullptr;
    }
    const auto decoding = [this](std::size_t chunk) {
        return [this, chunk](std::vector<std::uint8_t>& records) { mChunks.decodeChunk(chunk, records); };
    };
    // Threads reading a file in order reach each chunk together: one decodes it, and the others decode
    // the next one meanwhile rather than wait idle.
    return mCache->records(mCacheFile, index, decoding(index), [&] {
        if (index + 1 < mChunks.chunks().size()) {
            try {
                mCache->records(mCacheFile, index + 1, decoding(index + 1));
            } catch (const Core::IOException&) {
                // Kept in the cache, the failure reaches whoever reads that chunk.
            }
        }
    });
}

const std::uint8_t* ChunkByChunkLazFile::blockHead(std::size_t index, std::uint64_t count,
                                                   std::vector<std::uint8_t>& scratch) const {
    mChunks.decodeChunk(index, scratch, count);
    return scratch.data();
}

} // namespace Orvid::FileIoInterface::Las::Laz
