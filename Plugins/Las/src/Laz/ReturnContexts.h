#pragma once

#include "Laz/DecoderBuild.h"

#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// Context of a point's return r of n returns (3 bits each) for the coordinate and intensity models of
/// formats 0 to 5. Proper combinations (1 <= r <= n <= 5) take 0 to 14; the others, from files that
/// count from 0 or swap the fields, are spread over the remaining values.
constexpr std::uint8_t RETURN_CONTEXT_3BIT[8][8] = {
    {15, 14, 13, 12, 11, 10, 9, 8},  {14, 0, 1, 3, 6, 10, 10, 9},    {13, 1, 2, 4, 7, 11, 11, 10},
    {12, 3, 4, 5, 8, 12, 12, 11},    {11, 6, 7, 8, 9, 13, 13, 12},   {10, 10, 11, 12, 13, 14, 14, 13},
    {9, 10, 11, 12, 13, 14, 15, 14}, {8, 9, 10, 11, 12, 13, 14, 15},
};

/// Context of return r of n returns (4 bits each) for the coordinate models of formats 6 to 10: six
/// classes, first and last returns apart.
constexpr std::uint8_t RETURN_CONTEXT_4BIT[16][16] = {
    {0, 1, 2, 3, 4, 5, 3, 4, 4, 5, 5, 5, 5, 5, 5, 5}, {1, 0, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3},
    {2, 1, 2, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3}, {3, 3, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {3, 3, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {4, 3, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4},
    {5, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 4, 4, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5},
};

/// How far return r lies from the last of n returns, the context of the height models; formats 6 to 10
/// stop counting at 7.
constexpr std::uint32_t returnLevel(std::uint32_t r, std::uint32_t n, std::uint32_t most) {
    const std::uint32_t distance = r > n ? r - n : n - r;
    return distance < most ? distance : most;
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
