// The table of compared attributes: the library's comparator keeps its own list privately, so the
// table is checked against the names its statistics report prints.
#include "EngineTestSupport.h"
#include "LogRecorder.h"
#include "MemoryPoint.h"
#include "MemoryPointCloudReader.h"

#include <CompareEngine/ComparedAttribute.h>
#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Orvid::Testing {
namespace {

using Compare::Engine::attributeNamed;
using Compare::Engine::COMPARED_ATTRIBUTES;
using Compare::Engine::ComparedAttributeDescriptor;
using FileIoInterface::Readers::PointCloud::Comparator;

/// A cloud of one leg holding one point.
MemoryPointCloudReader onePoint() {
    std::vector<std::unique_ptr<FileIoInterface::InputOutputPoint>> points;
    points.push_back(makePoint(1.0, 1));
    std::vector<MemoryLeg> legs;
    legs.push_back(makeLeg("L", std::move(points)));
    return MemoryPointCloudReader(std::move(legs));
}

TEST(ComparedAttributes, AreNamedAsTheLibrarysComparatorReportsThemInItsOrder) {
    const LogRecorder log;
    MemoryPointCloudReader reference = onePoint();
    MemoryPointCloudReader test = onePoint();
    const Comparator comparator(reference, test, 1, 0.01, Comparator::defaultOptions(), 0);
    ASSERT_FALSE(log.messages().empty());

    std::vector<std::string> libraryNames;
    for (const auto& [name, count] : statisticsOf(log.messages().back())) {
        libraryNames.push_back(name);
    }
    std::vector<std::string> tableNames;
    for (const ComparedAttributeDescriptor& attribute : COMPARED_ATTRIBUTES) {
        tableNames.emplace_back(attribute.name);
    }
    EXPECT_EQ(tableNames, libraryNames);
}

TEST(ComparedAttributes, AreFoundByTheirExactNamesOnly) {
    for (const ComparedAttributeDescriptor& attribute : COMPARED_ATTRIBUTES) {
        EXPECT_EQ(attributeNamed(attribute.name), attribute.attribute) << attribute.name;
    }
    // Points pair on the GPS time, which is therefore never compared.
    EXPECT_EQ(attributeNamed("gpsTime"), std::nullopt);
    // Chart labels, other spellings and parts of names are not names.
    EXPECT_EQ(attributeNamed("colour"), std::nullopt);
    EXPECT_EQ(attributeNamed("scan angle"), std::nullopt);
    EXPECT_EQ(attributeNamed("Intensity"), std::nullopt);
    EXPECT_EQ(attributeNamed("classification "), std::nullopt);
    EXPECT_EQ(attributeNamed("classificationFlag"), std::nullopt);
    EXPECT_EQ(attributeNamed(""), std::nullopt);
}

} // namespace
} // namespace Orvid::Testing
