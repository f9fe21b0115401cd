#pragma once

#include "HugePages.h"

#include <cstddef>
#include <memory>
#include <type_traits>

namespace Orvid::Compare::Engine {

/// An array of trivial values for work that writes all of them before it reads any: its room is made
/// without writing it, so that fresh pages are written once rather than zeroed first, and on large pages
/// (see `adviseHugePages`). Room is kept for smaller sizes; values do not survive a size beyond it.
template <typename T>
class ScratchArray {
    static_assert(std::is_trivial_v<T>, "values are left unwritten");

public:
    /// Holds `size` values, unwritten where room had to be made.
    void resize(std::size_t size) {
        if (size > mRoom) {
            mValues.reset(new T[size]);
            adviseHugePages(mValues.get(), size * sizeof(T));
            mRoom = size;
        }
        mSize = size;
    }

    std::size_t size() const { return mSize; }
    T& operator[](std::size_t index) { return mValues[index]; }
    const T& operator[](std::size_t index) const { return mValues[index]; }
    const T* begin() const { return mValues.get(); }
    const T* end() const { return mValues.get() + mSize; }

private:
    std::unique_ptr<T[]> mValues;
    std::size_t mSize = 0;
    std::size_t mRoom = 0;
};

} // namespace Orvid::Compare::Engine
