#pragma once

#include <cstdint>
#include <vector>

class CBitmapFile;
class CMesh;

// A picture that becomes a mesh's texture: rows bottom-up and tightly packed, either blue, green,
// red bytes (a bitmap file) or red, green, blue, alpha bytes (the generated checkerboard).
class CMeshTexture
{
public:
    static constexpr int32_t MAX_BITMAP_SIZE = 1024;
    static constexpr int32_t CHECKERBOARD_SIZE = 64;

    virtual ~CMeshTexture() = default;

    // Takes the pixels of a 24-bit bitmap of at most 1024 x 1024 pixels. Any other bitmap gives
    // false and is left as it was.
    bool TakeBitmap(CBitmapFile& bitmap);
    // 64 x 64 texels in squares of 8 x 8, black at (0, 0) and alternating with white.
    void MakeCheckerboard();
    // Builds the whole mipmap chain (scaled to powers of two as GLU needs) into a new texture
    // object of the current context, filtered linearly between texels and mipmap levels; then
    // the mesh's old texture is deleted and the new one takes its place. When the picture cannot
    // be built (no pixels, GLU or GL refuses it) nothing is left behind, the mesh keeps the
    // texture it had, and the result is false.
    bool ApplyTo(CMesh& mesh) const;

    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    // GL_BGR or GL_RGBA.
    uint32_t m_nFormat = 0;
    std::vector<uint8_t> m_pixels;
};
