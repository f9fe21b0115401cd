#include "Parallel.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvid::Compare::Engine {

void runTasks(unsigned threads, std::size_t count, const std::function<void(std::size_t task)>& task) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t index = 0; index < count; ++index) {
            task(index);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const auto work = [&] {
        while (!failed.load(std::memory_order_relaxed)) {
            const std::size_t index = next.fetch_add(1);
            if (index >= count) {
                return;
            }
            try {
                task(index);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) {
                    failure = std::current_exception();
                }
                failed = true;
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(threads, count) - 1;
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace Orvid::Compare::Engine
