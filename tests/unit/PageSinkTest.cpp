#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/HugePages.h"
#include "platform/PageSink.h"

namespace
{
char* FirstWholePage(char* p)
{
    return reinterpret_cast<char*>(HugePageUp(reinterpret_cast<uintptr_t>(p)));
}

TEST(PageSinkTest, HandsOnThePagesInMemoryInOrderAsFarAsTheTargetsGo)
{
    constexpr size_t PAGE = HUGE_PAGE_SIZE;
    std::unique_ptr<char[]> pSource(NewHugeArray<char>(6 * PAGE)), pFirst(NewHugeArray<char>(3 * PAGE)),
        pSecond(NewHugeArray<char>(3 * PAGE));
    char* const s = FirstWholePage(pSource.get());
    // Four pages to give: the third one never in memory, which takes no target's page.
    std::fill(s, s + PAGE, 'a');
    std::fill(s + PAGE, s + 2 * PAGE, 'b');
    madvise(s + 2 * PAGE, PAGE, MADV_DONTNEED);
    std::fill(s + 3 * PAGE, s + 4 * PAGE, 'c');
    std::fill(s + 4 * PAGE, s + 5 * PAGE, 'd');

    // Room for three pages: two in the first target, and the one whole 2 MB page of the second.
    char* const t1 = FirstWholePage(pFirst.get());
    char* const t2 = FirstWholePage(pSecond.get());
    CPageSink sink;
    sink.AddTarget(t1, 2 * PAGE);
    sink.AddTarget(t2 + 1, 2 * PAGE);
    const size_t nGiven = sink.Give(s, 5 * PAGE);
    if (nGiven == 0)
        return; // the system cannot move pages (the refusal is HugePagesTest's)
    EXPECT_EQ(nGiven, 3 * PAGE);
    EXPECT_EQ(t1[0] + 0, 'a');
    EXPECT_EQ(t1[PAGE] + 0, 'b');
    EXPECT_EQ(t2[PAGE] + 0, 'c');
    EXPECT_EQ(s[0] + 0, 0);
    // What the targets had no room for stays, and the sink is full.
    EXPECT_EQ(sink.Give(s + 4 * PAGE, PAGE), 0u);
    EXPECT_EQ(s[4 * PAGE] + 0, 'd');
}
} // namespace
