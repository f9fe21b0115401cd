#include "MemoryPoint.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasLayout.h>
#include <FileIoInterface/Las/LasPoint.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;
using Las::LasCarriedFields;
using Las::LasLayout;
using Las::LasWriterOptions;

enum class Source { None, GeoTiff, Wkt, GeoTiffOnly };

/// Fields carried from a source with GeoTIFF keys around a WKT record (only the keys for
/// "GeoTiffOnly"); the "WKT" source declares WKT, adjusted standard GPS time and synthetic return
/// numbers.
LasCarriedFields carriedFrom(Source source) {
    LasCarriedFields carried;
    carried.scaleOffset = {{0.01, 0.02, 0.03}, {100.0, 200.0, -0.0}};
    carried.fileSourceId = 7;
    carried.projectId[15] = 9;
    carried.coordinateSystemRecords = {{"LASF_Projection", 34735, "keys", std::vector<std::uint8_t>(16, 1)},
                                       {"LASF_Projection", 2112, "wkt", std::vector<std::uint8_t>(10, 2)},
                                       {"LASF_Projection", 34737, "ascii", std::vector<std::uint8_t>(8, 3)}};
    if (source == Source::GeoTiffOnly) {
        carried.coordinateSystemRecords.erase(carried.coordinateSystemRecords.begin() + 1);
    }
    const bool wkt = source == Source::Wkt;
    carried.wktCoordinateSystem = wkt;
    carried.adjustedStandardGpsTime = wkt;
    carried.syntheticReturnNumbers = wkt;
    return carried;
}

struct Plan {
    const char* name;
    std::uint8_t minor;
    std::optional<std::uint8_t> format;
    Source source;
    bool copyCoordinateSystem;
    /// The point format the first point was read from; absent: a coloured point made in memory.
    std::optional<std::uint8_t> firstPointFormat;
    bool extraAttribute;
    // What the plan decides.
    std::uint8_t pointFormat;
    std::uint16_t recordLength;
    std::uint16_t globalEncoding;
    std::vector<std::uint16_t> recordIds;
    std::uint16_t headerSize;
    std::uint32_t offsetToPointData;
    std::size_t leftOut;
};

// Record sizes: 54 + 16 (34735), 54 + 10 (2112), 54 + 8 (34737), 54 + 192 (one extra-bytes descriptor).
// clang-format off
const Plan CASES[] = {
    {"Las12KeepsGeoTiff", 2, {}, Source::GeoTiff, true, 1, false, 1, 28, 0x00, {34735, 34737}, 227, 359, 1},
    {"Las12ColourAndNoTimeGivesFormat2", 2, {}, Source::None, true, 2, false, 2, 26, 0x00, {}, 227, 227, 0},
    {"Las12DropsTheBitsItLacks", 2, {}, Source::Wkt, true, 1, false, 1, 28, 0x01, {34735, 34737}, 227, 359, 1},
    {"Las13KeepsSyntheticReturnNumbers", 3, {}, Source::Wkt, true, 1, false, 1, 28, 0x09, {34735, 34737}, 235,
     367, 1},
    {"Las14Format6KeepsWkt", 4, {}, Source::GeoTiff, true, 1, false, 6, 30, 0x10, {2112}, 375, 439, 2},
    {"Las14Format1FromGeoTiffKeepsGeoTiff", 4, 1, Source::GeoTiff, true, 1, false, 1, 28, 0x00, {34735, 34737},
     375, 507, 1},
    {"Las14Format1FromWktKeepsWkt", 4, 1, Source::Wkt, true, 1, false, 1, 28, 0x19, {2112}, 375, 439, 2},
    {"Las14Format6FromGeoTiffOnlyKeepsGeoTiffWithoutTheWktBit", 4, {}, Source::GeoTiffOnly, true, 1, false, 6,
     30, 0x00, {34735, 34737}, 375, 507, 0},
    {"Las14NirGivesFormat8", 4, {}, Source::None, true, 8, false, 8, 38, 0x00, {}, 375, 375, 0},
    {"Las14ColourMadeInMemoryGivesFormat7", 4, {}, Source::None, true, {}, false, 7, 36, 0x00, {}, 375, 375, 0},
    {"Las14WktNotCopiedHasNoWktBit", 4, {}, Source::Wkt, false, 1, false, 6, 30, 0x09, {}, 375, 375, 0},
    {"CoordinateSystemNotCopied", 2, {}, Source::GeoTiff, false, 1, false, 1, 28, 0x00, {}, 227, 227, 0},
    {"ExtraBytesRecordComesFirst", 2, 3, Source::GeoTiff, true, 1, true, 3, 36, 0x00, {4, 34735, 34737}, 227,
     605, 1},
};
// clang-format on

class LasLayoutPlan : public testing::TestWithParam<Plan> {};

TEST_P(LasLayoutPlan, DecidesFormatEncodingRecordsAndOffsets) {
    const Plan& plan = GetParam();
    LasWriterOptions options;
    options.versionMinor = plan.minor;
    options.pointFormat = plan.format;
    options.copyCoordinateSystem = plan.copyCoordinateSystem;
    const std::optional<LasCarriedFields> carried =
        plan.source == Source::None ? std::nullopt : std::optional(carriedFrom(plan.source));
    LegInformation leg;
    if (plan.extraAttribute) {
        Attribute::Descriptor descriptor;
        descriptor.dataType = Attribute::DataType::UInt16;
        descriptor.name = "amplitude";
        leg.attributes = {descriptor};
    }
    std::unique_ptr<InputOutputPoint> first;
    if (plan.firstPointFormat) {
        auto point = std::make_unique<Las::LasPoint>();
        point->setSourcePointFormat(*plan.firstPointFormat);
        first = std::move(point);
    } else {
        auto point = std::make_unique<Orvid::Testing::MemoryPoint>();
        point->color = {1, 2, 3};
        first = std::move(point);
    }

    const LasLayout layout = Las::planLasLayout(options, carried ? &*carried : nullptr, leg, first.get());
    std::vector<std::uint16_t> recordIds;
    for (const Las::LasVlr& vlr : layout.vlrs) {
        recordIds.push_back(vlr.recordId);
    }
    EXPECT_EQ(std::make_tuple(layout.versionMinor, layout.pointFormat, layout.pointRecordLength,
                              layout.globalEncoding, recordIds, layout.headerSize, layout.offsetToPointData,
                              layout.coordinateSystemRecordsLeftOut),
              std::make_tuple(plan.minor, plan.pointFormat, plan.recordLength, plan.globalEncoding,
                              plan.recordIds, plan.headerSize, plan.offsetToPointData, plan.leftOut));
}

INSTANTIATE_TEST_SUITE_P(Cases, LasLayoutPlan, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<Plan>& param) { return param.param.name; });

TEST(LasLayout, ScaleOffsetAndIdsFollowTheOptionsThenTheCarriedFieldsThenTheDefaults) {
    LegInformation leg;
    leg.lidarId = "scanner";
    Las::LasPoint first;
    first.setX(12345.6);
    first.setY(-2600.0);
    first.setZ(499.0);
    const LasCarriedFields carried = carriedFrom(Source::GeoTiff);
    LasWriterOptions options;

    const LasLayout fromCarried = Las::planLasLayout(options, &carried, leg, &first);
    EXPECT_EQ(
        std::make_tuple(fromCarried.scaleOffset.scale.y, fromCarried.scaleOffset.offset.x,
                        std::signbit(fromCarried.scaleOffset.offset.z), fromCarried.fileSourceId,
                        fromCarried.projectId, fromCarried.systemIdentifier, fromCarried.generatingSoftware),
        std::make_tuple(0.02, 100.0, true, 7, carried.projectId, std::string("scanner"), std::string()));

    const LasLayout fromDefaults = Las::planLasLayout(options, nullptr, leg, &first);
    EXPECT_EQ(std::make_tuple(fromDefaults.scaleOffset.scale.x, fromDefaults.scaleOffset.offset.x,
                              fromDefaults.scaleOffset.offset.y, fromDefaults.scaleOffset.offset.z,
                              fromDefaults.fileSourceId),
              std::make_tuple(0.001, 12000.0, -3000.0, 0.0, 0));

    options.scaleOffset = Las::LasScaleOffset{{0.5, 0.5, 0.5}, {1.0, 2.0, 3.0}};
    options.adjustedStandardGpsTime = false;
    const LasCarriedFields adjusted = carriedFrom(Source::Wkt);
    const LasLayout fromOptions = Las::planLasLayout(options, &adjusted, leg, &first);
    EXPECT_EQ(std::make_tuple(fromOptions.scaleOffset.scale.z, fromOptions.scaleOffset.offset.z,
                              fromOptions.globalEncoding & 0x01),
              std::make_tuple(0.5, 3.0, 0));
}

TEST(LasLayout, KeepsAWktOfTheExtendedRecordsAndSaysWhyNoCoordinateSystemIsKept) {
    Las::LasHeader header;
    header.versionMinor = 4;
    header.globalEncoding = 0x10;
    const std::string wkt = "GEOGCS[\"NAD83\"]";
    header.evlrs.push_back({"LASF_Projection", 2112, "wkt", {wkt.begin(), wkt.end()}});
    LasWriterOptions options;
    const LegInformation leg;
    LasCarriedFields carried = Las::carriedFieldsOf(header);
    const LasLayout kept = Las::planLasLayout(options, &carried, leg, nullptr);
    ASSERT_EQ(kept.vlrs.size(), 1U);
    EXPECT_EQ(std::make_tuple(kept.vlrs[0].payload, kept.globalEncoding, kept.coordinateSystemLost),
              std::make_tuple(header.evlrs[0].payload, 0x10, std::optional<std::string>()));

    options.versionMinor = 2;
    EXPECT_EQ(Las::planLasLayout(options, &carried, leg, nullptr).coordinateSystemLost,
              "LAS 1.2 holds no WKT");

    // More than a VLR holds: lost, unless GeoTIFF keys stand in (then without the WKT bit).
    options.versionMinor = 4;
    carried.coordinateSystemRecords[0].payload.resize(70000, ' ');
    EXPECT_EQ(Las::planLasLayout(options, &carried, leg, nullptr).coordinateSystemLost,
              "its 70000-byte WKT is more than a variable-length record holds");
    carried.coordinateSystemRecords.insert(
        carried.coordinateSystemRecords.begin(),
        {"LASF_Projection", 34735, "keys", std::vector<std::uint8_t>(16, 1)});
    const LasLayout geoTiff = Las::planLasLayout(options, &carried, leg, nullptr);
    ASSERT_EQ(geoTiff.vlrs.size(), 1U);
    EXPECT_EQ(std::make_tuple(geoTiff.vlrs[0].recordId, geoTiff.globalEncoding, geoTiff.coordinateSystemLost),
              std::make_tuple(34735, 0x00, std::optional<std::string>()));
}

} // namespace
