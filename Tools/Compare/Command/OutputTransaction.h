#pragma once

#include "Command/OutputLock.h"

#include <cstdint>
#include <filesystem>
#include <list>
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
///
/// Only a regular file is ever replaced: a symbolic link is followed to its target, a character device
/// or a FIFO is written through, unstaged, and anything else is refused. Every output is locked (see
/// OutputLock) while the transaction lives, so a second run into the same output refuses at once.
class OutputTransaction {
public:
    /// `inputs`: the files and folders that the run reads.
    explicit OutputTransaction(std::vector<std::filesystem::path> inputs);
    ~OutputTransaction();
    OutputTransaction(const OutputTransaction&) = delete;
    OutputTransaction& operator=(const OutputTransaction&) = delete;

    /// Stages the file `destination` (`what` names it in messages, e.g. "JSON report") and returns the
    /// path to write it at; the file there is created now, so that an unwritable place fails at once. For
    /// a character device or a FIFO that path is the destination itself, opened only when written.
    std::filesystem::path stageFile(const std::filesystem::path& destination, const std::string& what);

    /// Stages the output folder `folder` and returns the folder to write into. The folder may be new,
    /// empty, or hold only what an earlier run wrote there (its manifest lists it); anything else is
    /// refused unless `overwrite`, and even then only files of the earlier manifest are ever removed or
    /// replaced.
    std::filesystem::path stageFolder(const std::filesystem::path& folder, bool overwrite);

    /// A warning for every staged destination whose file system has less room than `bytes`, or where
    /// files are limited to fewer bytes (ulimit -f).
    std::vector<std::string> roomWarnings(std::uint64_t bytes) const;

    /// What the transaction made, which a failure removes: `removed`, each path with all it holds (the
    /// staged files, the folder's staging, the lock files); then `folderMade`, the output folder when the
    /// transaction made it (else empty), which goes only once it is empty again.
    struct MadePaths {
        std::vector<std::filesystem::path> removed;
        std::filesystem::path folderMade;
    };
    MadePaths madePaths() const;

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

    struct StagedFile {
        std::filesystem::path destination;
        std::filesystem::path staged;
        bool writtenThrough = false;
    };

    void checkNotAnInput(const std::filesystem::path& destination, const std::string& what) const;
    void checkFolderHoldsNoInput(const std::filesystem::path& folder) const;
    void commitFolder();

    std::vector<Identity> mInputs;
    std::vector<StagedFile> mFiles;
    std::list<OutputLock> mLocks;
    std::filesystem::path mFolder;
    std::filesystem::path mFolderStaging;
    bool mFolderCreated = false;
    std::vector<std::string> mPreviousOutputs;
    bool mCommitted = false;
};

} // namespace Orvid::Compare
