// What orvid-compare does when its surroundings fail it: an input changed or truncated under the run, a
// temporary folder that is missing or too small, outputs that cannot fit.
#include "Command/Demo.h"
#include "Command/InputSnapshot.h"
#include "Command/ShrunkInputGuard.h"
#include "CommandTest.h"
#include "LazChunkFiles.h"

#include <Core/IOException.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::Testing::Compare;
using Orvid::Compare::InputSnapshot;

const std::string& REFERENCE = REFERENCE_SAMPLE;
const std::string& TEST = TEST_SAMPLE;
const std::string LAZ = (fs::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz").string();

using ChangingInputs = CommandTest;

TEST_F(ChangingInputs, AMappedInputThatShrinksEndsTheRunNamingItAndRemovesTheStaging) {
    std::ofstream(at("input.las")) << std::string(1 << 16, 'x');
    fs::create_directories(at("out/.orvid-compare-partial-1/added"));
    std::ofstream(at("out/.orvid-compare-partial-1/added/added.las")) << "points";
    std::ofstream(at("report.json.partial-1")) << "{";
    const InputSnapshot snapshot({at("input.las")});
    const auto readAfterTruncation = [&] {
        const Orvid::Compare::ShrunkInputGuard guard(
            snapshot, {{at("report.json.partial-1"), at("out/.orvid-compare-partial-1")}, at("out")});
        const int file = ::open(at("input.las").c_str(), O_RDONLY);
        const auto* records =
            static_cast<const volatile char*>(::mmap(nullptr, 1 << 16, PROT_READ, MAP_SHARED, file, 0));
        ::truncate(at("input.las").c_str(), 100);
        std::exit(records[1 << 15]);
    };
    EXPECT_EXIT(readAfterTruncation(), testing::ExitedWithCode(2),
                "orvid-compare: error: " + at("input.las") +
                    ": shrank while it was compared \\(it had 65536 bytes\\); no output was written");
    EXPECT_FALSE(fs::exists(at("out")));
    EXPECT_FALSE(fs::exists(at("report.json.partial-1")));
}

TEST_F(ChangingInputs, AnInputTruncatedOrGrownDuringTheRunFailsIt) {
    const Orvid::SyntheticSurvey::SurveyParameters survey{2, 300000, 5};
    Orvid::SyntheticSurvey::ChangePlan moved;
    moved.moved = 0.5;
    Orvid::Compare::writeSurveyAsLas(at("reference"), survey, {});
    Orvid::Compare::writeSurveyAsLas(at("test"), survey, moved);
    const std::string leg = at("test/leg-2.las");
    ASSERT_TRUE(fs::exists(leg));
    auto running = std::async(std::launch::async, [&] {
        return compare({"--progress", "--memory", "16M", "--out", at("out"), at("reference"), at("test")});
    });
    // Truncated once the progress shows the comparison under way, with the inputs' records mapped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (contentsOf(at("stderr.txt")).find("comparing") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    fs::resize_file(leg, 4096);
    // The run reads the lost records (a bus error); had it read them already, the check at the end
    // would fail it. Either way it names the file and leaves nothing.
    const Outcome truncated = running.get();
    EXPECT_EQ(truncated.status, 2);
    EXPECT_NE(truncated.err.find("orvid-compare: error: " + leg + ": shrank "), std::string::npos)
        << truncated.err;
    EXPECT_FALSE(fs::exists(at("out")));

    const InputSnapshot snapshot({REFERENCE, at("test/leg-1.las")});
    EXPECT_NO_THROW(snapshot.checkUnchanged());
    std::ofstream(at("test/leg-1.las"), std::ios::app) << 'x';
    try {
        snapshot.checkUnchanged();
        ADD_FAILURE() << "the change went unseen";
    } catch (const Orvid::Core::IOException& error) {
        const std::string size = std::to_string(fs::file_size(at("test/leg-1.las")) - 1);
        EXPECT_EQ(std::string(error.what()).rfind(at("test/leg-1.las") + ": grew from " + size + " to ", 0),
                  0)
            << error.what();
    }
}

TEST_F(ChangingInputs, LazRecordsBeyondTheBudgetNeedTheTemporaryFolderOnlyOutOfKeyOrderWhichIsNamed) {
    // A 16 MiB budget holds neither leg's 9 MB of decoded records: in key order they are read chunk
    // by chunk, and need no temporary folder.
    const Outcome ordered =
        compare({"-q", "--memory", "16M", "--json", at("ordered.json"), LAZ, LAZ}, "TMPDIR=" + at("missing"));
    EXPECT_EQ(ordered.status, 0) << ordered.err;
    EXPECT_NE(contentsOf(at("ordered.json")).find("\"temporaryBytes\": 0,"), std::string::npos);
    // Its chunks in reverse order, the test is out of key order: decoded whole, it needs the folder.
    std::vector<std::size_t> reversed(Orvid::Testing::Las::compressedChunksOf(LAZ).size());
    for (std::size_t chunk = 0; chunk < reversed.size(); ++chunk) {
        reversed[chunk] = reversed.size() - 1 - chunk;
    }
    const std::string disordered = at("reversed.laz");
    Orvid::Testing::Las::writeLazFromChunks(LAZ, reversed, disordered);
    const Outcome missing = compare({"--memory", "16M", LAZ, disordered}, "TMPDIR=" + at("missing"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("orvid-compare: error: " + disordered +
                               ": cannot keep its decoded records (9 MB) in the temporary folder " +
                               at("missing") +
                               " (No such file or directory); set TMPDIR to a folder with room"),
              std::string::npos)
        << missing.err;
    // Files limited to 512 bytes, as on a full disk: the decoding fails, naming what it needed.
    const Outcome full = compare({"-q", "--memory", "16M", LAZ, disordered}, "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find(disordered + ": cannot keep its decoded records (9 MB) in the temporary folder "),
              std::string::npos)
        << full.err;
    EXPECT_NE(full.err.find("(File too large); set TMPDIR to a folder with room"), std::string::npos)
        << full.err;

    // A budget that holds one leg beside the key index's third and one thread's working memory: the
    // other, out of key order, goes to the temporary folder, as the report says; its points are the
    // reference's.
    ASSERT_EQ(compare({"-q", "--memory", "40M", "--threads", "1", "--json", at("one.json"), LAZ, disordered})
                  .status,
              0);
    const std::uint64_t leg = std::uint64_t{300000} * 28; // its records, of point format 1
    EXPECT_NE(contentsOf(at("one.json")).find("\"temporaryBytes\": " + std::to_string(leg) + ","),
              std::string::npos);
    // Within the default budget both are decoded into memory: no temporary folder is needed.
    const Outcome inMemory = compare({"-q", "--json", at("both.json"), LAZ, LAZ}, "TMPDIR=" + at("missing"));
    EXPECT_EQ(inMemory.status, 0) << inMemory.err;
    EXPECT_NE(contentsOf(at("both.json")).find("\"temporaryBytes\": 0,"), std::string::npos);
    // So does a shard that reads the inputs itself.
    ASSERT_EQ(compare({"plan", LAZ, LAZ, "--shards", "1", "-o", at("plan.json")}).status, 0);
    const Outcome shard =
        compare({"shard", at("plan.json"), "0", "-o", at("shard")}, "TMPDIR=" + at("missing"));
    EXPECT_EQ(shard.status, 0) << shard.err;
}

TEST_F(ChangingInputs, OutputsThatCannotFitAreToldBeforeTheComparisonAndRefusedWithStrict) {
    const std::string fullDisk = "trap '' XFSZ; ulimit -f 24;";
    const Outcome strict = compare({"--strict", "--out", at("out"), REFERENCE, TEST}, fullDisk);
    EXPECT_EQ(strict.status, 2);
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find(at("out") + ": files are limited to 12 KiB (ulimit -f), and the outputs may "
                                          "take up to "),
              std::string::npos)
        << strict.err;
    EXPECT_NE(strict.err.find(" (an error with --strict)\n"), std::string::npos) << strict.err;
    EXPECT_FALSE(fs::exists(at("out")));

    const Outcome warned = compare({"--out", at("out"), REFERENCE, TEST}, fullDisk);
    EXPECT_EQ(warned.status, 2);
    EXPECT_EQ(warned.err.rfind("orvid-compare: warning: " + at("out") + ": files are limited to 12 KiB", 0),
              0)
        << warned.err;
}

} // namespace
