#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Orvid::Testing::Las {

/// The SHA-256 digest of `size` bytes, as 64 lower-case hexadecimal digits: the form in which the shared
/// data's README states the digests of the truth files it does not keep.
std::string sha256Hex(const std::uint8_t* bytes, std::size_t size);

} // namespace Orvid::Testing::Las
