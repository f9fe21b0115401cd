#pragma once

#include <cstddef>
#include <functional>

namespace Orvid::Compare::Engine {

/// Runs `task(0)` to `task(count - 1)` on up to `threads` threads, the caller's among them, each task
/// once, taken in increasing order. The first exception a task throws stops the handing out of tasks
/// and is rethrown here once every thread has finished.
void runTasks(unsigned threads, std::size_t count, const std::function<void(std::size_t task)>& task);

} // namespace Orvid::Compare::Engine
