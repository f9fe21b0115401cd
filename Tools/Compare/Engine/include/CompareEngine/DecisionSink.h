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
    /// Called once with what the pass over the keys found of each input: points, NaN times, key order
    /// and extent; before the first decision (duplicates, counted as points are decided, not yet among
    /// the facts), or after the last for a `restartable` sink. Does nothing unless overridden.
    virtual void scanned(const InputFacts& reference, const InputFacts& test);
    virtual void decided(const Decision& decision) = 0;
    /// Whether the sink can take its facts after the decisions and forget them all on `restart`. Inputs
    /// in key order are then compared as they are read, without a pass over their keys first; inputs
    /// found out of order on the way are compared on from the keys decided, or, when a later record
    /// has a key among those, again from the start. False unless overridden.
    virtual bool restartable() const;
    /// Forgets every decision received, as if none had come. Called only on a `restartable` sink.
    virtual void restart();
};

} // namespace Orvid::Compare::Engine
