#include "formats/BitmapFile.h"

#include <cstring>
#include <limits>

#include "formats/LittleEndian.h"
#include "formats/TokenReader.h"

namespace
{
constexpr size_t FILE_HEADER_SIZE = 14;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

bool IsKnownHeaderSize(uint32_t nSize)
{
    switch (nSize)
    {
    case CORE_HEADER_SIZE:
    case INFO_HEADER_SIZE:
    case 52:
    case 56:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}
} // namespace

bool CBitmapFile::Parse(std::string_view buffer)
{
    using namespace LittleEndian;
    const auto* pData = reinterpret_cast<const uint8_t*>(buffer.data());
    const size_t nSize = buffer.size();
    if (nSize < FILE_HEADER_SIZE + 4 || pData[0] != 'B' || pData[1] != 'M')
        return false;
    const uint32_t nPixelOffset = LoadUInt32(pData + 10);
    const uint32_t nHeaderSize = LoadUInt32(pData + 14);
    if (!IsKnownHeaderSize(nHeaderSize) || nSize < FILE_HEADER_SIZE + nHeaderSize)
        return false;

    const uint8_t* pHeader = pData + FILE_HEADER_SIZE;
    int64_t nWidth, nHeight;
    unsigned nPlanes, nBitCount;
    uint32_t nCompression = BI_RGB;
    if (nHeaderSize == CORE_HEADER_SIZE)
    {
        nWidth = LoadUInt16(pHeader + 4);
        nHeight = LoadUInt16(pHeader + 6);
        nPlanes = LoadUInt16(pHeader + 8);
        nBitCount = LoadUInt16(pHeader + 10);
    }
    else
    {
        nWidth = LoadInt32(pHeader + 4);
        nHeight = LoadInt32(pHeader + 8);
        nPlanes = LoadUInt16(pHeader + 12);
        nBitCount = LoadUInt16(pHeader + 14);
        nCompression = LoadUInt32(pHeader + 16);
    }
    if (nPlanes != 1)
        return false;
    if (nBitCount != 1 && nBitCount != 4 && nBitCount != 8 && nBitCount != 16 && nBitCount != 24 &&
        nBitCount != 32)
        return false;
    const bool bMasks = nCompression == BI_BITFIELDS;
    if (nCompression != BI_RGB && !(bMasks && (nBitCount == 16 || nBitCount == 32)))
        return false;
    // A negative height marks top-down rows; its magnitude must still be a valid height.
    const bool bTopDown = nHeight < 0;
    const int64_t nRows = bTopDown ? -nHeight : nHeight;
    if (nWidth <= 0 || nRows <= 0 || nRows > std::numeric_limits<int32_t>::max())
        return false;

    // An info header of 40 bytes with bit fields is followed by its three masks.
    const uint64_t nMinOffset =
        FILE_HEADER_SIZE + nHeaderSize + (bMasks && nHeaderSize == INFO_HEADER_SIZE ? 12 : 0);
    if (nPixelOffset < nMinOffset || nPixelOffset > nSize)
        return false;
    const uint64_t nBits = static_cast<uint64_t>(nWidth) * nBitCount;
    const uint64_t nRowBytes = (nBits + 7) / 8;
    const uint64_t nStride = (nBits + 31) / 32 * 4;
    // Checked by division: the product of two huge header values could overflow.
    if (nStride > (nSize - nPixelOffset) / static_cast<uint64_t>(nRows))
        return false;

    std::vector<uint8_t> pixels(static_cast<size_t>(nRowBytes * static_cast<uint64_t>(nRows)));
    for (int64_t nRow = 0; nRow < nRows; ++nRow)
    {
        const int64_t nSource = bTopDown ? nRows - 1 - nRow : nRow;
        std::memcpy(pixels.data() + static_cast<size_t>(nRow) * nRowBytes,
                    pData + nPixelOffset + static_cast<size_t>(nSource) * nStride, nRowBytes);
    }
    m_nWidth = static_cast<int32_t>(nWidth);
    m_nHeight = static_cast<int32_t>(nRows);
    m_nBitCount = static_cast<int>(nBitCount);
    m_pixels.swap(pixels);
    return true;
}

bool CBitmapFile::Read(const std::string& strPath)
{
    std::string contents;
    return ReadWholeFile(strPath, contents) && Parse(contents);
}
