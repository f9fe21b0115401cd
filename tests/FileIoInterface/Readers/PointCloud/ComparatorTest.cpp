#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include "AssertRecorder.h"
#include "LogRecorder.h"
#include "MemoryPoint.h"
#include "MemoryPointCloudReader.h"
#include "RecordingPointCloudWriter.h"

#include <Core/ReturnStatusError.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Orvid::FileIoInterface::InputOutputPoint;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::FileIoInterface::Readers::PointCloud::Comparator;
using Orvid::Testing::AssertRecorder;
using Orvid::Testing::assertText;
using Orvid::Testing::LogRecorder;
using Orvid::Testing::makeLeg;
using Orvid::Testing::makePoint;
using Orvid::Testing::MemoryLeg;
using Orvid::Testing::MemoryPointCloudReader;
using Orvid::Testing::RecordingPointCloudWriter;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Points = std::vector<std::unique_ptr<InputOutputPoint>>;
using Key = std::pair<double, std::size_t>;

constexpr double EPSILON = 0.01;
const double QUIET_NAN = std::numeric_limits<double>::quiet_NaN();

/// A point on the x axis with return number 1, the shape of most cases here.
std::unique_ptr<InputOutputPoint> at(double time, double x) {
    return makePoint(time, 1, x);
}

template <typename... P>
Points points(P&&... p) {
    Points result;
    (result.push_back(std::forward<P>(p)), ...);
    return result;
}

/// A reader over one leg named "L".
MemoryPointCloudReader oneLeg(Points legPoints) {
    std::vector<MemoryLeg> legs;
    legs.push_back(makeLeg("L", std::move(legPoints)));
    return MemoryPointCloudReader(std::move(legs));
}

template <typename Set>
std::vector<Key> keys(const Set& set) {
    std::vector<Key> result;
    for (const auto& point : set) {
        result.emplace_back(point->getTime(), point->getReturnNumber());
    }
    return result;
}

template <typename Set>
std::vector<double> xs(const Set& set) {
    std::vector<double> result;
    for (const auto& point : set) {
        result.push_back(point->getX());
    }
    return result;
}

template <typename Set>
std::vector<double> times(const Set& set) {
    std::vector<double> result;
    for (const auto& point : set) {
        result.push_back(point->getTime());
    }
    return result;
}

std::string report(const std::vector<std::uint64_t>& counts) {
    static const char* const names[] = {"intensity",      "nbReturns",     "classificationFlags",
                                        "scannerChannel", "scanDirection", "edgeOfFlightLine",
                                        "classification", "userData",      "scanAngle",
                                        "sourceId",       "color"};
    std::string text = "Statistics of point-cloud comparison:\n";
    for (std::size_t i = 0; i < 11; ++i) {
        text += std::string("\t") + names[i] + ":\t" + std::to_string(counts[i]) + "\n";
    }
    return text;
}

const std::vector<std::uint64_t> NO_DIFFERENCES(11, 0);

TEST(Comparator, IdenticalCloudsLeaveEverySetEmptyAndLogAZeroReport) {
    LogRecorder log;
    auto make = [] {
        std::vector<MemoryLeg> legs;
        legs.push_back(makeLeg("A", points(at(1, 0), makePoint(1, 2, 3), at(2, 4))));
        legs.push_back(makeLeg("B", points(at(5, 1), at(6, 2))));
        return MemoryPointCloudReader(std::move(legs));
    };
    auto reference = make();
    auto test = make();
    const Comparator comparator(reference, test, 2, EPSILON, Comparator::defaultOptions(), 65535);

    EXPECT_THAT(comparator.getRemoved(), IsEmpty());
    EXPECT_THAT(comparator.getAdded(), IsEmpty());
    EXPECT_THAT(comparator.getModified(), IsEmpty());
    EXPECT_THAT(comparator.getMutated(), IsEmpty());
    EXPECT_THAT(comparator.getAltered(), IsEmpty());
    EXPECT_THAT(log.messages(), ElementsAre("rgbEpsilon: 65535", report(NO_DIFFERENCES)));
    EXPECT_EQ(log.lines()[0].level, "info");
    EXPECT_FALSE(reference.hasMoreLegs());
    EXPECT_FALSE(test.hasMoreLegs());
}

TEST(Comparator, PairsTheFirstCandidateWithinEpsilonNotTheNearest) {
    auto reference = oneLeg(points(at(1, 0.008), at(1, 0.0), at(1, 0.02)));
    auto test = oneLeg(points(at(1, 0.0)));
    const Comparator comparator(reference, test, 10, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(xs(comparator.getRemoved()), ElementsAre(0.0, 0.02));
}

TEST(Comparator, ADifferenceOfExactlyEpsilonAgreesAndANaNNeverDoes) {
    auto reference = oneLeg(points(at(1, 0.0), makePoint(2, 1, 0, 0, 1.0), at(3, QUIET_NAN), at(4, 0.0)));
    auto test = oneLeg(points(at(1, 0.25), makePoint(2, 1, 0, 0, 1.25), at(3, QUIET_NAN), at(4, 0.5)));
    const Comparator comparator(reference, test, 10, 0.25, Comparator::defaultOptions(), 0);
    EXPECT_THAT(comparator.getAdded(), IsEmpty());
    EXPECT_THAT(keys(comparator.getModified()), ElementsAre(Key{3, 1}, Key{4, 1}));
    EXPECT_TRUE(std::isnan(comparator.getModified().front()->getX()));
    EXPECT_THAT(comparator.getRemoved(), IsEmpty());
}

TEST(Comparator, FramesEveryTestLegAndWritesAModifiedPointThenItsDisplacement) {
    std::vector<std::string> trace;
    RecordingPointCloudWriter displacement(trace, "displacement.");
    RecordingPointCloudWriter modified(trace, "modified.");
    auto reference = oneLeg(points(makePoint(1, 1, 10, 20, 30), at(2, 0), at(2, 5), at(3, 7)));
    std::vector<MemoryLeg> testLegs;
    testLegs.push_back(makeLeg("A", points(makePoint(1, 1, 10.02, 19.5, 31), at(2, 1))));
    testLegs.push_back(makeLeg("Empty", {}));
    testLegs.push_back(makeLeg("C", points(at(3, 7))));
    MemoryPointCloudReader test(std::move(testLegs));
    const Comparator comparator(reference, test, &displacement, &modified, 10, EPSILON,
                                Comparator::defaultOptions(), 0);
    EXPECT_THAT(trace,
                ElementsAre("displacement.begin:A", "modified.begin:A", "modified.write:1/1 10.02 19.5 31",
                            "displacement.write:1/1 0.02 -0.5 1", "displacement.end", "modified.end",
                            "displacement.begin:Empty", "modified.begin:Empty", "displacement.end",
                            "modified.end", "displacement.begin:C", "modified.begin:C", "displacement.end",
                            "modified.end"));
    ASSERT_EQ(comparator.getModified().size(), 1U);
    const InputOutputPoint& moved = *comparator.getModified().front();
    EXPECT_NEAR(moved.getX(), 0.02, 1e-12);
    EXPECT_EQ(moved.getY(), -0.5);
    EXPECT_EQ(moved.getZ(), 1.0);
}

TEST(Comparator, ReportsReadersWithoutLegs) {
    AssertRecorder asserts;
    MemoryPointCloudReader emptyReference;
    auto test = oneLeg(points(at(1, 0)));
    const Comparator withoutReference(emptyReference, test, 1, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("reader.hasMoreLegs()")));
    EXPECT_THAT(keys(withoutReference.getAdded()), ElementsAre(Key{1, 1}));

    asserts.clear();
    auto reference = oneLeg(points(at(1, 0), at(2, 0)));
    MemoryPointCloudReader emptyTest;
    const Comparator withoutTest(reference, emptyTest, 1, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("reader.hasMoreLegs()")));
    EXPECT_THAT(keys(withoutTest.getRemoved()), ElementsAre(Key{1, 1}, Key{2, 1}));
}

TEST(Comparator, ReportsAZeroCapacityOnlyAfterReadingTheReferenceAndThenReadsWholeLegs) {
    auto reference = oneLeg(points(at(1, 0), at(2, 0), at(3, 0)));
    auto test = oneLeg(points(at(1, 0), at(2, 0), at(4, 0)));
    std::vector<std::pair<std::string, std::size_t>> reports;
    const auto previous =
        Orvid::CoreAssert::setAssertHandler([&](const std::string& message, const char* file, std::uint64_t) {
            reports.emplace_back(message + " @ " + file, reference.calls().nextPoint);
        });
    const Comparator comparator(reference, test, 0, EPSILON, Comparator::defaultOptions(), 0);
    Orvid::CoreAssert::setAssertHandler(previous);

    EXPECT_THAT(reports,
                ElementsAre(std::pair{assertText("capacity > 0") +
                                          " @ FileIoInterface/src/FileIoInterface/Readers/PointCloud/"
                                          "ComparatorPImpl.cpp",
                                      std::size_t{3}}));
    EXPECT_THAT(keys(comparator.getAdded()), ElementsAre(Key{4, 1}));
    EXPECT_THAT(keys(comparator.getRemoved()), ElementsAre(Key{3, 1}));
}

TEST(Comparator, ReportsAnEpsilonNotAboveZeroOnceAndForEveryTestPoint) {
    for (const double epsilon : {0.0, -1.0, QUIET_NAN}) {
        AssertRecorder asserts;
        auto reference = oneLeg(points(at(1, 0), at(2, 0)));
        auto test = oneLeg(points(at(1, 0), at(2, 0), at(3, 0)));
        const Comparator comparator(reference, test, 10, epsilon, Comparator::defaultOptions(), 0);
        const std::string text = assertText("epsilon > 0.0");
        EXPECT_THAT(asserts.messages(), ElementsAre(text, text, text, text)) << epsilon;
        if (epsilon == 0.0) {
            // Exactly equal positions still agree.
            EXPECT_THAT(keys(comparator.getAdded()), ElementsAre(Key{3, 1}));
            EXPECT_THAT(comparator.getModified(), IsEmpty());
        } else {
            // No position agrees: each single candidate makes a modified point.
            EXPECT_THAT(keys(comparator.getModified()), ElementsAre(Key{1, 1}, Key{2, 1}));
        }
    }
}

TEST(Comparator, AFailingWriterStopsTheComparisonWithItsStatusAndNoReport) {
    LogRecorder log;
    RecordingPointCloudWriter failing(1);
    auto reference = oneLeg(points(at(1, 0), at(2, 0)));
    auto test = oneLeg(points(at(1, 5), at(2, 5)));
    try {
        const Comparator comparator(reference, test, nullptr, &failing, 10, EPSILON,
                                    Comparator::defaultOptions(), 0);
        FAIL() << "the writer's failure was swallowed";
    } catch (const Orvid::Core::ReturnStatusError& error) {
        EXPECT_FALSE(error.status());
        EXPECT_EQ(error.status().message(), RecordingPointCloudWriter::FAILURE_MESSAGE);
    }
    EXPECT_THAT(log.messages(), ElementsAre("rgbEpsilon: 0"));
    EXPECT_EQ(test.calls().nextPoint, 2U);
}

/// Which points the options and the colour tolerance make mutated or altered, and what is counted.
struct AttributeCase {
    std::string name;
    Comparator::Options options;
    unsigned short colourTolerance;
    std::vector<double> mutated;
    std::vector<double> altered;
    /// The differences in intensity, classification and colour; no other attribute differs.
    std::array<std::uint64_t, 3> counts;
};

void PrintTo(const AttributeCase& c, std::ostream* out) {
    *out << c.name;
}

class ComparatorAttributes : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(ComparatorAttributes, SelectTheComparisonsAndTheCounters) {
    // Against default points at times 1 to 5: changed point attributes, an extra value, both, a tint,
    // and an unknown intensity.
    Points changed;
    for (double time = 1; time <= 5; ++time) {
        auto point = makePoint(time, 1);
        if (time == 1 || time == 3) {
            point->intensity = 7;
            point->classification = 6;
            point->color = {1, 2, 3};
        }
        if (time == 2 || time == 3) {
            point->values = {Value{std::uint8_t{1}}};
        }
        if (time == 4) {
            point->color = {5, 0, 0};
        }
        if (time == 5) {
            point->intensity = QUIET_NAN;
        }
        changed.push_back(std::move(point));
    }
    LogRecorder log;
    auto reference = oneLeg(points(at(1, 0), at(2, 0), at(3, 0), at(4, 0), at(5, 0)));
    auto test = oneLeg(std::move(changed));
    const AttributeCase& c = GetParam();
    const Comparator comparator(reference, test, 10, EPSILON, c.options, c.colourTolerance);
    const std::vector<std::uint64_t> counts = {c.counts[0], 0, 0, 0, 0, 0, c.counts[1], 0, 0, 0, c.counts[2]};
    EXPECT_EQ(times(comparator.getMutated()), c.mutated);
    EXPECT_EQ(times(comparator.getAltered()), c.altered);
    EXPECT_THAT(comparator.getRemoved(), IsEmpty());
    EXPECT_EQ(log.messages().back(), report(counts));
}

INSTANTIATE_TEST_SUITE_P(
    Options, ComparatorAttributes,
    ::testing::Values(
        AttributeCase{"none", {}, 0, {}, {}, {0, 0, 0}},
        AttributeCase{"pointAttributes", {Comparator::pointAttributes}, 0, {1, 3, 4, 5}, {}, {3, 2, 3}},
        AttributeCase{"extraAttributes", {Comparator::extraAttributes}, 0, {}, {2, 3}, {0, 0, 0}},
        AttributeCase{
            "defaultsWithinColourTolerance", Comparator::defaultOptions(), 5, {1, 3, 5}, {2}, {3, 2, 0}},
        AttributeCase{
            "defaultsBeyondColourTolerance", Comparator::defaultOptions(), 4, {1, 3, 4, 5}, {2}, {3, 2, 1}}),
    [](const ::testing::TestParamInfo<AttributeCase>& param) { return param.param.name; });

TEST(Comparator, RemovedPointsIterateByKeyThenInHintedInsertionOrder) {
    std::vector<MemoryLeg> ordered;
    ordered.push_back(makeLeg("A", points(makePoint(1, 1, 1), makePoint(1, 2, 2), makePoint(1, 2, 3))));
    ordered.push_back(makeLeg("B", points(makePoint(1, 2, 4), makePoint(2, 1, 5))));
    MemoryPointCloudReader inKeyOrder(std::move(ordered));
    auto none = oneLeg({});
    const Comparator readingOrder(inKeyOrder, none, 10, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(xs(readingOrder.getRemoved()), ElementsAre(1, 2, 3, 4, 5));

    std::vector<MemoryLeg> legs;
    legs.push_back(makeLeg("A", points(makePoint(1, 2, 1), makePoint(1, 2, 2), makePoint(0.5, 3, 3))));
    legs.push_back(makeLeg("B", points(makePoint(1, 1, 4), makePoint(1, 2, 5))));
    MemoryPointCloudReader reference(std::move(legs));
    auto test = oneLeg({});
    const Comparator comparator(reference, test, 10, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(keys(comparator.getRemoved()),
                ElementsAre(Key{0.5, 3}, Key{1, 1}, Key{1, 2}, Key{1, 2}, Key{1, 2}));
    // Leg B's hint restarts at the end, but its second point is inserted just before the position after
    // its first: ahead of leg A's equivalent points, because this reference is not read in key order.
    EXPECT_THAT(xs(comparator.getRemoved()), ElementsAre(3, 4, 5, 1, 2));
}

TEST(Comparator, AReferenceLegContributesAtMostItsAnnouncedCount) {
    std::vector<MemoryLeg> legs;
    legs.push_back(makeLeg("A", points(at(1, 0), at(2, 0), at(3, 0))));
    legs.back().announcedCount = 2;
    legs.push_back(makeLeg("B", points(at(4, 0))));
    MemoryPointCloudReader reference(std::move(legs));
    auto test = oneLeg({});
    const Comparator comparator(reference, test, 10, EPSILON, Comparator::defaultOptions(), 0);
    EXPECT_THAT(keys(comparator.getRemoved()), ElementsAre(Key{1, 1}, Key{2, 1}, Key{4, 1}));
}

/// The pairing rules applied by brute force to keys in a plain list: what the comparator must find
/// for a reference read in key order, whatever the order of the test points.
struct ExpectedOutcome {
    std::vector<double> added;
    /// The displacements along x.
    std::vector<double> modified;
    std::vector<double> removed;
};

ExpectedOutcome pairByBruteForce(std::vector<std::tuple<Key, double>> reference,
                                 const std::vector<std::tuple<Key, double>>& test) {
    ExpectedOutcome outcome;
    for (const auto& [key, testX] : test) {
        const double x = testX;
        std::vector<std::size_t> candidates;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            if (std::get<0>(reference[i]) == key) {
                candidates.push_back(i);
            }
        }
        const auto within = std::find_if(candidates.begin(), candidates.end(), [&](std::size_t i) {
            return std::fabs(std::get<1>(reference[i]) - x) <= EPSILON;
        });
        if (within != candidates.end()) {
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(*within));
        } else if (candidates.size() == 1) {
            outcome.modified.push_back(x - std::get<1>(reference[candidates[0]]));
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(candidates[0]));
        } else {
            outcome.added.push_back(x);
        }
    }
    for (const auto& [key, x] : reference) {
        outcome.removed.push_back(x);
    }
    return outcome;
}

TEST(Comparator, AgreesWithBruteForcePairingOnShuffledDuplicateKeys) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        std::uniform_int_distribution<int> time(0, 15);
        std::uniform_int_distribution<int> returnNumber(1, 2);
        std::uniform_int_distribution<int> offset(0, 2);
        std::vector<std::tuple<Key, double>> reference;
        std::vector<std::tuple<Key, double>> test;
        for (int i = 0; i < 40; ++i) {
            // Unique x values identify the points; offsets of 0 or 1 (within epsilon) or 0.5 (beyond).
            const Key key{time(random), returnNumber(random)};
            reference.emplace_back(key, 100.0 * i);
            test.emplace_back(Key{time(random), returnNumber(random)}, 100.0 * i + 0.005 * offset(random));
            test.emplace_back(key, 100.0 * i + (offset(random) == 0 ? 0.5 : 0.0) + 0.0001 * i);
        }
        std::stable_sort(reference.begin(), reference.end(),
                         [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
        std::shuffle(test.begin(), test.end(), random);
        const ExpectedOutcome expected = pairByBruteForce(reference, test);

        auto toPoints = [](const std::vector<std::tuple<Key, double>>& entries) {
            Points result;
            for (const auto& [key, x] : entries) {
                result.push_back(makePoint(key.first, key.second, x));
            }
            return result;
        };
        // In blocks of one, of several and of all the test points, the test read in two legs.
        for (const std::size_t capacity : {1U, 7U, 1000U}) {
            auto referenceReader = oneLeg(toPoints(reference));
            std::vector<MemoryLeg> testLegs;
            testLegs.push_back(makeLeg("A", toPoints({test.begin(), test.begin() + 30})));
            testLegs.push_back(makeLeg("B", toPoints({test.begin() + 30, test.end()})));
            MemoryPointCloudReader testReader(std::move(testLegs));
            const Comparator comparator(referenceReader, testReader, capacity, EPSILON, {}, 0);
            const std::string where =
                "round " + std::to_string(round) + ", capacity " + std::to_string(capacity);
            EXPECT_EQ(xs(comparator.getAdded()), expected.added) << where;
            EXPECT_EQ(xs(comparator.getModified()), expected.modified) << where;
            EXPECT_EQ(xs(comparator.getRemoved()), expected.removed) << where;
        }
    }
}

} // namespace
