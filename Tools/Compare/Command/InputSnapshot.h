#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare {

/// The identity, size and modification time of every input file when a run starts, so that the run can
/// tell at its end whether an input changed under it (rewritten, grown, shrunk or replaced): its results
/// would then describe no state the file ever had.
class InputSnapshot {
public:
    struct File {
        std::filesystem::path path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
    };

    /// Takes the snapshot of `files` now; a file that cannot be queried is left out (reading it fails).
    explicit InputSnapshot(const std::vector<std::filesystem::path>& files);

    /// Throws Core::IOException naming the first file that is no longer as the snapshot saw it.
    void checkUnchanged() const;

    const std::vector<File>& files() const { return mFiles; }

private:
    std::vector<File> mFiles;
};

} // namespace Orvid::Compare
