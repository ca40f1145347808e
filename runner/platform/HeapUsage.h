// HeapUsage -- how many bytes the process holds on the heap right now.
//
// One function per platform (HeapUsage<Platform>.cpp): the soak reads it
// after every cycle to see whether anything accumulates. What counts is what
// the allocator in use reports, so figures are comparable within one run,
// not between allocators.
#pragma once

#include <cstddef>

namespace tessivar {

// Bytes allocated and not yet freed, as the allocator in use reports them
// (the sanitizer's allocator in a sanitizer build).
size_t HeapInUse();

}  // namespace tessivar
