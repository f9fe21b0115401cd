#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <variant>

namespace Orvid::Testing::Las {

using FileIoInterface::Las::LasPoint;

TemporaryFolder::TemporaryFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    mPath =
        std::filesystem::temp_directory_path() / ("las-test-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(mPath);
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

std::filesystem::path sampleFile(const std::string& name) {
    return std::filesystem::path(LAS_SAMPLE_DIR) / name;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(stream),
                                     std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> craftLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points,
                                   std::uint16_t recordLength) {
    static const std::uint16_t STANDARD[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    const std::uint16_t headerSize = minor >= 4 ? 375 : (minor == 3 ? 235 : 227);
    const std::uint16_t length = recordLength != 0 ? recordLength : STANDARD[format];
    std::vector<std::uint8_t> bytes(headerSize + std::size_t{points} * length, 0);
    std::memcpy(bytes.data(), "LASF", 4);
    bytes[24] = 1;
    bytes[25] = minor;
    put<std::uint16_t>(bytes, 94, headerSize);
    put<std::uint32_t>(bytes, 96, headerSize);
    bytes[104] = format;
    put<std::uint16_t>(bytes, 105, length);
    put<std::uint32_t>(bytes, 107, points);
    for (std::size_t axis = 0; axis < 3; ++axis) {
        put<double>(bytes, 131 + 8 * axis, 0.01);
    }
    if (minor >= 4) {
        put<std::uint64_t>(bytes, 247, points);
    }
    return bytes;
}

std::vector<std::unique_ptr<LasPoint>> readPoints(const std::filesystem::path& path) {
    FileIoInterface::Las::LasReader reader({path});
    reader.nextLeg();
    std::vector<std::unique_ptr<LasPoint>> points;
    while (reader.hasMorePoints()) {
        points.push_back(std::make_unique<LasPoint>());
        reader.readPoint(*points.back());
    }
    return points;
}

namespace {

template <typename T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

bool sameValue(const FileIoInterface::Attribute::Value& a, const FileIoInterface::Attribute::Value& b) {
    return a.index() == b.index() &&
           std::visit([&b](auto payload) { return sameBits(payload, std::get<decltype(payload)>(b)); }, a);
}

} // namespace

void expectSamePoint(const LasPoint& expected, const LasPoint& actual) {
    EXPECT_TRUE(sameBits(expected.getX(), actual.getX())) << expected.getX() << " vs " << actual.getX();
    EXPECT_TRUE(sameBits(expected.getY(), actual.getY())) << expected.getY() << " vs " << actual.getY();
    EXPECT_TRUE(sameBits(expected.getZ(), actual.getZ())) << expected.getZ() << " vs " << actual.getZ();
    EXPECT_TRUE(sameBits(expected.getTime(), actual.getTime()))
        << expected.getTime() << " vs " << actual.getTime();
    EXPECT_EQ(expected.getRawIntensity(), actual.getRawIntensity());
    EXPECT_EQ(expected.getReturnNumber(), actual.getReturnNumber());
    EXPECT_EQ(expected.getNbReturns(), actual.getNbReturns());
    EXPECT_EQ(expected.getClassification(), actual.getClassification());
    EXPECT_EQ(expected.getClassificationFlags(), actual.getClassificationFlags());
    EXPECT_EQ(expected.getScannerChannel(), actual.getScannerChannel());
    EXPECT_EQ(expected.getScanDirection(), actual.getScanDirection());
    EXPECT_EQ(expected.getEdgeOfFlightLine(), actual.getEdgeOfFlightLine());
    EXPECT_EQ(expected.getUserData(), actual.getUserData());
    EXPECT_EQ(expected.getScanAngleMillidegrees(), actual.getScanAngleMillidegrees());
    EXPECT_EQ(expected.getSourceId(), actual.getSourceId());
    EXPECT_EQ(expected.getColor(), actual.getColor());
    EXPECT_EQ(expected.getNir(), actual.getNir());
    ASSERT_EQ(expected.getWavePacket() == nullptr, actual.getWavePacket() == nullptr);
    if (const auto* packet = expected.getWavePacket()) {
        const auto* other = actual.getWavePacket();
        EXPECT_EQ(packet->descriptorIndex, other->descriptorIndex);
        EXPECT_EQ(packet->dataOffset, other->dataOffset);
        EXPECT_EQ(packet->size, other->size);
        EXPECT_TRUE(sameBits(packet->returnPointLocation, other->returnPointLocation));
        EXPECT_TRUE(sameBits(packet->dx, other->dx) && sameBits(packet->dy, other->dy) &&
                    sameBits(packet->dz, other->dz));
    }
    ASSERT_EQ(expected.values.size(), actual.values.size());
    for (std::size_t index = 0; index < expected.values.size(); ++index) {
        EXPECT_TRUE(sameValue(expected.values[index], actual.values[index])) << "value " << index;
    }
}

} // namespace Orvid::Testing::Las
