#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "GlTestSupport.h"
#include "platform/OffscreenContext.h"

namespace
{
TEST(OffscreenContextTest, RefusesBadSizesAndSecondCreate)
{
    for (const auto& size : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-1, -1}, std::pair{1 << 20, 4}})
    {
        COffscreenContext context;
        EXPECT_FALSE(context.Create(size.first, size.second));
        EXPECT_FALSE(context.GetError().empty());
        EXPECT_FALSE(context.IsCreated());
        std::vector<uint8_t> rgba;
        EXPECT_FALSE(context.ReadPixels(rgba));
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
    {
        COffscreenContext small;
        ASSERT_TRUE(small.Create(5, 3)) << small.GetError();
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(small.ReadPixels(rgba));
        ASSERT_EQ(rgba.size(), 5u * 3u * 4u);
        for (size_t i = 0; i < rgba.size(); i += 4)
            EXPECT_EQ((std::array<int, 4>{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]}),
                      (std::array<int, 4>{255, 0, 0, 255}));
    }
    COffscreenContext* pShared = GlTest::Context();
    ASSERT_TRUE(pShared->MakeCurrent());
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(pShared->ReadPixels(rgba));
    ASSERT_EQ(rgba.size(), static_cast<size_t>(GlTest::SIZE * GlTest::SIZE * 4));
    EXPECT_EQ(rgba[2], 255);
    EXPECT_EQ(rgba[rgba.size() - 2], 255);
    EXPECT_EQ(rgba[0], 0);
    // A compatibility context: the fixed-function entry points work.
    glEnable(GL_COLOR_MATERIAL);
    EXPECT_EQ(glIsEnabled(GL_COLOR_MATERIAL), GL_TRUE);
    glDisable(GL_COLOR_MATERIAL);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
} // namespace
