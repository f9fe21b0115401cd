#pragma once

#include "Laz/ArithmeticEncoder.h"

#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// One layer of a layered chunk being encoded, the counterpart of LayerStream: its coder, and whether
/// its field changed within the chunk. A layer whose field never changed is written without bytes, and
/// the decoder keeps the first point's value; its coder still takes every symbol, as the widely used
/// encoder's does.
class EncodedLayer {
public:
    ArithmeticEncoder& encoder() { return mEncoder; }
    void noteChange(bool changed) { mChanged = mChanged || changed; }
    /// The layer's bytes, none when its field never changed; the layer is spent.
    std::vector<std::uint8_t> finish() {
        std::vector<std::uint8_t> bytes = mEncoder.finish();
        if (!mChanged) {
            bytes.clear();
        }
        return bytes;
    }

private:
    ArithmeticEncoder mEncoder;
    bool mChanged = false;
};

/// The layers of one chunk, each item's after the item before.
using ChunkLayers = std::vector<std::vector<std::uint8_t>>;

} // namespace Orvid::FileIoInterface::Las::Laz
