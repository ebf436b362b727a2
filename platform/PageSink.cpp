#include "platform/PageSink.h"

#include <algorithm>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "platform/HugePages.h"

namespace
{
// Whether any of the 2 MB page at n is in memory: one that is not would take a target's page for
// nothing.
bool InMemory(uintptr_t n)
{
#if defined(__linux__)
    constexpr size_t SMALL_PAGE = 4096;
    unsigned char pages[HUGE_PAGE_SIZE / SMALL_PAGE];
    if (mincore(reinterpret_cast<void*>(n), HUGE_PAGE_SIZE, pages) != 0)
        return false;
    return std::any_of(std::begin(pages), std::end(pages), [](unsigned char c) { return (c & 1) != 0; });
#else
    (void)n;
    return false;
#endif
}
} // namespace

void CPageSink::AddTarget(void* p, size_t nBytes)
{
    const uintptr_t nStart = HugePageUp(reinterpret_cast<uintptr_t>(p));
    const uintptr_t nEnd = HugePageDown(reinterpret_cast<uintptr_t>(p) + nBytes);
    if (p != nullptr && nEnd > nStart)
        m_targets.push_back({nStart, nEnd});
}

size_t CPageSink::Give(void* p, size_t nBytes)
{
    if (p == nullptr)
        return 0;
    size_t nGiven = 0;
    const uintptr_t nEnd = HugePageDown(reinterpret_cast<uintptr_t>(p) + nBytes);
    for (uintptr_t n = HugePageUp(reinterpret_cast<uintptr_t>(p)); n < nEnd && !m_bRefused;
         n += HUGE_PAGE_SIZE)
    {
        while (m_nTarget < m_targets.size() && m_targets[m_nTarget].nStart == m_targets[m_nTarget].nEnd)
            ++m_nTarget;
        if (m_nTarget == m_targets.size())
            break;
        // A page at a time, each only where it is in memory.
        if (!InMemory(n))
            continue;
        SRange& target = m_targets[m_nTarget];
        if (!MovePages(reinterpret_cast<void*>(n), reinterpret_cast<void*>(target.nStart), HUGE_PAGE_SIZE))
            m_bRefused = true;
        else
        {
            target.nStart += HUGE_PAGE_SIZE;
            nGiven += HUGE_PAGE_SIZE;
        }
    }
    return nGiven;
}
