#include <CompareEngine/DecisionSink.h>

namespace Orvid::Compare::Engine {

void DecisionSink::scanned(const InputFacts&, const InputFacts&) {}

bool DecisionSink::restartable() const {
    return false;
}

void DecisionSink::restart() {}

} // namespace Orvid::Compare::Engine
