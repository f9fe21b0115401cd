#pragma once

#include "Command/InputSnapshot.h"
#include "Command/OutputTransaction.h"

namespace Orvid::Compare {

/// While it lives, an input that shrinks under the run ends the run as any failure does rather than
/// with a crash. Input records are mapped, and reading a mapped page past the new end of a file raises
/// SIGBUS, in whichever thread reads it, where no exception can be thrown and no lock may be taken.
/// So the handler does only what is safe in a signal handler: it finds the input now shorter than
/// the snapshot saw it (stat), writes a message made beforehand naming it, removes the outputs' staging
/// (paths listed beforehand, folders walked with system calls alone), and exits with status 2. A
/// SIGBUS of another kind keeps its default action. One guard at a time.
class ShrunkInputGuard {
public:
    /// `inputs`: the run's input files when it started; `made`: what a failure must remove.
    ShrunkInputGuard(const InputSnapshot& inputs, const OutputTransaction::MadePaths& made);
    ~ShrunkInputGuard();
    ShrunkInputGuard(const ShrunkInputGuard&) = delete;
    ShrunkInputGuard& operator=(const ShrunkInputGuard&) = delete;
};

} // namespace Orvid::Compare
