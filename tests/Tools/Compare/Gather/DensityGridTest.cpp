#include "Gather/DensityGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Orvid::Compare::DensityGrid;
using Orvid::Compare::Extent;

TEST(DensityGrid, KeepsTheExtentsProportionsAndBinsItsEdgesIntoTheOuterCellsOnly) {
    DensityGrid grid(Extent{100.0, 200.0, 500.0, 300.0}, 400, 1000);
    EXPECT_DOUBLE_EQ(grid.cellSize(), 10.0);
    EXPECT_EQ(grid.columns(), 40U);
    EXPECT_EQ(grid.rows(), 10U);
    EXPECT_TRUE(grid.add(100.0, 200.0));
    EXPECT_TRUE(grid.add(500.0, 300.0));
    EXPECT_TRUE(grid.add(500.0, 200.0));
    EXPECT_TRUE(grid.add(110.0, 210.0));
    EXPECT_FALSE(grid.add(std::nextafter(100.0, 0.0), 250.0));
    EXPECT_FALSE(grid.add(300.0, std::nextafter(300.0, 400.0)));
    EXPECT_FALSE(grid.add(std::numeric_limits<double>::quiet_NaN(), 250.0));
    EXPECT_EQ(grid.count(0, 0), 1U);
    EXPECT_EQ(grid.count(39, 9), 1U);
    EXPECT_EQ(grid.count(39, 0), 1U);
    EXPECT_EQ(grid.count(1, 1), 1U) << "a cell's lower edges belong to it";
    EXPECT_EQ(grid.binned(), 4U);
    EXPECT_EQ(grid.outside(), 3U);
    EXPECT_EQ(grid.maxCount(), 1U);
}

TEST(DensityGrid, GivesAZeroWidthExtentOneColumn) {
    DensityGrid grid(Extent{7.0, 0.0, 7.0, 50.0}, 400, 100);
    EXPECT_EQ(grid.columns(), 1U);
    EXPECT_EQ(grid.rows(), 100U);
    EXPECT_DOUBLE_EQ(grid.cellSize(), 0.5);
    EXPECT_TRUE(grid.add(7.0, 50.0));
    EXPECT_TRUE(grid.add(7.0, 0.0));
    EXPECT_EQ(grid.count(0, 99), 1U);
    EXPECT_EQ(grid.count(0, 0), 1U);
    EXPECT_FALSE(grid.add(7.5, 10.0));
}

TEST(DensityGrid, GivesASinglePointExtentOneCell) {
    DensityGrid grid(Extent{3.0, 4.0, 3.0, 4.0}, 400, 100);
    EXPECT_EQ(grid.columns(), 1U);
    EXPECT_EQ(grid.rows(), 1U);
    EXPECT_GT(grid.cellSize(), 0.0);
    EXPECT_TRUE(grid.add(3.0, 4.0));
    EXPECT_TRUE(grid.add(3.0, 4.0));
    EXPECT_FALSE(grid.add(3.0, 4.5));
    EXPECT_EQ(grid.count(0, 0), 2U);
    EXPECT_EQ(grid.maxCount(), 2U);
}

TEST(DensityGrid, CapsTheCellsAlongAVeryThinExtent) {
    const DensityGrid grid(Extent{0.0, 0.0, 1e-9, 1000.0}, 40000, 2000);
    EXPECT_EQ(grid.columns(), 1U);
    EXPECT_EQ(grid.rows(), 2000U);
}

TEST(DensityGrid, BinsNothingOverAnEmptyExtent) {
    DensityGrid grid(Extent{}, 400, 100);
    EXPECT_FALSE(grid.add(0.0, 0.0));
    EXPECT_EQ(grid.columns() * grid.rows(), 1U);
}

TEST(Extent, GrowsToCoverValidExtentsOnly) {
    Extent extent;
    extent.include(Extent{0.0, 0.0, std::numeric_limits<double>::infinity(), 1.0});
    EXPECT_FALSE(extent.valid());
    extent.include(Extent{1.0, 2.0, 3.0, 4.0});
    extent.include(Extent{-1.0, 3.0, 2.0, 9.0});
    EXPECT_TRUE(extent.valid());
    EXPECT_EQ(extent.minX, -1.0);
    EXPECT_EQ(extent.minY, 2.0);
    EXPECT_EQ(extent.maxX, 3.0);
    EXPECT_EQ(extent.maxY, 9.0);
}

} // namespace
