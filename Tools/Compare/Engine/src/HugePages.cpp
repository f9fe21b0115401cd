#include "HugePages.h"

#include <cstdint>

#include <sys/mman.h>

namespace Orvid::Compare::Engine {

namespace {

constexpr std::uintptr_t LARGE_PAGE = std::uintptr_t{2} << 20;

} // namespace

void adviseHugePages(void* data, std::size_t bytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const std::uintptr_t end = (start + bytes) & ~(LARGE_PAGE - 1);
    if (end > first) {
        // A hint whose refusal changes nothing but speed.
        ::madvise(static_cast<char*>(data) + (first - start), end - first, MADV_HUGEPAGE);
    }
}

} // namespace Orvid::Compare::Engine
