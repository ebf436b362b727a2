#include "platform/HugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseHugePages(void* p, size_t nBytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t HUGE_PAGE = uintptr_t{2} << 20;
    const uintptr_t nStart = (reinterpret_cast<uintptr_t>(p) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t nEnd = (reinterpret_cast<uintptr_t>(p) + nBytes) & ~(HUGE_PAGE - 1);
    // A refusal (no huge page support, an old kernel) leaves ordinary pages: nothing to report.
    if (p != nullptr && nEnd > nStart)
        madvise(reinterpret_cast<void*>(nStart), nEnd - nStart, MADV_HUGEPAGE);
#else
    (void)p;
    (void)nBytes;
#endif
}
