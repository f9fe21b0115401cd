#include "Metadata/CoordinateSystem.h"

namespace Orvid::Compare::Metadata {

// Built with PROJ: to come.

} // namespace Orvid::Compare::Metadata
