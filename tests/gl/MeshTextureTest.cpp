#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "GlTestSupport.h"
#include "drawing/MeshGL.h"
#include "drawing/MeshTexture.h"
#include "formats/bmp/BitmapFile.h"
#include "model/Mesh.h"

namespace
{
// Level 0 of a square texture as tightly packed rows, and its width.
std::vector<uint8_t> Level0(GLuint nTexture, GLenum nFormat, GLint& nWidth)
{
    glBindTexture(GL_TEXTURE_2D, nTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &nWidth);
    std::vector<uint8_t> texels(static_cast<size_t>(nWidth * nWidth * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, nFormat, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}
} // namespace

// A bitmap's rows, as the reader packs them (6 and 9 bytes here), reach GL unsheared whatever
// unpack alignment was left set: 2 x 2 exactly, 3 x 3 (which GLU scales to 4 x 4) in texel rows of
// one colour each.
TEST(MeshTextureTest, PackedRowsReachTheTextureUnsheared)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (const int nSize : {2, 3})
    {
        CBitmapFile bitmap;
        bitmap.m_nWidth = bitmap.m_nHeight = nSize;
        bitmap.m_nBitCount = 24;
        for (int n = 0; n < 3 * nSize * nSize; ++n)
            bitmap.m_pixels.push_back(
                static_cast<uint8_t>(nSize == 2 ? 13 * n + 1 : 60 * (n / 9) + 20 * (n % 3) + 1));
        const std::vector<uint8_t> packed = bitmap.m_pixels;
        CMeshTexture texture;
        CMesh mesh;
        ASSERT_TRUE(texture.TakeBitmap(bitmap) && texture.ApplyTo(mesh));
        GLint nWidth = 0;
        const std::vector<uint8_t> texels = Level0(CMeshGL::TextureOf(mesh), GL_BGR, nWidth);
        if (nSize == 2)
        {
            EXPECT_EQ(texels, packed);
            continue;
        }
        ASSERT_EQ(nWidth, 4);
        size_t nMixed = 0;
        for (size_t k = 0; k < texels.size(); ++k)
            nMixed += texels[k] != texels[k / 12 * 12 + k % 3];
        EXPECT_EQ(nMixed, 0u);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

// The checkerboard's texels; a new texture replaces the old one, which is deleted only once the
// new one stands; a picture that cannot be built leaves the mesh's texture alone.
TEST(MeshTextureTest, CheckerboardReplacesTheOldTextureOnlyOnSuccess)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    CMeshTexture checkerboard;
    checkerboard.MakeCheckerboard();
    CMesh mesh;
    ASSERT_TRUE(checkerboard.ApplyTo(mesh));
    const GLuint nFirst = CMeshGL::TextureOf(mesh);
    GLint nWidth = 0;
    const std::vector<uint8_t> texels = Level0(nFirst, GL_RGB, nWidth);
    ASSERT_EQ(nWidth, 64);
    int nWrong = 0;
    for (int n = 0; n < 64 * 64 * 3; ++n)
        nWrong += texels[static_cast<size_t>(n)] != ((n / 3 / 64 / 8 + n / 3 % 64 / 8) % 2 != 0 ? 255 : 0);
    EXPECT_EQ(nWrong, 0);

    ASSERT_TRUE(checkerboard.ApplyTo(mesh));
    EXPECT_NE(CMeshGL::TextureOf(mesh), nFirst);
    EXPECT_FALSE(glIsTexture(nFirst));
    const GLuint nSecond = CMeshGL::TextureOf(mesh);
    EXPECT_FALSE(CMeshTexture().ApplyTo(mesh));
    EXPECT_EQ(CMeshGL::TextureOf(mesh), nSecond);
    EXPECT_TRUE(glIsTexture(nSecond));
}
