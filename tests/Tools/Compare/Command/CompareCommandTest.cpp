// orvid-compare run as a process on generated surveys with known changes and on the sample LAS
// samples: exit statuses, messages, the JSON report and the LAS outputs against what was planted.
#include "Command/Demo.h"
#include "CommandRunner.h"
#include "LasCloudFiles.h"
#include "LazChunkFiles.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>
#include <SyntheticSurvey/SurveyGenerator.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace Orvid::FileIoInterface::Las;
using namespace Orvid::SyntheticSurvey;
using namespace Orvid::Testing::Compare;

const fs::path SAMPLES = LAS_SAMPLE_DIR;
const fs::path LAZ_SAMPLES = LAZ_SAMPLE_DIR;
const SurveyParameters SURVEY{3, 6000, 77};
const double SHIFT = 0.25;

json jsonIn(const fs::path& file) {
    return json::parse(contentsOf(file));
}

json countsOf(const PlantedChanges& planted) {
    return {{"removed", planted.removed},
            {"added", planted.added},
            {"modified", planted.moved},
            {"mutated", planted.reclassified},
            {"altered", planted.altered}};
}

/// Writes a generated survey (the reference when `plan` is empty) as LAS legs; the changes per leg.
std::vector<PlantedChanges> writeSurvey(const fs::path& folder, const ChangePlan& plan) {
    return Orvid::Compare::writeSurveyAsLas(folder, SURVEY, plan);
}

using Key = std::pair<double, std::size_t>;

/// The points of the LAS files of `folder`, by (GPS time, return number).
std::map<Key, LasPoint> pointsIn(const fs::path& folder) {
    LasReader reader(lasFilesIn(folder));
    std::map<Key, LasPoint> points;
    LasPoint point;
    while (reader.hasMoreLegs()) {
        reader.nextLeg();
        while (reader.hasMorePoints()) {
            reader.readPoint(point);
            points.emplace(Key{point.getTime(), point.getReturnNumber()}, point);
        }
    }
    return points;
}

TEST(CompareDemo, ItsReportCountsExactlyThePlantedChanges) {
    const TemporaryFolder expected;
    const PlantedChanges planted = Orvid::Compare::writeDemoSurvey(expected.path).planted;
    EXPECT_GT(planted.moved * planted.reclassified * planted.altered * planted.removed * planted.added, 0U);
    const TemporaryFolder folder;
    const Outcome demo = run({"--demo", (folder.path / "demo").string()}, folder.path);
    ASSERT_EQ(demo.status, 0) << demo.err;
    EXPECT_EQ(jsonIn(folder.path / "demo" / "report.json")["counts"], countsOf(planted));
    EXPECT_TRUE(fs::is_directory(folder.path / "demo" / "differences" / "modified"));
    EXPECT_NE(demo.out.find("class changes (reference -> test): "), std::string::npos) << demo.out;
    std::uint64_t transitions = 0;
    const json report = jsonIn(folder.path / "demo" / "report.json");
    for (const json& transition : report["classTransitions"]) {
        transitions += transition["count"].get<std::uint64_t>();
    }
    EXPECT_EQ(transitions, planted.reclassified);
}

class CompareGeneratedSurvey : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sFolder = std::make_unique<TemporaryFolder>();
        writeSurvey(reference(), {});
        sPlanted = writeSurvey(test(), ChangePlan{0.01, 0.01, 0.01, 0.01, 0.01, SHIFT});
        for (const PlantedChanges& leg : sPlanted) {
            sTotal += leg;
        }
        for (const PlantedChanges& leg :
             writeSurvey(dropped(), ChangePlan{0.0, 0.0, 0.0, 0.02, 0.0, SHIFT})) {
            sDropped += leg;
        }
    }
    static void TearDownTestSuite() { sFolder.reset(); }

    static fs::path folder() { return sFolder->path; }
    static fs::path reference() { return folder() / "reference"; }
    /// The reference with every kind of change.
    static fs::path test() { return folder() / "test"; }
    /// The reference less some points.
    static fs::path dropped() { return folder() / "dropped"; }

    /// Compares the reference with `copy`; the exit status and the JSON report.
    static std::pair<int, json> compare(std::vector<std::string> options, const fs::path& copy = test()) {
        const fs::path report = folder() / "report.json";
        fs::remove(report);
        options.insert(options.end(), {"--json", report.string(), reference().string(), copy.string()});
        const int status = run(options, folder()).status;
        return {status, fs::exists(report) ? jsonIn(report) : json()};
    }

    inline static std::unique_ptr<TemporaryFolder> sFolder;
    /// The changes of `test()` per leg, and in all.
    inline static std::vector<PlantedChanges> sPlanted;
    inline static PlantedChanges sTotal;
    inline static PlantedChanges sDropped;
};

TEST_F(CompareGeneratedSurvey, TheJsonReportDescribesThePlantedChanges) {
    auto [status, report] = compare({"--memory", "16M", "--threads", "1"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["schema"], "orvid-compare/1");
    EXPECT_EQ(report["counts"], countsOf(sTotal));
    EXPECT_GT(sTotal.moved * sTotal.reclassified * sTotal.altered * sTotal.removed * sTotal.added, 0U);
    EXPECT_EQ(report["parameters"]["epsilon"], 0.01);
    EXPECT_EQ(report["parameters"]["epsilonSource"], "scale");
    EXPECT_EQ(report["parameters"]["memory"], 16U << 20);
    EXPECT_EQ(report["parameters"]["threads"], 1);
    EXPECT_EQ(report["inputs"]["test"]["points"],
              SURVEY.legs * SURVEY.pointsPerLeg - sTotal.removed + sTotal.added);
    EXPECT_EQ(report["result"], (json{{"different", true}, {"exitStatus", 1}}));

    json attributes = report["attributeDifferences"];
    ASSERT_EQ(attributes.size(), 11U) << attributes;
    EXPECT_EQ(attributes["classification"], sTotal.reclassified);
    attributes.erase("classification");
    for (const auto& [name, count] : attributes.items()) {
        EXPECT_EQ(count, 0) << name;
    }

    json& displacement = report["displacement"];
    EXPECT_EQ(displacement["count"], sTotal.moved);
    EXPECT_NEAR(displacement["dx"]["mean"].get<double>(), SHIFT, 1e-6);
    EXPECT_NEAR(displacement["dy"]["mean"].get<double>(), -SHIFT, 1e-6);
    EXPECT_NEAR(displacement["dz"]["mean"].get<double>(), SHIFT, 1e-6);
    EXPECT_NEAR(displacement["dy"]["rms"].get<double>(), SHIFT, 1e-6);
    EXPECT_NEAR(displacement["magnitude"]["maxAbs"].get<double>(), SHIFT * std::sqrt(3.0), 1e-6);

    // Each generated leg is a flight line of its own, source id leg + 1.
    ASSERT_EQ(report["flightLines"].size(), SURVEY.legs);
    for (std::size_t leg = 0; leg < SURVEY.legs; ++leg) {
        json line = countsOf(sPlanted[leg]);
        line["sourceId"] = leg + 1;
        line["referencePoints"] = SURVEY.pointsPerLeg;
        line["testPoints"] = SURVEY.pointsPerLeg - sPlanted[leg].removed + sPlanted[leg].added;
        EXPECT_EQ(report["flightLines"][leg], line);
    }
}

TEST_F(CompareGeneratedSurvey, TheClassTransitionsAreThoseOfTheReclassifiedPoints) {
    std::map<std::pair<int, int>, std::uint64_t> expected;
    const std::map<Key, LasPoint> before = pointsIn(reference());
    for (const auto& [key, point] : pointsIn(test())) {
        const auto original = before.find(key);
        if (original != before.end() && original->second.getClassification() != point.getClassification() &&
            std::fabs(original->second.getX() - point.getX()) <= 0.01 &&
            std::fabs(original->second.getY() - point.getY()) <= 0.01 &&
            std::fabs(original->second.getZ() - point.getZ()) <= 0.01) {
            ++expected[{original->second.getClassification(), point.getClassification()}];
        }
    }
    // Ground becomes unclassified; every other class becomes ground.
    std::uint64_t reclassified = 0;
    for (const auto& [classes, count] : expected) {
        EXPECT_EQ(classes.second, classes.first == 2 ? 1 : 2);
        reclassified += count;
    }
    EXPECT_EQ(reclassified, sTotal.reclassified);
    const auto [status, report] = compare({});
    EXPECT_EQ(status, 1);
    std::map<std::pair<int, int>, std::uint64_t> found;
    for (const json& transition : report["classTransitions"]) {
        found[{transition["reference"].get<int>(), transition["test"].get<int>()}] =
            transition["count"].get<std::uint64_t>();
    }
    EXPECT_EQ(found, expected);
}

TEST_F(CompareGeneratedSurvey, ShuffledInputsGiveTheSameCountsAndTheLeastMemoryHoldsTheirIndex) {
    const fs::path shuffled = folder() / "shuffled";
    fs::create_directories(shuffled);
    std::uint64_t seed = 1;
    for (const fs::path& leg : lasFilesIn(test())) {
        Orvid::Testing::writeShuffledCopy(leg, shuffled / leg.filename(), seed++);
    }
    const auto [status, oneWindow] = compare({}, shuffled);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(oneWindow["counts"], countsOf(sTotal));
    EXPECT_EQ(oneWindow["parameters"]["windows"], 1);
    EXPECT_EQ(oneWindow["inputs"]["test"]["inKeyOrder"], false);
    // A third of the least budget goes to the index, whatever the working memory's estimate: no windows
    // beyond the one it needs, and no warning.
    const json leastMemory = compare({"--memory", "16M", "--threads", "2"}, shuffled).second;
    EXPECT_EQ(leastMemory["parameters"]["windows"], 1);
    EXPECT_EQ(leastMemory["warnings"], oneWindow["warnings"]);
    EXPECT_EQ(leastMemory["counts"], oneWindow["counts"]);
    EXPECT_EQ(leastMemory["flightLines"], oneWindow["flightLines"]);
}

TEST_F(CompareGeneratedSurvey, ATestOutOfKeyOrderOnlyAtItsEndGivesTheSameReport) {
    // Compared as it is read up to its last records, then the rest after a scan; or, when the record
    // out of order has a key among those decided, all again.
    const json inOrder = compare({}).second;
    const std::vector<fs::path> legs = lasFilesIn(test());
    using Rewrite = void (*)(const fs::path&, const fs::path&);
    for (const auto& [name, rewrite] :
         {std::pair<const char*, Rewrite>{"late-disorder", Orvid::Testing::writeCopyWithLastRecordsSwapped},
          {"lowest-last", Orvid::Testing::writeCopyWithFirstRecordLast}}) {
        SCOPED_TRACE(name);
        const fs::path disordered = folder() / name;
        fs::create_directories(disordered);
        for (const fs::path& leg : legs) {
            if (leg == legs.back()) {
                rewrite(leg, disordered / leg.filename());
            } else {
                fs::copy_file(leg, disordered / leg.filename());
            }
        }
        const json report = compare({}, disordered).second;
        EXPECT_EQ(report["inputs"]["test"]["inKeyOrder"], false);
        EXPECT_EQ(report["counts"], countsOf(sTotal));
        for (const char* part :
             {"counts", "flightLines", "displacement", "attributeDifferences", "classTransitions"}) {
            EXPECT_EQ(report[part], inOrder[part]) << part;
        }
    }
}

TEST_F(CompareGeneratedSurvey, FailOnNamesTheClassesThatMakeTheExitStatusOne) {
    const Outcome quiet =
        run({"--quiet", "--fail-on", "none", reference().string(), test().string()}, folder());
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(compare({}, dropped()).first, 1);
    EXPECT_EQ(compare({"--fail-on", "added,removed"}, dropped()).first, 1);
    auto [status, report] = compare({"--fail-on", "added,modified,mutated,altered"}, dropped());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(report["counts"], countsOf(sDropped));
    EXPECT_EQ(report["result"], (json{{"different", false}, {"exitStatus", 0}}));
    // Repeated, the lists add up.
    EXPECT_EQ(compare({"--fail-on", "added", "--fail-on", "modified,mutated"}, dropped()).first, 0);
    EXPECT_EQ(compare({"--fail-on", "added", "--fail-on", "removed"}, dropped()).first, 1);
}

TEST_F(CompareGeneratedSurvey, TheMemoryBudgetTakesFractionsOfAUnit) {
    EXPECT_EQ(compare({"--memory", "1.5G"}, dropped()).second["parameters"]["memory"], 3U << 29);
    EXPECT_EQ(compare({"--memory", "16MiB"}, dropped()).second["parameters"]["memory"], 16U << 20);
}

TEST_F(CompareGeneratedSurvey, AnInputComparedWithItselfIsTheSameAndSaysSo) {
    auto [status, report] = compare({}, reference());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(report["counts"], countsOf({}));
    EXPECT_EQ(report["warnings"],
              json{"the reference and the test are the same files: the cloud is compared with itself"});
    const fs::path leg = lasFilesIn(test()).at(1);
    const fs::path link = folder() / "link.las";
    fs::create_symlink(leg, link);
    const Outcome single = run({leg.string(), link.string()}, folder());
    fs::remove(link);
    EXPECT_EQ(single.status, 0) << single.err;
    EXPECT_NE(single.out.find("Result: same"), std::string::npos) << single.out;
    EXPECT_NE(single.out.find("warning: the reference and the test are the same file (" + link.string() +
                              " leads to them): the cloud is compared with itself\n"),
              std::string::npos)
        << single.out;
}

TEST_F(CompareGeneratedSurvey, IdenticalInputsWriteNoClassFile) {
    const fs::path out = folder() / "identical";
    EXPECT_EQ(compare({"--out", out.string()}, reference()).first, 0);
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        written.push_back(fs::relative(entry.path(), out).string());
    }
    EXPECT_EQ(written, std::vector<std::string>{".orvid-compare-manifest"});
}

TEST_F(CompareGeneratedSurvey, OptionsLeaveOutTheirClassesOnly) {
    const auto without = [](std::uint64_t PlantedChanges::*kind) {
        PlantedChanges expected = sTotal;
        expected.*kind = 0;
        return countsOf(expected);
    };
    EXPECT_EQ(compare({"--no-point-attributes"}).second["counts"], without(&PlantedChanges::reclassified));
    EXPECT_EQ(compare({"--no-extra-attributes"}).second["counts"], without(&PlantedChanges::altered));
    // Moves below epsilon leave points in place.
    auto [status, report] = compare({"--epsilon", "0.3"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["counts"], without(&PlantedChanges::moved));
    EXPECT_EQ(report["parameters"]["epsilonSource"], "given");
}

TEST_F(CompareGeneratedSurvey, OutWritesEachClassAsLasFilesThatReadBack) {
    const fs::path out = folder() / "differences";
    auto [status, report] = compare({"--out", out.string()});
    ASSERT_EQ(status, 1);
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(out)) {
        written.insert(entry.path().filename().string());
    }
    // No staging folder left behind; the manifest lists what the run wrote.
    EXPECT_EQ(written, (std::set<std::string>{".orvid-compare-manifest", "added", "altered", "displacement",
                                              "modified", "mutated", "removed"}));
    written.erase(".orvid-compare-manifest");

    std::map<std::string, std::map<Key, LasPoint>> found;
    for (const std::string& kind : written) {
        const std::size_t files = lasFilesIn(out / kind).size();
        EXPECT_EQ(files, kind == "modified" || kind == "displacement" ? SURVEY.legs : 1U) << kind;
        found[kind] = pointsIn(out / kind);
        EXPECT_EQ(found[kind].size(), report["counts"][kind == "displacement" ? "modified" : kind]) << kind;
    }
    const std::map<Key, LasPoint> before = pointsIn(reference());
    const std::map<Key, LasPoint> after = pointsIn(test());
    for (const auto& [key, point] : found["removed"]) {
        EXPECT_TRUE(before.count(key) == 1 && after.count(key) == 0) << key.first;
    }
    for (const auto& [key, point] : found["added"]) {
        EXPECT_TRUE(before.count(key) == 0 && after.count(key) == 1) << key.first;
    }
    for (const auto& [key, point] : found["mutated"]) {
        EXPECT_EQ(point.getClassification(), after.at(key).getClassification());
        EXPECT_NE(point.getClassification(), before.at(key).getClassification());
    }
    for (const auto& [key, point] : found["altered"]) {
        EXPECT_EQ(point.values, after.at(key).values);
        EXPECT_NE(point.values, before.at(key).values);
    }
    for (const auto& [key, point] : found["modified"]) {
        const LasPoint& read = after.at(key);
        EXPECT_TRUE(point.getX() == read.getX() && point.getY() == read.getY() &&
                    point.getZ() == read.getZ());
    }
    // Within half the 0.01 scale of the files.
    for (const auto& [key, point] : found["displacement"]) {
        EXPECT_EQ(found["modified"].count(key), 1U) << key.first;
        EXPECT_TRUE(std::fabs(point.getX() - SHIFT) <= 0.005 && std::fabs(point.getY() + SHIFT) <= 0.005 &&
                    std::fabs(point.getZ() - SHIFT) <= 0.005)
            << point.getX() << ' ' << point.getY() << ' ' << point.getZ();
    }

    // A later run replaces the outputs: classes it did not find are gone.
    EXPECT_EQ(compare({"--out", out.string()}, dropped()).first, 1);
    EXPECT_TRUE(fs::exists(out / "removed"));
    for (const char* kind : {"added", "mutated", "altered"}) {
        EXPECT_FALSE(fs::exists(out / kind)) << kind;
    }
}

class CompareErrors : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sFolder = std::make_unique<TemporaryFolder>();
        std::ofstream(sFolder->path / "notes.las") << "Survey notes, not a point cloud.\n";
        const std::string sample = contentsOf(SAMPLES / "autzen-bmx-2010.las");
        std::ofstream(sFolder->path / "cut.las", std::ios::binary) << sample.substr(0, sample.size() / 2);
        std::ofstream(sFolder->path / "cut-header.las", std::ios::binary) << sample.substr(0, 100);
        fs::create_directories(sFolder->path / "nested" / "2024");
        fs::copy_file(GOOD_SAMPLE, sFolder->path / "nested" / "2024" / "tile.las");
    }
    static void TearDownTestSuite() { sFolder.reset(); }

    /// Runs with --json and --out, expecting status 2 and nothing under their names.
    static Outcome refused(std::vector<std::string> arguments) {
        const fs::path report = sFolder->path / "report.json";
        const fs::path out = sFolder->path / "differences";
        arguments.insert(arguments.begin(), {"--json", report.string(), "--out", out.string()});
        Outcome outcome = run(arguments, sFolder->path);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_FALSE(fs::exists(report) || fs::exists(out));
        EXPECT_EQ(outcome.out, "");
        return outcome;
    }

    inline static std::unique_ptr<TemporaryFolder> sFolder;
    inline static const std::string GOOD_SAMPLE = (SAMPLES / "autzen-bmx-2010.las").string();
};

TEST_F(CompareErrors, BadInputsAreRefusedWithAMessageNamingTheFileAndTheProblem) {
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {sFolder->path / "missing.las", "no such file"},
        {sFolder->path / "notes.las", "not a LAS file"},
        {sFolder->path / "cut.las", "announces 829 points"},
        {sFolder->path / "cut-header.las", "truncated header"},
        {sFolder->path / "nested",
         "holds no .las or .laz file; subfolders are not searched, and it has 1 subfolder"}};
    for (const auto& [bad, problem] : cases) {
        for (const bool asTest : {false, true}) {
            SCOPED_TRACE(bad.string() + (asTest ? " as test" : " as reference"));
            const Outcome outcome =
                refused({asTest ? GOOD_SAMPLE : bad.string(), asTest ? bad.string() : GOOD_SAMPLE});
            EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
            EXPECT_NE(outcome.err.find(bad.string() + ": "), std::string::npos) << outcome.err;
            EXPECT_NE(outcome.err.find(problem), std::string::npos) << outcome.err;
        }
    }
}

TEST_F(CompareErrors, UsageErrorsExitWithStatusTwo) {
    EXPECT_NE(refused({GOOD_SAMPLE}).err.find("REFERENCE TEST"), std::string::npos);
    for (const char* epsilon : {"-1", "abc", "0.01x"}) {
        EXPECT_NE(refused({"--epsilon", epsilon, GOOD_SAMPLE, GOOD_SAMPLE}).err.find("--epsilon"),
                  std::string::npos)
            << epsilon;
    }
    EXPECT_NE(refused({"--fail-on", "moved", GOOD_SAMPLE, GOOD_SAMPLE}).err.find("'moved'"),
              std::string::npos);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--tolerance", "wobble=1"}, "--tolerance: 'wobble' is neither"},
        {{"--tolerance", "intensity"}, "'intensity' is not NAME=VALUE"},
        {{"--tolerance", "intensity=-1"}, "--tolerance intensity"},
        {{"--tolerance", "gpsTime=0.5"}, "--tolerance gpsTime"},
        {{"--ignore", "intensity,wobble"}, "--ignore: 'wobble' is neither"},
        {{"--ignore", "gpsTime"}, "--ignore"},
        {{"--epsilon-z", "-0.1"}, "--epsilon-z"},
        {{"--time-offset", "soon"}, "--time-offset"}};
    for (const auto& [flags, message] : cases) {
        std::vector<std::string> arguments = flags;
        arguments.insert(arguments.end(), {GOOD_SAMPLE, GOOD_SAMPLE});
        const std::string err = refused(arguments).err;
        EXPECT_NE(err.find(message), std::string::npos) << flags[1] << ": " << err;
    }
}

// strtod flags a subnormal as out of range, but it is a number of at least 0 all the same.
TEST_F(CompareErrors, SubnormalAmountsAreTakenAsTheNumbersTheyAre) {
    const Outcome outcome =
        run({"-q", "--epsilon", "1e-320", "--epsilon-xy", "1e-320", "--epsilon-z", "4.9e-324", "--tolerance",
             "intensity=1e-310", "--time-offset", "-1e-320", GOOD_SAMPLE, GOOD_SAMPLE},
            sFolder->path);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

// CLI11 alone takes the word after an unknown option for a positional argument and complains about
// that one; every command names the option instead, and values that look like options stay values.
TEST(CompareCommandLine, EveryCommandNamesAnUnknownOptionAsUnknown) {
    TemporaryFolder folder;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--time-offset", "-3.5", "--epsilon=0.1", "-q", "--bogus", "1", "a.las", "b.las"}, "--bogus"},
        {{"plan", "--no-progress", "--frobnicate=3", "a.las", "b.las", "--shards", "2", "-o", "p.json"},
         "--frobnicate"},
        {{"shard", "--threads", "1", "PLAN", "0", "-o", "DIR"}, "--threads"},
        {{"shard", "-oDIR", "PLAN", "0", "-x"}, "-x"},
        {{"merge", "--json", "r.json", "--epsilon", "1", "PLAN", "DIR"}, "--epsilon"}};
    for (const auto& [arguments, option] : cases) {
        const Outcome outcome = run(arguments, folder.path);
        EXPECT_EQ(outcome.status, 2) << arguments[0];
        EXPECT_EQ(outcome.err.rfind("Unknown option: " + option + "\n", 0), 0U) << outcome.err;
    }
}

// The comparison flags are declared once for a single run and a plan: the plan lists them, reads them
// alike, and refuses the outputs, which are the merge's.
TEST(CompareCommandLine, APlanTakesTheComparisonFlagsOfASingleRunButNotItsOutputs) {
    TemporaryFolder folder;
    const Outcome help = run({"plan", "--help"}, folder.path);
    EXPECT_EQ(help.status, 0);
    for (const char* flag :
         {"--epsilon", "--epsilon-z", "--tolerance", "--ignore", "--time-offset", "--rgb-epsilon",
          "--no-extra-attributes", "--memory", "--threads", "--pair-by-channel", "--strict", "--fail-on",
          "--out-format", "--shards", "-q,--quiet"}) {
        EXPECT_NE(help.out.find(std::string("\n  ") + flag + " "), std::string::npos) << flag;
    }
    // "--out " apart from --out-format, the class files' format, which the plan carries.
    for (const char* flag : {"--out ", "--json", "--html", "--demo", "--overwrite", "--progress"}) {
        EXPECT_EQ(help.out.find(std::string("\n  ") + flag), std::string::npos) << flag;
    }

    const std::vector<std::vector<std::string>> badFlags = {
        {"--threads", "0"}, {"--epsilon", "abc"}, {"--tolerance", "intensity"}, {"--fail-on", "moved"}};
    for (const std::vector<std::string>& flags : badFlags) {
        std::vector<std::string> single = flags;
        single.insert(single.end(), {"a.las", "b.las"});
        std::vector<std::string> plan = {"plan", "a.las", "b.las", "--shards", "2", "-o", "p.json"};
        plan.insert(plan.end(), flags.begin(), flags.end());
        const Outcome byRun = run(single, folder.path);
        const Outcome byPlan = run(plan, folder.path);
        EXPECT_EQ(byPlan.status, 2) << flags[0];
        EXPECT_EQ(byPlan.err, byRun.err) << flags[0];
    }

    for (const char* output : {"--out", "--json", "--html"}) {
        const Outcome outcome =
            run({"plan", "a.las", "b.las", "--shards", "2", "-o", "p.json", output, "x"}, folder.path);
        EXPECT_EQ(outcome.status, 2) << output;
        EXPECT_EQ(outcome.err,
                  "orvid-compare plan: --demo, --out, --json and --html are not for a plan: give "
                  "the outputs to orvid-compare merge\n")
            << output;
    }
    EXPECT_FALSE(fs::exists(folder.path / "p.json"));
}

TEST(CompareWarnings, AmbiguousKeysAreReportedInTheSummaryAndTheJson) {
    const TemporaryFolder folder;
    const fs::path report = folder.path / "report.json";
    // 646 of its 829 points share 214 keys: 432 repeat the key of an earlier point.
    const std::string duplicates = (SAMPLES / "autzen-bmx-2010.las").string();
    const Outcome same = run({"--json", report.string(), duplicates, duplicates}, folder.path);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_NE(same.out.find("warning: reference: 432 points share"), std::string::npos) << same.out;
    EXPECT_NE(same.out.find("warning: test: 432 points share"), std::string::npos) << same.out;
    json written = jsonIn(report);
    EXPECT_EQ(written["inputs"]["reference"]["duplicateKeys"], 432);
    // After the note that the file is compared with itself.
    ASSERT_EQ(written["warnings"].size(), 3U) << written["warnings"];
    EXPECT_NE(written["warnings"][2].get<std::string>().find("test: 432 "), std::string::npos);

    // Each input is described on its own.
    const std::string nan = (SAMPLES / "gps-time-nan.las").string();
    const Outcome unreliable = run({"--json", report.string(), duplicates, nan}, folder.path);
    EXPECT_EQ(unreliable.status, 1) << unreliable.err;
    written = jsonIn(report);
    EXPECT_EQ(written["inputs"]["test"]["nanTimes"], 1);
    const std::string test = "test " + nan + ": ";
    EXPECT_EQ(
        written["warnings"],
        (json{test + "declares no coordinate system",
              "reference: 432 points share their (GPS time, return number) with an earlier point; their "
              "pairing is ambiguous",
              "test: 1 point has a NaN GPS time; NaN-time points pair only with each other, by return number "
              "in reading order",
              test + "1 point has a return number of 0 or above its number of returns"}));
    EXPECT_NE(unreliable.out.find("warning: test: 1 point has a NaN"), std::string::npos) << unreliable.out;
    // The NaN time is compared in a window of its own.
    EXPECT_NE(unreliable.out.find("\n  compared in 2 GPS-time windows within "), std::string::npos)
        << unreliable.out;
    EXPECT_EQ(same.out.find("GPS-time window"), std::string::npos) << same.out;
}

TEST(CompareLaz, ALazCloudIsTheSameAsItsUncompressedFile) {
    const TemporaryFolder folder;
    const fs::path report = folder.path / "report.json";
    const Outcome outcome =
        run({"--threads", "2", "--json", report.string(), (LAZ_SAMPLES / "mvk-thin_chunk5000.laz").string(),
             (SAMPLES / "mvk-thin.las").string()},
            folder.path);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(jsonIn(report)["inputs"]["reference"]["points"], 6280);
    EXPECT_NE(
        run({"--threads", "0", (SAMPLES / "mvk-thin.las").string(), (SAMPLES / "mvk-thin.las").string()},
            folder.path)
            .err.find("--threads"),
        std::string::npos);
}

TEST(CompareLaz, FindsTheChangesOfACompressedPairInAnyOrder) {
    const TemporaryFolder folder;
    const fs::path source = LAZ_SAMPLES / "synthetic_pf1_300k.laz"; // 6 chunks of 50 000 points
    Orvid::Testing::Las::writeLazFromChunks(source, {0, 1, 2, 3, 4, 5}, folder / "reference.laz");
    // The test lacks chunk 3 and holds the others backwards: its points are out of GPS-time order.
    Orvid::Testing::Las::writeLazFromChunks(source, {5, 4, 2, 1, 0}, folder / "test.laz");
    const fs::path report = folder / "report.json";
    const Outcome outcome =
        run({"--json", report.string(), (folder / "reference.laz").string(), (folder / "test.laz").string()},
            folder.path);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    const json written = jsonIn(report);
    EXPECT_EQ(written["counts"],
              (json{{"removed", 50000}, {"added", 0}, {"modified", 0}, {"mutated", 0}, {"altered", 0}}));
    EXPECT_EQ(written["inputs"]["test"]["inKeyOrder"], false);
    EXPECT_EQ(written["inputs"]["test"]["formats"], json{"LAS 1.2, point format 1"});
}

// The pair of FindsTheChangesOfACompressedPairInAnyOrder, its class files written as LAZ (every input
// is) and, with --out-format las, as LAS: the same records, and the same folders; the chunk that a
// class file holds whole is copied.
TEST(CompareLaz, OutWritesLazClassFilesOfTheRecordsOfTheLasOnes) {
    const TemporaryFolder folder;
    const fs::path source = LAZ_SAMPLES / "synthetic_pf1_300k.laz";
    Orvid::Testing::Las::writeLazFromChunks(source, {0, 1, 2, 3, 4, 5}, folder / "reference.laz");
    Orvid::Testing::Las::writeLazFromChunks(source, {5, 4, 2, 1, 0}, folder / "test.laz");
    const std::vector<std::string> inputs{(folder / "reference.laz").string(),
                                          (folder / "test.laz").string()};
    const auto compare = [&](const std::string& out, std::vector<std::string> flags) {
        flags.insert(flags.end(), {"--threads", "2", "--out", (folder / out).string()});
        flags.insert(flags.end(), inputs.begin(), inputs.end());
        const Outcome outcome = run(flags, folder.path);
        EXPECT_EQ(outcome.status, 1) << outcome.err;
    };
    compare("laz", {});
    compare("las", {"--out-format", "las"});
    compare("explicit", {"--out-format", "laz"});

    // A whole chunk is removed and nothing moved: removed/ is the one class with points, and no empty
    // class file is written.
    EXPECT_FALSE(fs::exists(folder / "laz" / "modified"));
    for (const char* file : {"removed/removed"}) {
        const fs::path laz = folder / "laz" / (std::string(file) + ".laz");
        const fs::path las = folder / "las" / (std::string(file) + ".las");
        ASSERT_TRUE(fs::exists(laz) && fs::exists(las)) << file;
        EXPECT_EQ(readLasHeader(laz).storedPointFormat, 0x81) << file;
        EXPECT_EQ(Orvid::Testing::Las::recordsOf(laz), Orvid::Testing::Las::recordsOf(las)) << file;
        EXPECT_EQ(Orvid::Testing::Las::recordsOf(laz),
                  Orvid::Testing::Las::recordsOf(folder / "explicit" / (std::string(file) + ".laz")));
    }
    EXPECT_EQ(readLasHeader(folder / "laz" / "removed" / "removed.laz").pointCount, 50000U);
    // The chunk removed is copied from the reference, not compressed again.
    EXPECT_EQ(Orvid::Testing::Las::compressedChunksOf(folder / "laz" / "removed" / "removed.laz"),
              std::vector<std::vector<std::uint8_t>>{
                  Orvid::Testing::Las::compressedChunksOf(folder / "reference.laz").at(3)});
    EXPECT_FALSE(fs::exists(folder / "las" / "removed" / "removed.laz"));
    EXPECT_EQ(run({"--out-format", "zip", inputs[0], inputs[1]}, folder.path).err,
              "--out-format: 'zip' is not las or laz\nRun with --help for more information.\n");
}

} // namespace
