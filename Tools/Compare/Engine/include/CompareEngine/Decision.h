#pragma once

#include <CompareEngine/ComparedAttribute.h>

#include <FileIoInterface/Las/LasPoint.h>

#include <cstdint>

namespace Orvid::Compare::Engine {

/// What became of a point. The classes of the library's comparator, plus `unchanged` for pairs that
/// agree in everything compared.
enum class PointClass : std::uint8_t { unchanged, mutated, altered, modified, added, removed };

constexpr std::size_t POINT_CLASS_COUNT = 6;

/// A point of an input: its leg (the index of its file in the input's list) and its record in it.
struct PointId {
    std::uint32_t leg = 0;
    std::uint64_t record = 0;
};

/// Test position minus reference position, per axis.
struct Displacement {
    double dx = 0.0;
    double dy = 0.0;
    double dz = 0.0;
};

/// One decided point. The points are the engine's and valid only during the call that hands them out.
///
/// - `unchanged`, `mutated`, `altered`: a test point paired with a reference point within epsilon;
///   `differences` (mutated) names the differing attributes, `extraAttributesDiffer` tells whether the
///   extra-bytes values differ (a pair that is both is `mutated`, with this flag set).
/// - `modified`: a test point whose key had exactly one reference point left, beyond epsilon; both
///   points and the displacement test − reference are given.
/// - `added`: a test point left unpaired; only the test point is given.
/// - `removed`: a reference point left unpaired; only the reference point is given.
struct Decision {
    PointClass pointClass = PointClass::unchanged;
    PointId test;
    PointId reference;
    /// Null for `removed`.
    const FileIoInterface::Las::LasPoint* testPoint = nullptr;
    /// Null for `added`.
    const FileIoInterface::Las::LasPoint* referencePoint = nullptr;
    /// The bytes of the points' records as their files hold them, when they lie in memory (a mapped
    /// LAS file, a decoded LAZ file); null otherwise, and for the point that is not given.
    const std::uint8_t* testRecord = nullptr;
    const std::uint8_t* referenceRecord = nullptr;
    Displacement displacement;
    AttributeMask differences = 0;
    bool extraAttributesDiffer = false;
};

} // namespace Orvid::Compare::Engine
