#include <Utils/UsableCpus.h>

#include <algorithm>
#include <thread>

#include <sched.h>

namespace Orvid::Utils {

unsigned usableCpuCount() {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (::sched_getaffinity(0, sizeof(mask), &mask) == 0) {
        const int count = CPU_COUNT(&mask);
        if (count > 0) {
            return static_cast<unsigned>(count);
        }
    }
    return std::max(1U, std::thread::hardware_concurrency());
}

} // namespace Orvid::Utils
