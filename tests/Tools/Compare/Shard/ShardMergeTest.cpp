// A comparison run in shards (plan, shard, merge, in-process) on generated surveys with duplicate keys
// and NaN times gives what one run gives; merge refuses an incomplete, repeated, foreign or corrupt set
// of shards and then writes nothing.
#include "Command/CompareCommand.h"
#include "Command/Demo.h"
#include "Command/ShardCommands.h"
#include "LasCloudFiles.h"
#include "LazChunkFiles.h"
#include "Refusal.h"
#include "ReportComparison.h"
#include "Shard/ShardPlan.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasReader.h>
#include <SyntheticSurvey/SurveyGenerator.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace Orvid::Compare;
using namespace Orvid::Testing::Compare;
using Orvid::SyntheticSurvey::ChangePlan;
using Orvid::SyntheticSurvey::SurveyParameters;

const SurveyParameters SURVEY{3, 4000, 31};
/// Where the GPS time lies in a record of point formats 6 to 10.
constexpr std::size_t TIME_OFFSET = 22;

/// Gives every record of `file` (point format 6 to 10) the GPS time `time`.
void giveEveryRecordOneTime(const fs::path& file, double time) {
    const auto header = Orvid::FileIoInterface::Las::readLasHeader(file);
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    for (std::uint64_t index = 0; index < header.pointCount; ++index) {
        stream.seekp(static_cast<std::streamoff>(header.offsetToPointData + index * header.pointRecordLength +
                                                 TIME_OFFSET));
        char bytes[sizeof(time)];
        std::memcpy(bytes, &time, sizeof(time));
        stream.write(bytes, sizeof(bytes));
    }
    ASSERT_TRUE(stream) << file;
}

/// An HTML report with its count of GPS-time windows, which describes how the run was cut, left out.
std::string withoutWindows(const std::string& page) {
    return std::regex_replace(page, std::regex("[0-9]+ GPS-time windows?"), "GPS-time windows");
}

json jsonIn(const fs::path& file) {
    return json::parse(bytesOf(file));
}

class ShardedComparison : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() {
        sFolder = std::make_unique<TemporaryFolder>("orvid-shards");
        writeSurveyAsLas(reference(), SURVEY, {});
        writeSurveyAsLas(test(), SURVEY, ChangePlan{0.02, 0.02, 0.02, 0.02, 0.02, 0.07});
        std::size_t phase = 0;
        for (const fs::path& input : {reference(), test()}) {
            for (const fs::path& file : Orvid::FileIoInterface::Las::lasFilesIn(input)) {
                Orvid::Testing::plantAmbiguousKeys(file, phase++);
            }
        }
        // One leg out of key order, so that the shards index it rather than stream it.
        const fs::path leg = Orvid::FileIoInterface::Las::lasFilesIn(test())[1];
        Orvid::Testing::writeShuffledCopy(leg, folder() / "shuffled.las", 5);
        fs::rename(folder() / "shuffled.las", leg);

        CompareOptions options = comparisonOptions();
        options.jsonFile = folder() / "single.json";
        options.htmlFile = folder() / "single.html";
        options.outDirectory = folder() / "single";
        std::ostringstream out;
        std::ostringstream err;
        sSingle = runComparison(options, out, err);
    }
    static void TearDownTestSuite() { sFolder.reset(); }

    static fs::path folder() { return sFolder->path; }
    static fs::path reference() { return folder() / "reference"; }
    static fs::path test() { return folder() / "test"; }

    static CompareOptions comparisonOptions() {
        CompareOptions options;
        options.reference = reference();
        options.test = test();
        options.settings.threads = 2;
        // Small enough that the single run needs several windows of its own.
        options.settings.memory = std::uint64_t{32} << 20;
        // The plan carries the tolerances to every shard.
        options.settings.tolerances = {{"intensity", 1.0}};
        options.settings.ignored = {"userData"};
        options.quiet = true;
        options.progress = false;
        return options;
    }

    static PlanOptions planOptions(std::size_t shards, const fs::path& planFile) {
        const CompareOptions options = comparisonOptions();
        return {options.reference, options.test, options.settings, shards, planFile, options.quiet};
    }

    /// Plans 2 shards into `name`.plan.json of a copy of the reference in `name`/, which a test may
    /// change.
    static PlanOptions planOnACopyOfTheReference(const std::string& name) {
        PlanOptions plan = planOptions(2, folder() / (name + ".plan.json"));
        plan.reference = folder() / name;
        fs::copy(reference(), plan.reference, fs::copy_options::recursive);
        std::ostringstream out;
        runPlan(plan, out);
        return plan;
    }

    /// Plans `shards` shards into `name`.plan.json and runs each into `name`-<k>; their folders.
    static std::vector<fs::path> runShards(std::size_t shards, const std::string& name) {
        PlanOptions plan = planOptions(shards, folder() / (name + ".plan.json"));
        std::ostringstream out;
        std::ostringstream err;
        runPlan(plan, out);
        std::vector<fs::path> folders;
        for (std::size_t shard = 0; shard < shards; ++shard) {
            folders.push_back(folder() / (name + "-" + std::to_string(shard)));
            runShard({plan.planFile, static_cast<std::int64_t>(shard), folders.back(), true, false, {}}, out,
                     err);
        }
        return folders;
    }

    static MergeOptions mergeOptions(const std::string& name, const std::vector<fs::path>& folders) {
        MergeOptions options;
        options.planFile = folder() / (name + ".plan.json");
        options.shardDirectories = folders;
        options.jsonFile = folder() / (name + ".json");
        options.htmlFile = folder() / (name + ".html");
        options.outDirectory = folder() / (name + "-merged");
        options.quiet = true;
        return options;
    }

    inline static std::unique_ptr<TemporaryFolder> sFolder;
    inline static ComparisonReport sSingle;
};

TEST_P(ShardedComparison, MergedShardsGiveTheSingleRunsReportsAndClassFiles) {
    const std::size_t shards = GetParam();
    const std::string name = "split" + std::to_string(shards);
    std::vector<fs::path> folders = runShards(shards, name);
    std::reverse(folders.begin(), folders.end());
    std::ostringstream out;
    const ComparisonReport merged = runMerge(mergeOptions(name, folders), out);

    EXPECT_EQ(merged.exitStatus, sSingle.exitStatus);
    const json single = jsonIn(folder() / "single.json");
    ASSERT_NE(single["inputs"]["reference"]["nanTimes"], 0);
    ASSERT_NE(single["inputs"]["test"]["duplicateKeys"], 0);
    ASSERT_NE(single["counts"]["modified"], 0);
    ASSERT_FALSE(single["classTransitions"].empty());
    ASSERT_EQ(single["parameters"]["ignored"], json::array({"userData"}));
    const json report = jsonIn(folder() / (name + ".json"));
    EXPECT_EQ(reportDifferences(single, report), std::vector<std::string>{});
    EXPECT_EQ(report["parameters"]["plan"]["shards"], shards);
    // The HTML report draws the map and the histogram, which the JSON report leaves out.
    EXPECT_EQ(withoutWindows(bytesOf(folder() / "single.html")),
              withoutWindows(bytesOf(folder() / (name + ".html"))));
    std::size_t classFiles = 0;
    EXPECT_EQ(classFileDifferences(folder() / "single", folder() / (name + "-merged"), classFiles),
              std::vector<std::string>{});
    EXPECT_GE(classFiles, 10U);

    // The shards compared about equal numbers of points; NaN times came last, in a window of their own.
    const ShardPlan plan = readShardPlan(folder() / (name + ".plan.json"));
    ASSERT_EQ(plan.shards.size(), shards);
    EXPECT_TRUE(plan.shards.back().windows.back().nanTimes);
    const double all = single["inputs"]["reference"]["points"].get<double>() +
                       single["inputs"]["test"]["points"].get<double>();
    for (std::size_t shard = 0; shard < shards; ++shard) {
        const json part = jsonIn(folders[shards - 1 - shard] / "shard.json");
        ASSERT_EQ(part["shard"], shard);
        double points = 0;
        for (const char* role : {"reference", "test"}) {
            for (const json& line : part["inputs"][role]["pointsBySourceId"]) {
                points += line[1].get<double>();
            }
        }
        EXPECT_NEAR(points / (all / static_cast<double>(shards)), 1.0, 0.1) << "shard " << shard;
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, ShardedComparison, ::testing::Values(1, 3, 8),
                         [](const auto& instance) { return std::to_string(instance.param) + "Shards"; });

TEST_F(ShardedComparison, MergeRefusesAMissingRepeatedForeignOrCorruptShardAndWritesNothing) {
    const std::vector<fs::path> shards = runShards(3, "checked");
    const std::vector<fs::path> foreign = runShards(2, "foreign");
    const fs::path repeated = folder() / "checked-1-again";
    fs::copy(shards[1], repeated, fs::copy_options::recursive);
    const fs::path corrupt = folder() / "checked-2-corrupt";
    fs::copy(shards[2], corrupt, fs::copy_options::recursive);
    fs::resize_file(corrupt / "shard.json", fs::file_size(corrupt / "shard.json") / 2);

    const auto merge = [&](const std::vector<fs::path>& folders) {
        return refusal([&] {
            std::ostringstream out;
            runMerge(mergeOptions("checked", folders), out);
        });
    };
    const std::string plan = (folder() / "checked.plan.json").string();
    const std::string planId = readShardPlan(plan).id;
    EXPECT_EQ(merge({shards[0], shards[2]}), plan + ": shard 1 of 3 is missing from the folders given");
    EXPECT_EQ(merge({shards[0], shards[1], repeated, shards[2]}),
              repeated.string() + ": shard 1 again, already given as " + shards[1].string());
    EXPECT_EQ(merge({shards[0], shards[1], foreign[0]}),
              foreign[0].string() + ": a shard of another plan (" +
                  readShardPlan(folder() / "foreign.plan.json").id + ", not " + planId + " of " + plan + ")");
    EXPECT_EQ(merge({shards[0], shards[1], corrupt})
                  .rfind((corrupt / "shard.json").string() + ": corrupt shard report: ", 0),
              0U);
    for (const char* output : {"checked.json", "checked.html", "checked-merged"}) {
        EXPECT_FALSE(fs::exists(folder() / output)) << output;
    }

    std::ostringstream out;
    std::ostringstream err;
    // A plan edited after it was made is refused.
    const fs::path edited = folder() / "edited.plan.json";
    std::string text = bytesOf(plan);
    text.replace(text.find("\"points\": "), 10, "\"points\": 1");
    std::ofstream(edited) << text;
    EXPECT_EQ(refusal([&] {
                  runShard({edited, 0, folder() / "edited-0", true, false, {}}, out, err);
              }),
              edited.string() +
                  ": the plan was changed after it was made (its contents do not match its id " + planId +
                  ")");

    // A field of another type, or out of its type's range, is named with what it must be.
    const auto planWith = [&](const std::string& field, const std::string& value) {
        std::string withValue = bytesOf(plan);
        const std::size_t start = withValue.find("\"" + field + "\": ") + field.size() + 4;
        withValue.replace(start, withValue.find_first_of(",\n", start) - start, value);
        std::ofstream(edited) << withValue;
        return refusal([&] { readShardPlan(edited); });
    };
    const std::string invalid = edited.string() + ": not a valid plan: ";
    EXPECT_EQ(planWith("rgbEpsilon", "\"2\""),
              invalid + "rgbEpsilon: must be a whole number from 0 to 65535, not \"2\"");
    EXPECT_EQ(planWith("rgbEpsilon", "70000"),
              invalid + "rgbEpsilon: must be a whole number from 0 to 65535, not 70000");
    EXPECT_EQ(planWith("strict", "1"), invalid + "strict: must be true or false, not 1");
    EXPECT_EQ(planWith("timeOffset", "null"), invalid + "timeOffset: must be a number, not null");
    EXPECT_EQ(planWith("memory", "-1"),
              invalid + "memory: must be a whole number from 0 to 18446744073709551615, not -1");
    EXPECT_EQ(planWith("workingDirectory", "[]"),
              invalid + "workingDirectory: must be a string, not an array");

    // A shard run again alone replaces its folder's outputs, and the set merges.
    runShard({plan, 2, shards[2], true, false, {}}, out, err);
    EXPECT_EQ(runMerge(mergeOptions("checked", shards), out).exitStatus, sSingle.exitStatus);
    EXPECT_TRUE(fs::exists(folder() / "checked.json"));
}

TEST_F(ShardedComparison, ClassFilesThatCannotBeJoinedByteForByteAreMergedPointByPoint) {
    const std::vector<fs::path> shards = runShards(3, "replayed");
    // Bytes after the records: the file can no longer be appended as it is, its points still read.
    std::ofstream(shards[1] / "added" / "added.las", std::ios::binary | std::ios::app) << "trailing";
    std::ostringstream out;
    EXPECT_EQ(runMerge(mergeOptions("replayed", shards), out).exitStatus, sSingle.exitStatus);
    std::size_t classFiles = 0;
    EXPECT_EQ(classFileDifferences(folder() / "single", folder() / "replayed-merged", classFiles),
              std::vector<std::string>{});
    EXPECT_GE(classFiles, 10U);
}

TEST_F(ShardedComparison, AShardRefusesAnInputThatChangedSinceThePlan) {
    const PlanOptions plan = planOnACopyOfTheReference("changed");
    const fs::path copy = plan.reference;
    std::ostringstream out;
    const fs::path leg = Orvid::FileIoInterface::Las::lasFilesIn(copy)[0];
    const std::uintmax_t bytes = fs::file_size(leg);
    fs::resize_file(leg, bytes + 1);
    std::ostringstream err;
    EXPECT_EQ(refusal([&] {
                  runShard({plan.planFile, 0, folder() / "changed-0", true, false, {}}, out, err);
              }),
              leg.string() + ": changed since the plan was made (" + std::to_string(bytes + 1) +
                  " bytes, not " + std::to_string(bytes) + ")");
    EXPECT_FALSE(fs::exists(folder() / "changed-0"));
}

// A leg replaced by another of the same size, its modification time put back, or a leg touched alone:
// the shard and the merge both name it and say what changed.
TEST_F(ShardedComparison, ShardAndMergeRefuseAnInputReplacedBySameSizedBytesOrTouched) {
    const PlanOptions plan = planOnACopyOfTheReference("replaced");
    const fs::path copy = plan.reference;
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<fs::path> shards{folder() / "replaced-0", folder() / "replaced-1"};
    for (std::int64_t shard = 0; shard < 2; ++shard) {
        runShard({plan.planFile, shard, shards[static_cast<std::size_t>(shard)], true, false, {}}, out, err);
    }
    const fs::path leg = Orvid::FileIoInterface::Las::lasFilesIn(copy)[1];
    const fs::file_time_type planned = fs::last_write_time(leg);
    Orvid::Testing::writeShuffledCopy(leg, folder() / "shuffled-leg.las", 3);
    ASSERT_EQ(fs::file_size(folder() / "shuffled-leg.las"), fs::file_size(leg));
    fs::rename(folder() / "shuffled-leg.las", leg);
    fs::last_write_time(leg, planned);

    const std::string replaced =
        leg.string() + ": changed since the plan was made (other bytes of the same size)";
    EXPECT_EQ(refusal([&] {
                  runShard({plan.planFile, 1, folder() / "replaced-again", true, false, {}}, out, err);
              }),
              replaced);
    EXPECT_FALSE(fs::exists(folder() / "replaced-again"));
    MergeOptions merge = mergeOptions("replaced", shards);
    EXPECT_EQ(refusal([&] { runMerge(merge, out); }), replaced);
    EXPECT_FALSE(fs::exists(merge.jsonFile.value()));

    fs::copy_file(Orvid::FileIoInterface::Las::lasFilesIn(reference())[1], leg,
                  fs::copy_options::overwrite_existing);
    fs::last_write_time(leg, planned + std::chrono::seconds(1));
    EXPECT_EQ(refusal([&] {
                  runShard({plan.planFile, 0, folder() / "replaced-again", true, false, {}}, out, err);
              }),
              leg.string() + ": changed since the plan was made (modified again)");
}

// A plan into a folder not made yet makes it; more shards than the inputs have distinct GPS times are
// planned with a warning that names the empty ones.
TEST_F(ShardedComparison, PlanMakesItsFolderAndWarnsOfShardsWithoutPoints) {
    const fs::path single = folder() / "one-time";
    fs::create_directories(single);
    for (const char* side : {"reference.las", "test.las"}) {
        fs::copy_file(Orvid::FileIoInterface::Las::lasFilesIn(reference())[0], single / side);
        giveEveryRecordOneTime(single / side, 42.0);
    }
    PlanOptions plan = planOptions(3, folder() / "fresh" / "plans" / "plan.json");
    plan.reference = single / "reference.las";
    plan.test = single / "test.las";
    plan.quiet = false;
    std::ostringstream out;
    runPlan(plan, out);
    EXPECT_TRUE(fs::exists(plan.planFile));
    EXPECT_NE(out.str().find("warning: 2 of the 3 shards hold few or no points, since points of one GPS "
                             "time are never split: shards 0 (about 0), 1 (about 0); the inputs have too "
                             "few distinct GPS times for 3 shards, plan fewer\n"),
              std::string::npos)
        << out.str();
}

// A LAZ pair (every input LAZ, so LAZ class files) in 8 shards: the 50 000 removed points of the missing
// chunk fall in several shards, whose class files merge chunk by chunk into the single run's records.
TEST(ShardedLazComparison, MergedLazClassFilesHoldTheRecordsOfTheSingleRun) {
    const TemporaryFolder folder("orvid-laz-shards");
    const fs::path source = fs::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz";
    Orvid::Testing::Las::writeLazFromChunks(source, {0, 1, 2, 3, 4, 5}, folder / "reference.laz");
    Orvid::Testing::Las::writeLazFromChunks(source, {5, 4, 2, 1, 0}, folder / "test.laz");
    CompareOptions options;
    options.reference = folder / "reference.laz";
    options.test = folder / "test.laz";
    options.settings.threads = 2;
    options.quiet = true;
    options.progress = false;
    options.outDirectory = folder / "single";
    std::ostringstream out;
    std::ostringstream err;
    runComparison(options, out, err);

    const fs::path planFile = folder / "plan.json";
    runPlan({options.reference, options.test, options.settings, 8, planFile, true}, out);
    MergeOptions merge;
    merge.planFile = planFile;
    merge.outDirectory = folder / "merged";
    merge.quiet = true;
    for (std::int64_t shard = 0; shard < 8; ++shard) {
        merge.shardDirectories.push_back(folder / ("shard-" + std::to_string(shard)));
        runShard({planFile, shard, merge.shardDirectories.back(), true, false, {}}, out, err);
    }
    runMerge(merge, out);

    std::size_t shardsWithRemovedPoints = 0;
    for (const fs::path& shard : merge.shardDirectories) {
        shardsWithRemovedPoints += fs::exists(shard / "removed" / "removed.laz") ? 1U : 0U;
    }
    EXPECT_GE(shardsWithRemovedPoints, 2U);
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder / "single")) {
        if (entry.path().extension() == ".laz") {
            ++files;
            const fs::path merged = folder / "merged" / fs::relative(entry.path(), folder / "single");
            EXPECT_EQ(Orvid::Testing::Las::recordsOf(merged), Orvid::Testing::Las::recordsOf(entry.path()))
                << merged;
        }
    }
    EXPECT_EQ(files, 1U) << "removed/removed.laz alone: nothing else differs";
}

} // namespace
