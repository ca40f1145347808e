// Interrupt -- a request to stop (Ctrl-C, SIGTERM; console Ctrl-C or Break
// on Windows), caught so that a long run can end at a frame boundary and
// clean up after itself instead of dying with a half-written file.
//
//     CatchInterrupts();
//     for (...) { if (Interrupted()) break; ...one frame... }
//
// One file per platform: InterruptPosix.cpp (sigaction), InterruptWin32.cpp
// (SetConsoleCtrlHandler).
#pragma once

namespace tessivar {

// Installs the handlers; later requests only set the flag. A blocking read
// of standard input returns early when a request arrives.
void CatchInterrupts();
// Whether a request has arrived since CatchInterrupts.
bool Interrupted();
// What the request was ("SIGINT", "SIGTERM", "Ctrl-C", ...).
const char* InterruptName();

// The exit status of a run ended by a request: 128 + SIGINT, as shells report.
constexpr int kExitInterrupted = 130;

}  // namespace tessivar
