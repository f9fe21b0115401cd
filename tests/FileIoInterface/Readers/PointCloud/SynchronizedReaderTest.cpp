#include <FileIoInterface/Readers/PointCloud/TrajectorySynchronizedReader.h>

#include "StubSynchronizedReader.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using Orvid::FileIoInterface::Readers::PointCloud::TrajectorySynchronizedReader;

class Trajectory final : public Orvid::Testing::StubSynchronizedReader<TrajectorySynchronizedReader> {
public:
    using StubSynchronizedReader::StubSynchronizedReader;
    std::array<double, 6> poseAt(double) override { return {}; }
};

std::string ids(const Trajectory& reader) { return reader.getSystemId() + "|" + reader.getSoftwareId(); }

TEST(TrajectorySynchronizedReader, KeepsItsIdentifiersThroughCopiesAndMoves) {
    Trajectory reader("A", "B");
    EXPECT_EQ(ids(reader), "A|B");
    EXPECT_EQ(ids(Trajectory("", "")), "|");
    Trajectory& alias = reader;
    reader = alias;
    EXPECT_EQ(ids(reader), "A|B");

    Trajectory moved(std::move(reader));
    EXPECT_EQ(ids(moved), "A|B");
    EXPECT_EQ(ids(reader), "A|B");
    Trajectory assigned("x", "y");
    assigned = std::move(moved);
    EXPECT_EQ(ids(assigned), "A|B");
    EXPECT_EQ(ids(moved), "A|B");
}

} // namespace
