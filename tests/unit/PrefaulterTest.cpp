#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/Prefaulter.h"

namespace
{
// Blocks filled from the start while the prefaulter works down from the end keep what was written.
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
}
} // namespace
