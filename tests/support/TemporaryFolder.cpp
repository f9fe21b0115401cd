#include "TemporaryFolder.h"

#include <stdexcept>
#include <system_error>

#include <stdlib.h>

namespace {

std::filesystem::path createFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error(pattern + ": cannot create a temporary folder");
    }
    return pattern;
}

} // namespace

TemporaryFolder::TemporaryFolder(const std::string& prefix)
    : path(createFolder(prefix)) {}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
