#include "Metadata/InputCoordinateSystems.h"

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>

#include <algorithm>

namespace Orvid::Compare::Metadata {

namespace {

std::string filesCounted(std::uint64_t files) {
    return std::to_string(files) + (files == 1 ? " file" : " files");
}

void warnAboutRecords(const DeclaredCoordinateSystem& declared, const std::filesystem::path& file,
                      std::vector<std::string>& warnings) {
    for (const auto* system :
         {declared.geoTiff ? &*declared.geoTiff : nullptr, declared.wkt ? &*declared.wkt : nullptr}) {
        if (system != nullptr && !system->problem().empty()) {
            warnings.push_back(file.string() + ": its " + system->source() +
                               " could not be read as a coordinate system: " + system->problem());
        }
    }
    if (const auto disagreement = declared.disagreement()) {
        warnings.push_back(file.string() + ": " + *disagreement);
    }
}

} // namespace

InputCoordinateSystems::InputCoordinateSystems(CrsContext& context, const std::string& role,
                                               const std::filesystem::path& path,
                                               const std::vector<std::filesystem::path>& files,
                                               const std::vector<FileIoInterface::Las::LasHeader>& headers,
                                               std::vector<std::string>& warnings) {
    mFiles.reserve(headers.size());
    for (std::size_t index = 0; index < headers.size(); ++index) {
        mFiles.push_back(context.read(FileIoInterface::Las::coordinateSystemRecordsOf(headers[index])));
        warnAboutRecords(mFiles.back(), files[index], warnings);
    }
    for (const DeclaredCoordinateSystem& declared : mFiles) {
        const CoordinateSystem* system = declared.effective();
        if (system == nullptr) {
            ++mFilesWithout;
            continue;
        }
        auto group = std::find_if(mGroups.begin(), mGroups.end(),
                                  [&](const Group& known) { return known.system->equivalentTo(*system); });
        if (group == mGroups.end()) {
            mGroups.push_back({system, 1});
        } else {
            ++group->files;
        }
    }
    const std::string input = role + " " + path.string();
    if (mGroups.empty()) {
        warnings.push_back(input + ": declares no coordinate system");
    } else if (mGroups.size() > 1 || mFilesWithout != 0) {
        warnings.push_back(input + ": its files declare different coordinate systems: " + describe());
    }
}

std::vector<InputCoordinateSystem> InputCoordinateSystems::summary() const {
    std::vector<InputCoordinateSystem> systems;
    for (const Group& group : mGroups) {
        systems.push_back({group.system->name(), group.system->epsg(), group.system->source(), group.files});
    }
    return systems;
}

std::string InputCoordinateSystems::describe() const {
    if (mGroups.empty()) {
        return "none";
    }
    if (mGroups.size() == 1 && mFilesWithout == 0) {
        return mGroups.front().system->describe();
    }
    std::string text;
    for (const Group& group : mGroups) {
        text +=
            (text.empty() ? "" : ", ") + group.system->describe() + " (" + filesCounted(group.files) + ")";
    }
    if (mFilesWithout != 0) {
        text += ", none (" + filesCounted(mFilesWithout) + ")";
    }
    return text;
}

bool InputCoordinateSystems::sameAs(const InputCoordinateSystems& other) const {
    const auto covers = [](const std::vector<Group>& groups, const std::vector<Group>& others) {
        return std::all_of(groups.begin(), groups.end(), [&](const Group& group) {
            return std::any_of(others.begin(), others.end(), [&](const Group& candidate) {
                return group.system->equivalentTo(*candidate.system);
            });
        });
    };
    return (mFilesWithout == 0) == (other.mFilesWithout == 0) && covers(mGroups, other.mGroups) &&
           covers(other.mGroups, mGroups);
}

std::string InputCoordinateSystems::describeFile(const DeclaredCoordinateSystem& declared) {
    const CoordinateSystem* system = declared.effective();
    return system == nullptr ? "none" : system->describe();
}

bool sameSystem(const DeclaredCoordinateSystem& first, const DeclaredCoordinateSystem& second) {
    const CoordinateSystem* one = first.effective();
    const CoordinateSystem* other = second.effective();
    return one == nullptr || other == nullptr ? one == other : one->equivalentTo(*other);
}

} // namespace Orvid::Compare::Metadata
