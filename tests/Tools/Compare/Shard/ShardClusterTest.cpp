// A real sharded comparison, run as processes (plan, partitions, shards, merge): through GNU parallel on
// this machine, and through a private single-node Slurm cluster that the test starts here
// (scripts/slurm-test-cluster.sh) and submits to with scripts/slurm-compare.sh. The merged reports and
// class files are those of one run; the partitions' files are gone.
// The Slurm test skips, saying why, where the daemons cannot be installed or started.
#include "Command/Demo.h"
#include "ReportComparison.h"
#include "TemporaryFolder.h"

#include <SyntheticSurvey/SurveyGenerator.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace Orvid::Testing::Compare;

const std::string ORVID = ORVID_COMPARE;
const fs::path SCRIPTS = SCRIPTS_DIR;

/// Runs `command` with sh in `folder`, its output appended to `folder`/commands.log; its exit status.
int shell(const fs::path& folder, const std::string& command) {
    const std::string line = "cd '" + folder.string() + "' && (" + command + ") >>commands.log 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ShardedCluster : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sFolder = std::make_unique<TemporaryFolder>("orvid-cluster");
        const Orvid::SyntheticSurvey::SurveyParameters survey{3, 3000, 11};
        Orvid::Compare::writeSurveyAsLas(folder() / "reference", survey, {});
        Orvid::Compare::writeSurveyAsLas(folder() / "test", survey, {0.02, 0.02, 0.02, 0.02, 0.02, 0.3});
        sSingleStatus =
            shell(folder(), ORVID + " reference test --threads 1 -q --json single.json --out single");
    }
    static void TearDownTestSuite() { sFolder.reset(); }

    static fs::path folder() { return sFolder->path; }
    static std::string log() { return bytesOf(folder() / "commands.log"); }

    /// Checks the merged outputs `name`.json and `name`/ against the single run's.
    static void expectSameAsOneRun(const std::string& name) {
        const json single = json::parse(bytesOf(folder() / "single.json"));
        const json merged = json::parse(bytesOf(folder() / (name + ".json")));
        EXPECT_EQ(reportDifferences(single, merged), std::vector<std::string>{});
        std::size_t files = 0;
        EXPECT_EQ(classFileDifferences(folder() / "single", folder() / name, files),
                  std::vector<std::string>{});
        EXPECT_GE(files, 10U);
    }

    inline static std::unique_ptr<TemporaryFolder> sFolder;
    inline static int sSingleStatus = -1;
};

TEST_F(ShardedCluster, GnuParallelRunsThePartitionsTheShardsAndTheMergeGivesOneRunsOutputs) {
    ASSERT_EQ(sSingleStatus, 1) << log();
    ASSERT_EQ(shell(folder(), "command -v parallel"), 0)
        << "GNU parallel is missing: scripts/setup.sh parallel installs it (make test does so)";
    ASSERT_EQ(shell(folder(), ORVID + " plan reference test --shards 4 --threads 1 -o parallel.plan.json -q"),
              0)
        << log();
    ASSERT_EQ(shell(folder(), "seq 0 3 | parallel --halt now,fail=1 -j 2 " + ORVID +
                                  " partition parallel.plan.json {} --parts parallel-parts -q"),
              0)
        << log();
    ASSERT_EQ(
        shell(folder(), "seq 0 3 | parallel --halt now,fail=1 -j 2 " + ORVID +
                            " shard parallel.plan.json {} --parts parallel-parts -o parallel-shard-{} -q"),
        0)
        << log();
    EXPECT_EQ(shell(folder(),
                    ORVID + " merge parallel.plan.json parallel-shard-0 parallel-shard-1 parallel-shard-2 "
                            "parallel-shard-3 --parts parallel-parts --json parallel.json "
                            "--out parallel -q"),
              1)
        << log();
    expectSameAsOneRun("parallel");
    EXPECT_FALSE(fs::exists(folder() / "parallel-parts"));
}

/// Stops the test cluster when it goes, whatever the test did.
struct ClusterGuard {
    fs::path state;
    ~ClusterGuard() {
        shell(state.parent_path(),
              "'" + (SCRIPTS / "slurm-test-cluster.sh").string() + "' stop '" + state.string() + "'");
    }
};

TEST_F(ShardedCluster, SlurmRunsThePartitionsAndTheShardsAsJobArraysAndTheMergeAfterThem) {
    ASSERT_EQ(sSingleStatus, 1) << log();
    if (shell(folder(),
              "command -v slurmctld && command -v slurmd && command -v munged && command -v sbatch") != 0) {
        GTEST_SKIP()
            << "no Slurm daemons on the PATH, so the Slurm run was not tried; scripts/setup.sh slurm-wlm "
               "munge installs them (make test does so where the packages can be installed)";
    }
    const fs::path state = folder() / "slurm-state";
    // A port of its own per process, so that parallel runs of the test do not meet.
    const std::string port = std::to_string(20000 + (::getpid() % 2000) * 2);
    const ClusterGuard guard{state};
    if (shell(folder(), "'" + (SCRIPTS / "slurm-test-cluster.sh").string() + "' start '" + state.string() +
                            "' " + port + " " + std::to_string(::getpid())) != 0) {
        GTEST_SKIP() << "the Slurm daemons could not be started here (in a container without the needed "
                        "privileges, say), so the Slurm run was not tried:\n"
                     << log();
    }
    const std::string submit = "SLURM_CONF='" + (state / "slurm.conf").string() + "' '" +
                               (SCRIPTS / "slurm-compare.sh").string() + "' -n 3 -w slurm-work -b " + ORVID +
                               " --wait reference test --threads 1 -- --json slurm.json --out slurm -q";
    EXPECT_EQ(shell(folder(), submit), 1) << log() << bytesOf(folder() / "slurm-work" / "merge.log");
    expectSameAsOneRun("slurm");
    EXPECT_TRUE(fs::exists(folder() / "slurm-work" / "partition-2.log"));
    EXPECT_FALSE(fs::exists(folder() / "slurm-work" / "parts"));
}

} // namespace
