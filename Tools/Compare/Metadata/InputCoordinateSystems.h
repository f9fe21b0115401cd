#pragma once

#include "Metadata/CoordinateSystem.h"
#include "Metadata/MetadataReport.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

/// The coordinate systems that the files of one input declare, grouped by meaning.
class InputCoordinateSystems {
public:
    /// Reads the systems of `headers` (those of `files`) in `context`. What is doubtful (a file whose
    /// GeoTIFF keys and WKT disagree, a record PROJ cannot read, files that declare different systems or
    /// none) goes to `warnings`, introduced by `role` and `path`.
    InputCoordinateSystems(CrsContext& context, const std::string& role, const std::filesystem::path& path,
                           const std::vector<std::filesystem::path>& files,
                           const std::vector<FileIoInterface::Las::LasHeader>& headers,
                           std::vector<std::string>& warnings);
    // Its groups point into its files' systems: a move keeps them, a copy would not.
    InputCoordinateSystems(const InputCoordinateSystems&) = delete;
    InputCoordinateSystems& operator=(const InputCoordinateSystems&) = delete;
    InputCoordinateSystems(InputCoordinateSystems&&) noexcept = default;
    InputCoordinateSystems& operator=(InputCoordinateSystems&&) noexcept = default;
    ~InputCoordinateSystems() = default;

    /// Each distinct system with the number of files that declare it, in the order first met.
    std::vector<InputCoordinateSystem> summary() const;
    std::uint64_t filesWithout() const { return mFilesWithout; }
    /// The systems as a report shows them: "none", one system's description, or each with its files.
    std::string describe() const;
    /// Whether both inputs declare the same systems, and lack one in the same way.
    bool sameAs(const InputCoordinateSystems& other) const;

    /// The system of one file alone, for comparing files pair by pair.
    static std::string describeFile(const DeclaredCoordinateSystem& declared);

    /// Each file's declared systems, in file order.
    const std::vector<DeclaredCoordinateSystem>& files() const { return mFiles; }

private:
    struct Group {
        const CoordinateSystem* system;
        std::uint64_t files;
    };

    std::vector<DeclaredCoordinateSystem> mFiles;
    std::vector<Group> mGroups;
    std::uint64_t mFilesWithout = 0;
};

/// Whether two files declare the same system (both none counts as the same).
bool sameSystem(const DeclaredCoordinateSystem& first, const DeclaredCoordinateSystem& second);

} // namespace Orvid::Compare::Metadata
