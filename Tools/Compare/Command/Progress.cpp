#include "Command/Progress.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace Orvid::Compare {

Progress::Progress(std::ostream& terminal, bool enabled)
    : mTerminal(terminal)
    , mEnabled(enabled) {}

Progress::~Progress() {
    finish();
}

void Progress::start(const std::string& label, std::uint64_t legs, std::uint64_t points) {
    finish();
    mLabel = label;
    mLegs = legs;
    mLeg = 0;
    mTotal = points;
    mPoints = 0;
    draw(true);
}

void Progress::nextLeg() {
    ++mLeg;
    if (mEnabled) {
        draw(true);
    }
}

void Progress::finish() {
    if (mEnabled && mDrawn) {
        draw(true);
        mTerminal << '\n' << std::flush;
        mDrawn = false;
    }
}

void Progress::draw(bool force) {
    if (!mEnabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - mLastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    mLastDraw = now;
    const double share =
        mTotal == 0 ? 1.0 : std::min(1.0, static_cast<double>(mPoints) / static_cast<double>(mTotal));
    constexpr int WIDTH = 30;
    const int filled = static_cast<int>(share * WIDTH);
    std::ostringstream line;
    line << '\r' << mLabel << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(WIDTH - filled), ' ') << "] " << std::setw(3)
         << static_cast<int>(share * 100.0) << "%  leg " << std::max<std::uint64_t>(mLeg, 1) << '/' << mLegs
         << "  " << mPoints << '/' << mTotal << " points";
    mTerminal << line.str() << std::flush;
    mDrawn = true;
}

} // namespace Orvid::Compare
