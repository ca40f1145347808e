// ToolShell -- runs the build machine's media tools (ffmpeg, ffprobe), with
// which the tests make clips the runner's own writer cannot and read back
// what it wrote, one file per platform. Under Wine these are the Linux tools
// the Linux suite runs: the Windows build is checked by the same independent
// decoder, and no second FFmpeg has to be cross-built with the sources,
// filters and encoders the tests' clips need.
#pragma once

#include <string>

namespace testtools {

// Runs `command` through the shell (sh; cmd.exe on Windows proper, where the
// tools must be on PATH); true when it exits 0. Under Wine each Windows path
// in it (a drive letter, a colon and a separator, up to the next space or
// quote) is first given its Unix name.
bool RunTool(const std::string& command);

#ifdef _WIN32
// Whether this Windows program runs under Wine.
bool UnderWine();
#endif

}  // namespace testtools
