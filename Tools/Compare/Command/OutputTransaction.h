#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// Every output of a run, staged beside its destination and moved into place together by `commit()`:
/// all or none. Staging names carry the process id, so that a later run recognises the staging of a
/// process that no longer runs and removes it. Destroyed uncommitted (a failure, an interruption), it
/// removes its staging and leaves every final name as it was.
///
/// Destinations are checked when they are staged, before any input is read: an output is never an
/// input, nor inside an input folder (compared by device and inode, not by name), and its folder must
/// be writable. Every refusal throws std::runtime_error with a message that names the path and says why.
class OutputTransaction {
public:
    /// `inputs`: the files and folders that the run reads.
    explicit OutputTransaction(std::vector<std::filesystem::path> inputs);
    ~OutputTransaction();
    OutputTransaction(const OutputTransaction&) = delete;
    OutputTransaction& operator=(const OutputTransaction&) = delete;

    /// Stages the file `destination` (`what` names it in messages, e.g. "JSON report") and returns the
    /// path to write it at; the file there is created now, so that an unwritable place fails at once.
    std::filesystem::path stageFile(const std::filesystem::path& destination, const std::string& what);

    /// Stages the output folder `folder` and returns the folder to write into. The folder may be new,
    /// empty, or hold only what an earlier run wrote there (its manifest lists it); anything else is
    /// refused unless `overwrite`, and even then only files of the earlier manifest are ever removed or
    /// replaced.
    std::filesystem::path stageFolder(const std::filesystem::path& folder, bool overwrite);

    /// A warning for every staged destination whose file system has less room than `bytes`.
    std::vector<std::string> roomWarnings(std::uint64_t bytes) const;

    /// Moves every staged output to its final place. Throws, leaving the final names as they were, when
    /// a staged file of the output folder would replace a file that no earlier run wrote.
    void commit();

    /// The name of the output folder's manifest.
    static const char* const MANIFEST;

private:
    struct Identity {
        std::uintmax_t device = 0;
        std::uintmax_t inode = 0;
        bool folder = false;
        std::filesystem::path path;
    };

    void checkNotAnInput(const std::filesystem::path& destination, const std::string& what) const;
    void commitFolder();

    std::vector<Identity> mInputs;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> mFiles;
    std::filesystem::path mFolder;
    std::filesystem::path mFolderStaging;
    bool mFolderCreated = false;
    std::vector<std::string> mPreviousOutputs;
    bool mCommitted = false;
};

} // namespace Orvid::Compare
