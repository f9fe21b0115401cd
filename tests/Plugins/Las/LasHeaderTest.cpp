#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>
#include <FileIoInterface/Las/LasHeader.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Bytes = std::vector<std::uint8_t>;

struct Truth {
    const char* name;
    std::uint8_t minor;
    std::uint8_t format;
    std::uint32_t points;
    void (*change)(Bytes&);
    /// What the reader takes as the point count and the first two counts by return.
    std::uint64_t pointCount;
    std::array<std::uint64_t, 2> byReturn;
    std::uint64_t pointDataEnd;
    std::uint64_t recordsInPointData;
    std::vector<std::string> warnings;
};

// A crafted LAS 1.<minor> file of the format with that many points, once changed: the counts read, where
// the point data ends and the warnings.
// clang-format off
const Truth CASES[] = {
    {"Las12CountsAsStored", 2, 1, 2, [](Bytes& b) { put<std::uint32_t>(b, 111, 2); }, 2, {2, 0}, 283, 2, {}},
    {"Las14LegacyCountBelowThe64BitCount", 4, 6, 3,
     [](Bytes& b) { put<std::uint32_t>(b, 107, 1); }, 3, {0, 0}, 465, 3,
     {"The legacy point count 1 (byte 107) differs from the 64-bit point count 3 (byte 247); the 64-bit "
      "count is used."}},
    {"Las14LegacyCountsByReturnDiffer", 4, 1, 3,
     [](Bytes& b) {
         put<std::uint32_t>(b, 111, 3);
         put<std::uint64_t>(b, 255, 2); put<std::uint64_t>(b, 263, 1);
     },
     3, {2, 1}, 459, 3,
     {"The legacy points by return 3 0 0 0 0 (byte 111) differ from the 64-bit counts 2 1 0 0 0 (byte 255); the "
      "64-bit counts are used."}},
    {"Las14ZeroLegacyCountsAreNoDisagreement", 4, 6, 2,
     [](Bytes& b) { put<std::uint32_t>(b, 107, 0); put<std::uint64_t>(b, 255, 2); }, 2, {2, 0}, 435, 2, {}},
    {"Las14Only64BitCountZero", 4, 6, 2,
     [](Bytes& b) { put<std::uint64_t>(b, 247, 0); put<std::uint32_t>(b, 111, 2); }, 2, {2, 0}, 435, 2,
     {"The 64-bit point count (byte 247) is 0 but the legacy point count (byte 107) is 2; the legacy counts "
      "are used."}},
    {"MoreRecordsThanAnnounced", 2, 1, 3, [](Bytes& b) { put<std::uint32_t>(b, 107, 2); }, 2, {0, 0}, 311, 3,
     {"The header announces 2 points but the point data holds 3 whole records (84 bytes from byte 227, 28 per "
      "point)."}},
    {"WaveformDataIsNotPointData", 3, 4, 2,
     [](Bytes& b) { put<std::uint64_t>(b, 227, appendEvlr(b, "LASF_Spec", 65535, 4, Bytes(4))); },
     2, {0, 0}, 349, 2, {}},
    {"MoreRecordsThanAnnouncedBeforeTheWaveformData", 3, 4, 2,
     [](Bytes& b) {
         put<std::uint64_t>(b, 227, appendEvlr(b, "LASF_Spec", 65535, 0));
         put<std::uint32_t>(b, 107, 1);
     },
     1, {0, 0}, 349, 2,
     {"The header announces 1 point but the point data holds 2 whole records (114 bytes from byte 235 to the "
      "waveform data at byte 349, 57 per point)."}},
    {"ExtendedVlrsAreNotPointData", 4, 6, 2,
     [](Bytes& b) {
         put<std::uint64_t>(b, 235, appendEvlr(b, "LASF_Projection", 2112, 3, Bytes(3)));
         appendEvlr(b, "LASF_Spec", 7, 0);
         put<std::uint32_t>(b, 243, 2);
     },
     2, {0, 0}, 435, 2, {}},
    // A record shorter than the last one read is no whole record.
    {"TrailingBytesShorterThanARecord", 2, 1, 2, [](Bytes& b) { b.resize(b.size() + 27); }, 2, {0, 0}, 310, 2,
     {}},
};
// clang-format on

class LasHeaderTruth : public testing::TestWithParam<Truth> {};

TEST_P(LasHeaderTruth, CountsAndWarningsFollowTheFile) {
    const TemporaryFolder folder;
    const std::filesystem::path path = folder / "input.las";
    const Truth& truth = GetParam();
    Bytes bytes = craftLas(truth.minor, truth.format, truth.points);
    truth.change(bytes);
    writeBytes(path, bytes);
    const Las::LasHeader header = Las::readLasHeader(path);
    EXPECT_EQ(std::make_tuple(header.pointCount, header.pointsByReturn[0], header.pointsByReturn[1],
                              header.pointDataEnd, header.recordsInPointData),
              std::make_tuple(truth.pointCount, truth.byReturn[0], truth.byReturn[1], truth.pointDataEnd,
                              truth.recordsInPointData));
    EXPECT_EQ(header.warnings, truth.warnings);
    EXPECT_EQ(readPoints(path).size(), truth.pointCount);
}

// The records of both kinds are found before and after the points; the first of each kind counts, and a
// waveform record's payload is not read.
TEST(LasCoordinateSystemRecords, FoundAmongVlrsAndExtendedVlrs) {
    const TemporaryFolder folder;
    const std::filesystem::path path = folder / "input.las";
    Bytes bytes = craftLas(4, 6, 2);
    addVlr(bytes, "LASF_Projection", 34735, {1, 0, 1, 0, 0, 0, 0, 0});
    put<std::uint16_t>(bytes, 6, 0x11);
    const std::string wkt = "PROJCS[\"first\"]";
    Bytes wktPayload(wkt.begin(), wkt.end());
    wktPayload.push_back(0);
    wktPayload.push_back('x');
    put<std::uint64_t>(bytes, 235, appendEvlr(bytes, "LASF_Spec", 65535, 3, {7, 7, 7}));
    appendEvlr(bytes, "LASF_Projection", 2112, wktPayload.size(), wktPayload);
    appendEvlr(bytes, "LASF_Projection", 2112, 1, {'y'});
    put<std::uint32_t>(bytes, 243, 3);
    writeBytes(path, bytes);

    const Las::LasHeader header = Las::readLasHeader(path);
    ASSERT_EQ(header.evlrs.size(), 3U);
    EXPECT_TRUE(Las::isWaveformDataRecord(header.evlrs[0]));
    EXPECT_TRUE(header.evlrs[0].payload.empty());
    EXPECT_EQ(header.evlrs[1].payload, wktPayload);
    const auto records = Las::coordinateSystemRecordsOf(header);
    ASSERT_TRUE(records.hasGeoTiff() && records.hasWkt());
    EXPECT_FALSE(records.geoKeyDirectory->extended);
    EXPECT_TRUE(records.wkt->extended);
    EXPECT_EQ(records.wktText(), wkt);
    EXPECT_TRUE(records.wktBitSet);
    EXPECT_FALSE(records.geoDoubleParams.has_value());
}

INSTANTIATE_TEST_SUITE_P(Cases, LasHeaderTruth, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<Truth>& param) { return param.param.name; });

} // namespace
