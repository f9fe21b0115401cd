#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Orvid::Testing::Las {

/// The SHA-256 digest of `size` bytes, as 64 lower-case hexadecimal digits: the form in which the LAZ
/// tests state the digests of decoded records.
std::string sha256Hex(const std::uint8_t* bytes, std::size_t size);

} // namespace Orvid::Testing::Las
