#include "Shard/ShardTotals.h"

#include <algorithm>
#include <stdexcept>

namespace Orvid::Compare {
namespace {

void addCounts(ClassCounts& sum, const ClassCounts& part) {
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        sum[kind] += part[kind];
    }
}

void addGrid(DensityGrid& sum, const DensityGrid& part) {
    sum.addCounts(part.counts(), part.binned(), part.outside());
}

} // namespace

ShardTotals& ShardTotals::operator+=(const ShardTotals& other) {
    addCounts(counts, other.counts);
    attributeDifferences += other.attributeDifferences;
    // Every shard compares the same extra attributes; a name met first in a later shard is appended.
    for (const auto& theirs : other.extraDifferences) {
        const auto mine = std::find_if(extraDifferences.begin(), extraDifferences.end(),
                                       [&](const auto& entry) { return entry.first == theirs.first; });
        if (mine == extraDifferences.end()) {
            extraDifferences.push_back(theirs);
        } else {
            mine->second += theirs.second;
        }
    }
    for (const auto& [transition, pairs] : other.classTransitions) {
        classTransitions[transition] += pairs;
    }
    for (std::size_t series = 0; series < displacement.size(); ++series) {
        displacement[series] += other.displacement[series];
    }
    histogram += other.histogram;
    for (const auto& [sourceId, lineCounts] : other.byFlightLine) {
        addCounts(byFlightLine[sourceId], lineCounts);
    }
    for (std::size_t side = 0; side < inputs.size(); ++side) {
        if (!inputs[side].whole) {
            inputs[side].whole = other.inputs[side].whole;
        } else if (other.inputs[side].whole && !(*inputs[side].whole == *other.inputs[side].whole)) {
            throw std::invalid_argument("its shard saw other inputs than the shards before it");
        }
        inputs[side].duplicateKeys += other.inputs[side].duplicateKeys;
        inputs[side].duplicatesOnSameChannel += other.inputs[side].duplicatesOnSameChannel;
        for (const auto& [sourceId, points] : other.inputs[side].pointsBySourceId) {
            inputs[side].pointsBySourceId[sourceId] += points;
        }
    }
    if (other.map) {
        if (!map) {
            map = other.map;
        } else {
            const Extent& mine = map->reference.extent();
            const Extent& theirs = other.map->reference.extent();
            if (mine.minX != theirs.minX || mine.minY != theirs.minY || mine.maxX != theirs.maxX ||
                mine.maxY != theirs.maxY) {
                throw std::invalid_argument("the maps of two shards cover different extents");
            }
            addGrid(map->reference, other.map->reference);
            for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
                addGrid(map->of(kind), other.map->of(kind));
            }
        }
    }
    unwritten += other.unwritten;
    windows += other.windows;
    return *this;
}

ShardTotals totalsOf(const RunGatherer& gatherer, const Engine::ComparisonOutcome& outcome,
                     std::optional<DifferenceMap> map, std::uint64_t unwritten) {
    ShardTotals totals;
    const ComparisonSummary summary = gatherer.summary();
    totals.counts = summary.counts;
    totals.attributeDifferences = outcome.differenceCounts;
    totals.extraDifferences = outcome.extraDifferenceCounts;
    totals.classTransitions = summary.classTransitions;
    totals.displacement = gatherer.displacementSums();
    totals.histogram = summary.displacement.histogram;
    totals.byFlightLine = summary.byFlightLine;
    const Engine::InputFacts* facts[2] = {&outcome.reference, &outcome.test};
    const std::map<std::uint16_t, std::uint64_t>* lines[2] = {&gatherer.referencePointsBySourceId(),
                                                              &gatherer.testPointsBySourceId()};
    for (std::size_t side = 0; side < 2; ++side) {
        totals.inputs[side].whole = WholeInput{facts[side]->points, facts[side]->nanTimes,
                                               facts[side]->inKeyOrder, facts[side]->tally};
        totals.inputs[side].duplicateKeys = facts[side]->duplicateKeys;
        totals.inputs[side].duplicatesOnSameChannel = facts[side]->duplicatesOnSameChannel;
        totals.inputs[side].pointsBySourceId = *lines[side];
    }
    totals.map = std::move(map);
    totals.unwritten = unwritten;
    totals.windows = outcome.windows;
    return totals;
}

Engine::InputFacts factsOf(const ShardTotals& totals, std::size_t side) {
    const ShardInputTotals& input = totals.inputs[side];
    Engine::InputFacts facts;
    if (input.whole) {
        facts.points = input.whole->points;
        facts.nanTimes = input.whole->nanTimes;
        facts.inKeyOrder = input.whole->inKeyOrder;
        facts.tally = input.whole->tally;
    }
    facts.duplicateKeys = input.duplicateKeys;
    facts.duplicatesOnSameChannel = input.duplicatesOnSameChannel;
    return facts;
}

ComparisonSummary summaryOf(const ShardTotals& totals, bool pointAttributes) {
    ComparisonSummary summary;
    summary.counts = totals.counts;
    if (pointAttributes) {
        summary.attributeDifferences = totals.attributeDifferences.counts;
    }
    summary.extraDifferences = totals.extraDifferences;
    summary.classTransitions = totals.classTransitions;
    DisplacementStatistics& displacement = summary.displacement;
    displacement.count = totals.counts[DifferenceClass::modified];
    displacement.magnitude = totals.displacement[0].statistics(displacement.count);
    displacement.dx = totals.displacement[1].statistics(displacement.count);
    displacement.dy = totals.displacement[2].statistics(displacement.count);
    displacement.dz = totals.displacement[3].statistics(displacement.count);
    displacement.histogram = totals.histogram;
    summary.byFlightLine = totals.byFlightLine;
    return summary;
}

} // namespace Orvid::Compare
