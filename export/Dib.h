#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A device-independent bitmap in one block, as bitmap files and metafiles carry it: a 40-byte
// header, a colour table for depths up to 8 bits, and the pixel array, rows bottom-up, each
// padded with zero bytes to a multiple of 4 bytes.
//
// A capture fills GetPixels() straight from OpenGL: glReadPixels of the width x height frame
// with GL_PACK_ALIGNMENT 4 writes exactly this layout, bottom-up as OpenGL stores rows, as
// GL_BGR for 24 bits or GL_BGRA for 32 bits (see FrameCapture.h).
class CDib
{
public:
    virtual ~CDib() = default;

    // Lays out a width x height DIB of 1, 4, 8, 16, 24 or 32 bits per pixel with zeroed pixels;
    // depths up to 8 bits get a gray colour table from black to white. Returns false and leaves
    // the DIB empty when width or height is not positive, the depth is another one, the
    // picture's bitmap file or metafile would exceed 4 GiB, or memory runs out. A DIB created
    // again keeps its memory when the new block fits: a caller that keeps one DIB for its
    // captures pays the first touch of the memory only once.
    bool Create(int32_t nWidth, int32_t nHeight, int nBitCount);
    void Clear();

    bool IsEmpty() const { return m_block.empty(); }
    int32_t GetWidth() const { return m_nWidth; }
    int32_t GetHeight() const { return m_nHeight; }
    int GetBitCount() const { return m_nBitCount; }
    // Bytes from one row to the next, padding included.
    size_t GetStride() const { return m_nStride; }
    size_t GetColorTableEntries() const { return m_nColorTableEntries; }
    // Header and colour table: where the pixel array starts within the block.
    size_t GetPixelOffset() const;

    // The whole block: header, colour table, pixels.
    const uint8_t* GetBlock() const { return m_block.data(); }
    size_t GetBlockSize() const { return m_block.size(); }
    uint8_t* GetPixels() { return m_block.data() + GetPixelOffset(); }
    const uint8_t* GetPixels() const { return m_block.data() + GetPixelOffset(); }

    static constexpr size_t HEADER_SIZE = 40;
    // Bytes a metafile adds around the block; the limit on the block leaves room for them.
    static constexpr uint64_t LARGEST_WRAPPER = 256;

private:
    std::vector<uint8_t> m_block;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    int m_nBitCount = 0;
    size_t m_nStride = 0;
    size_t m_nColorTableEntries = 0;
};
