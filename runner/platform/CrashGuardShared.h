// What CrashGuard's platform files share (CrashGuard.cpp): the paths to
// remove when a crash ends the program, read from a fault handler without
// allocating or locking.
#pragma once

namespace tessivar::crashguard {

// Removes every remembered path, latest first (files, then their folders).
void RemoveRemembered();
// The platform's removal of one file or empty folder, safe in a fault handler.
void RemovePath(const char* path);
// Writes text to standard error, safe in a fault handler.
void WriteError(const char* text);
// "0x1f" into buffer (at least 19 bytes), safe in a fault handler.
const char* Hex(unsigned long long value, char* buffer);

}  // namespace tessivar::crashguard
