#pragma once

#include "Input.h"
#include "InputScan.h"
#include <CompareEngine/Window.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace Orvid::Compare::Engine {

/// A window and the key-index entries each input will have in it (0 for an input streamed in key
/// order).
struct PlannedWindow {
    Window window;
    std::array<std::uint64_t, 2> entries{};
};

/// The two inputs of a comparison as the planner sees them.
struct PlanInput {
    const Input* input = nullptr;
    const InputScan* scan = nullptr;
};

/// Cuts the key space into consecutive windows whose key index holds at most `maxEntries` entries:
/// time windows, ascending, then NaN windows. An input in key order is streamed through the time
/// windows and costs no entry; every NaN-time point is indexed. When everything fits, there is one
/// time window. Otherwise each cut is found from a histogram of the indexed inputs' times (one more
/// pass over their keys per level of refinement). A single time, or the NaN times of one secondary
/// word, that exceeds `maxEntries` still makes one window. `advance(points)` reports the keys read.
std::vector<PlannedWindow> planWindows(const std::array<PlanInput, 2>& inputs, std::uint64_t maxEntries,
                                       unsigned threads,
                                       const std::function<void(std::uint64_t points)>& advance);

} // namespace Orvid::Compare::Engine
