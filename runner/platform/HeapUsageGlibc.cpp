#include "runner/platform/HeapUsage.h"

#include <malloc.h>

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

size_t HeapInUse() {
#ifdef TESSIVAR_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    // Small blocks in use plus the large ones malloc maps on their own.
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace tessivar
