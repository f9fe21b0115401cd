#pragma once

#include <cstdint>
#include <functional>

namespace Orvid::Compare::Engine {

/// Phases of a comparison, for progress reports.
enum class Phase : std::uint8_t {
    /// Decoding LAZ legs whole: those decoded into memory as they are opened, and after indexing,
    /// those read chunk by chunk of an input that turned out to be out of key order; points count as
    /// their chunk is decoded. Only when some leg is LAZ.
    decoding,
    /// Reading the keys of both inputs once, for their order and range of times.
    indexing,
    /// Pairing and classifying; points count once each as they are decided.
    comparing,
};

/// Called with the points done of the phase's total, from the engine's threads one at a time (each
/// call happens before the next); a phase starts with 0 done and ends with its total done.
using ProgressCallback = std::function<void(Phase phase, std::uint64_t done, std::uint64_t total)>;

} // namespace Orvid::Compare::Engine
