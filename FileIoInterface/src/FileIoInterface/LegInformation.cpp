#include <FileIoInterface/LegInformation.h>

#include <locale>
#include <sstream>
#include <utility>

namespace Orvid::FileIoInterface {

const std::string LegInformation::DEFAULT_LIDAR_ID = "Unknown LiDAR System";
const std::string LegInformation::DEFAULT_SOFTWARE_ID = "rbContinua";

LegInformation::LegInformation()
    : lidarId(DEFAULT_LIDAR_ID)
    , softwareId(DEFAULT_SOFTWARE_ID) {}

LegInformation::LegInformation(const std::vector<Attribute::Descriptor>& legAttributes)
    : lidarId(DEFAULT_LIDAR_ID)
    , attributes(legAttributes)
    , softwareId(DEFAULT_SOFTWARE_ID) {}

LegInformation::LegInformation(std::string legName, std::optional<unsigned int> legNumber,
                               Maths::SpinDirection legSpinDirection)
    : name(std::move(legName))
    , lidarId(DEFAULT_LIDAR_ID)
    , number(legNumber)
    , spinDirection(legSpinDirection)
    , softwareId(DEFAULT_SOFTWARE_ID) {}

LegInformation::LegInformation(std::string legName, const std::filesystem::path& legFilePath,
                               std::string legLidarId, std::optional<unsigned int> legNumber,
                               Maths::SpinDirection legSpinDirection, std::string legComment,
                               std::string legSoftwareId,
                               const std::vector<Attribute::Descriptor>& legAttributes)
    : name(std::move(legName))
    , filePath(legFilePath)
    , lidarId(std::move(legLidarId))
    , number(legNumber)
    , spinDirection(legSpinDirection)
    , attributes(legAttributes)
    , comment(std::move(legComment))
    , softwareId(std::move(legSoftwareId)) {
    if (lidarId.empty()) {
        lidarId = DEFAULT_LIDAR_ID;
    }
    if (softwareId.empty()) {
        softwareId = DEFAULT_SOFTWARE_ID;
    }
}

LegInformation::LegInformation(const LegInformation& other) = default;

LegInformation::LegInformation(LegInformation&& other) noexcept
    : name(std::move(other.name))
    , filePath(std::move(other.filePath))
    , lidarId(std::move(other.lidarId))
    , number(other.number)
    , spinDirection(other.spinDirection)
    , attributes(std::move(other.attributes))
    , comment(std::move(other.comment))
    , softwareId(std::move(other.softwareId)) {
    // The standard leaves moved-from objects in any valid state; callers rely on empty ones.
    other.name.clear();
    other.filePath.clear();
    other.lidarId.clear();
    other.attributes.clear();
    other.comment.clear();
    other.softwareId.clear();
}

LegInformation& LegInformation::operator=(const LegInformation& other) = default;

LegInformation& LegInformation::operator=(LegInformation&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    name = std::move(other.name);
    filePath = std::move(other.filePath);
    lidarId = std::move(other.lidarId);
    number = other.number;
    spinDirection = other.spinDirection;
    attributes = std::move(other.attributes);
    comment = std::move(other.comment);
    softwareId = std::move(other.softwareId);
    other.name.clear();
    other.filePath.clear();
    other.lidarId.clear();
    other.attributes.clear();
    other.comment.clear();
    other.softwareId.clear();
    return *this;
}

LegInformation::~LegInformation() = default;

std::string LegInformation::str() const {
    std::ostringstream text;
    // The number is printed without digit grouping whatever global locale the application set.
    text.imbue(std::locale::classic());
    text << "LegInformation: " << name;
    if (number) {
        text << " #" << *number;
    }
    return text.str();
}

} // namespace Orvid::FileIoInterface
