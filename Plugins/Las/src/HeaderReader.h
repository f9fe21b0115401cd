#pragma once

#include "InputFile.h"

#include <FileIoInterface/Las/LasHeader.h>

namespace Orvid::FileIoInterface::Las {

/// Reads and checks the header block and the variable-length records of `file`; see `readLasHeader`.
LasHeader readHeader(InputFile& file);

} // namespace Orvid::FileIoInterface::Las
