#pragma once

#include <filesystem>
#include <string>

namespace Orvid::Testing {

/// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TemporaryFolder {
public:
    /// Throws std::filesystem::filesystem_error when the folder cannot be made.
    explicit TemporaryFolder(const std::string& prefix = "orvid-test");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::filesystem::path operator/(const std::string& name) const { return mPath / name; }

private:
    std::filesystem::path mPath;
};

} // namespace Orvid::Testing
