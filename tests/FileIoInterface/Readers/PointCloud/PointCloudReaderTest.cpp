#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include "MemoryPoint.h"
#include "MemoryPointCloudReader.h"

#include <Core/IOException.h>

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

using Orvid::FileIoInterface::InputOutputPoint;
using Orvid::Testing::makePoint;
using Orvid::Testing::MemoryPointCloudReader;
using Points = std::vector<std::unique_ptr<InputOutputPoint>>;

// A reader inside a leg of `count` points with times 1, 2, ..., announcing `announced` points if given.
MemoryPointCloudReader readerInLeg(std::size_t count, std::optional<std::size_t> announced = std::nullopt) {
    Points points;
    for (std::size_t i = 1; i <= count; ++i) {
        points.push_back(makePoint(static_cast<double>(i), 1));
    }
    std::vector<Orvid::Testing::MemoryLeg> legs;
    legs.push_back(Orvid::Testing::makeLeg("L", std::move(points)));
    legs.back().announcedCount = announced;
    MemoryPointCloudReader reader(std::move(legs));
    reader.nextLeg();
    return reader;
}

// The points' times, then their storage's capacity.
std::vector<double> timesAndCapacity(const Points& points) {
    std::vector<double> result;
    for (const auto& point : points) {
        result.push_back(point->getTime());
    }
    result.push_back(static_cast<double>(points.capacity()));
    return result;
}

TEST(PointCloudReader, ReadTakesUpToCountPointsIntoExactStorage) {
    MemoryPointCloudReader whole = readerInLeg(5);
    EXPECT_EQ(timesAndCapacity(whole.read(0)), (std::vector<double>{1, 2, 3, 4, 5, 5}));
    EXPECT_EQ(whole.calls().numberOfPointsInLeg, 2U);

    MemoryPointCloudReader reader = readerInLeg(5);
    EXPECT_EQ(timesAndCapacity(reader.read(3)), (std::vector<double>{1, 2, 3, 3}));
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 1U);
    EXPECT_EQ(timesAndCapacity(reader.read(3)), (std::vector<double>{4, 5, 2}));
    EXPECT_EQ(timesAndCapacity(reader.read(2)), (std::vector<double>{0}));
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 3U);
    EXPECT_EQ(timesAndCapacity(reader.read(0)), (std::vector<double>{0}));
    EXPECT_EQ(reader.calls().numberOfPointsInLeg, 5U);
    EXPECT_EQ(reader.calls().nextPoint, 5U);
    EXPECT_FALSE(reader.readPastEnd());
    // Storage is reserved for the whole announced leg even when fewer points are asked for.
    EXPECT_THROW(readerInLeg(1, std::numeric_limits<std::size_t>::max()).read(1), std::length_error);
}

TEST(PointCloudReader, ExtractionReplacesTheDestinationOrThrows) {
    MemoryPointCloudReader reader = readerInLeg(3);
    std::unique_ptr<InputOutputPoint> point = makePoint(9.0, 2);
    EXPECT_EQ(&(reader >> point), &reader);
    EXPECT_EQ(point->getTime(), 1.0);
    Points points;
    points.push_back(makePoint(7.0, 1));
    EXPECT_EQ(&(reader >> points), &reader);
    EXPECT_EQ(timesAndCapacity(points), (std::vector<double>{2, 3, 2}));

    const InputOutputPoint* const held = point.get();
    try {
        reader >> point;
        ADD_FAILURE() << "no exception";
    } catch (const Orvid::Core::IOException& error) {
        EXPECT_STREQ(error.what(), "Failed to read point of next leg from point-cloud file.");
    }
    ASSERT_EQ(point.get(), held);
    EXPECT_EQ(point->getTime(), 1.0);
    EXPECT_FALSE(reader.readPastEnd());
}

} // namespace
