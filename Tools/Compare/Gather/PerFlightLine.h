#pragma once

#include <cstdint>
#include <map>

namespace Orvid::Compare {

/// A value per point source id (flight line). Points come in long runs of one flight line, so the map
/// is searched only when the id changes.
template <typename Value>
class PerFlightLine {
public:
    Value& operator[](std::uint16_t sourceId) {
        if (mLast == nullptr || sourceId != mLastId) {
            mLastId = sourceId;
            mLast = &mValues[sourceId];
        }
        return *mLast;
    }
    const std::map<std::uint16_t, Value>& values() const { return mValues; }

private:
    std::map<std::uint16_t, Value> mValues;
    std::uint16_t mLastId = 0;
    Value* mLast = nullptr;
};

} // namespace Orvid::Compare
