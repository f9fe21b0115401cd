#pragma once

#include <filesystem>
#include <string>

/// A new, empty folder in the system's temporary folder, removed with everything in it when the
/// object goes. Throws std::runtime_error when the folder cannot be made.
struct TemporaryFolder {
    explicit TemporaryFolder(const std::string& prefix = "orvid-test");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path / name; }

    const std::filesystem::path path;
};
