#pragma once

#include "Laz/ArithmeticDecoder.h"
#include "Laz/DecoderBuild.h"

#include <cstddef>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// One layer of a layered chunk: its bytes and the decoder that reads them. A layer without bytes
/// means that its field kept the first point's value throughout the chunk.
class LayerStream {
public:
    void start(const std::uint8_t* bytes, std::size_t size) {
        mPresent = size != 0;
        if (mPresent) {
            mDecoder.start(bytes, bytes + size);
        }
    }
    bool present() const { return mPresent; }
    ArithmeticDecoder& decoder() { return mDecoder; }
    /// Whether the layer was read past its end or held a value no model produces.
    bool damaged() const { return mPresent && (mDecoder.overrun() != 0 || mDecoder.corrupt()); }

private:
    ArithmeticDecoder mDecoder;
    bool mPresent = false;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
