#include "Command/InputSnapshot.h"

#include <Core/IOException.h>

#include <optional>
#include <string>

#include <sys/stat.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

std::optional<InputSnapshot::File> stateOf(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return InputSnapshot::File{path,
                               static_cast<std::uint64_t>(status.st_dev),
                               static_cast<std::uint64_t>(status.st_ino),
                               static_cast<std::uint64_t>(status.st_size),
                               static_cast<std::int64_t>(status.st_mtim.tv_sec),
                               static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
}

} // namespace

InputSnapshot::InputSnapshot(const std::vector<fs::path>& files) {
    for (const fs::path& file : files) {
        if (std::optional<File> state = stateOf(file)) {
            mFiles.push_back(std::move(*state));
        }
    }
}

void InputSnapshot::checkUnchanged() const {
    const std::string rerun = " while it was compared, so the results describe no state it ever had; "
                              "no output was written: run again once it is left alone";
    for (const File& before : mFiles) {
        const std::optional<File> now = stateOf(before.path);
        if (!now) {
            throw Core::IOException(before.path.string() + ": was removed" + rerun);
        }
        if (now->device != before.device || now->inode != before.inode) {
            throw Core::IOException(before.path.string() + ": was replaced by another file" + rerun);
        }
        if (now->size != before.size) {
            throw Core::IOException(
                before.path.string() + ": " + (now->size > before.size ? "grew" : "shrank") + " from " +
                std::to_string(before.size) + " to " + std::to_string(now->size) + " bytes" + rerun);
        }
        if (now->modifiedSeconds != before.modifiedSeconds ||
            now->modifiedNanoseconds != before.modifiedNanoseconds) {
            throw Core::IOException(before.path.string() + ": was modified" + rerun);
        }
    }
}

} // namespace Orvid::Compare
