#pragma once

#include <Core/IOException.h>

#include <string>

namespace Orvid::Testing::Compare {

/// The message of the Core::IOException that `action` throws; empty when it throws none.
template <typename Action>
std::string refusal(Action&& action) {
    try {
        action();
    } catch (const Core::IOException& error) {
        return error.what();
    }
    return {};
}

} // namespace Orvid::Testing::Compare
