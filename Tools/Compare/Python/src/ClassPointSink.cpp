#include "ClassPointSink.h"

#include "Command/Interruption.h"

#include <FileIoInterface/Las/LasPoint.h>

namespace Orvid::Compare::Python {
namespace {

using Engine::PointClass;

/// Adds to `points` the row of `point`, the point `id` of its input.
void keep(std::vector<ClassPoint>& points, const FileIoInterface::Las::LasPoint& point,
          const Engine::PointId& id) {
    ClassPoint& row = points.emplace_back();
    row.x = point.getX();
    row.y = point.getY();
    row.z = point.getZ();
    row.gpsTime = point.getTime();
    row.leg = id.leg;
    row.intensity = point.getRawIntensity();
    row.pointSourceId = point.getSourceId();
    row.returnNumber = static_cast<std::uint8_t>(point.getReturnNumber());
    row.classification = point.getClassification();
}

/// The difference class of a test point's `pointClass`: added, mutated or altered.
DifferenceClass classOf(PointClass pointClass) {
    return pointClass == PointClass::added     ? DifferenceClass::added
           : pointClass == PointClass::mutated ? DifferenceClass::mutated
                                               : DifferenceClass::altered;
}

} // namespace

void ClassPointSink::decided(const Engine::Decision& decision) {
    throwIfInterrupted();
    mGatherer.decided(decision);
    switch (decision.pointClass) {
    case PointClass::unchanged:
        return;
    case PointClass::removed:
        keep(points(DifferenceClass::removed), *decision.referencePoint, decision.reference);
        return;
    case PointClass::added:
    case PointClass::mutated:
    case PointClass::altered:
        keep(points(classOf(decision.pointClass)), *decision.testPoint, decision.test);
        return;
    case PointClass::modified: {
        std::vector<ClassPoint>& modified = points(DifferenceClass::modified);
        keep(modified, *decision.testPoint, decision.test);
        ClassPoint& row = modified.back();
        row.referenceX = decision.referencePoint->getX();
        row.referenceY = decision.referencePoint->getY();
        row.referenceZ = decision.referencePoint->getZ();
        row.dx = decision.displacement.dx;
        row.dy = decision.displacement.dy;
        row.dz = decision.displacement.dz;
        return;
    }
    }
}

} // namespace Orvid::Compare::Python
