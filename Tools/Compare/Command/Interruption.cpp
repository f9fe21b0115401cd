#include "Command/Interruption.h"

#include <csignal>
#include <string>

namespace Orvid::Compare {
namespace {

// A signal handler can only reach process-wide state; it stays within this file.
volatile std::sig_atomic_t gReceivedSignal = 0;

extern "C" void markInterrupted(int signalNumber) {
    gReceivedSignal = signalNumber;
}

struct sigaction gPreviousInterrupt {};
struct sigaction gPreviousTerminate {};

} // namespace

Interrupted::Interrupted(int signalNumber)
    : std::runtime_error(std::string("interrupted by ") + (signalNumber == SIGINT ? "SIGINT" : "SIGTERM") +
                         "; no output was written")
    , status(128 + signalNumber) {}

InterruptionGuard::InterruptionGuard() {
    gReceivedSignal = 0;
    struct sigaction action {};
    action.sa_handler = markInterrupted;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &gPreviousInterrupt);
    sigaction(SIGTERM, &action, &gPreviousTerminate);
}

InterruptionGuard::~InterruptionGuard() {
    sigaction(SIGINT, &gPreviousInterrupt, nullptr);
    sigaction(SIGTERM, &gPreviousTerminate, nullptr);
}

void throwIfInterrupted() {
    if (gReceivedSignal != 0) {
        throw Interrupted(gReceivedSignal);
    }
}

} // namespace Orvid::Compare
