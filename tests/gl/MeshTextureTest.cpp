#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "GlTestSupport.h"
#include "export/BitmapExport.h"
#include "formats/BitmapFile.h"
#include "scene/Mesh.h"
#include "scene/MeshTexture.h"

namespace
{
// Level 0 of the texture as tightly packed rows in the given format, and its size.
std::vector<uint8_t> TexelsOf(GLuint nTexture, GLenum nFormat, int nComponents, GLint& nWidth, GLint& nHeight)
{
    glBindTexture(GL_TEXTURE_2D, nTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &nWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &nHeight);
    std::vector<uint8_t> texels(static_cast<size_t>(nWidth * nHeight * nComponents));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, nFormat, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}
} // namespace

// A bitmap file's rows, padded to 4 bytes in the file, reach GL unsheared, whatever unpack
// alignment was left set: a 2 x 2 picture exactly, a 3 x 3 one in rows of one colour each.
TEST(MeshTextureTest, BitmapRowsReachTheTextureUnsheared)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    for (const int nSize : {2, 3})
    {
        SCOPED_TRACE(nSize);
        CDib dib;
        ASSERT_TRUE(dib.Create(nSize, nSize, 24));
        std::vector<uint8_t> packed;
        for (int y = 0; y < nSize; ++y)
            for (int k = 0; k < 3 * nSize; ++k)
            {
                // 3 x 3: each row one colour, so that GLU's scaling keeps texel rows uniform.
                const auto value =
                    static_cast<uint8_t>(nSize == 2 ? 40 * y + 13 * k + 1 : 60 * y + 20 * (k % 3) + 1);
                dib.GetPixels()[static_cast<size_t>(y) * dib.GetStride() + static_cast<size_t>(k)] = value;
                packed.push_back(value);
            }
        std::vector<uint8_t> file;
        ASSERT_TRUE(EncodeBitmapFile(dib, file));
        CBitmapFile bitmap;
        ASSERT_TRUE(bitmap.Parse(std::string_view(reinterpret_cast<const char*>(file.data()), file.size())));

        CMeshTexture texture;
        ASSERT_TRUE(texture.TakeBitmap(bitmap));
        CMesh mesh;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        ASSERT_TRUE(texture.ApplyTo(mesh));
        GLint nAlignment = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &nAlignment);
        EXPECT_EQ(nAlignment, 4);

        GLint nWidth = 0, nHeight = 0;
        const std::vector<uint8_t> texels = TexelsOf(mesh.m_nTexture, GL_BGR, 3, nWidth, nHeight);
        if (nSize == 2)
        {
            EXPECT_EQ(texels, packed);
            continue;
        }
        // GLU takes 3 to the power of two 4: every texel row keeps one colour, the outer ones
        // those of the picture's outer rows.
        ASSERT_EQ(std::pair(nWidth, nHeight), std::pair(4, 4));
        for (size_t nRow = 0; nRow < 4; ++nRow)
            for (size_t k = 3; k < 12; ++k)
                EXPECT_EQ(texels[nRow * 12 + k], texels[nRow * 12 + k % 3]) << nRow << " " << k;
        EXPECT_EQ(std::vector<uint8_t>(texels.begin(), texels.begin() + 3),
                  (std::vector<uint8_t>{1, 21, 41}));
        EXPECT_EQ(std::vector<uint8_t>(texels.end() - 3, texels.end()),
                  (std::vector<uint8_t>{121, 141, 161}));
    }
}

// The checkerboard's texels; each new texture replaces the old one, which is deleted only once
// the new one stands; a picture that cannot be built leaves the mesh's texture alone.
TEST(MeshTextureTest, CheckerboardReplacesTheOldTextureOnlyOnSuccess)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    CMeshTexture checkerboard;
    checkerboard.MakeCheckerboard();
    CMesh mesh;
    ASSERT_TRUE(checkerboard.ApplyTo(mesh));
    const GLuint nFirst = mesh.m_nTexture;
    GLint nWidth = 0, nHeight = 0;
    const std::vector<uint8_t> texels = TexelsOf(nFirst, GL_RGB, 3, nWidth, nHeight);
    ASSERT_EQ(texels.size(), 64u * 64u * 3u);
    int nWrong = 0;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
        {
            const uint8_t c = ((i / 8 + j / 8) % 2) != 0 ? 255 : 0;
            for (int k = 0; k < 3; ++k)
                nWrong += texels[static_cast<size_t>((i * 64 + j) * 3 + k)] != c;
        }
    EXPECT_EQ(nWrong, 0);

    ASSERT_TRUE(checkerboard.ApplyTo(mesh));
    EXPECT_NE(mesh.m_nTexture, nFirst);
    EXPECT_FALSE(glIsTexture(nFirst));
    const GLuint nSecond = mesh.m_nTexture;

    CMeshTexture empty;
    EXPECT_FALSE(empty.ApplyTo(mesh));
    EXPECT_EQ(mesh.m_nTexture, nSecond);
    EXPECT_TRUE(glIsTexture(nSecond));
}

// Only 24-bit bitmaps of at most 1024 x 1024 pixels become textures.
TEST(MeshTextureTest, OnlySmallTrueColourBitmapsAreTaken)
{
    const struct
    {
        int32_t nWidth, nHeight;
        int nBits;
        bool bTaken;
    } cases[] = {
        {1024, 1024, 24, true}, {1025, 1, 24, false}, {1, 1025, 24, false},
        {4, 4, 8, false},       {4, 4, 32, false},
    };
    for (const auto& c : cases)
    {
        CBitmapFile bitmap;
        bitmap.m_nWidth = c.nWidth, bitmap.m_nHeight = c.nHeight, bitmap.m_nBitCount = c.nBits;
        bitmap.m_pixels.resize(static_cast<size_t>(c.nWidth) * static_cast<size_t>(c.nHeight) * c.nBits / 8);
        CMeshTexture texture;
        EXPECT_EQ(texture.TakeBitmap(bitmap), c.bTaken) << c.nWidth << " x " << c.nHeight << " x " << c.nBits;
        EXPECT_EQ(texture.m_pixels.size(), c.bTaken ? 1024u * 1024u * 3u : 0u);
    }
}
