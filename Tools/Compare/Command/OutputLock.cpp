#include "Command/OutputLock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// The process id written in the lock file `descriptor`, or empty. A run writes it just after taking the
/// lock, so a run that finds the lock taken waits a moment for it.
std::string holderOf(int descriptor) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        char text[32] = {};
        const ssize_t length = ::pread(descriptor, text, sizeof text - 1, 0);
        if (length > 0) {
            return std::string(text, static_cast<std::size_t>(length));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

bool namesThisFile(const fs::path& path, int descriptor) {
    struct stat named {};
    struct stat open {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(descriptor, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

/// Why `output` cannot be locked: `error` from the system, and for a lock held elsewhere the process id
/// that holds it (empty when unknown).
std::runtime_error refusal(const fs::path& output, const std::string& what, int error,
                           const std::string& holder) {
    if (error != EWOULDBLOCK) {
        return std::runtime_error(output.string() + ": cannot lock the " + what + " for this run (" +
                                  std::strerror(error) + ")");
    }
    return std::runtime_error(output.string() + ": another orvid-compare run" +
                              (holder.empty() ? std::string() : " (process " + holder + ")") +
                              " is writing the " + what + "; wait for it to end or choose another path");
}

} // namespace

const char* const OutputLock::FOLDER_LOCK = ".orvid-compare-lock";

fs::path OutputLock::besideFile(const fs::path& output) {
    const fs::path parent = output.parent_path();
    return (parent.empty() ? fs::path(".") : parent) / ("." + output.filename().string() + FOLDER_LOCK);
}

fs::path OutputLock::insideFolder(const fs::path& folder) {
    return folder / FOLDER_LOCK;
}

OutputLock::OutputLock(fs::path lockFile, const fs::path& output, const std::string& what)
    : mFile(std::move(lockFile)) {
    // The run before may remove the lock file between our open and our lock: then lock the new one.
    while (true) {
        mDescriptor = ::open(mFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (mDescriptor < 0) {
            throw refusal(output, what, errno, {});
        }
        if (::flock(mDescriptor, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            const std::string holder = error == EWOULDBLOCK ? holderOf(mDescriptor) : std::string();
            ::close(mDescriptor);
            throw refusal(output, what, error, holder);
        }
        if (namesThisFile(mFile, mDescriptor)) {
            break;
        }
        ::close(mDescriptor);
    }
    const std::string pid = std::to_string(::getpid());
    if (::ftruncate(mDescriptor, 0) != 0 ||
        ::pwrite(mDescriptor, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        const int error = errno;
        ::unlink(mFile.c_str());
        ::close(mDescriptor);
        throw refusal(output, what, error, {});
    }
}

OutputLock::~OutputLock() {
    // Removed while still locked, so that no other run can lock the file once it is unnamed.
    ::unlink(mFile.c_str());
    ::close(mDescriptor);
}

} // namespace Orvid::Compare
