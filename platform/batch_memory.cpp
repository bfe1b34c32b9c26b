#include "platform/batch_memory.h"

#include <cstdlib>  // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void keep_freed_memory() {
#if defined(__GLIBC__)
    // By default glibc maps each block of 128 KiB or more on its own and
    // unmaps it when freed, and trims a heap once 128 KiB lie free at its
    // top. 32 MiB is as far as it would move the first limit by itself.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace platform
