#include "LazPointData.h"

#include "Laz/CopyableChunks.h"
#include "OutputFile.h"
#include "Raw/ByteCursor.h"

#include <array>
#include <limits>
#include <stdexcept>
#include <utility>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr std::size_t TABLE_OFFSET_SIZE = 8;

} // namespace

LazPointData::LazPointData(OutputFile& file, std::string path, const Laz::LazDescription& description,
                           std::uint16_t recordLength, std::uint64_t pointDataOffset,
                           std::uint64_t chunkSizeOffset, std::size_t threads,
                           std::shared_ptr<LasCompressionThreads> sharedThreads)
    : mFile(file)
    , mPath(std::move(path))
    , mDescription(description)
    , mRecordLength(recordLength)
    , mEncoder(description, recordLength)
    , mPointDataOffset(pointDataOffset)
    , mChunkSizeOffset(chunkSizeOffset)
    , mThreads(threads)
    , mSharedThreads(std::move(sharedThreads))
    , mOffset(pointDataOffset + TABLE_OFFSET_SIZE)
    , mDeliver([this](std::vector<std::uint8_t>& chunk, std::uint32_t points) { write(chunk, points); }) {}

LazPointData::~LazPointData() = default;

bool LazPointData::begin() {
    // Unknown until the chunks are written: -1 says "no table" to a reader of an unfinished file.
    std::array<std::uint8_t, TABLE_OFFSET_SIZE> placeholder{};
    placeholder.fill(0xFF);
    if (!mFile.write(placeholder.data(), placeholder.size())) {
        mError = mPath + ": " + mFile.error();
        return false;
    }
    return true;
}

void LazPointData::write(std::vector<std::uint8_t>& chunk, std::uint32_t points) {
    if (chunk.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument("chunk " + std::to_string(mChunks.size()) + " takes " +
                                    std::to_string(chunk.size()) + " bytes, more than a chunk table counts");
    }
    if (!mFile.write(chunk.data(), chunk.size())) {
        throw std::runtime_error(mFile.error());
    }
    mChunks.push_back({points, static_cast<std::uint32_t>(chunk.size())});
    mOffset += chunk.size();
}

bool LazPointData::add(std::vector<std::uint8_t>& records, std::uint32_t points, bool last) {
    try {
        if (!mPipeline && mSharedThreads && !last) {
            mPipeline = std::make_unique<Laz::ChunkEncodingPipeline>(mEncoder, *mSharedThreads);
        } else if (!mPipeline && mThreads > 1 && !last) {
            mPipeline = std::make_unique<Laz::ChunkEncodingPipeline>(mEncoder, mThreads);
        }
        if (mPipeline) {
            mPipeline->submit(records, points, mDeliver);
        } else {
            std::vector<std::uint8_t> chunk = mEncoder.encode(records.data(), points);
            write(chunk, points);
        }
        return true;
    } catch (const std::exception& failure) {
        return fail(failure);
    }
}

bool LazPointData::canCopyFrom(const Laz::CopyableChunks& source) const {
    const Laz::LazDescription& theirs = source.description();
    return source.recordLength() == mRecordLength && theirs.compressor == mDescription.compressor &&
           theirs.items == mDescription.items;
}

bool LazPointData::copy(const Laz::CopyableChunks& source, std::size_t chunk,
                        std::vector<std::uint8_t>& records, std::uint32_t points) {
    try {
        source.read(chunk, mCopied);
        // A layered chunk states its count after its first record; point-wise ones decode as counted.
        const bool counted = mDescription.compressor != Laz::Compressor::LayeredChunked ||
                             (mCopied.size() >= mRecordLength + sizeof(std::uint32_t) &&
                              Raw::load<std::uint32_t>(mCopied.data() + mRecordLength) == points);
        if (!counted) {
            return add(records, points, false);
        }
        if (mPipeline) {
            mPipeline->submitCompressed(mCopied, points, mDeliver);
        } else {
            write(mCopied, points);
        }
        return true;
    } catch (const std::exception& failure) {
        return fail(failure);
    }
}

bool LazPointData::fail(const std::exception& failure) {
    mError = mPath + ": " + failure.what();
    return false;
}

bool LazPointData::finish() {
    try {
        if (mPipeline) {
            mPipeline->drain(mDeliver);
            mPipeline.reset();
        }
        const bool variable = Laz::chunksStateTheirCounts(mChunks, mDescription.chunkSize);
        const std::vector<std::uint8_t> table = Laz::encodeChunkTable(mChunks, variable);
        std::array<std::uint8_t, TABLE_OFFSET_SIZE> offset{};
        Raw::store(offset.data(), static_cast<std::int64_t>(mOffset));
        if (!mFile.write(table.data(), table.size()) || !mFile.seek(mPointDataOffset) ||
            !mFile.write(offset.data(), offset.size())) {
            throw std::runtime_error(mFile.error());
        }
        if (variable) {
            std::array<std::uint8_t, sizeof(std::uint32_t)> chunkSize{};
            Raw::store(chunkSize.data(), Laz::LazDescription::VARIABLE_CHUNK_SIZE);
            if (!mFile.seek(mChunkSizeOffset) || !mFile.write(chunkSize.data(), chunkSize.size())) {
                throw std::runtime_error(mFile.error());
            }
        }
        return true;
    } catch (const std::exception& failure) {
        return fail(failure);
    }
}

} // namespace Orvid::FileIoInterface::Las
