#pragma once

#include "Input.h"
#include "KeyEncoding.h"
#include "PointTallying.h"

#include <CompareEngine/Window.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace Orvid::Compare::Engine {

/// Thrown by a checked stream (`KeySequence::ofCheckedStream`) at the first record out of key order.
class OutOfKeyOrder : public std::runtime_error {
public:
    OutOfKeyOrder()
        : std::runtime_error("an input is not in key order") {}
};

/// The points of one input in one chunk, in key order and, at equal keys, in reading order: either a
/// slice of a sorted key index, or a range of positions of an input in key order, read as a stream
/// with its NaN-time points left out.
class KeySequence {
public:
    /// Entries from `first` to `last` of a key index of `input`.
    static KeySequence ofIndex(const Input& input, const KeyEntry* first, const KeyEntry* last) {
        KeySequence sequence;
        sequence.mIndexed = &input;
        sequence.mEntry = first;
        sequence.mEntryEnd = last;
        for (const KeyEntry* ahead = first;
             ahead < last && ahead < first + PREFETCH_DISTANCE + PREFETCH_BATCH; ++ahead) {
            input.prefetch(ahead->position());
        }
        sequence.mPrefetched = std::min(last, first + PREFETCH_DISTANCE + PREFETCH_BATCH);
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

    /// A stream of the records from `begin` to `end` that checks, as it reads them, that their keys
    /// follow each other in key order inside the time window `keys`, and tallies them into `tally`.
    /// Throws OutOfKeyOrder at the first record that fails (a NaN time among them), and when `begin`
    /// is past `end`.
    static KeySequence ofCheckedStream(const Input& input, std::uint64_t begin, std::uint64_t end,
                                       bool byChannel, const Window& keys, StreamTally& tally) {
        if (begin > end) {
            throw OutOfKeyOrder();
        }
        KeySequence sequence;
        sequence.mInput = &input;
        sequence.mPosition = begin;
        sequence.mEnd = end;
        sequence.mByChannel = byChannel;
        sequence.mChecked = keys;
        sequence.mTally = &tally;
        sequence.settleOnRecord();
        return sequence;
    }

    bool atEnd() const { return mAtEnd; }
    const Key& key() const { return mKey; }
    std::uint64_t position() const { return mCurrent; }
    /// The key-index entry of the current point; null for a stream.
    const KeyEntry* entry() const { return mInput == nullptr ? mEntry : nullptr; }

    void advance() {
        if (mInput == nullptr) {
            // Records of an index lie anywhere in the file: asking for them well before they are
            // decoded, several at once, overlaps the waits for memory and for address translation.
            ++mEntry;
            if (mPrefetched - mEntry <= PREFETCH_DISTANCE && mPrefetched < mEntryEnd) {
                const KeyEntry* const last = std::min(mEntryEnd, mPrefetched + PREFETCH_BATCH);
                for (; mPrefetched < last; ++mPrefetched) {
                    mIndexed->prefetch(mPrefetched->position());
                }
            }
            settleOnEntry();
        } else {
            ++mPosition;
            settleOnRecord();
        }
    }

    /// Moves past every point of the current key of a key index, as `advance` would one by one, and
    /// returns how many there were: a key of many points is crossed by a binary search, without reading
    /// or prefetching its records.
    std::size_t skipIndexedKey() {
        const Key key = mKey;
        std::size_t count = 0;
        // Most keys hold a point or two: stepping is cheapest for them.
        for (; count < SHORT_KEY && !mAtEnd && mKey == key; ++count) {
            advance();
        }
        if (mAtEnd || mKey != key) {
            return count;
        }
        const KeyEntry* const first = mEntry;
        mEntry =
            std::partition_point(first, mEntryEnd, [&](const KeyEntry& entry) { return entry.key() == key; });
        mPrefetched = std::max(mPrefetched, mEntry);
        for (; mPrefetched < mEntryEnd && mPrefetched < mEntry + PREFETCH_DISTANCE + PREFETCH_BATCH;
             ++mPrefetched) {
            mIndexed->prefetch(mPrefetched->position());
        }
        settleOnEntry();
        return count + static_cast<std::size_t>(mEntry - first);
    }

private:
    static constexpr std::size_t SHORT_KEY = 8;
    static constexpr std::ptrdiff_t PREFETCH_DISTANCE = 24;
    static constexpr std::ptrdiff_t PREFETCH_BATCH = 8;
    /// How far ahead of the record read a stream asks for its bytes: beyond the next record's cache
    /// lines, within the pages mapped with them.
    static constexpr std::size_t STREAM_PREFETCH_BYTES = 1024;

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
            // Records read in order stream from memory; asking for them early overlaps the waits.
            __builtin_prefetch(record + STREAM_PREFETCH_BYTES);
            const Key key = keyOf(*mInput, *mRecords, record, mByChannel);
            if (mTally != nullptr) {
                checkAndTally(key, record);
            }
            mKey = key;
            if (mKey.primary != NAN_PRIMARY) {
                mCurrent = mPosition;
                mAtEnd = false;
                return;
            }
        }
        mAtEnd = true;
    }

    void checkAndTally(const Key& key, const std::uint8_t* record) {
        // The key before the first record is {0, 0}, which no key is below.
        if (!mChecked.holds(key.primary, key.secondary) || key < mKey) {
            throw OutOfKeyOrder();
        }
        mTally->add(key.primary, *mRecords, record);
    }

    void enterLegOf(std::uint64_t position) {
        const std::size_t leg = mInput->legOf(position);
        mRecords = &mInput->leg(leg);
        mCursor.emplace(*mRecords);
        mLegStart = mInput->legStart(leg);
        mLegEnd = mInput->legStart(leg + 1);
    }

    const Input* mIndexed = nullptr;
    const KeyEntry* mEntry = nullptr;
    const KeyEntry* mEntryEnd = nullptr;
    /// Entries before this one have had their records prefetched.
    const KeyEntry* mPrefetched = nullptr;
    const Input* mInput = nullptr;
    const FileIoInterface::Las::PointRecords* mRecords = nullptr;
    std::optional<FileIoInterface::Las::PointRecords::Cursor> mCursor;
    std::uint64_t mLegStart = 0;
    /// Ends the current leg; 0 before the first record is read.
    std::uint64_t mLegEnd = 0;
    std::uint64_t mPosition = 0;
    std::uint64_t mEnd = 0;
    bool mByChannel = false;
    /// For a checked stream: the keys its records must hold, and what they tally into.
    Window mChecked;
    StreamTally* mTally = nullptr;
    bool mAtEnd = true;
    Key mKey;
    std::uint64_t mCurrent = 0;
};

} // namespace Orvid::Compare::Engine
