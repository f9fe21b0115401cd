#pragma once

#include <stdexcept>

namespace Orvid::Compare {

/// The run was interrupted by SIGINT or SIGTERM; `status` is the conventional exit status (128 + signal).
struct Interrupted : std::runtime_error {
    explicit Interrupted(int signalNumber);
    int status;
};

/// While it lives, SIGINT and SIGTERM only mark the run as interrupted, so that the run can stop at the
/// next point and unwind, removing its staged outputs; the previous handlers come back with its end.
class InterruptionGuard {
public:
    InterruptionGuard();
    ~InterruptionGuard();
    InterruptionGuard(const InterruptionGuard&) = delete;
    InterruptionGuard& operator=(const InterruptionGuard&) = delete;
};

/// Throws Interrupted once a guarded signal has arrived; cheap enough to call per point.
void throwIfInterrupted();

} // namespace Orvid::Compare
