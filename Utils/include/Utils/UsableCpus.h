#pragma once

#include <Utils/UtilsExport.h>

namespace Orvid::Utils {

/// The number of CPUs this process may run on: those of its affinity mask, as `taskset` and cluster
/// schedulers set it, not the machine's; the machine's hardware threads when the mask cannot be read.
/// At least 1. The default thread count of whatever runs "on every core".
ORVID_UTILS_EXPORT unsigned usableCpuCount();

} // namespace Orvid::Utils
