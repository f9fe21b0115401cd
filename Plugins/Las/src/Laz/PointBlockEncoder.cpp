#include "Laz/PointBlockEncoder.h"

#include "Laz/ArithmeticEncoder.h"
#include "Laz/ChunkEncoder.h"
#include "Laz/IntegerEncoder.h"
#include "Raw/ByteCursor.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::size_t TABLE_OFFSET_SIZE = 8;

// The point count of each chunk: the description's fixed size, or the caller's counts.
std::vector<std::uint32_t> chunkPointCounts(const LazDescription& description, std::uint64_t points,
                                            const std::vector<std::uint32_t>& chunkPoints) {
    if (description.chunkSize == LazDescription::VARIABLE_CHUNK_SIZE) {
        std::uint64_t total = 0;
        for (const std::uint32_t count : chunkPoints) {
            if (count == 0) {
                throw std::invalid_argument("LAZ point block: a chunk of no points");
            }
            total += count;
        }
        if (total != points) {
            throw std::invalid_argument("LAZ point block: chunks of " + std::to_string(total) +
                                        " points for " + std::to_string(points) + " records");
        }
        return chunkPoints;
    }
    if (description.chunkSize == 0) {
        throw std::invalid_argument("LAZ point block: a chunk size of 0");
    }
    std::vector<std::uint32_t> counts;
    for (std::uint64_t first = 0; first < points; first += description.chunkSize) {
        counts.push_back(
            static_cast<std::uint32_t>(std::min<std::uint64_t>(description.chunkSize, points - first)));
    }
    return counts;
}

} // namespace

std::vector<std::uint8_t> encodeChunkTable(const std::vector<ChunkSize>& chunks, bool variable) {
    if (chunks.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument("LAZ chunk table: more chunks than a 32-bit count holds");
    }
    std::vector<std::uint8_t> table(8, 0);
    Raw::store(table.data() + 4, static_cast<std::uint32_t>(chunks.size()));
    if (chunks.empty()) {
        return table;
    }
    ArithmeticEncoder encoder;
    IntegerEncoder integers(32, 2);
    ChunkSize last;
    for (const ChunkSize& chunk : chunks) {
        if (variable) {
            integers.encode(encoder, static_cast<std::int32_t>(last.points),
                            static_cast<std::int32_t>(chunk.points), 0);
        }
        integers.encode(encoder, static_cast<std::int32_t>(last.bytes),
                        static_cast<std::int32_t>(chunk.bytes), 1);
        last = chunk;
    }
    const std::vector<std::uint8_t> entries = encoder.finish();
    table.insert(table.end(), entries.begin(), entries.end());
    return table;
}

bool chunksStateTheirCounts(const std::vector<ChunkSize>& chunks, std::uint32_t chunkSize) {
    if (chunkSize == LazDescription::VARIABLE_CHUNK_SIZE) {
        return true;
    }
    for (std::size_t index = 0; index < chunks.size(); ++index) {
        const bool last = index + 1 == chunks.size();
        if (last ? chunks[index].points > chunkSize : chunks[index].points != chunkSize) {
            return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> encodePointBlock(const LazDescription& description, std::uint16_t recordLength,
                                           const std::uint8_t* records, std::uint64_t points,
                                           std::uint64_t pointDataOffset,
                                           const std::vector<std::uint32_t>& chunkPoints) {
    // Without chunks the points are one stream with neither a table nor its offset.
    if (description.compressor != Compressor::PointWiseChunked &&
        description.compressor != Compressor::LayeredChunked) {
        throw std::invalid_argument("LAZ point block: only chunked compression has a chunk table");
    }
    const ChunkEncoder encoder(description, recordLength);
    std::vector<std::uint8_t> block(TABLE_OFFSET_SIZE, 0);
    std::vector<ChunkSize> chunks;
    const std::uint8_t* next = records;
    for (const std::uint32_t count : chunkPointCounts(description, points, chunkPoints)) {
        const std::vector<std::uint8_t> chunk = encoder.encode(next, count);
        if (chunk.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::invalid_argument("LAZ point block: a chunk of more bytes than a 32-bit count holds");
        }
        chunks.push_back({count, static_cast<std::uint32_t>(chunk.size())});
        block.insert(block.end(), chunk.begin(), chunk.end());
        next += static_cast<std::size_t>(count) * recordLength;
    }
    Raw::store(block.data(), static_cast<std::int64_t>(pointDataOffset + block.size()));
    const std::vector<std::uint8_t> table =
        encodeChunkTable(chunks, description.chunkSize == LazDescription::VARIABLE_CHUNK_SIZE);
    block.insert(block.end(), table.begin(), table.end());
    return block;
}

} // namespace Orvid::FileIoInterface::Las::Laz
