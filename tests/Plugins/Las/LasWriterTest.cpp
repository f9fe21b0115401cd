#include "LasTestSupport.h"
#include "MemoryPoint.h"

#include <Core/IOException.h>
#include <Core/ReturnStatusError.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <tuple>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::LasHeader;
using Las::LasPoint;
using Las::LasWriter;
using Las::LasWriterOptions;
using Orvid::Testing::MemoryPoint;

LegInformation legNamed(const std::string& name) {
    LegInformation leg;
    leg.name = name;
    return leg;
}

LasWriterOptions fixedOptions(std::uint8_t minor = 4, std::optional<std::uint8_t> format = std::nullopt) {
    LasWriterOptions options;
    options.versionMinor = minor;
    options.pointFormat = format;
    options.scaleOffset = Las::LasScaleOffset{{0.01, 0.01, 0.01}, {1000.0, 2000.0, 0.0}};
    return options;
}

LasPoint pointAt(double x, double y, double z, std::size_t returnNumber = 1) {
    LasPoint point;
    point.setX(x);
    point.setY(y);
    point.setZ(z);
    point.setReturnNumber(returnNumber);
    point.setNbReturns(2);
    return point;
}

class LasWriterTest : public testing::Test {
protected:
    /// Writes `points` as `leg` with `options` and returns the header of the file written.
    template <typename... Points>
    LasHeader writeLeg(const LegInformation& leg, const LasWriterOptions& options, const Points&... points) {
        LasWriter writer(mFolder.path, options);
        writer.beginLeg(leg);
        for (const InputOutputPoint* point : {static_cast<const InputOutputPoint*>(&points)...}) {
            EXPECT_TRUE(writer.write(*point));
        }
        writer.endLeg();
        return Las::readLasHeader(mFolder / (leg.name + ".las"));
    }

    TemporaryFolder mFolder;
};

TEST_F(LasWriterTest, FileAppearsUnderItsFinalNameOnlyWhenTheLegEnds) {
    LasWriter writer(mFolder / "out", fixedOptions());
    writer.beginLeg(legNamed("L1"));
    ASSERT_TRUE(writer.write(pointAt(1000.5, 2000.25, 3.0)));
    EXPECT_TRUE(std::filesystem::exists(mFolder / "out" / "L1.las.partial"));
    EXPECT_FALSE(std::filesystem::exists(mFolder / "out" / "L1.las"));
    writer.endLeg();
    EXPECT_FALSE(std::filesystem::exists(mFolder / "out" / "L1.las.partial"));
    EXPECT_EQ(writer.writtenFiles(), std::vector<std::filesystem::path>{mFolder / "out" / "L1.las"});
    {
        LasWriter abandoned(mFolder / "out", fixedOptions());
        abandoned.beginLeg(legNamed("dropped"));
    }
    EXPECT_FALSE(std::filesystem::exists(mFolder / "out" / "dropped.las.partial"));
}

TEST_F(LasWriterTest, DiskFullFailsTheWriteTheInsertionAndTheLegWithoutAFinalFile) {
    // The partial file is a link to a device that is always full.
    std::filesystem::create_symlink("/dev/full", mFolder / "full.las.partial");
    LasWriter writer(mFolder.path, fixedOptions(4, 6));
    writer.beginLeg(legNamed("full"));
    const LasPoint point = pointAt(1000, 2000, 0);
    Orvid::Utils::ErrorManagement::ReturnStatus status;
    for (std::size_t written = 0; written < 1000000 && (status = writer.write(point)); ++written) {
    }
    ASSERT_FALSE(status);
    EXPECT_EQ(status.message(),
              (mFolder / "full.las.partial").string() + ": write failed (No space left on device)");
    EXPECT_EQ(writer.write(point).message(), status.message());
    EXPECT_THROW(writer << point, Orvid::Core::ReturnStatusError);
    EXPECT_THROW(writer.endLeg(), Orvid::Core::IOException);
    EXPECT_FALSE(std::filesystem::exists(mFolder / "full.las"));
    EXPECT_TRUE(writer.writtenFiles().empty());
}

TEST_F(LasWriterTest, EndLegCompletesCountsByReturnAndBounds) {
    for (const auto& [minor, format] : {std::pair<std::uint8_t, std::uint8_t>{2, 1}, {4, 1}, {4, 6}}) {
        const std::string name = "counts" + std::to_string(minor) + std::to_string(format);
        const LasHeader header =
            writeLeg(legNamed(name), fixedOptions(minor, format), pointAt(1010, 1990, -5, 1),
                     pointAt(990, 2010, 7.5, 2), pointAt(1000, 2000, 0, 1));
        EXPECT_EQ(header.headerSize, minor == 4 ? 375 : 227);
        EXPECT_EQ(std::make_tuple(header.pointCount, header.pointsByReturn[0], header.pointsByReturn[1]),
                  std::make_tuple(3U, 2U, 1U));
        EXPECT_EQ(std::make_tuple(header.min.x, header.min.y, header.min.z, header.max.x, header.max.y,
                                  header.max.z),
                  std::make_tuple(990.0, 1990.0, -5.0, 1010.0, 2010.0, 7.5));
        // The legacy count is filled, but left zero by LAS 1.4 formats 6 to 10; without a WKT record
        // to carry, no format declares WKT.
        const std::vector<std::uint8_t> bytes = readBytes(mFolder / (name + ".las"));
        EXPECT_EQ(bytes[107], format == 6 ? 0 : 3);
        EXPECT_EQ(bytes[6] & 0x10, 0);
    }
}

TEST_F(LasWriterTest, PicksTheFormatFromTheFirstPointUnlessTold) {
    const auto formatOf = [this](std::uint8_t minor, const InputOutputPoint& point) {
        return writeLeg(legNamed("pick"), fixedOptions(minor), point).pointFormat;
    };
    LasPoint fromFormat3 = pointAt(1000, 2000, 0);
    fromFormat3.setSourcePointFormat(3);
    LasPoint fromFormat8 = fromFormat3;
    fromFormat8.setSourcePointFormat(8);
    MemoryPoint black;
    black.x = 1000;
    black.y = 2000;
    MemoryPoint coloured = black;
    coloured.color = {1, 2, 3};
    EXPECT_EQ(formatOf(4, fromFormat3), 7);
    EXPECT_EQ(formatOf(4, fromFormat8), 8);
    EXPECT_EQ(formatOf(4, coloured), 7);
    EXPECT_EQ(formatOf(4, black), 6);
    EXPECT_EQ(formatOf(2, fromFormat3), 3);
    EXPECT_EQ(formatOf(2, black), 1);
}

TEST_F(LasWriterTest, CarriedFieldsGiveScaleOffsetAndTheSignOfZeroElseOffsetNearTheFirstPoint) {
    Las::LasReader reader({sampleFile("mvk-thin.las")});
    const LegInformation leg = reader.nextLeg();
    LasWriterOptions options;
    options.versionMinor = 2;
    options.carried = Las::carriedFieldsOf(reader.header(0));
    const LasHeader header = writeLeg(leg, options, *reader.nextPoint());
    EXPECT_EQ(std::make_tuple(header.scale.x, header.offset.x), std::make_tuple(0.01, 0.0));
    EXPECT_TRUE(std::signbit(header.offset.x));
    ASSERT_EQ(header.vlrs.size(), 3U); // the three GeoTIFF records, not the vendor's two

    // Without carried fields the source is not consulted, though the leg names it.
    const LasHeader uncarried = writeLeg(leg, LasWriterOptions(), pointAt(470692.44, 4602888.9, 16));
    EXPECT_EQ(std::make_tuple(uncarried.offset.x, uncarried.offset.y, uncarried.offset.z, uncarried.scale.z,
                              uncarried.vlrs.size()),
              std::make_tuple(471000.0, 4603000.0, 0.0, 0.001, std::size_t{0}));
    EXPECT_DOUBLE_EQ(readPoints(mFolder / (leg.name + ".las"))[0]->getY(), 4602888.9);
}

TEST_F(LasWriterTest, WritesTheSameBytesWhetherOrNotTheSourceStillExists) {
    const std::filesystem::path source = mFolder / "source.las";
    std::filesystem::copy_file(sampleFile("mvk-thin.las"), source);
    Las::LasReader reader({source});
    const LegInformation leg = reader.nextLeg();
    const Las::LasCarriedFields carried = Las::carriedFieldsOf(reader.header(0));
    const auto first = reader.nextPoint();
    const auto writeInto = [&](const std::filesystem::path& folder) {
        LasWriter writer(folder, LasWriterOptions());
        writer.beginLeg(leg, carried);
        writer << *first;
        writer.endLeg();
        std::vector<std::uint8_t> bytes = readBytes(folder / "source.las");
        std::fill_n(bytes.begin() + 90, 4, std::uint8_t{0}); // the creation date
        return bytes;
    };
    const std::vector<std::uint8_t> withSource = writeInto(mFolder / "with");
    std::filesystem::remove(source);
    EXPECT_EQ(writeInto(mFolder / "without"), withSource);
}

// A LAS 1.0 or 1.2 sample with GeoTIFF keys, written as LAS 1.2 with its carried fields.
class LasGeoTiffSample : public testing::TestWithParam<const char*> {};

TEST_P(LasGeoTiffSample, KeepsVersionFormatScaleOffsetAndCoordinateSystemRecords) {
    const TemporaryFolder folder;
    Las::LasReader reader({sampleFile(GetParam())});
    const LasHeader source = reader.header(0);
    LasWriterOptions options;
    options.versionMinor = 2;
    LasWriter writer(folder.path, options);
    const LegInformation leg = reader.nextLeg();
    writer.beginLeg(leg, Las::carriedFieldsOf(source));
    while (reader.hasMorePoints()) {
        writer << *reader.nextPoint();
    }
    writer.endLeg();

    const LasHeader written = Las::readLasHeader(folder / (leg.name + ".las"));
    const auto kept = [](const LasHeader& h) {
        return std::make_tuple(h.pointFormat, h.scale.x, h.scale.y, h.scale.z, h.offset.x, h.offset.y,
                               h.offset.z, h.fileSourceId, h.globalEncoding, h.projectId);
    };
    EXPECT_EQ(written.versionMinor, 2);
    EXPECT_EQ(kept(written), kept(source));
    std::vector<std::tuple<std::string, std::uint16_t, std::string, std::vector<std::uint8_t>>> expected;
    for (const Las::LasVlr& vlr : source.vlrs) {
        if (vlr.userId == "LASF_Projection") {
            expected.emplace_back(vlr.userId, vlr.recordId, vlr.description, vlr.payload);
        }
    }
    ASSERT_FALSE(expected.empty());
    std::vector<std::tuple<std::string, std::uint16_t, std::string, std::vector<std::uint8_t>>> actual;
    for (const Las::LasVlr& vlr : written.vlrs) {
        actual.emplace_back(vlr.userId, vlr.recordId, vlr.description, vlr.payload);
    }
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(SharedData, LasGeoTiffSample,
                         testing::Values("mvk-thin.las", "1.2_2.las", "1.0_1.las"),
                         [](const testing::TestParamInfo<const char*>& param) {
                             std::string name = std::filesystem::path(param.param).stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST_F(LasWriterTest, PointsThatDoNotFitAreRefusedWithTheReasonAndTheLegGoesOn) {
    LasWriter writer(mFolder.path, fixedOptions(2, 1));
    Attribute::Descriptor descriptor;
    descriptor.dataType = Attribute::DataType::UInt16;
    descriptor.name = "amplitude";
    LegInformation leg({descriptor});
    leg.name = "refused";
    writer.beginLeg(leg);
    LasPoint point = pointAt(1000, 2000, 0);
    point.values = {Attribute::Value{std::uint16_t{7}}};
    const auto refusal = [&writer, &point](auto change) {
        LasPoint changed = point;
        change(changed);
        return writer.write(changed).message();
    };
    const std::string prefix = (mFolder / "refused.las").string() + ": point 0: ";
    EXPECT_EQ(refusal([](LasPoint& p) { p.setX(1e12); }),
              prefix + "coordinates (1000000000000, 2000, 0) do not fit 32-bit integers with the scale and "
                       "offset of the file");
    EXPECT_EQ(refusal([](LasPoint& p) { p.setReturnNumber(9), p.setNbReturns(9); }),
              prefix + "return number 9 of 9 does not fit point format 1 (at most 7)");
    EXPECT_EQ(refusal([](LasPoint& p) { p.setClassification(40); }),
              prefix + "class 40 does not fit point format 1 (at most 31)");
    EXPECT_EQ(refusal([](LasPoint& p) { p.setClassificationFlags({ClassificationFlag::Overlap}); }),
              prefix + "the overlap flag does not fit point format 1");
    EXPECT_EQ(refusal([](LasPoint& p) { p.values = {Attribute::Value{7.0f}}; }),
              prefix + "extra value 0 ('amplitude') is not of type uint16");
    EXPECT_EQ(refusal([](LasPoint& p) { p.values.clear(); }),
              prefix + "the point has 0 extra values, the leg describes 1");
    EXPECT_TRUE(writer.write(point));
    writer.endLeg();
    EXPECT_EQ(Las::readLasHeader(mFolder / "refused.las").pointCount, 1U);
}

TEST_F(LasWriterTest, MisuseIsRefusedWithAClearMessage) {
    EXPECT_THROW(LasWriter(mFolder.path, fixedOptions(5)), std::invalid_argument);
    EXPECT_THROW(LasWriter(mFolder.path, fixedOptions(2, 6)), std::invalid_argument);
    LasWriterOptions badScale = fixedOptions();
    badScale.scaleOffset->scale.y = -1.0;
    EXPECT_THROW(LasWriter(mFolder.path, badScale), std::invalid_argument);
    Las::LasCarriedFields badOffset;
    badOffset.scaleOffset.offset.z = std::nan("");
    LasWriterOptions carryingBadOffset;
    carryingBadOffset.carried = badOffset;
    EXPECT_THROW(LasWriter(mFolder.path, carryingBadOffset), std::invalid_argument);

    LasWriter writer(mFolder.path, fixedOptions());
    EXPECT_EQ(writer.write(pointAt(0, 0, 0)).message(),
              "LAS writer: no leg is open (write before beginLeg or after endLeg)");
    EXPECT_THROW(writer.endLeg(), Orvid::Core::IOException);
    Attribute::Descriptor longName;
    longName.dataType = Attribute::DataType::Float;
    longName.name = std::string(33, 'n');
    EXPECT_EQ(ioErrorOf([&writer, &longName] { writer.beginLeg(LegInformation({longName})); }),
              (mFolder / "leg0.las").string() + ": attribute '" + longName.name +
                  "' has a name longer than 32 bytes");
    EXPECT_THROW(writer.beginLeg(legNamed("c"), badOffset), std::invalid_argument);
    writer.beginLeg(legNamed("a/b"));
    EXPECT_THROW(writer.beginLeg(legNamed("second")), Orvid::Core::IOException);
    writer.endLeg();
    EXPECT_TRUE(std::filesystem::exists(mFolder / "a_b.las"));
}

} // namespace
