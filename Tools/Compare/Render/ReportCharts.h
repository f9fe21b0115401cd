#pragma once

#include "Gather/ComparisonSummary.h"
#include "Gather/DensityGrid.h"
#include "Gather/DifferenceClass.h"
#include "Gather/DifferenceMap.h"

#include <CompareEngine/ComparedAttribute.h>

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Orvid::Compare {

/// The box the map fits in, in pixels, and the space between its panels, in cells.
constexpr double MAP_WIDTH = 800.0;
constexpr double MAP_MAX_HEIGHT = 1000.0;
constexpr std::size_t MAP_PANEL_GAP = 3;
/// Shades of the reference density, from few points per cell to many.
constexpr std::array<const char*, 4> DENSITY_SHADES = {"#ececec", "#dadada", "#c6c6c6", "#b0b0b0"};

/// The colour of a class on the map and in the legends, as CSS.
std::string_view colourOf(DifferenceClass kind);

/// One part of the map: cells [firstColumn, endColumn) x [firstRow, endRow) of a grid, drawn north up
/// with its top-left corner `left` cells right of and `top` cells below the map's.
struct MapPanel {
    std::size_t firstColumn = 0;
    std::size_t endColumn = 0;
    std::size_t firstRow = 0;
    std::size_t endRow = 0;
    std::size_t left = 0;
    std::size_t top = 0;
};

/// How the map lays out a grid of `columns` x `rows` cells: in one panel when the grid is compact; when
/// it is elongated, cut across its long axis into about sqrt(elongation) panels, stacked from west (top)
/// to east when wide, set side by side from north (left) to south when tall, MAP_PANEL_GAP cells apart.
/// Every cell is in exactly one panel.
std::vector<MapPanel> mapPanels(std::size_t columns, std::size_t rows);

/// Writes the SVG path data for the cells that `selected(column, row)` accepts, as laid out in `panels`:
/// one horizontal segment per run of adjacent selected cells, one unit per cell, a segment on the
/// layout's line y at height y. Stroked one unit wide after a shift of half a unit down, the segments
/// cover exactly the selected cells.
void writeCellRuns(std::ostream& out, const std::vector<MapPanel>& panels,
                   const std::function<bool(std::size_t, std::size_t)>& selected);

/// Picks the class each cell of a map is drawn in: of the classes with points in the cell, the one most
/// concentrated there relative to its mean over the cells it occupies (on a tie, the one with fewer
/// points), so that a cluster stands out from a class spread everywhere.
class CellColouring {
public:
    /// `map` is not owned and must outlive the colouring.
    explicit CellColouring(const DifferenceMap& map);

    /// The class of the cell, none for a cell without differences.
    std::optional<DifferenceClass> at(std::size_t column, std::size_t row) const;

private:
    const DifferenceMap& mMap;
    std::array<double, 5> mMeanPerCell{};
};

/// The shade of a cell holding `count` of at most `maxCount` points: 0 when empty, else 1 to 4 on a
/// logarithmic scale.
std::size_t densityLevel(std::uint64_t count, std::uint64_t maxCount);

/// The top view <svg id="map">, as mapPanels() lays it out in a box of MAP_WIDTH x MAP_MAX_HEIGHT pixels
/// at most: the reference density in shades of grey, each cell with differences in the colour of its
/// class as CellColouring picks it, the panels' numbers when there are several, and a scale bar in
/// coordinate units.
void writeMapSvg(std::ostream& out, const DifferenceMap& map);

/// The <svg id="histogram"> of the displacement magnitudes of the modified points, counts on a
/// logarithmic scale, with the mean marked.
void writeHistogramSvg(std::ostream& out, const DisplacementStatistics& displacement);

/// The <svg id="attributes"> bar chart of the pairs that differ in each compared point attribute.
void writeAttributeChartSvg(std::ostream& out, const Engine::AttributeCounts& differences);

} // namespace Orvid::Compare
