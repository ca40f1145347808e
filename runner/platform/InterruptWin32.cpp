#include "runner/platform/Interrupt.h"

#include <windows.h>

#include <atomic>

namespace tessivar {

namespace {
std::atomic<DWORD> g_event{~DWORD(0)};

// Called on a thread of its own by the console; answering TRUE keeps the
// process alive until the render loop ends it.
BOOL WINAPI onConsoleEvent(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    g_event = type;
    return TRUE;
}
}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool Interrupted() { return g_event != ~DWORD(0); }

const char* InterruptName() { return g_event == CTRL_BREAK_EVENT ? "Ctrl-Break" : "Ctrl-C"; }

}  // namespace tessivar
