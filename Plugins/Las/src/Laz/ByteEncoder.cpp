#include "Laz/ByteEncoder.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// The symbol of a byte's change from the last, modulo 256.
std::uint32_t byteChange(std::uint8_t value, std::uint8_t last) {
    return static_cast<std::uint8_t>(value - last);
}

} // namespace

ByteV2Encoder::ByteV2Encoder(std::size_t count)
    : mLast(count)
    , mModels(count) {}

void ByteV2Encoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
}

void ByteV2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    for (std::size_t index = 0; index < mLast.size(); ++index) {
        encoder.encodeSymbol(mModels.model(index), byteChange(record[index], mLast[index]));
        mLast[index] = record[index];
    }
}

LayeredByteEncoder::LayeredByteEncoder(std::size_t count)
    : mLayers(count) {}

void LayeredByteEncoder::start(const std::uint8_t* first, std::uint32_t channel) {
    const LayeredByteContext::Value value(first, first + mLayers.size());
    mContexts.start(channel, [&value] { return std::make_unique<LayeredByteContext>(value); });
}

void LayeredByteEncoder::encode(const std::uint8_t* record, std::uint32_t channel) {
    LayeredByteContext::Value* last = nullptr;
    LayeredByteContext& context = mContexts.select(channel, last, [](const LayeredByteContext::Value& from) {
        return std::make_unique<LayeredByteContext>(from);
    });
    for (std::size_t index = 0; index < mLayers.size(); ++index) {
        mLayers[index].encoder().encodeSymbol(context.models.model(index),
                                              byteChange(record[index], (*last)[index]));
        mLayers[index].noteChange(record[index] != (*last)[index]);
        (*last)[index] = record[index];
    }
}

void LayeredByteEncoder::finish(ChunkLayers& layers) {
    for (EncodedLayer& layer : mLayers) {
        layers.push_back(layer.finish());
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
