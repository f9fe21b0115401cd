#pragma once

#include <CompareEngine/Decision.h>
#include <CompareEngine/InputFacts.h>

namespace Orvid::Compare::Engine {

/// Receives every decided point, once each, as the comparison decides it. The engine calls it from
/// its worker threads, one call at a time (each call happens before the next), so an implementation
/// needs no lock of its own; calls come in key order within each time window, windows in time order,
/// points without a time (NaN) last. An exception thrown by `decided` stops the comparison and leaves
/// `CompareEngine::compare`.
class DecisionSink {
public:
    virtual ~DecisionSink() = default;
    /// Called once, before the first decision, with what the first pass over the keys found of each
    /// input: points, NaN times, key order and extent (duplicates are counted later). Does nothing
    /// unless overridden.
    virtual void scanned(const InputFacts& reference, const InputFacts& test);
    virtual void decided(const Decision& decision) = 0;
};

} // namespace Orvid::Compare::Engine
