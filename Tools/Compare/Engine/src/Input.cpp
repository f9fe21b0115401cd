#include "Input.h"

#include <Core/IOException.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace Orvid::Compare::Engine {

Input::Input(const std::vector<std::filesystem::path>& files, double timeOffset,
             const FileIoInterface::Las::PointRecordsOptions& options,
             const std::vector<bool>& decodedInMemory)
    : mTimeOffset(timeOffset) {
    mLegs.reserve(files.size());
    mStarts.reserve(files.size() + 1);
    mStarts.push_back(0);
    FileIoInterface::Las::PointRecordsOptions legOptions = options;
    for (std::size_t leg = 0; leg < files.size(); ++leg) {
        legOptions.decodeIntoMemory = leg < decodedInMemory.size() && decodedInMemory[leg];
        legOptions.lazAccess =
            legOptions.decodeIntoMemory ? FileIoInterface::Las::LazAccess::decodedWhole : options.lazAccess;
        mLegs.emplace_back(files[leg], legOptions);
        mReadByChunk.push_back(mLegs.back().header().compressed &&
                               legOptions.lazAccess == FileIoInterface::Las::LazAccess::chunkByChunk);
        numberLastLeg();
    }
}

std::uint64_t Input::pointsReadByChunk() const {
    std::uint64_t points = 0;
    for (std::size_t leg = 0; leg < mLegs.size(); ++leg) {
        points += mReadByChunk[leg] ? mLegs[leg].size() : 0;
    }
    return points;
}

std::uint64_t Input::decodeWhole(const FileIoInterface::Las::PointRecordsOptions& options) {
    FileIoInterface::Las::PointRecordsOptions wholeOptions = options;
    wholeOptions.lazAccess = FileIoInterface::Las::LazAccess::decodedWhole;
    wholeOptions.decodeIntoMemory = false;
    std::uint64_t bytes = 0;
    for (std::size_t leg = 0; leg < mLegs.size(); ++leg) {
        if (mReadByChunk[leg]) {
            FileIoInterface::Las::PointRecords whole(mLegs[leg].path(), wholeOptions);
            if (whole.size() != mLegs[leg].size()) {
                throw Core::IOException(whole.path().string() + ": changed while it was compared (it held " +
                                        std::to_string(mLegs[leg].size()) + " points, now " +
                                        std::to_string(whole.size()) + ")");
            }
            mLegs[leg] = std::move(whole);
            mReadByChunk[leg] = false;
            bytes += mLegs[leg].header().decodedRecordBytes();
        }
    }
    return bytes;
}

Input::Input(const InputParts& parts, double timeOffset)
    : mTimeOffset(timeOffset)
    , mReadFromRuns(true) {
    mLegs.reserve(parts.legs.size());
    mStarts.reserve(parts.legs.size() + 1);
    mStarts.push_back(0);
    for (std::size_t leg = 0; leg < parts.legs.size(); ++leg) {
        mLegs.emplace_back(parts.legs[leg], parts.runs.at(leg));
        mReadByChunk.push_back(false);
        numberLastLeg();
    }
}

void Input::numberLastLeg() {
    const std::uint64_t total = mStarts.back() + mLegs.back().size();
    if (total > POSITION_MASK) {
        throw std::invalid_argument(mLegs.back().path().string() + ": the input holds more than " +
                                    std::to_string(POSITION_MASK) + " points");
    }
    mStarts.push_back(total);
}

InputReader::InputReader(const Input& input)
    : mInput(&input) {
    mCursors.reserve(input.legCount());
    for (std::size_t leg = 0; leg < input.legCount(); ++leg) {
        mCursors.emplace_back(input.leg(leg));
    }
}

} // namespace Orvid::Compare::Engine
