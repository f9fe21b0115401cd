#include "LasTestSupport.h"
#include "Laz/LazChunkReader.h"
#include "LazChunkFiles.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasCompressionThreads.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::LasCompression;
using Las::LasHeader;
using Las::LasPoint;
using Las::LasWriter;
using Las::LasWriterOptions;
using Bytes = std::vector<std::uint8_t>;

struct LazCase {
    std::uint8_t format;
    std::uint32_t points;
    std::uint32_t chunkPoints;
    std::size_t threads;
};

std::ostream& operator<<(std::ostream& stream, const LazCase& value) {
    return stream << "format" << int{value.format} << "_" << value.points << "points_chunks"
                  << value.chunkPoints << "_threads" << value.threads;
}

/// Writes every point of the single-leg file `source` with `options` into `folder`; returns the file.
std::filesystem::path rewrite(const std::filesystem::path& source, const std::filesystem::path& folder,
                              LasWriterOptions options) {
    Las::LasReader reader({source});
    const LasHeader header = reader.header(0);
    options.versionMinor = header.versionMinor;
    options.pointFormat = header.pointFormat;
    LasWriter writer(folder, options);
    writer.beginLeg(reader.nextLeg(), Las::carriedFieldsOf(header));
    LasPoint point;
    while (reader.hasMorePoints()) {
        reader.readPoint(point);
        EXPECT_TRUE(writer.write(point));
    }
    writer.endLeg();
    return writer.writtenFiles().at(0);
}

auto pointFields(const LasPoint& point) {
    return std::make_tuple(point.getX(), point.getY(), point.getZ(), point.getTime(), point.getIntensity(),
                           point.getReturnNumber(), point.getClassification(), point.getColor().red,
                           point.getScanAngle(), point.getSourceId(), point.values.size());
}

class LazWriterRoundTrip : public testing::TestWithParam<LazCase> {};

TEST_P(LazWriterRoundTrip, LazDecodesToTheRecordsAndPointsOfTheLasOfTheSamePoints) {
    const LazCase& param = GetParam();
    TemporaryFolder folder;
    const std::uint8_t minor = param.format >= 6 ? 4 : 3;
    writeBytes(folder / "random.las", randomLas(minor, param.format, param.points));
    LasWriterOptions options;
    const std::filesystem::path las = rewrite(folder / "random.las", folder / "las", options);
    options.compression = LasCompression::Laz;
    options.lazChunkPoints = param.chunkPoints;
    options.threads = param.threads;
    const std::filesystem::path laz = rewrite(folder / "random.las", folder / "laz", options);
    EXPECT_EQ(laz, folder / "laz" / "random.laz");

    const LasHeader lasHeader = Las::readLasHeader(las);
    const LasHeader lazHeader = Las::readLasHeader(laz);
    EXPECT_EQ(lazHeader.storedPointFormat, param.format | 0x80);
    const auto counted = [](const LasHeader& header) {
        return std::make_tuple(header.pointCount, header.pointsByReturn, header.min.x, header.min.y,
                               header.min.z, header.max.x, header.max.y, header.max.z);
    };
    EXPECT_EQ(counted(lazHeader), counted(lasHeader));
    const Las::Laz::LazChunkReader chunks(laz, lazHeader);
    EXPECT_EQ(chunks.description().compressor, param.format >= 6 ? Las::Laz::Compressor::LayeredChunked
                                                                 : Las::Laz::Compressor::PointWiseChunked);
    EXPECT_EQ(chunks.description().chunkSize, param.chunkPoints);
    ASSERT_EQ(chunks.chunks().size(), (param.points + param.chunkPoints - 1) / param.chunkPoints);
    if (param.points != 0) {
        EXPECT_EQ(chunks.chunks().back().pointCount, (param.points - 1) % param.chunkPoints + 1);
    }
    EXPECT_EQ(recordsOf(laz), recordsOf(las));
    const auto lasPoints = readPoints(las);
    const auto lazPoints = readPoints(laz);
    ASSERT_EQ(lazPoints.size(), param.points);
    for (std::size_t index = 0; index < lasPoints.size(); ++index) {
        ASSERT_EQ(pointFields(*lazPoints[index]), pointFields(*lasPoints[index])) << "point " << index;
    }
}

// A partial last chunk, exactly one chunk, whole chunks only, no point; one thread and two.
std::vector<LazCase> lazCases() {
    std::vector<LazCase> cases;
    for (std::uint8_t format = 0; format <= 10; ++format) {
        cases.push_back({format, 100, 7, format % 2 == 0 ? 1u : 2u});
    }
    for (const std::size_t threads : {1u, 2u}) {
        cases.push_back({3, 64, 64, threads});
        cases.push_back({3, 96, 8, threads});
        cases.push_back({3, 0, 50000, threads});
        cases.push_back({7, 96, 8, threads});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Chunks, LazWriterRoundTrip, testing::ValuesIn(lazCases()),
                         [](const testing::TestParamInfo<LazCase>& param) {
                             std::ostringstream name;
                             name << param.param;
                             return name.str();
                         });

LasWriterOptions lazOptions(std::optional<std::uint8_t> format) {
    LasWriterOptions options;
    options.pointFormat = format;
    options.scaleOffset = Las::LasScaleOffset{{0.01, 0.01, 0.01}, {0.0, 0.0, 0.0}};
    options.compression = LasCompression::Laz;
    options.lazChunkPoints = 3;
    return options;
}

LasPoint pointAt(double x) {
    LasPoint point;
    point.setX(x);
    point.setReturnNumber(1);
    point.setNbReturns(1);
    return point;
}

TEST(LazWriter, RefusesWhatTheFormatCannotHoldAsTheLasWriterDoes) {
    TemporaryFolder folder;
    LasWriter writer(folder.path, lazOptions(1));
    writer.beginLeg(LegInformation());
    LasPoint point = pointAt(1.0);
    point.setClassification(40);
    EXPECT_EQ(writer.write(point).message(),
              (folder / "leg0.laz").string() +
                  ": point 0: class 40 does not fit point format 1 (at most 31)");
    EXPECT_TRUE(writer.write(pointAt(2.0)));
    writer.endLeg();
    EXPECT_EQ(Las::readLasHeader(folder / "leg0.laz").pointCount, 1U);

    EXPECT_THROW(LasWriter(folder.path,
                           [] {
                               LasWriterOptions options = lazOptions(1);
                               options.lazChunkPoints = 0;
                               return options;
                           }()),
                 std::invalid_argument);
}

// A leg named as a LAZ file is written as one by a writer of LAS files; a name keeps its extension
// alone when it is the file's, in any case.
TEST(LazWriter, LegNamedAsALazFileIsCompressed) {
    TemporaryFolder folder;
    const auto writeLeg = [&folder](const std::string& name, const LasWriterOptions& options) {
        LasWriter writer(folder.path, options);
        LegInformation leg;
        leg.name = name;
        writer.beginLeg(leg);
        EXPECT_TRUE(writer.write(pointAt(1.0)));
        writer.endLeg();
        const std::filesystem::path written = writer.writtenFiles().at(0);
        return std::make_pair(written.filename().string(), Las::readLasHeader(written).compressed);
    };
    LasWriterOptions las = lazOptions(1);
    las.compression = LasCompression::Las;
    EXPECT_EQ(writeLeg("strip.laz", las), std::make_pair(std::string("strip.laz"), true));
    EXPECT_EQ(writeLeg("STRIP.LAZ", las), std::make_pair(std::string("STRIP.LAZ"), true));
    EXPECT_EQ(writeLeg("strip.las", las), std::make_pair(std::string("strip.las"), false));
    EXPECT_EQ(writeLeg("strip.las", lazOptions(1)), std::make_pair(std::string("strip.las.laz"), true));
    EXPECT_EQ(writeLeg(".laz", las), std::make_pair(std::string(".laz.las"), false));

    las.lazChunkPoints = 0;
    LasWriter writer(folder / "none", las);
    LegInformation leg;
    leg.name = "strip.laz";
    EXPECT_THROW(writer.beginLeg(leg), std::invalid_argument);
}

TEST(LazWriter, StagesThePartialFileAndLeavesNoFinalFileAfterAFailure) {
    TemporaryFolder folder;
    {
        LasWriter writer(folder.path, lazOptions(1));
        writer.beginLeg(LegInformation());
        for (int index = 0; index < 10; ++index) {
            ASSERT_TRUE(writer.write(pointAt(index)));
        }
        EXPECT_TRUE(std::filesystem::exists(folder / "leg0.laz.partial"));
        EXPECT_FALSE(std::filesystem::exists(folder / "leg0.laz"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path));

    // The partial file is a link to a device that is always full.
    std::filesystem::create_symlink("/dev/full", folder / "full.laz.partial");
    LasWriter writer(folder.path, lazOptions(1));
    LegInformation leg;
    leg.name = "full";
    writer.beginLeg(leg);
    for (int index = 0; index < 10; ++index) {
        writer.write(pointAt(index));
    }
    EXPECT_EQ(
        ioErrorOf([&writer] { writer.endLeg(); }).rfind((folder / "full.laz.partial").string() + ": ", 0),
        0U);
    EXPECT_FALSE(std::filesystem::exists(folder / "full.laz"));
    EXPECT_FALSE(std::filesystem::exists(folder / "full.laz.partial"));
}

// Two writers compress on two shared threads, and start none of their own, while their points are
// written in turn; each file holds its own records.
TEST(LazWriter, WritersSharingCompressionThreadsEachKeepTheirOwnRecords) {
    TemporaryFolder folder;
    const std::array<std::uint8_t, 2> formats{3, 7};
    std::vector<std::unique_ptr<Las::LasReader>> readers;
    std::vector<std::unique_ptr<LasWriter>> writers;
    auto shared = std::make_shared<Las::LasCompressionThreads>(2);
    const std::size_t threads = threadsNow();
    for (const std::uint8_t format : formats) {
        const std::string name = "format" + std::to_string(format);
        writeBytes(folder / (name + ".las"), randomLas(format >= 6 ? 4 : 3, format, 200));
        readers.push_back(std::make_unique<Las::LasReader>(std::vector{folder / (name + ".las")}));
        LasWriterOptions options;
        options.pointFormat = format;
        options.versionMinor = format >= 6 ? 4 : 3;
        options.compression = LasCompression::Laz;
        options.lazChunkPoints = 7;
        // Unused beside shared threads: a writer that started its own would add threads.
        options.threads = 4;
        options.sharedThreads = shared;
        writers.push_back(std::make_unique<LasWriter>(folder / "laz", options));
        writers.back()->beginLeg(readers.back()->nextLeg(), Las::carriedFieldsOf(readers.back()->header(0)));
    }
    LasPoint point;
    while (readers[0]->hasMorePoints() || readers[1]->hasMorePoints()) {
        for (std::size_t side = 0; side < 2; ++side) {
            if (readers[side]->hasMorePoints()) {
                readers[side]->readPoint(point);
                EXPECT_TRUE(writers[side]->write(point));
            }
        }
    }
    EXPECT_EQ(threadsNow(), threads);
    for (std::size_t side = 0; side < 2; ++side) {
        writers[side]->endLeg();
        const std::string name = "format" + std::to_string(formats[side]);
        EXPECT_EQ(recordsOf(folder / "laz" / (name + ".laz")), recordsOf(folder / (name + ".las"))) << name;
    }
}

} // namespace
