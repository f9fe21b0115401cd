#include "Laz/ByteDecoder.h"

#include <algorithm>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

ByteV1Decoder::ByteV1Decoder(std::size_t count)
    : mLast(count)
    , mBytes(8, static_cast<std::uint32_t>(count)) {}

void ByteV1Decoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
}

void ByteV1Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    for (std::size_t index = 0; index < mLast.size(); ++index) {
        mLast[index] = static_cast<std::uint8_t>(
            mBytes.decode(decoder, mLast[index], static_cast<std::uint32_t>(index)));
        out[index] = mLast[index];
    }
}

ByteModels::ByteModels(std::size_t count) {
    mModels.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        mModels.emplace_back(256);
    }
}

void ByteModels::reset() {
    for (SymbolModel& model : mModels) {
        model.reset();
    }
}

ByteV2Decoder::ByteV2Decoder(std::size_t count)
    : mLast(count)
    , mModels(count) {}

void ByteV2Decoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
}

void ByteV2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    for (std::size_t index = 0; index < mLast.size(); ++index) {
        mLast[index] = mModels.decode(decoder, index, mLast[index]);
        out[index] = mLast[index];
    }
}

LayeredByteDecoder::LayeredByteDecoder(std::size_t count)
    : mLayers(count) {}

void LayeredByteDecoder::start(const std::uint8_t* first, std::uint32_t channel,
                               const std::uint8_t* const* layers, const std::uint32_t* sizes) {
    for (std::size_t index = 0; index < mLayers.size(); ++index) {
        mLayers[index].start(layers[index], sizes[index]);
    }
    const Context::Value value(first, first + mLayers.size());
    mContexts.start(channel, [&value] { return std::make_unique<Context>(value); });
}

void LayeredByteDecoder::decode(std::uint32_t channel, std::uint8_t* out) {
    Context::Value* last = nullptr;
    Context& context = mContexts.select(
        channel, last, [](const Context::Value& from) { return std::make_unique<Context>(from); });
    for (std::size_t index = 0; index < mLayers.size(); ++index) {
        if (mLayers[index].present()) {
            (*last)[index] = context.models.decode(mLayers[index].decoder(), index, (*last)[index]);
        }
        out[index] = (*last)[index];
    }
}

bool LayeredByteDecoder::damaged() const {
    for (const LayerStream& layer : mLayers) {
        if (layer.damaged()) {
            return true;
        }
    }
    return false;
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
