#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace Orvid::FileIoInterface::Las {

namespace {

/// Bytes written at a time. Whole 2 MiB blocks at 2 MiB offsets let the page cache hold the file in
/// huge folios, which a program that maps the file (this plug-in's readers among them) maps hundreds
/// of times faster than the pages of writes of a few KiB.
constexpr std::size_t WRITE_BLOCK = std::size_t{2} << 20U;

} // namespace

OutputFile::~OutputFile() {
    if (mFile != nullptr) {
        std::fclose(mFile);
    }
}

bool OutputFile::open(const std::filesystem::path& path) {
    close();
    mFile = std::fopen(path.c_str(), "wb");
    if (mFile == nullptr) {
        return fail("cannot create");
    }
    if (!mBuffer) {
        // Left uninitialised: its pages count in memory only once written.
        mBuffer.reset(new char[WRITE_BLOCK]);
    }
    // Fails only for a bad mode or size, and the file then keeps its own buffer.
    static_cast<void>(std::setvbuf(mFile, mBuffer.get(), _IOFBF, WRITE_BLOCK));
    return true;
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
