#pragma once

#include <stdexcept>
#include <string>

namespace Orvid::Core {

/// Thrown when a file cannot be read or written as required; the message says which and why.
class IOException : public std::runtime_error {
public:
    explicit IOException(const char* message)
        : std::runtime_error(message) {}
    explicit IOException(const std::string& message)
        : std::runtime_error(message) {}
};

} // namespace Orvid::Core
