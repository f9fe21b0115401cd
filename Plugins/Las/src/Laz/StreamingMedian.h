#pragma once

#include "Laz/BranchFree.h"
#include "Laz/DecoderBuild.h"

#include <array>
#include <cstddef>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// An approximate median of the recent coordinate differences: five sorted values, of which a new
/// value pushes out the largest until one lands above the median, then the smallest until one lands
/// below it, so that old values age out on both sides.
class StreamingMedian5 {
public:
    void reset() {
        mValues = {};
        mDropLargest = true;
    }

    std::int32_t median() const { return mValues[2]; }

    void add(std::int32_t value) {
        // The four values kept (the lowest or the highest four), then the new value inserted among
        // them by minima and maxima: where it lands is data-dependent and unpredictable, so no branch
        // may depend on it. Equal values are interchangeable, so the order of ties does not matter.
        const std::array<std::int32_t, 5>& v = mValues;
        const std::size_t from = mDropLargest ? 0u : 1u;
        const std::int32_t a0 = v[from];
        const std::int32_t a1 = v[from + 1];
        const std::int32_t a2 = v[from + 2];
        const std::int32_t a3 = v[from + 3];
        // A value landing in the upper half turns the dropping to the smallest, and one in the lower
        // half back to the largest.
        mDropLargest = std::int64_t{value} < std::int64_t{v[2]} + (mDropLargest ? 0 : 1);
        mValues = {smallerOf(a0, value), largerOf(a0, smallerOf(a1, value)),
                   largerOf(a1, smallerOf(a2, value)), largerOf(a2, smallerOf(a3, value)),
                   largerOf(a3, value)};
    }

private:
    std::array<std::int32_t, 5> mValues{};
    bool mDropLargest = true;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
