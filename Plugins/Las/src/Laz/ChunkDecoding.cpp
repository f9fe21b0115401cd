#include "Laz/ChunkDecoding.h"

#if defined(LAZ_HAS_BIT_MANIPULATION_BUILD)
#include <cpuid.h>
#endif

namespace Orvid::FileIoInterface::Las::Laz {

// The entry points of the two builds, each compiled in its own namespace (ChunkDecoder.cpp).
inline namespace Portable {
std::size_t decodeChunkRecords(const LazDescription& description, std::uint16_t recordLength,
                               const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                               std::vector<std::uint8_t>& records);
} // namespace Portable

#if defined(LAZ_HAS_BIT_MANIPULATION_BUILD)
inline namespace BitManipulation {
std::size_t decodeChunkRecords(const LazDescription& description, std::uint16_t recordLength,
                               const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                               std::vector<std::uint8_t>& records);
} // namespace BitManipulation
#endif

DecoderBuild fastestDecoderBuild() {
#if defined(LAZ_HAS_BIT_MANIPULATION_BUILD)
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    const bool leadingZeroCount =
        __get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_LZCNT) != 0;
    const bool bitManipulation =
        __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & bit_BMI) != 0 && (ebx & bit_BMI2) != 0;
    if (leadingZeroCount && bitManipulation) {
        return DecoderBuild::BitManipulation;
    }
#endif
    return DecoderBuild::Portable;
}

std::size_t decodeChunk(DecoderBuild build, const LazDescription& description, std::uint16_t recordLength,
                        const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                        std::vector<std::uint8_t>& records) {
#if defined(LAZ_HAS_BIT_MANIPULATION_BUILD)
    if (build == DecoderBuild::BitManipulation) {
        return BitManipulation::decodeChunkRecords(description, recordLength, bytes, size, points, records);
    }
#else
    (void)build;
#endif
    return Portable::decodeChunkRecords(description, recordLength, bytes, size, points, records);
}

} // namespace Orvid::FileIoInterface::Las::Laz
