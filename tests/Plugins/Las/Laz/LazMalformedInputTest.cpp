#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t offsetToPointData(const Bytes& bytes) {
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 96, sizeof(offset));
    return offset;
}

std::int64_t chunkTableOffset(const Bytes& bytes) {
    std::int64_t offset = 0;
    std::memcpy(&offset, bytes.data() + offsetToPointData(bytes), sizeof(offset));
    return offset;
}

struct MalformedLaz {
    const char* name;
    const char* file;
    void (*change)(Bytes&);
    /// The message after "<path>: ".
    const char* message;
};

std::ostream& operator<<(std::ostream& stream, const MalformedLaz& malformed) {
    return stream << malformed.name;
}

// Shared LAZ files, once changed, and the error that reading their points gives. 1.2-with-color.laz:
// format 3, one point-wise chunk at byte 343, its LAZ description at byte 281 (payload 335 - 18 = 317),
// chunk table at 18205. mvk-thin_chunk5000.laz: 2 chunks of 5000 points. autzen-bmx-2010_chunk100.laz:
// 9 layered chunks of 100 points, the first at byte 1378 (its layer sizes from byte 1378 + 36 +
// 4). 1.2-with-color.copc.laz: 65 chunks of variable size.
// clang-format off
const MalformedLaz CASES[] = {
    {"DescriptionOfAnotherFormat", "1.2-with-color.laz", [](Bytes& b) { b[104] = 0x81; },
     "LAZ description record (VLR 0 at byte 227) (POINT10 2, GPSTIME11 2, RGB12 2) does not match point format 1"},
    {"DescriptionOfOtherRecordLength", "1.2-with-color.laz", [](Bytes& b) { put<std::uint16_t>(b, 105, 36); },
     "LAZ description record (VLR 0 at byte 227) items (POINT10 2, GPSTIME11 2, RGB12 2) make records of 34 "
     "bytes, not the 36 of the header"},
    {"UnknownCompressor", "1.2-with-color.laz", [](Bytes& b) { put<std::uint16_t>(b, 281, 7); },
     "LAZ description record (VLR 0 at byte 227) names compressor 7, not 1, 2 or 3"},
    {"ItemVersionUnknown", "1.2-with-color.laz", [](Bytes& b) { put<std::uint16_t>(b, 281 + 34 + 4, 5); },
     "LAZ description record (VLR 0 at byte 227) item POINT10 5 is not a version this reader decodes"},
    {"ChunkTableBeyondTheEnd", "1.2-with-color.laz",
     [](Bytes& b) { put<std::int64_t>(b, offsetToPointData(b), static_cast<std::int64_t>(b.size()) + 100); },
     "chunk table at byte 18319 (stated at byte 335) lies beyond the end of the file (18219 bytes)"},
    {"ChunkTableBeforeTheChunks", "1.2-with-color.laz", [](Bytes& b) { put<std::int64_t>(b, offsetToPointData(b), 100); },
     "chunk table at byte 100 (stated at byte 335) lies before the first chunk (byte 343)"},
    {"ChunkTableOfUnknownVersion", "1.2-with-color.laz",
     [](Bytes& b) { put<std::uint32_t>(b, static_cast<std::size_t>(chunkTableOffset(b)), 3); },
     "chunk table at byte 18205 (stated at byte 335) has version 3, not 0"},
    {"ChunkTableWithMoreChunksThanBytes", "1.2-with-color.laz",
     [](Bytes& b) { put<std::uint32_t>(b, static_cast<std::size_t>(chunkTableOffset(b)) + 4, 1000000); },
     "chunk table at byte 18205 (stated at byte 335) lists 1000000 chunks, more than the 17862 bytes before it "
     "can hold"},
    {"ChunkTableCutShort", "mvk-thin_chunk5000.laz", [](Bytes& b) { b.resize(static_cast<std::size_t>(chunkTableOffset(b)) + 9); },
     "chunk table at byte 87449 (stated at byte 3414) is truncated: the file ends in the entry of chunk 0 of 2"},
    {"ChunkPastTheChunkTable", "mvk-thin_chunk5000.laz",
     [](Bytes& b) {
         const auto table = static_cast<std::size_t>(chunkTableOffset(b));
         b.erase(b.begin() + 60000, b.begin() + 61000);
         put<std::int64_t>(b, offsetToPointData(b), static_cast<std::int64_t>(table - 1000));
     },
     "chunk table at byte 86449 (stated at byte 3414): chunk 1 of 2 (byte 69558) of 17891 bytes runs past the "
     "chunk table"},
    {"MorePointsThanTheChunksHold", "mvk-thin_chunk5000.laz", [](Bytes& b) { put<std::uint32_t>(b, 107, 20000); },
     "the 2 chunks of the chunk table at byte 87449 (stated at byte 3414) hold 10000 points, fewer than the "
     "20000 that the header announces"},
    {"MorePointsThanVariableChunksHold", "1.2-with-color.copc.laz",
     [](Bytes& b) { put<std::uint32_t>(b, 107, 1066); put<std::uint64_t>(b, 247, 1066); },
     "the 65 chunks of the chunk table at byte 31408 (stated at byte 1709) hold 1065 points, fewer than the "
     "1066 that the header announces"},
    {"MorePointsThanTheChunkBytesHold", "1.2-with-color.laz", [](Bytes& b) { put<std::uint32_t>(b, 107, 1500); },
     "chunk 0 of 1 at byte 343 is truncated: its 17862 bytes end before its 1500 records (at byte 18205)"},
    {"LayerSizesPastTheChunk", "autzen-bmx-2010_chunk100.laz", [](Bytes& b) { put<std::uint32_t>(b, 1378 + 36 + 4 + 8, 70000); },
     "chunk 0 of 9 at byte 1378 is truncated: its 1538 bytes do not hold the 71538 bytes that its layers state "
     "(at byte 2916)"},
    {"TruncatedChunkWithoutTable", "mvk-thin_chunk5000.laz",
     [](Bytes& b) { put<std::int64_t>(b, offsetToPointData(b), 0); b.resize(70000); },
     "chunk 1 (byte 69558) is truncated: its 442 bytes end before its 1280 records (at byte 70000)"},
    {"TruncatedLayeredChunkWithoutTable", "autzen-bmx-2010_chunk100.laz",
     [](Bytes& b) { put<std::int64_t>(b, offsetToPointData(b), -1); b.resize(5000); },
     "chunk 2 (byte 4538) is truncated or states no points"},
};
// clang-format on

class LazMalformedInput : public ::testing::TestWithParam<MalformedLaz> {};

TEST_P(LazMalformedInput, NamesTheFileAndWhereItIsWrong) {
    const MalformedLaz& malformed = GetParam();
    TemporaryFolder folder;
    const std::filesystem::path path = folder / "input.laz";
    Bytes bytes = readBytes(std::filesystem::path(LAZ_SAMPLE_DIR) / malformed.file);
    malformed.change(bytes);
    writeBytes(path, bytes);
    // The same message whether the chunks are decoded on the reader's thread or ahead of it.
    for (const std::size_t threads : {std::size_t{1}, std::size_t{2}}) {
        EXPECT_EQ(ioErrorOf([&path, threads] {
                      Las::LasReader reader({path});
                      reader.setThreads(threads);
                      reader.nextLeg();
                      Las::LasPoint point;
                      while (reader.hasMorePoints()) {
                          reader.readPoint(point);
                      }
                  }),
                  path.string() + ": " + malformed.message)
            << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(SampleFilesChanged, LazMalformedInput, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<MalformedLaz>& param) {
                             return param.param.name;
                         });

} // namespace
