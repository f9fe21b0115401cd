// What orvid-compare guarantees about the user's files: inputs are never written, files it did not
// write are never removed, and no output appears under its final name unless the whole run succeeded.
#include "Command/Demo.h"
#include "Command/Interruption.h"
#include "Command/OutputTransaction.h"
#include "CommandTest.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::Testing::Compare;
using Orvid::Compare::OutputTransaction;

const fs::path SAMPLES = LAS_SAMPLE_DIR;
const std::string& REFERENCE = REFERENCE_SAMPLE;
const std::string& TEST = TEST_SAMPLE;
// A process id above any the kernel hands out: its staging is that of a dead run.
const std::string DEAD_PID = "999999999";

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

class OutputSafety : public testing::Test {
protected:
    const TemporaryFolder mFolder{"orvid-safety"};
    fs::path at(const std::string& name) const { return mFolder.path / name; }
    Outcome compare(const std::vector<std::string>& arguments, const std::string& prefix = "") const {
        return run(arguments, mFolder.path, prefix);
    }
};

TEST_F(OutputSafety, AnOutputNamingAnInputIsRefusedAndTheInputKept) {
    fs::copy_file(REFERENCE, at("reference.las"));
    fs::create_directories(at("test"));
    fs::copy_file(TEST, at("test/leg.las"));
    const std::string before = contentsOf(at("reference.las"));
    // The same file through another name is still the input: identity is by device and inode.
    fs::create_hard_link(at("reference.las"), at("alias.json"));
    for (const auto& [flag, path] :
         std::vector<std::pair<std::string, fs::path>>{{"--json", at("reference.las")},
                                                       {"--html", at("alias.json")},
                                                       {"--json", at("test/report.json")}}) {
        const Outcome outcome =
            compare({flag, path.string(), at("reference.las").string(), at("test").string()});
        EXPECT_EQ(outcome.status, 2) << flag << ' ' << path;
        EXPECT_NE(outcome.err.find(path.string() + ": the "), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("input"), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(contentsOf(at("reference.las")), before);
    EXPECT_FALSE(fs::exists(at("test/report.json")));
    EXPECT_EQ(compare({"--out", at("test").string(), REFERENCE, at("test").string()}).status, 2);
    EXPECT_EQ(compare({"--out", mFolder.path.string(), REFERENCE, at("test/leg.las").string()}).status, 2);
}

TEST_F(OutputSafety, TheOutputFolderKeepsWhatTheRunDidNotWrite) {
    const fs::path out = at("differences");
    writeText(out / "added" / "notes.txt", "keep me");
    const Outcome refused = compare({"--out", out.string(), REFERENCE, TEST});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("added/notes.txt"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--overwrite"), std::string::npos) << refused.err;
    EXPECT_EQ(compare({"--out", out.string(), "--overwrite", REFERENCE, TEST}).status, 1);
    EXPECT_EQ(contentsOf(out / "added" / "notes.txt"), "keep me");
    EXPECT_TRUE(fs::exists(out / "added" / "added.las"));

    // A folder of a previous run's outputs alone is replaced without --overwrite; its old files go.
    const fs::path again = at("again");
    ASSERT_EQ(compare({"--out", again.string(), REFERENCE, TEST}).status, 1);
    ASSERT_TRUE(fs::exists(again / "removed" / "removed.las"));
    EXPECT_EQ(compare({"--out", again.string(), REFERENCE, REFERENCE}).status, 0);
    EXPECT_FALSE(fs::exists(again / "removed"));
    EXPECT_TRUE(fs::exists(again / OutputTransaction::MANIFEST));
}

TEST_F(OutputSafety, StagingOfDeadRunsIsRemovedByTheNextRun) {
    writeText(at("report.json.partial-" + DEAD_PID), "{");
    writeText(at("out/.orvid-compare-partial-" + DEAD_PID + "/added/added.las"), "half");
    writeText(at("notes.partial-" + DEAD_PID), "a user's file that merely looks alike");
    ASSERT_EQ(
        compare({"--json", at("report.json").string(), "--out", at("out").string(), REFERENCE, TEST}).status,
        1);
    EXPECT_FALSE(fs::exists(at("report.json.partial-" + DEAD_PID)));
    EXPECT_FALSE(fs::exists(at("out/.orvid-compare-partial-" + DEAD_PID)));
    EXPECT_TRUE(fs::exists(at("notes.partial-" + DEAD_PID)));
    EXPECT_TRUE(fs::exists(at("report.json")));
}

TEST_F(OutputSafety, AFailedWriteLeavesNoOutputUnderItsFinalName) {
    // Files are limited to 12 KiB, as on a full disk: the JSON report fits, the HTML report and the class
    // files do not.
    const std::string fullDisk = "trap '' XFSZ; ulimit -f 24;";
    const Outcome html =
        compare({"--json", at("report.json").string(), "--html", at("report.html").string(), REFERENCE, TEST},
                fullDisk);
    EXPECT_EQ(html.status, 2);
    EXPECT_NE(html.err.find(at("report.html").string() + ": cannot write the HTML report (File too large)"),
              std::string::npos)
        << html.err;
    const Outcome classes = compare(
        {"--json", at("report.json").string(), "--out", at("out").string(), REFERENCE, TEST}, fullDisk);
    EXPECT_EQ(classes.status, 2);
    EXPECT_NE(classes.err.find("File too large"), std::string::npos) << classes.err;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(mFolder.path)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"stderr.txt", "stdout.txt"}));
}

TEST_F(OutputSafety, AnInterruptedRunRemovesItsStagingAndWritesNothing) {
    const Orvid::SyntheticSurvey::SurveyParameters survey{2, 400000, 5};
    Orvid::Compare::writeSurveyAsLas(at("reference"), survey, {});
    Orvid::Compare::writeSurveyAsLas(at("test"), survey, {});
    const std::string out = at("out").string();
    const std::string report = at("report.json").string();
    const pid_t pid =
        start({"-q", "--out", out, "--json", report, at("reference").string(), at("test").string()});
    ASSERT_GT(pid, 0);
    // Interrupt as soon as the outputs are staged, long before the comparison can end.
    const fs::path staging = at("out/.orvid-compare-partial-" + std::to_string(pid));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(staging) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGINT);
    EXPECT_EQ(exitStatusOf(pid), 130);
    EXPECT_FALSE(fs::exists(at("out")));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_FALSE(fs::exists(report + ".partial-" + std::to_string(pid)));
}

TEST_F(OutputSafety, UnwritableOutputsAndUnreadableInputsAreRefusedBeforeAnyComparison) {
    const Outcome missingFolder = compare({"--json", at("missing/report.json").string(), REFERENCE, TEST});
    EXPECT_EQ(missingFolder.status, 2);
    EXPECT_EQ(missingFolder.err, "orvid-compare: error: " + at("missing/report.json").string() +
                                     ": the folder " + at("missing").string() +
                                     " does not exist, so the JSON report cannot be "
                                     "written there\n");
    const auto refusal = [&](const std::vector<std::string>& outputs) {
        std::vector<std::string> arguments = outputs;
        arguments.insert(arguments.end(), {REFERENCE, TEST});
        const Outcome outcome = compare(arguments);
        EXPECT_EQ(outcome.status, 2);
        return outcome.err;
    };
    EXPECT_EQ(refusal({"--out", at("missing/out").string()}),
              "orvid-compare: error: " + at("missing/out").string() + ": the folder " +
                  at("missing").string() + " does not exist, so the output folder cannot be made there\n");
    // The run manages its folder's files: a report there could replace one, or be replaced.
    EXPECT_EQ(refusal({"--json", at("same").string(), "--out", at("same").string()}),
              "orvid-compare: error: " + at("same").string() + ": named for two outputs\n");
    fs::create_directories(at("out/added"));
    EXPECT_EQ(
        refusal({"--out", at("out").string(), "--overwrite", "--html", at("out/added/added.las").string()}),
        "orvid-compare: error: " + at("out/added/added.las").string() + ": lies inside the output folder " +
            at("out").string() + ", whose files the run manages; choose a path outside it\n");
    EXPECT_FALSE(fs::exists(at("missing")) || fs::exists(at("same")));
    EXPECT_TRUE(fs::is_empty(at("out/added")));
    ASSERT_EQ(::mkfifo(at("pipe.las").c_str(), 0600), 0);
    const Outcome pipe = compare({at("pipe.las").string(), TEST}, "timeout 20");
    EXPECT_EQ(pipe.status, 2);
    EXPECT_NE(pipe.err.find(at("pipe.las").string() + ": not a regular file"), std::string::npos) << pipe.err;
}

struct BadValue {
    const char* name;
    std::vector<std::string> arguments;
    const char* message;
};

class CommandLineValues : public testing::TestWithParam<BadValue> {};

TEST_P(CommandLineValues, AreRefusedNamingTheFlag) {
    const TemporaryFolder folder;
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.insert(arguments.end(), {REFERENCE, TEST});
    const Outcome outcome = run(arguments, folder.path);
    EXPECT_EQ(outcome.status, 2);
    // One line saying what is wrong, then CLI11's pointer to --help.
    EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')).rfind(GetParam().message, 0), 0U) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineValues,
    testing::Values(
        BadValue{"NegativeThreads", {"--threads", "-5"}, "--threads: must be a whole number"},
        BadValue{"ZeroThreads", {"--threads", "0"}, "--threads: must be a whole number"},
        BadValue{"FractionalThreads", {"--threads", "2.5"}, "--threads: must be a whole number"},
        BadValue{"TooManyThreads",
                 {"--threads", "1025"},
                 "--threads: must be a whole number from 1 to 1024, not '1025'"},
        BadValue{"RgbEpsilonAboveAChannel",
                 {"--rgb-epsilon", "65536"},
                 "--rgb-epsilon: must be a whole number from 0 to 65535, not '65536'"},
        BadValue{"NegativeRgbEpsilon",
                 {"--rgb-epsilon", "-1"},
                 "--rgb-epsilon: must be a whole number from 0 to 65535, not '-1'"},
        BadValue{"EpsilonBeyondADouble",
                 {"--epsilon", "1e400"},
                 "--epsilon: must be 'auto' or a number of coordinate units, 0 or more"},
        BadValue{"TimeOffsetBeyondADouble",
                 {"--time-offset", "-1e400"},
                 "--time-offset: '-1e400' is out of range"},
        BadValue{"ZeroMemory", {"--memory", "0"}, "--memory: must be a positive size such as 512M"},
        BadValue{"NegativeMemory",
                 {"--memory", "-1"},
                 "--memory: must be a positive size such as 512M, 1.5G or 2G (K, M, G, T are binary "
                 "multiples), not '-1'"},
        BadValue{"TooLittleMemory",
                 {"--memory", "1K"},
                 "--memory: must be at least 16M, the comparison's own working memory, not '1K'"},
        BadValue{"MoreMemoryThanTheMachine", {"--memory", "64T"}, "--memory: is more than the"},
        BadValue{"MalformedMemory", {"--memory", "lots"}, "--memory: must be a positive size"},
        BadValue{"FailOnNoneWithAClass",
                 {"--fail-on", "none,removed"},
                 "--fail-on: none stands alone; it cannot be given with removed"},
        BadValue{"FailOnAnyThenNone",
                 {"--fail-on", "any", "--fail-on", "none"},
                 "--fail-on: none stands alone; it cannot be given with any"},
        // CLI11 drops empty items, and takes the next word for a list left with none.
        BadValue{"FailOnOfEmptyClasses", {"--fail-on", ",,"}, "--fail-on: the list ',,' has an empty class"},
        BadValue{"FailOnWithAnEmptyClass",
                 {"--fail-on", "removed,,added"},
                 "--fail-on: the list 'removed,,added' has an empty class"},
        BadValue{"IgnoredMetadataEndingInAComma",
                 {"--ignore-metadata", "vlr,"},
                 "--ignore-metadata: the list 'vlr,' has an empty name"},
        BadValue{"IgnoreOfAnEmptyName", {"--ignore", ""}, "--ignore: the list '' has an empty name"},
        BadValue{"NothingAfterTheEqualsSign", {"--fail-on="}, "--fail-on: nothing follows '='"},
        BadValue{"EmptyOutputPath", {"--json", ""}, "--json: an empty path names no file or folder"},
        BadValue{"ProgressGivenAValue", {"--progress=maybe"}, "--progress: takes no value, not 'maybe'"},
        BadValue{"QuietGivenAValue", {"--quiet=yes"}, "--quiet: takes no value, not 'yes'"},
        BadValue{"MisspeltSubcommand",
                 {"plna"},
                 "'plna' is neither a subcommand (plan, shard, merge) nor an input: give REFERENCE "
                 "TEST, or a subcommand"}),
    [](const testing::TestParamInfo<BadValue>& param) { return param.param.name; });

TEST(CommandLine, TellsItsVersion) {
    const TemporaryFolder folder;
    const Outcome outcome = run({"--version"}, folder.path);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "orvid-compare 0.1.0\n");
}

TEST(OutputTransaction, AnUncommittedRunLeavesEverythingAsItWas) {
    const TemporaryFolder folder;
    writeText(folder / "report.json", "earlier report");
    {
        OutputTransaction outputs({folder / "input.las"});
        writeText(outputs.stageFile(folder / "report.json", "JSON report"), "new report");
        writeText(outputs.stageFolder(folder / "out", false) / "added" / "added.las", "points");
    }
    EXPECT_EQ(contentsOf(folder / "report.json"), "earlier report");
    EXPECT_FALSE(fs::exists(folder / "out"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()), 1);
}

TEST(Interruption, ASignalStopsTheRunWithTheConventionalStatus) {
    const Orvid::Compare::InterruptionGuard guard;
    EXPECT_NO_THROW(Orvid::Compare::throwIfInterrupted());
    std::raise(SIGTERM);
    try {
        Orvid::Compare::throwIfInterrupted();
        ADD_FAILURE() << "not interrupted";
    } catch (const Orvid::Compare::Interrupted& interrupted) {
        EXPECT_EQ(interrupted.status, 143);
    }
}

TEST_F(OutputSafety, ACountBelowThePointDataIsReportedAndClassFilesKeepTheInputsKind) {
    // The test copy's header announces 100 points fewer than its point data holds.
    const fs::path shortCount = at("short-count.las");
    fs::copy_file(SAMPLES / "mvk-thin.las", shortCount);
    {
        std::fstream file(shortCount, std::ios::in | std::ios::out | std::ios::binary);
        const std::uint32_t announced = 6180;
        file.seekp(107);
        file.write(reinterpret_cast<const char*>(&announced), sizeof announced);
    }
    const std::string reference = (SAMPLES / "mvk-thin.las").string();
    const Outcome warned = compare({"--out", at("out").string(), reference, shortCount.string()});
    EXPECT_EQ(warned.status, 1) << warned.err;
    EXPECT_NE(
        warned.out.find("warning: " + shortCount.string() +
                        ": The header announces 6180 points but the point data holds 6280 whole records"),
        std::string::npos)
        << warned.out;
    const Outcome strict = compare({"--strict", reference, shortCount.string()});
    EXPECT_EQ(strict.status, 2);
    EXPECT_NE(strict.err.find("(an error with --strict)"), std::string::npos) << strict.err;

    // The removed points are the reference's: written as LAS 1.2, format 1, with its coordinate system.
    const Orvid::FileIoInterface::Las::LasHeader source =
        Orvid::FileIoInterface::Las::readLasHeader(reference);
    const Orvid::FileIoInterface::Las::LasHeader removed =
        Orvid::FileIoInterface::Las::readLasHeader(at("out/removed/removed.las"));
    EXPECT_EQ(removed.pointCount, 100U);
    EXPECT_EQ(removed.describe(), source.describe());
    EXPECT_EQ(std::make_tuple(removed.scale.x, removed.offset.x),
              std::make_tuple(source.scale.x, source.offset.x));
    const auto coordinateSystem = [](const Orvid::FileIoInterface::Las::LasHeader& header) {
        std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> records;
        for (const auto& vlr : header.vlrs) {
            if (vlr.userId == "LASF_Projection") {
                records.emplace_back(vlr.recordId, vlr.payload);
            }
        }
        return records;
    };
    EXPECT_FALSE(coordinateSystem(source).empty());
    EXPECT_EQ(coordinateSystem(removed), coordinateSystem(source));
}

} // namespace
