#pragma once

#include <CompareEngine/Decision.h>

namespace Orvid::Compare::Engine {

/// Receives every decided point, once each, as the comparison decides it. The engine calls it from
/// its worker threads, one call at a time (each call happens before the next), so an implementation
/// needs no lock of its own; calls come in key order within each time window, windows in time order,
/// points without a time (NaN) last. An exception thrown by `decided` stops the comparison and leaves
/// `CompareEngine::compare`.
class DecisionSink {
public:
    virtual ~DecisionSink() = default;
    virtual void decided(const Decision& decision) = 0;
};

} // namespace Orvid::Compare::Engine
