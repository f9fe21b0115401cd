#include <CompareEngine/EngineOptions.h>

#include <unistd.h>

namespace Orvid::Compare::Engine {

std::uint64_t defaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        // Unknown: a budget that any machine running a survey tool has.
        return std::uint64_t{1} << 30;
    }
    return static_cast<std::uint64_t>(pages) / 4 * static_cast<std::uint64_t>(pageSize);
}

} // namespace Orvid::Compare::Engine
