#include "Laz/ChunkByChunkLazFile.h"

namespace Orvid::FileIoInterface::Las::Laz {

ChunkByChunkLazFile::ChunkByChunkLazFile(const std::filesystem::path& path, const LasHeader& header)
    : mChunks(path, header) {}

const std::uint8_t* ChunkByChunkLazFile::blockBytes(std::size_t index,
                                                    std::vector<std::uint8_t>& scratch) const {
    mChunks.decodeChunk(index, scratch);
    return scratch.data();
}

const std::uint8_t* ChunkByChunkLazFile::blockHead(std::size_t index, std::uint64_t count,
                                                   std::vector<std::uint8_t>& scratch) const {
    mChunks.decodeChunk(index, scratch, count);
    return scratch.data();
}

} // namespace Orvid::FileIoInterface::Las::Laz
