#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LazChunkCache.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace Orvid::Testing::Las {
namespace {

using FileIoInterface::Las::LasPoint;
using FileIoInterface::Las::LasReader;
using FileIoInterface::Las::PointRecords;

std::uint64_t bitsOf(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

void expectSamePoint(const LasPoint& expected, const LasPoint& actual) {
    EXPECT_EQ(bitsOf(expected.getTime()), bitsOf(actual.getTime()));
    EXPECT_EQ(expected.getX(), actual.getX());
    EXPECT_EQ(expected.getY(), actual.getY());
    EXPECT_EQ(expected.getZ(), actual.getZ());
    EXPECT_EQ(expected.getReturnNumber(), actual.getReturnNumber());
    EXPECT_EQ(expected.getNbReturns(), actual.getNbReturns());
    EXPECT_EQ(expected.getRawIntensity(), actual.getRawIntensity());
    EXPECT_EQ(expected.getClassification(), actual.getClassification());
    EXPECT_EQ(expected.getClassificationFlags().mask(), actual.getClassificationFlags().mask());
    EXPECT_EQ(expected.getScannerChannel(), actual.getScannerChannel());
    EXPECT_EQ(expected.getScanDirection(), actual.getScanDirection());
    EXPECT_EQ(expected.getEdgeOfFlightLine(), actual.getEdgeOfFlightLine());
    EXPECT_EQ(expected.getUserData(), actual.getUserData());
    EXPECT_EQ(expected.getScanAngleMillidegrees(), actual.getScanAngleMillidegrees());
    EXPECT_EQ(expected.getSourceId(), actual.getSourceId());
    EXPECT_EQ(expected.getColor(), actual.getColor());
    EXPECT_EQ(expected.getNir(), actual.getNir());
    EXPECT_EQ(expected.getWavePacket() != nullptr, actual.getWavePacket() != nullptr);
    EXPECT_EQ(expected.getSourcePointFormat(), actual.getSourcePointFormat());
    ASSERT_EQ(expected.values.size(), actual.values.size());
    for (std::size_t index = 0; index < expected.values.size(); ++index) {
        EXPECT_EQ(expected.values[index].index(), actual.values[index].index());
    }
}

class PointRecordsSampleTest : public testing::TestWithParam<const char*> {};

// Every record, visited backwards through one reused point, reads as the sequential reader reads it,
// and the key fields read from the bytes are the decoded point's.
TEST_P(PointRecordsSampleTest, DecodesEveryRecordAsTheReaderDoes) {
    const std::filesystem::path path = sampleFile(GetParam());
    const PointRecords records(path);
    LasReader reader({path});
    reader.nextLeg();
    ASSERT_EQ(records.size(), reader.numberOfPointsInLeg());
    EXPECT_EQ(records.header().pointFormat, reader.header(0).pointFormat);
    EXPECT_EQ(records.recordLength(), reader.header(0).pointRecordLength);
    std::vector<LasPoint> expected(static_cast<std::size_t>(records.size()));
    for (LasPoint& point : expected) {
        reader.readPoint(point);
    }
    PointRecords::Cursor cursor(records);
    LasPoint point;
    for (std::uint64_t index = records.size(); index-- > 0;) {
        SCOPED_TRACE("record " + std::to_string(index));
        const std::uint8_t* record = cursor.record(index);
        records.decodeAt(record, point);
        const LasPoint& wanted = expected[static_cast<std::size_t>(index)];
        expectSamePoint(wanted, point);
        EXPECT_EQ(bitsOf(records.gpsTimeAt(record)), bitsOf(wanted.getTime()));
        EXPECT_EQ(records.returnNumberAt(record), wanted.getReturnNumber());
        EXPECT_EQ(records.scannerChannelAt(record), wanted.getScannerChannel());
        EXPECT_EQ(records.xyAt(record), (std::array<double, 2>{wanted.getX(), wanted.getY()}));
        if (HasFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SampleFiles, PointRecordsSampleTest,
                         testing::Values("1.0_1.las", "1.2-with-color.las", "1.2_2.las", "5points_14.las",
                                         "autzen-bmx-2010.las", "extrabytes.las", "gps-time-nan.las",
                                         "mvk-thin.las", "synthetic_eb_all_types_pf8.las", "test1_4.las"),
                         [](const testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             for (char& character : name) {
                                 character =
                                     std::isalnum(static_cast<unsigned char>(character)) ? character : '_';
                             }
                             return name;
                         });

TEST(PointRecords, ReadsByPositionWithTheSameAnswersAsThroughACursor) {
    const PointRecords records(sampleFile("test1_4.las"));
    PointRecords::Cursor cursor(records);
    LasPoint fromCursor;
    LasPoint byIndex;
    for (const std::uint64_t index : {std::uint64_t{0}, records.size() / 2, records.size() - 1}) {
        records.decodeAt(cursor.record(index), fromCursor);
        records.decode(index, byIndex);
        expectSamePoint(fromCursor, byIndex);
        EXPECT_EQ(records.gpsTime(index), fromCursor.getTime());
        EXPECT_EQ(records.returnNumber(index), fromCursor.getReturnNumber());
        EXPECT_EQ(records.scannerChannel(index), fromCursor.getScannerChannel());
    }
    const std::string path = sampleFile("test1_4.las").string();
    const std::string count = std::to_string(records.size());
    EXPECT_EQ(ioErrorOf([&] { records.decode(records.size(), byIndex); }),
              path + ": no point record " + count + " (the file holds " + count + ")");
}

// A LAZ file of 9 chunks decodes on the threads asked for, none when 1 is, and tells of every chunk.
TEST(PointRecords, DecodesLazOnTheThreadsAskedForAndReportsEachChunk) {
    const std::filesystem::path path = std::filesystem::path(LAZ_SAMPLE_DIR) / "autzen-bmx-2010_chunk100.laz";
    for (const unsigned threads : {1U, 3U}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const std::size_t before = threadsNow();
        std::size_t most = 0;
        std::vector<std::uint64_t> chunks;
        FileIoInterface::Las::PointRecordsOptions options;
        options.decodingThreads = threads;
        options.decoded = [&](std::uint64_t points) {
            chunks.push_back(points);
            most = std::max(most, threadsNow());
        };
        const PointRecords records(path, options);
        EXPECT_EQ(records.size(), 829u);
        EXPECT_EQ(chunks, (std::vector<std::uint64_t>{100, 100, 100, 100, 100, 100, 100, 100, 29}));
        if (threads == 1) {
            EXPECT_EQ(most, before);
        } else {
            EXPECT_GT(most, before);
            EXPECT_LE(most, before + threads);
        }
    }
}

// Decoded into memory, a LAZ file's records are those decoded into the temporary folder, which it
// then does not need.
TEST(PointRecords, DecodesLazIntoMemoryWithoutTheTemporaryFolder) {
    const std::filesystem::path path = std::filesystem::path(LAZ_SAMPLE_DIR) / "autzen-bmx-2010_chunk100.laz";
    const PointRecords inFolder(path);
    const std::size_t bytes = inFolder.size() * inFolder.recordLength();
    const std::vector<std::uint8_t> expected(inFolder.contiguousRecords(),
                                             inFolder.contiguousRecords() + bytes);

    const TemporaryFolder folder;
    const char* previous = std::getenv("TMPDIR");
    const std::string restore = previous != nullptr ? previous : "";
    ::setenv("TMPDIR", (folder / "missing").c_str(), 1);
    FileIoInterface::Las::PointRecordsOptions options;
    options.decodeIntoMemory = true;
    const PointRecords inMemory(path, options);
    const std::string refused = ioErrorOf([&] { PointRecords records(path); });
    previous != nullptr ? ::setenv("TMPDIR", restore.c_str(), 1) : ::unsetenv("TMPDIR");

    ASSERT_NE(inMemory.contiguousRecords(), nullptr);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), inMemory.contiguousRecords()));
    EXPECT_EQ(refused.rfind(path.string() + ": cannot keep its decoded records", 0), 0u) << refused;
}

TEST(PointRecords, RefusesWhatIsNotARegularFileAndWhatIsNotThere) {
    const TemporaryFolder folder;
    const std::filesystem::path fifo = folder / "points.las";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ioErrorOf([&] { PointRecords records(folder.path); }),
              folder.path.string() + ": is not a regular file: its records cannot be mapped");
    EXPECT_EQ(ioErrorOf([&] { PointRecords records(fifo); }),
              fifo.string() + ": is not a regular file: its records cannot be mapped");
    const std::filesystem::path missing = folder / "missing.las";
    EXPECT_EQ(ioErrorOf([&] { PointRecords records(missing); }).rfind(missing.string() + ": cannot open", 0),
              0u);
}

TEST(PointRecords, RefusesAFileWithFewerRecordsThanItsHeaderAnnounces) {
    const TemporaryFolder folder;
    std::vector<std::uint8_t> bytes = craftLas(4, 7, 3);
    bytes.resize(bytes.size() - 1);
    writeBytes(folder / "short.las", bytes);
    EXPECT_EQ(
        ioErrorOf([&] { PointRecords records(folder / "short.las"); })
            .rfind((folder / "short.las").string() + ": header announces 3 points but the file holds only 2",
                   0),
        0u);
}

TEST(PointRecords, MapsAnEmptyFileWithoutRecords) {
    const TemporaryFolder folder;
    writeBytes(folder / "empty.las", craftLas(4, 6, 0));
    const PointRecords records(folder / "empty.las");
    EXPECT_EQ(records.size(), 0u);
    LasPoint point;
    EXPECT_EQ(ioErrorOf([&] { records.decode(0, point); }),
              (folder / "empty.las").string() + ": no point record 0 (the file holds 0)");
}

// Read chunk by chunk, a LAZ file (point-wise chunks of 100 points, and layered chunks of format 6)
// gives the records decoded whole, block by block and from the first records of a block alone.
TEST(PointRecords, ReadsALazFileChunkByChunkAsDecodedWhole) {
    for (const char* name : {"autzen-bmx-2010_chunk100.laz", "synthetic_pf6_300k.laz"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = std::filesystem::path(LAZ_SAMPLE_DIR) / name;
        const PointRecords whole(path);
        FileIoInterface::Las::PointRecordsOptions byChunk;
        byChunk.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
        const PointRecords chunks(path, byChunk);
        ASSERT_EQ(chunks.size(), whole.size());
        ASSERT_GT(chunks.blockCount(), 1u);
        EXPECT_EQ(whole.blockCount(), 1u);
        const std::size_t length = whole.recordLength();
        PointRecords::Cursor wholeCursor(whole);
        PointRecords::Cursor chunkCursor(chunks);
        for (std::uint64_t index = 0; index < whole.size(); ++index) {
            ASSERT_EQ(std::memcmp(wholeCursor.record(index), chunkCursor.record(index), length), 0) << index;
        }
        std::vector<std::uint8_t> scratch;
        for (std::size_t block = 0; block < chunks.blockCount(); ++block) {
            const std::uint64_t first = chunks.blockStart(block);
            const std::uint8_t* head = chunks.blockHead(block, 3, scratch);
            EXPECT_EQ(scratch.size(), 3 * length);
            for (std::uint64_t index = 0; index < 3; ++index) {
                EXPECT_EQ(std::memcmp(head + index * length, wholeCursor.record(first + index), length), 0)
                    << "block " << block << ", record " << index;
            }
        }
    }
}

// Through a shared cache of decoded chunks, two files read chunk by chunk on several threads give
// the records decoded whole; each chunk is decoded once while the cache holds every chunk, and again
// only when it was dropped as the least recently read.
TEST(PointRecords, ReadsLazChunksThroughACacheSharedByFilesAndThreads) {
    const std::filesystem::path path = std::filesystem::path(LAZ_SAMPLE_DIR) / "autzen-bmx-2010_chunk100.laz";
    const PointRecords whole(path);
    const std::size_t length = whole.recordLength();
    for (const std::size_t capacity : {std::size_t{18}, std::size_t{1}}) {
        SCOPED_TRACE(capacity);
        FileIoInterface::Las::PointRecordsOptions byChunk;
        byChunk.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
        byChunk.chunkCache = std::make_shared<FileIoInterface::Las::LazChunkCache>(capacity);
        const PointRecords first(path, byChunk);
        const PointRecords second(path, byChunk);
        const std::size_t chunks = first.blockCount();
        ASSERT_EQ(chunks, 9u);
        const auto readAll = [&](const PointRecords& records) {
            PointRecords::Cursor wholeCursor(whole);
            PointRecords::Cursor cursor(records);
            for (std::uint64_t index = 0; index < whole.size(); ++index) {
                ASSERT_EQ(std::memcmp(wholeCursor.record(index), cursor.record(index), length), 0) << index;
            }
        };
        std::thread other([&] { readAll(first); });
        readAll(first);
        other.join();
        readAll(second);
        // Both threads read `first` at once: a chunk that one decodes the other waits for, decoding the
        // next one meanwhile (with one chunk cached, either may decode a chunk again once the other
        // moved on); `second` is a file of its own.
        const std::uint64_t decoded = byChunk.chunkCache->decodedChunks();
        if (capacity >= 2 * chunks) {
            EXPECT_EQ(decoded, 2 * chunks);
        } else {
            EXPECT_GE(decoded, 2 * chunks);
            EXPECT_LE(decoded, 5 * chunks);
        }
        // Read backwards through one cache slot, every chunk but the last one read is decoded anew.
        const std::uint64_t before = byChunk.chunkCache->decodedChunks();
        PointRecords::Cursor cursor(second);
        for (std::uint64_t index = whole.size(); index-- > 0;) {
            cursor.record(index);
        }
        EXPECT_EQ(byChunk.chunkCache->decodedChunks() - before, capacity == 1 ? chunks - 1 : 0u);
        // The first chunk, which the cursor holds, stays readable through it once dropped from the
        // cache, without decoding, until the cursor lets go of it.
        PointRecords::Cursor(second).record(whole.size() - 1);
        const std::uint64_t held = byChunk.chunkCache->decodedChunks();
        cursor.record(0);
        EXPECT_EQ(byChunk.chunkCache->decodedChunks(), held);
        cursor.release();
        PointRecords::Cursor wholeCursor(whole);
        EXPECT_EQ(std::memcmp(cursor.record(0), wholeCursor.record(0), length), 0);
        EXPECT_EQ(byChunk.chunkCache->decodedChunks() - held, capacity == 1 ? 1u : 0u);
    }
}

// Records kept as raw runs (here out of a file of their own, a gap between them) read under the header
// of the file they came from, by position across runs, as that file's records; a record of a mapped
// run lies in place, and a run shorter than its records is refused, naming its file.
TEST(PointRecords, ReadsRecordsFromRawRunsUnderTheirFilesHeader) {
    const TemporaryFolder folder;
    const std::filesystem::path path = sampleFile("test1_4.las");
    const PointRecords whole(path);
    ASSERT_GE(whole.size(), 4U);
    const std::size_t length = whole.recordLength();
    const std::uint64_t split = whole.size() / 2;
    // The second half of the records, a gap of 3 bytes, then the first half.
    const std::filesystem::path runs = folder / "runs.records";
    {
        std::ofstream out(runs, std::ios::binary);
        PointRecords::Cursor cursor(whole);
        const auto write = [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t index = begin; index < end; ++index) {
                out.write(reinterpret_cast<const char*>(cursor.record(index)),
                          static_cast<std::streamsize>(length));
            }
        };
        write(split, whole.size());
        out << "gap";
        write(0, split);
    }
    const std::uint64_t secondHalf = whole.size() - split;
    const PointRecords parts(path,
                             {{runs, secondHalf * length + 3, split}, {runs, 0, 0}, {runs, 0, secondHalf}});
    ASSERT_EQ(parts.size(), whole.size());
    EXPECT_EQ(parts.blockCount(), 2U);
    LasPoint expected;
    LasPoint actual;
    for (std::uint64_t index = 0; index < whole.size(); ++index) {
        whole.decode(index, expected);
        parts.decode(index, actual);
        expectSamePoint(expected, actual);
    }
    PointRecords::Cursor cursor(parts);
    EXPECT_EQ(parts.recordInPlace(split + 1), cursor.record(split + 1));
    EXPECT_EQ(parts.recordInPlace(0), cursor.record(0));

    EXPECT_EQ(ioErrorOf([&] {
                  PointRecords tooShort(path, {{runs, 0, whole.size() + 1}});
              }).rfind(runs.string() + ": ", 0),
              0U);
}

} // namespace
} // namespace Orvid::Testing::Las
