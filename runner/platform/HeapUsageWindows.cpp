#include "runner/platform/HeapUsage.h"

#include <malloc.h>

namespace tessivar {

size_t HeapInUse() {
    // The C runtime's heap, block by block: what malloc and new hand out,
    // which is where a plugin's leak would show.
    size_t used = 0;
    _HEAPINFO entry{};
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) used += entry._size;
    return used;
}

}  // namespace tessivar
