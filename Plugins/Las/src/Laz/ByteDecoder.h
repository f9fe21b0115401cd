#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/DecoderBuild.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LayerStream.h"

#include <cstdint>
#include <vector>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// BYTE version 1: each extra byte predicted from the same byte of the last record.
class ByteV1Decoder {
public:
    explicit ByteV1Decoder(std::size_t count);
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    std::vector<std::uint8_t> mLast;
    IntegerDecoder mBytes;
};

/// The models of BYTE version 2 and of one BYTE14 byte: each byte a difference to the last, modulo 256.
class ByteModels {
public:
    explicit ByteModels(std::size_t count);
    void reset();
    std::uint8_t decode(ArithmeticDecoder& decoder, std::size_t index, std::uint8_t last) {
        return static_cast<std::uint8_t>(last + decoder.decodeSymbol(mModels[index]));
    }
    /// The model of byte `index`, for the encoder.
    SymbolModel& model(std::size_t index) { return mModels[index]; }

private:
    std::vector<SymbolModel> mModels;
};

/// BYTE version 2.
class ByteV2Decoder {
public:
    explicit ByteV2Decoder(std::size_t count);
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    std::vector<std::uint8_t> mLast;
    ByteModels mModels;
};

/// What BYTE14 version 3 knows of one scanner channel, kept alike by the encoder and the decoder: the
/// channel's last bytes and their models.
struct LayeredByteContext {
    using Value = std::vector<std::uint8_t>;
    explicit LayeredByteContext(const Value& from)
        : last(from)
        , models(from.size()) {}
    Value last;
    ByteModels models;
};

/// BYTE14 version 3 of layered chunks: each extra byte in a layer of its own, with models kept apart
/// per scanner channel.
class LayeredByteDecoder {
public:
    explicit LayeredByteDecoder(std::size_t count);
    std::size_t layers() const { return mLayers.size(); }
    void start(const std::uint8_t* first, std::uint32_t channel, const std::uint8_t* const* layers,
               const std::uint32_t* sizes);
    void decode(std::uint32_t channel, std::uint8_t* out);
    bool damaged() const;

private:
    using Context = LayeredByteContext;

    std::vector<LayerStream> mLayers;
    ChannelContexts<Context> mContexts;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
