#pragma once

#include <cstddef>
#include <vector>

namespace Orvid::Compare::Engine {

/// Asks the system to back the whole large pages inside the `bytes` at `data` with large pages when they
/// are first written. Arrays of many MiB, written once and then read in random order, take a page fault
/// per 2 MiB instead of per 4 KiB, and spare most address translations. Only a hint: pages already
/// written stay as they are, and a system without large pages ignores it.
void adviseHugePages(void* data, std::size_t bytes);

/// Gives `values` room for `count` values and, when that takes a fresh buffer, advises large pages for it
/// before anything is written there.
template <typename T>
void reserveOnHugePages(std::vector<T>& values, std::size_t count) {
    if (values.capacity() < count) {
        values.reserve(count);
        adviseHugePages(values.data(), values.capacity() * sizeof(T));
    }
}

} // namespace Orvid::Compare::Engine
