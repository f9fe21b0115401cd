#include "SyntheticClouds.h"

#include <utility>
#include <vector>

namespace Orvid::Testing {

std::unique_ptr<MemoryPoint> toMemoryPoint(const SyntheticSurvey::SurveyPoint& generated) {
    using FileIoInterface::Attribute::Value;
    auto point = std::make_unique<MemoryPoint>(std::vector<Value>{generated.amplitude, generated.pulseWidth});
    point->time = generated.time;
    point->returnNumber = generated.returnNumber;
    point->nbReturns = generated.nbReturns;
    point->x = generated.x;
    point->y = generated.y;
    point->z = generated.z;
    point->intensity = generated.intensity;
    point->classification = generated.classification;
    point->classificationFlags = generated.classificationFlags;
    point->scannerChannel = generated.scannerChannel;
    point->scanDirection = generated.scanDirection;
    point->edgeOfFlightLine = generated.edgeOfFlightLine;
    point->userData = generated.userData;
    point->scanAngle = generated.scanAngle;
    point->sourceId = generated.sourceId;
    point->color = generated.color;
    return point;
}

MemoryPointCloudReader generatedCloud(const SyntheticSurvey::SurveyParameters& parameters,
                                      const SyntheticSurvey::ChangePlan& plan,
                                      SyntheticSurvey::PlantedChanges* planted) {
    std::vector<MemoryLeg> legs;
    for (std::size_t leg = 0; leg < parameters.legs; ++leg) {
        MemoryLeg memoryLeg;
        memoryLeg.information = SyntheticSurvey::legInformation(leg);
        memoryLeg.points.reserve(parameters.pointsPerLeg);
        SyntheticSurvey::LegGenerator generator(parameters, leg, plan);
        SyntheticSurvey::SurveyPoint point;
        while (generator.next(point)) {
            memoryLeg.points.push_back(toMemoryPoint(point));
        }
        if (planted) {
            *planted += generator.planted();
        }
        legs.push_back(std::move(memoryLeg));
    }
    return MemoryPointCloudReader(std::move(legs));
}

} // namespace Orvid::Testing
