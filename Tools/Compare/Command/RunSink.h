#pragma once

#include "Command/ClassFiles.h"
#include "Command/Interruption.h"
#include "Gather/RunGatherer.h"

#include <CompareEngine/DecisionSink.h>

namespace Orvid::Compare {

/// Hands every decision to what the run gathers and writes, and stops the run when it is interrupted.
class RunSink final : public Engine::DecisionSink {
public:
    RunSink(RunGatherer& gatherer, ClassFiles* classFiles)
        : mGatherer(gatherer)
        , mClassFiles(classFiles) {}

    void scanned(const Engine::InputFacts& reference, const Engine::InputFacts& test) override {
        mGatherer.scanned(reference, test);
    }

    /// Class files already written cannot be taken back.
    bool restartable() const override { return mClassFiles == nullptr && mGatherer.restartable(); }
    void restart() override { mGatherer.restart(); }

    void decided(const Engine::Decision& decision) override {
        throwIfInterrupted();
        mGatherer.decided(decision);
        if (mClassFiles != nullptr) {
            mClassFiles->decided(decision);
        }
    }

private:
    RunGatherer& mGatherer;
    ClassFiles* mClassFiles;
};

} // namespace Orvid::Compare
