#include "Metadata/PointChecks.h"

#include "Metadata/HeaderFields.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Orvid::Compare::Metadata {

namespace {

using FileIoInterface::Las::LasHeader;

/// Seconds in a GPS week: week times never exceed it.
constexpr double SECONDS_PER_WEEK = 604800.0;

struct Box {
    std::array<double, 3> low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    std::array<double, 3> high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

    std::string describe() const {
        return "min " + shortest(low[0]) + " " + shortest(low[1]) + " " + shortest(low[2]) + ", max " +
               shortest(high[0]) + " " + shortest(high[1]) + " " + shortest(high[2]);
    }
};

void checkBounds(const std::string& input, const std::vector<LasHeader>& headers,
                 const Engine::InputFacts& facts, std::vector<std::string>& warnings) {
    if (facts.extent.minX > facts.extent.maxX || facts.tally.minZ > facts.tally.maxZ) {
        return;
    }
    Box stated;
    std::array<double, 3> halfStep{};
    for (const LasHeader& header : headers) {
        const std::array<double, 3> low{header.min.x, header.min.y, header.min.z};
        const std::array<double, 3> high{header.max.x, header.max.y, header.max.z};
        const std::array<double, 3> scale{header.scale.x, header.scale.y, header.scale.z};
        for (std::size_t axis = 0; axis < 3; ++axis) {
            stated.low[axis] = std::min(stated.low[axis], low[axis]);
            stated.high[axis] = std::max(stated.high[axis], high[axis]);
            halfStep[axis] = std::max(halfStep[axis], scale[axis] / 2);
        }
    }
    const Box actual{{facts.extent.minX, facts.extent.minY, facts.tally.minZ},
                     {facts.extent.maxX, facts.extent.maxY, facts.tally.maxZ}};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (!(std::fabs(stated.low[axis] - actual.low[axis]) <= halfStep[axis]) ||
            !(std::fabs(stated.high[axis] - actual.high[axis]) <= halfStep[axis])) {
            warnings.push_back(input + ": the headers' bounds (" + stated.describe() +
                               ") are not the points' extent (" + actual.describe() +
                               ") to within half a scale step");
            return;
        }
    }
}

void checkReturns(const std::string& input, const std::vector<LasHeader>& headers,
                  const Engine::InputFacts& facts, std::vector<std::string>& warnings) {
    std::array<std::uint64_t, 15> stated{};
    for (const LasHeader& header : headers) {
        for (std::size_t index = 0; index < stated.size(); ++index) {
            stated[index] += header.pointsByReturn[index];
        }
    }
    const auto& counted = facts.tally.pointsByReturn;
    if (!std::equal(stated.begin(), stated.end(), counted.begin() + 1)) {
        std::size_t shown = 5;
        for (std::size_t index = 0; index < stated.size(); ++index) {
            shown = stated[index] != 0 || counted[index + 1] != 0 ? std::max(shown, index + 1) : shown;
        }
        std::string statedText;
        std::string countedText;
        for (std::size_t index = 0; index < shown; ++index) {
            statedText += (index == 0 ? "" : " ") + std::to_string(stated[index]);
            countedText += (index == 0 ? "" : " ") + std::to_string(counted[index + 1]);
        }
        warnings.push_back(input + ": the headers count the points of returns 1 to " + std::to_string(shown) +
                           " as " + statedText + ", the points are " + countedText);
    }
    if (facts.tally.invalidReturnNumbers != 0) {
        warnings.push_back(input + ": " + std::to_string(facts.tally.invalidReturnNumbers) +
                           (facts.tally.invalidReturnNumbers == 1 ? " point has" : " points have") +
                           " a return number of 0 or above its number of returns");
    }
}

void checkTimeStandard(const std::string& input, const std::vector<LasHeader>& headers,
                       const Engine::InputFacts& facts, std::vector<std::string>& warnings) {
    const Engine::PointTally& tally = facts.tally;
    if (tally.lowestTime > tally.highestTime || !headers.front().hasGpsTime()) {
        return;
    }
    const bool adjusted = std::all_of(headers.begin(), headers.end(), [](const LasHeader& header) {
        return header.hasAdjustedStandardGpsTime();
    });
    const bool week = std::none_of(headers.begin(), headers.end(), [](const LasHeader& header) {
        return header.hasAdjustedStandardGpsTime();
    });
    const std::string range =
        "from " + shortest(tally.lowestTime) + " to " + shortest(tally.highestTime) + " s";
    if (week && (tally.lowestTime < 0.0 || tally.highestTime > SECONDS_PER_WEEK)) {
        warnings.push_back(input + ": the headers declare GPS week time, but the times run " + range +
                           ", outside a week: they look like adjusted standard GPS time");
    } else if (adjusted && tally.lowestTime >= 0.0 && tally.highestTime <= SECONDS_PER_WEEK) {
        warnings.push_back(input + ": the headers declare adjusted standard GPS time, but the times run " +
                           range + ", within a week: they look like GPS week time");
    }
}

} // namespace

std::vector<std::string> checkHeadersAgainstPoints(const std::string& input,
                                                   const std::vector<LasHeader>& headers,
                                                   const Engine::InputFacts& facts) {
    std::vector<std::string> warnings;
    if (headers.empty() || facts.points == 0) {
        return warnings;
    }
    checkBounds(input, headers, facts, warnings);
    checkReturns(input, headers, facts, warnings);
    checkTimeStandard(input, headers, facts, warnings);
    return warnings;
}

} // namespace Orvid::Compare::Metadata
