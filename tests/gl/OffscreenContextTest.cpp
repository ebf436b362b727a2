#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "GlTestSupport.h"

TEST(OffscreenContextTest, RefusesBadSizesAndSecondCreate)
{
    for (const auto& [nWidth, nHeight] : {std::pair{0, 10}, {10, 0}, {-1, -1}, {1 << 20, 4}})
    {
        COffscreenContext context;
        std::vector<uint8_t> rgba;
        EXPECT_FALSE(context.Create(nWidth, nHeight));
        EXPECT_FALSE(context.GetError().empty());
        EXPECT_FALSE(context.IsCreated() || context.ReadPixels(rgba)) << nWidth;
    }
    COffscreenContext context;
    ASSERT_TRUE(context.Create(4, 4)) << context.GetError();
    EXPECT_FALSE(context.Create(4, 4));
    EXPECT_TRUE(context.IsCreated());
}

// Two contexts live side by side; ending one neither ends the other nor leaves it unusable.
TEST(OffscreenContextTest, ContextsAreIndependent)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    std::vector<uint8_t> rgba;
    {
        COffscreenContext small;
        ASSERT_TRUE(small.Create(5, 3)) << small.GetError();
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_TRUE(small.ReadPixels(rgba));
        ASSERT_EQ(rgba.size(), 5u * 3u * 4u);
        for (size_t i = 0; i < rgba.size(); ++i)
            EXPECT_EQ(rgba[i], i % 4 == 1 || i % 4 == 2 ? 0 : 255) << i; // opaque red
    }
    ASSERT_TRUE(GlTest::Context()->MakeCurrent());
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(GlTest::Context()->ReadPixels(rgba));
    ASSERT_EQ(rgba.size(), static_cast<size_t>(GlTest::SIZE * GlTest::SIZE * 4));
    EXPECT_EQ((std::array{rgba[0], rgba[2], rgba[rgba.size() - 2]}), (std::array<uint8_t, 3>{0, 255, 255}));
}
