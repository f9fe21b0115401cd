#include "Input.h"

#include <stdexcept>
#include <string>

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
        mLegs.emplace_back(files[leg], legOptions);
        numberLastLeg();
    }
}

Input::Input(const InputParts& parts, double timeOffset)
    : mTimeOffset(timeOffset)
    , mReadFromRuns(true) {
    mLegs.reserve(parts.legs.size());
    mStarts.reserve(parts.legs.size() + 1);
    mStarts.push_back(0);
    for (std::size_t leg = 0; leg < parts.legs.size(); ++leg) {
        mLegs.emplace_back(parts.legs[leg], parts.runs.at(leg));
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
