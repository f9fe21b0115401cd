#include "LasTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using namespace Orvid::Testing::Las;

/// A LAS 1.<minor> file of `format` with records of random bytes whose extra bytes hold one field of each
/// data type 1 to 10, described with no-data, min, max, scale and offset, then three undescribed bytes.
std::vector<std::uint8_t> randomLas(std::uint8_t minor, std::uint8_t format) {
    constexpr std::uint32_t POINTS = 60;
    constexpr std::uint16_t EXTRA_BYTES = 1 + 1 + 2 + 2 + 4 + 4 + 8 + 8 + 4 + 8 + 3;
    std::vector<std::uint8_t> descriptors(std::size_t{10} * 192, 0);
    for (std::uint8_t type = 1; type <= 10; ++type) {
        const std::size_t at = std::size_t{type - 1u} * 192u;
        descriptors[at + 2] = type;
        descriptors[at + 3] = 0x1F;
        descriptors[at + 4] = static_cast<std::uint8_t>('a' + type); // the name
        // No-data, min and max: 1.5 for the floating types, 100 for the others.
        for (const std::size_t slot : {40u, 64u, 88u}) {
            put<std::uint64_t>(descriptors, at + slot, type >= 9 ? 0x3FF8000000000000 : 100);
        }
        put<double>(descriptors, at + 112, 0.25);
        put<double>(descriptors, at + 136, -3.5);
    }
    std::vector<std::uint8_t> bytes = craftLas(minor, format, POINTS, EXTRA_BYTES);
    addVlr(bytes, "LASF_Spec", 4, descriptors);
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 96, 4);
    std::mt19937 random(format);
    std::generate(bytes.begin() + offset, bytes.end(),
                  [&random] { return static_cast<std::uint8_t>(random()); });
    return bytes;
}

// Every format at the first version that has it; every extra-bytes data type with each.
class LasGeneratedRoundTrip : public testing::TestWithParam<int> {};

TEST_P(LasGeneratedRoundTrip, EveryFieldOfRandomRecordsComesBackBitForBit) {
    const auto format = static_cast<std::uint8_t>(GetParam());
    const std::uint8_t minor = format >= 6 ? 4 : (format >= 4 ? 3 : 2);
    TemporaryFolder folder;
    writeBytes(folder / "random.las", randomLas(minor, format));
    expectRoundTrip(folder / "random.las", minor);
}

INSTANTIATE_TEST_SUITE_P(Formats, LasGeneratedRoundTrip, testing::Range(0, 11));

} // namespace
