#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/HugePages.h"

namespace
{
// Whether the mapping that holds address a asks for huge pages (flag "hg" in /proc/self/smaps).
bool HugePagesAsked(const char* a)
{
    std::ifstream smaps("/proc/self/smaps");
    bool bInside = false;
    for (std::string line; std::getline(smaps, line);)
    {
        uintptr_t nStart = 0, nEnd = 0;
        if (std::sscanf(line.c_str(), "%zx-%zx ", &nStart, &nEnd) == 2)
            bInside = nStart <= reinterpret_cast<uintptr_t>(a) && reinterpret_cast<uintptr_t>(a) < nEnd;
        else if (bInside && line.rfind("VmFlags:", 0) == 0)
            return (line + " ").find(" hg ") != std::string::npos;
    }
    return false;
}

TEST(HugePagesTest, AsksOnlyForTheWholeHugePagesInsideABlockAndRestartsOnlyWhereThatHelps)
{
    constexpr uintptr_t MB = 1 << 20, SIZE = 9 * MB;
    std::unique_ptr<char[]> pPlain(new char[SIZE]), pBlock(NewHugeArray<char>(SIZE)),
        pSmall(NewHugeArray<char>(MB));
    char* const pFirst = pBlock.get() + (-reinterpret_cast<uintptr_t>(pBlock.get()) & (2 * MB - 1));
    char* const pEnd = pFirst + (SIZE - (pFirst - pBlock.get())) / (2 * MB) * (2 * MB);
    // Skipped where the C library asks for every block itself, or there are no huge pages.
    if (std::filesystem::exists("/sys/kernel/mm/transparent_hugepage") && !HugePagesAsked(pPlain.get() + MB))
    {
        EXPECT_TRUE(HugePagesAsked(pFirst) && HugePagesAsked(pEnd - 1));
        // The partial huge pages at the ends may hold other blocks.
        EXPECT_FALSE(pFirst > pBlock.get() && HugePagesAsked(pFirst - 1));
        EXPECT_FALSE(pEnd < pBlock.get() + SIZE && HugePagesAsked(pEnd));
        EXPECT_FALSE(HugePagesAsked(pSmall.get() + MB / 2)); // no whole huge page inside
    }

    // Moved pages take what they hold along, even from two mappings, and leave zeros; the rest of
    // the block stays. A system that cannot move them leaves zeros in the target instead.
    std::unique_ptr<char[]> pTarget(NewHugeArray<char>(SIZE));
    char* const pTo = reinterpret_cast<char*>(HugePageUp(reinterpret_cast<uintptr_t>(pTarget.get())));
    std::fill(pFirst, pEnd, 'a');
    std::fill(pFirst, pFirst + 2 * MB, 'b');
    madvise(pFirst + 2 * MB, 2 * MB, MADV_NOHUGEPAGE); // a mapping of its own
    const bool bMoved = MovePages(pFirst, pTo, 4 * MB);
    EXPECT_EQ(pTo[0] + 0, bMoved ? 'b' : 0);
    EXPECT_EQ(pTo[4 * MB - 1] + 0, bMoved ? 'a' : 0);
    EXPECT_EQ(pFirst[0] + 0, bMoved ? 0 : 'b');
    EXPECT_EQ(pFirst[4 * MB] + 0, 'a');
    pFirst[0] = 'c'; // the source is memory to write again
    EXPECT_EQ(pFirst[0], 'c');

    // Once, and only where the kernel waits to be asked.
    EXPECT_EQ(HugePageHeapTunables("a=2", "always [madvise] never"), "a=2:glibc.malloc.hugetlb=1");
    EXPECT_EQ(HugePageHeapTunables("a=2:glibc.malloc.hugetlb=1", "always [madvise] never"), std::nullopt);
    EXPECT_EQ(HugePageHeapTunables(nullptr, "[always] madvise never"), std::nullopt);
}
} // namespace
