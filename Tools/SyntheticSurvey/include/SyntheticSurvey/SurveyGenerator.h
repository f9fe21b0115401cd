#pragma once

#include <SyntheticSurvey/SurveyPoint.h>

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/LegInformation.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::SyntheticSurvey {

/// The shape of a survey: parallel flight legs of scan lines over gently rolling, partly wooded terrain.
struct SurveyParameters {
    std::size_t legs = 3;
    /// Reference points per leg, exactly.
    std::uint64_t pointsPerLeg = 100000;
    std::uint64_t seed = 1;
};

/// Shares of the reference points that the test copy changes, each in [0, 1], disjoint: a point is
/// changed in one way at most. Added points are inserted between reference points.
struct ChangePlan {
    /// Moved by `displacement` on each axis (beyond any tolerance below it).
    double moved = 0.0;
    /// Classification changed (a point-attribute change).
    double reclassified = 0.0;
    /// Amplitude extra attribute changed.
    double altered = 0.0;
    /// Left out of the test copy.
    double removed = 0.0;
    /// Number of new points per reference point, inserted with keys of their own.
    double added = 0.0;
    /// Metres added to x, subtracted from y and added to z of a moved point.
    double displacement = 0.05;
};

/// What a test copy changed, by kind.
struct PlantedChanges {
    std::uint64_t moved = 0;
    std::uint64_t reclassified = 0;
    std::uint64_t altered = 0;
    std::uint64_t removed = 0;
    std::uint64_t added = 0;

    PlantedChanges& operator+=(const PlantedChanges& other);
};

/// Produces the points of one leg in GPS-time order, one at a time, for the reference survey (an empty
/// plan) or for its test copy. The same parameters give the same points on every machine.
class LegGenerator {
public:
    LegGenerator(const SurveyParameters& parameters, std::size_t leg, const ChangePlan& plan = {});

    /// Fills `point` with the next point of the leg; false when the leg is complete.
    bool next(SurveyPoint& point);

    /// The changes planted so far.
    const PlantedChanges& planted() const { return mPlanted; }

private:
    enum class Change { None, Moved, Reclassified, Altered, Removed };

    void startPulse();
    void makeReturn(SurveyPoint& point);
    void makeInsertedPoint(SurveyPoint& point);
    Change drawChange();
    void applyChange(Change change, SurveyPoint& point);

    SurveyParameters mParameters;
    std::size_t mLeg;
    ChangePlan mPlan;
    PlantedChanges mPlanted;
    /// Two streams, so that a test copy draws the same survey as its reference.
    std::uint64_t mSurveyRandom;
    std::uint64_t mChangeRandom;
    std::uint64_t mEmitted = 0;
    std::uint64_t mPulse = 0;
    std::uint8_t mReturn = 0;
    std::uint8_t mReturns = 0;
    bool mInsertionPending = false;
    double mPulseTime = 0.0;
    double mGroundX = 0.0;
    double mGroundY = 0.0;
    double mScanAngle = 0.0;
    std::uint8_t mScanDirection = 0;
    bool mEdge = false;
    double mCanopyHeight = 0.0;
    bool mBuilding = false;
};

/// The descriptors of the two extra attributes every generated point carries, in value order.
std::vector<FileIoInterface::Attribute::Descriptor> extraAttributeDescriptors();

/// The metadata of generated leg `leg`: name "leg-<n>" (n from 1), number n, the descriptors above.
FileIoInterface::LegInformation legInformation(std::size_t leg);

} // namespace Orvid::SyntheticSurvey
