#include "EngineTestSupport.h"

#include "LogRecorder.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace Orvid::Testing {

namespace {

using Compare::Engine::ComparisonOutcome;
using Compare::Engine::Decision;
using Compare::Engine::DecisionSink;
using Compare::Engine::EngineOptions;
using Compare::Engine::PointClass;
using FileIoInterface::Readers::PointCloud::Comparator;

constexpr std::size_t REMOVED = 0;
constexpr std::size_t ADDED = 1;
constexpr std::size_t MODIFIED = 2;
constexpr std::size_t MUTATED = 3;
constexpr std::size_t ALTERED = 4;

void sortSets(ResultSets& results) {
    for (std::vector<std::string>& set : results.sets) {
        std::sort(set.begin(), set.end());
    }
}

class RecordingSink final : public DecisionSink {
public:
    RecordingSink(ResultSets& results, bool restartable)
        : mResults(results)
        , mRestartable(restartable) {}

    bool restartable() const override { return mRestartable; }
    void restart() override {
        mResults = ResultSets{{}, {}, mResults.restarts + 1};
        classCounts = {};
    }

    void decided(const Decision& decision) override {
        ++classCounts[static_cast<std::size_t>(decision.pointClass)];
        const bool hasTest = decision.pointClass != PointClass::removed;
        const bool hasReference = decision.pointClass != PointClass::added;
        ASSERT_EQ(decision.testPoint != nullptr, hasTest);
        ASSERT_EQ(decision.referencePoint != nullptr, hasReference);
        switch (decision.pointClass) {
        case PointClass::removed:
            mResults.sets[REMOVED].push_back(describe(*decision.referencePoint));
            break;
        case PointClass::added:
            mResults.sets[ADDED].push_back(describe(*decision.testPoint));
            break;
        case PointClass::modified: {
            FileIoInterface::Las::LasPoint displaced(*decision.testPoint);
            displaced.setX(decision.displacement.dx);
            displaced.setY(decision.displacement.dy);
            displaced.setZ(decision.displacement.dz);
            EXPECT_EQ(decision.displacement.dx, decision.testPoint->getX() - decision.referencePoint->getX());
            mResults.sets[MODIFIED].push_back(describe(displaced));
            break;
        }
        case PointClass::mutated:
            EXPECT_NE(decision.differences, 0);
            mResults.sets[MUTATED].push_back(describe(*decision.testPoint));
            break;
        case PointClass::altered:
            EXPECT_TRUE(decision.extraAttributesDiffer);
            mResults.sets[ALTERED].push_back(describe(*decision.testPoint));
            break;
        case PointClass::unchanged:
            EXPECT_EQ(decision.differences, 0);
            break;
        }
    }

    std::array<std::uint64_t, 6> classCounts{};

private:
    ResultSets& mResults;
    bool mRestartable;
};

} // namespace

std::string describe(const FileIoInterface::InputOutputPoint& point) {
    std::ostringstream text;
    text << std::hexfloat << point.getTime() << ' ' << point.getReturnNumber() << ' ' << point.getX() << ' '
         << point.getY() << ' ' << point.getZ() << ' ' << point.getIntensity() << ' ' << point.getNbReturns()
         << ' ' << point.getClassificationFlags().mask() << ' ' << unsigned{point.getScannerChannel()} << ' '
         << unsigned{point.getScanDirection()} << ' ' << unsigned{point.getEdgeOfFlightLine()} << ' '
         << unsigned{point.getClassification()} << ' ' << unsigned{point.getUserData()} << ' '
         << point.getScanAngle() << ' ' << point.getSourceId() << ' ' << point.getColor().red << ' '
         << point.getColor().green << ' ' << point.getColor().blue;
    for (const FileIoInterface::Attribute::Value& value : point.values) {
        text << " v" << value.index() << ':';
        std::visit([&](auto held) { text << +held; }, value);
    }
    return text.str();
}

std::vector<std::pair<std::string, std::uint64_t>> statisticsOf(const std::string& report) {
    // A title line, then one "\t<name>:\t<count>" line per attribute.
    std::istringstream lines(report);
    std::string line;
    std::getline(lines, line);
    std::vector<std::pair<std::string, std::uint64_t>> statistics;
    while (std::getline(lines, line)) {
        const std::size_t separator = line.find(":\t");
        statistics.emplace_back(line.substr(1, separator - 1), std::stoull(line.substr(separator + 2)));
    }
    return statistics;
}

ResultSets libraryResults(const std::vector<std::filesystem::path>& reference,
                          const std::vector<std::filesystem::path>& test, const EngineOptions& options) {
    Utils::Enum::Flags<Comparator::Option> flags;
    flags.set(Comparator::pointAttributes, options.comparePointAttributes);
    flags.set(Comparator::extraAttributes, options.compareExtraAttributes);
    ResultSets results;
    const LogRecorder log;
    FileIoInterface::Las::LasReader referenceReader(reference);
    FileIoInterface::Las::LasReader testReader(test);
    const Comparator comparator(referenceReader, testReader, 1000, options.epsilon, flags,
                                options.rgbEpsilon);
    for (const auto& point : comparator.getRemoved()) {
        results.sets[REMOVED].push_back(describe(*point));
    }
    const std::pair<std::size_t, const Comparator::PointList*> lists[] = {
        {ADDED, &comparator.getAdded()},
        {MODIFIED, &comparator.getModified()},
        {MUTATED, &comparator.getMutated()},
        {ALTERED, &comparator.getAltered()}};
    for (const auto& [set, list] : lists) {
        for (const auto& point : *list) {
            results.sets[set].push_back(describe(*point));
        }
    }
    // The comparator hands out no counters: they are read back from its statistics report.
    const std::vector<std::string> messages = log.messages();
    EXPECT_FALSE(messages.empty());
    const auto statistics = statisticsOf(messages.empty() ? std::string() : messages.back());
    for (std::size_t index = 0; index < std::min(results.counters.size(), statistics.size()); ++index) {
        results.counters[index] = statistics[index].second;
    }
    sortSets(results);
    return results;
}

ResultSets engineResults(const std::vector<std::filesystem::path>& reference,
                         const std::vector<std::filesystem::path>& test, const EngineOptions& options,
                         ComparisonOutcome* outcome, bool restartable) {
    ResultSets results;
    RecordingSink sink(results, restartable);
    const ComparisonOutcome totals = Compare::Engine::CompareEngine(options).compare(reference, test, sink);
    EXPECT_EQ(totals.classCounts, sink.classCounts);
    const auto count = [&](PointClass pointClass) { return totals.count(pointClass); };
    const std::uint64_t paired = count(PointClass::unchanged) + count(PointClass::mutated) +
                                 count(PointClass::altered) + count(PointClass::modified);
    EXPECT_EQ(paired + count(PointClass::added), totals.test.points);
    EXPECT_EQ(paired + count(PointClass::removed), totals.reference.points);
    results.counters = totals.differenceCounts.counts;
    if (outcome) {
        *outcome = totals;
    }
    sortSets(results);
    return results;
}

} // namespace Orvid::Testing
