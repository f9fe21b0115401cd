#include "LasTestSupport.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Orvid::FileIoInterface;
using namespace Orvid::Testing::Las;
using Bytes = std::vector<std::uint8_t>;

struct Malformed {
    const char* name;
    std::uint8_t minor;
    std::uint8_t format;
    std::uint32_t points;
    void (*change)(Bytes&);
    const char* message;
};

// A crafted LAS 1.<minor> file of the format with that many points, once changed: the error it gives.
// clang-format off
const Malformed CASES[] = {
    {"Empty", 2, 1, 0, [](Bytes& b) { b.clear(); }, "not a LAS file (0 bytes)"},
    {"NotLasSignature", 2, 1, 0, [](Bytes& b) { std::memcpy(b.data(), "PK\3\4", 4); },
     "not a LAS file (signature 'PK\\x03\\x04')"},
    {"ShorterThanAnyHeader", 2, 1, 0, [](Bytes& b) { b.resize(100); },
     "truncated header (100 bytes, a LAS header has at least 227)"},
    {"ShorterThanItsHeaderSize", 4, 6, 0, [](Bytes& b) { b.resize(300); },
     "truncated header (header size 375, file has 300 bytes)"},
    {"UnknownVersion", 2, 1, 0, [](Bytes& b) { b[24] = 2; b[25] = 0; },
     "unsupported LAS version 2.0 (byte 24)"},
    {"UnknownPointFormat", 4, 6, 0, [](Bytes& b) { b[104] = 11; }, "unsupported point format 11 (byte 104)"},
    {"CompressedPointData", 4, 6, 0, [](Bytes& b) { b[104] = 0x86; },
     "compressed point data (point format byte 0x86 at byte 104) without a LAZ description record ('laszip "
     "encoded' 22204) among its 0 VLRs"},
    {"HeaderSizeTooSmall", 2, 1, 0, [](Bytes& b) { put<std::uint16_t>(b, 94, 200); },
     "header size 200 (byte 94) is smaller than the 227 bytes of a LAS header"},
    {"PointDataInsideHeader", 2, 1, 0, [](Bytes& b) { put<std::uint32_t>(b, 96, 100); },
     "offset to point data 100 (byte 96) lies inside the header (227 bytes)"},
    {"PointDataBeyondEnd", 2, 1, 0, [](Bytes& b) { put<std::uint32_t>(b, 96, 5000); },
     "offset to point data 5000 (byte 96) lies beyond the end of the file (227 bytes)"},
    {"VlrCountBeyondPointData", 2, 1, 0, [](Bytes& b) { put<std::uint32_t>(b, 100, 1); },
     "VLR 0 at byte 227 runs past the offset to point data (227; 1 VLRs announced)"},
    {"VlrPayloadBeyondPointData", 2, 1, 0,
     [](Bytes& b) { addVlr(b, "LASF_Spec", 3, Bytes(10)); put<std::uint16_t>(b, 227 + 20, 500); },
     "VLR 0 at byte 227 ('LASF_Spec' 3, 54 + 500 bytes) runs past the offset to point data (291)"},
    {"LegacyCountBeyondFile", 2, 1, 3, [](Bytes& b) { put<std::uint32_t>(b, 107, 4000000000U); },
     "header announces 4000000000 points but the file holds only 3 (84 bytes from byte 227, 28 per point)"},
    {"ExtendedCountBeyondFile", 4, 6, 2,
     [](Bytes& b) { put<std::uint32_t>(b, 107, 0); put<std::uint64_t>(b, 247, ~std::uint64_t{0}); },
     "header announces 18446744073709551615 points but the file holds only 2 (60 bytes from byte 375, 30 per "
     "point)"},
    {"PointsRunIntoTheExtendedVlrs", 4, 6, 2,
     [](Bytes& b) {
         put<std::uint64_t>(b, 235, appendEvlr(b, "LASF_Spec", 7, 0)); put<std::uint32_t>(b, 243, 1);
         put<std::uint32_t>(b, 107, 3); put<std::uint64_t>(b, 247, 3);
     },
     "header announces 3 points but the point data holds only 2 (60 bytes from byte 375 to the extended VLRs at "
     "byte 435, 30 per point)"},
    {"WaveformDataBeyondEnd", 3, 4, 0, [](Bytes& b) { put<std::uint64_t>(b, 227, 9000); },
     "start of waveform data 9000 (byte 227) lies beyond the end of the file (235 bytes)"},
    {"WaveformDataBeforePoints", 3, 4, 1, [](Bytes& b) { put<std::uint64_t>(b, 227, 100); },
     "start of waveform data 100 (byte 227) lies before the point data (byte 235)"},
    {"WaveformHeaderPastEnd", 3, 1, 1, [](Bytes& b) { b.resize(b.size() + 20); put<std::uint64_t>(b, 227, 263); },
     "waveform data record at byte 263 runs past the end of the file (283 bytes)"},
    {"WaveformPayloadPastEnd", 3, 1, 1,
     [](Bytes& b) { put<std::uint64_t>(b, 227, appendEvlr(b, "LASF_Spec", 65535, 1000, Bytes(999))); },
     "waveform data record at byte 263 ('LASF_Spec' 65535, 60 + 1000 bytes) runs past the end of the file "
     "(1322 bytes)"},
    {"FirstEvlrBeyondEnd", 4, 6, 0,
     [](Bytes& b) { put<std::uint64_t>(b, 235, 5000); put<std::uint32_t>(b, 243, 1); },
     "start of first EVLR 5000 (byte 235) lies beyond the end of the file (375 bytes)"},
    {"FirstEvlrInsideTheHeader", 4, 6, 0,
     [](Bytes& b) { put<std::uint64_t>(b, 235, 0); put<std::uint32_t>(b, 243, 1); },
     "start of first EVLR 0 (byte 235) lies before the point data (byte 375)"},
    {"EvlrCountBeyondEnd", 4, 6, 1,
     [](Bytes& b) { put<std::uint64_t>(b, 235, appendEvlr(b, "LASF_Spec", 7, 0)); put<std::uint32_t>(b, 243, 3); },
     "EVLR 1 at byte 465 runs past the end of the file (465 bytes; 3 EVLRs announced at byte 243)"},
    {"EvlrPayloadPastEnd", 4, 6, 1,
     [](Bytes& b) {
         put<std::uint64_t>(b, 235, appendEvlr(b, "LASF_Projection", 2112, ~std::uint64_t{0}, Bytes(8)));
         put<std::uint32_t>(b, 243, 1);
     },
     "EVLR 0 at byte 405 ('LASF_Projection' 2112, 60 + 18446744073709551615 bytes) runs past the end of the file "
     "(473 bytes)"},
    {"RecordShorterThanFormat", 2, 3, 1, [](Bytes& b) { put<std::uint16_t>(b, 105, 20); },
     "point record length 20 (byte 105) is shorter than point format 3 needs (34)"},
    {"NegativeXScale", 2, 1, 0, [](Bytes& b) { put<double>(b, 131, -0.01); },
     "X scale factor -0.01 (byte 131) is not a positive number from 1e-12 to 1e6"},
    {"ZeroYScale", 2, 1, 0, [](Bytes& b) { put<double>(b, 139, 0.0); },
     "Y scale factor 0 (byte 139) is not a positive number from 1e-12 to 1e6"},
    {"HugeZScale", 2, 1, 0, [](Bytes& b) { put<double>(b, 147, 1e300); },
     "Z scale factor 1e+300 (byte 147) is not a positive number from 1e-12 to 1e6"},
    {"NanZScale", 2, 1, 0, [](Bytes& b) { put<double>(b, 147, std::nan("")); },
     "Z scale factor nan (byte 147) is not a positive number from 1e-12 to 1e6"},
    {"InfiniteYOffset", 2, 1, 0,
     [](Bytes& b) { put<double>(b, 163, std::numeric_limits<double>::infinity()); },
     "Y offset inf (byte 163) is not finite"},
};
// clang-format on

class LasMalformedFile : public testing::TestWithParam<Malformed> {};

TEST_P(LasMalformedFile, IsRefusedWithTheFileAndTheProblem) {
    const TemporaryFolder folder;
    const std::filesystem::path path = folder / "input.las";
    const Malformed& malformed = GetParam();
    Bytes bytes = craftLas(malformed.minor, malformed.format, malformed.points);
    malformed.change(bytes);
    writeBytes(path, bytes);
    EXPECT_EQ(ioErrorOf([&path] { readPoints(path); }), path.string() + ": " + malformed.message);
}

INSTANTIATE_TEST_SUITE_P(Cases, LasMalformedFile, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<Malformed>& param) { return param.param.name; });

TEST(LasMalformedInput, AbsentAndShortenedFilesAreNamed) {
    TemporaryFolder folder;
    const std::filesystem::path path = folder / "input.las";
    EXPECT_THROW(Las::readLasHeader(folder / "absent.las"), Orvid::Core::IOException);

    // A file cut short after the header was read.
    writeBytes(path, craftLas(2, 1, 4));
    Las::LasReader reader({path});
    reader.nextLeg();
    std::filesystem::resize_file(path, 227 + 3 * 28);
    EXPECT_EQ(ioErrorOf([&reader] { reader.nextPoint(); }),
              path.string() + ": point data truncated at byte 311 (112 bytes from byte 227 expected)");
}

struct NotRegular {
    const char* name;
    /// Makes the input in `folder` and returns its path.
    std::filesystem::path (*make)(const std::filesystem::path& folder);
    const char* kind;
};

const NotRegular NOT_REGULAR[] = {
    {"Folder", [](const std::filesystem::path& folder) { return folder; }, "a directory"},
    {"CharacterDevice", [](const std::filesystem::path&) { return std::filesystem::path("/dev/zero"); },
     "a character device"},
    {"Fifo",
     [](const std::filesystem::path& folder) {
         std::filesystem::path fifo = folder / "pipe.las";
         EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
         return fifo;
     },
     "a FIFO"},
};

class LasNotRegularInput : public testing::TestWithParam<NotRegular> {};

TEST_P(LasNotRegularInput, IsRefusedBeforeItIsOpened) {
    const TemporaryFolder folder;
    const std::filesystem::path path = GetParam().make(folder.path);
    // Holding the FIFO open for writing keeps a reader that opened it anyway from blocking: the test
    // then fails on the message instead of hanging.
    const int writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    const std::string expected = path.string() + ": not a regular file (" + GetParam().kind + ")";
    EXPECT_EQ(ioErrorOf([&path] { Las::readLasHeader(path); }), expected);
    EXPECT_EQ(ioErrorOf([&path] { Las::LasReader reader({path}); }), expected);
    if (writer >= 0) {
        ::close(writer);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, LasNotRegularInput, testing::ValuesIn(NOT_REGULAR),
                         [](const testing::TestParamInfo<NotRegular>& param) { return param.param.name; });

// Oddities that real files show: readable, with every byte accounted for.
TEST(LasMalformedInput, TolerantCasesReadWithTheirPointsIntact) {
    TemporaryFolder folder;
    // Header longer than the standard, a gap after it, and records with two undescribed extra bytes.
    Bytes bytes = craftLas(2, 1, 2, 2);
    bytes.insert(bytes.begin() + 227, 13, 0xEE);
    put<std::uint16_t>(bytes, 94, 235);
    put<std::uint32_t>(bytes, 96, 240);
    bytes[240 + 28] = 7;
    bytes[240 + 29] = 9;
    put<std::int32_t>(bytes, 240 + 30, 12345);
    const std::filesystem::path path = folder / "odd.las";
    writeBytes(path, bytes);
    const std::vector<Attribute::Descriptor> undescribed(2);
    EXPECT_EQ(Las::readLasHeader(path).extraAttributes, undescribed);
    const auto points = readPoints(path);
    ASSERT_EQ(points.size(), 2U);
    EXPECT_EQ(points[0]->values, (std::vector<Attribute::Value>{std::uint8_t{7}, std::uint8_t{9}}));
    EXPECT_DOUBLE_EQ(points[1]->getX(), 123.45);

    // An extra-bytes record describing more bytes than a record has is ignored as a whole.
    Bytes described = craftLas(2, 1, 1, 2);
    Bytes descriptor(192, 0);
    descriptor[2] = 5; // uint32: four bytes, more than the two there are
    addVlr(described, "LASF_Spec", 4, descriptor);
    writeBytes(path, described);
    EXPECT_EQ(Las::readLasHeader(path).extraAttributes, undescribed);
}

} // namespace
