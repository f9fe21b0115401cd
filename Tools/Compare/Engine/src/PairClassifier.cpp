#include "PairClassifier.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace Orvid::Compare::Engine {

namespace {

using FileIoInterface::Las::LasPoint;

/// Whether two whole numbers differ by more than `tolerance`.
template <typename T>
bool beyond(T a, T b, double tolerance) {
    const auto difference = a > b ? a - b : b - a;
    return static_cast<double>(difference) > tolerance;
}

/// Whether two doubles differ by more than `tolerance`; a NaN on either side always does.
bool beyondReal(double a, double b, double tolerance) {
    return !(std::fabs(a - b) <= tolerance);
}

/// Whether two floating-point values have the same bits (so a NaN equals the same NaN).
template <typename T>
bool sameBits(T a, T b) {
    using Bits = std::conditional_t<sizeof(T) == sizeof(std::uint64_t), std::uint64_t, std::uint32_t>;
    static_assert(sizeof(Bits) == sizeof(T), "a float of 32 or 64 bits");
    Bits x;
    Bits y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

template <std::size_t... Index>
constexpr std::array<std::size_t, sizeof...(Index)>
alternativeSizes(std::index_sequence<Index...> /*unused*/) {
    return {sizeof(std::variant_alternative_t<Index, FileIoInterface::Attribute::Value>)...};
}

// A data type's code is its value alternative's index plus one; an undocumented byte is one uint8.
constexpr auto VALUE_SIZES =
    alternativeSizes(std::make_index_sequence<std::variant_size_v<FileIoInterface::Attribute::Value>>());

std::size_t storedSize(const std::vector<FileIoInterface::Attribute::Descriptor>& descriptors) {
    std::size_t bytes = 0;
    for (const auto& descriptor : descriptors) {
        bytes += storedSizeOf(descriptor.dataType);
    }
    return bytes;
}

bool sameTypes(const std::vector<FileIoInterface::Attribute::Descriptor>& reference,
               const std::vector<FileIoInterface::Attribute::Descriptor>& test) {
    return std::equal(reference.begin(), reference.end(), test.begin(), test.end(),
                      [](const auto& one, const auto& other) { return one.dataType == other.dataType; });
}

/// The values as the bytes a LAS record stores them in.
std::vector<std::uint8_t> storedBytes(const std::vector<FileIoInterface::Attribute::Value>& values) {
    std::vector<std::uint8_t> bytes;
    for (const auto& value : values) {
        std::visit(
            [&](auto number) {
                std::array<std::uint8_t, sizeof number> stored{};
                std::memcpy(stored.data(), &number, sizeof number);
                bytes.insert(bytes.end(), stored.begin(), stored.end());
            },
            value);
    }
    return bytes;
}

// Reports key counts by name: a name that several attributes share (or that undocumented bytes lack)
// is numbered as array elements are, "name[k]".
void numberRepeatedNames(std::vector<ExtraRule>& rules) {
    std::map<std::string, std::size_t> uses;
    for (const ExtraRule& rule : rules) {
        ++uses[rule.name];
    }
    std::map<std::string, std::size_t> seen;
    for (ExtraRule& rule : rules) {
        if (uses[rule.name] > 1) {
            const std::string name = rule.name;
            rule.name += "[" + std::to_string(seen[name]++) + "]";
        }
    }
}

} // namespace

std::size_t storedSizeOf(FileIoInterface::Attribute::DataType type) {
    const auto code = static_cast<std::size_t>(type);
    return code == 0 ? 1 : VALUE_SIZES.at(code - 1);
}

std::vector<ExtraRule> extraRules(const std::vector<FileIoInterface::Attribute::Descriptor>& reference,
                                  const std::vector<FileIoInterface::Attribute::Descriptor>& test,
                                  const EngineOptions& options) {
    if (!reference.empty() && !test.empty() && !sameTypes(reference, test) &&
        storedSize(reference) == storedSize(test)) {
        ExtraRule rule;
        rule.name = "extra bytes";
        rule.asStoredBytes = true;
        return {rule};
    }
    std::vector<ExtraRule> rules(std::max(reference.size(), test.size()));
    for (std::size_t index = 0; index < rules.size(); ++index) {
        const FileIoInterface::Attribute::Descriptor& descriptor =
            index < reference.size() ? reference[index] : test[index];
        ExtraRule& rule = rules[index];
        rule.name = descriptor.name;
        rule.ignored = options.ignoredExtras.count(descriptor.name) != 0;
        const auto tolerance = options.extraTolerances.find(descriptor.name);
        if (tolerance != options.extraTolerances.end()) {
            // Values are compared raw; a tolerance in scaled units becomes one in stored units.
            const double scale = descriptor.scale.value_or(1.0);
            rule.rawTolerance = scale > 0.0 ? tolerance->second / scale : tolerance->second;
        }
    }
    numberRepeatedNames(rules);
    return rules;
}

PairClassifier::PairClassifier(const EngineOptions& options, std::vector<ExtraRule> extras)
    : mEpsilonXY(options.epsilonXY.value_or(options.epsilon))
    , mEpsilonZ(options.epsilonZ.value_or(options.epsilon))
    , mTolerances(options.tolerances)
    , mCompared(static_cast<AttributeMask>(~options.ignored))
    , mRgbEpsilon(options.rgbEpsilon)
    , mPointAttributes(options.comparePointAttributes)
    , mExtraAttributes(options.compareExtraAttributes)
    , mIdenticalBitsEqual(options.identicalBitsEqual)
    , mExtraRulesMatter(
          std::any_of(extras.begin(), extras.end(),
                      [](const ExtraRule& rule) { return rule.ignored || rule.rawTolerance != 0.0; }))
    , mExtras(std::move(extras)) {}

PairClassifier::Verdict PairClassifier::classify(const LasPoint& test, const LasPoint& reference) const {
    Verdict verdict;
    if (mPointAttributes) {
        verdict.differences = differences(test, reference);
    }
    if (mExtraAttributes) {
        if (mExtras.size() == 1 && mExtras.front().asStoredBytes) {
            verdict.extraAttributesDiffer = extraDiffers(test, reference);
        } else if (!mIdenticalBitsEqual) {
            // Variant equality: same alternative and equal contents; a NaN equals nothing.
            verdict.extraAttributesDiffer = test.values != reference.values;
        } else if (!mExtraRulesMatter && test.values.size() == reference.values.size() &&
                   test.values == reference.values) {
            verdict.extraAttributesDiffer = false;
        } else {
            const std::size_t count = std::max(test.values.size(), reference.values.size());
            for (std::size_t index = 0; index < count && !verdict.extraAttributesDiffer; ++index) {
                verdict.extraAttributesDiffer = extraDiffers(index, test, reference);
            }
        }
    }
    if (verdict.differences != 0) {
        verdict.pointClass = PointClass::mutated;
    } else if (verdict.extraAttributesDiffer) {
        verdict.pointClass = PointClass::altered;
    }
    return verdict;
}

void PairClassifier::countExtraDifferences(const LasPoint& test, const LasPoint& reference,
                                           std::vector<std::uint64_t>& counts) const {
    if (mExtras.size() == 1 && mExtras.front().asStoredBytes) {
        counts.resize(1, 0);
        counts.front() += extraDiffers(test, reference) ? 1U : 0U;
        return;
    }
    const std::size_t count = std::max(test.values.size(), reference.values.size());
    counts.resize(std::max(counts.size(), count), 0);
    for (std::size_t index = 0; index < count; ++index) {
        counts[index] += extraDiffers(index, test, reference) ? 1u : 0u;
    }
}

bool PairClassifier::extraDiffers(const LasPoint& test, const LasPoint& reference) const {
    return !mExtras.front().ignored && storedBytes(test.values) != storedBytes(reference.values);
}

bool PairClassifier::extraDiffers(std::size_t index, const LasPoint& test, const LasPoint& reference) const {
    const ExtraRule* rule = index < mExtras.size() ? &mExtras[index] : nullptr;
    if (rule != nullptr && rule->ignored) {
        return false;
    }
    if (index >= test.values.size() || index >= reference.values.size()) {
        return true;
    }
    const FileIoInterface::Attribute::Value& t = test.values[index];
    const FileIoInterface::Attribute::Value& r = reference.values[index];
    if (t.index() != r.index()) {
        return true;
    }
    const double tolerance = rule != nullptr ? rule->rawTolerance : 0.0;
    if (!mIdenticalBitsEqual) {
        return tolerance == 0.0
                   ? !(t == r)
                   : std::visit(
                         [&](auto a) {
                             using T = decltype(a);
                             const T b = std::get<T>(r);
                             if constexpr (std::is_floating_point_v<T>) {
                                 return beyondReal(static_cast<double>(a), static_cast<double>(b), tolerance);
                             } else {
                                 return beyond(a, b, tolerance);
                             }
                         },
                         t);
    }
    return std::visit(
        [&](auto a) {
            using T = decltype(a);
            const T b = std::get<T>(r);
            if constexpr (std::is_floating_point_v<T>) {
                return !sameBits(a, b) &&
                       beyondReal(static_cast<double>(a), static_cast<double>(b), tolerance);
            } else {
                return beyond(a, b, tolerance);
            }
        },
        t);
}

AttributeMask PairClassifier::differences(const LasPoint& t, const LasPoint& r) const {
    const auto bit = [](ComparedAttribute attribute, bool differs) {
        return differs ? maskOf(attribute) : AttributeMask{0};
    };
    const auto tolerance = [&](ComparedAttribute attribute) {
        return mTolerances[static_cast<std::size_t>(attribute)];
    };
    using A = ComparedAttribute;
    const auto all = static_cast<AttributeMask>(
        bit(A::intensity, beyondReal(t.getIntensity(), r.getIntensity(), tolerance(A::intensity))) |
        bit(A::nbReturns, beyond(t.getNbReturns(), r.getNbReturns(), tolerance(A::nbReturns))) |
        bit(A::classificationFlags,
            beyond(t.getClassificationFlags().mask(), r.getClassificationFlags().mask(),
                   tolerance(A::classificationFlags))) |
        bit(A::scannerChannel,
            beyond(t.getScannerChannel(), r.getScannerChannel(), tolerance(A::scannerChannel))) |
        bit(A::scanDirection,
            beyond(t.getScanDirection(), r.getScanDirection(), tolerance(A::scanDirection))) |
        bit(A::edgeOfFlightLine,
            beyond(t.getEdgeOfFlightLine(), r.getEdgeOfFlightLine(), tolerance(A::edgeOfFlightLine))) |
        bit(A::classification,
            beyond(t.getClassification(), r.getClassification(), tolerance(A::classification))) |
        bit(A::userData, beyond(t.getUserData(), r.getUserData(), tolerance(A::userData))) |
        bit(A::scanAngle, beyondReal(t.getScanAngle(), r.getScanAngle(), tolerance(A::scanAngle))) |
        bit(A::sourceId, beyond(t.getSourceId(), r.getSourceId(), tolerance(A::sourceId))) |
        bit(A::color, !t.getColor().isEquivalentTo(r.getColor(), mRgbEpsilon)));
    return static_cast<AttributeMask>(all & mCompared);
}

} // namespace Orvid::Compare::Engine
