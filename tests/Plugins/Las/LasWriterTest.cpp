#include "LasTestSupport.h"
#include "MemoryPoint.h"

#include <Core/IOException.h>
#include <Core/ReturnStatusError.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace {

using namespace Orvid::FileIoInterface;
using Las::LasPoint;
using Las::LasWriter;
using Las::LasWriterOptions;
using Orvid::Testing::MemoryPoint;
using Orvid::Testing::Las::readBytes;
using Orvid::Testing::Las::sampleFile;
using Orvid::Testing::Las::TemporaryFolder;

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

    writer.beginLeg(legNamed("unfinished"));
    ASSERT_TRUE(writer.write(pointAt(1000.5, 2000.25, 3.0)));
    {
        LasWriter abandoned(mFolder / "out", fixedOptions());
        abandoned.beginLeg(legNamed("dropped"));
    }
    EXPECT_FALSE(std::filesystem::exists(mFolder / "out" / "dropped.las.partial"));
}

TEST_F(LasWriterTest, EndLegCompletesCountsByReturnAndBounds) {
    for (const std::uint8_t minor : {2, 4}) {
        LasWriter writer(mFolder.path(), fixedOptions(minor, 1));
        writer.beginLeg(legNamed("counts" + std::to_string(minor)));
        ASSERT_TRUE(writer.write(pointAt(1010.0, 1990.0, -5.0, 1)));
        ASSERT_TRUE(writer.write(pointAt(990.0, 2010.0, 7.5, 2)));
        ASSERT_TRUE(writer.write(pointAt(1000.0, 2000.0, 0.0, 1)));
        writer.endLeg();
        const std::filesystem::path path = mFolder / ("counts" + std::to_string(minor) + ".las");
        const Las::LasHeader header = Las::readLasHeader(path);
        EXPECT_EQ(header.versionMinor, minor);
        EXPECT_EQ(header.headerSize, minor == 4 ? 375 : 227);
        EXPECT_EQ(header.pointCount, 3U);
        EXPECT_EQ(header.pointsByReturn[0], 2U);
        EXPECT_EQ(header.pointsByReturn[1], 1U);
        EXPECT_DOUBLE_EQ(header.min.x, 990.0);
        EXPECT_DOUBLE_EQ(header.max.y, 2010.0);
        EXPECT_DOUBLE_EQ(header.min.z, -5.0);
        EXPECT_DOUBLE_EQ(header.max.z, 7.5);
        EXPECT_EQ(readBytes(path)[107], 3); // legacy count, filled for format 1 in both versions
    }
    LasWriter extended(mFolder.path(), fixedOptions(4, 6));
    extended.beginLeg(legNamed("extended"));
    ASSERT_TRUE(extended.write(pointAt(1000.0, 2000.0, 0.0, 1)));
    extended.endLeg();
    const std::vector<std::uint8_t> bytes = readBytes(mFolder / "extended.las");
    EXPECT_EQ(bytes[107], 0); // LAS 1.4 formats 6 to 10 leave the legacy count zero
    EXPECT_EQ(bytes[247], 1);
    EXPECT_EQ(bytes[6] & 0x10, 0x10); // and declare WKT
}

TEST_F(LasWriterTest, PicksTheFormatFromTheFirstPointUnlessTold) {
    const auto formatWritten = [this](LasWriterOptions options, const InputOutputPoint& point) {
        options.pointFormat.reset();
        LasWriter writer(mFolder.path(), options);
        writer.beginLeg(legNamed("pick"));
        EXPECT_TRUE(writer.write(point));
        writer.endLeg();
        return Las::readLasHeader(mFolder / "pick.las").pointFormat;
    };
    LasPoint fromFormat3 = pointAt(1000, 2000, 0);
    fromFormat3.setSourcePointFormat(3);
    LasPoint fromFormat8 = fromFormat3;
    fromFormat8.setSourcePointFormat(8);
    MemoryPoint coloured;
    coloured.x = 1000;
    coloured.y = 2000;
    coloured.color = {1, 2, 3};
    const MemoryPoint black = [&coloured] {
        MemoryPoint copy = coloured;
        copy.color = ColorRGB();
        return copy;
    }();
    EXPECT_EQ(formatWritten(fixedOptions(4), fromFormat3), 7);
    EXPECT_EQ(formatWritten(fixedOptions(4), fromFormat8), 8);
    EXPECT_EQ(formatWritten(fixedOptions(4), coloured), 7);
    EXPECT_EQ(formatWritten(fixedOptions(4), black), 6);
    EXPECT_EQ(formatWritten(fixedOptions(2), fromFormat3), 3);
    EXPECT_EQ(formatWritten(fixedOptions(2), black), 1);
}

TEST_F(LasWriterTest, TakesScaleOffsetAndCoordinateSystemFromTheLegsSourceFile) {
    Las::LasReader reader({sampleFile("mvk-thin.las")});
    const LegInformation leg = reader.nextLeg();
    const auto point = reader.nextPoint();
    LasWriterOptions options;
    options.versionMinor = 2;
    LasWriter writer(mFolder.path(), options);
    writer.beginLeg(leg);
    ASSERT_TRUE(writer.write(*point));
    writer.endLeg();
    const Las::LasHeader header = Las::readLasHeader(mFolder / "mvk-thin.las");
    EXPECT_EQ(header.pointFormat, 1);
    EXPECT_EQ(header.scale.x, 0.01);
    EXPECT_TRUE(std::signbit(header.offset.x));
    EXPECT_EQ(header.systemIdentifier, "NIIRS10");
    ASSERT_EQ(header.vlrs.size(), 3U); // the three GeoTIFF records, not the vendor's two
    EXPECT_EQ(header.vlrs[0].recordId, 34735);
    EXPECT_EQ(header.vlrs[0].payload, reader.header(0).vlrs[2].payload);
}

TEST_F(LasWriterTest, WithoutASourceOffsetsNearTheFirstPointAtMillimetreScale) {
    LasWriter writer(mFolder.path());
    writer.beginLeg(legNamed("free"));
    MemoryPoint point;
    point.x = 470692.44;
    point.y = 4602888.9;
    point.z = 16.0;
    ASSERT_TRUE(writer.write(point));
    writer.endLeg();
    const Las::LasHeader header = Las::readLasHeader(mFolder / "free.las");
    EXPECT_EQ(header.offset.x, 471000.0);
    EXPECT_EQ(header.offset.y, 4603000.0);
    EXPECT_EQ(header.offset.z, 0.0);
    EXPECT_EQ(header.scale.z, 0.001);
    EXPECT_DOUBLE_EQ(Orvid::Testing::Las::readPoints(mFolder / "free.las")[0]->getY(), 4602888.9);
}

TEST_F(LasWriterTest, PointsThatDoNotFitAreRefusedWithTheReasonAndTheLegGoesOn) {
    LasWriter writer(mFolder.path(), fixedOptions(2, 1));
    Attribute::Descriptor descriptor;
    descriptor.dataType = Attribute::DataType::UInt16;
    descriptor.name = "amplitude";
    writer.beginLeg(LegInformation("refused", mFolder / "none.las", "", 0,
                                   Orvid::Maths::SpinDirection::Unknown, "", "", {descriptor}));
    const std::string prefix = (mFolder / "refused.las").string() + ": point 0: ";
    LasPoint point = pointAt(1000, 2000, 0);
    point.values = {Attribute::Value{std::uint16_t{7}}};
    LasPoint far = point;
    far.setX(1e12);
    EXPECT_EQ(writer.write(far).message(),
              prefix +
                  "coordinates (1000000000000, 2000, 0) do not fit 32-bit integers with the scale and offset "
                  "of the file");
    LasPoint ninth = point;
    ninth.setReturnNumber(9);
    ninth.setNbReturns(9);
    EXPECT_EQ(writer.write(ninth).message(),
              prefix + "return number 9 of 9 does not fit point format 1 (at most 7)");
    LasPoint highClass = point;
    highClass.setClassification(40);
    EXPECT_EQ(writer.write(highClass).message(),
              prefix + "class 40 does not fit point format 1 (at most 31)");
    LasPoint overlap = point;
    overlap.setClassificationFlags({ClassificationFlag::Overlap});
    EXPECT_EQ(writer.write(overlap).message(), prefix + "the overlap flag does not fit point format 1");
    LasPoint wrongType = point;
    wrongType.values = {Attribute::Value{7.0f}};
    EXPECT_EQ(writer.write(wrongType).message(),
              prefix + "extra value 0 ('amplitude') is not of type uint16");
    LasPoint missing = point;
    missing.values.clear();
    EXPECT_EQ(writer.write(missing).message(), prefix + "the point has 0 extra values, the leg describes 1");

    EXPECT_TRUE(writer.write(point));
    writer.endLeg();
    EXPECT_EQ(Las::readLasHeader(mFolder / "refused.las").pointCount, 1U);
}

TEST_F(LasWriterTest, DiskFullFailsTheWriteTheInsertionAndTheLegWithoutAFinalFile) {
    // The partial file is a link to a device that is always full.
    std::filesystem::create_symlink("/dev/full", mFolder / "full.las.partial");
    LasWriter writer(mFolder.path(), fixedOptions(4, 6));
    writer.beginLeg(legNamed("full"));
    const LasPoint point = pointAt(1000, 2000, 0);
    Orvid::Utils::ErrorManagement::ReturnStatus status;
    std::size_t written = 0;
    while (written < 1000000 && (status = writer.write(point))) {
        ++written;
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

TEST_F(LasWriterTest, MisuseIsRefusedWithAClearMessage) {
    EXPECT_THROW(LasWriter(mFolder.path(), fixedOptions(5)), std::invalid_argument);
    EXPECT_THROW(LasWriter(mFolder.path(), fixedOptions(2, 6)), std::invalid_argument);
    LasWriterOptions badScale = fixedOptions();
    badScale.scaleOffset->scale.y = -1.0;
    EXPECT_THROW(LasWriter(mFolder.path(), badScale), std::invalid_argument);

    LasWriter writer(mFolder.path(), fixedOptions());
    EXPECT_EQ(writer.write(pointAt(0, 0, 0)).message(),
              "LAS writer: no leg is open (write before beginLeg or after endLeg)");
    EXPECT_THROW(writer.endLeg(), Orvid::Core::IOException);
    Attribute::Descriptor longName;
    longName.dataType = Attribute::DataType::Float;
    longName.name = std::string(33, 'n');
    try {
        writer.beginLeg(LegInformation({longName}));
        FAIL() << "no exception";
    } catch (const Orvid::Core::IOException& error) {
        EXPECT_EQ(std::string(error.what()), (mFolder / "leg0.las").string() + ": attribute '" +
                                                 longName.name + "' has a name longer than 32 bytes");
    }
    writer.beginLeg(legNamed("a/b"));
    EXPECT_THROW(writer.beginLeg(legNamed("second")), Orvid::Core::IOException);
    writer.endLeg();
    EXPECT_TRUE(std::filesystem::exists(mFolder / "a_b.las"));
}

} // namespace
