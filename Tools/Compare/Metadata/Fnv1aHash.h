#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Orvid::Compare {

/// 64-bit FNV-1a of bytes fed in parts: quick, and enough to tell contents apart (a record's payload,
/// sampled stretches of a file, a plan), though no defence against anyone who wants a collision.
class Fnv1aHash {
public:
    void add(const void* bytes, std::size_t count) {
        const auto* byte = static_cast<const unsigned char*>(bytes);
        for (std::size_t index = 0; index < count; ++index) {
            mHash = (mHash ^ byte[index]) * 0x100000001b3ULL;
        }
    }

    /// The hash as 16 lowercase hexadecimal digits.
    std::string hex() const {
        std::array<char, 17> text{};
        std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(mHash));
        return text.data();
    }

private:
    std::uint64_t mHash = 0xcbf29ce484222325ULL;
};

} // namespace Orvid::Compare
