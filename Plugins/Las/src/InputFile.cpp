#include "InputFile.h"

#include <Core/IOException.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace Orvid::FileIoInterface::Las {

InputFile::InputFile(const std::filesystem::path& path)
    : mPath(path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw Core::IOException(message("cannot open (is a directory)"));
    }
    mFile = std::fopen(path.c_str(), "rb");
    if (mFile == nullptr) {
        throw Core::IOException(message(std::string("cannot open (") + std::strerror(errno) + ")"));
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
