#include "runner/platform/HeapUsage.h"

#include <malloc.h>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define TESSIVAR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSIVAR_ASAN 1
#endif
#endif
#ifdef TESSIVAR_ASAN
// From the sanitizer runtime (not every compiler ships its header).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace tessivar {

#ifndef TESSIVAR_ASAN
namespace {

// glibc keeps freed blocks of up to 1 KiB in a per-thread cache (up to 7 per
// size class by default) and mallinfo2 counts them as in use. Left alone that
// cache fills slowly, as rarer sizes come and go, and a clean module seemed to
// grow 15 to 40 bytes a cycle for thousands of cycles. Filling every class
// before each reading makes the cache's share the same every time, so what is
// left to move is what the program holds.
constexpr size_t kCacheClasses = 64;   // chunks of 32 to 1040 bytes, 16 apart
constexpr size_t kCachePerClass = 16;  // more than the cache keeps per class

void fillThreadCache() {
    // Called through volatile pointers: a compiler may drop a malloc whose
    // block is only freed.
    void* (*volatile take)(size_t) = std::malloc;
    void (*volatile give)(void*) = std::free;
    void* held[kCacheClasses][kCachePerClass];
    for (size_t c = 0; c < kCacheClasses; ++c)
        for (size_t i = 0; i < kCachePerClass; ++i) held[c][i] = take(24 + 16 * c);
    for (size_t c = 0; c < kCacheClasses; ++c)
        for (size_t i = 0; i < kCachePerClass; ++i) give(held[c][i]);
}

}  // namespace
#endif

size_t HeapInUse() {
#ifdef TESSIVAR_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    fillThreadCache();
    // Small blocks in use plus the large ones malloc maps on their own.
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace tessivar
