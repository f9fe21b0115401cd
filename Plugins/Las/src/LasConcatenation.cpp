#include <FileIoInterface/Las/LasConcatenation.h>

#include "FileDescriptor.h"
#include "InputFile.h"
#include "Laz/LazChunkReader.h"
#include "Laz/PointBlockEncoder.h"
#include "Raw/ByteCursor.h"
#include "Raw/RawHeader.h"
#include "Raw/RawVlr.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasHeader.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las {
namespace {

namespace fs = std::filesystem;

/// A part's header and VLRs, as stored and decoded, and the fields that concatenation adds up.
struct Part {
    std::vector<std::uint8_t> head;
    Raw::RawHeader header;
    /// LAS 1.4: 64-bit counts, 15 returns, extended VLRs.
    bool extended = false;
    std::uint64_t count = 0;
    std::array<std::uint64_t, 15> byReturn{};
    /// LAZ: the chunks in file order (one after the other), their stated point count, and where the
    /// LAZ description's chunk size lies in `head`.
    bool compressed = false;
    std::vector<Laz::LazChunk> chunks;
    std::uint32_t chunkSize = 0;
    std::size_t chunkSizeOffset = 0;
};

constexpr std::size_t TABLE_OFFSET_SIZE = 8;

/// How many bytes of a part's head hold the header fields that concatenation reads and changes: the
/// counts and bounds lie in the first 227, and in LAS 1.4 the 64-bit counts in the first 375.
std::size_t fieldsSize(const Part& part) {
    return part.extended ? Raw::HEADER_SIZE_1_4 : Raw::HEADER_SIZE_1_0;
}

/// `part`, a LAZ file, with its chunks; nothing when they are not in chunks.
std::optional<Part> withChunks(const fs::path& path, Part part) {
    const LasHeader header = readLasHeader(path);
    if (!header.lazDescription) {
        return std::nullopt;
    }
    const Laz::LazChunkReader reader(path, header);
    if (reader.description().compressor == Laz::Compressor::PointWise) {
        return std::nullopt;
    }
    part.compressed = true;
    part.chunks = reader.chunks();
    part.chunkSize = reader.description().chunkSize;
    part.chunkSizeOffset = static_cast<std::size_t>(header.lazDescription->byteOffset) +
                           Raw::RawVlrHeader::SIZE + Laz::LazDescription::CHUNK_SIZE_OFFSET;
    return part;
}

/// The part at `path`, or nothing when it is not a plain LAS or chunked LAZ file that concatenation
/// handles.
std::optional<Part> readPart(const fs::path& path) {
    InputFile file(path);
    const std::uint64_t size = file.size();
    Part part;
    part.head.resize(Raw::HEADER_SIZE_1_0);
    if (file.read(part.head.data(), part.head.size()) != part.head.size()) {
        return std::nullopt;
    }
    const Raw::RawHeader start = Raw::decodeRawHeader(part.head.data(), part.head.size());
    const std::uint32_t offset = start.offsetToPointData;
    const std::uint16_t headerSize = start.headerSize;
    const std::uint16_t recordLength = start.pointRecordLength;
    part.extended = start.versionMinor >= 4;
    if (std::memcmp(start.signature.data(), "LASF", start.signature.size()) != 0 || offset < headerSize ||
        headerSize < Raw::HEADER_SIZE_1_0 || (part.extended && headerSize < Raw::HEADER_SIZE_1_4) ||
        offset > size || recordLength == 0) {
        return std::nullopt;
    }
    part.head.resize(offset);
    if (file.read(part.head.data() + Raw::HEADER_SIZE_1_0, offset - Raw::HEADER_SIZE_1_0) !=
        offset - Raw::HEADER_SIZE_1_0) {
        return std::nullopt;
    }
    part.header =
        Raw::decodeRawHeader(part.head.data(), std::min<std::size_t>(headerSize, Raw::HEADER_SIZE_1_4));
    if (part.extended) {
        if (part.header.numberOfEvlrs != 0) {
            return std::nullopt;
        }
        part.count = part.header.pointCount;
        part.byReturn = part.header.pointsByReturn;
    } else {
        part.count = part.header.legacyPointCount;
        std::copy(part.header.legacyPointsByReturn.begin(), part.header.legacyPointsByReturn.end(),
                  part.byReturn.begin());
    }
    if ((start.pointFormat & Raw::POINT_FORMAT_COMPRESSED_BIT) != 0) {
        return withChunks(path, std::move(part));
    }
    if (part.count > (size - offset) / recordLength || size - offset != part.count * recordLength) {
        return std::nullopt;
    }
    return part;
}

/// The head of `part` with its point counts, bounds and chunk size cleared: what the parts of one file
/// share.
std::vector<std::uint8_t> withoutCountsAndBounds(const Part& part) {
    Raw::RawHeader header = part.header;
    header.legacyPointCount = 0;
    header.legacyPointsByReturn = {};
    header.bounds = {};
    header.pointCount = 0;
    header.pointsByReturn = {};
    std::vector<std::uint8_t> head = part.head;
    Raw::encodeRawHeader(header, head.data(), fieldsSize(part));
    if (part.chunkSizeOffset != 0) {
        // Joined chunks keep their own point counts, so parts may state different chunk sizes.
        Raw::store(head.data() + part.chunkSizeOffset, std::uint32_t{0});
    }
    return head;
}

bool writeAll(int descriptor, const std::uint8_t* bytes, std::size_t size) {
    while (size != 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

/// Appends `length` bytes of `in` from `offset` to `out`: inside the kernel where it can, else through
/// a buffer.
bool copyRange(int in, off_t offset, std::uint64_t length, int out) {
    while (length != 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 30));
        const ssize_t copied = ::copy_file_range(in, &offset, out, nullptr, chunk, 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            break;
        }
        if (copied <= 0) {
            return false;
        }
        length -= static_cast<std::uint64_t>(copied);
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, 4 << 20)));
    while (length != 0) {
        const ssize_t got = ::pread(in, buffer.data(), std::min<std::size_t>(buffer.size(), length), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        offset += got;
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

/// The head of the file that joins `heads`: the first part's, with the counts by return added up and
/// the bounds joined.
std::vector<std::uint8_t> joinedHead(const std::vector<Part>& heads, const fs::path& target) {
    Raw::RawHeader merged = heads.front().header;
    std::uint64_t count = 0;
    std::array<std::uint64_t, 15> byReturn{};
    // Max, min per axis, in the header's order; only parts with points have bounds.
    std::array<double, 6> bounds{};
    bool bounded = false;
    for (const Part& part : heads) {
        count += part.count;
        for (std::size_t index = 0; index < byReturn.size(); ++index) {
            byReturn[index] += part.byReturn[index];
        }
        if (part.count == 0) {
            continue;
        }
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double highest = part.header.bounds[2 * axis];
            const double lowest = part.header.bounds[2 * axis + 1];
            bounds[2 * axis] = bounded ? std::max(bounds[2 * axis], highest) : highest;
            bounds[2 * axis + 1] = bounded ? std::min(bounds[2 * axis + 1], lowest) : lowest;
        }
        bounded = true;
    }
    if (bounded) {
        merged.bounds = bounds;
    }
    if (!heads.front().extended && count > std::numeric_limits<std::uint32_t>::max()) {
        throw Core::IOException(target.string() + ": more points than a LAS 1." +
                                std::to_string(merged.versionMinor) + " file can count");
    }
    // As the writer sets them.
    Raw::setPointCounts(merged, count, byReturn);
    std::vector<std::uint8_t> head = heads.front().head;
    Raw::encodeRawHeader(merged, head.data(), fieldsSize(heads.front()));
    return head;
}

/// The chunk table of the parts' chunks one after the other. Fixed-size chunks stay so when only the
/// last chunk of all holds fewer points; otherwise each chunk states its count, and `head` says so.
std::vector<std::uint8_t> joinedChunkTable(const std::vector<Part>& heads, std::vector<std::uint8_t>& head) {
    const std::uint32_t chunkSize = heads.front().chunkSize;
    std::vector<Laz::ChunkSize> chunks;
    for (const Part& part : heads) {
        for (const Laz::LazChunk& chunk : part.chunks) {
            chunks.push_back(
                {static_cast<std::uint32_t>(chunk.pointCount), static_cast<std::uint32_t>(chunk.byteCount)});
        }
    }
    const bool variable = Laz::chunksStateTheirCounts(chunks, chunkSize);
    if (variable) {
        Raw::store(head.data() + heads.front().chunkSizeOffset, Laz::LazDescription::VARIABLE_CHUNK_SIZE);
    }
    return Laz::encodeChunkTable(chunks, variable);
}

/// Where the bytes of `part` that the joined file holds lie: its records, or its chunks.
std::pair<std::uint64_t, std::uint64_t> copiedRange(const Part& part) {
    if (!part.compressed) {
        return {part.head.size(), part.count * part.header.pointRecordLength};
    }
    if (part.chunks.empty()) {
        return {0, 0};
    }
    const Laz::LazChunk& last = part.chunks.back();
    return {part.chunks.front().byteOffset,
            last.byteOffset + last.byteCount - part.chunks.front().byteOffset};
}

} // namespace

bool canConcatenateLasFiles(const std::vector<fs::path>& parts) {
    std::optional<std::vector<std::uint8_t>> shared;
    for (const fs::path& path : parts) {
        const std::optional<Part> part = readPart(path);
        if (!part) {
            return false;
        }
        std::vector<std::uint8_t> head = withoutCountsAndBounds(*part);
        if (shared && *shared != head) {
            return false;
        }
        if (!shared) {
            shared = std::move(head);
        }
    }
    return shared.has_value();
}

void concatenateLasFiles(const std::vector<fs::path>& parts, const fs::path& target) {
    std::vector<Part> heads;
    for (const fs::path& path : parts) {
        std::optional<Part> part = readPart(path);
        if (!part) {
            throw Core::IOException(path.string() + ": not a LAS file that can be concatenated");
        }
        heads.push_back(std::move(*part));
    }
    if (heads.empty()) {
        throw Core::IOException(target.string() + ": no LAS file to concatenate");
    }
    std::vector<std::uint8_t> head = joinedHead(heads, target);
    std::vector<std::uint8_t> tail;
    if (heads.front().compressed) {
        // The chunks, copied as they are, between the offset of a new chunk table and the table.
        tail = joinedChunkTable(heads, head);
        std::uint64_t tableOffset = head.size() + TABLE_OFFSET_SIZE;
        for (const Part& part : heads) {
            tableOffset += copiedRange(part).second;
        }
        head.resize(head.size() + TABLE_OFFSET_SIZE);
        Raw::store(head.data() + head.size() - TABLE_OFFSET_SIZE, static_cast<std::int64_t>(tableOffset));
    }

    FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0 || !writeAll(out.get(), head.data(), head.size())) {
        throw Core::IOException(target.string() + ": cannot write the concatenated file (" +
                                std::strerror(errno) + ")");
    }
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const auto [offset, length] = copiedRange(heads[index]);
        const FileDescriptor in(::open(parts[index].c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0 || !copyRange(in.get(), static_cast<off_t>(offset), length, out.get())) {
            throw Core::IOException(parts[index].string() + ": cannot copy its point records to " +
                                    target.string() + " (" + std::strerror(errno) + ")");
        }
    }
    if (!writeAll(out.get(), tail.data(), tail.size()) || ::close(out.release()) != 0) {
        throw Core::IOException(target.string() + ": cannot write the concatenated file (" +
                                std::strerror(errno) + ")");
    }
}

} // namespace Orvid::FileIoInterface::Las
