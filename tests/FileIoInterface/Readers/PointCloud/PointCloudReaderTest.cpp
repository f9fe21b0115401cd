#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include "MemoryPoint.h"
#include "MemoryPointCloudReader.h"

#include <Core/IOException.h>

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

using Orvid::FileIoInterface::InputOutputPoint;
using Orvid::Testing::MemoryPointCloudReader;
using Points = std::vector<std::unique_ptr<InputOutputPoint>>;

// A reader inside a leg of `count` points with times 1, 2, ...
MemoryPointCloudReader readerInLeg(std::size_t count, std::optional<std::size_t> announced = std::nullopt) {
    Points points;
    for (std::size_t i = 1; i <= count; ++i) {
        points.push_back(Orvid::Testing::makePoint(static_cast<double>(i), 1));
    }
    std::vector<Orvid::Testing::MemoryLeg> legs;
    legs.push_back(Orvid::Testing::makeLeg("L", std::move(points)));
    legs.back().announcedCount = announced;
    MemoryPointCloudReader reader(std::move(legs));
    reader.nextLeg();
    return reader;
}

std::vector<double> times(const Points& points) {
    std::vector<double> result;
    for (const auto& point : points) {
        result.push_back(point->getTime());
    }
    return result;
}

TEST(PointCloudReader, ReadTakesUpToCountPointsIntoExactStorage) {
    MemoryPointCloudReader whole = readerInLeg(5);
    const Points all = whole.read(0);
    EXPECT_EQ(times(all), (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_EQ(all.capacity(), 5U);
    EXPECT_EQ(whole.calls().numberOfPointsInLeg, 2U);
    EXPECT_EQ(whole.calls().hasMorePoints, 6U);

    MemoryPointCloudReader reader = readerInLeg(5);
    const Points first = reader.read(3);
    const Points rest = reader.read(3);
    EXPECT_EQ(times(first), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(times(rest), (std::vector<double>{4, 5}));
    EXPECT_EQ(first.capacity(), 3U);
    EXPECT_EQ(rest.capacity(), 2U);
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 2U);

    EXPECT_EQ(reader.read(2).capacity(), 0U);
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 3U);
    EXPECT_EQ(reader.read(0).capacity(), 0U);
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 5U);
    EXPECT_EQ(reader.calls().nextPoint, 5U);
    EXPECT_FALSE(reader.readPastEnd());

    // The announced count only sizes the storage and the default count; hasMorePoints() decides.
    MemoryPointCloudReader overAnnounced = readerInLeg(3, 8);
    EXPECT_EQ(overAnnounced.read(0).capacity(), 3U);
    EXPECT_EQ(overAnnounced.calls().nextPoint, 3U);
    EXPECT_FALSE(overAnnounced.readPastEnd());

    MemoryPointCloudReader huge = readerInLeg(1, std::numeric_limits<std::size_t>::max());
    EXPECT_THROW(huge.read(1), std::length_error);
}

TEST(PointCloudReader, ExtractionReplacesTheDestinationOrThrows) {
    MemoryPointCloudReader reader = readerInLeg(3);
    std::unique_ptr<InputOutputPoint> point = Orvid::Testing::makePoint(9.0, 2);
    EXPECT_EQ(&(reader >> point), &reader);
    EXPECT_EQ(point->getTime(), 1.0);
    Points points;
    points.push_back(Orvid::Testing::makePoint(7.0, 1));
    EXPECT_EQ(&(reader >> points), &reader);
    EXPECT_EQ(times(points), (std::vector<double>{2, 3}));

    const InputOutputPoint* const held = point.get();
    try {
        reader >> point;
        ADD_FAILURE() << "no exception";
    } catch (const Orvid::Core::IOException& error) {
        EXPECT_STREQ(error.what(), "Failed to read point of next leg from point-cloud file.");
    }
    EXPECT_EQ(point.get(), held);
    EXPECT_EQ(point->getTime(), 1.0);
    EXPECT_FALSE(reader.readPastEnd());
}

} // namespace
