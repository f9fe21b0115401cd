#pragma once

#include <cstddef>

namespace Orvid::Compare::Engine {

/// Anonymous memory of its own mapping, apart from the heap, so that its pages return to the system
/// when it goes. From a large page on, it starts and ends on whole large pages (2 MiB), all of them
/// advised to be large when first written: arrays of many MiB, written once and then read in random
/// order, then take a page fault per 2 MiB instead of per 4 KiB, and spare most address translations.
/// A small page left at either end would cost more than its share: in a virtual machine that maps
/// pages through its host, a first write to a small page can cost as much as one to a large page. Only
/// a hint: a system without large pages ignores it.
class MappedMemory {
public:
    MappedMemory() = default;
    /// At least `bytes`, not yet written. Throws std::bad_alloc.
    explicit MappedMemory(std::size_t bytes);
    ~MappedMemory();
    MappedMemory(MappedMemory&& other) noexcept;
    MappedMemory& operator=(MappedMemory&& other) noexcept;
    MappedMemory(const MappedMemory&) = delete;
    MappedMemory& operator=(const MappedMemory&) = delete;

    void* data() const { return mData; }

private:
    void* mData = nullptr;
    std::size_t mMapped = 0;
};

} // namespace Orvid::Compare::Engine
