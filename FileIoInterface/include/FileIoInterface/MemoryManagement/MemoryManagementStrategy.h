#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

#include <cstddef>

namespace Orvid::FileIoInterface::MemoryManagement {

/// Plans the blocks of a reader that processes a large point cloud piece by piece: how many points a
/// memory budget holds and how far consecutive blocks overlap.
class FILEIOINTERFACE_EXPORT MemoryManagementStrategy {
public:
    MemoryManagementStrategy() = default;
    MemoryManagementStrategy(const MemoryManagementStrategy&) = default;
    MemoryManagementStrategy& operator=(const MemoryManagementStrategy&) = default;
    virtual ~MemoryManagementStrategy();

    /// How far consecutive blocks must overlap, never negative, in the unit of the caller's blocks.
    virtual double requiredOverlap() const = 0;
    /// Estimated bytes that one point takes in memory.
    virtual double approximateSizePerPoint() const = 0;
    /// How many points fit into `memory` bytes; may be 0.
    virtual std::size_t maximumNumberOfPointsIn(std::size_t memory) const = 0;
    /// Records the bytes of the reader's internal representation of one point.
    virtual void setInternalPointSize(std::size_t sz) = 0;
};

} // namespace Orvid::FileIoInterface::MemoryManagement
