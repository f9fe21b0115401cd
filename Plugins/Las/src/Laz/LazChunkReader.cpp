#include "Laz/LazChunkReader.h"

#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChunkDecoder.h"
#include "Laz/IntegerDecoder.h"
#include "Raw/ByteCursor.h"
#include "Raw/RawHeader.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasHeader.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::size_t TABLE_OFFSET_SIZE = 8;
constexpr std::size_t TABLE_HEADER_SIZE = 8;
// The most bytes that one chunk-table entry (a point count and a byte count) can take.
constexpr std::uint64_t MAX_ENTRY_BYTES = 20;
// How many bytes beyond its raw size a point-wise chunk is first assumed to take when no table
// states its size.
constexpr std::uint64_t SEARCH_SLACK = 4096;

// A byte count of the file as a size in memory; the file's size bounds it, but not every machine's
// address space does.
std::size_t narrowed(const PositionalFile& file, std::uint64_t value, const std::string& what) {
    if (value > std::numeric_limits<std::size_t>::max()) {
        throw Core::IOException(file.message(what + " of " + std::to_string(value) +
                                             " bytes does not fit in this machine's memory"));
    }
    return static_cast<std::size_t>(value);
}

} // namespace

LazChunkReader::LazChunkReader(const std::filesystem::path& path, const LasHeader& header, DecoderBuild build)
    : mFile(path)
    , mRecordLength(header.pointRecordLength)
    , mPointDataStart(header.offsetToPointData)
    , mPointDataEnd(header.pointDataEnd)
    , mBuild(build) {
    parseDescription(header);
    if (mDescription.compressor == Compressor::PointWise) {
        if (header.pointCount > 0) {
            mChunks.push_back({0, header.pointCount, mPointDataStart, mPointDataEnd - mPointDataStart});
        }
        keepPoints(header.pointCount);
        return;
    }
    if (mPointDataStart + TABLE_OFFSET_SIZE > mFile.size()) {
        throw Core::IOException(
            mFile.message("chunk table offset (8 bytes at byte " + std::to_string(mPointDataStart) +
                          ") lies beyond the end of the file (" + std::to_string(mFile.size()) + " bytes)"));
    }
    std::array<std::uint8_t, TABLE_OFFSET_SIZE> offset{};
    mFile.readAt(mPointDataStart, offset.data(), offset.size(), "chunk table offset");
    const auto tableOffset = Raw::load<std::int64_t>(offset.data());
    if (tableOffset == -1 || tableOffset == 0) {
        findChunks(header);
    } else {
        readChunkTable(header, static_cast<std::uint64_t>(tableOffset));
    }
}

LazChunkReader::~LazChunkReader() = default;

void LazChunkReader::parseDescription(const LasHeader& header) {
    if (!header.lazDescription) {
        char formatByte[8];
        std::snprintf(formatByte, sizeof(formatByte), "0x%02x",
                      static_cast<unsigned>(header.storedPointFormat));
        throw Core::IOException(mFile.message(
            std::string("compressed point data (point format byte ") + formatByte + " at byte " +
            std::to_string(Raw::OFFSET_POINT_FORMAT) + ") without a LAZ description record ('" +
            LazDescription::USER_ID + "' " + std::to_string(LazDescription::RECORD_ID) + ") among its " +
            std::to_string(header.vlrs.size()) + " VLRs"));
    }
    const LasLazDescriptionRecord& record = *header.lazDescription;
    const std::string problem =
        LazDescription::parse(record.payload, header.pointFormat, header.pointRecordLength, mDescription);
    if (!problem.empty()) {
        throw Core::IOException(mFile.message("LAZ description record (VLR " +
                                              std::to_string(record.vlrIndex) + " at byte " +
                                              std::to_string(record.byteOffset) + ") " + problem));
    }
}

void LazChunkReader::readChunkTable(const LasHeader& header, std::uint64_t tableOffset) {
    const std::uint64_t chunksStart = mPointDataStart + TABLE_OFFSET_SIZE;
    const std::string where = "chunk table at byte " + std::to_string(tableOffset) + " (stated at byte " +
                              std::to_string(mPointDataStart) + ")";
    if (tableOffset > mFile.size() || mFile.size() - tableOffset < TABLE_HEADER_SIZE) {
        throw Core::IOException(mFile.message(where + " lies beyond the end of the file (" +
                                              std::to_string(mFile.size()) + " bytes)"));
    }
    if (tableOffset < chunksStart) {
        throw Core::IOException(
            mFile.message(where + " lies before the first chunk (byte " + std::to_string(chunksStart) + ")"));
    }
    std::array<std::uint8_t, TABLE_HEADER_SIZE> tableHeader{};
    mFile.readAt(tableOffset, tableHeader.data(), tableHeader.size(), "chunk table");
    const auto version = Raw::load<std::uint32_t>(tableHeader.data());
    const auto count = Raw::load<std::uint32_t>(tableHeader.data() + 4);
    if (version != 0) {
        throw Core::IOException(mFile.message(where + " has version " + std::to_string(version) + ", not 0"));
    }
    const std::uint64_t chunkBytes = tableOffset - chunksStart;
    if (count > chunkBytes / mRecordLength) {
        throw Core::IOException(mFile.message(where + " lists " + std::to_string(count) +
                                              " chunks, more than the " + std::to_string(chunkBytes) +
                                              " bytes before it can hold"));
    }

    const std::uint64_t entriesStart = tableOffset + TABLE_HEADER_SIZE;
    const std::uint64_t entryBytes = std::min(mFile.size() - entriesStart, MAX_ENTRY_BYTES * count + 8);
    const std::vector<std::uint8_t> entries =
        mFile.readAt(entriesStart, narrowed(mFile, entryBytes, "chunk table"), "chunk table");
    ArithmeticDecoder decoder;
    decoder.start(entries.data(), entries.data() + entries.size());
    IntegerDecoder integers(32, 2);
    const bool variable = mDescription.chunkSize == LazDescription::VARIABLE_CHUNK_SIZE;
    std::uint32_t lastPoints = 0;
    std::uint32_t lastBytes = 0;
    std::uint64_t firstPoint = 0;
    std::uint64_t byteOffset = chunksStart;
    mChunks.reserve(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        if (variable) {
            lastPoints = static_cast<std::uint32_t>(
                integers.decode(decoder, static_cast<std::int32_t>(lastPoints), 0));
        }
        lastBytes =
            static_cast<std::uint32_t>(integers.decode(decoder, static_cast<std::int32_t>(lastBytes), 1));
        if (decoder.overrun() > 0) {
            throw Core::IOException(mFile.message(where +
                                                  " is truncated: the file ends in the entry of chunk " +
                                                  std::to_string(index) + " of " + std::to_string(count)));
        }
        const std::string chunk = "chunk " + std::to_string(index) + " of " + std::to_string(count) +
                                  " (byte " + std::to_string(byteOffset) + ")";
        const std::uint64_t points = variable ? lastPoints : mDescription.chunkSize;
        if (lastBytes < mRecordLength || points == 0) {
            std::string problem = where;
            problem.append(": ").append(chunk).append(" has an impossible size of ");
            problem.append(std::to_string(lastBytes)).append(" bytes for ").append(std::to_string(points));
            problem.append(" points (records of ").append(std::to_string(mRecordLength)).append(" bytes)");
            throw Core::IOException(mFile.message(problem));
        }
        if (lastBytes > tableOffset - byteOffset) {
            std::string problem = where;
            problem.append(": ").append(chunk).append(" of ").append(std::to_string(lastBytes));
            problem.append(" bytes runs past the chunk table");
            throw Core::IOException(mFile.message(problem));
        }
        mChunks.push_back({firstPoint, points, byteOffset, lastBytes});
        firstPoint += points;
        byteOffset += lastBytes;
    }
    if (firstPoint < header.pointCount) {
        throw Core::IOException(mFile.message("the " + std::to_string(count) + " chunks of the " + where +
                                              " hold " + std::to_string(firstPoint) +
                                              " points, fewer than the " + std::to_string(header.pointCount) +
                                              " that the header announces"));
    }
    keepPoints(header.pointCount);
}

void LazChunkReader::findChunks(const LasHeader& header) {
    const bool layered = mDescription.compressor == Compressor::LayeredChunked;
    const bool variable = mDescription.chunkSize == LazDescription::VARIABLE_CHUNK_SIZE;
    if (variable && !layered) {
        throw Core::IOException(mFile.message("no chunk table is stated (byte " +
                                              std::to_string(mPointDataStart) +
                                              ") and the chunks have no fixed point count"));
    }
    const ChunkDecoder sizes(mDescription, mRecordLength);
    // A layered chunk's first record, point count and layer sizes: at most 9 point layers and one layer
    // per other byte of the record.
    const std::uint64_t layeredHeaderBound = mRecordLength + 4 + 4 * (9 + std::uint64_t{mRecordLength});
    const std::uint64_t end = mPointDataEnd;
    std::uint64_t offset = mPointDataStart + TABLE_OFFSET_SIZE;
    std::uint64_t firstPoint = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> records;
    while (firstPoint < header.pointCount) {
        const std::string chunk =
            "chunk " + std::to_string(mChunks.size()) + " (byte " + std::to_string(offset) + ")";
        if (offset >= end) {
            throw Core::IOException(mFile.message(
                "the chunks end at byte " + std::to_string(offset) + " after " + std::to_string(firstPoint) +
                " of the " + std::to_string(header.pointCount) + " points of the header"));
        }
        const std::uint64_t available = end - offset;
        std::uint64_t points =
            std::min<std::uint64_t>(mDescription.chunkSize, header.pointCount - firstPoint);
        std::uint64_t size = 0;
        if (layered) {
            bytes = mFile.readAt(
                offset, narrowed(mFile, std::min<std::uint64_t>(available, layeredHeaderBound), chunk),
                chunk);
            const std::optional<std::uint32_t> stated = sizes.statedPointCount(bytes.data(), bytes.size());
            const std::optional<std::uint64_t> statedSize = sizes.statedSize(bytes.data(), bytes.size());
            if (!stated || !statedSize || *statedSize > available || *stated == 0) {
                throw Core::IOException(mFile.message(chunk + " is truncated or states no points"));
            }
            if (variable) {
                points = std::min<std::uint64_t>(*stated, header.pointCount - firstPoint);
            }
            size = *statedSize;
        } else {
            // Most chunks are far smaller than their raw records; read the rest of the file only when not.
            std::uint64_t window = std::min(available, points * mRecordLength + SEARCH_SLACK);
            for (;;) {
                bytes = mFile.readAt(offset, narrowed(mFile, window, chunk), chunk);
                try {
                    size = Laz::decodeChunk(mBuild, mDescription, mRecordLength, bytes.data(), bytes.size(),
                                            points, records);
                    break;
                } catch (const ChunkFault& fault) {
                    if (window == available) {
                        throw Core::IOException(mFile.message(chunk + " is " + fault.what() + " (at byte " +
                                                              std::to_string(offset + fault.offset()) + ")"));
                    }
                    window = available;
                }
            }
        }
        mChunks.push_back({firstPoint, points, offset, size});
        firstPoint += points;
        offset += size;
    }
    keepPoints(header.pointCount);
}

void LazChunkReader::keepPoints(std::uint64_t pointCount) {
    std::size_t kept = 0;
    for (LazChunk& chunk : mChunks) {
        if (chunk.firstPoint >= pointCount) {
            break;
        }
        if (chunk.pointCount > pointCount - chunk.firstPoint) {
            chunk.pointCount = pointCount - chunk.firstPoint;
            mCutToHeader = true;
        }
        ++kept;
        if (chunk.pointCount > std::numeric_limits<std::size_t>::max() / mRecordLength) {
            throw Core::IOException(mFile.message(
                "chunk " + std::to_string(kept - 1) + " (byte " + std::to_string(chunk.byteOffset) +
                ") states " + std::to_string(chunk.pointCount) + " points, more than this machine can hold"));
        }
    }
    mCutToHeader = mCutToHeader || kept < mChunks.size();
    mChunks.resize(kept);
    std::uint64_t held = 0;
    for (const LazChunk& chunk : mChunks) {
        held += chunk.pointCount;
    }
    if (held < pointCount) {
        throw Core::IOException(mFile.message("the chunks hold " + std::to_string(held) +
                                              " points, fewer than the " + std::to_string(pointCount) +
                                              " that the header announces"));
    }
}

void LazChunkReader::decodeChunk(std::size_t index, std::vector<std::uint8_t>& records,
                                 std::uint64_t points) const {
    if (index >= mChunks.size()) {
        throw Core::IOException(mFile.message("no chunk " + std::to_string(index) + " among the " +
                                              std::to_string(mChunks.size()) + " chunks"));
    }
    const LazChunk& chunk = mChunks[index];
    const std::string name = "chunk " + std::to_string(index) + " of " + std::to_string(mChunks.size()) +
                             " at byte " + std::to_string(chunk.byteOffset);
    const std::vector<std::uint8_t> bytes =
        mFile.readAt(chunk.byteOffset, narrowed(mFile, chunk.byteCount, name), name);
    try {
        Laz::decodeChunk(mBuild, mDescription, mRecordLength, bytes.data(), bytes.size(),
                         std::min(points, chunk.pointCount), records);
    } catch (const ChunkFault& fault) {
        throw Core::IOException(mFile.message(name + " is " + fault.what() + " (at byte " +
                                              std::to_string(chunk.byteOffset + fault.offset()) + ")"));
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
