#include "Sha256.h"

#include <array>
#include <cstdio>
#include <vector>

namespace Orvid::Testing::Las {

namespace {

constexpr std::array<std::uint32_t, 64> ROUND_CONSTANTS = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotateRight(std::uint32_t value, int bits) {
    return (value >> bits) | (value << (32 - bits));
}

void compress(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
    std::array<std::uint32_t, 64> words{};
    for (std::size_t index = 0; index < 16; ++index) {
        words[index] = (std::uint32_t{block[4 * index]} << 24) | (std::uint32_t{block[4 * index + 1]} << 16) |
                       (std::uint32_t{block[4 * index + 2]} << 8) | std::uint32_t{block[4 * index + 3]};
    }
    for (std::size_t index = 16; index < 64; ++index) {
        const std::uint32_t w15 = words[index - 15];
        const std::uint32_t w2 = words[index - 2];
        const std::uint32_t s0 = rotateRight(w15, 7) ^ rotateRight(w15, 18) ^ (w15 >> 3);
        const std::uint32_t s1 = rotateRight(w2, 17) ^ rotateRight(w2, 19) ^ (w2 >> 10);
        words[index] = words[index - 16] + s0 + words[index - 7] + s1;
    }
    std::array<std::uint32_t, 8> v = state;
    for (std::size_t index = 0; index < 64; ++index) {
        const std::uint32_t s1 = rotateRight(v[4], 6) ^ rotateRight(v[4], 11) ^ rotateRight(v[4], 25);
        const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const std::uint32_t t1 = v[7] + s1 + choice + ROUND_CONSTANTS[index] + words[index];
        const std::uint32_t s0 = rotateRight(v[0], 2) ^ rotateRight(v[0], 13) ^ rotateRight(v[0], 22);
        const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        const std::uint32_t t2 = s0 + majority;
        v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (std::size_t index = 0; index < 8; ++index) {
        state[index] += v[index];
    }
}

} // namespace

std::string sha256Hex(const std::uint8_t* bytes, std::size_t size) {
    std::array<std::uint32_t, 8> state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::size_t whole = size / 64 * 64;
    for (std::size_t offset = 0; offset < whole; offset += 64) {
        compress(state, bytes + offset);
    }
    // The tail, a 1 bit, zeros, and the length in bits as a big-endian 64-bit number.
    std::vector<std::uint8_t> tail(bytes + whole, bytes + size);
    tail.push_back(0x80);
    while (tail.size() % 64 != 56) {
        tail.push_back(0);
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int shift = 56; shift >= 0; shift -= 8) {
        tail.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    for (std::size_t offset = 0; offset < tail.size(); offset += 64) {
        compress(state, tail.data() + offset);
    }
    std::string text;
    for (const std::uint32_t word : state) {
        char digits[9];
        std::snprintf(digits, sizeof(digits), "%08x", word);
        text += digits;
    }
    return text;
}

} // namespace Orvid::Testing::Las
