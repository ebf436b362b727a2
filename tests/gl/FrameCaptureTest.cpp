#include <GL/gl.h>
#include <gtest/gtest.h>

#include "GlTestSupport.h"
#include "drawing/FrameCapture.h"

// The frame lands in the DIB's own layout: bottom-up rows, blue-green-red order, zero padding;
// the caller's pack state survives.
TEST(FrameCaptureTest, ReadsTheFrameIntoTheDibLayout)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // The two bottom-left pixels red.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 2, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    for (int nBits : {24, 32})
    {
        SCOPED_TRACE(nBits);
        CDib dib;
        ASSERT_TRUE(dib.Create(5, 3, nBits));
        ASSERT_TRUE(CaptureFramebuffer(dib));
        // Bottom-left red, next to it and above it blue; blue-green-red order.
        const size_t nBytes = static_cast<size_t>(nBits / 8), nStride = dib.GetStride();
        for (size_t nAt : {size_t(0), nBytes, 2 * nBytes, 2 * nStride})
            EXPECT_EQ(dib.GetPixels()[nAt] * 256 + dib.GetPixels()[nAt + 2],
                      nAt < 2 * nBytes ? 255 : 255 * 256)
                << nAt;
        for (size_t y = 0; y < 3 && nBits == 24; ++y)
            EXPECT_EQ(dib.GetPixels()[y * 16 + 15], 0) << y;
    }
    GLint nAlignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &nAlignment);
    EXPECT_EQ(nAlignment, 1);

    {
        // Ending the current context leaves none current.
        COffscreenContext other;
        ASSERT_TRUE(other.Create(4, 4));
    }
    CDib dib;
    ASSERT_TRUE(dib.Create(5, 3, 24));
    EXPECT_FALSE(CaptureFramebuffer(dib));
    ASSERT_NE(GlTest::Context(), nullptr);
}
