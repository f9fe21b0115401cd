#pragma once

#include "Input.h"
#include "KeyEncoding.h"
#include "KeyIndex.h"
#include "PointTallying.h"

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/RunKeys.h>
#include <CompareEngine/Window.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace Orvid::Compare::Engine {

/// What one pass over an input's keys tells: counts, the range of its times, whether it is in key
/// order, and for an input in key order, sparse samples to find a key's position quickly.
class InputScan {
public:
    /// Records between two samples.
    static constexpr std::uint64_t SAMPLE_STRIDE = 2048;

    /// Reads the key of every record of `input` on up to `threads` threads; `advance(points)` is
    /// called, one thread at a time, as points are read. Counts the points whose primary word is below
    /// `countBelow` (`pointsBelow`).
    InputScan(const Input& input, bool byChannel, unsigned threads,
              const std::function<void(std::uint64_t points)>& advance, std::uint64_t countBelow = 0);

    /// Takes what the keys of `input`'s runs tell (`runs`, in reading order) for a scan of them, reading
    /// only the records that the samples need. The extent and tally stay empty: the facts of the
    /// whole inputs that the runs were cut from stand for them.
    InputScan(const Input& input, const std::vector<RunKeys>& runs, bool byChannel);

    std::uint64_t points() const { return mPoints; }
    /// The points below the primary word given to count them; none for a scan of runs.
    std::uint64_t pointsBelow() const { return mBelow; }
    std::uint64_t nanTimes() const { return mNanTimes; }
    /// NaN-time points per secondary word.
    const std::array<std::uint64_t, SECONDARY_COUNT>& nanTimesBySecondary() const { return mNanBySecondary; }
    bool inKeyOrder() const { return mInKeyOrder; }
    /// Whether some point has a time that is a number; the two bounds below are then meaningful.
    bool hasTimes() const { return mPoints > mNanTimes; }
    std::uint64_t lowestPrimary() const { return mLowest; }
    std::uint64_t highestPrimary() const { return mHighest; }
    /// The XY extent of the points with finite coordinates.
    const PlanarExtent& extent() const { return mExtent; }
    /// What the points say that their headers should agree with.
    const PointTally& tally() const { return mTally; }

    /// For an input in key order: a position that parts its points with times at `primary`, those
    /// before it with keys below, those from it on with keys not below; points of NaN time may lie on
    /// either side of it.
    std::uint64_t lowerBound(const Input& input, std::uint64_t primary, bool byChannel) const;
    /// The primary word of the first point at or after each sample position (k x `SAMPLE_STRIDE`);
    /// `NAN_PRIMARY` where none follows.
    const std::vector<std::uint64_t>& samples() const { return mSamples; }
    /// For an input whose points all have one time that is a number, read record by record, and a
    /// `window` of that time alone: its points per secondary word, piece by piece; null otherwise.
    const PieceCounts* countsIn(const Window& window) const {
        const bool oneTimeWindow =
            !window.nanTimes && window.lowest == mLowest && window.end - window.lowest == 1;
        return oneTimeWindow && !mPieceCounts.bySecondary.empty() ? &mPieceCounts : nullptr;
    }

private:
    /// Takes the counts, order and bounds of the keys tallied in `keys`.
    void takeKeys(const SecondaryKeyTally& keys, const Input& input);

    std::uint64_t mPoints = 0;
    std::uint64_t mBelow = 0;
    std::uint64_t mNanTimes = 0;
    std::array<std::uint64_t, SECONDARY_COUNT> mNanBySecondary{};
    bool mInKeyOrder = true;
    std::uint64_t mLowest = NAN_PRIMARY;
    std::uint64_t mHighest = 0;
    std::vector<std::uint64_t> mSamples;
    PlanarExtent mExtent;
    PointTally mTally;
    PieceCounts mPieceCounts;
};

} // namespace Orvid::Compare::Engine
