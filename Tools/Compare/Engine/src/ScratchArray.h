#pragma once

#include "MappedMemory.h"

#include <cstddef>
#include <type_traits>

namespace Orvid::Compare::Engine {

/// An array of trivial values for work that writes all of them before it reads any: its room is made
/// without writing it, so that fresh pages are written once rather than zeroed first, on large pages
/// (see `MappedMemory`). Room is kept for smaller sizes; values do not survive a size beyond it.
template <typename T>
class ScratchArray {
    static_assert(std::is_trivial_v<T>, "values are left unwritten");

public:
    /// Holds `size` values, unwritten where room had to be made.
    void resize(std::size_t size) {
        if (size > mRoom) {
            mMemory = MappedMemory(size * sizeof(T));
            mValues = static_cast<T*>(mMemory.data());
            mRoom = size;
        }
        mSize = size;
    }

    std::size_t size() const { return mSize; }
    T& operator[](std::size_t index) { return mValues[index]; }
    const T& operator[](std::size_t index) const { return mValues[index]; }
    T* begin() { return mValues; }
    T* end() { return mValues + mSize; }
    const T* begin() const { return mValues; }
    const T* end() const { return mValues + mSize; }

private:
    MappedMemory mMemory;
    T* mValues = nullptr;
    std::size_t mSize = 0;
    std::size_t mRoom = 0;
};

} // namespace Orvid::Compare::Engine
