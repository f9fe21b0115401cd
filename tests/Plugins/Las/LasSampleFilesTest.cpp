#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::LasHeader;
using Las::LasPoint;
using Las::Xyz;

constexpr double NO_TIME = std::numeric_limits<double>::quiet_NaN();

struct SampleFacts {
    const char* file;
    std::uint8_t minor, format;
    std::uint16_t recordLength;
    std::uint32_t offsetToPointData;
    std::uint64_t count;
    std::vector<std::uint64_t> byReturn;
    Xyz scale, offset, min, max;
    std::uint16_t globalEncoding;
    bool blankSystemIdentifier;
    std::size_t vlrs, extraAttributes;
    double firstTime, lastTime;
};

std::ostream& operator<<(std::ostream& stream, const SampleFacts& facts) {
    return stream << facts.file;
}

// The facts of the sample files (tests/data/README.md): file, minor version, format, record length, offset to
// the points, count, by return, scale, offset, min, max, global encoding, blank system id, VLRs, extra
// attributes, first and last GPS time.
// clang-format off
const SampleFacts SAMPLES[] = {
    {"1.0_1.las", 0, 1, 28, 1007, 1, {0, 1}, {0.01, 0.01, 0.01}, {}, {470692.44, 4602888.90, 16.00},
     {470692.44, 4602888.90, 16.00}, 0, false, 3, 0, 1205902800.0, 1205902800.0},
    {"1.2_2.las", 2, 2, 26, 1005, 1, {0, 1}, {0.01, 0.01, 0.01}, {}, {470692.44, 4602888.90, 16.00},
     {470692.44, 4602888.90, 16.00}, 0, false, 3, 0, NO_TIME, NO_TIME},
    {"1.2-with-color.las", 2, 3, 34, 229, 1065, {925, 114, 21, 5}, {0.01, 0.01, 0.01}, {-0.0, -0.0, -0.0},
     {635619.85, 848899.70, 406.59}, {638982.55, 853535.43, 586.38}, 0, true, 0, 0, 245370.417065, 249783.162158},
    {"mvk-thin.las", 2, 1, 28, 3314, 6280, {4806, 1238, 230, 6}, {0.01, 0.01, 0.01}, {-0.0, -0.0, -0.0},
     {2045001.76, 1267501.19, 95.79}, {2049993.92, 1272499.79, 228.73}, 0, false, 5, 0, 338834.499247, 340756.309420},
    {"test1_4.las", 4, 6, 30, 2305, 1000, {974, 23, 2, 1}, {0.00000116451354, 0.000001164510015, 0.000001003143236},
     {1692500.351999999955297, 1817499.595999999903142, 7350.194652999999562},
     {1694038.445637697121128, 1816492.70627042837441, 5592.749917174096481},
     {1694539.677014891291037, 1816497.976262832526118, 5599.069686454538896}, 17, true, 2, 0, 83177420.534005,
     83177420.601045},
    {"autzen-bmx-2010.las", 4, 7, 36, 1270, 829, {725, 80, 23, 1}, {0.01, 0.01, 0.01}, {194000, 259000, -0.0},
     {194472.82, 259222.19, 422.93}, {194506.92, 259264.09, 434.51}, 16, true, 1, 0, 246493.478149, 247190.890258},
    {"extrabytes.las", 4, 3, 61, 1389, 1065, {925, 114, 21, 5}, {0.01, 0.01, 0.01}, {},
     {635619.85, 848899.70, 406.59}, {638982.55, 853535.43, 586.38}, 0, false, 1, 14, 245370.417065, 249783.162158},
    {"5points_14.las", 4, 6, 33, 921, 5, {1, 2, 0, 0, 0, 0, 0, 1, 1}, {0.01, 0.01, 0.01}, {600000, 4800000, 0},
     {630498.56, 4834748.73, 61.33}, {630499.95, 4834749.66, 63.68}, 17, false, 3, 2, 53413162.5604, 53413162.5802},
    {"gps-time-nan.las", 2, 1, 28, 227, 1, {}, {0.001, 0.001, 0.001}, {}, {}, {}, 0, false, 0, 0, NO_TIME, NO_TIME},
    {"synthetic_eb_all_types_pf8.las", 4, 8, 80, 3001, 84, {40, 27, 17}, {0.001, 0.001, 0.001}, {500000, 4000000, 0},
     {500100.050, 4000100.001, 120.038}, {500128.577, 4000103.669, 129.392}, 17, false, 2, 10, 300000000.0005,
     300000000.020001},
};
// clang-format on

void expectXyz(const Xyz& expected, const Xyz& actual) {
    EXPECT_DOUBLE_EQ(expected.x, actual.x);
    EXPECT_DOUBLE_EQ(expected.y, actual.y);
    EXPECT_DOUBLE_EQ(expected.z, actual.z);
}

class LasSampleFile : public testing::TestWithParam<SampleFacts> {};

TEST_P(LasSampleFile, HeaderAndPointsMatchTheKnownFacts) {
    const SampleFacts& facts = GetParam();
    Las::LasReader reader({sampleFile(facts.file)});
    const LasHeader header = reader.header(0);
    EXPECT_EQ(std::make_tuple(header.versionMinor, header.pointFormat, header.pointRecordLength,
                              header.offsetToPointData, header.pointCount, header.globalEncoding,
                              header.systemIdentifier.empty(), header.vlrs.size(),
                              header.extraAttributes.size()),
              std::make_tuple(facts.minor, facts.format, facts.recordLength, facts.offsetToPointData,
                              facts.count, facts.globalEncoding, facts.blankSystemIdentifier, facts.vlrs,
                              facts.extraAttributes));
    std::vector<std::uint64_t> byReturn = facts.byReturn;
    byReturn.resize(15);
    EXPECT_EQ(std::vector<std::uint64_t>(header.pointsByReturn.begin(), header.pointsByReturn.end()),
              byReturn);
    expectXyz(facts.scale, header.scale);
    expectXyz(facts.offset, header.offset);
    EXPECT_EQ(std::signbit(header.offset.x), std::signbit(facts.offset.x));
    expectXyz(facts.min, header.min);
    expectXyz(facts.max, header.max);
    EXPECT_EQ(reader.numberOfPoints(), facts.count);
    EXPECT_EQ(header.warnings, std::vector<std::string>{});

    const LegInformation leg = reader.nextLeg();
    EXPECT_EQ(leg.name, std::filesystem::path(facts.file).stem().string());
    EXPECT_EQ(leg.number, 0U);
    EXPECT_EQ(leg.lidarId,
              facts.blankSystemIdentifier ? LegInformation::DEFAULT_LIDAR_ID : header.systemIdentifier);
    EXPECT_EQ(leg.softwareId, header.generatingSoftware);
    EXPECT_EQ(leg.attributes, header.extraAttributes);
    EXPECT_EQ(reader.numberOfPointsInLeg(), facts.count);

    std::vector<std::uint64_t> counted(15);
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    while (reader.hasMorePoints()) {
        const auto point = reader.nextPoint();
        if (point->getReturnNumber() >= 1) {
            ++counted[point->getReturnNumber() - 1];
        }
        first = std::min(first, point->getTime());
        last = std::max(last, point->getTime());
    }
    EXPECT_EQ(counted, byReturn);
    if (!std::isnan(facts.firstTime)) {
        EXPECT_NEAR(first, facts.firstTime, 1e-6);
        EXPECT_NEAR(last, facts.lastTime, 1e-6);
    }
}

TEST_P(LasSampleFile, ReadingWritingAndReadingAgainKeepsEveryField) {
    expectRoundTrip(sampleFile(GetParam().file), std::max<std::uint8_t>(GetParam().minor, 2));
}

INSTANTIATE_TEST_SUITE_P(SharedData, LasSampleFile, testing::ValuesIn(SAMPLES));

// How many points of a sample file give each value of `value(point)`.
template <typename Value>
std::map<double, int> histogram(const std::string& file, Value value) {
    std::map<double, int> counts;
    for (const auto& point : readPoints(sampleFile(file))) {
        ++counts[static_cast<double>(value(*point))];
    }
    return counts;
}

std::pair<double, double> rangeOf(const std::map<double, int>& counts) {
    return {counts.begin()->first, counts.rbegin()->first};
}

template <typename T>
auto extra(std::size_t index) {
    return [index](const LasPoint& point) { return std::get<T>(point.values[index]); };
}

double classOf(const LasPoint& point) {
    return point.getClassification();
}

double redOf(const LasPoint& point) {
    return point.getColor().red;
}

double overlapOf(const LasPoint& point) {
    return point.getClassificationFlags().has(ClassificationFlag::Overlap) ? 1.0 : 0.0;
}

TEST(LasSampleValues, TimesReturnsClassesColoursFlagsChannelsAndScanAngles) {
    const auto rgbOnly = readPoints(sampleFile("1.2_2.las"));
    const auto nan = readPoints(sampleFile("gps-time-nan.las"));
    ASSERT_EQ(rgbOnly.size() + nan.size(), 2U);
    EXPECT_EQ(rgbOnly[0]->getColor(), ColorRGB(255, 12, 234));
    EXPECT_EQ(std::make_tuple(rgbOnly[0]->getReturnNumber(), rgbOnly[0]->getNbReturns()),
              std::make_tuple(2U, 0U));
    EXPECT_TRUE(std::isnan(nan[0]->getTime()));
    EXPECT_EQ(nan[0]->getReturnNumber(), 0U);

    const auto mvk = histogram("mvk-thin.las", classOf);
    EXPECT_EQ(mvk.size(), 6U);
    EXPECT_EQ(mvk.at(12), 3702);
    EXPECT_EQ(histogram("1.2-with-color.las", classOf), (std::map<double, int>{{1, 789}, {2, 276}}));
    EXPECT_EQ(rangeOf(histogram("1.2-with-color.las", redOf)), std::make_pair(39.0, 249.0));

    EXPECT_EQ(histogram("test1_4.las", overlapOf), (std::map<double, int>{{1, 1000}}));
    const auto angles = rangeOf(histogram("test1_4.las", [](const LasPoint& p) { return p.getScanAngle(); }));
    EXPECT_DOUBLE_EQ(angles.first, 11.022);
    EXPECT_DOUBLE_EQ(angles.second, 19.038);
    EXPECT_EQ(histogram("autzen-bmx-2010.las", [](const LasPoint& p) { return p.getTime(); }).size(), 357U);
    EXPECT_EQ(rangeOf(histogram("autzen-bmx-2010.las", redOf)), std::make_pair(9728.0, 55552.0));

    const auto ninth = histogram("5points_14.las", [](const LasPoint& point) {
        return point.getNbReturns() == 9 ? point.getReturnNumber() : 0;
    });
    EXPECT_EQ(ninth.count(8) + ninth.count(9), 2U);
    const auto classes = histogram("5points_14.las", classOf);
    EXPECT_EQ(classes.count(41) + classes.count(42), 2U);
    EXPECT_EQ(histogram("5points_14.las", overlapOf), (std::map<double, int>{{0, 4}, {1, 1}}));
    EXPECT_EQ(histogram("5points_14.las", [](const LasPoint& p) { return p.getScannerChannel(); }),
              (std::map<double, int>{{1, 5}}));
}

Attribute::Descriptor describe(Attribute::DataType type, const std::string& name,
                               const std::string& description) {
    Attribute::Descriptor descriptor;
    descriptor.dataType = type;
    descriptor.name = name;
    descriptor.description = description;
    return descriptor;
}

TEST(LasSampleValues, DeprecatedArraysAndUntypedExtraBytesBecomeSingleDescriptors) {
    using Attribute::DataType;
    std::vector<Attribute::Descriptor> expected;
    for (const char* color : {"Colors[0]", "Colors[1]", "Colors[2]"}) {
        expected.push_back(describe(DataType::UInt16, color, "Colors"));
    }
    expected.insert(expected.end(), 7, describe(DataType::None, "Reserved", "Reserved"));
    expected.push_back(describe(DataType::Int8, "Flags[0]", "Flags"));
    expected.push_back(describe(DataType::Int8, "Flags[1]", "Flags"));
    expected.push_back(describe(DataType::UInt32, "Intensity", "Brightness"));
    expected.push_back(describe(DataType::UInt64, "Time", "Time"));
    EXPECT_EQ(Las::readLasHeader(sampleFile("extrabytes.las")).extraAttributes, expected);

    EXPECT_EQ(rangeOf(histogram("extrabytes.las", extra<std::uint16_t>(0))), std::make_pair(39.0, 249.0));
    EXPECT_EQ(histogram("extrabytes.las", extra<std::uint8_t>(3)), (std::map<double, int>{{0, 1065}}));
    EXPECT_EQ(rangeOf(histogram("extrabytes.las", extra<std::int8_t>(10))), std::make_pair(1.0, 4.0));
    EXPECT_EQ(rangeOf(histogram("extrabytes.las", extra<std::uint32_t>(12))).second, 254.0);
    EXPECT_EQ(rangeOf(histogram("extrabytes.las", extra<std::uint64_t>(13))),
              std::make_pair(245370.0, 249783.0));
}

TEST(LasSampleValues, ScaledExtraBytesAndReservedVlrFieldsOfFivePoints) {
    const LasHeader header = Las::readLasHeader(sampleFile("5points_14.las"));
    EXPECT_EQ(header.fileSourceId, 4711);
    ASSERT_EQ(header.vlrs.size(), 3U);
    EXPECT_TRUE(header.vlrs[1].payload.empty());
    EXPECT_EQ(header.vlrs[2].userId, "funny");
    Attribute::Descriptor height =
        describe(Attribute::DataType::Int16, "height above ground", "quantized to 5 cm above 1' SRTM");
    height.scale = 0.05;
    height.offset = 0.0;
    ASSERT_EQ(header.extraAttributes.size(), 2U);
    EXPECT_EQ(header.extraAttributes[0], height);
    EXPECT_EQ(header.extraAttributes[1].dataType, Attribute::DataType::UInt8);
    EXPECT_EQ(header.extraAttributes[1].name, "coverage count");
    const auto metres = rangeOf(histogram("5points_14.las", extra<std::int16_t>(0)));
    EXPECT_DOUBLE_EQ(metres.first * 0.05, 8.65);
    EXPECT_DOUBLE_EQ(metres.second * 0.05, 23.5);
    EXPECT_EQ(rangeOf(histogram("5points_14.las", extra<std::uint8_t>(1))), std::make_pair(0.0, 6.0));
}

TEST(LasSampleValues, EveryExtraBytesTypeOfTheSyntheticFormatEightFile) {
    const std::string file = "synthetic_eb_all_types_pf8.las";
    const LasHeader header = Las::readLasHeader(sampleFile(file));
    EXPECT_EQ(std::make_tuple(header.systemIdentifier, header.generatingSoftware, header.creationDayOfYear,
                              header.creationYear),
              std::make_tuple("SYNTHETIC EB TEST", "gen_eb14.py", 15, 2024));
    ASSERT_EQ(header.extraAttributes.size(), 10U);
    for (std::size_t index = 0; index < 10; ++index) {
        EXPECT_EQ(static_cast<std::size_t>(header.extraAttributes[index].dataType), index + 1);
    }
    const Attribute::Descriptor& u16 = header.extraAttributes[2];
    EXPECT_EQ(u16.options().to_ulong(), 1U);
    EXPECT_EQ(u16.noData, Attribute::Value{std::uint16_t{65535}});
    EXPECT_EQ(header.extraAttributes[3].scale, 0.01);
    EXPECT_EQ(header.extraAttributes[3].offset, 100.0);
    EXPECT_EQ(header.extraAttributes[5].options().to_ulong(), 8U);
    EXPECT_EQ(header.extraAttributes[5].scale, 0.001);

    EXPECT_EQ(std::get<std::uint64_t>(readPoints(sampleFile(file))[0]->values[6]), 9223372036854788153ULL);
    EXPECT_EQ(histogram(file, extra<std::uint16_t>(2)).at(65535), 2);
    const auto classes = histogram(file, classOf);
    EXPECT_EQ(classes.count(40) + classes.count(41), 2U);
    EXPECT_EQ(histogram(file, [](const LasPoint& p) { return p.getScannerChannel(); }).size(), 4U);
}

} // namespace
