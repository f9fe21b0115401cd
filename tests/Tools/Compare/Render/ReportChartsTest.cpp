#include "Render/ReportCharts.h"
#include "Gather/DisplacementHistogram.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <vector>

namespace {

using namespace Orvid::Compare;

/// How many panels hold each cell of a `columns` x `rows` grid.
std::vector<int> coverage(const std::vector<MapPanel>& panels, std::size_t columns, std::size_t rows) {
    std::vector<int> times(columns * rows, 0);
    for (const MapPanel& panel : panels) {
        for (std::size_t row = panel.firstRow; row < panel.endRow; ++row) {
            for (std::size_t column = panel.firstColumn; column < panel.endColumn; ++column) {
                ++times[row * columns + column];
            }
        }
    }
    return times;
}

TEST(MapPanels, ShowACompactGridWhole) {
    const std::vector<MapPanel> panels = mapPanels(200, 150);
    ASSERT_EQ(panels.size(), 1U);
    EXPECT_EQ(panels[0].endColumn, 200U);
    EXPECT_EQ(panels[0].endRow, 150U);
}

TEST(MapPanels, CutATallGridIntoPanelsSideBySideNorthFirst) {
    const std::vector<MapPanel> panels = mapPanels(35, 1131);
    ASSERT_EQ(panels.size(), 6U);
    EXPECT_EQ(coverage(panels, 35, 1131), std::vector<int>(std::size_t{35} * 1131, 1));
    EXPECT_EQ(panels.front().endRow, 1131U);
    EXPECT_EQ(panels.back().firstRow, 0U);
    EXPECT_EQ(panels[1].left, 35 + MAP_PANEL_GAP);
    EXPECT_EQ(panels[1].top, 0U);
}

TEST(MapPanels, CutAWideGridIntoPanelsStackedWestFirst) {
    const std::vector<MapPanel> panels = mapPanels(1000, 10);
    ASSERT_EQ(panels.size(), 10U);
    EXPECT_EQ(coverage(panels, 1000, 10), std::vector<int>(std::size_t{1000} * 10, 1));
    EXPECT_EQ(panels.front().firstColumn, 0U);
    EXPECT_EQ(panels[3].top, 3 * (10 + MAP_PANEL_GAP));
}

TEST(CellRuns, DrawsEachRunOfSelectedCellsAsOneSegmentNorthUp) {
    // Selected, rows from the north: ##..#. then .....#
    const auto selected = [](std::size_t column, std::size_t row) {
        return row == 1 ? column < 2 || column == 4 : column == 5;
    };
    const auto runs = [&](const std::vector<MapPanel>& panels) {
        std::ostringstream path;
        writeCellRuns(path, panels, selected);
        return path.str();
    };
    EXPECT_EQ(runs({{0, 6, 0, 2, 0, 0}}), "M0 0h2m2 0h1M5 1h1");
    EXPECT_EQ(runs({{0, 3, 0, 2, 0, 0}, {3, 6, 0, 2, 0, 5}}), "M0 0h2M1 5h1M2 6h1");
}

TEST(CellColouring, GivesEachCellTheClassMostConcentratedThere) {
    DifferenceMap map(Extent{0.0, 0.0, 400.0, 100.0});
    DensityGrid& removed = map.of(DifferenceClass::removed);
    DensityGrid& altered = map.of(DifferenceClass::altered);
    for (double x = 1.0; x < 400.0; x += 2.0) {
        removed.add(x, 50.0);
        removed.add(x, 50.0);
    }
    // 6 altered points in 3 cells: 2 per cell on average, as the removed ones.
    for (const double x : {101.0, 101.0, 201.0, 201.0, 201.0}) {
        altered.add(x, 50.0);
    }
    altered.add(301.0, 10.0);
    const CellColouring colouring(map);
    const auto at = [&](double x, double y) {
        const double size = map.reference.cellSize();
        return colouring.at(static_cast<std::size_t>(x / size), static_cast<std::size_t>(y / size));
    };
    EXPECT_EQ(at(1.0, 50.0), DifferenceClass::removed);
    EXPECT_EQ(at(201.0, 50.0), DifferenceClass::altered) << "a cluster over a class spread everywhere";
    EXPECT_EQ(at(101.0, 50.0), DifferenceClass::altered) << "equally concentrated: the rarer class";
    EXPECT_EQ(at(301.0, 10.0), DifferenceClass::altered);
    EXPECT_EQ(at(1.0, 10.0), std::nullopt);
}

TEST(DisplacementHistogram, WidensItsBinsToHoldTheLargestValueAndKeepsEveryCount) {
    DisplacementHistogram histogram;
    histogram.add(0.0);
    histogram.add(0.05);
    histogram.add(0.0866);
    histogram.add(-1.0);
    const auto& counts = histogram.counts();
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}), 3U);
    EXPECT_EQ(histogram.unbinned(), 1U);
    EXPECT_DOUBLE_EQ(histogram.binWidth(), 1.0 / 512);
    EXPECT_EQ(counts[0], 1U);
    EXPECT_EQ(counts[25], 1U);
    EXPECT_EQ(counts[44], 1U);
}

} // namespace
