#include "MappedRecordBlocks.h"

#include "FileDescriptor.h"

#include <Core/IOException.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las {

namespace {

std::string failure(const std::filesystem::path& path, const std::string& text) {
    return path.string() + ": " + text;
}

} // namespace

MappedRecordBlocks::MappedRecordBlocks(const std::filesystem::path& path, std::uint64_t offset,
                                       std::uint64_t count, std::size_t recordLength)
    : mCount(count) {
    // Opening without blocking keeps a FIFO from stalling us before the check below refuses it. The
    // descriptor is closed on every path out; the mapping outlives it.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        throw Core::IOException(failure(path, std::string("cannot open (") + std::strerror(errno) + ")"));
    }
    map(file.get(), path, offset, recordLength);
}

MappedRecordBlocks::MappedRecordBlocks(int descriptor, const std::filesystem::path& path, std::uint64_t count,
                                       std::size_t recordLength)
    : mCount(count) {
    map(descriptor, path, 0, recordLength);
}

void MappedRecordBlocks::map(int descriptor, const std::filesystem::path& path, std::uint64_t offset,
                             std::size_t recordLength) {
    const std::uint64_t count = mCount;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        throw Core::IOException(failure(path, std::string("cannot query (") + std::strerror(errno) + ")"));
    }
    if (!S_ISREG(status.st_mode)) {
        throw Core::IOException(failure(path, "is not a regular file: its records cannot be mapped"));
    }
    if (count == 0) {
        return;
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (count > (std::numeric_limits<std::uint64_t>::max() - offset) / recordLength ||
        offset + count * recordLength > fileSize) {
        throw Core::IOException(failure(path, "point data truncated at byte " + std::to_string(fileSize) +
                                                  " (" + std::to_string(count) + " records of " +
                                                  std::to_string(recordLength) + " bytes from byte " +
                                                  std::to_string(offset) + " expected)"));
    }
    const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t mappedFrom = offset - offset % pageSize;
    const std::uint64_t mappedBytes = offset + count * recordLength - mappedFrom;
    if (mappedBytes > std::numeric_limits<std::size_t>::max() ||
        mappedFrom > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        throw Core::IOException(failure(path, "point data of " + std::to_string(mappedBytes) +
                                                  " bytes cannot be mapped on this machine"));
    }
    mMappingSize = static_cast<std::size_t>(mappedBytes);
    void* mapping =
        ::mmap(nullptr, mMappingSize, PROT_READ, MAP_PRIVATE, descriptor, static_cast<off_t>(mappedFrom));
    if (mapping == MAP_FAILED) {
        throw Core::IOException(
            failure(path, "cannot map " + std::to_string(mMappingSize) + " bytes of point data from byte " +
                              std::to_string(mappedFrom) + " (" + std::strerror(errno) + ")"));
    }
    mMapping = mapping;
    mRecords = static_cast<const std::uint8_t*>(mapping) + (offset - mappedFrom);
}

MappedRecordBlocks::~MappedRecordBlocks() {
    if (mMapping != nullptr) {
        ::munmap(mMapping, mMappingSize);
    }
}

} // namespace Orvid::FileIoInterface::Las
