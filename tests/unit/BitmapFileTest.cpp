#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "formats/LittleEndian.h"
#include "formats/bmp/BitmapFile.h"

namespace
{
using namespace LittleEndian;

// What a test bitmap file declares. Its stored rows carry, bottom-up row r and byte k, the value
// r * 7 + k, and 0xEE in their padding.
struct SBmp
{
    int32_t nWidth = 3;
    int32_t nHeight = 2;
    uint16_t nBits = 24;
    uint32_t nHeaderSize = 40;
    uint16_t nPlanes = 1;
    uint32_t nCompression = 0;
    uint32_t nOffset = 0; // declared pixel offset; 0: where the rows are
    size_t nCut = 0;      // bytes cut off the end
    char cMagic = 'B';
};

uint8_t PixelByte(int64_t nRow, int64_t k)
{
    return static_cast<uint8_t>(nRow * 7 + k);
}

std::string Build(const SBmp& b)
{
    std::vector<uint8_t> f = {static_cast<uint8_t>(b.cMagic), 'M'};
    // Room for the headers first: GCC 12 at -O3 otherwise warns falsely (-Warray-bounds) on growing
    // the two-byte vector.
    f.reserve(256);
    AppendUInt32(f, 0xFFFFFFFF); // the file size field is not to be trusted
    AppendUInt32(f, 0);
    // The rows follow the header and, with bit fields in a 40-byte header, its three masks.
    const uint32_t nRowsAt = 14 + b.nHeaderSize + (b.nCompression == 3 && b.nHeaderSize == 40 ? 12 : 0);
    AppendUInt32(f, b.nOffset != 0 ? b.nOffset : nRowsAt);
    AppendUInt32(f, b.nHeaderSize);
    if (b.nHeaderSize == 12)
        for (uint16_t n :
             {static_cast<uint16_t>(b.nWidth), static_cast<uint16_t>(b.nHeight), b.nPlanes, b.nBits})
            AppendUInt16(f, n);
    else
    {
        AppendInt32(f, b.nWidth);
        AppendInt32(f, b.nHeight);
        AppendUInt16(f, b.nPlanes);
        AppendUInt16(f, b.nBits);
        AppendUInt32(f, b.nCompression);
    }
    f.resize(nRowsAt, 0);
    const int64_t nRows = std::min<int64_t>(std::abs(static_cast<int64_t>(b.nHeight)), 2048);
    const int64_t nRowBytes = (static_cast<int64_t>(b.nWidth) * b.nBits + 7) / 8;
    const int64_t nStride = (static_cast<int64_t>(b.nWidth) * b.nBits + 31) / 32 * 4;
    for (int64_t i = 0; i < nRows && nStride > 0; ++i)
        for (int64_t k = 0; k < nStride; ++k)
            f.push_back(k < nRowBytes ? PixelByte(b.nHeight < 0 ? nRows - 1 - i : i, k) : 0xEE);
    f.resize(f.size() - b.nCut);
    return std::string(f.begin(), f.end());
}

TEST(BitmapFileTest, ReadsValidBitmapsAndRefusesMalformedOnes)
{
    const struct
    {
        const char* pszName;
        SBmp bmp;
        bool bValid;
    } cases[] = {
        {"bottom-up", {}, true},
        {"top-down", {.nHeight = -2}, true},
        {"core header", {.nHeaderSize = 12}, true},
        {"version 5 header", {.nHeaderSize = 124}, true},
        {"1024 x 1024", {.nWidth = 1024, .nHeight = 1024}, true},
        {"1025 wide, reported so", {.nWidth = 1025, .nHeight = 1}, true},
        {"8 bits, reported so", {.nWidth = 5, .nBits = 8}, true},
        {"32 bits with masks", {.nBits = 32, .nCompression = 3}, true},
        {"wrong magic", {.cMagic = 'X'}, false},
        {"run-length compressed", {.nBits = 8, .nCompression = 1}, false},
        {"masks at 24 bits", {.nCompression = 3}, false},
        {"masks overlapping the pixels", {.nBits = 32, .nCompression = 3, .nOffset = 54}, false},
        {"last byte missing", {.nCut = 1}, false},
        {"offset past the end", {.nOffset = 1000}, false},
        {"offset leaving a row short", {.nOffset = 58}, false},
        {"offset inside the header", {.nOffset = 30}, false},
        {"zero width", {.nWidth = 0}, false},
        {"zero height", {.nHeight = 0}, false},
        {"most negative height", {.nHeight = INT32_MIN}, false},
        {"height beyond the data", {.nHeight = INT32_MAX}, false},
        {"two planes", {.nPlanes = 2}, false},
        {"12 bits", {.nBits = 12}, false},
        {"unknown header size", {.nHeaderSize = 64}, false},
        {"header cut short", {.nWidth = 0, .nHeight = 0, .nHeaderSize = 124, .nCut = 1}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        CBitmapFile bitmap;
        bitmap.m_nWidth = 77;
        ASSERT_EQ(bitmap.Parse(Build(c.bmp)), c.bValid);
        if (!c.bValid)
        {
            EXPECT_TRUE(bitmap.m_nWidth == 77 && bitmap.m_pixels.empty());
            continue;
        }
        EXPECT_TRUE(bitmap.m_nWidth == c.bmp.nWidth && bitmap.m_nHeight == std::abs(c.bmp.nHeight) &&
                    bitmap.m_nBitCount == c.bmp.nBits);
        // Rows come out bottom-up without their padding.
        const int64_t nRowBytes = (static_cast<int64_t>(c.bmp.nWidth) * c.bmp.nBits + 7) / 8;
        ASSERT_EQ(static_cast<int64_t>(bitmap.m_pixels.size()), nRowBytes * bitmap.m_nHeight);
        for (int64_t i = 0; i < static_cast<int64_t>(bitmap.m_pixels.size()); ++i)
            ASSERT_EQ(bitmap.m_pixels[static_cast<size_t>(i)], PixelByte(i / nRowBytes, i % nRowBytes)) << i;
    }
}

} // namespace
