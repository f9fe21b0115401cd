#pragma once

#include "CommandRunner.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Testing::Compare {

/// The sample pair most command tests compare: two LAS files that differ.
inline const std::string REFERENCE_SAMPLE =
    (std::filesystem::path(LAS_SAMPLE_DIR) / "autzen-bmx-2010.las").string();
inline const std::string TEST_SAMPLE = (std::filesystem::path(LAS_SAMPLE_DIR) / "test1_4.las").string();

/// A test that runs the command in a temporary folder of its own.
class CommandTest : public testing::Test {
protected:
    const TemporaryFolder mFolder{"orvid-command"};
    /// The path of `name` in the folder.
    std::string at(const std::string& name) const { return (mFolder.path / name).string(); }
    Outcome compare(const std::vector<std::string>& arguments, const std::string& prefix = "") const {
        return run(arguments, mFolder.path, prefix);
    }
};

} // namespace Orvid::Testing::Compare
