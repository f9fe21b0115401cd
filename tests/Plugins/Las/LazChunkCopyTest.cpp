#include "LasTestSupport.h"
#include "LazChunkFiles.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>
#include <FileIoInterface/Las/LazChunkSource.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::LasCompression;
using Las::LasPoint;
using Las::LasWriter;
using Las::LasWriterOptions;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t SOURCE_CHUNK = 10;

struct CopyCase {
    std::uint8_t format;
    std::size_t threads;
};

std::ostream& operator<<(std::ostream& stream, const CopyCase& value) {
    return stream << "format" << int{value.format} << "_threads" << value.threads;
}

/// A LAZ file of 100 random records in chunks of 10, and its records and points as a reader gives them.
class LazChunkCopy : public testing::TestWithParam<CopyCase> {
protected:
    void SetUp() override {
        const std::uint8_t format = GetParam().format;
        writeBytes(folder / "source.las", randomLas(format >= 6 ? 4 : 3, format, 100));
        LasWriterOptions options = optionsFor(format, SOURCE_CHUNK);
        Las::LasReader reader({folder / "source.las"});
        LasWriter writer(folder.path, options);
        writer.beginLeg(reader.nextLeg(), Las::carriedFieldsOf(reader.header(0)));
        LasPoint point;
        while (reader.hasMorePoints()) {
            reader.readPoint(point);
            ASSERT_TRUE(writer.write(point));
        }
        writer.endLeg();
        sourcePath = folder / "source.laz";
        records = std::make_unique<Las::PointRecords>(sourcePath);
        source = std::make_unique<Las::LazChunkSource>(sourcePath);
    }

    LasWriterOptions optionsFor(std::uint8_t format, std::uint32_t chunkPoints) const {
        LasWriterOptions options;
        options.pointFormat = format;
        options.versionMinor = format >= 6 ? 4 : 3;
        options.compression = LasCompression::Laz;
        options.lazChunkPoints = chunkPoints;
        options.threads = GetParam().threads;
        return options;
    }

    /// Writes the source's records at `positions` (with `altered` moved 1 m east) as LAZ in chunks of
    /// 8 points, giving each its origin, and as LAS; returns the LAZ file.
    std::filesystem::path writeBoth(const std::vector<std::uint64_t>& positions, std::uint64_t altered,
                                    LasWriterOptions options) {
        LasWriter laz(folder / "laz", options);
        options.compression = LasCompression::Las;
        LasWriter las(folder / "las", options);
        Las::LasReader reader({sourcePath});
        const LegInformation leg = reader.nextLeg();
        for (LasWriter* writer : {&laz, &las}) {
            writer->beginLeg(leg, Las::carriedFieldsOf(reader.header(0)));
        }
        LasPoint point;
        for (const std::uint64_t position : positions) {
            records->decode(position, point);
            if (position == altered) {
                point.setX(point.getX() + 1.0);
            }
            const std::uint8_t* bytes = records->contiguousRecords() + position * records->recordLength();
            EXPECT_TRUE(laz.write(point, {source.get(), position, bytes}));
            EXPECT_TRUE(las.write(point));
        }
        laz.endLeg();
        las.endLeg();
        EXPECT_EQ(recordsOf(laz.writtenFiles().at(0)), recordsOf(las.writtenFiles().at(0)));
        return laz.writtenFiles().at(0);
    }

    /// Which chunks of the source the LAZ file at `path` holds byte for byte, in its order.
    std::vector<std::size_t> copiedChunks(const std::filesystem::path& path) const {
        const std::vector<Bytes> originals = compressedChunksOf(sourcePath);
        std::vector<std::size_t> copied;
        for (const Bytes& bytes : compressedChunksOf(path)) {
            const auto found = std::find(originals.begin(), originals.end(), bytes);
            if (found != originals.end()) {
                copied.push_back(static_cast<std::size_t>(found - originals.begin()));
            }
        }
        return copied;
    }

    TemporaryFolder folder;
    std::filesystem::path sourcePath;
    std::unique_ptr<Las::PointRecords> records;
    std::unique_ptr<Las::LazChunkSource> source;
};

std::vector<std::uint64_t> concatenated(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges) {
    std::vector<std::uint64_t> positions;
    for (const auto& [begin, end] : ranges) {
        for (std::uint64_t position = begin; position < end; ++position) {
            positions.push_back(position);
        }
    }
    return positions;
}

// Chunk 3 follows the tail of chunk 2, chunk 5 has a point changed, chunk 0 comes back whole, chunk 8
// lacks its end, chunk 6 skips a record: only chunks 3 and 0 repeat their source whole and are copied.
TEST_P(LazChunkCopy, CopiesTheSourceChunksThatPointsRepeatWholeAndCompressesTheRest) {
    const std::vector<std::uint64_t> positions =
        concatenated({{25, 40}, {50, 60}, {0, 10}, {60, 65}, {66, 70}, {80, 85}});
    const std::filesystem::path laz = writeBoth(positions, 55, optionsFor(GetParam().format, 8));
    EXPECT_EQ(copiedChunks(laz), (std::vector<std::size_t>{3, 0}));
    EXPECT_EQ(Las::readLasHeader(laz).lazDescription->payload.at(12), 0xFF)
        << "the chunks state their counts";

    // Chunks of the writer's size: chunk 0 copied, chunk 1 compressed for its changed first point, and
    // the file keeps fixed-size chunks.
    const std::filesystem::path fixed =
        writeBoth(concatenated({{0, 20}}), 10, optionsFor(GetParam().format, 10));
    EXPECT_EQ(copiedChunks(fixed), (std::vector<std::size_t>{0}));
    EXPECT_EQ(Las::readLasHeader(fixed).lazDescription->payload.at(12), SOURCE_CHUNK);
}

// A writer of another point format than the source's cannot take its chunks, whatever its points.
TEST_P(LazChunkCopy, CopiesNothingFromASourceOfAnotherLayout) {
    const std::uint8_t other = GetParam().format >= 6 ? 6 : 0;
    LasWriterOptions options = optionsFor(other, SOURCE_CHUNK);
    options.pointFormat = other;
    const std::filesystem::path laz = writeBoth(concatenated({{0, 30}}), 100, options);
    EXPECT_TRUE(copiedChunks(laz).empty());
    EXPECT_EQ(Las::readLasHeader(laz).lazDescription->payload.at(12), SOURCE_CHUNK);
}

INSTANTIATE_TEST_SUITE_P(Formats, LazChunkCopy,
                         testing::Values(CopyCase{1, 1}, CopyCase{3, 2}, CopyCase{7, 1}, CopyCase{10, 2}),
                         [](const testing::TestParamInfo<CopyCase>& param) {
                             std::ostringstream name;
                             name << param.param;
                             return name.str();
                         });

} // namespace
