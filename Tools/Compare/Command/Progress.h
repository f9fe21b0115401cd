#pragma once

#include <CompareEngine/Progress.h>

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace Orvid::Compare {

/// The label of an engine's phase on the progress bar: "decoding", "indexing" or "comparing".
const char* phaseLabel(Engine::Phase phase);

/// A one-line progress bar on a terminal: the phase and its points done of the total. Redraws at most
/// ten times a second; does nothing when disabled.
class Progress {
public:
    Progress(std::ostream& terminal, bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    /// `done` of `total` points of the phase `label`; a new label ends the line of the previous one.
    void update(const std::string& label, std::uint64_t done, std::uint64_t total);
    /// Ends the current line.
    void finish();

private:
    void draw();

    std::ostream& mTerminal;
    bool mEnabled;
    bool mDrawn = false;
    std::string mLabel;
    std::uint64_t mDone = 0;
    std::uint64_t mTotal = 0;
    std::chrono::steady_clock::time_point mLastDraw;
};

} // namespace Orvid::Compare
