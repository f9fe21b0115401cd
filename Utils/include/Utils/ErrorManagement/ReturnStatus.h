#pragma once

#include <string>
#include <utility>

namespace Orvid::Utils::ErrorManagement {

/// Outcome of an operation that may fail without throwing: success, or a failure with its reason.
class ReturnStatus {
public:
    /// A successful status.
    ReturnStatus() = default;

    static ReturnStatus success() { return ReturnStatus(); }
    static ReturnStatus failure(std::string message) { return ReturnStatus(false, std::move(message)); }

    /// True on success.
    explicit operator bool() const noexcept { return mSucceeded; }

    /// Why the operation failed; empty on success.
    const std::string& message() const noexcept { return mMessage; }

private:
    ReturnStatus(bool succeeded, std::string message)
        : mSucceeded(succeeded)
        , mMessage(std::move(message)) {}

    bool mSucceeded = true;
    std::string mMessage;
};

} // namespace Orvid::Utils::ErrorManagement
