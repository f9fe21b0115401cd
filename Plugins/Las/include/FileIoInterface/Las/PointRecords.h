#pragma once

#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/PointRecordsOptions.h>
#include <FileIoInterface/Las/RawRecordRun.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface::Las {

class PointCodec;
class RecordBlockSource;

/// Random access to the raw point records of one LAS file, by position from 0 to `size() - 1`, for
/// programs that visit records in an order of their own (by key, say) or read only a few fields of
/// each. The records of a stored file are mapped read-only: they live in the page cache, not in the
/// program's anonymous memory. Records are read in blocks (a stored file is one block); `Cursor`
/// keeps the block it last read, so a program that visits records through one cursor per thread
/// reads each block once per visit of it.
///
/// The object is immutable once made: every const member may be called from several threads at once.
class FILEIOINTERFACE_LAS_EXPORT PointRecords {
public:
    /// Reads and checks the header (as `readLasHeader` does) and maps the point records. A LAZ file is
    /// decoded first (unless `options.lazAccess` says chunk by chunk), on `options.decodingThreads`
    /// threads, into an unnamed temporary file of the records' uncompressed size in the system's
    /// temporary folder, and mapped from there. Throws Core::IOException, with a message that starts
    /// with the path, when the path is not a regular file, the header is not one this plug-in reads, a
    /// LAZ chunk cannot be decoded, or the records cannot be mapped.
    explicit PointRecords(const std::filesystem::path& path, const PointRecordsOptions& options = {});
    /// Records of the LAS file `path` kept elsewhere: its header is read (as `readLasHeader` does),
    /// its records are `runs` in order, one block per run that holds records, mapped read-only;
    /// `size()` is their total. Throws Core::IOException, with a message that starts with the path of
    /// the file at fault, when the header cannot be read or a run cannot be mapped.
    PointRecords(const std::filesystem::path& path, const std::vector<RawRecordRun>& runs);
    ~PointRecords();
    PointRecords(PointRecords&&) noexcept;
    PointRecords& operator=(PointRecords&&) noexcept;
    PointRecords(const PointRecords&) = delete;
    PointRecords& operator=(const PointRecords&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    const LasHeader& header() const { return mHeader; }
    /// Number of point records.
    std::uint64_t size() const { return mHeader.pointCount; }
    /// Bytes per record, extra bytes included.
    std::size_t recordLength() const { return mRecordLength; }
    /// All records one after the other, when the file holds them so (a stored file, mapped); null
    /// when records come block by block. For hints such as prefetching; read through a `Cursor`.
    const std::uint8_t* contiguousRecords() const { return mContiguous; }

    /// The bytes of record `index` (less than `size()`) where they lie in memory already (a mapped
    /// file or run), for hints such as prefetching; null when its block would have to be read or
    /// decoded. Read through a `Cursor`.
    const std::uint8_t* recordInPlace(std::uint64_t index) const {
        if (mContiguous != nullptr) {
            return mContiguous + index * mRecordLength;
        }
        if (mBlocksInPlace.empty()) {
            return nullptr;
        }
        const std::size_t block = blockOf(index);
        const std::uint8_t* bytes = mBlocksInPlace[block];
        return bytes != nullptr ? bytes + (index - mBlockStarts[block]) * mRecordLength : nullptr;
    }

    /// Number of blocks in which records are read: 1 for a stored file (0 without records), one per
    /// chunk for a LAZ file read chunk by chunk.
    std::size_t blockCount() const { return mBlockStarts.size(); }
    /// Position of the first record of block `block` (less than `blockCount()`).
    std::uint64_t blockStart(std::size_t block) const { return mBlockStarts[block]; }
    /// The first `count` records (at least 1, at most the block's) of block `block`, in `scratch` or in
    /// place; of a compressed block, only these are decoded. Throws Core::IOException when the block
    /// cannot be read.
    const std::uint8_t* blockHead(std::size_t block, std::uint64_t count,
                                  std::vector<std::uint8_t>& scratch) const;

    /// GPS time of the record at `record` (`recordLength()` bytes); 0.0 for formats without one.
    double gpsTimeAt(const std::uint8_t* record) const {
        double time = 0.0;
        if (mTimeOffset != 0) {
            std::memcpy(&time, record + mTimeOffset, sizeof(time));
        }
        return time;
    }
    /// Real x and y of the record at `record`, as `decodeAt` gives them.
    std::array<double, 2> xyAt(const std::uint8_t* record) const {
        std::int32_t stored[2];
        std::memcpy(stored, record + POSITION_OFFSET, sizeof(stored));
        return {static_cast<double>(stored[0]) * mHeader.scale.x + mHeader.offset.x,
                static_cast<double>(stored[1]) * mHeader.scale.y + mHeader.offset.y};
    }
    /// Real z of the record at `record`, as `decodeAt` gives it.
    double zAt(const std::uint8_t* record) const {
        std::int32_t stored = 0;
        std::memcpy(&stored, record + POSITION_OFFSET + 2 * sizeof(stored), sizeof(stored));
        return static_cast<double>(stored) * mHeader.scale.z + mHeader.offset.z;
    }
    /// Number of returns of the pulse of the record at `record`: 3 bits in formats 0 to 5, 4 bits in 6
    /// to 10.
    std::uint8_t numberOfReturnsAt(const std::uint8_t* record) const {
        return mExtended ? static_cast<std::uint8_t>(record[RETURNS_OFFSET] >> 4)
                         : static_cast<std::uint8_t>((record[RETURNS_OFFSET] >> 3) & 0x07u);
    }
    /// Return number of the record at `record`: 3 bits in formats 0 to 5, 4 bits in 6 to 10.
    std::uint8_t returnNumberAt(const std::uint8_t* record) const {
        return static_cast<std::uint8_t>(record[RETURNS_OFFSET] & mReturnMask);
    }
    /// Scanner channel of the record at `record`: 0 to 3 in formats 6 to 10, always 0 before.
    std::uint8_t scannerChannelAt(const std::uint8_t* record) const {
        return mExtended ? static_cast<std::uint8_t>((record[FLAGS_OFFSET] >> 4) & 0x03u) : std::uint8_t{0};
    }
    /// Fills `point` from the record at `record`, exactly as `LasReader::readPoint` would, reusing the
    /// point's storage.
    void decodeAt(const std::uint8_t* record, LasPoint& point) const;

    /// The same, for the record at position `index` (less than `size()`).
    double gpsTime(std::uint64_t index) const { return gpsTimeAt(Cursor(*this).record(index)); }
    std::uint8_t returnNumber(std::uint64_t index) const {
        return returnNumberAt(Cursor(*this).record(index));
    }
    std::uint8_t scannerChannel(std::uint64_t index) const {
        return scannerChannelAt(Cursor(*this).record(index));
    }
    void decode(std::uint64_t index, LasPoint& point) const { decodeAt(Cursor(*this).record(index), point); }

    /// Reads records through the block that holds them, keeping that block for the next record. One
    /// cursor per thread; it refers to its `PointRecords`, which must outlive it.
    class FILEIOINTERFACE_LAS_EXPORT Cursor {
    public:
        explicit Cursor(const PointRecords& records);

        /// The bytes of record `index` (less than `size()`), valid until this cursor reads another
        /// block. Throws Core::IOException when its block cannot be read.
        const std::uint8_t* record(std::uint64_t index) {
            if (index - mFirst < mCount) {
                return mBytes + (index - mFirst) * mRecordLength;
            }
            return load(index);
        }

        /// Lets go of the block read last, so that a cache of decoded blocks that dropped it frees it
        /// now rather than when this cursor moves on; the next record reads its block again.
        void release() {
            mShared.reset();
            mBytes = nullptr;
            mFirst = 0;
            mCount = 0;
        }

    private:
        const std::uint8_t* load(std::uint64_t index);

        const PointRecords* mRecords;
        std::vector<std::uint8_t> mScratch;
        /// The block read last when a cache of decoded blocks shares it.
        std::shared_ptr<const std::vector<std::uint8_t>> mShared;
        const std::uint8_t* mBytes = nullptr;
        std::uint64_t mFirst = 0;
        std::uint64_t mCount = 0;
        std::size_t mRecordLength = 0;
    };

private:
    /// Reads the header of `path` and prepares the decoding of its records.
    void readHeader(const std::filesystem::path& path);
    /// Takes the block starts from `mSource`.
    void indexBlocks();
    /// The block that holds record `index` (less than `size()`): the last that starts at or before it.
    /// A search without branches, since records read in random order would mispredict them.
    std::size_t blockOf(std::uint64_t index) const {
        const std::uint64_t* first = mBlockStarts.data();
        for (std::size_t count = mBlockStarts.size(); count > 1;) {
            const std::size_t half = count / 2;
            first = first[half] <= index ? first + half : first;
            count -= half;
        }
        return static_cast<std::size_t>(first - mBlockStarts.data());
    }

    /// x and y are the first fields of every point format.
    static constexpr std::size_t POSITION_OFFSET = 0;
    static constexpr std::size_t RETURNS_OFFSET = 14;
    static constexpr std::size_t FLAGS_OFFSET = 15;

    std::filesystem::path mPath;
    LasHeader mHeader;
    std::unique_ptr<PointCodec> mCodec;
    std::unique_ptr<RecordBlockSource> mSource;
    /// Start of each block, ascending, for finding the block of a record.
    std::vector<std::uint64_t> mBlockStarts;
    /// Per block, its bytes where the source holds them in place; empty when no block is.
    std::vector<const std::uint8_t*> mBlocksInPlace;
    const std::uint8_t* mContiguous = nullptr;
    std::size_t mRecordLength = 0;
    std::size_t mTimeOffset = 0;
    std::uint8_t mReturnMask = 0x07u;
    bool mExtended = false;
};

} // namespace Orvid::FileIoInterface::Las
