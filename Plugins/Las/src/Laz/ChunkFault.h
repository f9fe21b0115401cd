#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Orvid::FileIoInterface::Las::Laz {

/// A fault in a chunk's bytes, at `offset` bytes from the chunk's start; the chunk's owner adds the
/// file and the chunk to the message.
class ChunkFault : public std::runtime_error {
public:
    ChunkFault(const std::string& what, std::uint64_t offset)
        : std::runtime_error(what)
        , mOffset(offset) {}
    std::uint64_t offset() const { return mOffset; }

private:
    std::uint64_t mOffset;
};

} // namespace Orvid::FileIoInterface::Las::Laz
