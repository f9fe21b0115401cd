#include "ComparatorPImpl.h"

#include <Core/Logging/LoggingCallbackPrivate.h>
#include <Utils/CoreAssert.h>
#include <Utils/SafeCast.h>

#include <cmath>
#include <iterator>
#include <sstream>
#include <string>

namespace Orvid::FileIoInterface::Readers::PointCloud {

using Core::Logging::LoggingType;
using Core::Logging::logMessage;

const char* const attributeNames[11] = {
    "intensity",      "nbReturns",     "classificationFlags",
    "scannerChannel", "scanDirection", "edgeOfFlightLine",
    "classification", "userData",      "scanAngle",
    "sourceId",       "color",
};

bool isBefore(const std::unique_ptr<InputOutputPoint>& a, const std::unique_ptr<InputOutputPoint>& b) {
    if (a->getTime() < b->getTime()) {
        return true;
    }
    if (b->getTime() < a->getTime()) {
        return false;
    }
    // Equal times, or a NaN on either side: the return number decides.
    return std::uint64_t{a->getReturnNumber()} < std::uint64_t{b->getReturnNumber()};
}

namespace {

bool isWithinEpsilon(const InputOutputPoint& p, const InputOutputPoint& t, double epsilon) {
    // A NaN difference fails every comparison, so it is never within tolerance.
    return std::fabs(p.getX() - t.getX()) <= epsilon && std::fabs(p.getY() - t.getY()) <= epsilon &&
           std::fabs(p.getZ() - t.getZ()) <= epsilon;
}

} // namespace

ComparatorPImpl::ComparatorPImpl(PointCloudReader& referenceReader, PointCloudReader& testReader,
                                 Writer* displacementWriter, Writer* modifiedWriter, std::size_t capacity,
                                 double epsilon, Options comparisonOptions, unsigned short colourTolerance)
    : removed(PointSet::key_compare(isBefore))
    , options(comparisonOptions)
    , rgbEpsilon(colourTolerance) {
    CORE_ASSERT( removed.key_comp() );
    logMessage(LoggingType::Info, "rgbEpsilon: " + std::to_string(this->rgbEpsilon));
    loadReference(referenceReader);
    CORE_ASSERT( capacity > 0 );
    CORE_ASSERT( epsilon > 0.0 );
    compareTest(testReader, capacity, epsilon, displacementWriter, modifiedWriter);
    logStatistics();
}

ComparatorPImpl::ComparatorPImpl(PointCloudReader& referenceReader, PointCloudReader& testReader,
                                 std::size_t capacity, double epsilon, Options comparisonOptions,
                                 unsigned short colourTolerance)
    : ComparatorPImpl(referenceReader, testReader, nullptr, nullptr, capacity, epsilon, comparisonOptions,
                      colourTolerance) {}

void ComparatorPImpl::loadReference(PointCloudReader& reader) {
    CORE_ASSERT( reader.hasMoreLegs() );
    while (reader.hasMoreLegs()) {
        reader.nextLeg();
        std::size_t remaining = reader.numberOfPointsInLeg();
        // Inserting each point just before the position after its predecessor keeps a reference read
        // in key order at constant cost per point, and equivalent points in reading order.
        auto hint = removed.end();
        while (reader.hasMorePoints() && remaining != 0) {
            --remaining;
            std::unique_ptr<InputOutputPoint> point = reader.nextPoint();
            referenceHasNaNTime = referenceHasNaNTime || (point && std::isnan(point->getTime()));
            const auto inserted = removed.insert(hint, std::move(point));
            // The successor of the last node is found by climbing the whole right spine: skip it.
            hint = inserted == std::prev(removed.end()) ? removed.end() : std::next(inserted);
        }
    }
    finger = removed.begin();
}

void ComparatorPImpl::compareTest(PointCloudReader& reader, std::size_t capacity, double epsilon,
                                  Writer* displacementWriter, Writer* modifiedWriter) {
    CORE_ASSERT( reader.hasMoreLegs() );
    while (reader.hasMoreLegs()) {
        const LegInformation leg = reader.nextLeg();
        if (displacementWriter) {
            displacementWriter->beginLeg(leg);
        }
        if (modifiedWriter) {
            modifiedWriter->beginLeg(leg);
        }
        while (reader.hasMorePoints()) {
            PointList sample;
            std::size_t remaining = capacity != 0 ? capacity : reader.numberOfPointsInLeg();
            while (reader.hasMorePoints() && remaining != 0) {
                --remaining;
                sample.push_back(reader.nextPoint());
            }
            compareSample(sample, epsilon, displacementWriter, modifiedWriter);
            CORE_ASSERT( sample.empty() );
        }
        if (displacementWriter) {
            displacementWriter->endLeg();
        }
        if (modifiedWriter) {
            modifiedWriter->endLeg();
        }
    }
}

void ComparatorPImpl::compareSample(PointList& sample, double epsilon, Writer* displacementWriter,
                                    Writer* modifiedWriter) {
    auto testIt = std::begin(sample);
    while (testIt != std::end(sample)) {
        CORE_ASSERT( *testIt );
        if (!*testIt) {
            // An entry without a point has no key to look up: it is reported and dropped.
            testIt = sample.erase(testIt);
            continue;
        }
        const Candidates candidates = findCandidates(*testIt);
        testIt = classifyTestPoint(sample, testIt, candidates, epsilon, displacementWriter, modifiedWriter);
    }
}

ComparatorPImpl::Candidates
ComparatorPImpl::findCandidates(const std::unique_ptr<InputOutputPoint>& testPoint) {
    const double time = testPoint->getTime();
    if (referenceHasNaNTime || std::isnan(time)) {
        return removed.equal_range(testPoint);
    }
    // Under a strict weak ordering the equal range is unique, so the one that starts at the finger,
    // when the finger is a lower bound, is the one the tree search would return. The test point's key
    // is read once; `isBefore` would read it at every comparison.
    const std::uint64_t returnNumber = testPoint->getReturnNumber();
    const auto isBeforeTestPoint = [time, returnNumber](const std::unique_ptr<InputOutputPoint>& point) {
        const double pointTime = point->getTime();
        return pointTime < time || (!(time < pointTime) && point->getReturnNumber() < returnNumber);
    };
    const auto isAfterTestPoint = [time, returnNumber](const std::unique_ptr<InputOutputPoint>& point) {
        const double pointTime = point->getTime();
        return time < pointTime || (!(pointTime < time) && returnNumber < point->getReturnNumber());
    };
    const bool fingerIsLowerBound = (finger == removed.begin() || isBeforeTestPoint(*std::prev(finger))) &&
                                    (finger == removed.end() || !isBeforeTestPoint(*finger));
    if (!fingerIsLowerBound) {
        return removed.equal_range(testPoint);
    }
    auto last = finger;
    while (last != removed.end() && !isAfterTestPoint(*last)) {
        ++last;
    }
    return {finger, last};
}

ComparatorPImpl::PointList::iterator
ComparatorPImpl::classifyTestPoint(PointList& sample, PointList::iterator testIt, Candidates candidates,
                                   double epsilon, Writer* displacementWriter, Writer* modifiedWriter) {
    CORE_ASSERT( !sample.empty() );
    CORE_ASSERT( testIt != std::end( sample ) );
    CORE_ASSERT( *testIt );
    CORE_ASSERT( epsilon > 0.0 );

    if (candidates.first == removed.end()) {
        added.push_back(std::move(*testIt));
        finger = candidates.first;
        return sample.erase(testIt);
    }

    auto eqIt = candidates.first;
    for (; eqIt != candidates.second; ++eqIt) {
        const std::unique_ptr<InputOutputPoint>& p = *eqIt;
        CORE_ASSERT( p );
        if (p && isWithinEpsilon(*p, **testIt, epsilon)) {
            break;
        }
    }

    if (eqIt != candidates.second) {
        CORE_ASSERT( *testIt );
        CORE_ASSERT( *eqIt );
        classifyMatch(*testIt, **eqIt);
        finger = removed.erase(eqIt);
        return sample.erase(testIt);
    }

    std::unique_ptr<InputOutputPoint> node = std::move(*testIt);
    const auto next = sample.erase(testIt);
    CORE_ASSERT( node );
    const bool singleCandidate = std::next(candidates.first) == candidates.second;
    if (singleCandidate) {
        const InputOutputPoint& reference = **candidates.first;
        if (modifiedWriter) {
            *modifiedWriter << *node;
        }
        node->setX(node->getX() - reference.getX());
        node->setY(node->getY() - reference.getY());
        node->setZ(node->getZ() - reference.getZ());
        if (displacementWriter) {
            *displacementWriter << *node;
        }
        modified.push_back(std::move(node));
        finger = removed.erase(candidates.first);
    } else {
        added.push_back(std::move(node));
        finger = candidates.first;
    }
    return next;
}

ComparatorPImpl::EqualityMask ComparatorPImpl::compareAttributes(const InputOutputPoint& t,
                                                                 const InputOutputPoint& r) const {
    using Utils::SafeCast::unsignedToSigned;
    EqualityMask mask;
    mask.set(ComparedAttribute::intensity, t.getIntensity() == r.getIntensity());
    mask.set(ComparedAttribute::nbReturns, t.getNbReturns() == r.getNbReturns());
    mask.set(ComparedAttribute::classificationFlags,
             unsignedToSigned<std::int32_t>(t.getClassificationFlags().mask()) ==
                 unsignedToSigned<std::int32_t>(r.getClassificationFlags().mask()));
    mask.set(ComparedAttribute::scannerChannel, t.getScannerChannel() == r.getScannerChannel());
    mask.set(ComparedAttribute::scanDirection, t.getScanDirection() == r.getScanDirection());
    mask.set(ComparedAttribute::edgeOfFlightLine, t.getEdgeOfFlightLine() == r.getEdgeOfFlightLine());
    mask.set(ComparedAttribute::classification, t.getClassification() == r.getClassification());
    mask.set(ComparedAttribute::userData, t.getUserData() == r.getUserData());
    mask.set(ComparedAttribute::scanAngle, t.getScanAngle() == r.getScanAngle());
    mask.set(ComparedAttribute::sourceId, t.getSourceId() == r.getSourceId());
    mask.set(ComparedAttribute::color, t.getColor().isEquivalentTo(r.getColor(), rgbEpsilon));
    return mask;
}

void ComparatorPImpl::countDifferences(EqualityMask mask) {
    for (const ComparedAttribute attribute : Utils::Enum::range<ComparedAttribute>()) {
        if (!mask.has(attribute)) {
            ++differenceCounts[static_cast<std::size_t>(attribute)];
        }
    }
}

bool ComparatorPImpl::compareExtraAttributes(const InputOutputPoint& t, const InputOutputPoint& r) const {
    // Variant equality: same alternative and equal contents; a NaN equals nothing.
    return t.values != r.values;
}

void ComparatorPImpl::classifyMatch(std::unique_ptr<InputOutputPoint>& t, const InputOutputPoint& r) {
    bool isMutated = false;
    if (options.has(Comparator::pointAttributes)) {
        const EqualityMask mask = compareAttributes(*t, r);
        if (mask.mask() != 0x7FFU) {
            isMutated = true;
            countDifferences(mask);
        }
    }
    const bool isAltered = options.has(Comparator::extraAttributes) && compareExtraAttributes(*t, r);
    // A pair that is both mutated and altered is reported once, in mutated.
    if (isMutated) {
        mutated.push_back(std::move(t));
    } else if (isAltered) {
        altered.push_back(std::move(t));
    }
}

void ComparatorPImpl::logStatistics() const {
    std::ostringstream report;
    report << "Statistics of point-cloud comparison:" << '\n';
    for (const ComparedAttribute attribute : Utils::Enum::range<ComparedAttribute>()) {
        const auto index = static_cast<std::size_t>(attribute);
        report << '\t' << attributeNames[index] << ":" << '\t' << differenceCounts[index] << '\n';
    }
    logMessage(LoggingType::Info, report.str());
}

} // namespace Orvid::FileIoInterface::Readers::PointCloud
