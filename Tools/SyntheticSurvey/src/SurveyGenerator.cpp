#include <SyntheticSurvey/SurveyGenerator.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace Orvid::SyntheticSurvey {
namespace {

using FileIoInterface::ClassificationFlag;
using FileIoInterface::ColorRGB;

// A light airborne system: 5 kHz pulse rate, 20 sweeps per second of a +-20 degree mirror, 60 m/s over
// ground at 800 m, legs 400 m apart in alternate directions. Sparse, so that a survey of a few hundred
// thousand points covers legs several hundred metres long.
constexpr double PULSE_PERIOD = 2e-4;
constexpr std::uint64_t PULSES_PER_SWEEP = 250;
constexpr double HALF_FIELD_OF_VIEW = 20.0;
constexpr double SPEED = 60.0;
constexpr double ALTITUDE = 800.0;
constexpr double LEG_SPACING = 400.0;
// Returns per pulse, on average over woods and open ground.
constexpr double MEAN_RETURNS = 1.5;
constexpr double TURN_TIME = 120.0;
constexpr double FIRST_TIME = 320000000.0;
constexpr double ORIGIN_X = 500000.0;
constexpr double ORIGIN_Y = 4600000.0;
constexpr double PI = 3.14159265358979323846;

enum Class : std::uint8_t {
    UNCLASSIFIED = 1,
    GROUND = 2,
    LOW_VEGETATION = 3,
    HIGH_VEGETATION = 5,
    BUILDING = 6
};

std::uint64_t splitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double uniform(std::uint64_t& state) {
    return static_cast<double>(splitMix(state) >> 11) * 0x1p-53;
}

/// Rounds to the centimetre grid of the files the survey is written to.
double toCentimetres(double metres) {
    return std::round(metres * 100.0) * 0.01;
}

double terrainHeight(double x, double y) {
    return 120.0 + 15.0 * std::sin(x / 400.0) + 10.0 * std::cos(y / 300.0) + 2.0 * std::sin((x + y) / 37.0);
}

/// About how long a leg is flown: its pulses at the mean number of returns.
double legDuration(const SurveyParameters& parameters) {
    return static_cast<double>(parameters.pointsPerLeg) / MEAN_RETURNS * PULSE_PERIOD;
}

ColorRGB colourOf(std::uint8_t classification, double shade) {
    const auto channel = [shade](double base) {
        return static_cast<std::uint16_t>(std::clamp(base * (0.8 + 0.4 * shade), 0.0, 255.0) * 256.0);
    };
    switch (classification) {
    case GROUND:
        return {channel(150), channel(125), channel(95)};
    case BUILDING:
        return {channel(170), channel(90), channel(80)};
    default:
        return {channel(70), channel(125), channel(55)};
    }
}

} // namespace

PlantedChanges& PlantedChanges::operator+=(const PlantedChanges& other) {
    moved += other.moved;
    reclassified += other.reclassified;
    altered += other.altered;
    removed += other.removed;
    added += other.added;
    return *this;
}

LegGenerator::LegGenerator(const SurveyParameters& parameters, std::size_t leg, const ChangePlan& plan)
    : mParameters(parameters)
    , mLeg(leg)
    , mPlan(plan)
    , mSurveyRandom(parameters.seed * 1000003ULL + leg)
    , mChangeRandom(~(parameters.seed * 7919ULL + leg)) {}

bool LegGenerator::next(SurveyPoint& point) {
    while (true) {
        if (mReturn == mReturns) {
            if (mInsertionPending) {
                mInsertionPending = false;
                makeInsertedPoint(point);
                ++mPlanted.added;
                return true;
            }
            if (mEmitted == mParameters.pointsPerLeg) {
                return false;
            }
            startPulse();
        }
        ++mReturn;
        ++mEmitted;
        makeReturn(point);
        const Change change = drawChange();
        if (mPlan.added > 0.0 && uniform(mChangeRandom) < mPlan.added) {
            mInsertionPending = true;
        }
        if (change == Change::Removed) {
            ++mPlanted.removed;
            continue;
        }
        applyChange(change, point);
        return true;
    }
}

void LegGenerator::startPulse() {
    const double legTime = static_cast<double>(mPulse) * PULSE_PERIOD;
    mPulseTime = FIRST_TIME + static_cast<double>(mLeg) * (legDuration(mParameters) + TURN_TIME) + legTime;

    // A triangular sweep: up for one sweep, down for the next.
    const std::uint64_t inSweep = mPulse % PULSES_PER_SWEEP;
    const bool upward = (mPulse / PULSES_PER_SWEEP) % 2 == 0;
    const double phase = static_cast<double>(inSweep) / static_cast<double>(PULSES_PER_SWEEP - 1);
    const double angle = HALF_FIELD_OF_VIEW * (upward ? 2.0 * phase - 1.0 : 1.0 - 2.0 * phase);
    mScanAngle = std::round(angle / 0.006) * 0.006;
    mScanDirection = upward ? 1 : 0;
    mEdge = inSweep == PULSES_PER_SWEEP - 1;

    const bool eastward = mLeg % 2 == 0;
    const double along = SPEED * legTime;
    mGroundX = ORIGIN_X + (eastward ? along : SPEED * legDuration(mParameters) - along);
    mGroundY = ORIGIN_Y + static_cast<double>(mLeg) * LEG_SPACING + ALTITUDE * std::tan(angle * PI / 180.0);

    const bool wooded = std::sin(mGroundX / 70.0) * std::cos(mGroundY / 90.0) > 0.3;
    mBuilding = !wooded && std::sin(mGroundX / 45.0) > 0.92 && std::cos(mGroundY / 45.0) > 0.9;
    mCanopyHeight = wooded ? 8.0 + 17.0 * uniform(mSurveyRandom) : 0.0;

    const double draw = uniform(mSurveyRandom);
    std::uint8_t returns = 1;
    if (wooded) {
        returns = draw < 0.2 ? 1 : draw < 0.5 ? 2 : draw < 0.8 ? 3 : 4;
    } else if (draw < 0.05) {
        returns = 2;
    }
    const std::uint64_t left = mParameters.pointsPerLeg - mEmitted;
    mReturns = static_cast<std::uint8_t>(std::min<std::uint64_t>(returns, left));
    mReturn = 0;
    ++mPulse;
}

void LegGenerator::makeReturn(SurveyPoint& point) {
    const bool last = mReturn == mReturns;
    const double ground = terrainHeight(mGroundX, mGroundY);
    double height = 0.0;
    std::uint8_t classification = GROUND;
    if (mBuilding) {
        height = last ? 9.0 : 9.0 + 0.5 * uniform(mSurveyRandom);
        classification = BUILDING;
    } else if (!last) {
        // Earlier returns come from the canopy, from its top downwards.
        const double depth = static_cast<double>(mReturn - 1) / static_cast<double>(mReturns);
        height = mCanopyHeight * (1.0 - depth) - 0.5 * uniform(mSurveyRandom);
        classification = height > 5.0 ? HIGH_VEGETATION : LOW_VEGETATION;
    } else if (uniform(mSurveyRandom) < 0.03) {
        classification = UNCLASSIFIED;
    }
    const double drift = 0.3 * (uniform(mSurveyRandom) - 0.5);

    point.time = mPulseTime;
    point.returnNumber = mReturn;
    point.nbReturns = mReturns;
    point.x = toCentimetres(mGroundX + drift * 0.5);
    point.y = toCentimetres(mGroundY + drift);
    point.z = toCentimetres(ground + height);
    const double shade = uniform(mSurveyRandom);
    point.intensity = static_cast<std::uint16_t>((classification == GROUND ? 600.0 : 250.0) *
                                                 (0.6 + 0.8 * shade) / static_cast<double>(mReturn));
    point.classification = classification;
    point.classificationFlags = {};
    if (std::fabs(mScanAngle) > HALF_FIELD_OF_VIEW - 3.0) {
        point.classificationFlags.set(ClassificationFlag::Overlap);
    }
    point.scannerChannel = 0;
    point.scanDirection = mScanDirection;
    point.edgeOfFlightLine = mEdge ? 1 : 0;
    point.userData = 0;
    point.scanAngle = mScanAngle;
    point.sourceId = static_cast<std::uint16_t>(mLeg + 1);
    point.color = colourOf(classification, shade);
    point.amplitude = static_cast<std::uint16_t>(500.0 + 2500.0 * shade / static_cast<double>(mReturn));
    point.pulseWidth = static_cast<std::uint8_t>(30 + 10 * mReturn + static_cast<int>(10.0 * shade));
}

void LegGenerator::makeInsertedPoint(SurveyPoint& point) {
    // Half a pulse period after a pulse: a key the reference cannot hold.
    point.time = mPulseTime + 0.5 * PULSE_PERIOD;
    point.returnNumber = 1;
    point.nbReturns = 1;
    point.z = toCentimetres(terrainHeight(point.x, point.y) + 1.5);
    point.classification = UNCLASSIFIED;
    point.intensity = 111;
}

LegGenerator::Change LegGenerator::drawChange() {
    const double share = mPlan.moved + mPlan.reclassified + mPlan.altered + mPlan.removed;
    if (share <= 0.0) {
        return Change::None;
    }
    double draw = uniform(mChangeRandom);
    for (const auto& [kind, part] :
         {std::pair{Change::Moved, mPlan.moved}, std::pair{Change::Reclassified, mPlan.reclassified},
          std::pair{Change::Altered, mPlan.altered}, std::pair{Change::Removed, mPlan.removed}}) {
        if (draw < part) {
            return kind;
        }
        draw -= part;
    }
    return Change::None;
}

void LegGenerator::applyChange(Change change, SurveyPoint& point) {
    switch (change) {
    case Change::Moved:
        point.x = toCentimetres(point.x + mPlan.displacement);
        point.y = toCentimetres(point.y - mPlan.displacement);
        point.z = toCentimetres(point.z + mPlan.displacement);
        ++mPlanted.moved;
        break;
    case Change::Reclassified:
        point.classification = point.classification == GROUND ? UNCLASSIFIED : GROUND;
        ++mPlanted.reclassified;
        break;
    case Change::Altered:
        point.amplitude = static_cast<std::uint16_t>(point.amplitude + 100);
        ++mPlanted.altered;
        break;
    case Change::None:
    case Change::Removed:
        break;
    }
}

std::vector<FileIoInterface::Attribute::Descriptor> extraAttributeDescriptors() {
    using FileIoInterface::Attribute::DataType;
    std::vector<FileIoInterface::Attribute::Descriptor> descriptors(2);
    descriptors[0].dataType = DataType::UInt16;
    descriptors[0].name = "Amplitude";
    descriptors[0].scale = 0.01;
    descriptors[0].description = "Echo amplitude [dB]";
    descriptors[1].dataType = DataType::UInt8;
    descriptors[1].name = "Pulse width";
    descriptors[1].scale = 0.1;
    descriptors[1].description = "Echo pulse width [ns]";
    return descriptors;
}

FileIoInterface::LegInformation legInformation(std::size_t leg) {
    const auto number = static_cast<unsigned int>(leg + 1);
    return FileIoInterface::LegInformation("leg-" + std::to_string(number), {}, "Synthetic airborne scanner",
                                           number, Maths::SpinDirection{}, {}, "orvid synthetic survey",
                                           extraAttributeDescriptors());
}

} // namespace Orvid::SyntheticSurvey
