#include "drawing/MeshTexture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <utility>

#include "formats/bmp/BitmapFile.h"
#include "drawing/MeshGL.h"
#include "model/Mesh.h"

namespace
{
constexpr int CHECKER_SQUARE_SHIFT = 3; // squares of 8 x 8 texels
// Drained before a build so that an error after it is the build's own; a context reports a
// bounded number of distinct errors.
constexpr int MAX_PENDING_ERRORS = 16;

void DrainGLErrors()
{
    for (int i = 0; i < MAX_PENDING_ERRORS && glGetError() != GL_NO_ERROR; ++i)
    {
    }
}
} // namespace

bool CMeshTexture::TakeBitmap(CBitmapFile& bitmap)
{
    if (bitmap.m_nBitCount != 24 || bitmap.m_nWidth < 1 || bitmap.m_nHeight < 1 ||
        bitmap.m_nWidth > MAX_BITMAP_SIZE || bitmap.m_nHeight > MAX_BITMAP_SIZE ||
        bitmap.m_pixels.size() !=
            static_cast<size_t>(bitmap.m_nWidth) * static_cast<size_t>(bitmap.m_nHeight) * 3)
        return false;
    m_nWidth = bitmap.m_nWidth;
    m_nHeight = bitmap.m_nHeight;
    m_nFormat = GL_BGR;
    m_pixels = std::move(bitmap.m_pixels);
    bitmap.m_pixels.clear();
    return true;
}

void CMeshTexture::MakeCheckerboard()
{
    m_nWidth = m_nHeight = CHECKERBOARD_SIZE;
    m_nFormat = GL_RGBA;
    m_pixels.resize(static_cast<size_t>(CHECKERBOARD_SIZE) * CHECKERBOARD_SIZE * 4);
    uint8_t* p = m_pixels.data();
    for (int i = 0; i < CHECKERBOARD_SIZE; ++i)
        for (int j = 0; j < CHECKERBOARD_SIZE; ++j)
        {
            const uint8_t c =
                (((j >> CHECKER_SQUARE_SHIFT) ^ (i >> CHECKER_SQUARE_SHIFT)) & 1) != 0 ? 255 : 0;
            *p++ = c, *p++ = c, *p++ = c, *p++ = 255;
        }
}

bool CMeshTexture::ApplyTo(CMesh& mesh) const
{
    const size_t nComponents = m_nFormat == GL_RGBA ? 4 : m_nFormat == GL_BGR ? 3 : 0;
    if (nComponents == 0 || m_nWidth < 1 || m_nHeight < 1 ||
        m_pixels.size() != static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight) * nComponents)
        return false;
    GLuint nTexture = 0;
    glGenTextures(1, &nTexture);
    if (nTexture == 0)
        return false;
    DrainGLErrors();
    glBindTexture(GL_TEXTURE_2D, nTexture);
    // The rows are tightly packed whatever unpacking someone else left set.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    const GLint nResult = gluBuild2DMipmaps(GL_TEXTURE_2D, 3, m_nWidth, m_nHeight, m_nFormat,
                                            GL_UNSIGNED_BYTE, m_pixels.data());
    glPopClientAttrib();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    // GLU reports its own failures; one of GL's (out of memory) shows only in the error flag.
    if (nResult != 0 || glGetError() != GL_NO_ERROR)
    {
        glDeleteTextures(1, &nTexture);
        return false;
    }
    CMeshGL::Of(mesh).SetTexture(nTexture);
    return true;
}
