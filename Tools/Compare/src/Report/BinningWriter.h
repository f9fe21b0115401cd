#pragma once

#include "Gather/DensityGrid.h"

#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

namespace Orvid::Compare {

/// Bins the position of every point written into a grid, then passes the point on to another writer
/// when there is one. Given to the comparator as its modified writer, it records where the modified
/// points lie before the comparator replaces their coordinates with displacements.
class BinningWriter final : public FileIoInterface::Outputs::PointCloud::PointCloudWriter {
public:
    /// Neither the grid nor the next writer is owned; both must outlive the writer.
    BinningWriter(DensityGrid& grid, PointCloudWriter* next)
        : mGrid(grid)
        , mNext(next) {}

    void beginLeg(const FileIoInterface::LegInformation& leg) override;
    void endLeg() override;
    /// Returns the next writer's status, or success.
    Utils::ErrorManagement::ReturnStatus write(const FileIoInterface::InputOutputPoint& point) override;

private:
    DensityGrid& mGrid;
    PointCloudWriter* mNext;
};

} // namespace Orvid::Compare
