#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChunkDecoding.h"
#include "Laz/ChunkEncoder.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LazChunkReader.h"
#include "Laz/PointBlockEncoder.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace {

using namespace Orvid::FileIoInterface;
using Las::Laz::ChunkEncoder;
using Las::Laz::ItemType;
using Las::Laz::LazChunkReader;
using Las::Laz::LazDescription;
using Bytes = std::vector<std::uint8_t>;

Bytes fileBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

Bytes slice(const Bytes& bytes, std::uint64_t offset, std::uint64_t count) {
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return Bytes(begin, begin + static_cast<std::ptrdiff_t>(count));
}

// Files of point formats 0 to 5 written by the widely used encoder at its current version, whose
// chunks and chunk table an encoder of the same items must give back byte for byte.
class LazEncoderSampleTest : public testing::TestWithParam<const char*> {};

TEST_P(LazEncoderSampleTest, EncodesTheSampleFileByteForByte) {
    const std::filesystem::path path = std::filesystem::path(LAZ_SAMPLE_DIR) / GetParam();
    const Las::LasHeader header = Las::readLasHeader(path);
    const LazChunkReader reader(path, header);
    const Bytes file = fileBytes(path);
    const ChunkEncoder encoder(reader.description(), reader.recordLength());

    Bytes allRecords;
    std::vector<std::uint32_t> chunkPoints;
    for (std::size_t index = 0; index < reader.chunks().size(); ++index) {
        const Las::Laz::LazChunk& chunk = reader.chunks()[index];
        Bytes records;
        reader.decodeChunk(index, records);
        const Bytes encoded = encoder.encode(records.data(), static_cast<std::size_t>(chunk.pointCount));
        ASSERT_EQ(encoded, slice(file, chunk.byteOffset, chunk.byteCount)) << "chunk " << index;
        allRecords.insert(allRecords.end(), records.begin(), records.end());
        chunkPoints.push_back(static_cast<std::uint32_t>(chunk.pointCount));
    }

    // Files of variable chunk sizes state each chunk's point count, which the caller gives.
    const bool variable = reader.description().chunkSize == LazDescription::VARIABLE_CHUNK_SIZE;
    const Bytes block = Las::Laz::encodePointBlock(
        reader.description(), reader.recordLength(), allRecords.data(), header.pointCount,
        header.offsetToPointData, variable ? chunkPoints : std::vector<std::uint32_t>{});
    ASSERT_LE(header.offsetToPointData + block.size(), file.size());
    EXPECT_EQ(block, slice(file, header.offsetToPointData, block.size()));
}

INSTANTIATE_TEST_SUITE_P(GroupsAAndB, LazEncoderSampleTest,
                         testing::Values("1.0_1.laz", "1.2_2.laz", "1.2-with-color.laz", "mvk-thin.laz",
                                         "mvk-thin_chunk5000.laz", "extrabytes.laz", "gps-time-nan.laz",
                                         "synthetic_pf1_300k.laz", "synthetic_pf3_312k.laz",
                                         "synthetic_pf4_wave_5k.laz", "synthetic_pf5_wave_5k.laz"));

INSTANTIATE_TEST_SUITE_P(Layered, LazEncoderSampleTest,
                         testing::Values("test1_4.laz", "autzen-bmx-2010.laz", "autzen-bmx-2010_chunk100.laz",
                                         "5points_14.laz", "synthetic_eb_all_types_pf8.laz",
                                         "synthetic_pf6_300k.laz", "synthetic_pf7_312k.laz",
                                         "synthetic_pf8_312k.laz", "synthetic_pf9_wave_5k.laz",
                                         "synthetic_pf10_wave_5k.laz", "1.2-with-color.copc.laz"));

struct RoundTripCase {
    std::uint8_t format;
    std::uint16_t extraBytes;
};

std::ostream& operator<<(std::ostream& stream, const RoundTripCase& value) {
    return stream << "format " << int{value.format} << " with " << value.extraBytes << " extra bytes";
}

// The layered items of formats 6 to 10, all version 3.
LazDescription layeredDescriptionFor(const RoundTripCase& value, std::uint32_t chunkSize) {
    LazDescription description;
    description.compressor = Las::Laz::Compressor::LayeredChunked;
    description.chunkSize = chunkSize;
    description.items.push_back({ItemType::Point14, 30, 3});
    if (value.format == 7) {
        description.items.push_back({ItemType::Rgb14, 6, 3});
    } else if (value.format == 8 || value.format == 10) {
        description.items.push_back({ItemType::RgbNir14, 8, 3});
    }
    if (value.format >= 9) {
        description.items.push_back({ItemType::WavePacket14, 29, 3});
    }
    if (value.extraBytes > 0) {
        description.items.push_back({ItemType::Byte14, value.extraBytes, 3});
    }
    return description;
}

LazDescription descriptionFor(const RoundTripCase& value, std::uint32_t chunkSize) {
    if (value.format >= 6) {
        return layeredDescriptionFor(value, chunkSize);
    }
    LazDescription description;
    description.compressor = Las::Laz::Compressor::PointWiseChunked;
    description.chunkSize = chunkSize;
    description.items.push_back({ItemType::Point10, 20, 2});
    if (value.format == 1 || value.format >= 3) {
        description.items.push_back({ItemType::GpsTime11, 8, 2});
    }
    if (value.format == 2 || value.format == 3 || value.format == 5) {
        description.items.push_back({ItemType::Rgb12, 6, 2});
    }
    if (value.format >= 4) {
        description.items.push_back({ItemType::WavePacket13, 29, 1});
    }
    if (value.extraBytes > 0) {
        description.items.push_back({ItemType::Byte, value.extraBytes, 2});
    }
    return description;
}

std::uint16_t recordLengthOf(const LazDescription& description) {
    std::uint16_t length = 0;
    for (const Las::Laz::LazItem& item : description.items) {
        length = static_cast<std::uint16_t>(length + item.size);
    }
    return length;
}

// Records that reach every branch of the items: runs of equal and slowly changing fields, jumps to
// the ends of each field's range, grey and coloured points, and GPS times in interleaved sequences
// with differences beyond 32 bits, some of them NaN, at byte `timeAt`. In formats 6 to 10 the random
// flags bytes move the points between scanner channels, new and known.
Bytes randomRecords(std::size_t count, std::size_t length, std::size_t timeAt, std::mt19937& random) {
    Bytes records(count * length);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> percent(0, 99);
    const std::uint64_t sequences[] = {0x41D0000000000000u, 0x41E0000000000000u, 0xC1D0000000000000u, 1u};
    std::uint64_t time = sequences[0];
    for (std::size_t point = 0; point < count; ++point) {
        std::uint8_t* record = records.data() + point * length;
        if (point > 0) {
            std::memcpy(record, record - length, length);
        }
        for (std::size_t at = 0; at < length; ++at) {
            const int chance = percent(random);
            if (chance < 8) {
                record[at] = static_cast<std::uint8_t>(byte(random));
            } else if (chance < 12) {
                record[at] = static_cast<std::uint8_t>(record[at] + 1);
            } else if (chance < 13) {
                record[at] = chance % 2 == 0 ? 0 : 0xFF;
            }
        }
        const int timeChance = percent(random);
        if (timeChance < 10) {
            time = sequences[static_cast<std::size_t>(timeChance) % 4] +
                   static_cast<std::uint64_t>(byte(random));
        } else if (timeChance < 70) {
            time += static_cast<std::uint64_t>(timeChance < 40 ? 1000 : byte(random) * (timeChance - 38));
        } else if (timeChance < 72) {
            time -= 2000;
        }
        if (length >= timeAt + sizeof time) {
            std::memcpy(record + timeAt, &time, sizeof time);
        }
    }
    return records;
}

class LazEncoderRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(LazEncoderRoundTripTest, DecodesToTheRecordsEncoded) {
    const LazDescription description = descriptionFor(GetParam(), 700);
    const std::uint16_t recordLength = recordLengthOf(description);
    std::mt19937 random(GetParam().format * 31u + GetParam().extraBytes);
    const Bytes records = randomRecords(2000, recordLength, GetParam().format >= 6 ? 22 : 20, random);

    const ChunkEncoder encoder(description, recordLength);
    for (const std::size_t points : {std::size_t{1}, std::size_t{2}, std::size_t{2000}}) {
        const Bytes chunk = encoder.encode(records.data(), points);
        Bytes decoded;
        const std::size_t used =
            Las::Laz::decodeChunk(Las::Laz::DecoderBuild::Portable, description, recordLength, chunk.data(),
                                  chunk.size(), points, decoded);
        EXPECT_EQ(used, chunk.size()) << points << " points";
        EXPECT_EQ(decoded, slice(records, 0, points * recordLength)) << points << " points";
    }
}

INSTANTIATE_TEST_SUITE_P(FormatsZeroToFive, LazEncoderRoundTripTest,
                         testing::Values(RoundTripCase{0, 0}, RoundTripCase{1, 0}, RoundTripCase{2, 0},
                                         RoundTripCase{3, 0}, RoundTripCase{3, 5}, RoundTripCase{4, 0},
                                         RoundTripCase{5, 3}));

INSTANTIATE_TEST_SUITE_P(FormatsSixToTen, LazEncoderRoundTripTest,
                         testing::Values(RoundTripCase{6, 0}, RoundTripCase{6, 3}, RoundTripCase{7, 0},
                                         RoundTripCase{8, 2}, RoundTripCase{9, 0}, RoundTripCase{10, 1}));

TEST(LazEncoderPointBlockTest, WritesTheTableOffsetThenChunksOfTheChunkSize) {
    const RoundTripCase format1{1, 0};
    const LazDescription description = descriptionFor(format1, 700);
    const std::uint16_t recordLength = recordLengthOf(description);
    std::mt19937 random(7);
    const Bytes records = randomRecords(1500, recordLength, 20, random);
    const ChunkEncoder encoder(description, recordLength);
    const Bytes first = encoder.encode(records.data(), 700);
    const Bytes second = encoder.encode(records.data() + std::size_t{700} * recordLength, 700);
    const Bytes third = encoder.encode(records.data() + std::size_t{1400} * recordLength, 100);

    const Bytes block = Las::Laz::encodePointBlock(description, recordLength, records.data(), 1500, 1000);
    Bytes expected(8);
    const auto tableOffset =
        static_cast<std::int64_t>(1000 + 8 + first.size() + second.size() + third.size());
    std::memcpy(expected.data(), &tableOffset, sizeof tableOffset);
    for (const Bytes* chunk : {&first, &second, &third}) {
        expected.insert(expected.end(), chunk->begin(), chunk->end());
    }
    const Bytes table = Las::Laz::encodeChunkTable({{700, static_cast<std::uint32_t>(first.size())},
                                                    {700, static_cast<std::uint32_t>(second.size())},
                                                    {100, static_cast<std::uint32_t>(third.size())}},
                                                   false);
    expected.insert(expected.end(), table.begin(), table.end());
    EXPECT_EQ(block, expected);
    EXPECT_EQ(slice(table, 0, 8), (Bytes{0, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(LazEncoderPointBlockTest, StatesThePointCountOfVariableChunksBeforeTheirBytes) {
    const std::vector<Las::Laz::ChunkSize> chunks{{10, 400}, {25, 900}, {3, 0x7FFFFFFF}};
    const Bytes table = Las::Laz::encodeChunkTable(chunks, true);
    ASSERT_EQ(slice(table, 0, 8), (Bytes{0, 0, 0, 0, 3, 0, 0, 0}));
    Las::Laz::ArithmeticDecoder decoder;
    decoder.start(table.data() + 8, table.data() + table.size());
    Las::Laz::IntegerDecoder integers(32, 2);
    std::int32_t points = 0;
    std::int32_t bytes = 0;
    for (const Las::Laz::ChunkSize& chunk : chunks) {
        points = integers.decode(decoder, points, 0);
        bytes = integers.decode(decoder, bytes, 1);
        EXPECT_EQ(static_cast<std::uint32_t>(points), chunk.points);
        EXPECT_EQ(static_cast<std::uint32_t>(bytes), chunk.bytes);
    }
    EXPECT_EQ(decoder.overrun(), 0u);
    EXPECT_EQ(Las::Laz::encodeChunkTable({}, false), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LazEncoderPointBlockTest, StatesTheLayeredPointCountAndLayerSizesAfterTheFirstRecord) {
    // Three equal points but for a changing intensity: the returns, coordinates and heights layers are
    // always written, the intensity layer because it changed, every other layer without bytes.
    const LazDescription description = descriptionFor({7, 1}, 50000);
    Bytes records(3 * std::size_t{37}, 0);
    for (std::uint8_t point = 0; point < 3; ++point) {
        records[point * std::size_t{37} + 12] = point;
    }
    const Bytes chunk = ChunkEncoder(description, 37).encode(records.data(), 3);

    ASSERT_GE(chunk.size(), std::size_t{37 + 4 + 4 * 11});
    EXPECT_EQ(slice(chunk, 0, 37), slice(records, 0, 37));
    std::uint32_t stated[12] = {};
    std::memcpy(stated, chunk.data() + 37, sizeof stated);
    EXPECT_EQ(stated[0], 3u);
    std::uint64_t total = 37 + sizeof stated;
    for (std::size_t layer = 1; layer < 12; ++layer) {
        const bool written = layer == 1 || layer == 2 || layer == 5;
        EXPECT_EQ(stated[layer] > 0, written) << "layer " << layer - 1;
        total += stated[layer];
    }
    EXPECT_EQ(total, chunk.size());
}

TEST(LazEncoderPointBlockTest, RefusesItemsItDoesNotWrite) {
    LazDescription description = descriptionFor({1, 0}, 50000);
    description.items[1].version = 1;
    EXPECT_THROW(ChunkEncoder(description, 28), std::invalid_argument);
    EXPECT_THROW(ChunkEncoder(descriptionFor({1, 0}, 50000), 30), std::invalid_argument);
    LazDescription unchunked = descriptionFor({1, 0}, 50000);
    unchunked.compressor = Las::Laz::Compressor::PointWise;
    const Bytes record(28);
    EXPECT_THROW(Las::Laz::encodePointBlock(unchunked, 28, record.data(), 1, 0), std::invalid_argument);

    // Layered items need the layered compressor, POINT14 first and version 3 throughout.
    LazDescription layered = descriptionFor({7, 0}, 50000);
    EXPECT_NO_THROW(ChunkEncoder(layered, 36));
    std::swap(layered.items[0], layered.items[1]);
    EXPECT_THROW(ChunkEncoder(layered, 36), std::invalid_argument);
    layered = descriptionFor({7, 0}, 50000);
    layered.items[1].version = 2;
    EXPECT_THROW(ChunkEncoder(layered, 36), std::invalid_argument);
    layered = descriptionFor({7, 0}, 50000);
    layered.compressor = Las::Laz::Compressor::PointWiseChunked;
    EXPECT_THROW(ChunkEncoder(layered, 36), std::invalid_argument);
}

} // namespace
