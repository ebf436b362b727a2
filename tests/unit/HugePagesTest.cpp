#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "platform/HugePages.h"

namespace
{
// The flags the kernel shows for the mapping that holds address a ("hg": huge pages asked for).
std::string VmFlagsAt(uintptr_t a)
{
    std::ifstream smaps("/proc/self/smaps");
    bool bInside = false;
    for (std::string line; std::getline(smaps, line);)
    {
        uintptr_t nStart = 0, nEnd = 0;
        char cDash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> nStart >> cDash >> nEnd && cDash == '-')
            bInside = nStart <= a && a < nEnd;
        else if (bInside && line.rfind("VmFlags:", 0) == 0)
            return line + " ";
    }
    return "";
}

bool HugePagesAsked(uintptr_t a)
{
    return VmFlagsAt(a).find(" hg ") != std::string::npos;
}

TEST(HugePagesTest, AsksOnlyForTheWholeHugePagesInsideABlock)
{
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
        GTEST_SKIP() << "no transparent huge pages here";
    constexpr uintptr_t MB = 1 << 20, HUGE_PAGE = 2 * MB;
    constexpr size_t SIZE = 9 * MB;
    std::unique_ptr<char[]> pPlain(new char[SIZE]);
    if (HugePagesAsked(reinterpret_cast<uintptr_t>(pPlain.get()) + SIZE / 2))
        GTEST_SKIP() << "the C library asks for huge pages for every block itself";
    std::unique_ptr<char[]> pBlock(NewHugeArray<char>(SIZE));
    const uintptr_t nBlock = reinterpret_cast<uintptr_t>(pBlock.get());
    const uintptr_t nFirst = (nBlock + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    const uintptr_t nEnd = (nBlock + SIZE) / HUGE_PAGE * HUGE_PAGE;
    ASSERT_GE(nEnd - nFirst, 3 * MB);
    EXPECT_TRUE(HugePagesAsked(nFirst)) << VmFlagsAt(nFirst);
    EXPECT_TRUE(HugePagesAsked(nEnd - 1));
    // The block's partial huge pages at both ends may hold other blocks: left alone.
    EXPECT_TRUE(nFirst == nBlock || !HugePagesAsked(nFirst - 1));
    EXPECT_TRUE(nEnd == nBlock + SIZE || !HugePagesAsked(nEnd));
    // A block with no whole huge page inside is left alone too.
    std::unique_ptr<char[]> pSmall(NewHugeArray<char>(MB));
    EXPECT_FALSE(HugePagesAsked(reinterpret_cast<uintptr_t>(pSmall.get()) + MB / 2));
}
TEST(HugePagesTest, RestartsOnlyWhereTheHeapTunableHelps)
{
    constexpr const char* MADVISE = "always [madvise] never\n";
    const struct
    {
        const char* pszTunables;
        const char* pszMode;
        std::optional<std::string> expected;
    } cases[] = {
        {nullptr, MADVISE, "glibc.malloc.hugetlb=1"},
        {"", MADVISE, "glibc.malloc.hugetlb=1"},
        {"glibc.malloc.arena_max=2", MADVISE, "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
        // The user's own choice, or the restart already made.
        {"glibc.malloc.hugetlb=0", MADVISE, std::nullopt},
        {"glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1", MADVISE, std::nullopt},
        // Huge pages without asking, never, or no such kernel.
        {nullptr, "[always] madvise never\n", std::nullopt},
        {nullptr, "always madvise [never]\n", std::nullopt},
        {nullptr, "", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HugePageHeapTunables(c.pszTunables, c.pszMode), c.expected)
            << (c.pszTunables != nullptr ? c.pszTunables : "(unset)") << ", " << c.pszMode;
}
} // namespace
