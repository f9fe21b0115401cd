#pragma once

#include <FileIoInterface/Readers/PointCloud/Comparator.h>
#include <Utils/EnumClass.h>

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Readers::PointCloud {

/// The point attributes compared on matched pairs. The value is the bit in an equality mask, the
/// index into the difference counters and the line of the statistics report.
enum class ComparedAttribute : std::uint32_t {
    intensity = 0,
    nbReturns = 1,
    classificationFlags = 2,
    scannerChannel = 3,
    scanDirection = 4,
    edgeOfFlightLine = 5,
    classification = 6,
    userData = 7,
    scanAngle = 8,
    sourceId = 9,
    color = 10,
};

/// Display names of the compared attributes, indexed by `ComparedAttribute`.
extern const char* const attributeNames[11];

/// Orders points by time, then by return number; the order of the removed set.
bool isBefore(const std::unique_ptr<InputOutputPoint>& a, const std::unique_ptr<InputOutputPoint>& b);

/// The comparator's state; its constructor runs the whole comparison.
class ComparatorPImpl {
public:
    using Options = Comparator::Options;
    using PointSet = Comparator::PointSet;
    using PointList = Comparator::PointList;
    using Writer = Outputs::PointCloud::PointCloudWriter;
    using EqualityMask = Utils::Enum::Flags<ComparedAttribute>;

    ComparatorPImpl(PointCloudReader& referenceReader, PointCloudReader& testReader,
                    Writer* displacementWriter, Writer* modifiedWriter, std::size_t capacity, double epsilon,
                    Options options, unsigned short rgbEpsilon);
    ComparatorPImpl(PointCloudReader& referenceReader, PointCloudReader& testReader, std::size_t capacity,
                    double epsilon, Options options, unsigned short rgbEpsilon);

    const PointSet& getRemoved() const { return removed; }
    const PointList& getAdded() const { return added; }
    const PointList& getModified() const { return modified; }
    const PointList& getMutated() const { return mutated; }
    const PointList& getAltered() const { return altered; }

private:
    using Candidates = std::pair<PointSet::iterator, PointSet::iterator>;

    void loadReference(PointCloudReader& reader);
    void compareTest(PointCloudReader& reader, std::size_t capacity, double epsilon,
                     Writer* displacementWriter, Writer* modifiedWriter);
    void compareSample(PointList& sample, double epsilon, Writer* displacementWriter, Writer* modifiedWriter);
    Candidates findCandidates(const std::unique_ptr<InputOutputPoint>& testPoint);
    PointList::iterator classifyTestPoint(PointList& sample, PointList::iterator testIt,
                                          Candidates candidates, double epsilon, Writer* displacementWriter,
                                          Writer* modifiedWriter);

    EqualityMask compareAttributes(const InputOutputPoint& t, const InputOutputPoint& r) const;
    void countDifferences(EqualityMask mask);
    bool compareExtraAttributes(const InputOutputPoint& t, const InputOutputPoint& r) const;
    void classifyMatch(std::unique_ptr<InputOutputPoint>& t, const InputOutputPoint& r);
    void logStatistics() const;

    PointSet removed;
    PointList added;
    PointList modified;
    PointList mutated;
    PointList altered;
    Options options;
    std::uint16_t rgbEpsilon;
    std::array<std::uint64_t, 11> differenceCounts{};

    // Clouds are usually read in key order, so the candidates of a test point mostly start where the
    // previous test point's partner was erased. Only usable while the order is a strict weak ordering,
    // that is while no time is NaN.
    PointSet::iterator finger = removed.end();
    bool referenceHasNaNTime = false;
};

} // namespace Orvid::FileIoInterface::Readers::PointCloud

template <>
struct Orvid::Utils::Enum::EnumTraits<Orvid::FileIoInterface::Readers::PointCloud::ComparedAttribute> {
    static constexpr auto last = Orvid::FileIoInterface::Readers::PointCloud::ComparedAttribute::color;
};
