#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include <Core/IOException.h>

#include <utility>

namespace Orvid::FileIoInterface::Readers::PointCloud {

PointCloudReader::~PointCloudReader() = default;

std::vector<std::unique_ptr<InputOutputPoint>> PointCloudReader::read(std::size_t count) {
    std::vector<std::unique_ptr<InputOutputPoint>> points;
    // Reserve for the whole leg even when fewer points are asked for: one allocation per call.
    points.reserve(numberOfPointsInLeg());
    if (count == 0) {
        count = numberOfPointsInLeg();
    }
    if (hasMorePoints()) {
        while (count != 0) {
            --count;
            points.push_back(nextPoint());
            if (!hasMorePoints()) {
                break;
            }
        }
    }
    points.shrink_to_fit();
    return points;
}

PointCloudReader& operator>>(PointCloudReader& reader, std::unique_ptr<InputOutputPoint>& point) {
    if (!reader.hasMorePoints()) {
        throw Core::IOException("Failed to read point of next leg from point-cloud file.");
    }
    point = reader.nextPoint();
    return reader;
}

PointCloudReader& operator>>(PointCloudReader& reader,
                             std::vector<std::unique_ptr<InputOutputPoint>>& points) {
    points = reader.read(0);
    return reader;
}

} // namespace Orvid::FileIoInterface::Readers::PointCloud
