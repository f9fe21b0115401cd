#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include "MemoryPoint.h"
#include "RecordingPointCloudWriter.h"

#include <Core/ReturnStatusError.h>

#include <gtest/gtest.h>

namespace {

using Orvid::Testing::makePoint;
using Orvid::Testing::RecordingPointCloudWriter;

TEST(PointCloudWriter, InsertionChainsAndThrowsTheFailedStatus) {
    RecordingPointCloudWriter writer(3);
    EXPECT_EQ(&(writer << *makePoint(1.0, 1) << *makePoint(2.0, 3)), &writer);
    try {
        writer << *makePoint(3.0, 1);
        ADD_FAILURE() << "no exception";
    } catch (const Orvid::Core::ReturnStatusError& error) {
        EXPECT_FALSE(error.status());
        EXPECT_EQ(error.status().message(), RecordingPointCloudWriter::FAILURE_MESSAGE);
    }
    EXPECT_EQ(writer.writes(), 3U);
}

} // namespace
