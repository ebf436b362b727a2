#include <gtest/gtest.h>

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
bool HugePagesAsked(const void* a)
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

TEST(HugePagesTest, AsksOnlyForTheWholeHugePagesInsideABlock)
{
    constexpr uintptr_t MB = 1 << 20, SIZE = 9 * MB;
    std::unique_ptr<char[]> pPlain(new char[SIZE]);
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled") ||
        HugePagesAsked(pPlain.get() + SIZE / 2))
        GTEST_SKIP() << "no transparent huge pages, or the C library asks for them for every block";
    std::unique_ptr<char[]> pBlock(NewHugeArray<char>(SIZE)), pSmall(NewHugeArray<char>(MB));
    const uintptr_t nBlock = reinterpret_cast<uintptr_t>(pBlock.get());
    char* const pFirst = pBlock.get() + (-nBlock & (2 * MB - 1));
    char* const pEnd = pBlock.get() + ((nBlock + SIZE) & ~(2 * MB - 1)) - nBlock;
    EXPECT_TRUE(HugePagesAsked(pFirst) && HugePagesAsked(pEnd - 1));
    // The partial huge pages at the ends may hold other blocks; a block without a whole one is
    // left alone too.
    EXPECT_TRUE(pFirst == pBlock.get() || !HugePagesAsked(pFirst - 1));
    EXPECT_TRUE(pEnd == pBlock.get() + SIZE || !HugePagesAsked(pEnd));
    EXPECT_FALSE(HugePagesAsked(pSmall.get() + MB / 2));
}

TEST(HugePagesTest, RestartsOnlyWhereTheHeapTunableHelps)
{
    constexpr const char* MADVISE = "always [madvise] never\n";
    EXPECT_EQ(HugePageHeapTunables(nullptr, MADVISE), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(HugePageHeapTunables("glibc.malloc.arena_max=2", MADVISE),
              "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    // The user's own choice, or the restart made already; huge pages without asking, or never.
    for (const auto& [pszTunables, pszMode] : {std::pair{"glibc.malloc.hugetlb=0", MADVISE},
                                               {"x=1:glibc.malloc.hugetlb=1", MADVISE},
                                               {"", "[always] madvise never\n"},
                                               {"", "always madvise [never]\n"},
                                               {"", ""}})
        EXPECT_EQ(HugePageHeapTunables(pszTunables, pszMode), std::nullopt) << pszTunables << pszMode;
}
} // namespace
