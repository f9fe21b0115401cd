#include <FileIoInterface/MemoryManagement/DefaultStrategy.h>
#include <Utils/CoreAssert.h>

#include <cmath>
#include <cstdint>

namespace Orvid::FileIoInterface::MemoryManagement {

// Callers know each assertion report below by its line: the formatter must not move them.
// clang-format off
DefaultStrategy::DefaultStrategy(double olap, double sizeRatio, std::size_t memoryRatio, std::size_t sizeOverhead)
    : internalPointSize(0)
    , szOverhead(sizeOverhead)
    , szRatio(sizeRatio)
    , memRatio(memoryRatio)
    , overlap(std::fabs(olap)) {
    // The values are stored before they are checked and kept when a check reports: a handler that
    // returns leaves a strategy built from exactly what the caller passed (the overlap as its
    // magnitude). A NaN ratio or overlap fails its comparison, so it is reported too; nothing is
    // clamped, and the checks come in the order of the parameters that matter most to the estimate.
    CORE_ASSERT( szRatio >= 1.0 );
    CORE_ASSERT( memRatio > 0 );
    CORE_ASSERT( olap >= 0.0 );
}
// clang-format on

std::size_t DefaultStrategy::maximumNumberOfPointsIn(std::size_t memory) const {
    // Through the virtual call, so that a derived strategy's estimate counts in the check too.
    CORE_ASSERT( approximateSizePerPoint() > 0 );
    const double wholeSizePerPoint = std::ceil(approximateSizePerPoint());
    // A non-positive or NaN estimate (reported above) and one beyond 64 bits cannot be converted to
    // a whole size; no point fits then.
    if (!(wholeSizePerPoint >= 1.0) || wholeSizePerPoint >= 0x1p64) {
        return 0;
    }
    // Unsigned 64-bit arithmetic, without clamping. A memory ratio of 0 was reported when the
    // strategy was built; it must not divide by zero here.
    const std::uint64_t divisor = static_cast<std::uint64_t>(wholeSizePerPoint) * std::uint64_t{memRatio};
    if (divisor == 0) {
        return 0;
    }
    return memory / divisor;
}

void DefaultStrategy::setInternalPointSize(std::size_t sz) {
    // Stored even when reported, as the constructor does with its arguments.
    CORE_ASSERT( sz > 0 );
    internalPointSize = sz;
}

double DefaultStrategy::approximateSizePerPoint() const {
    const std::uint64_t bytes = std::uint64_t{szOverhead} + std::uint64_t{internalPointSize};
    return static_cast<double>(bytes) * szRatio;
}

double DefaultStrategy::requiredOverlap() const {
    return overlap;
}

DefaultStrategy::DefaultStrategy(const DefaultStrategy& other) = default;

DefaultStrategy::DefaultStrategy(DefaultStrategy&& other) noexcept = default;

DefaultStrategy& DefaultStrategy::operator=(const DefaultStrategy& other) = default;

DefaultStrategy& DefaultStrategy::operator=(DefaultStrategy&& other) noexcept = default;

DefaultStrategy::~DefaultStrategy() = default;

} // namespace Orvid::FileIoInterface::MemoryManagement
