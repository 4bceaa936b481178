#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ on glibc systems

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tamarind::platform {

// glibc raises its mmap threshold to the largest block freed so far (up to
// 32 MB) and its trim threshold to twice that, so after one large page a
// folder run keeps up to 64 MB of freed bitmaps and coefficient buffers
// resident for good. Fixed thresholds stop that. The mmap threshold sits
// above the JPEG coefficient buffer of the largest ordinary fax (A3 at fine
// resolution, about 16 MB at 2 bytes per pixel): a block that is mapped
// afresh for every page costs a page fault and a cleared page per 4 KiB,
// which made wide pages a tenth slower. The heap is trimmed once 24 MB lie
// free at its top, so what a run keeps beyond its current page stays small;
// blocks of the oversized pages hostile files describe are still mapped and
// unmapped each time.
void ReturnFreedPageMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 24 << 20);
#endif
}

}  // namespace tamarind::platform
