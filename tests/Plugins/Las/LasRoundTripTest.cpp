#include "LasTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace Orvid::Testing::Las;

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
