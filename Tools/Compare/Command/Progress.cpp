#include "Command/Progress.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace Orvid::Compare {

const char* phaseLabel(Engine::Phase phase) {
    switch (phase) {
    case Engine::Phase::decoding:
        return "decoding";
    case Engine::Phase::indexing:
        return "indexing";
    case Engine::Phase::comparing:
        break;
    }
    return "comparing";
}

Progress::Progress(std::ostream& terminal, bool enabled)
    : mTerminal(terminal)
    , mEnabled(enabled) {}

Progress::~Progress() {
    finish();
}

void Progress::update(const std::string& label, std::uint64_t done, std::uint64_t total) {
    if (!mEnabled) {
        return;
    }
    const bool newPhase = label != mLabel;
    if (newPhase) {
        finish();
        mLabel = label;
    }
    mDone = done;
    mTotal = total;
    const auto now = std::chrono::steady_clock::now();
    if (newPhase || done == total || now - mLastDraw >= std::chrono::milliseconds(100)) {
        mLastDraw = now;
        draw();
    }
}

void Progress::finish() {
    if (mEnabled && mDrawn) {
        draw();
        mTerminal << '\n' << std::flush;
        mDrawn = false;
    }
}

void Progress::draw() {
    const double share =
        mTotal == 0 ? 1.0 : std::min(1.0, static_cast<double>(mDone) / static_cast<double>(mTotal));
    constexpr int WIDTH = 30;
    const int filled = static_cast<int>(share * WIDTH);
    std::ostringstream line;
    line << '\r' << std::left << std::setw(9) << mLabel << " ["
         << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(WIDTH - filled), ' ') << "] " << std::right << std::setw(3)
         << static_cast<int>(share * 100.0) << "%  " << mDone << '/' << mTotal << " points";
    mTerminal << line.str() << std::flush;
    mDrawn = true;
}

} // namespace Orvid::Compare
