#include "Laz/PositionalFile.h"

#include <Core/IOException.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las::Laz {

PositionalFile::PositionalFile(const std::filesystem::path& path)
    : mPath(path) {
    mDescriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (mDescriptor < 0) {
        throw Core::IOException(message(std::string("cannot open (") + std::strerror(errno) + ")"));
    }
    struct stat status {};
    if (::fstat(mDescriptor, &status) != 0 || status.st_size < 0) {
        const std::string reason = std::strerror(errno);
        ::close(mDescriptor);
        throw Core::IOException(message("cannot determine the size (" + reason + ")"));
    }
    mSize = static_cast<std::uint64_t>(status.st_size);
}

PositionalFile::~PositionalFile() {
    ::close(mDescriptor);
}

void PositionalFile::readAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count,
                            const std::string& what) const {
    std::size_t done = 0;
    while (done < count) {
        const std::uint64_t at = offset + done;
        if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            throw Core::IOException(message("cannot read " + what + " at byte " + std::to_string(at)));
        }
        const ssize_t read = ::pread(mDescriptor, bytes + done, count - done, static_cast<off_t>(at));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            throw Core::IOException(message("read error in " + what + " at byte " + std::to_string(at) +
                                            " (" + std::strerror(errno) + ")"));
        }
        if (read == 0) {
            throw Core::IOException(message(what + " truncated at byte " + std::to_string(at) + " (" +
                                            std::to_string(count) + " bytes from byte " +
                                            std::to_string(offset) + " expected)"));
        }
        done += static_cast<std::size_t>(read);
    }
}

std::vector<std::uint8_t> PositionalFile::readAt(std::uint64_t offset, std::size_t count,
                                                 const std::string& what) const {
    std::vector<std::uint8_t> bytes(count);
    readAt(offset, bytes.data(), count, what);
    return bytes;
}

std::string PositionalFile::message(const std::string& text) const {
    return mPath.string() + ": " + text;
}

} // namespace Orvid::FileIoInterface::Las::Laz
