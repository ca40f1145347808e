// ThreadCpu -- where a run's CPU time goes, thread by thread, for the clip
// pipeline's per-stage breakdown.
//
// Libraries start worker threads of their own (a codec's frame or slice
// threads, a software renderer's rasterizers) whose time no call of ours
// sees. On Linux a new thread takes its creator's name, so the runner names
// its thread before it opens a decoder, an encoder or the GL context, and
// sums the live threads' time by name afterwards. Elsewhere only the
// calling thread's own time is known and ThreadsByName answers nothing.
//
// ThreadCpuPosix.cpp (Linux through /proc, macOS), ThreadCpuWin32.cpp.
#pragma once

#include <map>
#include <string>

namespace tessivar {

// CPU seconds (user and system) the calling thread has used.
double ThreadCpuSeconds();
// Names the calling thread (at most 15 characters are kept); the threads it
// starts from now on inherit the name where the system passes it on.
void NameThisThread(const char* name);
// CPU seconds of every live thread but the process's first, summed by thread
// name; empty where the system does not say.
std::map<std::string, double> ThreadsByName();

}  // namespace tessivar
