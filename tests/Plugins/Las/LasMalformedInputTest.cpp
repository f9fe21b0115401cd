#include "LasTestSupport.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace Orvid::FileIoInterface;
using Orvid::Testing::Las::craftLas;
using Orvid::Testing::Las::put;
using Orvid::Testing::Las::TemporaryFolder;
using Orvid::Testing::Las::writeBytes;

class LasMalformedInput : public testing::Test {
protected:
    /// The message of the IOException that reading `bytes` as a LAS file throws, without the path.
    std::string failureOf(const std::vector<std::uint8_t>& bytes) {
        const std::filesystem::path path = mFolder / "input.las";
        writeBytes(path, bytes);
        try {
            Las::LasReader reader({path});
            reader.nextLeg();
            while (reader.hasMorePoints()) {
                reader.nextPoint();
            }
        } catch (const Orvid::Core::IOException& error) {
            const std::string message = error.what();
            const std::string prefix = path.string() + ": ";
            EXPECT_EQ(message.rfind(prefix, 0), 0U) << message;
            return message.substr(prefix.size());
        }
        return "no exception";
    }

    TemporaryFolder mFolder;
};

TEST_F(LasMalformedInput, MissingFileNamesTheReason) {
    EXPECT_EQ(failureOf({}), "not a LAS file (0 bytes)");
    EXPECT_THROW(Las::readLasHeader(mFolder / "absent.las"), Orvid::Core::IOException);
}

TEST_F(LasMalformedInput, WrongSignatureShowsTheBytesFound) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    bytes[0] = 'P';
    bytes[1] = 'K';
    bytes[2] = 3;
    bytes[3] = 4;
    EXPECT_EQ(failureOf(bytes), "not a LAS file (signature 'PK\\x03\\x04')");
}

TEST_F(LasMalformedInput, TruncatedHeaderGivesBothSizes) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    bytes.resize(100);
    EXPECT_EQ(failureOf(bytes), "truncated header (100 bytes, a LAS header has at least 227)");

    bytes = craftLas(4, 6, 0);
    bytes.resize(300);
    EXPECT_EQ(failureOf(bytes), "truncated header (header size 375, file has 300 bytes)");
}

TEST_F(LasMalformedInput, UnsupportedVersionAndFormatsAreRefused) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    bytes[24] = 2;
    bytes[25] = 0;
    EXPECT_EQ(failureOf(bytes), "unsupported LAS version 2.0 (byte 24)");

    bytes = craftLas(4, 6, 0);
    bytes[104] = 11;
    EXPECT_EQ(failureOf(bytes), "unsupported point format 11 (byte 104)");

    bytes[104] = 0x86;
    EXPECT_EQ(failureOf(bytes),
              "compressed point data (point format byte 0x86 at byte 104) is not supported");
}

TEST_F(LasMalformedInput, HeaderSizeAndPointOffsetMustBeConsistent) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    put<std::uint16_t>(bytes, 94, 200);
    EXPECT_EQ(failureOf(bytes), "header size 200 (byte 94) is smaller than the 227 bytes of a LAS header");

    bytes = craftLas(2, 1, 0);
    put<std::uint32_t>(bytes, 96, 100);
    EXPECT_EQ(failureOf(bytes), "offset to point data 100 (byte 96) lies inside the header (227 bytes)");

    put<std::uint32_t>(bytes, 96, 5000);
    EXPECT_EQ(failureOf(bytes),
              "offset to point data 5000 (byte 96) lies beyond the end of the file (227 bytes)");
}

TEST_F(LasMalformedInput, VlrRunningPastThePointDataIsRefused) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    put<std::uint32_t>(bytes, 100, 1);
    EXPECT_EQ(failureOf(bytes),
              "VLR 0 at byte 227 runs past the offset to point data (227; 1 VLRs announced)");

    // A VLR header that fits, announcing a payload beyond the points' start.
    bytes.resize(227 + 54 + 10, 0);
    put<std::uint32_t>(bytes, 96, 227 + 54 + 10);
    std::memcpy(bytes.data() + 227 + 2, "LASF_Spec", 9);
    put<std::uint16_t>(bytes, 227 + 18, 3);
    put<std::uint16_t>(bytes, 227 + 20, 500);
    EXPECT_EQ(failureOf(bytes),
              "VLR 0 at byte 227 ('LASF_Spec' 3, 54 + 500 bytes) runs past the offset to point data (291)");
}

TEST_F(LasMalformedInput, MorePointsThanTheFileHoldsAreRefusedBeforeReading) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 3);
    put<std::uint32_t>(bytes, 107, 4000000000U);
    EXPECT_EQ(failureOf(bytes), "header announces 4000000000 points but the file holds only 3 (84 bytes from "
                                "byte 227, 28 per point)");

    bytes = craftLas(4, 6, 2);
    put<std::uint32_t>(bytes, 107, 0);
    put<std::uint64_t>(bytes, 247, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(failureOf(bytes),
              "header announces 18446744073709551615 points but the file holds only 2 (60 bytes "
              "from byte 375, 30 per point)");
}

TEST_F(LasMalformedInput, RecordShorterThanTheFormatIsRefused) {
    std::vector<std::uint8_t> bytes = craftLas(2, 3, 1);
    put<std::uint16_t>(bytes, 105, 20);
    EXPECT_EQ(failureOf(bytes),
              "point record length 20 (byte 105) is shorter than point format 3 needs (34)");
}

TEST_F(LasMalformedInput, NegativeZeroOrAbsurdScalesAndInfiniteOffsetsAreRefused) {
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 0);
    put<double>(bytes, 131, -0.01);
    EXPECT_EQ(failureOf(bytes), "X scale factor -0.01 (byte 131) is not a positive number from 1e-12 to 1e6");
    put<double>(bytes, 131, 0.01);
    put<double>(bytes, 139, 0.0);
    EXPECT_EQ(failureOf(bytes), "Y scale factor 0 (byte 139) is not a positive number from 1e-12 to 1e6");
    put<double>(bytes, 139, 0.01);
    put<double>(bytes, 147, 1e300);
    EXPECT_EQ(failureOf(bytes),
              "Z scale factor 1e+300 (byte 147) is not a positive number from 1e-12 to 1e6");
    put<double>(bytes, 147, std::nan(""));
    EXPECT_EQ(failureOf(bytes), "Z scale factor nan (byte 147) is not a positive number from 1e-12 to 1e6");
    put<double>(bytes, 147, 0.01);
    put<double>(bytes, 163, std::numeric_limits<double>::infinity());
    EXPECT_EQ(failureOf(bytes), "Y offset inf (byte 163) is not finite");
}

TEST_F(LasMalformedInput, FileCutShortWhileReadingEndsWithATruncationError) {
    const std::filesystem::path path = mFolder / "cut.las";
    writeBytes(path, craftLas(2, 1, 4));
    Las::LasReader reader({path});
    reader.nextLeg();
    std::filesystem::resize_file(path, 227 + 3 * 28);
    try {
        reader.nextPoint();
        FAIL() << "no exception";
    } catch (const Orvid::Core::IOException& error) {
        EXPECT_EQ(error.what(),
                  path.string() + ": point data truncated at byte 311 (112 bytes from byte 227 expected)");
    }
}

// Oddities that real files show: readable, with every byte accounted for.
TEST_F(LasMalformedInput, TolerantCasesReadWithTheirPointsIntact) {
    // Header longer than the standard, a gap after it, and records with two undescribed extra bytes.
    std::vector<std::uint8_t> bytes = craftLas(2, 1, 2, 30);
    bytes.insert(bytes.begin() + 227, 13, 0xEE);
    put<std::uint16_t>(bytes, 94, 235);
    put<std::uint32_t>(bytes, 96, 240);
    bytes[240 + 28] = 7;
    bytes[240 + 29] = 9;
    put<std::int32_t>(bytes, 240 + 30, 12345);
    const std::filesystem::path path = mFolder / "odd.las";
    writeBytes(path, bytes);
    const Las::LasHeader header = Las::readLasHeader(path);
    ASSERT_EQ(header.extraAttributes.size(), 2U);
    EXPECT_EQ(header.extraAttributes[0].dataType, Attribute::DataType::None);
    const auto points = Orvid::Testing::Las::readPoints(path);
    ASSERT_EQ(points.size(), 2U);
    EXPECT_EQ(points[0]->values, (std::vector<Attribute::Value>{std::uint8_t{7}, std::uint8_t{9}}));
    EXPECT_DOUBLE_EQ(points[1]->getX(), 123.45);

    // An extra-bytes record describing more bytes than a record has is ignored as a whole.
    std::vector<std::uint8_t> described = craftLas(2, 1, 1, 30);
    std::vector<std::uint8_t> vlr(54 + 192, 0);
    std::memcpy(vlr.data() + 2, "LASF_Spec", 9);
    put<std::uint16_t>(vlr, 18, 4);
    put<std::uint16_t>(vlr, 20, 192);
    vlr[54 + 2] = 5; // uint32: four bytes, more than the two there are
    described.insert(described.begin() + 227, vlr.begin(), vlr.end());
    put<std::uint32_t>(described, 96, 227 + 54 + 192);
    put<std::uint32_t>(described, 100, 1);
    writeBytes(path, described);
    const Las::LasHeader fallback = Las::readLasHeader(path);
    ASSERT_EQ(fallback.extraAttributes.size(), 2U);
    EXPECT_EQ(fallback.extraAttributes[1].dataType, Attribute::DataType::None);
}

} // namespace
