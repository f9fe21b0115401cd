#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>
#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>
#include <Utils/EnumClass.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>

namespace Orvid::FileIoInterface::Readers::PointCloud {

class ComparatorPImpl;

/// Compares a reference point cloud with a test cloud. Points are identified by their time and
/// return number; the whole comparison runs in the constructor, which then logs a statistics report.
/// Afterwards the object holds five result sets and owns every point in them:
/// - removed: reference points that no test point was paired with, by time then return number;
/// - added: test points with no partner (no reference point shares their key, or several do and
///   none lies within `epsilon`);
/// - modified: test points whose key is shared by exactly one reference point lying beyond
///   `epsilon` on some axis; their x, y, z hold the displacement, test minus reference;
/// - mutated: test points of pairs within `epsilon` that differ in a point attribute;
/// - altered: test points of such pairs that differ in their extra-attribute values only. A pair
///   that differs in both ways is reported once, in mutated, and not in altered.
class FILEIOINTERFACE_EXPORT Comparator {
public:
    /// What is compared on the pairs of points that agree in position.
    enum Option : std::int32_t {
        /// The eleven point attributes, from intensity to colour.
        pointAttributes = 0,
        /// The extra-attribute values (`InputOutputPoint::values`).
        extraAttributes = 1,
    };
    using Options = Utils::Enum::Flags<Option>;

    using PointPtr = std::unique_ptr<InputOutputPoint>;
    using PointOrder = std::function<bool(const PointPtr&, const PointPtr&)>;
    using PointSet = std::multiset<PointPtr, PointOrder>;
    using PointList = std::list<PointPtr>;

    /// Reads the whole reference cloud, then the test cloud leg by leg in blocks of at most `capacity`
    /// points, and classifies every test point. `epsilon` is the largest per-axis coordinate difference
    /// of two positions that agree; `rgbEpsilon` the largest per-channel colour difference of two
    /// colours that agree. Each given writer receives, for every test leg, `beginLeg` and `endLeg`
    /// (the displacement writer first) and in between the modified points: `modifiedWriter` as read,
    /// then `displacementWriter` with the displacement as coordinates. The readers and writers stay
    /// the caller's and are used only during this call.
    /// Reports a `capacity` of 0 and an `epsilon` not above 0 through the assertion handler. Passes on
    /// the readers' exceptions and throws Core::ReturnStatusError when a writer fails; no report is
    /// logged then.
    Comparator(PointCloudReader& referenceReader, PointCloudReader& testReader,
               Outputs::PointCloud::PointCloudWriter* displacementWriter,
               Outputs::PointCloud::PointCloudWriter* modifiedWriter, std::size_t capacity, double epsilon,
               Options options, unsigned short rgbEpsilon);
    /// The same without writers.
    Comparator(PointCloudReader& referenceReader, PointCloudReader& testReader, std::size_t capacity,
               double epsilon, Options options, unsigned short rgbEpsilon);
    Comparator(const Comparator&) = delete;
    Comparator& operator=(const Comparator&) = delete;
    ~Comparator();

    /// Both options: mask 3.
    static Options defaultOptions();

    const PointSet& getRemoved() const;
    const PointList& getAdded() const;
    const PointList& getModified() const;
    const PointList& getMutated() const;
    const PointList& getAltered() const;

private:
    std::unique_ptr<ComparatorPImpl> pimpl;
};

} // namespace Orvid::FileIoInterface::Readers::PointCloud
