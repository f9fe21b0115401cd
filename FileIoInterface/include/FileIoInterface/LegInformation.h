#pragma once

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/FileIoInterfaceExport.h>
#include <Maths/SpinDirection.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface {

/// Metadata of one flight leg: returned by a reader when the leg starts, given to a writer before the
/// leg's first point.
struct FILEIOINTERFACE_EXPORT LegInformation {
    std::string name;
    std::filesystem::path filePath;
    /// Identifier of the lidar system; `DEFAULT_LIDAR_ID` when none is given.
    std::string lidarId;
    std::optional<unsigned int> number;
    Maths::SpinDirection spinDirection = Maths::SpinDirection{};
    /// Descriptors of the points' additional values, in the order of `InputOutputPoint::values`.
    std::vector<Attribute::Descriptor> attributes;
    /// A free text carried with the leg.
    std::string comment;
    /// Identifier of the software that produced the leg; `DEFAULT_SOFTWARE_ID` when none is given.
    std::string softwareId;

    /// "Unknown LiDAR System".
    static const std::string DEFAULT_LIDAR_ID;
    /// "rbContinua".
    static const std::string DEFAULT_SOFTWARE_ID;

    LegInformation();
    LegInformation(const std::vector<Attribute::Descriptor>& attributes);
    LegInformation(std::string name, std::optional<unsigned int> number, Maths::SpinDirection spinDirection);
    /// Takes `attributes` last, unlike the field order. An empty `lidarId` or `softwareId` becomes the
    /// library's default; every other field is stored as given.
    LegInformation(std::string name, const std::filesystem::path& filePath, std::string lidarId,
                   std::optional<unsigned int> number, Maths::SpinDirection spinDirection,
                   std::string comment, std::string softwareId,
                   const std::vector<Attribute::Descriptor>& attributes);

    LegInformation(const LegInformation& other);
    /// Moves the strings, the path and the descriptors, leaving the source's empty; copies `number`
    /// and `spinDirection`.
    LegInformation(LegInformation&& other) noexcept;
    LegInformation& operator=(const LegInformation& other);
    LegInformation& operator=(LegInformation&& other) noexcept;
    ~LegInformation();

    /// "LegInformation: <name>", followed by " #<number>" when the leg has a number.
    std::string str() const;
};

} // namespace Orvid::FileIoInterface
