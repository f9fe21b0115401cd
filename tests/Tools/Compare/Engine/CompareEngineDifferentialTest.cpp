// The engine against the library's comparator on the same LAS files: the five result sets, as sets
// of points, and the attribute counters must be equal.
#include "EngineTestSupport.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "TemporaryFolder.h"

#include <CompareEngine/CompareEngine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <tuple>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using Compare::Engine::ComparisonOutcome;
using Compare::Engine::EngineOptions;
using FileIoInterface::Attribute::DataType;
using FileIoInterface::Attribute::Descriptor;
using FileIoInterface::Attribute::Value;

/// Coordinates lie on a grid of 1/8 and epsilon is two steps, so that differences of exactly epsilon
/// are exact doubles.
constexpr double STEP = 0.125;
constexpr double EPSILON = 0.25;

struct RandomCase {
    const char* name;
    std::uint8_t format = 7;
    bool shuffleTest = false;
    /// Only for references without duplicate keys, whose order among equal keys cannot matter.
    bool shuffleReference = false;
    bool nanTimes = false;
    bool pointAttributes = true;
    bool extraAttributes = true;
    std::uint16_t rgbEpsilon = 0;
    unsigned threads = 2;
    /// 0: the default; small budgets force several windows.
    std::uint64_t memoryBudget = 0;
    /// Most points share a few keys, so that large key groups are searched through a grid.
    bool largeKeyGroups = false;
    /// Added to the test's x offset and to every test x, so that equal records of the two inputs
    /// hold positions this far apart.
    double testOffsetX = 0.0;
    /// Reference points beyond the few drawn, for inputs of several chunks.
    std::size_t morePoints = 0;
    /// The test in key order (time, then return number), but for one point, drawn anywhere, moved after
    /// the others: out of key order at its end, with a key that may lie far back.
    bool testPointLast = false;
    /// Every point at one time, so that each return number is a key of all its points, as in clouds
    /// without GPS time. The reference is then sorted by return number: the library keeps equal keys of
    /// a reference out of key order in an order of its own.
    bool oneTime = false;
};

std::ostream& operator<<(std::ostream& out, const RandomCase& random) {
    return out << random.name;
}

/// A small random reference in key order and a test copy with planted changes of every kind,
/// written as LAS legs.
class RandomClouds {
public:
    RandomClouds(const RandomCase& random, std::uint64_t seed)
        : mCase(random)
        , mRandom(seed) {
        makeReference();
        makeTest();
    }

    std::vector<fs::path> write(const fs::path& folder, bool reference) {
        std::vector<std::unique_ptr<MemoryPoint>>& points = reference ? mReference : mTest;
        if (reference ? mCase.shuffleReference && !mReferenceHasDuplicates : mCase.shuffleTest) {
            // NaN-time reference points stay last, where the library's tree keeps them apart.
            const auto numbers = std::stable_partition(
                points.begin(), points.end(), [](const auto& point) { return !std::isnan(point->time); });
            std::shuffle(points.begin(), reference ? numbers : points.end(), mRandom);
        }
        if (!reference && mCase.testPointLast && !points.empty()) {
            // A time of -0 lies before a time of 0 in key order.
            std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) {
                return std::make_tuple(a->time, !std::signbit(a->time), a->returnNumber) <
                       std::make_tuple(b->time, !std::signbit(b->time), b->returnNumber);
            });
            const auto moved = points.begin() + static_cast<std::ptrdiff_t>(pick(points.size()));
            std::rotate(moved, moved + 1, points.end());
        }
        std::vector<PointLeg> legs(1 + pick(3));
        std::vector<std::size_t> cuts;
        for (std::size_t leg = 1; leg < legs.size(); ++leg) {
            cuts.push_back(pick(points.size() + 1));
        }
        std::sort(cuts.begin(), cuts.end());
        std::size_t leg = 0;
        for (std::size_t index = 0; index < points.size(); ++index) {
            while (leg < cuts.size() && cuts[leg] <= index) {
                ++leg;
            }
            auto copy = std::make_unique<MemoryPoint>(*points[index]);
            copy->x += reference ? 0.0 : mCase.testOffsetX;
            legs[leg].push_back(std::move(copy));
        }
        FileIoInterface::Las::LasWriterOptions options;
        options.pointFormat = mCase.format;
        const double offsetX = reference ? 0.0 : mCase.testOffsetX;
        options.scaleOffset = FileIoInterface::Las::LasScaleOffset{{STEP, STEP, STEP}, {offsetX, 0.0, 0.0}};
        return writeLasLegs(folder, reference ? "reference" : "test", legs, options, descriptors());
    }

    /// Points per cloud that share their key with an earlier point of the cloud, NaN times by
    /// return number.
    std::uint64_t duplicates(bool reference) const {
        std::map<std::pair<double, std::size_t>, int> seen;
        std::uint64_t count = 0;
        for (const auto& point : reference ? mReference : mTest) {
            const double time =
                std::isnan(point->time) ? std::numeric_limits<double>::infinity() : point->time + 0.0;
            count += seen[{time, point->returnNumber}]++ != 0 ? 1u : 0u;
        }
        return count;
    }
    std::uint64_t nanTimes(bool reference) const {
        const auto& points = reference ? mReference : mTest;
        return static_cast<std::uint64_t>(std::count_if(
            points.begin(), points.end(), [](const auto& point) { return std::isnan(point->time); }));
    }

private:
    static std::vector<Descriptor> descriptors() {
        std::vector<Descriptor> list(2);
        list[0].dataType = DataType::UInt16;
        list[0].name = "Amplitude";
        list[1].dataType = DataType::Float;
        list[1].name = "Reflectance";
        return list;
    }

    std::size_t pick(std::size_t count) {
        return count == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, count - 1)(mRandom);
    }
    bool chance(double probability) { return std::bernoulli_distribution(probability)(mRandom); }
    bool extended() const { return mCase.format >= 6; }

    /// A point without a time, alone with its return number (5 to 7) among the times: the library's
    /// pairing of it cannot depend on the shape of its tree.
    std::unique_ptr<MemoryPoint> nanTimePoint(std::size_t returnNumber) {
        auto point = std::make_unique<MemoryPoint>();
        randomise(*point);
        point->time = std::numeric_limits<double>::quiet_NaN();
        point->returnNumber = returnNumber;
        point->x = STEP * static_cast<double>(pick(8));
        return point;
    }

    void randomise(MemoryPoint& point) {
        point.intensity = static_cast<double>(pick(4));
        point.nbReturns = 1 + pick(4);
        point.classification = static_cast<std::uint8_t>(pick(4));
        point.classificationFlags = FileIoInterface::ClassificationFlags::fromMask(
            static_cast<std::uint32_t>(pick(extended() ? 16 : 8)));
        point.scannerChannel = extended() ? static_cast<std::uint8_t>(pick(4)) : 0;
        point.scanDirection = static_cast<std::uint8_t>(pick(2));
        point.edgeOfFlightLine = static_cast<std::uint8_t>(pick(2));
        point.userData = static_cast<std::uint8_t>(pick(3));
        point.scanAngle = static_cast<double>(pick(3)) * (extended() ? 0.006 : 1.0);
        point.sourceId = static_cast<std::uint16_t>(pick(3));
        point.color = {static_cast<std::uint16_t>(100 * pick(3)), 7, 9};
        const float reflectance =
            chance(0.05) ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(pick(3));
        point.values = {Value{static_cast<std::uint16_t>(pick(3))}, Value{reflectance}};
    }

    void makeReference() {
        const std::size_t count = mCase.morePoints + (mCase.largeKeyGroups ? 60 + pick(200) : pick(90));
        double time = chance(0.5) ? -1.0 : 0.0;
        std::size_t returnNumber = 1;
        for (std::size_t index = 0; index < count; ++index) {
            auto point = std::make_unique<MemoryPoint>();
            randomise(*point);
            if (index > 0 && mCase.largeKeyGroups && chance(0.97)) {
                // Scattered over a few epsilons, so that candidates near and beyond it mix.
                point->x = STEP * static_cast<double>(pick(12));
                point->y = STEP * static_cast<double>(pick(12));
                point->z = STEP * static_cast<double>(pick(3));
                mReferenceHasDuplicates = true;
            } else if (index > 0 && chance(0.15)) {
                // A duplicate key, close to its twin so that both may lie within epsilon of a test point.
                const MemoryPoint& twin = *mReference.back();
                point->x = twin.x + STEP * static_cast<double>(pick(3));
                point->y = twin.y;
                point->z = twin.z;
                mReferenceHasDuplicates = true;
            } else {
                if (returnNumber < 4 && chance(0.3)) {
                    returnNumber += 1 + pick(4 - returnNumber);
                } else {
                    time += chance(0.5) ? 0.5 : 0.25;
                    returnNumber = 1 + pick(4);
                }
                point->x = STEP * static_cast<double>(pick(40));
                point->y = STEP * static_cast<double>(pick(40));
                point->z = STEP * static_cast<double>(pick(8));
            }
            point->time = mCase.oneTime ? 0.5 : time;
            point->returnNumber = returnNumber;
            mReference.push_back(std::move(point));
        }
        if (mCase.oneTime) {
            std::stable_sort(mReference.begin(), mReference.end(),
                             [](const auto& a, const auto& b) { return a->returnNumber < b->returnNumber; });
        }
        if (mCase.nanTimes) {
            // Return numbers 5 to 7 belong to NaN times alone, at most one point each, at the end.
            for (std::size_t nanReturn = 5; nanReturn <= 7; ++nanReturn) {
                if (chance(0.6)) {
                    mReference.push_back(nanTimePoint(nanReturn));
                }
            }
        }
    }

    void change(MemoryPoint& point) {
        const double draw = std::uniform_real_distribution<double>(0.0, 1.0)(mRandom);
        if (draw < 0.15) {
            double& axis = pick(3) == 0 ? point.x : (pick(2) == 0 ? point.y : point.z);
            const double steps[] = {1.0, 2.0, 3.0, 40.0};
            axis += STEP * steps[pick(4)] * (chance(0.5) ? 1.0 : -1.0);
        } else if (draw < 0.35) {
            changeAttribute(point);
        } else if (draw < 0.42) {
            point.values[0] = Value{static_cast<std::uint16_t>(std::get<std::uint16_t>(point.values[0]) + 1)};
        } else if (draw < 0.47) {
            changeAttribute(point);
            point.values[1] = Value{std::numeric_limits<float>::quiet_NaN()};
        }
        if (point.time == 0.0 && chance(0.5)) {
            point.time = -point.time;
        }
    }

    void changeAttribute(MemoryPoint& point) {
        switch (pick(12)) {
        case 0:
            point.intensity += 1.0;
            break;
        case 1:
            point.nbReturns = point.nbReturns % 4 + 1;
            break;
        case 2:
            point.classificationFlags =
                FileIoInterface::ClassificationFlags::fromMask(point.classificationFlags.mask() ^ 1u);
            break;
        case 3:
            point.scannerChannel =
                extended() ? static_cast<std::uint8_t>((point.scannerChannel + 1) % 4) : std::uint8_t{0};
            break;
        case 4:
            point.scanDirection = static_cast<std::uint8_t>(point.scanDirection ^ 1u);
            break;
        case 5:
            point.edgeOfFlightLine = static_cast<std::uint8_t>(point.edgeOfFlightLine ^ 1u);
            break;
        case 6:
            point.classification = static_cast<std::uint8_t>(point.classification + 1);
            break;
        case 7:
            point.userData = static_cast<std::uint8_t>(point.userData + 1);
            break;
        case 8:
            point.scanAngle += extended() ? 0.006 : 1.0;
            break;
        case 9:
            point.sourceId = static_cast<std::uint16_t>(point.sourceId + 1);
            break;
        case 10:
            point.color.red = static_cast<std::uint16_t>(point.color.red + mCase.rgbEpsilon);
            break;
        default:
            point.color.green = static_cast<std::uint16_t>(point.color.green + mCase.rgbEpsilon + 1);
            break;
        }
    }

    void makeTest() {
        for (const auto& reference : mReference) {
            if (std::isnan(reference->time)) {
                continue;
            }
            if (!chance(0.1)) {
                auto point = std::make_unique<MemoryPoint>(*reference);
                change(*point);
                mTest.push_back(std::move(point));
            }
            if (chance(0.1)) {
                // A new point, on a key of its own or on this point's key.
                auto point = std::make_unique<MemoryPoint>(*reference);
                randomise(*point);
                point->x = reference->x + STEP * static_cast<double>(pick(4));
                if (!mCase.oneTime && chance(0.5)) {
                    point->time += 0.125;
                }
                mTest.push_back(std::move(point));
            }
        }
        if (mCase.nanTimes) {
            for (std::size_t nanReturn = 5; nanReturn <= 7; ++nanReturn) {
                if (chance(0.6)) {
                    mTest.insert(mTest.begin() + static_cast<std::ptrdiff_t>(pick(mTest.size() + 1)),
                                 nanTimePoint(nanReturn));
                }
            }
        }
    }

    RandomCase mCase;
    std::mt19937_64 mRandom;
    std::vector<std::unique_ptr<MemoryPoint>> mReference;
    std::vector<std::unique_ptr<MemoryPoint>> mTest;
    bool mReferenceHasDuplicates = false;
};

EngineOptions optionsOf(const RandomCase& random) {
    EngineOptions options;
    options.epsilon = EPSILON;
    options.rgbEpsilon = random.rgbEpsilon;
    options.comparePointAttributes = random.pointAttributes;
    options.compareExtraAttributes = random.extraAttributes;
    options.threads = random.threads;
    options.memoryBudget = random.memoryBudget;
    // The library's equality of extra values, under which a NaN equals nothing.
    options.identicalBitsEqual = false;
    return options;
}

void expectSameResults(const ResultSets& library, const ResultSets& engine) {
    const char* const names[] = {"removed", "added", "modified", "mutated", "altered"};
    for (std::size_t set = 0; set < library.sets.size(); ++set) {
        EXPECT_EQ(library.sets[set], engine.sets[set]) << names[set];
    }
    EXPECT_EQ(library.counters, engine.counters);
}

class RandomCloudsTest : public testing::TestWithParam<RandomCase> {};

TEST_P(RandomCloudsTest, GivesTheLibraryAnswers) {
    const RandomCase& random = GetParam();
    constexpr std::uint64_t SEEDS = 60;
    // Passes stopped by disorder that went on from what they decided, and that started again.
    std::array<unsigned, 2> stoppedPasses{};
    for (std::uint64_t seed = 1; seed <= SEEDS; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const TemporaryFolder folder("engine-test");
        RandomClouds clouds(random, seed);
        const std::vector<fs::path> reference = clouds.write(folder.path, true);
        const std::vector<fs::path> test = clouds.write(folder.path, false);
        const EngineOptions options = optionsOf(random);
        ComparisonOutcome outcome;
        // Inputs in key order are compared in one pass for odd seeds, scanned first for even ones.
        const ResultSets engine = engineResults(reference, test, options, &outcome, seed % 2 == 1);
        expectSameResults(libraryResults(reference, test, options), engine);
        if (random.testPointLast && seed % 2 == 1) {
            ++stoppedPasses[engine.restarts == 0 ? 0 : 1];
        }
        EXPECT_EQ(outcome.reference.duplicateKeys, clouds.duplicates(true));
        EXPECT_EQ(outcome.test.duplicateKeys, clouds.duplicates(false));
        EXPECT_EQ(outcome.reference.nanTimes, clouds.nanTimes(true));
        EXPECT_EQ(outcome.test.nanTimes, clouds.nanTimes(false));
        if (HasFailure()) {
            return;
        }
    }
    if (random.testPointLast) {
        EXPECT_GT(stoppedPasses[0], 0u);
        EXPECT_GT(stoppedPasses[1], 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RandomCloudsTest,
    testing::Values(
        RandomCase{"KeyOrderFormat7"}, RandomCase{"KeyOrderFormat3", 3},
        RandomCase{"KeyOrderFormat6OneThread", 6, false, false, false, true, true, 0, 1},
        RandomCase{"ShuffledTest", 7, true}, RandomCase{"ShuffledBoth", 7, true, true},
        RandomCase{"ShuffledReference", 3, false, true}, RandomCase{"NanTimes", 7, false, false, true},
        RandomCase{"NanTimesShuffled", 7, true, true, true},
        RandomCase{"PointAttributesOnly", 7, true, false, false, true, false},
        RandomCase{"ExtraAttributesOnly", 7, false, false, false, false, true},
        RandomCase{"NoAttributes", 7, true, false, true, false, false},
        RandomCase{"ColourTolerance", 7, false, false, false, true, true, 100},
        RandomCase{"TinyBudget", 7, true, true, true, true, true, 0, 2, 1},
        RandomCase{"LargeKeyGroups", 7, true, false, false, true, true, 0, 2, 0, true},
        // Equal records at positions within epsilon, then beyond it.
        RandomCase{"TestOffsetWithinEpsilon", 7, false, false, false, true, true, 0, 2, 0, false, STEP},
        RandomCase{"TestOffsetBeyondEpsilon", 3, true, false, false, true, true, 0, 2, 0, false, 3 * STEP},
        // A pass in key order stopped after some chunks were decided: the scan goes on from them, or
        // starts again when the point out of order has a key among theirs.
        RandomCase{"TestPointLast", 7, false, false, false, true, true, 0, 2, 0, false, 0.0, 5000, true},
        RandomCase{"OneTime", 3, true, false, false, true, true, 0, 2, 0, false, 0.0, 0, false, true}),
    [](const testing::TestParamInfo<RandomCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace Orvid::Testing
