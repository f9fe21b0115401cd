// The engine on generated surveys with planted changes, in every input order, window size and thread
// count; pairing by channel; what it reports besides decisions.
#include "EngineTestSupport.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "TemporaryFolder.h"

#include <CompareEngine/CompareEngine.h>

#include <Core/IOException.h>

#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <tuple>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using Compare::Engine::CompareEngine;
using Compare::Engine::ComparisonOutcome;
using Compare::Engine::Decision;
using Compare::Engine::DecisionSink;
using Compare::Engine::EngineOptions;
using Compare::Engine::Phase;
using Compare::Engine::PointClass;

/// A reference survey of three legs and its test copy with 1 % of each change, written once for all
/// tests, in key order and with the records of the test (and of a second reference) shuffled; the
/// reference and both tests as LAZ too.
class SurveyFiles {
public:
    SurveyFiles() {
        const SyntheticSurvey::SurveyParameters survey{3, 20000, 7};
        const SyntheticSurvey::ChangePlan plan{0.01, 0.01, 0.01, 0.01, 0.01, 0.05};
        reference = writeSurveyLegs(mFolder.path, "reference", survey);
        test = writeSurveyLegs(mFolder.path, "test", survey, plan, &planted);
        for (std::size_t leg = 0; leg < test.size(); ++leg) {
            shuffledTest.push_back(mFolder / ("shuffled-test-" + std::to_string(leg + 1) + ".las"));
            writeShuffledCopy(test[leg], shuffledTest.back(), leg + 1);
            shuffledReference.push_back(mFolder / ("shuffled-reference-" + std::to_string(leg + 1) + ".las"));
            writeShuffledCopy(reference[leg], shuffledReference.back(), leg + 11);
        }
        const auto asLaz = [&](const std::vector<fs::path>& legs, const std::string& prefix) {
            std::vector<fs::path> laz;
            for (std::size_t leg = 0; leg < legs.size(); ++leg) {
                laz.push_back(writeTiles(legs[leg], mFolder.path, prefix + std::to_string(leg + 1), 1,
                                         FileIoInterface::Las::LasCompression::Laz)
                                  .at(0));
            }
            return laz;
        };
        lazReference = asLaz(reference, "laz-reference-");
        lazTest = asLaz(test, "laz-test-");
        lazShuffledTest = asLaz(shuffledTest, "laz-shuffled-test-");
    }

    std::vector<fs::path> reference;
    std::vector<fs::path> test;
    std::vector<fs::path> shuffledReference;
    std::vector<fs::path> shuffledTest;
    std::vector<fs::path> lazReference;
    std::vector<fs::path> lazTest;
    std::vector<fs::path> lazShuffledTest;
    SyntheticSurvey::PlantedChanges planted;

private:
    TemporaryFolder mFolder{"engine-survey"};
};

const SurveyFiles& surveyFiles() {
    static const auto files = std::make_unique<SurveyFiles>();
    return *files;
}

struct SurveyCase {
    const char* name;
    bool shuffledReference = false;
    bool shuffledTest = false;
    unsigned threads = 2;
    /// 1 byte: the least index the engine allows, many windows.
    std::uint64_t memoryBudget = 0;
    /// The LAZ copies (the reference's in key order).
    bool laz = false;
};

std::ostream& operator<<(std::ostream& out, const SurveyCase& survey) {
    return out << survey.name;
}

class SurveyTest : public testing::TestWithParam<SurveyCase> {};

TEST_P(SurveyTest, FindsThePlantedChangesAsTheLibraryDoes) {
    const SurveyCase& survey = GetParam();
    const SurveyFiles& files = surveyFiles();
    const std::vector<fs::path>& reference = survey.laz                 ? files.lazReference
                                             : survey.shuffledReference ? files.shuffledReference
                                                                        : files.reference;
    const std::vector<fs::path>& test = survey.laz
                                            ? (survey.shuffledTest ? files.lazShuffledTest : files.lazTest)
                                            : (survey.shuffledTest ? files.shuffledTest : files.test);
    EngineOptions options;
    options.threads = survey.threads;
    options.memoryBudget = survey.memoryBudget;

    ComparisonOutcome outcome;
    const ResultSets engine = engineResults(reference, test, options, &outcome);
    const ResultSets library = libraryResults(reference, test, options);
    for (std::size_t set = 0; set < library.sets.size(); ++set) {
        EXPECT_EQ(library.sets[set], engine.sets[set]) << "set " << set;
    }
    EXPECT_EQ(library.counters, engine.counters);

    EXPECT_EQ(outcome.count(PointClass::modified), files.planted.moved);
    EXPECT_EQ(outcome.count(PointClass::mutated), files.planted.reclassified);
    EXPECT_EQ(outcome.count(PointClass::altered), files.planted.altered);
    EXPECT_EQ(outcome.count(PointClass::removed), files.planted.removed);
    EXPECT_EQ(outcome.count(PointClass::added), files.planted.added);
    EXPECT_EQ(outcome.reference.inKeyOrder, !survey.shuffledReference);
    EXPECT_EQ(outcome.test.inKeyOrder, !survey.shuffledTest);
    EXPECT_EQ(outcome.reference.duplicateKeys + outcome.test.duplicateKeys, 0u);
    // LAZ legs beyond the budget's share are read chunk by chunk, and decoded whole into the temporary
    // folder only for an input out of key order.
    std::uint64_t shuffledBytes = 0;
    for (const fs::path& leg :
         survey.laz&& survey.shuffledTest&& survey.memoryBudget != 0 ? test : std::vector<fs::path>{}) {
        shuffledBytes += FileIoInterface::Las::readLasHeader(leg).decodedRecordBytes();
    }
    EXPECT_EQ(outcome.temporaryBytes, shuffledBytes);
    if (survey.memoryBudget > 1) {
        EXPECT_EQ(outcome.windows, 1u);
    } else if (survey.memoryBudget != 0 && (survey.shuffledReference || survey.shuffledTest)) {
        EXPECT_GT(outcome.windows, 5u);
    } else {
        EXPECT_EQ(outcome.windows, 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, SurveyTest,
                         testing::Values(SurveyCase{"KeyOrder"},
                                         SurveyCase{"KeyOrderOneThread", false, false, 1},
                                         SurveyCase{"ShuffledTest", false, true},
                                         SurveyCase{"ShuffledTestOneThread", false, true, 1},
                                         SurveyCase{"ShuffledBoth", true, true},
                                         SurveyCase{"ShuffledReferenceWindows", true, false, 2, 1},
                                         SurveyCase{"ShuffledTestWindows", false, true, 2, 1},
                                         SurveyCase{"KeyOrderTinyBudget", false, false, 2, 1},
                                         SurveyCase{"KeyOrderLazByChunk", false, false, 2, 16 << 20, true},
                                         SurveyCase{"ShuffledTestLazByChunk", false, true, 2, 16 << 20, true},
                                         SurveyCase{"ShuffledTestLazInMemory", false, true, 2, 0, true}),
                         [](const testing::TestParamInfo<SurveyCase>& param) {
                             return std::string(param.param.name);
                         });

/// Records the order of decisions; when `canRestart`, forgets them on a restart, which it counts.
class OrderSink final : public DecisionSink {
public:
    explicit OrderSink(bool canRestart = false)
        : mCanRestart(canRestart) {}

    void scanned(const Compare::Engine::InputFacts&, const Compare::Engine::InputFacts&) override {
        factsAfterDecisions = !keys.empty();
    }
    bool restartable() const override { return mCanRestart; }
    void restart() override {
        keys.clear();
        ++restarts;
    }
    void decided(const Decision& decision) override {
        const Compare::Engine::PointId& id =
            decision.pointClass == PointClass::removed ? decision.reference : decision.test;
        keys.emplace_back(decision.pointClass == PointClass::removed ? decision.referencePoint->getTime()
                                                                     : decision.testPoint->getTime(),
                          id.record);
    }
    std::vector<std::pair<double, std::uint64_t>> keys;
    unsigned restarts = 0;
    bool factsAfterDecisions = false;

private:
    bool mCanRestart;
};

TEST(CompareEngineTest, DecidesInTheSameOrderWhateverTheWindowsAndThreads) {
    const SurveyFiles& files = surveyFiles();
    // The test in key order is streamed, shuffled it is indexed; three threads run ahead of the
    // replay on the chunks of either.
    for (const std::vector<fs::path>* test : {&files.test, &files.shuffledTest}) {
        std::vector<std::vector<std::pair<double, std::uint64_t>>> orders;
        for (const auto& [threads, budget] : {std::pair{1u, 0ULL}, {2u, 0ULL}, {3u, 0ULL}, {2u, 1ULL}}) {
            EngineOptions options;
            options.threads = threads;
            options.memoryBudget = budget;
            OrderSink sink;
            CompareEngine(options).compare(files.reference, *test, sink);
            orders.push_back(sink.keys);
        }
        ASSERT_FALSE(orders[0].empty());
        EXPECT_TRUE(std::is_sorted(orders[0].begin(), orders[0].end(),
                                   [](const auto& a, const auto& b) { return a.first < b.first; }));
        for (std::size_t run = 1; run < orders.size(); ++run) {
            EXPECT_EQ(orders[0], orders[run]) << "run " << run;
        }
    }
}

TEST(CompareEngineTest, RunsInNoMoreWindowsThanItsBudgetRequiresAndNamesTheBudgetOfOne) {
    const SurveyFiles& files = surveyFiles();
    const auto windowsUnder = [&](std::uint64_t budget) {
        EngineOptions options;
        options.threads = 2;
        options.memoryBudget = budget;
        OrderSink sink;
        return CompareEngine(options).compare(files.reference, files.shuffledTest, sink);
    };
    // Below the working memory's estimate of 24 MiB, a third of the budget still goes to the index.
    ComparisonOutcome outcome = windowsUnder(std::uint64_t{16} << 20);
    EXPECT_EQ(outcome.windows, 1u);
    EXPECT_EQ(outcome.leastWindows, 1u);
    // Every test point is indexed, 16 bytes each, in a third of the budget.
    const std::uint64_t leastBudget = outcome.test.points * 16 * 3;
    EXPECT_EQ(outcome.leastWindowsBudget, leastBudget);
    EXPECT_EQ(windowsUnder(leastBudget).windows, 1u);
    outcome = windowsUnder(leastBudget - 48);
    EXPECT_EQ(outcome.windows, 2u);
    EXPECT_EQ(outcome.leastWindowsBudget, leastBudget);
    EXPECT_LE(windowsUnder(leastBudget / 2).windows, 3u);
}

TEST(CompareEngineTest, ComparesInputsInKeyOrderAsTheyAreReadAndGoesOnOrStartsAgainWhenTheyAreNot) {
    // A sink that can restart lets inputs in key order be compared without a scan first, the facts
    // coming last. Two records out of order at the very end stop the pass: the scan that follows
    // compares only the keys that the pass had not decided. The lowest key moved to the end reaches
    // back into what the pass decided, which then starts again. Each way, the decisions and facts
    // are those of a sink that cannot restart.
    const SurveyFiles& files = surveyFiles();
    const TemporaryFolder folder("engine-one-pass");
    std::vector<fs::path> lateDisorder = files.test;
    lateDisorder.back() = folder / "late-disorder.las";
    writeCopyWithLastRecordsSwapped(files.test.back(), lateDisorder.back());
    std::vector<fs::path> lowestLast = files.test;
    lowestLast.back() = folder / "lowest-last.las";
    writeCopyWithFirstRecordLast(files.test.back(), lowestLast.back());
    EngineOptions options;
    options.threads = 2;
    const std::vector<Phase> scannedAfter{Phase::comparing, Phase::indexing, Phase::comparing};
    struct Case {
        const char* name;
        const std::vector<fs::path>* test;
        std::vector<Phase> phases;
        unsigned restarts;
        bool factsAfterDecisions;
    };
    for (const Case& order : {Case{"in key order", &files.test, {Phase::comparing}, 0, true},
                              Case{"out of order at the end", &lateDisorder, scannedAfter, 0, true},
                              Case{"lowest key last", &lowestLast, scannedAfter, 1, false}}) {
        SCOPED_TRACE(order.name);
        OrderSink scanned;
        const ComparisonOutcome expected =
            CompareEngine(options).compare(files.reference, *order.test, scanned);
        OrderSink streamed(true);
        std::vector<Phase> phases;
        const ComparisonOutcome outcome = CompareEngine(options).compare(
            files.reference, *order.test, streamed, [&](Phase phase, std::uint64_t done, std::uint64_t) {
                if (done == 0) {
                    phases.push_back(phase);
                }
            });
        EXPECT_EQ(phases, order.phases);
        EXPECT_EQ(streamed.restarts, order.restarts);
        EXPECT_EQ(streamed.factsAfterDecisions, order.factsAfterDecisions);
        EXPECT_EQ(streamed.keys, scanned.keys);
        EXPECT_EQ(outcome.classCounts, expected.classCounts);
        EXPECT_EQ(outcome.differenceCounts.counts, expected.differenceCounts.counts);
        EXPECT_EQ(outcome.windows, expected.windows);
        for (const auto& [mine, theirs] :
             {std::pair{&outcome.reference, &expected.reference}, {&outcome.test, &expected.test}}) {
            EXPECT_EQ(mine->points, theirs->points);
            EXPECT_EQ(mine->inKeyOrder, theirs->inKeyOrder);
            EXPECT_EQ(mine->duplicateKeys, theirs->duplicateKeys);
            EXPECT_EQ(mine->tally, theirs->tally);
            EXPECT_EQ(
                std::make_tuple(mine->extent.minX, mine->extent.minY, mine->extent.maxX, mine->extent.maxY),
                std::make_tuple(theirs->extent.minX, theirs->extent.minY, theirs->extent.maxX,
                                theirs->extent.maxY));
        }
    }
}

TEST(CompareEngineTest, ReportsProgressOfBothPhasesToTheirTotals) {
    const SurveyFiles& files = surveyFiles();
    std::vector<std::tuple<Phase, std::uint64_t, std::uint64_t>> reports;
    OrderSink sink;
    CompareEngine(EngineOptions{})
        .compare(files.reference, files.shuffledTest, sink,
                 [&](Phase phase, std::uint64_t done, std::uint64_t total) {
                     reports.emplace_back(phase, done, total);
                 });
    ASSERT_GT(reports.size(), 4u);
    const std::uint64_t total = std::get<2>(reports.front());
    EXPECT_EQ(reports.front(), std::make_tuple(Phase::indexing, std::uint64_t{0}, total));
    EXPECT_EQ(reports.back(), std::make_tuple(Phase::comparing, total, total));
    for (std::size_t report = 1; report < reports.size(); ++report) {
        const auto& [phase, done, reportTotal] = reports[report];
        EXPECT_EQ(reportTotal, total);
        if (phase == std::get<0>(reports[report - 1])) {
            EXPECT_GE(done, std::get<1>(reports[report - 1]));
        }
    }
}

// Paired by position, a point's candidates lie anywhere in its key: LAZ legs read chunk by chunk
// would be decoded again and again, so they are decoded whole even in key order, and before any scan
// that would have to decode them chunk by chunk. Here every point has return 1 and either no time
// (format 0) or one time per input, 0 in the reference and 1 in the test, so that the inputs are
// scanned again without times; the test lies 5 mm off the reference.
TEST(CompareEngineTest, DecodesLazLegsWholeWhenPairingByPosition) {
    const TemporaryFolder folder("engine-one-time");
    for (const std::uint8_t format : {std::uint8_t{0}, std::uint8_t{1}}) {
        FileIoInterface::Las::LasWriterOptions writer;
        writer.pointFormat = format;
        writer.compression = FileIoInterface::Las::LasCompression::Laz;
        writer.lazChunkPoints = 500;
        writer.scaleOffset = FileIoInterface::Las::LasScaleOffset{{0.001, 0.001, 0.001}, {0.0, 0.0, 0.0}};
        std::array<std::vector<fs::path>, 2> files;
        for (const auto& [side, shift] : {std::pair{std::size_t{0}, 0.0}, {std::size_t{1}, 0.005}}) {
            std::vector<PointLeg> legs(1);
            // Rows of 100 points, half a metre apart.
            for (int row = 0; row < 30; ++row) {
                for (int column = 0; column < 100; ++column) {
                    legs[0].push_back(
                        makePoint(static_cast<double>(side), 1, 0.5 * column + shift, 0.5 * row + shift));
                }
            }
            const std::string name = (side == 0 ? "reference-" : "test-") + std::to_string(format);
            files[side] = writeLasLegs(folder.path, name, legs, writer, {});
        }
        EngineOptions options;
        options.memoryBudget = 16 << 20;
        options.pairByPosition = format == 0;
        OrderSink sink;
        std::vector<Phase> phases;
        const ComparisonOutcome outcome = CompareEngine(options).compare(
            files[0], files[1], sink, [&](Phase phase, std::uint64_t, std::uint64_t) {
                if (phases.empty() || phases.back() != phase) {
                    phases.push_back(phase);
                }
            });
        EXPECT_TRUE(outcome.pairedByPosition);
        EXPECT_EQ(outcome.count(PointClass::unchanged), 3000u);
        const std::uint64_t recordBytes = format == 0 ? 20 : 28;
        EXPECT_EQ(outcome.temporaryBytes, recordBytes * 2 * 3000);
        // One time in both inputs shows only in a first scan, which is then the only one by chunk.
        const std::vector<Phase> expected =
            format == 0
                ? std::vector<Phase>{Phase::decoding, Phase::indexing, Phase::comparing}
                : std::vector<Phase>{Phase::indexing, Phase::decoding, Phase::indexing, Phase::comparing};
        EXPECT_EQ(phases, expected) << "format " << int{format};
    }
}

TEST(CompareEngineTest, ReportsTheDecodingOfLazInputsChunkByChunk) {
    // 829 points in chunks of 100 against the same points stored plainly: only the LAZ side decodes.
    const std::filesystem::path laz = std::filesystem::path(LAZ_SAMPLE_DIR) / "autzen-bmx-2010_chunk100.laz";
    const std::filesystem::path las = std::filesystem::path(LAS_SAMPLE_DIR) / "autzen-bmx-2010.las";
    std::vector<std::uint64_t> decoded;
    std::vector<Phase> phases;
    OrderSink sink;
    EngineOptions options;
    options.threads = 1;
    CompareEngine(options).compare({laz}, {las}, sink,
                                   [&](Phase phase, std::uint64_t done, std::uint64_t total) {
                                       if (phases.empty() || phases.back() != phase) {
                                           phases.push_back(phase);
                                       }
                                       if (phase == Phase::decoding) {
                                           EXPECT_EQ(total, 829u);
                                           decoded.push_back(done);
                                       }
                                   });
    EXPECT_EQ(phases, (std::vector<Phase>{Phase::decoding, Phase::indexing, Phase::comparing}));
    EXPECT_EQ(decoded, (std::vector<std::uint64_t>{0, 100, 200, 300, 400, 500, 600, 700, 800, 829}));
}

class ThrowingSink final : public DecisionSink {
public:
    void decided(const Decision&) override {
        if (++mCalls == 5000) {
            throw std::runtime_error("sink full");
        }
    }

private:
    int mCalls = 0;
};

TEST(CompareEngineTest, PassesOnWhatTheSinkThrows) {
    const SurveyFiles& files = surveyFiles();
    for (const unsigned threads : {1u, 2u, 3u}) {
        EngineOptions options;
        options.threads = threads;
        ThrowingSink sink;
        EXPECT_THROW(CompareEngine(options).compare(files.reference, files.shuffledTest, sink),
                     std::runtime_error);
    }
}

TEST(CompareEngineTest, PairsByChannelWhenAskedAndSaysWhenTheChannelWouldSeparateDuplicates) {
    // Two reference points share a key on channels 0 and 1; the test point on channel 0 lies beyond
    // epsilon of both. Without the channel it has two candidates (added); with it, one (modified).
    const TemporaryFolder folder("engine-channel");
    const auto point = [](std::uint8_t channel, double x) {
        auto made = makePoint(1.0, 1, x);
        made->scannerChannel = channel;
        return made;
    };
    std::vector<PointLeg> referenceLegs(1);
    referenceLegs[0].push_back(point(0, 0.0));
    referenceLegs[0].push_back(point(1, 10.0));
    std::vector<PointLeg> testLegs(1);
    testLegs[0].push_back(point(0, 5.0));
    FileIoInterface::Las::LasWriterOptions writerOptions;
    writerOptions.pointFormat = 6;
    const auto reference = writeLasLegs(folder.path, "reference", referenceLegs, writerOptions, {});
    const auto test = writeLasLegs(folder.path, "test", testLegs, writerOptions, {});

    for (const bool byChannel : {false, true}) {
        SCOPED_TRACE(byChannel ? "by channel" : "without channel");
        EngineOptions options;
        options.pairByChannel = byChannel;
        ComparisonOutcome outcome;
        const ResultSets results = engineResults(reference, test, options, &outcome);
        EXPECT_EQ(outcome.count(PointClass::added), byChannel ? 0u : 1u);
        EXPECT_EQ(outcome.count(PointClass::modified), byChannel ? 1u : 0u);
        EXPECT_EQ(outcome.count(PointClass::removed), byChannel ? 1u : 2u);
        EXPECT_EQ(outcome.reference.duplicateKeys, byChannel ? 0u : 1u);
        EXPECT_EQ(outcome.reference.channelSeparatesDuplicates(), !byChannel);
        if (!byChannel) {
            EXPECT_EQ(results.sets, libraryResults(reference, test, options).sets);
        }
    }
}

TEST(CompareEngineTest, PairsPointsThatAllShareOneTimeAsTheLibraryDoes) {
    // A point format without GPS time gives every point time 0: keys differ by return number only,
    // and each key has thousands of candidates.
    const TemporaryFolder folder("engine-one-time");
    std::vector<PointLeg> referenceLegs(1);
    std::vector<PointLeg> testLegs(2);
    for (std::size_t index = 0; index < 6000; ++index) {
        const double x = static_cast<double>(index % 97);
        const double y = std::floor(static_cast<double>(index) / 97.0);
        referenceLegs[0].push_back(makePoint(0.0, 1 + index % 2, x, y));
        if (index % 17 != 0) {
            testLegs[index % 3 == 0 ? 1 : 0].push_back(
                makePoint(0.0, 1 + index % 2, x + (index % 13 == 0 ? 0.5 : 0.0), y));
        }
    }
    FileIoInterface::Las::LasWriterOptions writerOptions;
    writerOptions.pointFormat = 0;
    writerOptions.versionMinor = 2;
    const auto reference = writeLasLegs(folder.path, "reference", referenceLegs, writerOptions, {});
    const auto test = writeLasLegs(folder.path, "test", testLegs, writerOptions, {});
    ComparisonOutcome outcome;
    EXPECT_EQ(engineResults(reference, test, EngineOptions{}, &outcome).sets,
              libraryResults(reference, test, EngineOptions{}).sets);
    EXPECT_EQ(outcome.reference.duplicateKeys, 5998u);
    EXPECT_GT(outcome.count(PointClass::added), 0u);
}

/// Records each decision's class and points.
class DecisionListSink final : public DecisionSink {
public:
    void decided(const Decision& decision) override {
        decisions.push_back(
            {decision.pointClass, decision.test.record, decision.reference.record, decision.differences});
        // The threads of the process while points are decided, now and then.
        if (decisions.size() % 4096 == 0) {
            const std::filesystem::directory_iterator tasks("/proc/self/task");
            mostThreads =
                std::max(mostThreads, static_cast<std::size_t>(std::distance(begin(tasks), end(tasks))));
        }
    }
    std::vector<std::tuple<PointClass, std::uint64_t, std::uint64_t, std::uint64_t>> decisions;
    std::size_t mostThreads = 0;
};

TEST(CompareEngineTest, DecidesLargeKeysWithoutTimeAlikeOnOneThreadAndOnSeveral) {
    // Keys of tens of thousands of points are shared among threads. Return 1: six reference points at
    // each position, more than a test point's nearby candidates hold, 1 in 17 left out of the test and
    // 1 in 13 moved beyond epsilon. Return 2: one point per position, the last test point moved, when
    // a single candidate is left: modified.
    const TemporaryFolder folder("engine-large-keys");
    std::vector<PointLeg> referenceLegs(1);
    std::vector<PointLeg> testLegs(1);
    std::uint64_t removed = 0;
    std::uint64_t added = 0;
    for (std::size_t index = 0; index < 48000; ++index) {
        const double x = static_cast<double>(index / 6 % 200);
        const double y = std::floor(static_cast<double>(index) / 1200.0);
        referenceLegs[0].push_back(makePoint(0.0, 1, x, y));
        const bool moved = index % 13 == 0;
        if (index % 17 == 0) {
            ++removed;
        } else {
            testLegs[0].push_back(makePoint(0.0, 1, x + (moved ? 0.5 : 0.0), y));
            removed += moved ? 1 : 0;
            added += moved ? 1 : 0;
        }
    }
    for (std::size_t index = 0; index < 40000; ++index) {
        const double x = static_cast<double>(index % 200);
        const double y = std::floor(static_cast<double>(index) / 200.0);
        referenceLegs[0].push_back(makePoint(0.0, 2, x, y));
        testLegs[0].push_back(makePoint(0.0, 2, x + (index == 39999 ? 0.5 : 0.0), y));
    }
    FileIoInterface::Las::LasWriterOptions writerOptions;
    writerOptions.pointFormat = 0;
    writerOptions.versionMinor = 2;
    const auto reference = writeLasLegs(folder.path, "reference", referenceLegs, writerOptions, {});
    const auto test = writeLasLegs(folder.path, "test", testLegs, writerOptions, {});
    std::vector<DecisionListSink> sinks(3);
    for (unsigned threads = 1; threads <= 3; ++threads) {
        EngineOptions options;
        options.threads = threads;
        const ComparisonOutcome outcome = CompareEngine(options).compare(reference, test, sinks[threads - 1]);
        EXPECT_EQ(outcome.count(PointClass::removed), removed);
        EXPECT_EQ(outcome.count(PointClass::added), added);
        EXPECT_EQ(outcome.count(PointClass::modified), 1u);
        EXPECT_EQ(outcome.count(PointClass::unchanged), 88000u - removed - 1);
        // Every point but the first of each return number, all on one channel.
        EXPECT_EQ(outcome.reference.duplicateKeys, 87998u);
        EXPECT_EQ(outcome.reference.duplicatesOnSameChannel, 87998u);
        EXPECT_EQ(outcome.test.duplicatesOnSameChannel, testLegs[0].size() - 2);
    }
    EXPECT_EQ(sinks[0].decisions, sinks[1].decisions);
    EXPECT_EQ(sinks[0].decisions, sinks[2].decisions);
    // The one chunk's large keys are decided by a team of every thread asked for, and by no more.
    EXPECT_EQ(sinks[2].mostThreads, sinks[0].mostThreads + 2);
}

TEST(CompareEngineTest, PairsByPositionWhenEachInputsPointsShareOneTime) {
    // The reference's points all lie at 5 s; 1 in 17 is left out of the test, and of the rest 1 in 13
    // is moved half a metre, beyond epsilon.
    const TemporaryFolder folder("engine-one-time-apart");
    std::vector<PointLeg> referenceLegs(1);
    for (std::size_t index = 0; index < 6000; ++index) {
        referenceLegs[0].push_back(makePoint(5.0, 1 + index % 2, static_cast<double>(index % 97),
                                             std::floor(static_cast<double>(index) / 97.0)));
    }
    FileIoInterface::Las::LasWriterOptions writerOptions;
    writerOptions.pointFormat = 1;
    writerOptions.versionMinor = 2;
    const auto reference = writeLasLegs(folder.path, "reference", referenceLegs, writerOptions, {});
    // Test times: one other time for all points, then a time of each point's own.
    for (const bool ownTimes : {false, true}) {
        SCOPED_TRACE(ownTimes ? "times of their own" : "one other time");
        std::vector<PointLeg> testLegs(1);
        for (std::size_t index = 0; index < 6000; ++index) {
            if (index % 17 != 0) {
                const double x = static_cast<double>(index % 97) + (index % 13 == 0 ? 0.5 : 0.0);
                testLegs[0].push_back(makePoint(ownTimes ? static_cast<double>(index) : 7.0, 1 + index % 2, x,
                                                std::floor(static_cast<double>(index) / 97.0)));
            }
        }
        const auto test = writeLasLegs(folder.path, ownTimes ? "own" : "other", testLegs, writerOptions, {});
        ComparisonOutcome outcome;
        engineResults(reference, test, EngineOptions{}, &outcome);
        EXPECT_TRUE(outcome.reference.oneTime);
        EXPECT_EQ(outcome.test.oneTime, !ownTimes);
        EXPECT_EQ(outcome.pairedByPosition, !ownTimes);
        if (ownTimes) {
            // The test's times tell its points apart: only the one at 5 s pairs.
            EXPECT_EQ(outcome.count(PointClass::unchanged), 1u);
            continue;
        }
        // 353 left out, 434 of the rest moved: removed and added.
        EXPECT_EQ(outcome.count(PointClass::removed), 787u);
        EXPECT_EQ(outcome.count(PointClass::added), 434u);
        EXPECT_EQ(outcome.count(PointClass::unchanged), 5213u);
        // GPS-time windows cannot cut points that pair by position.
        OrderSink sink;
        EXPECT_THROW(
            CompareEngine(EngineOptions{})
                .compare(reference, test, sink, {}, {Compare::Engine::Window{false, 0, ~std::uint64_t{0}}}),
            std::invalid_argument);
    }
}

TEST(CompareEngineTest, ThrowsTheReadersErrorForAFileItCannotRead) {
    const TemporaryFolder folder("engine-missing");
    OrderSink sink;
    const fs::path missing = folder / "missing.las";
    try {
        CompareEngine(EngineOptions{}).compare({missing}, {missing}, sink);
        FAIL() << "no exception";
    } catch (const Core::IOException& error) {
        EXPECT_EQ(std::string(error.what()).rfind(missing.string() + ": ", 0), 0u) << error.what();
    }
}

} // namespace
} // namespace Orvid::Testing
