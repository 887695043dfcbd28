#include "ntfs/mft_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vantor {

void AdviseHugePages(void* p, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    ::madvise(p, bytes, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

}  // namespace vantor
