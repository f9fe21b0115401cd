#include "MappedMemory.h"

#include <cstdint>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace Orvid::Compare::Engine {

namespace {

constexpr std::size_t LARGE_PAGE = std::size_t{2} << 20;

void* mapAnonymous(std::size_t bytes) {
    void* const mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    return mapped;
}

} // namespace

MappedMemory::MappedMemory(std::size_t bytes) {
    if (bytes < LARGE_PAGE) {
        mMapped = bytes == 0 ? 1 : bytes;
        mData = mapAnonymous(mMapped);
        return;
    }
    mMapped = (bytes + LARGE_PAGE - 1) / LARGE_PAGE * LARGE_PAGE;
    // A large page more than needed, so that whole large pages lie inside; the ends around them go.
    char* const mapped = static_cast<char*>(mapAnonymous(mMapped + LARGE_PAGE));
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::size_t head = ((start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1)) - start;
    if (head != 0) {
        ::munmap(mapped, head);
    }
    if (head != LARGE_PAGE) {
        ::munmap(mapped + head + mMapped, LARGE_PAGE - head);
    }
    mData = mapped + head;
    // A hint whose refusal changes nothing but speed.
    ::madvise(mData, mMapped, MADV_HUGEPAGE);
}

MappedMemory::~MappedMemory() {
    if (mData != nullptr) {
        ::munmap(mData, mMapped);
    }
}

MappedMemory::MappedMemory(MappedMemory&& other) noexcept
    : mData(std::exchange(other.mData, nullptr))
    , mMapped(std::exchange(other.mMapped, 0)) {}

MappedMemory& MappedMemory::operator=(MappedMemory&& other) noexcept {
    if (this != &other) {
        if (mData != nullptr) {
            ::munmap(mData, mMapped);
        }
        mData = std::exchange(other.mData, nullptr);
        mMapped = std::exchange(other.mMapped, 0);
    }
    return *this;
}

} // namespace Orvid::Compare::Engine
