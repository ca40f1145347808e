#include "runner/platform/HeapUsage.h"

#include <malloc/malloc.h>

#if defined(__has_feature)
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
    // Every malloc zone of the process, large blocks included.
    malloc_statistics_t stats{};
    malloc_zone_statistics(nullptr, &stats);
    return stats.size_in_use;
#endif
}

}  // namespace tessivar
