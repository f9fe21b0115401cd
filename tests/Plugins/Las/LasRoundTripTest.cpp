#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <variant>

namespace {

using namespace Orvid::FileIoInterface;
using Attribute::DataType;
using Attribute::Descriptor;
using Attribute::Value;
using Las::LasPoint;
using Orvid::Testing::Las::expectSamePoint;
using Orvid::Testing::Las::readBytes;
using Orvid::Testing::Las::sampleFile;
using Orvid::Testing::Las::TemporaryFolder;

// Every field of every point of a real file comes back bit for bit: the written point records are
// the very bytes of the source's.
class LasSampleRoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(LasSampleRoundTrip, WritingWhatWasReadGivesTheSamePointRecords) {
    const std::filesystem::path source = sampleFile(GetParam());
    TemporaryFolder folder;
    Las::LasReader reader({source});
    const Las::LasHeader sourceHeader = reader.header(0);
    Las::LasWriterOptions options;
    options.versionMinor = std::max<std::uint8_t>(sourceHeader.versionMinor, 2);
    options.pointFormat = sourceHeader.pointFormat;
    Las::LasWriter writer(folder.path(), options);

    const LegInformation leg = reader.nextLeg();
    writer.beginLeg(leg);
    std::vector<std::unique_ptr<InputOutputPoint>> points;
    while (reader.hasMorePoints()) {
        points.push_back(reader.nextPoint());
        ASSERT_TRUE(writer.write(*points.back())) << writer.write(*points.back()).message();
    }
    writer.endLeg();

    const std::filesystem::path written = folder / (leg.name + ".las");
    ASSERT_EQ(writer.writtenFiles(), std::vector<std::filesystem::path>{written});
    const Las::LasHeader header = Las::readLasHeader(written);
    EXPECT_EQ(header.pointCount, sourceHeader.pointCount);
    EXPECT_EQ(header.pointsByReturn, sourceHeader.pointsByReturn);
    EXPECT_EQ(header.pointRecordLength, sourceHeader.pointRecordLength);
    EXPECT_EQ(header.globalEncoding & 1, sourceHeader.globalEncoding & 1);
    EXPECT_EQ(header.extraAttributes, sourceHeader.extraAttributes);
    EXPECT_EQ(header.systemIdentifier, sourceHeader.systemIdentifier);
    EXPECT_EQ(header.generatingSoftware, sourceHeader.generatingSoftware);

    const std::vector<std::uint8_t> before = readBytes(source);
    const std::vector<std::uint8_t> after = readBytes(written);
    const std::size_t size = sourceHeader.pointCount * sourceHeader.pointRecordLength;
    ASSERT_EQ(after.size(), header.offsetToPointData + size);
    EXPECT_TRUE(
        std::equal(before.begin() + sourceHeader.offsetToPointData,
                   before.begin() + sourceHeader.offsetToPointData + static_cast<std::ptrdiff_t>(size),
                   after.begin() + header.offsetToPointData));

    const auto again = Orvid::Testing::Las::readPoints(written);
    ASSERT_EQ(again.size(), points.size());
    for (std::size_t index = 0; index < points.size(); ++index) {
        expectSamePoint(static_cast<const LasPoint&>(*points[index]), *again[index]);
    }
}

INSTANTIATE_TEST_SUITE_P(SharedData, LasSampleRoundTrip,
                         testing::Values("1.0_1.las", "1.2_2.las", "1.2-with-color.las", "mvk-thin.las",
                                         "test1_4.las", "autzen-bmx-2010.las", "extrabytes.las",
                                         "5points_14.las", "gps-time-nan.las",
                                         "synthetic_eb_all_types_pf8.las"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

struct RoundTripCase {
    std::uint8_t minor;
    std::uint8_t format;
    /// 0 to 10; 11 for none.
    std::uint8_t attributeType;
};

std::string nameOf(const testing::TestParamInfo<RoundTripCase>& info) {
    static const char* const TYPES[] = {"Undocumented", "UInt8",  "Int8",  "UInt16", "Int16",  "UInt32",
                                        "Int32",        "UInt64", "Int64", "Float",  "Double", "NoExtra"};
    return "Las1_" + std::to_string(info.param.minor) + "_Format" + std::to_string(info.param.format) + "_" +
           TYPES[info.param.attributeType];
}

std::vector<RoundTripCase> allCases() {
    std::vector<RoundTripCase> cases;
    for (const std::uint8_t minor : {2, 3, 4}) {
        const std::uint8_t formats = minor == 2 ? 4 : (minor == 3 ? 6 : 11);
        for (std::uint8_t format = 0; format < formats; ++format) {
            for (std::uint8_t type = 0; type <= 11; ++type) {
                cases.push_back({minor, format, type});
            }
        }
    }
    return cases;
}

template <typename T>
T fromBits(std::uint64_t bits) {
    // Floating values stay finite and away from NaN, whose equality the comparisons would not see.
    return std::is_floating_point_v<T>
               ? static_cast<T>(static_cast<std::int64_t>(bits >> 20) - (1LL << 43)) / 64
               : static_cast<T>(bits);
}

template <std::size_t... Index>
Value valueOf(std::size_t alternative, std::uint64_t bits, std::index_sequence<Index...>) {
    Value value;
    ((alternative == Index ? void(value = fromBits<std::variant_alternative_t<Index, Value>>(bits)) : void()),
     ...);
    return value;
}

/// A random value of the alternative that `type` names (an unsigned byte for `None`).
Value randomValueOf(DataType type, std::mt19937_64& random) {
    const std::size_t alternative = type == DataType::None ? 0 : static_cast<std::size_t>(type) - 1;
    return valueOf(alternative, random(), std::make_index_sequence<std::variant_size_v<Value>>());
}

class LasGeneratedRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(LasGeneratedRoundTrip, EveryFieldTheFormatHoldsComesBackBitForBit) {
    const RoundTripCase& param = GetParam();
    const bool extended = param.format >= 6;
    const bool time = param.format != 0 && param.format != 2;
    const bool color = param.format == 2 || param.format == 3 || param.format == 5 || param.format == 7 ||
                       param.format == 8 || param.format == 10;
    const bool nir = param.format == 8 || param.format == 10;
    const bool wave = param.format == 4 || param.format == 5 || param.format == 9 || param.format == 10;
    std::mt19937_64 random(param.minor * 1000u + param.format * 20u + param.attributeType);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    std::vector<Descriptor> descriptors;
    if (param.attributeType == 0) {
        descriptors.assign(3, Descriptor());
        descriptors[0].name = descriptors[1].name = descriptors[2].name = "padding";
    } else if (param.attributeType <= 10) {
        Descriptor descriptor;
        descriptor.dataType = static_cast<DataType>(param.attributeType);
        descriptor.name = "attribute";
        descriptor.description = "generated";
        descriptor.noData = randomValueOf(descriptor.dataType, random);
        descriptor.max = randomValueOf(descriptor.dataType, random);
        descriptor.scale = 0.25;
        descriptor.offset = -3.5;
        descriptors.push_back(descriptor);
    }

    const Las::Xyz scale{0.001, 0.002, 0.0005};
    const Las::Xyz offset{500000.0, 4000000.0, 100.0};
    std::vector<LasPoint> expected(40);
    for (std::size_t index = 0; index < expected.size(); ++index) {
        LasPoint& point = expected[index];
        point.setX(pick(-2000000000, 2000000000) * scale.x + offset.x);
        point.setY(pick(-2000000000, 2000000000) * scale.y + offset.y);
        point.setZ(pick(-2000000000, 2000000000) * scale.z + offset.z);
        point.setTime(index == 3 ? std::nan("") : std::uniform_real_distribution<double>(0, 6e5)(random));
        point.setRawIntensity(static_cast<std::uint16_t>(pick(0, 65535)));
        point.setReturnNumber(static_cast<std::size_t>(pick(0, extended ? 15 : 7)));
        point.setNbReturns(static_cast<std::size_t>(pick(0, extended ? 15 : 7)));
        point.setClassification(static_cast<std::uint8_t>(pick(0, extended ? 255 : 31)));
        point.setClassificationFlags(
            ClassificationFlags::fromMask(static_cast<std::uint32_t>(pick(0, extended ? 15 : 7))));
        point.setScannerChannel(static_cast<std::uint8_t>(extended ? pick(0, 3) : 0));
        point.setScanDirection(static_cast<std::uint8_t>(pick(0, 1)));
        point.setEdgeOfFlightLine(static_cast<std::uint8_t>(pick(0, 1)));
        point.setUserData(static_cast<std::uint8_t>(pick(0, 255)));
        point.setScanAngleMillidegrees(extended ? pick(-30000, 30000) * 6 : pick(-90, 90) * 1000);
        point.setSourceId(static_cast<std::uint16_t>(pick(0, 65535)));
        point.setColor(color ? ColorRGB(static_cast<std::uint16_t>(pick(0, 65535)),
                                        static_cast<std::uint16_t>(pick(0, 65535)),
                                        static_cast<std::uint16_t>(pick(0, 65535)))
                             : ColorRGB());
        point.setNir(nir ? static_cast<std::uint16_t>(pick(0, 65535)) : 0);
        if (wave) {
            point.setWavePacket(Las::LasWavePacket{static_cast<std::uint8_t>(pick(0, 255)), random(),
                                                   static_cast<std::uint32_t>(random()), 1.5f, -0.25f, 0.5f,
                                                   3e-5f});
        }
        for (const Descriptor& descriptor : descriptors) {
            point.values.push_back(randomValueOf(descriptor.dataType, random));
        }
        point.setSourcePointFormat(param.format);
    }

    TemporaryFolder folder;
    Las::LasWriterOptions options;
    options.versionMinor = param.minor;
    options.pointFormat = param.format;
    options.scaleOffset = Las::LasScaleOffset{scale, offset};
    Las::LasWriter writer(folder.path(), options);
    LegInformation leg(descriptors);
    leg.name = "generated";
    writer.beginLeg(leg);
    for (LasPoint& point : expected) {
        // What a format lacks reads back as zero: write a point carrying more than that.
        LasPoint written(point);
        if (!time) {
            written.setTime(123.0);
            point.setTime(0.0);
        }
        ASSERT_TRUE(writer.write(written));
    }
    writer.endLeg();

    Las::LasReader reader({folder / "generated.las"});
    EXPECT_EQ(reader.header(0).versionMinor, param.minor);
    EXPECT_EQ(reader.header(0).pointFormat, param.format);
    EXPECT_EQ(reader.nextLeg().attributes, descriptors);
    for (const LasPoint& point : expected) {
        ASSERT_TRUE(reader.hasMorePoints());
        const auto actual = reader.nextPoint();
        expectSamePoint(point, static_cast<const LasPoint&>(*actual));
    }
    EXPECT_FALSE(reader.hasMorePoints());
}

INSTANTIATE_TEST_SUITE_P(VersionFormatAttribute, LasGeneratedRoundTrip, testing::ValuesIn(allCases()),
                         nameOf);

} // namespace
