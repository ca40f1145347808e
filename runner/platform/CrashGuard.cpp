#include "runner/platform/CrashGuard.h"

#include "runner/platform/CrashGuardShared.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace tessivar {

std::string Crash::Describe() const {
    return "crashed in " + call + ": " + signal + (what.empty() ? "" : " (" + what + ")");
}

namespace {

// Fixed storage, so a fault handler can read it as it stands: a slot is in
// use while its first byte is not zero, and holds a whole path before that.
constexpr int kSlots = 32;
constexpr size_t kPathBytes = 1024;
struct Slot {
    std::atomic<unsigned> order{0};  // 0: free; else the order of remembering
    char path[kPathBytes];
};
Slot g_slots[kSlots];
std::atomic<unsigned> g_next{1};
std::mutex g_mutex;  // between Remember and Forget only

}  // namespace

bool RememberToRemoveOnCrash(const std::string& path) {
    if (path.empty() || path.size() >= kPathBytes || path.find('\0') != std::string::npos) return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Slot& s : g_slots) {
        if (s.order.load() != 0) continue;
        std::memcpy(s.path, path.c_str(), path.size() + 1);
        s.order.store(g_next++);
        return true;
    }
    return false;
}

void ForgetToRemoveOnCrash(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Slot& s : g_slots)
        if (s.order.load() != 0 && path == s.path) {
            s.order.store(0);
            return;
        }
}

namespace crashguard {

void RemoveRemembered() {
    // Latest first: a folder is remembered before the files made in it.
    for (;;) {
        Slot* latest = nullptr;
        for (Slot& s : g_slots)
            if (s.order.load() != 0 && (!latest || s.order.load() > latest->order.load())) latest = &s;
        if (!latest) return;
        RemovePath(latest->path);
        latest->order.store(0);
    }
}

const char* Hex(unsigned long long value, char* buffer) {
    char digits[17];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value && n < 16);
    buffer[0] = '0';
    buffer[1] = 'x';
    for (int i = 0; i < n; ++i) buffer[2 + i] = digits[n - 1 - i];
    buffer[2 + n] = '\0';
    return buffer;
}

}  // namespace crashguard
}  // namespace tessivar
