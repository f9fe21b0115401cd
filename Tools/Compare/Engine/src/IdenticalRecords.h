#pragma once

#include "Input.h"

#include <CompareEngine/EngineOptions.h>

#include <FileIoInterface/Las/LasHeader.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Orvid::Compare::Engine {

/// Tells from their bytes alone that a pair of records of one key is unchanged. Two legs that share
/// their layout (point format, record length, extra-bytes descriptors), scale and offset decode equal
/// records into equal points, which pair within any epsilon and agree in every attribute under any
/// tolerance that is not negative; such pairs need no decoding to be decided. Pairs across layouts, and
/// every pair under options that may tell equal points apart (a negative or NaN epsilon or tolerance),
/// are left to the classifier.
class IdenticalRecords {
public:
    IdenticalRecords(const Input& reference, const Input& test, const EngineOptions& options);

    /// Whether the record at `reference` of reference leg `referenceLeg` and the one at `test` of test
    /// leg `testLeg` are decided unchanged without decoding.
    bool unchanged(std::size_t referenceLeg, const std::uint8_t* reference, std::size_t testLeg,
                   const std::uint8_t* test) const {
        const std::size_t layout = mLayoutOfLeg[0][referenceLeg];
        if (layout == NONE || layout != mLayoutOfLeg[1][testLeg]) {
            return false;
        }
        const Layout& shared = mLayouts[layout];
        return std::memcmp(reference, test, shared.recordLength) == 0 && !holdsNan(shared, reference);
    }

private:
    static constexpr std::size_t NONE = static_cast<std::size_t>(-1);

    /// Where a floating-point extra value lies in a record.
    struct RealField {
        std::size_t offset = 0;
        bool isDouble = false;
    };

    struct Layout {
        const FileIoInterface::Las::LasHeader* header = nullptr;
        std::size_t recordLength = 0;
        /// The extra values that are equal to themselves only when they are numbers: filled when extra
        /// values compare as the library's comparator does, under which a NaN equals nothing.
        std::vector<RealField> nanCandidates;
    };

    static bool holdsNan(const Layout& layout, const std::uint8_t* record) {
        for (const RealField& field : layout.nanCandidates) {
            if (field.isDouble ? std::isnan(valueAt<double>(record + field.offset))
                               : std::isnan(valueAt<float>(record + field.offset))) {
                return true;
            }
        }
        return false;
    }

    template <typename T>
    static T valueAt(const std::uint8_t* bytes) {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    /// The index in `mLayouts` of the layout of `header`, added when new.
    std::size_t layoutOf(const FileIoInterface::Las::LasHeader& header, bool checkNans);

    std::vector<Layout> mLayouts;
    /// Per input (reference, test), per leg: its index in `mLayouts`, or NONE when its pairs are never
    /// decided from bytes.
    std::vector<std::size_t> mLayoutOfLeg[2];
};

} // namespace Orvid::Compare::Engine
