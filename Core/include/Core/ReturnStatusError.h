#pragma once

#include <Utils/ErrorManagement/ReturnStatus.h>

#include <stdexcept>

namespace Orvid::Core {

/// Thrown when an operation that returned a failed status cannot carry on; keeps that status.
class ReturnStatusError : public std::runtime_error {
public:
    explicit ReturnStatusError(const Utils::ErrorManagement::ReturnStatus& status)
        : std::runtime_error(status.message())
        , mStatus(status) {}

    const Utils::ErrorManagement::ReturnStatus& status() const noexcept { return mStatus; }

private:
    Utils::ErrorManagement::ReturnStatus mStatus;
};

} // namespace Orvid::Core
