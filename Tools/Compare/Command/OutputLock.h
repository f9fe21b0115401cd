#pragma once

#include <filesystem>
#include <string>

namespace Orvid::Compare {

/// An exclusive hold on one output (a report file, an --out folder) for as long as the object lives, so
/// that two runs never write the same output together. The hold is a `flock` on the lock file given,
/// which holds the process id of the run that took it and is removed with the hold; the kernel drops
/// the lock with the process, however it ends, and the next run takes over a lock file left behind.
class OutputLock {
public:
    /// Locks `lockFile` for the output `output` (`what` names it in messages, e.g. "JSON report").
    /// Throws std::runtime_error naming the output and the process id of the run that holds it, or why
    /// the lock file cannot be made.
    OutputLock(std::filesystem::path lockFile, const std::filesystem::path& output, const std::string& what);
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    const std::filesystem::path& file() const { return mFile; }

    /// The lock file of the report file `output`: a hidden file beside it.
    static std::filesystem::path besideFile(const std::filesystem::path& output);
    /// The lock file of the output folder `folder`: a hidden file inside it.
    static std::filesystem::path insideFolder(const std::filesystem::path& folder);
    /// The name of a folder's lock file.
    static const char* const FOLDER_LOCK;

private:
    std::filesystem::path mFile;
    int mDescriptor = -1;
};

} // namespace Orvid::Compare
