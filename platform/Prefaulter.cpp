#include "platform/Prefaulter.h"

#include <algorithm>
#include <exception>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace
{
// A huge page at a time, so that a stop waits for little.
constexpr uintptr_t STEP = uintptr_t{2} << 20;
} // namespace

bool PrefaultForWrite(const void* p, size_t nBytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t PAGE = 4096;
    const uintptr_t nStart = (reinterpret_cast<uintptr_t>(p) + PAGE - 1) & ~(PAGE - 1);
    const uintptr_t nEnd = (reinterpret_cast<uintptr_t>(p) + nBytes) & ~(PAGE - 1);
    return nEnd <= nStart ||
           madvise(reinterpret_cast<void*>(nStart), nEnd - nStart, MADV_POPULATE_WRITE) == 0;
#else
    (void)p;
    (void)nBytes;
    return false;
#endif
}

void CPrefaulter::Start(std::initializer_list<SBlock> blocks)
{
    Stop();
    size_t nTotal = 0;
    for (const SBlock& block : blocks)
        nTotal += block.p != nullptr ? block.nBytes : 0;
    if (nTotal < MIN_BYTES)
        return;
    try
    {
        m_blocks.assign(blocks);
        m_bStop.store(false, std::memory_order_relaxed);
        m_thread = std::thread([this] { Run(); });
    }
    catch (const std::exception&)
    {
        // Without a thread the caller faults its pages itself, as it would anyway.
    }
}

void CPrefaulter::Stop()
{
    if (!m_thread.joinable())
        return;
    m_bStop.store(true, std::memory_order_relaxed);
    m_thread.join();
}

void CPrefaulter::Run()
{
    for (auto it = m_blocks.rbegin(); it != m_blocks.rend(); ++it)
    {
        if (it->p == nullptr)
            continue;
        const uintptr_t nStart = reinterpret_cast<uintptr_t>(it->p);
        for (uintptr_t nTop = nStart + it->nBytes; nTop > nStart;)
        {
            if (m_bStop.load(std::memory_order_relaxed))
                return;
            // Down to a step boundary, so that each call covers whole huge pages.
            const uintptr_t nBottom = std::max(nStart, (nTop - 1) & ~(STEP - 1));
            if (!PrefaultForWrite(reinterpret_cast<const void*>(nBottom), nTop - nBottom))
                return;
            nTop = nBottom;
        }
    }
}
