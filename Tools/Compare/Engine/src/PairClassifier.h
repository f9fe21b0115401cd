#pragma once

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/Decision.h>
#include <CompareEngine/EngineOptions.h>

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/Las/LasPoint.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::Compare::Engine {

/// One extra attribute as compared: its name, and how two of its raw values are judged.
struct ExtraRule {
    std::string name;
    bool ignored = false;
    /// Largest raw difference at which two values still agree: the tolerance over the scale.
    double rawTolerance = 0.0;
    /// The extra bytes of the two inputs are laid out differently although they are as many (one side
    /// lost its descriptors, say): they are then one rule, compared as the bytes they are stored as.
    bool asStoredBytes = false;
};

/// Bytes that a LAS record takes for one extra value of `type`; 1 for an undocumented byte.
std::size_t storedSizeOf(FileIoInterface::Attribute::DataType type);

/// The extra attributes of two inputs, by position in their records: the reference's names and
/// scales where it has the attribute, the test's beyond. `options` gives tolerances and ignored names.
/// When the inputs describe the same number of extra bytes with different types, one rule "extra bytes"
/// that compares them as stored.
std::vector<ExtraRule> extraRules(const std::vector<FileIoInterface::Attribute::Descriptor>& reference,
                                  const std::vector<FileIoInterface::Attribute::Descriptor>& test,
                                  const EngineOptions& options);

/// The rules by which two points of one key are judged: agreement of positions within epsilon, and
/// the classes of a pair under the attributes' tolerances.
class PairClassifier {
public:
    PairClassifier(const EngineOptions& options, std::vector<ExtraRule> extras);

    /// x and y differ by at most the horizontal epsilon, z by the vertical one; a NaN difference fails.
    bool withinEpsilon(double rx, double ry, double rz, double tx, double ty, double tz) const {
        return std::fabs(rx - tx) <= mEpsilonXY && std::fabs(ry - ty) <= mEpsilonXY &&
               std::fabs(rz - tz) <= mEpsilonZ;
    }
    bool withinEpsilon(double rx, double ry, double rz, const FileIoInterface::Las::LasPoint& test) const {
        return withinEpsilon(rx, ry, rz, test.getX(), test.getY(), test.getZ());
    }
    bool withinEpsilon(const FileIoInterface::Las::LasPoint& reference,
                       const FileIoInterface::Las::LasPoint& test) const {
        return withinEpsilon(reference.getX(), reference.getY(), reference.getZ(), test);
    }
    double epsilonXY() const { return mEpsilonXY; }

    struct Verdict {
        PointClass pointClass = PointClass::unchanged;
        AttributeMask differences = 0;
        bool extraAttributesDiffer = false;
    };

    /// The class of a pair within epsilon: mutated when a compared point attribute differs, else
    /// altered when compared extra values differ, else unchanged.
    Verdict classify(const FileIoInterface::Las::LasPoint& test,
                     const FileIoInterface::Las::LasPoint& reference) const;

    /// Adds 1 to `counts[k]` for each compared extra attribute k in which the two points differ.
    void countExtraDifferences(const FileIoInterface::Las::LasPoint& test,
                               const FileIoInterface::Las::LasPoint& reference,
                               std::vector<std::uint64_t>& counts) const;

    const std::vector<ExtraRule>& extras() const { return mExtras; }

private:
    AttributeMask differences(const FileIoInterface::Las::LasPoint& t,
                              const FileIoInterface::Las::LasPoint& r) const;
    bool extraDiffers(std::size_t index, const FileIoInterface::Las::LasPoint& test,
                      const FileIoInterface::Las::LasPoint& reference) const;
    bool extraDiffers(const FileIoInterface::Las::LasPoint& test,
                      const FileIoInterface::Las::LasPoint& reference) const;

    double mEpsilonXY;
    double mEpsilonZ;
    std::array<double, COMPARED_ATTRIBUTE_COUNT> mTolerances;
    AttributeMask mCompared;
    std::uint16_t mRgbEpsilon;
    bool mPointAttributes;
    bool mExtraAttributes;
    bool mIdenticalBitsEqual;
    /// Whether any tolerance or ignored name makes extra values compare one by one.
    bool mExtraRulesMatter;
    std::vector<ExtraRule> mExtras;
};

} // namespace Orvid::Compare::Engine
