#pragma once

#include "Laz/DecoderBuild.h"

#include <array>
#include <cstdint>
#include <memory>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// The state of one scanner channel for ChannelContexts: the channel's last value and its models, or
/// the encoders that hold them.
template <typename LastValue, typename Models>
struct ChannelState {
    using Value = LastValue;
    explicit ChannelState(const Value& from)
        : last(from) {}
    Value last;
    Models models;
};

/// The per-scanner-channel state of a layered item other than the point: a `Context` with a `last`
/// value and its models, made when its channel first occurs in a chunk.
template <typename Context>
class ChannelContexts {
public:
    /// Starts a chunk on `channel`, the context made by `make(first)`.
    template <typename Make>
    void start(std::uint32_t channel, Make make) {
        for (std::unique_ptr<Context>& context : mContexts) {
            context.reset();
        }
        mCurrent = channel;
        mContexts[channel] = make();
    }

    /// Moves to the point's channel and returns the context whose models decode it; `last` is set to
    /// the value to predict from and to overwrite. A channel met for the first time starts from the
    /// value of the channel left. Returning to a known channel keeps predicting from the channel left
    /// for that one point: the encoders do so, and the streams depend on it.
    template <typename Make>
    Context& select(std::uint32_t channel, typename Context::Value*& last, Make make) {
        last = &mContexts[mCurrent]->last;
        if (channel != mCurrent) {
            mCurrent = channel;
            std::unique_ptr<Context>& context = mContexts[channel];
            if (!context) {
                context = make(*last);
                last = &context->last;
            }
        }
        return *mContexts[mCurrent];
    }

private:
    std::array<std::unique_ptr<Context>, 4> mContexts;
    std::uint32_t mCurrent = 0;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
