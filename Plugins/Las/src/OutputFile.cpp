#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace Orvid::FileIoInterface::Las {

OutputFile::~OutputFile() {
    if (mFile != nullptr) {
        std::fclose(mFile);
    }
}

bool OutputFile::open(const std::filesystem::path& path) {
    close();
    mFile = std::fopen(path.c_str(), "wb");
    return mFile != nullptr || fail("cannot create");
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t count) {
    if (mFile == nullptr) {
        mError = "the file is closed";
        return false;
    }
    return std::fwrite(bytes, 1, count, mFile) == count || fail("write failed");
}

bool OutputFile::seek(std::uint64_t offset) {
    if (mFile == nullptr) {
        mError = "the file is closed";
        return false;
    }
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max())) {
        mError = "seek beyond the largest file offset";
        return false;
    }
    return std::fseek(mFile, static_cast<long>(offset), SEEK_SET) == 0 || fail("seek failed");
}

bool OutputFile::close() {
    if (mFile == nullptr) {
        return true;
    }
    const bool flushed = std::fflush(mFile) == 0 || fail("write failed");
    std::FILE* file = mFile;
    mFile = nullptr;
    const bool closed = std::fclose(file) == 0 || fail("close failed");
    return flushed && closed;
}

bool OutputFile::fail(const char* operation) {
    mError = std::string(operation) + " (" + std::strerror(errno) + ")";
    return false;
}

} // namespace Orvid::FileIoInterface::Las
