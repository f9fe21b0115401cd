#include <FileIoInterface/Las/PointRecords.h>

#include "ExtraBytesLayout.h"
#include "Laz/ChunkByChunkLazFile.h"
#include "Laz/DecodedLazFile.h"
#include "MappedRecordBlocks.h"
#include "PointCodec.h"
#include "Raw/PointFormat.h"
#include "RecordRunBlocks.h"

#include <Core/IOException.h>

#include <algorithm>
#include <sys/stat.h>

namespace Orvid::FileIoInterface::Las {

namespace {

void requireRegularFile(const std::filesystem::path& path) {
    // Checked before the header is read: a FIFO or a device would block or never end.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw Core::IOException(path.string() + ": is not a regular file: its records cannot be mapped");
    }
}

} // namespace

PointRecords::PointRecords(const std::filesystem::path& path, const PointRecordsOptions& options)
    : mPath(path) {
    readHeader(path);
    if (mHeader.compressed && options.lazAccess == LazAccess::chunkByChunk) {
        mSource = std::make_unique<Laz::ChunkByChunkLazFile>(path, mHeader, options.chunkCache);
    } else if (mHeader.compressed) {
        mSource = std::make_unique<Laz::DecodedLazFile>(path, mHeader, options);
    } else {
        mSource = std::make_unique<MappedRecordBlocks>(path, mHeader.offsetToPointData, mHeader.pointCount,
                                                       mRecordLength);
    }
    indexBlocks();
}

PointRecords::PointRecords(const std::filesystem::path& path, const std::vector<RawRecordRun>& runs)
    : mPath(path) {
    readHeader(path);
    mSource = std::make_unique<RecordRunBlocks>(runs, mRecordLength);
    mHeader.pointCount = 0;
    for (const RawRecordRun& run : runs) {
        mHeader.pointCount += run.count;
    }
    indexBlocks();
}

void PointRecords::readHeader(const std::filesystem::path& path) {
    requireRegularFile(path);
    mHeader = readLasHeader(path);
    const Raw::PointFormat& format = Raw::POINT_FORMATS[mHeader.pointFormat];
    mRecordLength = mHeader.pointRecordLength;
    mTimeOffset = format.gpsTime;
    mExtended = format.extended;
    mReturnMask = format.extended ? 0x0Fu : 0x07u;
    mCodec = std::make_unique<PointCodec>(format, mHeader.scale, mHeader.offset,
                                          ExtraBytesLayout(mHeader.extraAttributes, path.string()));
}

void PointRecords::indexBlocks() {
    mContiguous = mSource->contiguousBytes();
    mBlockStarts.reserve(mSource->blockCount());
    bool anyInPlace = false;
    for (std::size_t block = 0; block < mSource->blockCount(); ++block) {
        mBlockStarts.push_back(mSource->block(block).first);
        mBlocksInPlace.push_back(mSource->blockInPlace(block));
        anyInPlace = anyInPlace || mBlocksInPlace.back() != nullptr;
    }
    if (!anyInPlace) {
        mBlocksInPlace.clear();
    }
}

PointRecords::~PointRecords() = default;
PointRecords::PointRecords(PointRecords&&) noexcept = default;
PointRecords& PointRecords::operator=(PointRecords&&) noexcept = default;

void PointRecords::decodeAt(const std::uint8_t* record, LasPoint& point) const {
    point.values.clear();
    mCodec->decode(record, point);
}

const std::uint8_t* PointRecords::blockHead(std::size_t block, std::uint64_t count,
                                            std::vector<std::uint8_t>& scratch) const {
    return mSource->blockHead(block, count, scratch);
}

PointRecords::Cursor::Cursor(const PointRecords& records)
    : mRecords(&records)
    , mRecordLength(records.mRecordLength) {
    if (const std::uint8_t* bytes = records.mSource->contiguousBytes()) {
        mBytes = bytes;
        mCount = records.size();
    }
}

const std::uint8_t* PointRecords::Cursor::load(std::uint64_t index) {
    const std::vector<std::uint64_t>& starts = mRecords->mBlockStarts;
    if (index >= mRecords->size() || starts.empty()) {
        throw Core::IOException(mRecords->mPath.string() + ": no point record " + std::to_string(index) +
                                " (the file holds " + std::to_string(mRecords->size()) + ")");
    }
    const std::size_t block = mRecords->blockOf(index);
    const std::uint8_t* inPlace =
        mRecords->mBlocksInPlace.empty() ? nullptr : mRecords->mBlocksInPlace[block];
    if (inPlace != nullptr) {
        // Blocks in place follow each other without gaps: reading a leg of many runs in random order
        // switches blocks at almost every record, and is spared the source's calls.
        mBytes = inPlace;
        mFirst = starts[block];
        mCount = (block + 1 < starts.size() ? starts[block + 1] : mRecords->size()) - mFirst;
    } else {
        const RecordBlock range = mRecords->mSource->block(block);
        mShared = mRecords->mSource->sharedBlock(block);
        mBytes = mShared ? mShared->data() : mRecords->mSource->blockBytes(block, mScratch);
        mFirst = range.first;
        mCount = range.count;
    }
    return mBytes + (index - mFirst) * mRecordLength;
}

} // namespace Orvid::FileIoInterface::Las
