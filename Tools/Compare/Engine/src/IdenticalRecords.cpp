#include "IdenticalRecords.h"

#include "PairClassifier.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

namespace {

using FileIoInterface::Attribute::DataType;
using FileIoInterface::Las::LasHeader;

/// Whether the options judge every two equal points unchanged: no epsilon or tolerance that a
/// difference of zero exceeds (a negative one, or a NaN, which nothing agrees under).
bool equalPointsAgree(const EngineOptions& options) {
    const auto notNegative = [](double limit) { return limit >= 0.0; };
    if (!notNegative(options.epsilonXY.value_or(options.epsilon)) ||
        !notNegative(options.epsilonZ.value_or(options.epsilon))) {
        return false;
    }
    if (options.comparePointAttributes) {
        for (std::size_t attribute = 0; attribute < COMPARED_ATTRIBUTE_COUNT; ++attribute) {
            const bool compared = (options.ignored & maskOf(static_cast<ComparedAttribute>(attribute))) == 0;
            if (compared && static_cast<ComparedAttribute>(attribute) != ComparedAttribute::color &&
                !notNegative(options.tolerances[attribute])) {
                return false;
            }
        }
    }
    return !options.compareExtraAttributes ||
           std::all_of(options.extraTolerances.begin(), options.extraTolerances.end(),
                       [&](const auto& tolerance) { return notNegative(tolerance.second); });
}

bool sameLayout(const LasHeader& one, const LasHeader& other) {
    return one.pointFormat == other.pointFormat && one.pointRecordLength == other.pointRecordLength &&
           one.scale.x == other.scale.x && one.scale.y == other.scale.y && one.scale.z == other.scale.z &&
           one.offset.x == other.offset.x && one.offset.y == other.offset.y &&
           one.offset.z == other.offset.z && one.extraAttributes == other.extraAttributes;
}

} // namespace

IdenticalRecords::IdenticalRecords(const Input& reference, const Input& test, const EngineOptions& options) {
    const bool decidable = equalPointsAgree(options);
    const bool checkNans = options.compareExtraAttributes && !options.identicalBitsEqual;
    const Input* inputs[2] = {&reference, &test};
    for (std::size_t side = 0; side < 2; ++side) {
        for (std::size_t leg = 0; leg < inputs[side]->legCount(); ++leg) {
            mLayoutOfLeg[side].push_back(decidable ? layoutOf(inputs[side]->leg(leg).header(), checkNans)
                                                   : NONE);
        }
    }
}

std::size_t IdenticalRecords::layoutOf(const LasHeader& header, bool checkNans) {
    for (std::size_t known = 0; known < mLayouts.size(); ++known) {
        if (sameLayout(*mLayouts[known].header, header)) {
            return known;
        }
    }
    Layout layout;
    layout.header = &header;
    layout.recordLength = header.pointRecordLength;
    std::size_t offset = header.standardRecordLength();
    for (const FileIoInterface::Attribute::Descriptor& descriptor : header.extraAttributes) {
        if (checkNans &&
            (descriptor.dataType == DataType::Float || descriptor.dataType == DataType::Double)) {
            layout.nanCandidates.push_back({offset, descriptor.dataType == DataType::Double});
        }
        offset += storedSizeOf(descriptor.dataType);
    }
    if (offset != layout.recordLength) {
        // Extra bytes that their descriptors do not cover: not a layout this class can read.
        return NONE;
    }
    mLayouts.push_back(std::move(layout));
    return mLayouts.size() - 1;
}

} // namespace Orvid::Compare::Engine
