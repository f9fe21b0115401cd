#pragma once

#include "Input.h"
#include "KeyEncoding.h"

#include <FileIoInterface/Las/PointRecords.h>

#include <cstdint>
#include <optional>

namespace Orvid::Compare::Engine {

/// The points of one input in one chunk, in key order and, at equal keys, in reading order: either a
/// slice of a sorted key index, or a range of positions of an input in key order, read as a stream
/// with its NaN-time points left out.
class KeySequence {
public:
    static KeySequence ofIndex(const KeyEntry* first, const KeyEntry* last) {
        KeySequence sequence;
        sequence.mEntry = first;
        sequence.mEntryEnd = last;
        sequence.settleOnEntry();
        return sequence;
    }

    static KeySequence ofStream(const Input& input, std::uint64_t begin, std::uint64_t end, bool byChannel) {
        KeySequence sequence;
        sequence.mInput = &input;
        sequence.mPosition = begin;
        sequence.mEnd = end;
        sequence.mByChannel = byChannel;
        sequence.settleOnRecord();
        return sequence;
    }

    bool atEnd() const { return mAtEnd; }
    const Key& key() const { return mKey; }
    std::uint64_t position() const { return mCurrent; }

    void advance() {
        if (mInput == nullptr) {
            ++mEntry;
            settleOnEntry();
        } else {
            ++mPosition;
            settleOnRecord();
        }
    }

private:
    KeySequence() = default;

    void settleOnEntry() {
        mAtEnd = mEntry == mEntryEnd;
        if (!mAtEnd) {
            mKey = mEntry->key();
            mCurrent = mEntry->position();
        }
    }

    void settleOnRecord() {
        for (; mPosition < mEnd; ++mPosition) {
            if (mPosition >= mLegEnd) {
                enterLegOf(mPosition);
            }
            const std::uint8_t* record = mCursor->record(mPosition - mLegStart);
            mKey = keyOf(*mRecords, record, mByChannel);
            if (mKey.primary != NAN_PRIMARY) {
                mCurrent = mPosition;
                mAtEnd = false;
                return;
            }
        }
        mAtEnd = true;
    }

    void enterLegOf(std::uint64_t position) {
        const std::size_t leg = mInput->legOf(position);
        mRecords = &mInput->leg(leg);
        mCursor.emplace(*mRecords);
        mLegStart = mInput->legStart(leg);
        mLegEnd = mInput->legStart(leg + 1);
    }

    const KeyEntry* mEntry = nullptr;
    const KeyEntry* mEntryEnd = nullptr;
    const Input* mInput = nullptr;
    const FileIoInterface::Las::PointRecords* mRecords = nullptr;
    std::optional<FileIoInterface::Las::PointRecords::Cursor> mCursor;
    std::uint64_t mLegStart = 0;
    /// Ends the current leg; 0 before the first record is read.
    std::uint64_t mLegEnd = 0;
    std::uint64_t mPosition = 0;
    std::uint64_t mEnd = 0;
    bool mByChannel = false;
    bool mAtEnd = true;
    Key mKey;
    std::uint64_t mCurrent = 0;
};

} // namespace Orvid::Compare::Engine
