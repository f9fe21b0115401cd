#pragma once

#include "Gather/DifferenceClass.h"
#include "Gather/RunGatherer.h"

#include <CompareEngine/DecisionSink.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace Orvid::Compare::Python {

/// A point of a difference class, as one row of the structured array that Python receives: the test
/// point, or the reference point of a removed one, and its leg (its file's index in its input). Only a
/// modified point has a reference position and a displacement (test minus reference); the other
/// classes leave them NaN.
struct ClassPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double gpsTime = 0.0;
    std::uint32_t leg = 0;
    std::uint16_t intensity = 0;
    std::uint16_t pointSourceId = 0;
    std::uint8_t returnNumber = 0;
    std::uint8_t classification = 0;
    double referenceX = NOT_MODIFIED;
    double referenceY = NOT_MODIFIED;
    double referenceZ = NOT_MODIFIED;
    double dx = NOT_MODIFIED;
    double dy = NOT_MODIFIED;
    double dz = NOT_MODIFIED;

    static constexpr double NOT_MODIFIED = std::numeric_limits<double>::quiet_NaN();
};

/// Hands every decision to the run's gatherer, keeps the points of the five difference classes (never
/// the unchanged ones) and stops the comparison when it is interrupted.
class ClassPointSink final : public Engine::DecisionSink {
public:
    explicit ClassPointSink(RunGatherer& gatherer)
        : mGatherer(gatherer) {}

    void scanned(const Engine::InputFacts& reference, const Engine::InputFacts& test) override {
        mGatherer.scanned(reference, test);
    }
    void decided(const Engine::Decision& decision) override;
    bool restartable() const override { return mGatherer.restartable(); }
    void restart() override {
        mGatherer.restart();
        for (std::vector<ClassPoint>& points : mPoints) {
            points.clear();
        }
    }

    std::vector<ClassPoint>& points(DifferenceClass kind) { return mPoints[static_cast<std::size_t>(kind)]; }

private:
    RunGatherer& mGatherer;
    std::array<std::vector<ClassPoint>, ALL_DIFFERENCE_CLASSES.size()> mPoints;
};

} // namespace Orvid::Compare::Python
