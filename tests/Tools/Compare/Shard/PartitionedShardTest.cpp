// A comparison run as plan, partitions, shards reading only their partitions' runs, and merge gives
// what one run gives, and what the shards that read the whole inputs give, on inputs in key order, a
// test shuffled and a test re-tiled (LAS and LAZ); a shard refuses a missing, repeated or foreign
// partition, and the merge removes the partitions' files, and those alone, unless asked to keep them.
#include "Command/CompareCommand.h"
#include "Command/ShardCommands.h"
#include "LasCloudFiles.h"
#include "LazChunkFiles.h"
#include "Refusal.h"
#include "ReportComparison.h"
#include "Shard/PartitionFacts.h"
#include "Shard/ShardPlan.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasReader.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace Orvid::Compare;
using namespace Orvid::Testing::Compare;
using Orvid::FileIoInterface::Las::LasCompression;
using Orvid::SyntheticSurvey::ChangePlan;
using Orvid::SyntheticSurvey::SurveyParameters;

const SurveyParameters SURVEY{3, 3000, 23};
const ChangePlan CHANGES{0.02, 0.02, 0.02, 0.02, 0.02, 0.05};
constexpr std::size_t SHARDS = 3;

enum class Layout { inKeyOrder, testShuffled, testRetiled };

struct Case {
    Layout layout;
    LasCompression compression;
    std::string name;
    /// Whether duplicate keys and NaN times are planted: they cut a leg's records into short stretches.
    bool ambiguousKeys = true;
    SurveyParameters survey = SURVEY;
};

void PrintTo(const Case& which, std::ostream* out) {
    *out << which.name;
}

/// The class files under `single` that are missing under `other` or differ: a LAS file in a byte, a LAZ
/// file in a record (the shards' chunks, concatenated, end where the single run's do not); `count`
/// receives the files compared.
std::vector<std::string> classFilesDiffering(const fs::path& single, const fs::path& other,
                                             std::size_t& count) {
    std::vector<std::string> found;
    count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(single)) {
        const fs::path extension = entry.path().extension();
        if (extension == ".las" || extension == ".laz") {
            ++count;
            const fs::path relative = fs::relative(entry.path(), single);
            const bool same = extension == ".las" ? bytesOf(entry.path()) == bytesOf(other / relative)
                                                  : fs::exists(other / relative) &&
                                                        Orvid::Testing::Las::recordsOf(entry.path()) ==
                                                            Orvid::Testing::Las::recordsOf(other / relative);
            if (!same) {
                found.push_back(relative.string());
            }
        }
    }
    return found;
}

/// A shard's report without its windows, which tell how the shard was cut.
json withoutWindows(const fs::path& report) {
    json document = json::parse(bytesOf(report));
    document.erase("windows");
    return document;
}

/// Writes the survey of `which`, with ambiguous keys planted when it says so (duplicates and NaN times,
/// from `phase`), as legs "leg-<k>" in `folder`: LAS legs, or each copied `across` x `across` tiles, in
/// `compression`.
void writeSurvey(const fs::path& folder, const Case& which, const ChangePlan& changes, std::size_t phase,
                 std::size_t across, LasCompression compression) {
    const fs::path source = folder.string() + "-source";
    const std::vector<fs::path> legs = Orvid::Testing::writeSurveyLegs(source, "leg", which.survey, changes);
    for (std::size_t leg = 0; leg < legs.size(); ++leg) {
        if (which.ambiguousKeys) {
            Orvid::Testing::plantAmbiguousKeys(legs[leg], phase + leg);
        }
        const std::string name = "leg-" + std::to_string(leg + 1);
        if (across > 1 || compression == LasCompression::Laz) {
            Orvid::Testing::writeTiles(legs[leg], folder, name, across, compression);
        } else {
            fs::create_directories(folder);
            fs::copy_file(legs[leg], folder / (name + ".las"));
        }
    }
}

/// Writes the inputs of `which` into `folder`/reference and `folder`/test.
void writeInputs(const fs::path& folder, const Case& which) {
    writeSurvey(folder / "reference", which, {}, 0, 1, which.compression);
    if (which.layout != Layout::testShuffled) {
        writeSurvey(folder / "test", which, CHANGES, 5, which.layout == Layout::testRetiled ? 2 : 1,
                    which.compression);
        return;
    }
    writeSurvey(folder / "test-source", which, CHANGES, 5, 1, LasCompression::Las);
    fs::create_directories(folder / "test");
    for (const fs::path& leg : Orvid::FileIoInterface::Las::lasFilesIn(folder / "test-source")) {
        Orvid::Testing::writeShuffledCopy(leg, folder / "test" / leg.filename(), 7);
    }
}

class PartitionedShards : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        writeInputs(mFolder.path, GetParam());
        CompareOptions options = comparisonOptions();
        options.jsonFile = mFolder / "single.json";
        options.outDirectory = mFolder / "single";
        std::ostringstream out;
        std::ostringstream err;
        mSingle = runComparison(options, out, err);
        runPlan({options.reference, options.test, options.settings, SHARDS, planFile(), true}, out);
    }

    CompareOptions comparisonOptions() const {
        CompareOptions options;
        options.reference = mFolder / "reference";
        options.test = mFolder / "test";
        options.settings.threads = 2;
        options.quiet = true;
        options.progress = false;
        return options;
    }

    fs::path planFile() const { return mFolder / "plan.json"; }
    fs::path parts() const { return mFolder / "parts"; }

    void partition(std::size_t index) {
        std::ostringstream out;
        std::ostringstream err;
        runPartition({planFile(), static_cast<std::int64_t>(index), parts(), true, false}, out, err);
    }

    /// Runs shard `index` into `folder`, from the partitions when `fromParts`.
    void shard(std::size_t index, const fs::path& folder, bool fromParts) {
        std::ostringstream out;
        std::ostringstream err;
        std::optional<fs::path> partsFolder;
        if (fromParts) {
            partsFolder = parts();
        }
        runShard({planFile(), static_cast<std::int64_t>(index), folder, true, false, partsFolder}, out, err);
    }

    fs::path shardFolder(std::size_t index) const { return mFolder / ("shard-" + std::to_string(index)); }

    /// Partitions, then shards from the partitions; the shards' folders.
    std::vector<fs::path> runAllStages() {
        std::vector<fs::path> folders;
        for (std::size_t index = 0; index < SHARDS; ++index) {
            partition(index);
        }
        for (std::size_t index = 0; index < SHARDS; ++index) {
            folders.push_back(shardFolder(index));
            shard(index, folders.back(), true);
        }
        return folders;
    }

    MergeOptions mergeOptions(const std::vector<fs::path>& folders) const {
        MergeOptions options;
        options.planFile = planFile();
        options.shardDirectories = folders;
        options.jsonFile = mFolder / "merged.json";
        options.outDirectory = mFolder / "merged";
        options.quiet = true;
        options.partsDirectory = parts();
        return options;
    }

    TemporaryFolder mFolder{"orvid-partitions"};
    ComparisonReport mSingle;
};

TEST_P(PartitionedShards, GiveTheSingleRunAndTheShardsThatReadTheWholeInputs) {
    const std::vector<fs::path> folders = runAllStages();
    if (!GetParam().ambiguousKeys) {
        // The reference in key order: its records of each shard are long stretches, left in its leg.
        std::size_t left = 0;
        for (std::size_t index = 0; index < SHARDS; ++index) {
            const PartitionFacts facts =
                readPartitionFacts(partitionFolder(parts(), index) / PARTITION_FACTS_NAME);
            for (const auto& shard : facts.runSegments) {
                for (const RunSegment& segment : shard[0].front()) {
                    left += segment.firstInLeg ? segment.records : 0;
                }
            }
        }
        EXPECT_GT(left, GetParam().survey.pointsPerLeg * 9 / 10);
    }
    for (std::size_t index = 0; index < SHARDS; ++index) {
        const fs::path whole = mFolder / ("whole-" + std::to_string(index));
        shard(index, whole, false);
        EXPECT_EQ(withoutWindows(folders[index] / "shard.json"), withoutWindows(whole / "shard.json"))
            << "shard " << index;
    }
    std::ostringstream out;
    const ComparisonReport merged = runMerge(mergeOptions(folders), out);

    EXPECT_EQ(merged.exitStatus, mSingle.exitStatus);
    const json single = json::parse(bytesOf(mFolder / "single.json"));
    ASSERT_NE(single["counts"]["modified"], 0);
    if (GetParam().ambiguousKeys) {
        ASSERT_NE(single["inputs"]["reference"]["nanTimes"], 0);
        ASSERT_NE(single["inputs"]["test"]["duplicateKeys"], 0);
    }
    EXPECT_EQ(reportDifferences(single, json::parse(bytesOf(mFolder / "merged.json"))),
              std::vector<std::string>{});
    std::size_t classFiles = 0;
    EXPECT_EQ(classFilesDiffering(mFolder / "single", mFolder / "merged", classFiles),
              std::vector<std::string>{});
    EXPECT_GE(classFiles, 5U);
    EXPECT_FALSE(fs::exists(parts()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PartitionedShards,
                         ::testing::Values(Case{Layout::inKeyOrder, LasCompression::Las, "InKeyOrderLas"},
                                           Case{Layout::inKeyOrder, LasCompression::Laz, "InKeyOrderLaz"},
                                           Case{Layout::testShuffled, LasCompression::Las, "TestShuffledLas"},
                                           Case{Layout::testShuffled,
                                                LasCompression::Las,
                                                "TestShuffledLasInLongStretches",
                                                false,
                                                {1, 15000, 5}},
                                           Case{Layout::testRetiled, LasCompression::Las, "TestRetiledLas"},
                                           Case{Layout::testRetiled, LasCompression::Laz, "TestRetiledLaz"}),
                         [](const auto& instance) { return instance.param.name; });

class PartitionChecks : public PartitionedShards {};

TEST_P(PartitionChecks, AShardRefusesAMissingRepeatedOrForeignPartitionAndWritesNothing) {
    for (std::size_t index = 0; index < SHARDS; ++index) {
        partition(index);
    }
    const std::string plan = planFile().string();
    const std::string planId = readShardPlan(planFile()).id;
    const auto shardRefusal = [&] { return refusal([&] { shard(0, shardFolder(0), true); }); };

    fs::rename(parts() / "partition-1", mFolder / "aside");
    EXPECT_EQ(shardRefusal(), plan + ": partition 1 of 3 is missing from " + parts().string());
    fs::copy(mFolder / "aside", parts() / "partition-1", fs::copy_options::recursive);
    fs::rename(mFolder / "aside", parts() / "partition-1-again");
    EXPECT_EQ(shardRefusal(), (parts() / "partition-1-again").string() +
                                  ": partition 1 again, already given as " +
                                  (parts() / "partition-1").string());
    fs::remove_all(parts() / "partition-1-again");

    std::ostringstream out;
    runPlan({mFolder / "reference", mFolder / "test", comparisonOptions().settings, 2, mFolder / "other.json",
             true},
            out);
    std::ostringstream err;
    runPartition({mFolder / "other.json", 0, mFolder / "other-parts", true, false}, out, err);
    fs::rename(mFolder / "other-parts" / "partition-0", parts() / "partition-foreign");
    EXPECT_EQ(shardRefusal(), (parts() / "partition-foreign").string() + ": a partition of another plan (" +
                                  readShardPlan(mFolder / "other.json").id + ", not " + planId + " of " +
                                  plan + ")");
    EXPECT_FALSE(fs::exists(shardFolder(0)));
}

TEST_P(PartitionChecks, MergeRemovesThePartitionsFilesAloneUnlessAskedToKeepThem) {
    std::vector<fs::path> folders = runAllStages();
    // Run again, a partition replaces its own folder and leaves nothing beside it.
    partition(1);
    EXPECT_EQ(std::distance(fs::directory_iterator(parts()), fs::directory_iterator()), 3);

    MergeOptions merge = mergeOptions(folders);
    merge.keepParts = true;
    std::ostringstream out;
    runMerge(merge, out);
    EXPECT_TRUE(fs::exists(parts() / "partition-2" / "shard-2.records"));

    std::ofstream(parts() / "partition-0" / "notes.txt") << "mine";
    // What a partition stopped while writing left.
    fs::create_directories(parts() / "partition-2.partial");
    std::ofstream(parts() / "partition-2.partial" / "shard-1.records") << "records";
    merge.keepParts = false;
    merge.overwrite = true;
    runMerge(merge, out);
    EXPECT_TRUE(fs::exists(parts() / "partition-0" / "notes.txt"));
    std::size_t left = 0;
    for (const auto& entry : fs::recursive_directory_iterator(parts())) {
        left += entry.is_regular_file() ? 1U : 0U;
    }
    EXPECT_EQ(left, 1U);
    EXPECT_FALSE(fs::exists(parts() / "partition-1"));
    EXPECT_FALSE(fs::exists(parts() / "partition-2.partial"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PartitionChecks,
                         ::testing::Values(Case{Layout::testShuffled, LasCompression::Las,
                                                "TestShuffledLas"}),
                         [](const auto& instance) { return instance.param.name; });

} // namespace
