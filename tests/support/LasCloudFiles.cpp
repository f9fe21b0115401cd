#include "LasCloudFiles.h"

#include "SyntheticClouds.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>
#include <FileIoInterface/LegInformation.h>
#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include <Core/IOException.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>

namespace Orvid::Testing {

namespace fs = std::filesystem;

std::vector<fs::path> writeLasLegs(const fs::path& folder, const std::string& prefix,
                                   const std::vector<PointLeg>& legs,
                                   const FileIoInterface::Las::LasWriterOptions& options,
                                   const std::vector<FileIoInterface::Attribute::Descriptor>& descriptors) {
    FileIoInterface::Las::LasWriter writer(folder, options);
    std::vector<fs::path> paths;
    for (std::size_t leg = 0; leg < legs.size(); ++leg) {
        FileIoInterface::LegInformation information(descriptors);
        information.name = prefix + "-" + std::to_string(leg + 1);
        writer.beginLeg(information);
        for (const auto& point : legs[leg]) {
            writer << *point;
        }
        writer.endLeg();
        paths.push_back(writer.pathFor(information));
    }
    return paths;
}

std::vector<fs::path> writeSurveyLegs(const fs::path& folder, const std::string& prefix,
                                      const SyntheticSurvey::SurveyParameters& parameters,
                                      const SyntheticSurvey::ChangePlan& plan,
                                      SyntheticSurvey::PlantedChanges* planted, std::uint8_t pointFormat,
                                      FileIoInterface::Las::LasCompression compression) {
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = pointFormat;
    options.compression = compression;
    options.scaleOffset =
        FileIoInterface::Las::LasScaleOffset{{0.01, 0.01, 0.01}, {500000.0, 4600000.0, 0.0}};
    options.adjustedStandardGpsTime = true;
    FileIoInterface::Las::LasWriter writer(folder, options);
    std::vector<fs::path> paths;
    for (std::size_t leg = 0; leg < parameters.legs; ++leg) {
        FileIoInterface::LegInformation information = SyntheticSurvey::legInformation(leg);
        information.name = prefix + "-" + std::to_string(leg + 1);
        writer.beginLeg(information);
        SyntheticSurvey::LegGenerator generator(parameters, leg, plan);
        SyntheticSurvey::SurveyPoint generated;
        while (generator.next(generated)) {
            if (pointFormat < 6) {
                // Older formats have no overlap flag.
                generated.classificationFlags.reset(FileIoInterface::ClassificationFlag::Overlap);
            }
            writer << *toMemoryPoint(generated);
        }
        writer.endLeg();
        paths.push_back(writer.pathFor(information));
        if (planted) {
            *planted += generator.planted();
        }
    }
    return paths;
}

namespace {

/// Copies the LAS file `source` to `target` with its point records in the order that `reorder` puts
/// their numbers in; header and variable-length records stay as they are.
template <typename Reorder>
void writeReorderedCopy(const fs::path& source, const fs::path& target, Reorder reorder) {
    const FileIoInterface::Las::LasHeader header = FileIoInterface::Las::readLasHeader(source);
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t length = header.pointRecordLength;
    const auto count = static_cast<std::size_t>(header.pointCount);
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    reorder(order);
    std::vector<char> copy = bytes;
    const char* records = bytes.data() + header.offsetToPointData;
    char* next = copy.data() + header.offsetToPointData;
    for (const std::size_t record : order) {
        next = std::copy_n(records + record * length, length, next);
    }
    // In one write, as the plug-in's writer writes large blocks: the copy then maps as fast as the
    // files it is compared with.
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(copy.data(), static_cast<std::streamsize>(copy.size()));
    if (!out) {
        throw Core::IOException(target.string() + ": cannot write the reordered copy");
    }
}

} // namespace

void writeShuffledCopy(const fs::path& source, const fs::path& target, std::uint64_t seed) {
    writeReorderedCopy(source, target, [&](std::vector<std::size_t>& order) {
        std::shuffle(order.begin(), order.end(), std::mt19937_64(seed));
    });
}

void writeCopyWithLastRecordsSwapped(const fs::path& source, const fs::path& target) {
    writeReorderedCopy(source, target, [](std::vector<std::size_t>& order) {
        if (order.size() >= 2) {
            std::swap(order[order.size() - 2], order.back());
        }
    });
}

void writeCopyWithFirstRecordLast(const fs::path& source, const fs::path& target) {
    writeReorderedCopy(source, target, [](std::vector<std::size_t>& order) {
        if (!order.empty()) {
            std::rotate(order.begin(), order.begin() + 1, order.end());
        }
    });
}

std::array<fs::path, 2> writeSurveyPair(const fs::path& folder, std::uint64_t points,
                                        std::uint8_t pointFormat,
                                        FileIoInterface::Las::LasCompression compression) {
    const SyntheticSurvey::SurveyParameters survey{1, points, 42};
    const SyntheticSurvey::ChangePlan plan{0.01, 0.01, 0.01, 0.01, 0.01, 0.05};
    return {writeSurveyLegs(folder, "reference", survey, {}, nullptr, pointFormat, compression).front(),
            writeSurveyLegs(folder, "test", survey, plan, nullptr, pointFormat, compression).front()};
}

std::vector<fs::path> writeTiles(const fs::path& source, const fs::path& folder, const std::string& prefix,
                                 std::size_t across, FileIoInterface::Las::LasCompression compression) {
    FileIoInterface::Las::LasReader reader({source});
    const FileIoInterface::Las::LasHeader& header = reader.header(0);
    const FileIoInterface::LegInformation leg = reader.nextLeg();
    std::vector<PointLeg> tiles(across * across);
    const auto cell = [&](double value, double low, double high) {
        const auto index =
            static_cast<std::size_t>((value - low) / (high - low) * static_cast<double>(across));
        return std::min(index, across - 1);
    };
    while (reader.hasMorePoints()) {
        std::unique_ptr<FileIoInterface::InputOutputPoint> point = reader.nextPoint();
        const std::size_t column = cell(point->getX(), header.min.x, header.max.x);
        const std::size_t row = cell(point->getY(), header.min.y, header.max.y);
        tiles[row * across + column].push_back(std::move(point));
    }
    tiles.erase(std::remove_if(tiles.begin(), tiles.end(), [](const PointLeg& tile) { return tile.empty(); }),
                tiles.end());
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = header.pointFormat;
    options.scaleOffset = FileIoInterface::Las::LasScaleOffset{header.scale, header.offset};
    options.adjustedStandardGpsTime = true;
    options.compression = compression;
    return writeLasLegs(folder, prefix, tiles, options, leg.attributes);
}

void plantAmbiguousKeys(const fs::path& file, std::size_t phase) {
    // Where the GPS time and the return-number byte lie in a record of point formats 6 to 10.
    constexpr std::size_t TIME_OFFSET = 22;
    constexpr std::size_t RETURN_OFFSET = 14;
    const FileIoInterface::Las::LasHeader header = FileIoInterface::Las::readLasHeader(file);
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    const std::size_t length = header.pointRecordLength;
    std::vector<char> previous(length);
    std::vector<char> record(length);
    for (std::uint64_t index = 0; index < header.pointCount; ++index) {
        const auto at = static_cast<std::streamoff>(header.offsetToPointData + index * length);
        stream.seekg(at);
        stream.read(record.data(), static_cast<std::streamsize>(length));
        if (index > 0 && (index + phase) % 37 == 0) {
            std::memcpy(record.data() + TIME_OFFSET, previous.data() + TIME_OFFSET, sizeof(double));
            record[RETURN_OFFSET] = previous[RETURN_OFFSET];
        } else if ((index + phase) % 101 == 0) {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            std::memcpy(record.data() + TIME_OFFSET, &nan, sizeof(double));
        }
        stream.seekp(at);
        stream.write(record.data(), static_cast<std::streamsize>(length));
        previous = record;
    }
    if (!stream) {
        throw Core::IOException(file.string() + ": cannot plant ambiguous keys");
    }
}

} // namespace Orvid::Testing
