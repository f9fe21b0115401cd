#include "InputFile.h"

#include <Core/IOException.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las {

namespace {

const char* kindOf(std::filesystem::file_type type) {
    switch (type) {
    case std::filesystem::file_type::directory:
        return "a directory";
    case std::filesystem::file_type::fifo:
        return "a FIFO";
    case std::filesystem::file_type::character:
        return "a character device";
    case std::filesystem::file_type::block:
        return "a block device";
    case std::filesystem::file_type::socket:
        return "a socket";
    default:
        return "of an unknown kind";
    }
}

} // namespace

InputFile::InputFile(const std::filesystem::path& path)
    : mPath(path) {
    // Opening a FIFO for reading waits for a writer, and a device may never end: only regular files
    // are opened. A missing file falls through to the open, which names the reason.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!error && status.type() != std::filesystem::file_type::regular &&
        status.type() != std::filesystem::file_type::not_found) {
        throw Core::IOException(message(std::string("not a regular file (") + kindOf(status.type()) + ")"));
    }
    // Non-blocking, so that a FIFO swapped in after the check cannot hang the open either.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        throw Core::IOException(message(std::string("cannot open (") + std::strerror(errno) + ")"));
    }
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        throw Core::IOException(message("not a regular file"));
    }
    mFile = ::fdopen(descriptor, "rb");
    if (mFile == nullptr) {
        const std::string reason = std::strerror(errno);
        ::close(descriptor);
        throw Core::IOException(message("cannot open (" + reason + ")"));
    }
    long end = -1;
    if (std::fseek(mFile, 0, SEEK_END) == 0) {
        end = std::ftell(mFile);
    }
    if (end < 0 || std::fseek(mFile, 0, SEEK_SET) != 0) {
        const std::string reason = std::strerror(errno);
        std::fclose(mFile);
        throw Core::IOException(message("cannot determine the size (" + reason + ")"));
    }
    mSize = static_cast<std::uint64_t>(end);
}

InputFile::~InputFile() {
    std::fclose(mFile);
}

void InputFile::seek(std::uint64_t offset) {
    if (offset == mPosition) {
        return;
    }
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(mFile, static_cast<long>(offset), SEEK_SET) != 0) {
        throw Core::IOException(message("cannot seek to byte " + std::to_string(offset)));
    }
    mPosition = offset;
}

std::size_t InputFile::read(std::uint8_t* bytes, std::size_t count) {
    const std::size_t read = std::fread(bytes, 1, count, mFile);
    if (read < count && std::ferror(mFile) != 0) {
        throw Core::IOException(message("read error at byte " + std::to_string(mPosition + read) + " (" +
                                        std::strerror(errno) + ")"));
    }
    mPosition += read;
    return read;
}

void InputFile::readExactly(std::uint8_t* bytes, std::size_t count, const char* what) {
    const std::uint64_t start = mPosition;
    if (read(bytes, count) != count) {
        throw Core::IOException(message(std::string(what) + " truncated at byte " +
                                        std::to_string(mPosition) + " (" + std::to_string(count) +
                                        " bytes from byte " + std::to_string(start) + " expected)"));
    }
}

std::string InputFile::message(const std::string& text) const {
    return mPath.string() + ": " + text;
}

} // namespace Orvid::FileIoInterface::Las
