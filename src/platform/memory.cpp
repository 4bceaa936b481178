#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ on glibc systems

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tamarind::platform {

// glibc raises its mmap threshold to the largest block freed so far (up to
// 32 MB) and its trim threshold to twice that, so after one large page a
// folder run keeps up to 64 MB of freed bitmaps and coefficient buffers
// resident for good: 35 MB above the largest page's own need on the hostile
// test set. Fixed thresholds stop that. Blocks of 8 MB and more (the
// buffers of pages beyond about 4 million pixels) are mapped and unmapped
// each time; smaller ones stay on the heap, which is trimmed once 16 MB lie
// free at its top. Ordinary pages convert as fast as before.
void ReturnFreedPageMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
}

}  // namespace tamarind::platform
