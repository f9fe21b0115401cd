#include "MemoryPoint.h"

namespace Orvid::Testing {

std::unique_ptr<MemoryPoint> makePoint(double time, std::size_t returnNumber, double x, double y, double z) {
    auto point = std::make_unique<MemoryPoint>();
    point->time = time;
    point->returnNumber = returnNumber;
    point->x = x;
    point->y = y;
    point->z = z;
    return point;
}

} // namespace Orvid::Testing
