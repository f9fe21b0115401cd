#include "LasTestSupport.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <tuple>

namespace Orvid::Testing::Las {

using namespace FileIoInterface::Las;

std::filesystem::path sampleFile(const std::string& name) {
    return std::filesystem::path(LAS_SAMPLE_DIR) / name;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> craftLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points,
                                   std::uint16_t extraBytes) {
    static const std::uint16_t STANDARD[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    const std::uint16_t headerSize = minor >= 4 ? 375 : (minor == 3 ? 235 : 227);
    const std::uint16_t length = STANDARD[format] + extraBytes;
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

void addVlr(std::vector<std::uint8_t>& bytes, const char* userId, std::uint16_t recordId,
            const std::vector<std::uint8_t>& payload) {
    std::uint32_t offset = 0;
    std::uint32_t count = 0;
    std::memcpy(&offset, bytes.data() + 96, 4);
    std::memcpy(&count, bytes.data() + 100, 4);
    std::vector<std::uint8_t> vlr(54, 0);
    std::memcpy(vlr.data() + 2, userId, std::strlen(userId));
    put<std::uint16_t>(vlr, 18, recordId);
    put<std::uint16_t>(vlr, 20, static_cast<std::uint16_t>(payload.size()));
    vlr.insert(vlr.end(), payload.begin(), payload.end());
    bytes.insert(bytes.begin() + offset, vlr.begin(), vlr.end());
    put<std::uint32_t>(bytes, 96, offset + static_cast<std::uint32_t>(vlr.size()));
    put<std::uint32_t>(bytes, 100, count + 1);
}

std::uint64_t appendEvlr(std::vector<std::uint8_t>& bytes, const char* userId, std::uint16_t recordId,
                         std::uint64_t announced, const std::vector<std::uint8_t>& payload) {
    const std::uint64_t start = bytes.size();
    std::vector<std::uint8_t> header(60, 0);
    std::memcpy(header.data() + 2, userId, std::strlen(userId));
    put<std::uint16_t>(header, 18, recordId);
    put<std::uint64_t>(header, 20, announced);
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return start;
}

std::vector<std::unique_ptr<LasPoint>> readPoints(const std::filesystem::path& path) {
    LasReader reader({path});
    reader.nextLeg();
    std::vector<std::unique_ptr<LasPoint>> points;
    while (reader.hasMorePoints()) {
        points.push_back(std::make_unique<LasPoint>());
        reader.readPoint(*points.back());
    }
    return points;
}

/// A LAS 1.<minor> file of `format` with records of random bytes whose extra bytes hold one field of each
/// data type 1 to 10, described with no-data, min, max, scale and offset, then three undescribed bytes.
std::vector<std::uint8_t> randomLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points) {
    constexpr std::uint16_t EXTRA_BYTES = 1 + 1 + 2 + 2 + 4 + 4 + 8 + 8 + 4 + 8 + 3;
    std::vector<std::uint8_t> descriptors(std::size_t{10} * 192, 0);
    for (std::uint8_t type = 1; type <= 10; ++type) {
        const std::size_t at = std::size_t{type - 1u} * 192u;
        descriptors[at + 2] = type;
        descriptors[at + 3] = 0x1F;
        descriptors[at + 4] = static_cast<std::uint8_t>('a' + type); // the name
        // No-data, min and max: 1.5 for the floating types, 100 for the others.
        for (const std::size_t slot : {40u, 64u, 88u}) {
            put<std::uint64_t>(descriptors, at + slot, type >= 9 ? 0x3FF8000000000000 : 100);
        }
        put<double>(descriptors, at + 112, 0.25);
        put<double>(descriptors, at + 136, -3.5);
    }
    std::vector<std::uint8_t> bytes = craftLas(minor, format, points, EXTRA_BYTES);
    addVlr(bytes, "LASF_Spec", 4, descriptors);
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 96, 4);
    std::mt19937 random(format);
    std::generate(bytes.begin() + offset, bytes.end(),
                  [&random] { return static_cast<std::uint8_t>(random()); });
    return bytes;
}

void expectRoundTrip(const std::filesystem::path& source, std::uint8_t minor) {
    TemporaryFolder folder;
    LasReader reader({source});
    const LasHeader sourceHeader = reader.header(0);
    LasWriterOptions options;
    options.versionMinor = minor;
    options.pointFormat = sourceHeader.pointFormat;
    LasWriter writer(folder.path, options);
    const FileIoInterface::LegInformation leg = reader.nextLeg();
    writer.beginLeg(leg, carriedFieldsOf(sourceHeader));
    LasPoint point;
    while (reader.hasMorePoints()) {
        reader.readPoint(point);
        // What the format lacks reads as zero.
        EXPECT_TRUE((sourceHeader.hasGpsTime() || point.getTime() == 0.0) &&
                    (sourceHeader.hasColor() || point.getColor() == FileIoInterface::ColorRGB()) &&
                    (sourceHeader.hasNir() || point.getNir() == 0) &&
                    sourceHeader.hasWavePacket() == (point.getWavePacket() != nullptr));
        ASSERT_TRUE(writer.write(point));
    }
    writer.endLeg();

    const std::filesystem::path written = folder / (leg.name + ".las");
    ASSERT_EQ(writer.writtenFiles(), std::vector<std::filesystem::path>{written});
    const LasHeader header = readLasHeader(written);
    const auto kept = [](const LasHeader& h) {
        return std::make_tuple(h.pointFormat, h.pointCount, h.pointRecordLength, h.scale.x, h.scale.y,
                               h.scale.z, h.offset.x, h.offset.y, h.offset.z, h.globalEncoding & 1,
                               h.systemIdentifier, h.generatingSoftware);
    };
    EXPECT_EQ(header.versionMinor, minor);
    EXPECT_EQ(kept(header), kept(sourceHeader));
    EXPECT_EQ(header.extraAttributes, sourceHeader.extraAttributes);
    if (sourceHeader.pointsByReturn != decltype(sourceHeader.pointsByReturn){}) {
        EXPECT_EQ(header.pointsByReturn, sourceHeader.pointsByReturn);
    }
    // Equal records read with equal format, scale, offset and extra-bytes layout give equal points.
    const std::vector<std::uint8_t> before = readBytes(source);
    const std::vector<std::uint8_t> after = readBytes(written);
    ASSERT_EQ(after.size(),
              header.offsetToPointData + sourceHeader.pointCount * sourceHeader.pointRecordLength);
    EXPECT_TRUE(std::equal(after.begin() + header.offsetToPointData, after.end(),
                           before.begin() + sourceHeader.offsetToPointData));
}

std::size_t threadsNow() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

} // namespace Orvid::Testing::Las
