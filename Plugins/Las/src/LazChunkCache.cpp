#include <FileIoInterface/Las/LazChunkCache.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>

namespace Orvid::FileIoInterface::Las {

struct LazChunkCache::State {
    struct Entry {
        std::uint64_t file = 0;
        std::size_t chunk = 0;
        std::shared_future<Records> records;
        std::uint64_t lastRead = 0;
    };

    mutable std::mutex mutex;
    std::vector<Entry> entries;
    std::uint64_t reads = 0;
    std::uint64_t files = 0;
    std::uint64_t decoded = 0;
};

LazChunkCache::LazChunkCache(std::size_t capacity)
    : mCapacity(std::max<std::size_t>(capacity, 1))
    , mState(std::make_unique<State>()) {}

LazChunkCache::~LazChunkCache() = default;

std::uint64_t LazChunkCache::decodedChunks() const {
    const std::lock_guard lock(mState->mutex);
    return mState->decoded;
}

std::uint64_t LazChunkCache::newFile() {
    const std::lock_guard lock(mState->mutex);
    return ++mState->files;
}

LazChunkCache::Records LazChunkCache::records(std::uint64_t file, std::size_t chunk,
                                              const std::function<void(std::vector<std::uint8_t>&)>& decode,
                                              const std::function<void()>& whileWaiting) {
    std::promise<Records> made;
    std::shared_future<Records> records;
    bool decodeHere = false;
    {
        const std::lock_guard lock(mState->mutex);
        std::vector<State::Entry>& entries = mState->entries;
        const auto found = std::find_if(entries.begin(), entries.end(), [&](const State::Entry& entry) {
            return entry.file == file && entry.chunk == chunk;
        });
        if (found != entries.end()) {
            found->lastRead = ++mState->reads;
            records = found->records;
        } else {
            if (entries.size() >= mCapacity) {
                entries.erase(std::min_element(entries.begin(), entries.end(),
                                               [](const State::Entry& left, const State::Entry& right) {
                                                   return left.lastRead < right.lastRead;
                                               }));
            }
            records = made.get_future().share();
            entries.push_back({file, chunk, records, ++mState->reads});
            ++mState->decoded;
            decodeHere = true;
        }
    }
    // Decodes, or waits for the thread that decodes, outside the lock.
    if (!decodeHere && whileWaiting &&
        records.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        whileWaiting();
    }
    if (decodeHere) {
        try {
            auto decoded = std::make_shared<std::vector<std::uint8_t>>();
            decode(*decoded);
            made.set_value(std::move(decoded));
        } catch (...) {
            made.set_exception(std::current_exception());
        }
    }
    return records.get();
}

} // namespace Orvid::FileIoInterface::Las
