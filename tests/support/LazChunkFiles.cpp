#include "LazChunkFiles.h"

#include "Laz/ArithmeticEncoder.h"
#include "Laz/CopyableChunks.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/LazChunkReader.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace Orvid::Testing::Las {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
void put(Bytes& bytes, std::size_t offset, T value) {
    // Through at(): a range-checked place, which the compiler also knows not to be null.
    std::memcpy(&bytes.at(offset + sizeof(T) - 1) - (sizeof(T) - 1), &value, sizeof(T));
}

void writeFile(const std::filesystem::path& path, const Bytes& head, const std::vector<Bytes>& blocks,
               const std::vector<std::size_t>& order, const Bytes& tail) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    for (const std::size_t index : order) {
        const Bytes& block = blocks.at(index);
        stream.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    stream.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
}

} // namespace

std::vector<Bytes> compressedChunksOf(const std::filesystem::path& path) {
    using namespace FileIoInterface::Las;
    const Laz::LazChunkReader reader(path, readLasHeader(path));
    const Laz::CopyableChunks copyable(reader);
    std::vector<Bytes> chunks(reader.chunks().size());
    for (std::size_t index = 0; index < chunks.size(); ++index) {
        copyable.read(index, chunks[index]);
    }
    return chunks;
}

std::uint64_t writeLazFromChunks(const std::filesystem::path& source, const std::vector<std::size_t>& chunks,
                                 const std::filesystem::path& laz, const std::filesystem::path& las) {
    using namespace FileIoInterface::Las;
    const LasHeader header = readLasHeader(source);
    const Laz::LazChunkReader reader(source, header);
    std::ifstream stream(source, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};

    std::vector<Bytes> compressed;
    std::vector<Bytes> records;
    for (std::size_t index = 0; index < reader.chunks().size(); ++index) {
        const Laz::LazChunk& chunk = reader.chunks()[index];
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(chunk.byteOffset);
        compressed.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(chunk.byteCount));
        records.emplace_back();
        reader.decodeChunk(index, records.back());
    }
    std::uint64_t points = 0;
    for (const std::size_t index : chunks) {
        points += reader.chunks().at(index).pointCount;
    }

    Bytes head(bytes.begin(), bytes.begin() + header.offsetToPointData);
    put(head, 107, static_cast<std::uint32_t>(points));
    if (header.versionMinor >= 4) {
        put(head, 247, points);
    }
    if (!las.empty()) {
        Bytes lasHead = head;
        lasHead[104] &= 0x3F;
        writeFile(las, lasHead, records, chunks, {});
    }

    // The table: each chunk's byte count predicted from the one before (context 1 of two).
    auto table = static_cast<std::int64_t>(header.offsetToPointData) + 8;
    FileIoInterface::Las::Laz::ArithmeticEncoder encoder;
    FileIoInterface::Las::Laz::IntegerEncoder sizes(32, 2);
    std::uint32_t last = 0;
    for (const std::size_t index : chunks) {
        const auto size = static_cast<std::uint32_t>(compressed[index].size());
        table += size;
        sizes.encode(encoder, static_cast<std::int32_t>(last), static_cast<std::int32_t>(size), 1);
        last = size;
    }
    head.resize(head.size() + 8);
    put(head, header.offsetToPointData, table);
    Bytes tail(8);
    put(tail, 4, static_cast<std::uint32_t>(chunks.size()));
    const Bytes entries = encoder.finish();
    tail.insert(tail.end(), entries.begin(), entries.end());
    writeFile(laz, head, compressed, chunks, tail);
    return points;
}

std::vector<std::uint8_t> recordsOf(const std::filesystem::path& path) {
    using namespace FileIoInterface::Las;
    const LasHeader header = readLasHeader(path);
    if (!header.lazDescription) {
        std::ifstream stream(path, std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(header.offsetToPointData), bytes.end());
    }
    const Laz::LazChunkReader reader(path, header);
    Bytes records;
    Bytes chunk;
    for (std::size_t index = 0; index < reader.chunks().size(); ++index) {
        reader.decodeChunk(index, chunk);
        records.insert(records.end(), chunk.begin(), chunk.end());
    }
    return records;
}

} // namespace Orvid::Testing::Las
