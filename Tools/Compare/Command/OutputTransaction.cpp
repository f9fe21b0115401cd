#include "Command/OutputTransaction.h"

#include "Command/RoomCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

const std::string FOLDER_STAGING_PREFIX = ".orvid-compare-partial-";
const std::string FILE_STAGING_INFIX = ".partial-";
const char* const MANIFEST_HEADER = "orvid-compare outputs 1";

std::string pidSuffix() {
    return std::to_string(::getpid());
}

bool isAllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// True when no process of that id runs any longer.
bool isDeadProcess(const std::string& digits) {
    const long pid = std::stol(digits);
    return pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

/// Removes what dead runs staged in `folder` under `prefix` followed by their process id.
void removeStaleStaging(const fs::path& folder, const std::string& prefix) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            isAllDigits(name.substr(prefix.size())) && isDeadProcess(name.substr(prefix.size()))) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

fs::path folderOf(const fs::path& file) {
    const fs::path parent = file.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

/// `path` resolved as far as it exists, without a trailing separator.
fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path result = fs::weakly_canonical(path, error);
    if (error) {
        result = fs::absolute(path, error).lexically_normal();
    }
    return result.filename().empty() ? result.parent_path() : result;
}

/// Whether `path` is `folder` or lies inside it.
bool isWithin(const fs::path& path, const fs::path& folder) {
    const fs::path inner = resolved(path);
    const fs::path outer = resolved(folder);
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

/// The file that `path` names once its symbolic links are followed (as many as the system would).
fs::path followLinks(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(path, error); ++hop) {
        const fs::path target = fs::read_symlink(path, error);
        path = target.is_absolute() ? target : folderOf(path) / target;
    }
    return path;
}

std::vector<std::string> readManifest(const fs::path& file) {
    std::vector<std::string> entries;
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != MANIFEST_HEADER) {
        return entries;
    }
    while (std::getline(in, line)) {
        // Only plain relative paths below the folder: a tampered manifest cannot reach outside it.
        const fs::path entry(line);
        if (!line.empty() && entry.is_relative() &&
            std::none_of(entry.begin(), entry.end(), [](const fs::path& part) { return part == ".."; })) {
            entries.push_back(line);
        }
    }
    return entries;
}

bool contains(const std::vector<std::string>& list, const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            files.push_back(entry.path().lexically_relative(folder).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

const char* const OutputTransaction::MANIFEST = ".orvid-compare-manifest";

OutputTransaction::OutputTransaction(std::vector<fs::path> inputs) {
    for (fs::path& input : inputs) {
        struct stat status {};
        if (::stat(input.c_str(), &status) == 0) {
            mInputs.push_back({static_cast<std::uintmax_t>(status.st_dev),
                               static_cast<std::uintmax_t>(status.st_ino), S_ISDIR(status.st_mode),
                               std::move(input)});
        }
    }
}

OutputTransaction::~OutputTransaction() {
    if (mCommitted) {
        return;
    }
    std::error_code ignored;
    for (const StagedFile& file : mFiles) {
        if (!file.writtenThrough) {
            fs::remove(file.staged, ignored);
        }
    }
    if (!mFolderStaging.empty()) {
        fs::remove_all(mFolderStaging, ignored);
    }
    mLocks.clear(); // a folder's lock file is inside it
    if (mFolderCreated) {
        fs::remove(mFolder, ignored); // only when still empty
    }
}

void OutputTransaction::checkNotAnInput(const fs::path& destination, const std::string& what) const {
    const auto sameAs = [this](const fs::path& path, bool foldersOnly) -> const Identity* {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return nullptr;
        }
        for (const Identity& input : mInputs) {
            if ((!foldersOnly || input.folder) &&
                input.device == static_cast<std::uintmax_t>(status.st_dev) &&
                input.inode == static_cast<std::uintmax_t>(status.st_ino)) {
                return &input;
            }
        }
        return nullptr;
    };
    if (const Identity* input = sameAs(destination, false)) {
        throw std::runtime_error(destination.string() + ": the " + what + " would overwrite the input " +
                                 input->path.string() + "; choose another path");
    }
    std::error_code error;
    fs::path ancestor = fs::absolute(destination, error).parent_path();
    while (!ancestor.empty()) {
        if (const Identity* input = sameAs(ancestor, true)) {
            throw std::runtime_error(destination.string() + ": the " + what +
                                     " would be written inside the input folder " + input->path.string() +
                                     "; choose a path outside it");
        }
        if (ancestor == ancestor.root_path()) {
            break;
        }
        ancestor = ancestor.parent_path();
    }
}

fs::path OutputTransaction::stageFile(const fs::path& given, const std::string& what) {
    fs::path destination = followLinks(given);
    std::error_code error;
    if (destination.filename().empty() || fs::is_directory(destination, error)) {
        throw std::runtime_error(given.string() + ": the " + what + " needs a file name, not a folder");
    }
    const fs::path folder = folderOf(destination);
    if (!fs::is_directory(folder, error)) {
        throw std::runtime_error(given.string() + ": the folder " + folder.string() +
                                 " does not exist, so the " + what + " cannot be written there");
    }
    checkNotAnInput(destination, what);
    struct stat status {};
    if (::lstat(destination.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        if (!S_ISCHR(status.st_mode) && !S_ISFIFO(status.st_mode)) {
            throw std::runtime_error(given.string() + ": is not a regular file, a device or a FIFO, so the " +
                                     what + " is not written there");
        }
        // Nothing can be staged beside a device or a FIFO, nor renamed over it: it is written in place.
        if (::access(destination.c_str(), W_OK) != 0) {
            throw std::runtime_error(given.string() + ": the " + what + " cannot be written here (" +
                                     std::strerror(errno) + ")");
        }
        mFiles.push_back({destination, destination, true});
        return destination;
    }
    for (const StagedFile& other : mFiles) {
        if (fs::weakly_canonical(other.destination, error) == fs::weakly_canonical(destination, error)) {
            throw std::runtime_error(given.string() + ": named for two outputs");
        }
    }
    mLocks.emplace_back(OutputLock::besideFile(destination), given, what);
    const std::string name = destination.filename().string();
    removeStaleStaging(folder, name + FILE_STAGING_INFIX);
    fs::path staged = folder / (name + FILE_STAGING_INFIX + pidSuffix());
    if (std::ofstream(staged, std::ios::binary | std::ios::trunc).fail()) {
        throw std::runtime_error(given.string() + ": the " + what + " cannot be written here (" +
                                 std::strerror(errno) + ")");
    }
    mFiles.push_back({destination, staged, false});
    return staged;
}

void OutputTransaction::checkFolderHoldsNoInput(const fs::path& folder) const {
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0) {
        return;
    }
    std::error_code error;
    for (const Identity& input : mInputs) {
        if (input.device == static_cast<std::uintmax_t>(folderStatus.st_dev) &&
            input.inode == static_cast<std::uintmax_t>(folderStatus.st_ino)) {
            throw std::runtime_error(folder.string() + ": is the input " + input.path.string() +
                                     "; choose another output folder");
        }
        for (fs::path ancestor = fs::absolute(input.path, error).parent_path(); !ancestor.empty();
             ancestor = ancestor.parent_path()) {
            struct stat status {};
            if (::stat(ancestor.c_str(), &status) == 0 && status.st_dev == folderStatus.st_dev &&
                status.st_ino == folderStatus.st_ino) {
                throw std::runtime_error(folder.string() + ": holds the input " + input.path.string() +
                                         ", which the outputs could replace; choose another output folder");
            }
            if (ancestor == ancestor.root_path()) {
                break;
            }
        }
    }
}

fs::path OutputTransaction::stageFolder(const fs::path& folder, bool overwrite) {
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
        throw std::runtime_error(folder.string() +
                                 ": exists and is not a folder, so the differences cannot be "
                                 "written there");
    }
    for (const StagedFile& file : mFiles) {
        if (isWithin(folder, file.destination)) {
            throw std::runtime_error(folder.string() + ": named for two outputs");
        }
        // The run replaces what lies in its folder: a report there could be replaced, or replace.
        if (isWithin(file.destination, folder)) {
            throw std::runtime_error(file.destination.string() + ": lies inside the output folder " +
                                     folder.string() +
                                     ", whose files the run manages; choose a path outside it");
        }
    }
    checkNotAnInput(folder / MANIFEST, "output folder");
    checkFolderHoldsNoInput(folder);
    if (!fs::exists(folder, error)) {
        const fs::path parent = folderOf(resolved(folder));
        if (!fs::is_directory(parent, error)) {
            throw std::runtime_error(folder.string() + ": the folder " + parent.string() +
                                     " does not exist, so the output folder cannot be made there");
        }
        mFolderCreated = fs::create_directory(folder, error);
        if (error) {
            throw std::runtime_error(folder.string() + ": cannot create the output folder (" +
                                     error.message() + ")");
        }
    }
    mFolder = folder;
    mLocks.emplace_back(OutputLock::insideFolder(folder), folder, "output folder");
    removeStaleStaging(folder, FOLDER_STAGING_PREFIX);
    mPreviousOutputs = readManifest(folder / MANIFEST);
    for (const std::string& file : filesBelow(folder)) {
        const bool staging = file.compare(0, FOLDER_STAGING_PREFIX.size(), FOLDER_STAGING_PREFIX) == 0;
        if (!staging && file != MANIFEST && file != OutputLock::FOLDER_LOCK &&
            !contains(mPreviousOutputs, file) && !overwrite) {
            throw std::runtime_error(folder.string() + ": holds files that orvid-compare did not write (" +
                                     file +
                                     ", for one); give --overwrite to write beside them, or choose a new or "
                                     "empty folder");
        }
    }
    mFolderStaging = folder / (FOLDER_STAGING_PREFIX + pidSuffix());
    fs::create_directories(mFolderStaging, error);
    if (error) {
        throw std::runtime_error(folder.string() + ": the differences cannot be written here (" +
                                 error.message() + ")");
    }
    return mFolderStaging;
}

OutputTransaction::MadePaths OutputTransaction::madePaths() const {
    MadePaths made;
    for (const StagedFile& file : mFiles) {
        if (!file.writtenThrough) {
            made.removed.push_back(file.staged);
        }
    }
    if (!mFolderStaging.empty()) {
        made.removed.push_back(mFolderStaging);
    }
    for (const OutputLock& lock : mLocks) {
        made.removed.push_back(lock.file());
    }
    if (mFolderCreated) {
        made.folderMade = mFolder;
    }
    return made;
}

std::vector<std::string> OutputTransaction::roomWarnings(std::uint64_t bytes) const {
    std::vector<fs::path> places;
    for (const StagedFile& file : mFiles) {
        if (!file.writtenThrough) {
            places.push_back(folderOf(file.destination));
        }
    }
    if (!mFolder.empty()) {
        places.push_back(mFolder);
    }
    std::vector<std::string> warnings;
    struct rlimit limit {};
    const bool limited =
        ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < bytes;
    for (const fs::path& place : places) {
        struct statvfs room {};
        if (::statvfs(place.c_str(), &room) == 0) {
            const std::uint64_t free = std::uint64_t{room.f_bavail} * room.f_frsize;
            if (free < bytes) {
                warnings.push_back(place.string() + ": only " + megabytes(free) +
                                   " free, and the outputs may take up to " + megabytes(bytes));
            }
        }
        if (limited) {
            warnings.push_back(place.string() + ": files are limited to " +
                               std::to_string(limit.rlim_cur >> 10) +
                               " KiB (ulimit -f), and the outputs may take up to " + megabytes(bytes));
        }
    }
    return warnings;
}

void OutputTransaction::commitFolder() {
    const std::vector<std::string> staged = filesBelow(mFolderStaging);
    // Check every destination before the first move, so that a refusal leaves everything as it was.
    for (const std::string& file : staged) {
        std::error_code error;
        if (fs::exists(mFolder / file, error) && !contains(mPreviousOutputs, file)) {
            throw std::runtime_error(
                (mFolder / file).string() +
                ": exists and was not written by orvid-compare, so it was left alone and "
                "no output was moved into place");
        }
    }
    for (const std::string& file : mPreviousOutputs) {
        std::error_code ignored;
        if (fs::is_regular_file(mFolder / file, ignored)) {
            fs::remove(mFolder / file, ignored);
            fs::remove(mFolder / fs::path(file).parent_path(), ignored); // only when now empty
        }
    }
    for (const std::string& file : staged) {
        std::error_code error;
        fs::create_directories((mFolder / file).parent_path(), error);
        fs::rename(mFolderStaging / file, mFolder / file, error);
        if (error) {
            throw std::runtime_error((mFolder / file).string() + ": cannot move the output into place (" +
                                     error.message() + ")");
        }
    }
    const fs::path manifest = mFolderStaging / MANIFEST;
    {
        std::ofstream out(manifest, std::ios::trunc);
        out << MANIFEST_HEADER << '\n';
        for (const std::string& file : staged) {
            out << file << '\n';
        }
    }
    std::error_code error;
    fs::rename(manifest, mFolder / MANIFEST, error);
    fs::remove_all(mFolderStaging, error);
}

void OutputTransaction::commit() {
    if (!mFolderStaging.empty()) {
        commitFolder();
    }
    for (const StagedFile& file : mFiles) {
        std::error_code error;
        if (!file.writtenThrough) {
            fs::rename(file.staged, file.destination, error);
        }
        if (error) {
            throw std::runtime_error(file.destination.string() + ": cannot move the output into place (" +
                                     error.message() + ")");
        }
    }
    mCommitted = true;
}

} // namespace Orvid::Compare
