#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Prefaulter.h"

namespace
{
// Whether every page of [p, p + nBytes) is resident.
bool Resident(const void* p, size_t nBytes)
{
    const uintptr_t nPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t nStart = reinterpret_cast<uintptr_t>(p) & ~(nPage - 1);
    const uintptr_t nEnd = reinterpret_cast<uintptr_t>(p) + nBytes;
    std::vector<unsigned char> pages((nEnd - nStart + nPage - 1) / nPage);
    if (mincore(reinterpret_cast<void*>(nStart), nEnd - nStart, pages.data()) != 0)
        return false;
    for (const unsigned char c : pages)
        if ((c & 1) == 0)
            return false;
    return true;
}

// Blocks filled from the start while the prefaulter works down from the end keep what was
// written; a block left alone becomes resident, and reads as the zeros it held.
TEST(PrefaulterTest, FaultsInFromTheEndWithoutChangingWhatTheBlocksHold)
{
    constexpr size_t COUNT = size_t{8} << 20;
    std::unique_ptr<uint32_t[]> pFilled(new uint32_t[COUNT]);
    {
        const CPrefaulter prefault({{pFilled.get(), COUNT / 2 * sizeof(uint32_t)},
                                    {pFilled.get() + COUNT / 2, COUNT / 2 * sizeof(uint32_t)}});
        for (size_t i = 0; i < COUNT; ++i)
            pFilled[i] = static_cast<uint32_t>(i * 2654435761u);
    }
    for (size_t i = 0; i < COUNT; ++i)
        ASSERT_EQ(pFilled[i], static_cast<uint32_t>(i * 2654435761u)) << i;

    // Fresh from the system, untouched.
    constexpr size_t BYTES = COUNT * sizeof(uint32_t);
    void* pMapped = mmap(nullptr, BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pMapped, MAP_FAILED);
    const std::unique_ptr<void, void (*)(void*)> unmap(pMapped, [](void* p) { munmap(p, BYTES); });
    {
        const CPrefaulter prefault({{pMapped, BYTES}});
        for (int i = 0; i < 500 && !Resident(pMapped, BYTES); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(Resident(pMapped, BYTES));
    const uint32_t* pLeft = static_cast<const uint32_t*>(pMapped);
    for (size_t i = 0; i < COUNT; i += 1021)
        ASSERT_EQ(pLeft[i], 0u) << i;
}
} // namespace
