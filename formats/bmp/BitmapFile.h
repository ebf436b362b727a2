#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// A Windows bitmap file (.bmp) read from memory: its size, its depth and its pixel rows.
//
// The rows come out bottom-up (top-down files are turned over) and unpadded: each row holds
// ceil(width x depth / 8) bytes as the file stores them, without the file's padding to 4 bytes.
// A 24-bit bitmap thus gives tightly packed blue, green, red pixels, ready for OpenGL with an
// unpack alignment of 1. Colour tables and bit-field masks are not kept.
class CBitmapFile
{
public:
    virtual ~CBitmapFile() = default;

    // Parses a whole file. Accepts the core (12-byte) and the info headers (40, 52, 56, 108 or 124
    // bytes) with one plane of 1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed (or with
    // bit-field masks at 16 and 32 bits). Refuses a wrong magic, an unknown header, compressed
    // pixels, a width that is not positive, a height of 0, and a pixel offset or pixel array
    // that does not lie wholly inside the buffer (the file's own size fields are not trusted).
    // On failure returns false and leaves the object as it was.
    bool Parse(std::string_view buffer);
    // Reads the file at the path as Parse reads a buffer, but judges it by its headers and size
    // first: a bitmap wider or higher than nMaxSide, or whose rows the file cannot hold, is
    // refused before its pixels are read, and bytes after the last row are never read. The file
    // is opened as CInputFile opens it (a pipe is refused at once).
    bool Read(const std::string& strPath, int32_t nMaxSide = std::numeric_limits<int32_t>::max());

    int32_t m_nWidth = 0;
    // Always positive, whatever the file's row order.
    int32_t m_nHeight = 0;
    int m_nBitCount = 0;
    std::vector<uint8_t> m_pixels;
};
