// Joining LAS files by their bytes: which files can be joined, and that the joined file is the one the
// writer would have written for all their points.
#include "LasTestSupport.h"
#include "Laz/LazChunkReader.h"
#include "LazChunkFiles.h"
#include "Raw/ByteCursor.h"
#include "Raw/RawHeader.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasConcatenation.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::canConcatenateLasFiles;
using Las::concatenateLasFiles;
using Las::LasHeader;
using Las::LasPoint;
using Las::LasWriter;
using Las::LasWriterOptions;
namespace Raw = Las::Raw;

LasWriterOptions optionsFor(std::uint8_t minor, std::uint8_t format, double scale = 0.01) {
    LasWriterOptions options;
    options.versionMinor = minor;
    options.pointFormat = format;
    options.scaleOffset = Las::LasScaleOffset{{scale, scale, scale}, {1000.0, 2000.0, 0.0}};
    return options;
}

LasPoint pointAt(double x, double y, double z, std::size_t returnNumber) {
    LasPoint point;
    point.setX(x);
    point.setY(y);
    point.setZ(z);
    point.setReturnNumber(returnNumber);
    point.setNbReturns(3);
    return point;
}

/// Three parts of points (the second without any) whose bounds each widen on some axis.
const std::vector<std::vector<LasPoint>> PARTS = {
    {pointAt(1000.5, 2000.25, 3.0, 1), pointAt(1001.0, 2003.5, -1.5, 2), pointAt(1002.75, 2001.0, 4.0, 1)},
    {},
    {pointAt(999.0, 2002.0, 2.0, 3), pointAt(1001.5, 2004.0, 5.5, 1)},
};

class LasConcatenationTest : public testing::Test {
protected:
    /// Writes `points` with `options` as the file "<name>.las"; its path.
    fs::path write(const std::string& name, const LasWriterOptions& options,
                   const std::vector<LasPoint>& points) {
        LasWriter writer(mFolder.path, options);
        LegInformation leg;
        leg.name = name;
        writer.beginLeg(leg);
        for (const LasPoint& point : points) {
            EXPECT_TRUE(writer.write(point));
        }
        writer.endLeg();
        return writer.writtenFiles().at(0);
    }

    /// Writes each of `PARTS` with `options` as "<name>-<k>.las"; their paths.
    std::vector<fs::path> writeParts(const std::string& name, const LasWriterOptions& options) {
        std::vector<fs::path> paths;
        for (std::size_t index = 0; index < PARTS.size(); ++index) {
            paths.push_back(write(name + "-" + std::to_string(index), options, PARTS[index]));
        }
        return paths;
    }

    /// Writes `bytes` as "<name>.las"; its path.
    fs::path craft(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        fs::path path = mFolder / (name + ".las");
        writeBytes(path, bytes);
        return path;
    }

    TemporaryFolder mFolder;
};

/// LAS 1.<minor>, point format.
using VersionAndFormat = std::tuple<std::uint8_t, std::uint8_t>;

class LasConcatenationOfWrittenFiles : public LasConcatenationTest,
                                       public testing::WithParamInterface<VersionAndFormat> {};

TEST_P(LasConcatenationOfWrittenFiles, GivesTheFileTheWriterWritesForAllThePointsInOrder) {
    const auto [minor, format] = GetParam();
    const LasWriterOptions options = optionsFor(minor, format);
    const std::vector<fs::path> parts = writeParts("part", options);
    std::vector<LasPoint> all;
    for (const std::vector<LasPoint>& part : PARTS) {
        all.insert(all.end(), part.begin(), part.end());
    }
    const fs::path whole = write("whole", options, all);

    ASSERT_TRUE(canConcatenateLasFiles(parts));
    const fs::path joined = mFolder / "joined.las";
    concatenateLasFiles(parts, joined);
    EXPECT_EQ(readBytes(joined), readBytes(whole));

    // Counts by return added up, bounds joined (the empty part has none), records in order.
    const LasHeader header = Las::readLasHeader(joined);
    EXPECT_EQ(header.pointCount, 5U);
    EXPECT_EQ((std::vector<std::uint64_t>(header.pointsByReturn.begin(), header.pointsByReturn.begin() + 4)),
              (std::vector<std::uint64_t>{3, 1, 1, 0}));
    EXPECT_DOUBLE_EQ(header.min.x, 999.0);
    EXPECT_DOUBLE_EQ(header.min.y, 2000.25);
    EXPECT_DOUBLE_EQ(header.min.z, -1.5);
    EXPECT_DOUBLE_EQ(header.max.x, 1002.75);
    EXPECT_DOUBLE_EQ(header.max.y, 2004.0);
    EXPECT_DOUBLE_EQ(header.max.z, 5.5);
    EXPECT_TRUE(header.warnings.empty());
    const auto points = readPoints(joined);
    ASSERT_EQ(points.size(), all.size());
    for (std::size_t index = 0; index < all.size(); ++index) {
        EXPECT_EQ(std::make_tuple(points[index]->getX(), points[index]->getY(), points[index]->getZ(),
                                  points[index]->getReturnNumber()),
                  std::make_tuple(all[index].getX(), all[index].getY(), all[index].getZ(),
                                  all[index].getReturnNumber()))
            << "point " << index;
    }
    // LAS 1.4 leaves the legacy counts zero for formats 6 to 10.
    const std::vector<std::uint8_t> bytes = readBytes(joined);
    const bool legacy = minor < 4 || format < 6;
    EXPECT_EQ(Raw::load<std::uint32_t>(bytes.data() + Raw::OFFSET_LEGACY_POINT_COUNT), legacy ? 5U : 0U);
    EXPECT_EQ(Raw::load<std::uint32_t>(bytes.data() + Raw::OFFSET_LEGACY_POINTS_BY_RETURN), legacy ? 3U : 0U);
}

INSTANTIATE_TEST_SUITE_P(VersionsAndFormats, LasConcatenationOfWrittenFiles,
                         testing::Values(VersionAndFormat{2, 1}, VersionAndFormat{3, 3},
                                         VersionAndFormat{4, 1}, VersionAndFormat{4, 6},
                                         VersionAndFormat{4, 8}),
                         [](const auto& instance) {
                             return "Las1" + std::to_string(std::get<0>(instance.param)) + "Format" +
                                    std::to_string(std::get<1>(instance.param));
                         });

// LAZ parts of 3, 0 and 2 points in chunks of 2 (the first part ends in a partial chunk, so the joined
// chunks state their counts) and of 3 (only the last chunk of all is partial: the chunk size stays).
class LazConcatenation : public LasConcatenationTest, public testing::WithParamInterface<std::uint32_t> {};

TEST_P(LazConcatenation, JoinsTheChunksUnderANewTableAndDecodesToThePointsOfTheWhole) {
    LasWriterOptions options = optionsFor(2, 3);
    const fs::path whole =
        write("whole", options, {PARTS[0][0], PARTS[0][1], PARTS[0][2], PARTS[2][0], PARTS[2][1]});
    options.compression = Las::LasCompression::Laz;
    options.lazChunkPoints = GetParam();
    const std::vector<fs::path> parts = writeParts("part", options);
    ASSERT_TRUE(canConcatenateLasFiles(parts));
    EXPECT_FALSE(canConcatenateLasFiles({parts[0], whole}));
    const fs::path joined = mFolder / "joined.laz";
    concatenateLasFiles(parts, joined);

    const LasHeader header = Las::readLasHeader(joined);
    const Las::Laz::LazChunkReader chunks(joined, header);
    EXPECT_EQ(chunks.chunks().size(), GetParam() == 2 ? 3U : 2U);
    EXPECT_EQ(chunks.description().chunkSize,
              GetParam() == 2 ? Las::Laz::LazDescription::VARIABLE_CHUNK_SIZE : 3U);
    const LasHeader wholeHeader = Las::readLasHeader(whole);
    EXPECT_EQ(std::make_tuple(header.pointCount, header.pointsByReturn, header.min.z, header.max.z),
              std::make_tuple(wholeHeader.pointCount, wholeHeader.pointsByReturn, wholeHeader.min.z,
                              wholeHeader.max.z));
    const auto expected = readPoints(whole);
    const auto points = readPoints(joined);
    ASSERT_EQ(points.size(), expected.size());
    for (std::size_t index = 0; index < points.size(); ++index) {
        EXPECT_EQ(
            std::make_tuple(points[index]->getX(), points[index]->getZ(), points[index]->getReturnNumber()),
            std::make_tuple(expected[index]->getX(), expected[index]->getZ(),
                            expected[index]->getReturnNumber()))
            << "point " << index;
    }

    // A part in chunks of another size (as one holding chunks copied from its source) joins as well.
    options.lazChunkPoints = 1;
    const fs::path single = write("single", options, PARTS[2]);
    ASSERT_TRUE(canConcatenateLasFiles({parts[0], single}));
    concatenateLasFiles({parts[0], single}, mFolder / "mixed.laz");
    EXPECT_EQ(recordsOf(mFolder / "mixed.laz"), recordsOf(joined));
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, LazConcatenation, testing::Values(2U, 3U));

TEST_F(LasConcatenationTest, JoinsSampleLazFilesChunkByChunk) {
    for (const char* name : {"mvk-thin_chunk5000.laz", "5points_14.laz"}) {
        const fs::path sample = fs::path(LAZ_SAMPLE_DIR) / name;
        const fs::path joined = mFolder / name;
        concatenateLasFiles({sample, sample}, joined);
        std::vector<std::uint8_t> twice = recordsOf(sample);
        const std::size_t once = twice.size();
        twice.insert(twice.end(), twice.begin(), twice.begin() + static_cast<std::ptrdiff_t>(once));
        EXPECT_EQ(recordsOf(joined), twice) << name;
        EXPECT_EQ(Las::readLasHeader(joined).pointCount, 2 * Las::readLasHeader(sample).pointCount) << name;
    }
}

TEST_F(LasConcatenationTest, FilesAlikeButForTheirCountsAndBoundsAreJoined) {
    for (const std::uint8_t minor : std::vector<std::uint8_t>{0, 2, 3, 4}) {
        const std::string name = "minor" + std::to_string(minor);
        std::vector<std::uint8_t> first = craftLas(minor, 1, 3);
        std::vector<std::uint8_t> second = craftLas(minor, 1, 2);
        for (std::vector<std::uint8_t>* bytes : {&first, &second}) {
            addVlr(*bytes, "LASF_Projection", 2112, {'W', 'K', 'T'});
        }
        Raw::store<double>(second.data() + Raw::OFFSET_BOUNDS, 7.5);
        const std::vector<fs::path> parts = {craft(name + "-a", first), craft(name + "-b", second)};
        ASSERT_TRUE(canConcatenateLasFiles(parts)) << name;
        const fs::path joined = mFolder / (name + ".las");
        concatenateLasFiles(parts, joined);
        const LasHeader header = Las::readLasHeader(joined);
        EXPECT_EQ(header.pointCount, 5U) << name;
        EXPECT_EQ(header.max.x, 7.5) << name;
        EXPECT_EQ(header.vlrs.size(), 1U) << name;
        EXPECT_EQ(fs::file_size(joined),
                  fs::file_size(parts[0]) + std::uintmax_t{2} * header.pointRecordLength)
            << name;
    }
}

TEST_F(LasConcatenationTest, RefusesFilesThatCannotBeJoinedAsTheyAre) {
    const LasWriterOptions options = optionsFor(4, 6);
    const std::vector<fs::path> parts = writeParts("part", options);
    ASSERT_TRUE(canConcatenateLasFiles(parts));
    const std::vector<std::uint8_t> original = readBytes(parts[2]);
    const auto refusedWith = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path changed = craft(name, bytes);
        EXPECT_FALSE(canConcatenateLasFiles({parts[0], parts[1], changed})) << name;
        EXPECT_FALSE(canConcatenateLasFiles({changed})) << name;
        EXPECT_EQ(ioErrorOf([&] {
                      concatenateLasFiles({parts[0], changed}, mFolder / "refused.las");
                  }),
                  changed.string() + ": not a LAS file that can be concatenated")
            << name;
    };

    std::vector<std::uint8_t> compressed = original;
    compressed[Raw::OFFSET_POINT_FORMAT] |= Raw::POINT_FORMAT_COMPRESSED_BIT;
    refusedWith("compressed", compressed);

    std::vector<std::uint8_t> extended = original;
    const std::uint64_t evlr = appendEvlr(extended, "LASF_Spec", 7, 3, {1, 2, 3});
    Raw::store<std::uint64_t>(extended.data() + Raw::OFFSET_FIRST_EVLR, evlr);
    Raw::store<std::uint32_t>(extended.data() + Raw::OFFSET_NUMBER_OF_EVLRS, 1);
    ASSERT_NO_THROW(Las::readLasHeader(craft("extended-readable", extended)));
    refusedWith("extended", extended);
    // The extended VLRs are refused as such, not only as bytes after the records.
    std::vector<std::uint8_t> announced = original;
    Raw::store<std::uint32_t>(announced.data() + Raw::OFFSET_NUMBER_OF_EVLRS, 1);
    refusedWith("announced", announced);

    std::vector<std::uint8_t> trailing = original;
    trailing.insert(trailing.end(), {'m', 'o', 'r', 'e'});
    refusedWith("trailing", trailing);

    std::vector<std::uint8_t> truncated = original;
    truncated.resize(truncated.size() - 1);
    refusedWith("truncated", truncated);

    refusedWith("short", std::vector<std::uint8_t>(original.begin(), original.begin() + 200));
    refusedWith("text", std::vector<std::uint8_t>(400, 'x'));

    // A LAZ file compressed as one stream, without chunks.
    EXPECT_FALSE(
        canConcatenateLasFiles({fs::path(LAZ_SAMPLE_DIR) / "simple-laszip-compressor-version-1.2r0.laz"}));
    EXPECT_TRUE(canConcatenateLasFiles({sampleFile("5points_14.las")}));
    EXPECT_FALSE(canConcatenateLasFiles({}));
    EXPECT_EQ(ioErrorOf([&] { concatenateLasFiles({}, mFolder / "none.las"); }),
              (mFolder / "none.las").string() + ": no LAS file to concatenate");
}

TEST_F(LasConcatenationTest, RefusesFilesWhoseHeadersOrRecordsDiffer) {
    const std::vector<fs::path> parts = writeParts("part", optionsFor(4, 6));
    const fs::path otherFormat = write("format7", optionsFor(4, 7), PARTS[0]);
    const fs::path otherScale = write("scale", optionsFor(4, 6, 0.001), PARTS[0]);
    const fs::path otherVersion = write("version", optionsFor(3, 1), PARTS[0]);
    for (const fs::path& other : {otherFormat, otherScale, otherVersion}) {
        EXPECT_FALSE(canConcatenateLasFiles({parts[0], other})) << other;
        EXPECT_FALSE(canConcatenateLasFiles({other, parts[0]})) << other;
    }

    // VLRs: the same ones join; one more, or other bytes in one, do not.
    std::vector<std::uint8_t> plain = craftLas(2, 0, 2);
    std::vector<std::uint8_t> withVlr = plain;
    addVlr(withVlr, "LASF_Projection", 2112, {'W', 'K', 'T'});
    std::vector<std::uint8_t> otherPayload = plain;
    addVlr(otherPayload, "LASF_Projection", 2112, {'W', 'K', 'X'});
    std::vector<std::uint8_t> otherRecord = plain;
    addVlr(otherRecord, "LASF_Projection", 2111, {'W', 'K', 'T'});
    const fs::path vlr = craft("vlr", withVlr);
    EXPECT_TRUE(canConcatenateLasFiles({vlr, craft("vlr-again", withVlr)}));
    EXPECT_FALSE(canConcatenateLasFiles({vlr, craft("plain", plain)}));
    EXPECT_FALSE(canConcatenateLasFiles({vlr, craft("other-payload", otherPayload)}));
    EXPECT_FALSE(canConcatenateLasFiles({vlr, craft("other-record", otherRecord)}));

    // Any other header field: an offset, the LAS 1.3 waveform start.
    std::vector<std::uint8_t> offset = plain;
    Raw::store<double>(offset.data() + Raw::OFFSET_OFFSET, 5.0);
    EXPECT_FALSE(canConcatenateLasFiles({craft("plain", plain), craft("offset", offset)}));
    std::vector<std::uint8_t> waveform = craftLas(3, 0, 2);
    const fs::path waveformPart = craft("waveform", waveform);
    Raw::store<std::uint64_t>(waveform.data() + Raw::OFFSET_WAVEFORM_DATA, 1);
    EXPECT_FALSE(canConcatenateLasFiles({waveformPart, craft("waveform-set", waveform)}));
}

TEST_F(LasConcatenationTest, NamesTheFileThatCannotBeReadOrWritten) {
    const std::vector<fs::path> parts = writeParts("part", optionsFor(4, 6));
    const fs::path missing = mFolder / "missing.las";
    const std::string whyMissing = ioErrorOf([&] { canConcatenateLasFiles({parts[0], missing}); });
    EXPECT_EQ(whyMissing.rfind(missing.string() + ": cannot open (", 0), 0U) << whyMissing;
    EXPECT_EQ(ioErrorOf([&] {
                  concatenateLasFiles({parts[0], missing}, mFolder / "joined.las");
              }),
              whyMissing);
    EXPECT_EQ(ioErrorOf([&] { canConcatenateLasFiles({mFolder.path}); }),
              mFolder.path.string() + ": not a regular file (a directory)");

    const fs::path unwritable = mFolder / "absent" / "joined.las";
    const std::string whyUnwritable = ioErrorOf([&] { concatenateLasFiles(parts, unwritable); });
    EXPECT_EQ(whyUnwritable.rfind(unwritable.string() + ": cannot write the concatenated file (", 0), 0U)
        << whyUnwritable;
}

} // namespace
