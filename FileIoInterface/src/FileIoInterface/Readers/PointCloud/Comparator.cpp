#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include "ComparatorPImpl.h"

#include <Utils/CoreAssert.h>

namespace Orvid::FileIoInterface::Readers::PointCloud {

namespace {

// What a getter returns after a failed "pimpl" assertion whose handler returned.
template <typename Set>
const Set& emptySet() {
    static const Set empty;
    return empty;
}

} // namespace

Comparator::Comparator(PointCloudReader& referenceReader, PointCloudReader& testReader,
                       Outputs::PointCloud::PointCloudWriter* displacementWriter,
                       Outputs::PointCloud::PointCloudWriter* modifiedWriter, std::size_t capacity,
                       double epsilon, Options options, unsigned short rgbEpsilon)
    : pimpl(std::make_unique<ComparatorPImpl>(referenceReader, testReader, displacementWriter, modifiedWriter,
                                              capacity, epsilon, options, rgbEpsilon)) {}

Comparator::Comparator(PointCloudReader& referenceReader, PointCloudReader& testReader, std::size_t capacity,
                       double epsilon, Options options, unsigned short rgbEpsilon)
    : pimpl(std::make_unique<ComparatorPImpl>(referenceReader, testReader, capacity, epsilon, options,
                                              rgbEpsilon)) {}

Comparator::~Comparator() = default;

Comparator::Options Comparator::defaultOptions() {
    return Options{pointAttributes, extraAttributes};
}

const Comparator::PointSet& Comparator::getRemoved() const {
    CORE_ASSERT( pimpl );
    return pimpl ? pimpl->getRemoved() : emptySet<PointSet>();
}

const Comparator::PointList& Comparator::getAdded() const {
    CORE_ASSERT( pimpl );
    return pimpl ? pimpl->getAdded() : emptySet<PointList>();
}

const Comparator::PointList& Comparator::getModified() const {
    CORE_ASSERT( pimpl );
    return pimpl ? pimpl->getModified() : emptySet<PointList>();
}

const Comparator::PointList& Comparator::getMutated() const {
    CORE_ASSERT( pimpl );
    return pimpl ? pimpl->getMutated() : emptySet<PointList>();
}

const Comparator::PointList& Comparator::getAltered() const {
    CORE_ASSERT( pimpl );
    return pimpl ? pimpl->getAltered() : emptySet<PointList>();
}

} // namespace Orvid::FileIoInterface::Readers::PointCloud
