#pragma once

#include "KeyEncoding.h"

#include <CompareEngine/Decision.h>
#include <CompareEngine/InputParts.h>

#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// The first point format whose records hold a scanner channel.
constexpr std::uint8_t FIRST_FORMAT_WITH_CHANNELS = 6;

/// One side of a comparison: its legs' records, numbered in reading order over all legs.
class Input {
public:
    /// Opens every leg. Throws Core::IOException for a file that cannot be read, std::invalid_argument
    /// when the legs hold more points than an index entry can number.
    /// `timeOffset` seconds are added to every GPS time of its keys; `options` open each leg (threads
    /// and progress of LAZ decoding, or LAZ legs read chunk by chunk), but those legs that
    /// `decodedInMemory` marks, which are decoded whole into memory.
    explicit Input(const std::vector<std::filesystem::path>& files, double timeOffset = 0.0,
                   const FileIoInterface::Las::PointRecordsOptions& options = {},
                   const std::vector<bool>& decodedInMemory = {});
    /// Opens every leg of `parts`, its records read from its runs. Throws as the constructor above.
    Input(const InputParts& parts, double timeOffset);

    /// Points of the LAZ legs read chunk by chunk.
    std::uint64_t pointsReadByChunk() const;
    /// Decodes the LAZ legs read chunk by chunk whole, with `options`, into the temporary folder, so
    /// that their records can be read in any order; returns their decoded bytes. Throws
    /// Core::IOException as the constructor does.
    std::uint64_t decodeWhole(const FileIoInterface::Las::PointRecordsOptions& options);

    /// From now on every key's time is 0, so that points pair by return number and position alone.
    void ignoreTimes() { mTimesIgnored = true; }
    bool timesIgnored() const { return mTimesIgnored; }
    /// The time that the key of the record at `record` of `records` holds.
    double keyTimeAt(const FileIoInterface::Las::PointRecords& records, const std::uint8_t* record) const {
        return mTimesIgnored ? 0.0 : records.gpsTimeAt(record) + mTimeOffset;
    }

    std::uint64_t size() const { return mStarts.back(); }
    /// Whether some leg's records hold a scanner channel; all points of the others are on channel 0.
    bool hasChannels() const {
        return std::any_of(mLegs.begin(), mLegs.end(), [](const FileIoInterface::Las::PointRecords& leg) {
            return leg.header().pointFormat >= FIRST_FORMAT_WITH_CHANNELS;
        });
    }
    double timeOffset() const { return mTimeOffset; }
    std::size_t legCount() const { return mLegs.size(); }
    const FileIoInterface::Las::PointRecords& leg(std::size_t index) const { return mLegs[index]; }
    /// Position of the first record of leg `index`; `legStart(legCount())` is `size()`.
    std::uint64_t legStart(std::size_t index) const { return mStarts[index]; }
    /// The leg holding `position` (less than `size()`).
    std::size_t legOf(std::uint64_t position) const {
        if (mLegs.size() == 1) {
            return 0;
        }
        return static_cast<std::size_t>(std::upper_bound(mStarts.begin(), mStarts.end(), position) -
                                        mStarts.begin() - 1);
    }
    PointId idOf(std::uint64_t position) const {
        const std::size_t leg = legOf(position);
        return {static_cast<std::uint32_t>(leg), position - mStarts[leg]};
    }

    /// Asks the processor to bring record `position` (less than `size()`) into its caches, when its
    /// bytes lie in memory already. Always inlined: a function that only prefetches counts as pure,
    /// and a call to it would be dropped.
    [[gnu::always_inline]] void prefetch(std::uint64_t position) const {
        const PointId id = idOf(position);
        if (const std::uint8_t* record = mLegs[id.leg].recordInPlace(id.record)) {
            __builtin_prefetch(record);
            __builtin_prefetch(record + mLegs[id.leg].recordLength() - 1);
        }
    }

    /// The bytes of record `id` when its leg lies in memory whole; null otherwise, and for legs read
    /// from runs, whose records are numbered within the runs rather than in their files.
    const std::uint8_t* recordInMemory(const PointId& id) const {
        return mReadFromRuns ? nullptr : mLegs[id.leg].recordInPlace(id.record);
    }

    /// Calls `visit(position, record bytes, leg records)` for every position in [`begin`, `end`), in
    /// order, reading each leg through a cursor of its own.
    template <typename Visit>
    void forEachRecord(std::uint64_t begin, std::uint64_t end, Visit&& visit) const {
        firstRecord(begin, end,
                    [&visit](std::uint64_t position, const std::uint8_t* record,
                             const FileIoInterface::Las::PointRecords& records) {
                        visit(position, record, records);
                        return false;
                    });
    }

    /// The first position in [`begin`, `end`) whose record `accept(position, record bytes, leg records)`
    /// accepts, visiting them in order and none after it; `end` when it accepts none.
    template <typename Accept>
    std::uint64_t firstRecord(std::uint64_t begin, std::uint64_t end, Accept&& accept) const {
        for (std::size_t leg = legOf(begin); begin < end && leg < mLegs.size(); ++leg) {
            const FileIoInterface::Las::PointRecords& records = mLegs[leg];
            FileIoInterface::Las::PointRecords::Cursor cursor(records);
            const std::uint64_t start = mStarts[leg];
            const std::uint64_t stop = std::min(end, mStarts[leg + 1]);
            for (; begin < stop; ++begin) {
                if (accept(begin, cursor.record(begin - start), records)) {
                    return begin;
                }
            }
        }
        return end;
    }

    /// The last position in [`begin`, `end`) whose record `accept(position, record bytes, leg records)`
    /// accepts, visiting them backwards and none before it; `end` when it accepts none.
    template <typename Accept>
    std::uint64_t lastRecord(std::uint64_t begin, std::uint64_t end, Accept&& accept) const {
        std::uint64_t position = end;
        for (std::size_t leg = begin < end ? legOf(end - 1) : 0; position > begin; --leg) {
            const FileIoInterface::Las::PointRecords& records = mLegs[leg];
            FileIoInterface::Las::PointRecords::Cursor cursor(records);
            const std::uint64_t start = std::max(begin, mStarts[leg]);
            while (position > start) {
                --position;
                if (accept(position, cursor.record(position - mStarts[leg]), records)) {
                    return position;
                }
            }
        }
        return end;
    }

private:
    /// Numbers the records of the leg just opened after those before. Throws std::invalid_argument
    /// when the input holds more than an index entry can number.
    void numberLastLeg();

    std::vector<FileIoInterface::Las::PointRecords> mLegs;
    /// Per leg, whether it is a LAZ file read chunk by chunk.
    std::vector<bool> mReadByChunk;
    std::vector<std::uint64_t> mStarts;
    double mTimeOffset = 0.0;
    bool mTimesIgnored = false;
    bool mReadFromRuns = false;
};

/// Reads records of an input by position, one cursor per leg; one per thread.
class InputReader {
public:
    explicit InputReader(const Input& input);

    const std::uint8_t* record(std::uint64_t position, std::size_t leg) {
        return mCursors[leg].record(position - mInput->legStart(leg));
    }
    void decode(std::uint64_t position, std::size_t leg, FileIoInterface::Las::LasPoint& point) {
        mInput->leg(leg).decodeAt(record(position, leg), point);
    }
    std::uint8_t channel(std::uint64_t position) {
        const std::size_t leg = mInput->legOf(position);
        return mInput->leg(leg).scannerChannelAt(record(position, leg));
    }
    /// Lets go of the blocks read last (see `PointRecords::Cursor::release`).
    void release() {
        for (FileIoInterface::Las::PointRecords::Cursor& cursor : mCursors) {
            cursor.release();
        }
    }

private:
    const Input* mInput;
    std::vector<FileIoInterface::Las::PointRecords::Cursor> mCursors;
};

/// The key of the record at `record` of `records` whose time, as pairing takes it, is `time`.
inline Key keyOf(double time, const FileIoInterface::Las::PointRecords& records, const std::uint8_t* record,
                 bool byChannel) {
    return {primaryOf(time),
            secondaryOf(records.returnNumberAt(record), records.scannerChannelAt(record), byChannel)};
}

/// The key of the record at `record` of `records`, a leg of `input`.
inline Key keyOf(const Input& input, const FileIoInterface::Las::PointRecords& records,
                 const std::uint8_t* record, bool byChannel) {
    return keyOf(input.keyTimeAt(records, record), records, record, byChannel);
}

} // namespace Orvid::Compare::Engine
