#include "runner/platform/Interrupt.h"

#include <csignal>

namespace tessivar {

namespace {
volatile std::sig_atomic_t g_signal = 0;

extern "C" void onSignal(int number) { g_signal = number; }
}  // namespace

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read blocked on a pipe returns, so the run notices.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_signal != 0; }

const char* InterruptName() { return g_signal == SIGTERM ? "SIGTERM" : "SIGINT"; }

}  // namespace tessivar
