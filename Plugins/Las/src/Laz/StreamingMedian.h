#pragma once

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// An approximate median of the recent coordinate differences: five sorted values, of which a new
/// value pushes out the largest or the smallest in turn, so that old values age out on both sides.
class StreamingMedian5 {
public:
    void reset() {
        mValues = {};
        mDropLargest = true;
    }

    std::int32_t median() const { return mValues[2]; }

    void add(std::int32_t value) {
        std::array<std::int32_t, 5>& v = mValues;
        if (mDropLargest) {
            // v[4] goes; the new value lands among the three lowest or in the upper pair.
            if (value < v[2]) {
                v[4] = v[3];
                v[3] = v[2];
                if (value < v[0]) {
                    v[2] = v[1];
                    v[1] = v[0];
                    v[0] = value;
                } else if (value < v[1]) {
                    v[2] = v[1];
                    v[1] = value;
                } else {
                    v[2] = value;
                }
            } else {
                if (value < v[3]) {
                    v[4] = v[3];
                    v[3] = value;
                } else {
                    v[4] = value;
                }
                mDropLargest = false;
            }
        } else {
            // v[0] goes; the new value lands among the three highest or in the lower pair.
            if (v[2] < value) {
                v[0] = v[1];
                v[1] = v[2];
                if (v[4] < value) {
                    v[2] = v[3];
                    v[3] = v[4];
                    v[4] = value;
                } else if (v[3] < value) {
                    v[2] = v[3];
                    v[3] = value;
                } else {
                    v[2] = value;
                }
            } else {
                if (v[1] < value) {
                    v[0] = v[1];
                    v[1] = value;
                } else {
                    v[0] = value;
                }
                mDropLargest = true;
            }
        }
    }

private:
    std::array<std::int32_t, 5> mValues{};
    bool mDropLargest = true;
};

} // namespace Orvid::FileIoInterface::Las::Laz
