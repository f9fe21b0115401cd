#include "LasTestSupport.h"
#include "Sha256.h"

#include "Laz/LazChunkReader.h"
#include "Raw/RawHeader.h"

#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Las::Laz::LazChunkReader;
using Las::Laz::LazDescription;

std::filesystem::path lazFile(const std::string& name) {
    return std::filesystem::path(LAZ_SAMPLE_DIR) / name;
}

struct LazFacts {
    const char* file;
    /// The uncompressed file with the same records: in the LAZ folder, in the LAS folder ("las/...")
    /// or, for the large files that are not kept, none.
    const char* truth;
    std::uint8_t format;
    std::uint64_t points;
    std::size_t chunks;
    /// SHA-256 of the records, as the README states it.
    const char* recordsSha256;
};

std::ostream& operator<<(std::ostream& stream, const LazFacts& facts) {
    return stream << facts.file;
}

// clang-format off
const LazFacts FILES[] = {
    {"1.0_1.laz", "las/1.0_1.las", 1, 1, 1, "7b7073e0a3d36b872fc34f21e9c1e5dfcf0531c34400810c64dfec70e27d711d"},
    {"1.2_2.laz", "las/1.2_2.las", 2, 1, 1, "76097813ae9002d32c8abc59316d9727c020ac4a9f6a8d4d983d29e199b1d40e"},
    {"1.2-with-color.laz", "las/1.2-with-color.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"mvk-thin.laz", "las/mvk-thin.las", 1, 6280, 1, "9f9f9d07c90ec79944c40fd5f14bbd8ff471ffdab08d2c4050b4c9abb918c779"},
    {"test1_4.laz", "las/test1_4.las", 6, 1000, 1, "923571fd0bdbfdc886522adcb5fccaa6462642142937b1a3c490519155d447ba"},
    {"autzen-bmx-2010.laz", "las/autzen-bmx-2010.las", 7, 829, 1, "6d89b6299da71b9ed74a35eae79d4c03d65c1e131705d0671ce4c07f9490f3b2"},
    {"extrabytes.laz", "las/extrabytes.las", 3, 1065, 1, "c98294910637458e4b55447460f2dece893aca5990f4fd5624fec7d570783c31"},
    {"5points_14.laz", "las/5points_14.las", 6, 5, 1, "9f34d345e9ded125a8a65f3687cfbcaab1b6005feff11d54660948120ac6a57c"},
    {"gps-time-nan.laz", "las/gps-time-nan.las", 1, 1, 1, "26565d5251821128dad40b5b663b4e22e837fadd39dced0ee0b4092c68d7254c"},
    {"synthetic_eb_all_types_pf8.laz", "las/synthetic_eb_all_types_pf8.las", 8, 84, 1, "12983c5c342f0bf59c1d1c6c639bf6afc939f7a1ec58251f22904d5a839ab178"},
    {"mvk-thin_chunk5000.laz", "las/mvk-thin.las", 1, 6280, 2, "9f9f9d07c90ec79944c40fd5f14bbd8ff471ffdab08d2c4050b4c9abb918c779"},
    {"autzen-bmx-2010_chunk100.laz", "las/autzen-bmx-2010.las", 7, 829, 9, "6d89b6299da71b9ed74a35eae79d4c03d65c1e131705d0671ce4c07f9490f3b2"},
    {"synthetic_pf1_300k.laz", nullptr, 1, 300000, 6, "b8c3558016ccd3e1d49991d1bdc0c1e4ff01d9b745c2c124ee6c0691e33e0fdc"},
    {"synthetic_pf3_312k.laz", nullptr, 3, 312345, 7, "a22ef630c11a5f85b4d15f53a88bba8fe5be3fb09b33636ebe4ce109ebd3d9fa"},
    {"synthetic_pf6_300k.laz", nullptr, 6, 300000, 6, "976bbad26a118372e09387d62e4f39f2db677d511a9ff274f2ca94dc4248516b"},
    {"synthetic_pf7_312k.laz", nullptr, 7, 312345, 7, "9b9b81a179114febde74c9d9f71cc2a84a3c28fd95d4caa51e248b6a07106fdb"},
    {"synthetic_pf8_312k.laz", nullptr, 8, 312345, 7, "bc514cff59e1431ed46a4e81971bcde825dfd4bda1e8557d02b253fb28349e1c"},
    {"synthetic_pf4_wave_5k.laz", "synthetic_pf4_wave_5k.las", 4, 5000, 1, "04251fe132e4455e78cc6db8eea9a0b60eede868c7eb651ed694114fce1d593a"},
    {"synthetic_pf5_wave_5k.laz", "synthetic_pf5_wave_5k.las", 5, 5000, 1, "431d2cd9660760e0d61e1355c1a8930f7644d0730173f880968d19ed83223f62"},
    {"synthetic_pf9_wave_5k.laz", "synthetic_pf9_wave_5k.las", 9, 5000, 1, "e9fe7f25773b10cee679c7bf4ae767263003f294df6d04b1cbedb32287f12437"},
    {"synthetic_pf10_wave_5k.laz", "synthetic_pf10_wave_5k.las", 10, 5000, 1, "75eb7b1648f389072f6b2263612663b8c68d830dc0b02e85f7ed6905b8e8c617"},
    {"simple.laz", "simple.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"simple-laszip-compressor-version-1.2r0.laz", "simple-laszip-compressor-version-1.2r0.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"laszip-generated.laz", "laszip-generated.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"laszip-generated_with2bytespadding.laz", "laszip-generated_with2bytespadding.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"liblas-generated.laz", "liblas-generated.las", 3, 1065, 1, "0717948a72e6bf719db8d96ded1e76b760d73fb683347ebe3dd603832e3d5015"},
    {"autzen_trim.laz", nullptr, 3, 110000, 3, "f4eb6d80bf1fa507ffdcdaa73606d09041982659a50ee3895957e0b2b347f54b"},
    {"1.2-with-color.copc.laz", "1.2-with-color.copc.las", 7, 1065, 65, "361eda6829430490b1bba3a2665408642d16211f6c349b2f11edf451c8164422"},
};
// clang-format on

std::filesystem::path truthOf(const LazFacts& facts) {
    const std::string truth = facts.truth;
    return truth.rfind("las/", 0) == 0 ? sampleFile(truth.substr(4)) : lazFile(truth);
}

// Every record of the file, chunk after chunk, as the chunk reader decodes them.
std::vector<std::uint8_t> decodedRecords(const LazChunkReader& reader) {
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> chunk;
    for (std::size_t index = 0; index < reader.chunks().size(); ++index) {
        reader.decodeChunk(index, chunk);
        all.insert(all.end(), chunk.begin(), chunk.end());
    }
    return all;
}

// For the clouds whose uncompressed file is not kept: the LAZ file's header and VLRs with the compression
// bit cleared, followed by the records its chunks decode to (which the test above checks by digest).
std::filesystem::path uncompressedCopy(const std::filesystem::path& laz, const std::filesystem::path& to) {
    const Las::LasHeader header = Las::readLasHeader(laz);
    std::vector<std::uint8_t> bytes = readBytes(laz);
    bytes.resize(header.offsetToPointData);
    bytes[Las::Raw::OFFSET_POINT_FORMAT] &= Las::Raw::POINT_FORMAT_NUMBER_BITS;
    const std::vector<std::uint8_t> records = decodedRecords(LazChunkReader(laz, header));
    bytes.insert(bytes.end(), records.begin(), records.end());
    writeBytes(to, bytes);
    return to;
}

class LazDecode : public ::testing::TestWithParam<LazFacts> {};

TEST_P(LazDecode, RecordsAreThoseOfTheUncompressedFile) {
    const LazFacts& facts = GetParam();
    const Las::LasHeader header = Las::readLasHeader(lazFile(facts.file));
    EXPECT_TRUE(header.compressed);
    EXPECT_EQ(header.pointFormat, facts.format);
    EXPECT_EQ(header.pointCount, facts.points);
    // The LAZ description record is kept apart from the VLRs that describe the points.
    ASSERT_TRUE(header.lazDescription.has_value());
    for (const Las::LasVlr& vlr : header.vlrs) {
        EXPECT_NE(vlr.userId, LazDescription::USER_ID);
    }

    const LazChunkReader reader(lazFile(facts.file), header);
    ASSERT_EQ(reader.chunks().size(), facts.chunks);
    std::uint64_t next = 0;
    for (const Las::Laz::LazChunk& chunk : reader.chunks()) {
        EXPECT_EQ(chunk.firstPoint, next);
        next += chunk.pointCount;
    }
    EXPECT_EQ(next, facts.points);

    const std::vector<std::uint8_t> records = decodedRecords(reader);
    ASSERT_EQ(records.size(), facts.points * header.pointRecordLength);
    EXPECT_EQ(sha256Hex(records.data(), records.size()), facts.recordsSha256);
    // Every processor decodes alike: the portable build gives the same records as the fastest one.
    if (reader.build() != Las::Laz::DecoderBuild::Portable) {
        const LazChunkReader portable(lazFile(facts.file), header, Las::Laz::DecoderBuild::Portable);
        EXPECT_TRUE(decodedRecords(portable) == records);
    }
    if (facts.truth != nullptr) {
        const Las::LasHeader truthHeader = Las::readLasHeader(truthOf(facts));
        const std::vector<std::uint8_t> truth = readBytes(truthOf(facts));
        ASSERT_EQ(truthHeader.pointRecordLength, header.pointRecordLength);
        ASSERT_GE(truth.size(), truthHeader.offsetToPointData + records.size());
        const auto mismatch =
            std::mismatch(records.begin(), records.end(), truth.begin() + truthHeader.offsetToPointData);
        EXPECT_TRUE(mismatch.first == records.end())
            << "first different byte: record "
            << (mismatch.first - records.begin()) / header.pointRecordLength << ", byte "
            << (mismatch.first - records.begin()) % header.pointRecordLength;
    }
}

TEST_P(LazDecode, ReaderGivesThePointsOfTheUncompressedFile) {
    const LazFacts& facts = GetParam();
    TemporaryFolder folder;
    const std::filesystem::path truth =
        facts.truth != nullptr ? truthOf(facts) : uncompressedCopy(lazFile(facts.file), folder / "truth.las");
    Las::LasReader laz({lazFile(facts.file)});
    Las::LasReader las({truth});
    const LegInformation lazLeg = laz.nextLeg();
    const LegInformation lasLeg = las.nextLeg();
    EXPECT_EQ(lazLeg.attributes, lasLeg.attributes);
    ASSERT_EQ(laz.numberOfPointsInLeg(), las.numberOfPointsInLeg());
    Las::LasPoint lazPoint;
    Las::LasPoint lasPoint;
    std::size_t index = 0;
    while (las.hasMorePoints()) {
        ASSERT_TRUE(laz.hasMorePoints());
        laz.readPoint(lazPoint);
        las.readPoint(lasPoint);
        // Bits, not values: a NaN time is the same NaN in both.
        const auto bits = [](double value) {
            std::uint64_t stored = 0;
            std::memcpy(&stored, &value, sizeof(stored));
            return stored;
        };
        ASSERT_EQ(std::make_tuple(bits(lazPoint.getX()), bits(lazPoint.getY()), bits(lazPoint.getZ()),
                                  bits(lazPoint.getTime())),
                  std::make_tuple(bits(lasPoint.getX()), bits(lasPoint.getY()), bits(lasPoint.getZ()),
                                  bits(lasPoint.getTime())))
            << "point " << index;
        ASSERT_EQ(lazPoint.getRawIntensity(), lasPoint.getRawIntensity()) << "point " << index;
        ASSERT_EQ(lazPoint.getColor(), lasPoint.getColor()) << "point " << index;
        ASSERT_EQ(lazPoint.getNir(), lasPoint.getNir()) << "point " << index;
        ASSERT_EQ(lazPoint.values, lasPoint.values) << "point " << index;
        ++index;
    }
    EXPECT_FALSE(laz.hasMorePoints());
}

INSTANTIATE_TEST_SUITE_P(SampleFiles, LazDecode, ::testing::ValuesIn(FILES),
                         [](const ::testing::TestParamInfo<LazFacts>& param) {
                             std::string name = param.param.file;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

struct MissingTable {
    const char* file;
    std::int64_t statedOffset;
};

std::ostream& operator<<(std::ostream& stream, const MissingTable& missing) {
    return stream << missing.file << " stating " << missing.statedOffset;
}

class LazWithoutChunkTable : public ::testing::TestWithParam<MissingTable> {};

// Writers that stream their output may leave the chunk table's offset at -1 or 0; the chunks are then
// found by decoding (point-wise chunks) or by their own sizes (layered chunks, which also state their
// point counts, so variable chunks are found too).
TEST_P(LazWithoutChunkTable, FindsTheChunksInOrder) {
    const MissingTable& missing = GetParam();
    const std::filesystem::path original = lazFile(missing.file);
    TemporaryFolder folder;
    const std::filesystem::path path = folder / "without-table.laz";
    std::vector<std::uint8_t> bytes = readBytes(original);
    const Las::LasHeader header = Las::readLasHeader(original);
    put<std::int64_t>(bytes, header.offsetToPointData, missing.statedOffset);
    writeBytes(path, bytes);

    const LazChunkReader withTable(original, header);
    const LazChunkReader withoutTable(path, Las::readLasHeader(path));
    ASSERT_EQ(withoutTable.chunks().size(), withTable.chunks().size());
    for (std::size_t index = 0; index < withTable.chunks().size(); ++index) {
        EXPECT_EQ(withoutTable.chunks()[index].byteOffset, withTable.chunks()[index].byteOffset) << index;
        EXPECT_EQ(withoutTable.chunks()[index].byteCount, withTable.chunks()[index].byteCount) << index;
        EXPECT_EQ(withoutTable.chunks()[index].pointCount, withTable.chunks()[index].pointCount) << index;
    }
    EXPECT_EQ(decodedRecords(withoutTable), decodedRecords(withTable));
}

INSTANTIATE_TEST_SUITE_P(SampleFiles, LazWithoutChunkTable,
                         ::testing::Values(MissingTable{"mvk-thin_chunk5000.laz", -1},
                                           MissingTable{"autzen-bmx-2010_chunk100.laz", 0},
                                           MissingTable{"1.2-with-color.copc.laz", -1}));

// LAS 1.3 keeps waveform data in the file after the points, at the offset stated at byte 227: the point
// data, and so a point-wise compressed file's one chunk, ends there. The point-wise sample, made LAS 1.3
// (the header 8 bytes longer) with a small waveform data record appended.
TEST(LazDecode, PointDataEndsAtInternalWaveformData) {
    const std::filesystem::path original = lazFile("simple-laszip-compressor-version-1.2r0.laz");
    const Las::LasHeader originalHeader = Las::readLasHeader(original);
    std::vector<std::uint8_t> bytes = readBytes(original);
    bytes.insert(bytes.begin() + 227, 8, 0);
    bytes[25] = 3;
    put<std::uint16_t>(bytes, 6, 0x0002); // waveform data packets internal
    put<std::uint16_t>(bytes, 94, 235);
    const std::uint32_t pointDataStart = originalHeader.offsetToPointData + 8;
    put<std::uint32_t>(bytes, 96, pointDataStart);
    const std::uint64_t waveformStart = appendEvlr(bytes, "LASF_Spec", 65535, 4, {1, 2, 3, 4});
    put<std::uint64_t>(bytes, 227, waveformStart);
    TemporaryFolder folder;
    const std::filesystem::path path = folder / "waveform-1.3.laz";
    writeBytes(path, bytes);

    const Las::LasHeader header = Las::readLasHeader(path);
    EXPECT_EQ(header.pointDataEnd, waveformStart);
    const LazChunkReader reader(path, header);
    ASSERT_EQ(reader.description().compressor, Las::Laz::Compressor::PointWise);
    ASSERT_EQ(reader.chunks().size(), 1u);
    EXPECT_EQ(reader.chunks()[0].byteOffset, pointDataStart);
    EXPECT_EQ(reader.chunks()[0].byteCount, waveformStart - pointDataStart);
    EXPECT_TRUE(decodedRecords(reader) == decodedRecords(LazChunkReader(original, originalHeader)));
}

TEST(LazDecode, AFaultyChunkEndsTheLegAfterTheChunksBeforeIt) {
    // Chunk 5 of 9 states a layer larger than the chunk: the 500 points before it read, whether the
    // chunks after it were decoded ahead or not.
    TemporaryFolder folder;
    const std::filesystem::path path = folder / "faulty.laz";
    const std::filesystem::path original = lazFile("autzen-bmx-2010_chunk100.laz");
    const LazChunkReader chunks(original, Las::readLasHeader(original));
    std::vector<std::uint8_t> bytes = readBytes(original);
    put<std::uint32_t>(bytes, chunks.chunks()[5].byteOffset + 36 + 4, 1000000);
    writeBytes(path, bytes);
    for (const std::size_t threads : {std::size_t{1}, std::size_t{3}}) {
        Las::LasReader reader({path});
        reader.setThreads(threads);
        reader.nextLeg();
        Las::LasPoint point;
        const std::string error = ioErrorOf([&reader, &point] {
            while (reader.hasMorePoints()) {
                reader.readPoint(point);
            }
        });
        EXPECT_EQ(reader.pointsReadInLeg(), 500u) << threads << " threads";
        EXPECT_NE(error.find("chunk 5 of 9 at byte " + std::to_string(chunks.chunks()[5].byteOffset) +
                             " is truncated"),
                  std::string::npos)
            << error;
    }
}

TEST(LazDecode, DecodingThreadsHandOutTheChunksInOrder) {
    const std::filesystem::path path = lazFile("synthetic_pf7_312k.laz");
    Las::LasReader single({path});
    Las::LasReader threaded({path});
    threaded.setThreads(3);
    single.nextLeg();
    threaded.nextLeg();
    Las::LasPoint expected;
    Las::LasPoint actual;
    while (single.hasMorePoints()) {
        single.readPoint(expected);
        threaded.readPoint(actual);
        ASSERT_EQ(actual.getTime(), expected.getTime()) << "point " << single.pointsReadInLeg();
        ASSERT_EQ(actual.getX(), expected.getX()) << "point " << single.pointsReadInLeg();
    }
    EXPECT_FALSE(threaded.hasMorePoints());
}

TEST(LazDecode, FoldersListLazFilesBesideLasFiles) {
    TemporaryFolder folder;
    for (const char* name : {"b.LAZ", "a.las", "c.laz", "d.lazy", "e.txt"}) {
        writeBytes(folder / name, {});
    }
    EXPECT_EQ(Las::lasFilesIn(folder.path),
              (std::vector<std::filesystem::path>{folder / "a.las", folder / "b.LAZ", folder / "c.laz"}));
}

} // namespace
