// Where orvid-compare writes: only regular files are replaced (links followed, devices and FIFOs written
// through, `-` for standard output), one run at a time per output, and merge and shard check their
// folders as a single run does.
#include "Command/Demo.h"
#include "CommandTest.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::Testing::Compare;

const std::string& REFERENCE = REFERENCE_SAMPLE;
const std::string& TEST = TEST_SAMPLE;

using OutputTargets = CommandTest;

TEST_F(OutputTargets, DevicesAndFifosAreWrittenThroughAndLinksFollowed) {
    EXPECT_EQ(compare({"--json", "/dev/null", "--html", "/dev/null", REFERENCE, TEST}).status, 1);
    struct stat device {};
    ASSERT_EQ(::stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));

    // Held open for reading and writing, with room for the whole report, the FIFO never blocks the run.
    ASSERT_EQ(::mkfifo(at("pipe.json").c_str(), 0600), 0);
    const int pipe = ::open(at("pipe.json").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(::fcntl(pipe, F_SETPIPE_SZ, 1 << 20), 0);
    EXPECT_EQ(compare({"--json", at("pipe.json"), REFERENCE, TEST}).status, 1);
    std::string received(1 << 20, '\0');
    const ssize_t length = ::read(pipe, received.data(), received.size());
    ::close(pipe);
    ASSERT_GT(length, 0);
    received.resize(static_cast<std::size_t>(length));
    EXPECT_EQ(nlohmann::json::parse(received)["result"]["exitStatus"], 1);
    EXPECT_FALSE(fs::exists(at("pipe.json.partial-0")));

    // A link to a file yet to be written: the file is written where it points, the link stays.
    fs::create_directories(at("reports"));
    fs::create_symlink("reports/report.json", at("link.json"));
    EXPECT_EQ(compare({"--json", at("link.json"), REFERENCE, TEST}).status, 1);
    EXPECT_TRUE(fs::is_symlink(at("link.json")));
    EXPECT_EQ(nlohmann::json::parse(contentsOf(at("reports/report.json")))["result"]["exitStatus"], 1);
    // A link to an input is the input.
    fs::create_symlink(REFERENCE, at("input.json"));
    EXPECT_EQ(compare({"--json", at("input.json"), REFERENCE, TEST}).status, 2);
    EXPECT_TRUE(fs::is_symlink(at("input.json")));
}

TEST_F(OutputTargets, JsonToStandardOutputLeavesTheSummaryToStandardError) {
    const Outcome outcome = compare({"--json", "-", REFERENCE, TEST});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(nlohmann::json::parse(outcome.out)["result"]["exitStatus"], 1);
    EXPECT_NE(outcome.err.find("Result: different (exit status 1)"), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(at("-")));
}

TEST_F(OutputTargets, TwoRunsIntoOneFolderTheSecondRefusesNamingTheFirst) {
    const Orvid::SyntheticSurvey::SurveyParameters survey{2, 300000, 5};
    Orvid::Compare::writeSurveyAsLas(at("reference"), survey, {});
    Orvid::Compare::writeSurveyAsLas(at("test"), survey, {});
    const std::vector<std::string> arguments{"-q", "--out", at("out"), at("reference"), at("test")};
    const pid_t first = start(arguments);
    // The second starts once the first holds the folder, long before its comparison can end.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(at("out/.orvid-compare-lock")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const Outcome second = compare(arguments);
    EXPECT_EQ(exitStatusOf(first), 0);
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err, "orvid-compare: error: " + at("out") + ": another orvid-compare run (process " +
                              std::to_string(first) +
                              ") is writing the output folder; wait for it to end or choose another path\n");
    EXPECT_FALSE(fs::exists(at("out/.orvid-compare-lock")));
    EXPECT_TRUE(fs::exists(at("out/.orvid-compare-manifest")));
}

TEST_F(OutputTargets, MergeAndShardCheckTheirFoldersAsASingleRunDoes) {
    fs::create_directories(at("reference"));
    fs::copy_file(REFERENCE, at("reference/leg.las"));
    ASSERT_EQ(compare({"plan", at("reference"), TEST, "--shards", "2", "-o", at("plan.json"), "-q"}).status,
              0);
    ASSERT_EQ(compare({"shard", at("plan.json"), "0", "-o", at("shard-0"), "-q"}).status, 0);
    ASSERT_EQ(compare({"shard", at("plan.json"), "1", "-o", at("shard-1"), "-q"}).status, 0);
    const std::vector<std::string> merge{"merge", at("plan.json"), at("shard-0"), at("shard-1")};
    for (const auto& [flag, path] : std::vector<std::pair<std::string, std::string>>{
             {"--out", at("reference/differences")}, {"--json", at("reference/report.json")}}) {
        std::vector<std::string> arguments = merge;
        arguments.insert(arguments.end(), {flag, path});
        const Outcome outcome = compare(arguments);
        EXPECT_EQ(outcome.status, 2) << flag;
        EXPECT_NE(outcome.err.find("input folder " + at("reference")), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(fs::exists(at("reference/differences")));
    EXPECT_FALSE(fs::exists(at("reference/report.json")));

    // A shard's folder is its own: another shard is refused, the same shard may run again.
    const Outcome reused = compare({"shard", at("plan.json"), "1", "-o", at("shard-0")});
    EXPECT_EQ(reused.status, 2);
    EXPECT_NE(reused.err.find(at("shard-0") + ": holds the result of shard 0 of plan "), std::string::npos)
        << reused.err;
    EXPECT_EQ(compare({"shard", at("plan.json"), "0", "-o", at("shard-0"), "-q"}).status, 0);
    const Outcome negative = compare({"shard", at("plan.json"), "-1", "-o", at("shard-x")});
    EXPECT_EQ(negative.status, 2);
    EXPECT_EQ(negative.err, "orvid-compare: error: " + at("plan.json") +
                                ": has 2 shards, so the shard must be a number from 0 to 1, not -1\n");
    for (const char* shard : {"one", "1.5", "99999999999999999999"}) {
        const Outcome notANumber = compare({"shard", at("plan.json"), shard, "-o", at("shard-x")});
        EXPECT_EQ(notANumber.status, 2);
        EXPECT_EQ(notANumber.err.substr(0, notANumber.err.find('\n')),
                  std::string("K: must be a whole number (a shard of the plan, from 0), not '") + shard +
                      "'");
    }
    const Outcome share = compare({"partition", at("plan.json"), "first", "--parts", at("parts")});
    EXPECT_EQ(share.err.substr(0, share.err.find('\n')),
              "I: must be a whole number (a share of the plan, from 0), not 'first'");
    EXPECT_FALSE(fs::exists(at("shard-x")) || fs::exists(at("parts")));
}

} // namespace
