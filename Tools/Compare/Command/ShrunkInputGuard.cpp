#include "Command/ShrunkInputGuard.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// Everything the handler needs, made before it is installed and only read by it.
struct GuardState {
    struct Input {
        std::string path;
        off_t size = 0;
        std::string message;
    };
    std::vector<Input> inputs;
    std::string unknownInputMessage;
    std::vector<std::string> removed;
    std::string folderMade;
};

// A signal handler can only reach process-wide state; it stays within this file.
const GuardState* gState = nullptr;
std::atomic_flag gHandling = ATOMIC_FLAG_INIT;
struct sigaction gPreviousBusError {};

constexpr int MOST_NESTED_FOLDERS = 16;

void writeMessage(const std::string& message) {
    const char* next = message.data();
    std::size_t left = message.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, next, left);
        if (written <= 0) {
            return;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
}

/// Removes `name` (in the folder `parent`) and, for a folder, all it holds: system calls alone, no
/// allocation, as a signal handler requires. Folders are read again until empty, since removing
/// entries while reading a folder may hide others.
void removeTree(int parent, const char* name, int depth) {
    if (::unlinkat(parent, name, 0) == 0 || depth > MOST_NESTED_FOLDERS) {
        return;
    }
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    alignas(8) char entries[4096];
    for (bool removedAny = true; removedAny;) {
        removedAny = false;
        ::lseek(folder, 0, SEEK_SET);
        ssize_t length = 0;
        while ((length = ::getdents64(folder, entries, sizeof entries)) > 0) {
            for (ssize_t at = 0; at < length;) {
                unsigned short recordLength = 0;
                std::memcpy(&recordLength, entries + at + offsetof(struct dirent64, d_reclen),
                            sizeof recordLength);
                const char* entry = entries + at + offsetof(struct dirent64, d_name);
                if (std::strcmp(entry, ".") != 0 && std::strcmp(entry, "..") != 0) {
                    removeTree(folder, entry, depth + 1);
                    removedAny = true;
                }
                at += recordLength;
            }
        }
        if (length < 0) {
            break;
        }
    }
    ::close(folder);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

extern "C" void onBusError(int signalNumber, siginfo_t* info, void* /*context*/) {
    const GuardState* state = gState;
    if (state == nullptr || info->si_code != BUS_ADRERR) {
        // Not a mapped file that shrank: the default action, once the faulting access runs again.
        ::signal(signalNumber, SIG_DFL);
        return;
    }
    if (gHandling.test_and_set()) {
        while (true) {
            ::pause(); // another thread's fault is ending the run
        }
    }
    const std::string* message = &state->unknownInputMessage;
    for (const GuardState::Input& input : state->inputs) {
        struct stat status {};
        if (::stat(input.path.c_str(), &status) != 0 || status.st_size < input.size) {
            message = &input.message;
            break;
        }
    }
    writeMessage(*message);
    for (const std::string& path : state->removed) {
        removeTree(AT_FDCWD, path.c_str(), 0);
    }
    if (!state->folderMade.empty()) {
        ::rmdir(state->folderMade.c_str());
    }
    ::_exit(2);
}

} // namespace

ShrunkInputGuard::ShrunkInputGuard(const InputSnapshot& inputs, const OutputTransaction::MadePaths& made) {
    if (gState != nullptr) {
        throw std::logic_error("one ShrunkInputGuard at a time");
    }
    auto state = std::make_unique<GuardState>();
    const std::string ending = "; no output was written: run again once it is left alone\n";
    for (const InputSnapshot::File& file : inputs.files()) {
        state->inputs.push_back({file.path.string(), static_cast<off_t>(file.size),
                                 "orvid-compare: error: " + file.path.string() +
                                     ": shrank while it was compared (it had " + std::to_string(file.size) +
                                     " bytes)" + ending});
    }
    state->unknownInputMessage =
        "orvid-compare: error: an input shrank while it was compared (a bus error reading it)" + ending;
    for (const fs::path& path : made.removed) {
        state->removed.push_back(path.string());
    }
    state->folderMade = made.folderMade.string();
    gState = state.release();
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &gPreviousBusError);
}

ShrunkInputGuard::~ShrunkInputGuard() {
    sigaction(SIGBUS, &gPreviousBusError, nullptr);
    const std::unique_ptr<const GuardState> state(gState);
    gState = nullptr;
}

} // namespace Orvid::Compare
