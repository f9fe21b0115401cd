#include "Render/ReportCharts.h"

#include "Render/SvgWriter.h"
#include <CompareEngine/ComparedAttribute.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace Orvid::Compare {
namespace {

const char* const AXIS_COLOUR = "#555";

/// The largest of 1, 2 or 5 times a power of ten that does not exceed `limit` (> 0).
double niceLengthBelow(double limit) {
    const double power = std::pow(10.0, std::floor(std::log10(limit)));
    for (const double factor : {5.0, 2.0}) {
        if (factor * power <= limit) {
            return factor * power;
        }
    }
    return power;
}

/// Decimals that show every multiple of `step`, a nice length.
int decimalsFor(double step) {
    return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
}

/// The largest count up to `maxCount` whose shade is `level` or lighter.
std::uint64_t largestCountOfLevel(std::size_t level, std::uint64_t maxCount) {
    std::uint64_t low = 0;
    std::uint64_t high = maxCount;
    while (low < high) {
        const std::uint64_t middle = low + (high - low + 1) / 2;
        if (densityLevel(middle, maxCount) <= level) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

std::size_t occupiedCells(const DensityGrid& grid) {
    std::size_t cells = 0;
    for (std::size_t row = 0; row < grid.rows(); ++row) {
        for (std::size_t column = 0; column < grid.columns(); ++column) {
            cells += grid.count(column, row) != 0 ? 1u : 0u;
        }
    }
    return cells;
}

} // namespace

std::string_view colourOf(DifferenceClass kind) {
    // Distinguishable with the common colour-vision deficiencies.
    switch (kind) {
    case DifferenceClass::removed:
        return "#d55e00";
    case DifferenceClass::added:
        return "#009e73";
    case DifferenceClass::modified:
        return "#0072b2";
    case DifferenceClass::mutated:
        return "#e69f00";
    case DifferenceClass::altered:
        return "#cc79a7";
    }
    return "#000";
}

std::vector<MapPanel> mapPanels(std::size_t columns, std::size_t rows) {
    const bool wide = columns >= rows;
    const std::size_t along = wide ? columns : rows;
    const std::size_t across = wide ? rows : columns;
    const double elongation =
        static_cast<double>(along) / static_cast<double>(std::max<std::size_t>(across, 1));
    const std::size_t count =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::lround(std::sqrt(elongation))), 1, along);
    std::vector<MapPanel> panels;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t first = k * along / count;
        const std::size_t end = (k + 1) * along / count;
        if (wide) {
            panels.push_back({first, end, 0, rows, 0, k * (rows + MAP_PANEL_GAP)});
        } else {
            // The first panel holds the northernmost rows, the last ones of the grid.
            panels.push_back({0, columns, rows - end, rows - first, k * (columns + MAP_PANEL_GAP), 0});
        }
    }
    return panels;
}

void writeCellRuns(std::ostream& out, const std::vector<MapPanel>& panels,
                   const std::function<bool(std::size_t, std::size_t)>& selected) {
    for (const MapPanel& panel : panels) {
        for (std::size_t line = 0; line < panel.endRow - panel.firstRow; ++line) {
            const std::size_t row = panel.endRow - 1 - line;
            bool lineStarted = false;
            std::size_t pen = 0;
            std::size_t column = panel.firstColumn;
            while (column < panel.endColumn) {
                if (!selected(column, row)) {
                    ++column;
                    continue;
                }
                std::size_t end = column + 1;
                while (end < panel.endColumn && selected(end, row)) {
                    ++end;
                }
                // Moves within a line are relative, which keeps them to a few characters.
                if (lineStarted) {
                    out << 'm' << column - pen << " 0";
                } else {
                    out << 'M' << panel.left + column - panel.firstColumn << ' ' << panel.top + line;
                }
                out << 'h' << end - column;
                lineStarted = true;
                pen = end;
                column = end;
            }
        }
    }
}

CellColouring::CellColouring(const DifferenceMap& map)
    : mMap(map) {
    for (std::size_t k = 0; k < mMeanPerCell.size(); ++k) {
        const std::size_t cells = occupiedCells(map.classes[k]);
        mMeanPerCell[k] =
            cells == 0 ? 1.0 : static_cast<double>(map.classes[k].binned()) / static_cast<double>(cells);
    }
}

std::optional<DifferenceClass> CellColouring::at(std::size_t column, std::size_t row) const {
    std::optional<DifferenceClass> chosen;
    double best = 0.0;
    for (std::size_t k = 0; k < mMeanPerCell.size(); ++k) {
        const DensityGrid& grid = mMap.classes[k];
        const double concentration = static_cast<double>(grid.count(column, row)) / mMeanPerCell[k];
        if (concentration == 0.0) {
            continue;
        }
        const bool rarerOnTie = concentration == best && grid.binned() < mMap.of(*chosen).binned();
        if (concentration > best || rarerOnTie) {
            best = concentration;
            chosen = ALL_DIFFERENCE_CLASSES[k];
        }
    }
    return chosen;
}

std::size_t densityLevel(std::uint64_t count, std::uint64_t maxCount) {
    if (count == 0 || maxCount == 0) {
        return 0;
    }
    const double share = std::log1p(static_cast<double>(count)) / std::log1p(static_cast<double>(maxCount));
    const auto level =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(DENSITY_SHADES.size())));
    return std::clamp<std::size_t>(level, 1, DENSITY_SHADES.size());
}

namespace {

// The outline of each panel, in pixels.
void writePanelOutlines(SvgWriter& svg, const std::vector<MapPanel>& panels, double scale) {
    svg.open("g", {{"id", "map-panels"}, {"data-panels", std::to_string(panels.size())}});
    for (const MapPanel& panel : panels) {
        svg.rect(0.5 + static_cast<double>(panel.left) * scale, 0.5 + static_cast<double>(panel.top) * scale,
                 static_cast<double>(panel.endColumn - panel.firstColumn) * scale + 1.0,
                 static_cast<double>(panel.endRow - panel.firstRow) * scale + 1.0,
                 {{"fill", "#fff"}, {"stroke", "#999"}});
    }
    svg.close();
}

// The reference points' density, one path per shade.
void writeReferenceDensity(SvgWriter& svg, const std::vector<MapPanel>& panels,
                           const DensityGrid& reference) {
    svg.open("g", {{"id", "map-reference"},
                   {"data-points", std::to_string(reference.binned())},
                   {"data-max-per-cell", std::to_string(reference.maxCount())}});
    const std::uint64_t maxCount = reference.maxCount();
    for (std::size_t level = 1; level <= DENSITY_SHADES.size(); ++level) {
        // Shades rise with the count, so each covers a range of counts: cheaper to test than a logarithm.
        const std::uint64_t lowest = largestCountOfLevel(level - 1, maxCount) + 1;
        const std::uint64_t highest = largestCountOfLevel(level, maxCount);
        svg.element("path", {{"data-level", std::to_string(level)}, {"stroke", DENSITY_SHADES[level - 1]}},
                    "d", [&](std::ostream& path) {
                        writeCellRuns(path, panels, [&](std::size_t column, std::size_t row) {
                            const std::uint64_t count = reference.count(column, row);
                            return count >= lowest && count <= highest;
                        });
                    });
    }
    svg.close();
}

// One path per class of difference, over the cells whose colour it is.
void writeDifferenceClasses(SvgWriter& svg, const std::vector<MapPanel>& panels, const DifferenceMap& map) {
    const DensityGrid& reference = map.reference;
    // Computed cell by cell rather than kept: a large allocation here would make the allocator tidy up
    // after the comparison, which costs more than the few comparisons repeated per cell.
    const CellColouring colouring(map);
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        const std::string name(nameOf(kind));
        const auto drawn = [&](std::size_t column, std::size_t row) {
            return colouring.at(column, row) == kind;
        };
        std::size_t cells = 0;
        for (std::size_t row = 0; row < reference.rows(); ++row) {
            for (std::size_t column = 0; column < reference.columns(); ++column) {
                cells += drawn(column, row) ? 1u : 0u;
            }
        }
        svg.element("path",
                    {{"id", "map-" + name},
                     {"data-class", name},
                     {"data-points", std::to_string(map.of(kind).binned())},
                     {"data-cells", std::to_string(cells)},
                     {"stroke", std::string(colourOf(kind))}},
                    "d", [&](std::ostream& path) { writeCellRuns(path, panels, drawn); });
    }
}

// A bar of a round length in coordinate units, `top` pixels down.
void writeScaleBar(SvgWriter& svg, double cellSize, double scale, double top) {
    const double unitsPerPixel = cellSize / scale;
    const double barUnits = niceLengthBelow(160.0 * unitsPerPixel);
    const double barPixels = barUnits / unitsPerPixel;
    const SvgWriter::Attributes stroke{{"stroke", "#333"}, {"stroke-width", "1.5"}};
    svg.open("g", {{"id", "scale-bar"}, {"data-units", formatNumber(barUnits, 12)}});
    svg.line(1.0, top, 1.0 + barPixels, top, stroke);
    svg.line(1.0, top - 5.0, 1.0, top + 5.0, stroke);
    svg.line(1.0 + barPixels, top - 5.0, 1.0 + barPixels, top + 5.0, stroke);
    svg.text(1.0 + barPixels + 8.0, top + 4.0,
             formatNumber(barUnits, decimalsFor(barUnits)) + " coordinate units");
    svg.close();
}

} // namespace

void writeMapSvg(std::ostream& out, const DifferenceMap& map) {
    const DensityGrid& reference = map.reference;
    const std::vector<MapPanel> panels = mapPanels(reference.columns(), reference.rows());
    std::size_t widthInCells = 0;
    std::size_t heightInCells = 0;
    for (const MapPanel& panel : panels) {
        widthInCells = std::max(widthInCells, panel.left + panel.endColumn - panel.firstColumn);
        heightInCells = std::max(heightInCells, panel.top + panel.endRow - panel.firstRow);
    }
    const double scale = std::min(MAP_WIDTH / static_cast<double>(widthInCells),
                                  MAP_MAX_HEIGHT / static_cast<double>(heightInCells));
    const double scaleBarTop = static_cast<double>(heightInCells) * scale + 16.0;
    SvgWriter svg(out, "map", std::max(static_cast<double>(widthInCells) * scale + 2.0, 320.0),
                  scaleBarTop + 22.0, "Top view of the survey with the differing points of each class");
    writePanelOutlines(svg, panels, scale);

    // One unit per cell; segments on whole lines, shifted by half a cell to cover their line.
    svg.open("g", {{"transform", "translate(1 1) scale(" + formatNumber(scale, 4) + ") translate(0 0.5)"},
                   {"fill", "none"},
                   {"stroke-width", "1"},
                   {"shape-rendering", "crispEdges"}});
    writeReferenceDensity(svg, panels, reference);
    writeDifferenceClasses(svg, panels, map);
    svg.close();

    if (panels.size() > 1) {
        for (std::size_t k = 0; k < panels.size(); ++k) {
            svg.text(5.0 + static_cast<double>(panels[k].left) * scale,
                     15.0 + static_cast<double>(panels[k].top) * scale, std::to_string(k + 1),
                     {{"class", "panel-number"}});
        }
    }
    writeScaleBar(svg, reference.cellSize(), scale, scaleBarTop);
}

namespace {

// The histogram's plot area, in pixels.
struct HistogramFrame {
    static constexpr double WIDTH = 800.0;
    static constexpr double HEIGHT = 260.0;
    static constexpr double LEFT = 70.0;
    static constexpr double RIGHT = 20.0;
    static constexpr double TOP = 14.0;
    static constexpr double BOTTOM = 46.0;
    static constexpr double PLOT_WIDTH = WIDTH - LEFT - RIGHT;
    static constexpr double PLOT_HEIGHT = HEIGHT - TOP - BOTTOM;
    static constexpr double BASELINE = HEIGHT - BOTTOM;
};

// Counts on a logarithmic axis whose decades 1, 10, 100, ... rise in equal steps from one step above the
// baseline, so that a bin of one point still shows.
class LogCountAxis {
public:
    explicit LogCountAxis(std::uint64_t maxCount) {
        while (std::pow(10.0, mDecades) < static_cast<double>(maxCount)) {
            ++mDecades;
        }
    }
    double heightOf(double count) const {
        return (std::log10(count) + 1.0) / (mDecades + 1.0) * HistogramFrame::PLOT_HEIGHT;
    }
    void write(SvgWriter& svg) const {
        for (int decade = 0; decade <= mDecades; ++decade) {
            const double count = std::pow(10.0, decade);
            const double y = HistogramFrame::BASELINE - heightOf(count);
            svg.line(HistogramFrame::LEFT - 4.0, y, HistogramFrame::LEFT + HistogramFrame::PLOT_WIDTH, y,
                     {{"stroke", "#e4e4e4"}});
            svg.text(HistogramFrame::LEFT - 8.0, y + 4.0, formatCount(static_cast<std::uint64_t>(count)),
                     {{"text-anchor", "end"}});
        }
    }

private:
    int mDecades = 1;
};

// One bar per non-empty bin of the first `used`, `range` coordinate units wide in all.
void writeHistogramBars(SvgWriter& svg, const std::array<std::uint64_t, DisplacementHistogram::BINS>& counts,
                        std::size_t used, double binWidth, double range, const LogCountAxis& axis) {
    const double barWidth = binWidth / range * HistogramFrame::PLOT_WIDTH;
    const int binDecimals = decimalsFor(binWidth) + 1;
    const std::string fill(colourOf(DifferenceClass::modified));
    for (std::size_t i = 0; i < used; ++i) {
        if (counts[i] == 0) {
            continue;
        }
        const double barHeight = axis.heightOf(static_cast<double>(counts[i]));
        const std::string from = formatNumber(binWidth * static_cast<double>(i), binDecimals);
        const std::string to = formatNumber(binWidth * static_cast<double>(i + 1), binDecimals);
        std::string label = "|d| from ";
        label.append(from)
            .append(" to ")
            .append(to)
            .append(": ")
            .append(formatCount(counts[i]))
            .append(" points");
        svg.rect(HistogramFrame::LEFT + barWidth * static_cast<double>(i),
                 HistogramFrame::BASELINE - barHeight, std::max(1.0, barWidth - (barWidth > 4.0 ? 1.0 : 0.0)),
                 barHeight,
                 {{"class", "bin"},
                  {"data-count", std::to_string(counts[i])},
                  {"data-from", from},
                  {"data-to", to},
                  {"fill", fill}},
                 label);
    }
}

// Ticks and labels of the displacement axis, the axis titles, and the mean when it lies on the axis.
void writeDisplacementAxis(SvgWriter& svg, double range, double mean) {
    using F = HistogramFrame;
    const SvgWriter::Attributes axis{{"stroke", AXIS_COLOUR}};
    const double step = niceLengthBelow(range / 5.0);
    for (double tick = 0.0; tick <= range * (1.0 + 1e-9); tick += step) {
        const double x = F::LEFT + tick / range * F::PLOT_WIDTH;
        svg.line(x, F::BASELINE, x, F::BASELINE + 4.0, axis);
        svg.text(x, F::BASELINE + 17.0, formatNumber(tick, decimalsFor(step)), {{"text-anchor", "middle"}});
    }
    svg.text(F::LEFT + F::PLOT_WIDTH / 2.0, F::HEIGHT - 6.0, "|d| (coordinate units)",
             {{"text-anchor", "middle"}});
    svg.text(14.0, F::TOP + F::PLOT_HEIGHT / 2.0, "points (log scale)",
             {{"text-anchor", "middle"},
              {"transform", "rotate(-90 14 " + formatNumber(F::TOP + F::PLOT_HEIGHT / 2.0) + ")"}});
    if (mean >= 0.0 && mean <= range) {
        const double x = F::LEFT + mean / range * F::PLOT_WIDTH;
        svg.line(x, F::TOP, x, F::BASELINE, {{"stroke", "#222"}, {"stroke-dasharray", "4 3"}});
        const bool labelLeft = x > F::LEFT + F::PLOT_WIDTH - 50.0;
        svg.text(x + (labelLeft ? -4.0 : 4.0), F::TOP + 10.0, "mean",
                 {{"text-anchor", labelLeft ? "end" : "start"}});
    }
}

} // namespace

void writeHistogramSvg(std::ostream& out, const DisplacementStatistics& displacement) {
    using F = HistogramFrame;
    const auto& counts = displacement.histogram.counts();
    std::size_t used = 0;
    std::uint64_t maxCount = 0;
    std::uint64_t binned = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        binned += counts[i];
        if (counts[i] != 0) {
            used = i + 1;
            maxCount = std::max(maxCount, counts[i]);
        }
    }
    SvgWriter svg(out, "histogram", F::WIDTH, F::HEIGHT,
                  "Histogram of the displacement magnitudes of the modified points");
    svg.open("g", {{"data-points", std::to_string(binned)}});
    const SvgWriter::Attributes axis{{"stroke", AXIS_COLOUR}};
    svg.line(F::LEFT, F::BASELINE, F::LEFT + F::PLOT_WIDTH, F::BASELINE, axis);
    svg.line(F::LEFT, F::TOP, F::LEFT, F::BASELINE, axis);
    if (used == 0) {
        svg.text(F::LEFT + F::PLOT_WIDTH / 2.0, F::TOP + F::PLOT_HEIGHT / 2.0, "no modified points",
                 {{"text-anchor", "middle"}});
        return;
    }
    const LogCountAxis countAxis(maxCount);
    countAxis.write(svg);
    const double binWidth = displacement.histogram.binWidth();
    // A little room right of the last bar, for the eye and for the mean's label.
    const double range = binWidth * static_cast<double>(used + std::max<std::size_t>(2, used / 10));
    writeHistogramBars(svg, counts, used, binWidth, range, countAxis);
    writeDisplacementAxis(svg, range, displacement.magnitude.mean);
}

void writeAttributeChartSvg(std::ostream& out, const Engine::AttributeCounts& differences) {
    constexpr double ROW = 24.0;
    constexpr double LABELS = 170.0;
    constexpr double LONGEST_BAR = 500.0;
    const std::uint64_t maxCount = *std::max_element(differences.begin(), differences.end());
    SvgWriter svg(out, "attributes", 800.0, ROW * static_cast<double>(differences.size()) + 8.0,
                  "Pairs that differ in each point attribute");
    const std::string fill(colourOf(DifferenceClass::mutated));
    for (std::size_t i = 0; i < differences.size(); ++i) {
        const double top = 4.0 + ROW * static_cast<double>(i);
        const std::uint64_t count = differences[i];
        const double length =
            maxCount == 0 ? 0.0 : LONGEST_BAR * static_cast<double>(count) / static_cast<double>(maxCount);
        const Engine::ComparedAttributeDescriptor& attribute = Engine::COMPARED_ATTRIBUTES[i];
        svg.text(LABELS - 8.0, top + 16.0, attribute.label, {{"text-anchor", "end"}});
        // A count too small to show at scale still gets a visible sliver.
        svg.rect(LABELS, top + 4.0, count != 0 ? std::max(length, 2.0) : 0.0, ROW - 8.0,
                 {{"class", "bar"},
                  {"data-attribute", attribute.name},
                  {"data-count", std::to_string(count)},
                  {"fill", fill}},
                 std::string(attribute.label) + ": " + formatCount(count) + " pairs differ");
        svg.text(LABELS + std::max(length, 2.0) + 6.0, top + 16.0, formatCount(count));
    }
}

} // namespace Orvid::Compare
