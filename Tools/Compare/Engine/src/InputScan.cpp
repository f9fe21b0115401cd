#include "InputScan.h"

#include "Parallel.h"
#include "PointTallying.h"

#include <algorithm>
#include <mutex>

namespace Orvid::Compare::Engine {

namespace {

/// Records per scanning task: a multiple of the sample stride, so that samples fall inside tasks.
constexpr std::uint64_t PIECE = InputScan::SAMPLE_STRIDE * 32;

struct Piece {
    SecondaryKeyTally keys;
    /// The first primary word at or after each sample position of the piece, inside the piece;
    /// `NAN_PRIMARY` when the rest of the piece has none.
    std::vector<std::uint64_t> samples;
    RecordTally points;
    std::uint64_t below = 0;
    /// Points with a time that is a number, per secondary word.
    std::array<std::uint64_t, SECONDARY_COUNT> bySecondary{};
};

} // namespace

InputScan::InputScan(const Input& input, bool byChannel, unsigned threads,
                     const std::function<void(std::uint64_t points)>& advance, std::uint64_t countBelow)
    : mPoints(input.size()) {
    const std::uint64_t pieceCount = (mPoints + PIECE - 1) / PIECE;
    std::vector<Piece> pieces(static_cast<std::size_t>(pieceCount));
    std::mutex progressMutex;
    runTasks(threads, pieces.size(), [&](std::size_t index) {
        Piece& piece = pieces[index];
        const std::uint64_t begin = index * PIECE;
        const std::uint64_t end = std::min(begin + PIECE, mPoints);
        piece.samples.assign(static_cast<std::size_t>((end - begin + SAMPLE_STRIDE - 1) / SAMPLE_STRIDE),
                             NAN_PRIMARY);
        input.forEachRecord(
            begin, end,
            [&](std::uint64_t position, const std::uint8_t* record,
                const FileIoInterface::Las::PointRecords& records) {
                piece.points.add(records, record);
                const Key key = keyOf(input, records, record, byChannel);
                piece.below += key.primary < countBelow ? 1 : 0;
                if (!piece.keys.add(key)) {
                    return;
                }
                ++piece.bySecondary[static_cast<std::size_t>(key.secondary)];
                std::uint64_t& sample =
                    piece.samples[static_cast<std::size_t>((position - begin) / SAMPLE_STRIDE)];
                if (sample == NAN_PRIMARY) {
                    sample = key.primary;
                }
            });
        if (advance) {
            const std::lock_guard<std::mutex> lock(progressMutex);
            advance(end - begin);
        }
    });

    SecondaryKeyTally keys;
    RecordTally points;
    for (const Piece& piece : pieces) {
        keys.append(piece.keys);
        points.add(piece.points);
        mBelow += piece.below;
        mSamples.insert(mSamples.end(), piece.samples.begin(), piece.samples.end());
    }
    include(mExtent, points.extent);
    mTally = points.tally;
    takeKeys(keys, input);
    if (hasTimes() && mNanTimes == 0 && mLowest == mHighest) {
        mPieceCounts.records = PIECE;
        for (const Piece& piece : pieces) {
            mPieceCounts.bySecondary.push_back(piece.bySecondary);
        }
    }
    // A sample whose stride holds only NaN times takes the next stride's first key.
    std::uint64_t following = NAN_PRIMARY;
    for (auto sample = mSamples.rbegin(); sample != mSamples.rend(); ++sample) {
        if (*sample == NAN_PRIMARY) {
            *sample = following;
        }
        following = *sample;
    }
}

InputScan::InputScan(const Input& input, const std::vector<RunKeys>& runs, bool byChannel)
    : mPoints(input.size()) {
    SecondaryKeyTally keys;
    for (const RunKeys& run : runs) {
        keys.append(SecondaryKeyTally::of(run));
    }
    takeKeys(keys, input);
    if (!mInKeyOrder) {
        return;
    }
    // In key order, the first key that is a number at or after a sample position is the sample: found
    // by reading a record or so per stride rather than every record.
    mSamples.assign(static_cast<std::size_t>((mPoints + SAMPLE_STRIDE - 1) / SAMPLE_STRIDE), NAN_PRIMARY);
    std::uint64_t next = 0;
    for (std::size_t sample = 0; sample < mSamples.size(); ++sample) {
        const std::uint64_t position = std::max(next, sample * SAMPLE_STRIDE);
        next = input.firstRecord(position, mPoints,
                                 [&](std::uint64_t, const std::uint8_t* record,
                                     const FileIoInterface::Las::PointRecords& records) {
                                     const Key key = keyOf(input, records, record, byChannel);
                                     mSamples[sample] = key.primary;
                                     return key.primary != NAN_PRIMARY;
                                 });
    }
}

void InputScan::takeKeys(const SecondaryKeyTally& keys, const Input& input) {
    mNanTimes = keys.keys.nanTimes;
    mNanBySecondary = keys.nanBySecondary;
    mInKeyOrder = keys.keys.inKeyOrder;
    mLowest = keys.keys.lowest;
    mHighest = keys.keys.highest;
    // The keys' bounds, less their offset, give the time range; keys without times give none.
    if (hasTimes() && !input.timesIgnored()) {
        mTally.lowestTime = timeOf(mLowest) - input.timeOffset();
        mTally.highestTime = timeOf(mHighest) - input.timeOffset();
    }
}

std::uint64_t InputScan::lowerBound(const Input& input, std::uint64_t primary, bool byChannel) const {
    // Every point from sample `after` on has a key not below `primary`, and the stride before it
    // holds one below: the bound follows the last of those. Read backwards from the sample, it is
    // found at once when the bound lies at a sample, as chunk boundaries on this input's samples do.
    const auto after = static_cast<std::uint64_t>(
        std::lower_bound(mSamples.begin(), mSamples.end(), primary) - mSamples.begin());
    if (after == 0) {
        return 0;
    }
    const std::uint64_t begin = (after - 1) * SAMPLE_STRIDE;
    const std::uint64_t end = std::min(after * SAMPLE_STRIDE, mPoints);
    const std::uint64_t below = input.lastRecord(
        begin, end,
        [&](std::uint64_t, const std::uint8_t* record, const FileIoInterface::Las::PointRecords& records) {
            const Key key = keyOf(input, records, record, byChannel);
            return key.primary != NAN_PRIMARY && key.primary < primary;
        });
    return below == end ? begin : below + 1;
}

} // namespace Orvid::Compare::Engine
