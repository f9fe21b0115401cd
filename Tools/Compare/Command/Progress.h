#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace Orvid::Compare {

/// A one-line progress display on a terminal: the input being read, its leg and its points. Redraws
/// at most ten times a second; does nothing when disabled.
class Progress {
public:
    Progress(std::ostream& terminal, bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    /// Starts reading an input of `legs` legs and `points` points (as its headers announce).
    void start(const std::string& label, std::uint64_t legs, std::uint64_t points);
    void nextLeg();
    /// One more point read. Cheap: the clock is looked at every few thousand points only.
    void advance() {
        if (mEnabled && (++mPoints & 0xFFFU) == 0) {
            draw(false);
        }
    }
    /// Ends the current line.
    void finish();

private:
    void draw(bool force);

    std::ostream& mTerminal;
    bool mEnabled;
    bool mDrawn = false;
    std::string mLabel;
    std::uint64_t mLegs = 0;
    std::uint64_t mLeg = 0;
    std::uint64_t mTotal = 0;
    std::uint64_t mPoints = 0;
    std::chrono::steady_clock::time_point mLastDraw;
};

} // namespace Orvid::Compare
