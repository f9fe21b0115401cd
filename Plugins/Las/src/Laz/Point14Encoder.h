#pragma once

#include "Laz/EncodedLayer.h"
#include "Laz/GpsTimeEncoder.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/Point14Decoder.h"

#include <array>
#include <cstdint>
#include <memory>

namespace Orvid::FileIoInterface::Las::Laz {

/// POINT14 version 3 of layered chunks, the inverse of Point14Decoder: the change flags, returns and
/// x/y in the first layer, each other field group in a layer of its own, with models kept apart per
/// scanner channel.
class Point14Encoder {
public:
    static constexpr std::size_t LAYERS = Point14Layer::COUNT;

    Point14Encoder();
    ~Point14Encoder();
    Point14Encoder(Point14Encoder&&) noexcept;
    Point14Encoder& operator=(Point14Encoder&&) noexcept;

    /// Takes the chunk's first record, which is stored raw; returns its scanner channel, the context in
    /// which the record's other items start.
    std::uint32_t start(const std::uint8_t* first);
    /// Encodes the next record's 30 bytes; returns the context of the record's other items, as
    /// Point14Decoder::decode does.
    std::uint32_t encode(const std::uint8_t* record);
    /// Appends the bytes of the item's layers to `layers`; the encoder is spent.
    void finish(ChunkLayers& layers);

private:
    using Context = Point14Context<IntegerEncoder, GpsTimeSequencesEncoder>;
    // The steps of `encode`, in the order of the layers they write.
    void encodeReturns(ArithmeticEncoder& main, Context& context, const Point14Fields& point,
                       std::uint32_t changed, std::uint32_t timeChanged);
    void encodeCoordinates(ArithmeticEncoder& main, Context& context, const Point14Fields& point,
                           std::uint32_t timeChanged);
    void encodeAttributes(Context& context, const Point14Fields& point, std::uint32_t changed,
                          std::uint32_t timeChanged);

    std::array<EncodedLayer, LAYERS> mLayers;
    std::array<std::unique_ptr<Context>, 4> mContexts;
    std::uint32_t mChannel = 0;
};

} // namespace Orvid::FileIoInterface::Las::Laz
