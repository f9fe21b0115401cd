#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/MemoryManagement/MemoryManagementStrategy.h>

#include <cstddef>

namespace Orvid::FileIoInterface::MemoryManagement {

/// Estimates a point's memory as (overhead + internal point size) x size ratio bytes, and charges
/// each point the ceiling of that estimate times the memory ratio against a budget.
struct FILEIOINTERFACE_EXPORT DefaultStrategy : public MemoryManagementStrategy {
    /// Reports a size ratio below 1.0, a memory ratio of 0 and a negative overlap, and keeps the
    /// values as given (the overlap as its magnitude).
    DefaultStrategy(double olap = 0.0, double szRatio = 1.5, std::size_t memRatio = 1,
                    std::size_t szOverhead = 8);
    DefaultStrategy(const DefaultStrategy& other);
    DefaultStrategy(DefaultStrategy&& other) noexcept;
    DefaultStrategy& operator=(const DefaultStrategy& other);
    DefaultStrategy& operator=(DefaultStrategy&& other) noexcept;
    ~DefaultStrategy() override;

    double requiredOverlap() const override;
    /// (overhead + internal point size) x size ratio; only the overhead counts until
    /// `setInternalPointSize` is called.
    double approximateSizePerPoint() const override;
    /// `memory` / (ceiling of `approximateSizePerPoint()` x memory ratio), rounded down, not clamped.
    /// Reports a non-positive estimate; returns 0 when the divisor would be 0.
    std::size_t maximumNumberOfPointsIn(std::size_t memory) const override;
    /// Reports a size of 0 and stores it all the same.
    void setInternalPointSize(std::size_t sz) override;

private:
    std::size_t internalPointSize;
    std::size_t szOverhead;
    double szRatio;
    std::size_t memRatio;
    double overlap;
};

} // namespace Orvid::FileIoInterface::MemoryManagement
