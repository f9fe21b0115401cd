#include "TemporaryFolder.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace Orvid::Testing {

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
    const std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::filesystem::filesystem_error("cannot make a temporary folder", pattern,
                                                std::error_code(errno, std::generic_category()));
    }
    mPath = name.data();
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

} // namespace Orvid::Testing
