#pragma once

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/Decision.h>
#include <CompareEngine/EngineOptions.h>

#include <FileIoInterface/Las/LasPoint.h>

#include <cmath>

namespace Orvid::Compare::Engine {

/// The rules by which the library's comparator judges two points of one key: agreement of positions
/// within epsilon, and the classes of a pair.
class PairClassifier {
public:
    explicit PairClassifier(const EngineOptions& options)
        : mEpsilon(options.epsilon)
        , mRgbEpsilon(options.rgbEpsilon)
        , mPointAttributes(options.comparePointAttributes)
        , mExtraAttributes(options.compareExtraAttributes) {}

    /// Each axis differs by at most epsilon; a NaN difference fails.
    bool withinEpsilon(const FileIoInterface::Las::LasPoint& reference,
                       const FileIoInterface::Las::LasPoint& test) const {
        return std::fabs(reference.getX() - test.getX()) <= mEpsilon &&
               std::fabs(reference.getY() - test.getY()) <= mEpsilon &&
               std::fabs(reference.getZ() - test.getZ()) <= mEpsilon;
    }

    struct Verdict {
        PointClass pointClass = PointClass::unchanged;
        AttributeMask differences = 0;
        bool extraAttributesDiffer = false;
    };

    /// The class of a pair within epsilon: mutated when a compared point attribute differs, else
    /// altered when compared extra values differ, else unchanged.
    Verdict classify(const FileIoInterface::Las::LasPoint& test,
                     const FileIoInterface::Las::LasPoint& reference) const {
        Verdict verdict;
        if (mPointAttributes) {
            verdict.differences = differences(test, reference);
        }
        // Variant equality: same alternative and equal contents; a NaN equals nothing.
        verdict.extraAttributesDiffer = mExtraAttributes && test.values != reference.values;
        if (verdict.differences != 0) {
            verdict.pointClass = PointClass::mutated;
        } else if (verdict.extraAttributesDiffer) {
            verdict.pointClass = PointClass::altered;
        }
        return verdict;
    }

private:
    AttributeMask differences(const FileIoInterface::Las::LasPoint& t,
                              const FileIoInterface::Las::LasPoint& r) const {
        const auto bit = [](ComparedAttribute attribute, bool differs) {
            return static_cast<AttributeMask>(differs ? 1u << static_cast<unsigned>(attribute) : 0u);
        };
        // Doubles compare as the library compares them: a NaN intensity or angle always differs.
        return static_cast<AttributeMask>(
            bit(ComparedAttribute::intensity, !(t.getIntensity() == r.getIntensity())) |
            bit(ComparedAttribute::nbReturns, t.getNbReturns() != r.getNbReturns()) |
            bit(ComparedAttribute::classificationFlags,
                t.getClassificationFlags().mask() != r.getClassificationFlags().mask()) |
            bit(ComparedAttribute::scannerChannel, t.getScannerChannel() != r.getScannerChannel()) |
            bit(ComparedAttribute::scanDirection, t.getScanDirection() != r.getScanDirection()) |
            bit(ComparedAttribute::edgeOfFlightLine, t.getEdgeOfFlightLine() != r.getEdgeOfFlightLine()) |
            bit(ComparedAttribute::classification, t.getClassification() != r.getClassification()) |
            bit(ComparedAttribute::userData, t.getUserData() != r.getUserData()) |
            bit(ComparedAttribute::scanAngle, !(t.getScanAngle() == r.getScanAngle())) |
            bit(ComparedAttribute::sourceId, t.getSourceId() != r.getSourceId()) |
            bit(ComparedAttribute::color, !t.getColor().isEquivalentTo(r.getColor(), mRgbEpsilon)));
    }

    double mEpsilon;
    std::uint16_t mRgbEpsilon;
    bool mPointAttributes;
    bool mExtraAttributes;
};

} // namespace Orvid::Compare::Engine
