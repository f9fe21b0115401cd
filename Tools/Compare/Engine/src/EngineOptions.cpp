#include <CompareEngine/EngineOptions.h>

#include <unistd.h>

namespace Orvid::Compare::Engine {

std::optional<std::uint64_t> physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t defaultMemoryBudget() {
    // Unknown: a budget that any machine running a survey tool has.
    return physicalMemory() ? *physicalMemory() / 4 : std::uint64_t{1} << 30;
}

} // namespace Orvid::Compare::Engine
