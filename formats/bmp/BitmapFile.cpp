#include "formats/bmp/BitmapFile.h"

#include <cstring>
#include <exception>
#include <limits>

#include "formats/InputFile.h"
#include "formats/LittleEndian.h"

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

// What the headers say about the pixel rows, checked against the size of the whole file.
struct SBitmapLayout
{
    uint32_t nPixelOffset = 0;
    int64_t nWidth = 0;
    int64_t nRows = 0;
    bool bTopDown = false;
    unsigned nBitCount = 0;
    uint64_t nRowBytes = 0;
    uint64_t nStride = 0;

    // Where the last row ends: all of the file a reader needs.
    uint64_t End() const { return nPixelOffset + nStride * static_cast<uint64_t>(nRows); }
};

// The longest start of a file that holds every header: the file header, the largest info header
// and the three masks that may follow a short one.
constexpr size_t MAX_HEADERS_SIZE = FILE_HEADER_SIZE + 124 + 12;

// Reads the headers at the start of a file of nFileSize bytes; false unless they describe rows
// that lie wholly inside it. head may hold the whole file or only its first MAX_HEADERS_SIZE
// bytes.
bool ParseLayout(std::string_view head, uint64_t nFileSize, SBitmapLayout& layout)
{
    using namespace LittleEndian;
    const auto* pData = reinterpret_cast<const uint8_t*>(head.data());
    if (head.size() < FILE_HEADER_SIZE + 4 || pData[0] != 'B' || pData[1] != 'M')
        return false;
    const uint32_t nHeaderSize = LoadUInt32(pData + 14);
    if (!IsKnownHeaderSize(nHeaderSize) || head.size() < FILE_HEADER_SIZE + nHeaderSize)
        return false;

    const uint8_t* pHeader = pData + FILE_HEADER_SIZE;
    int64_t nHeight;
    unsigned nPlanes;
    uint32_t nCompression = BI_RGB;
    if (nHeaderSize == CORE_HEADER_SIZE)
    {
        layout.nWidth = LoadUInt16(pHeader + 4);
        nHeight = LoadUInt16(pHeader + 6);
        nPlanes = LoadUInt16(pHeader + 8);
        layout.nBitCount = LoadUInt16(pHeader + 10);
    }
    else
    {
        layout.nWidth = LoadInt32(pHeader + 4);
        nHeight = LoadInt32(pHeader + 8);
        nPlanes = LoadUInt16(pHeader + 12);
        layout.nBitCount = LoadUInt16(pHeader + 14);
        nCompression = LoadUInt32(pHeader + 16);
    }
    const unsigned nBitCount = layout.nBitCount;
    if (nPlanes != 1)
        return false;
    if (nBitCount != 1 && nBitCount != 4 && nBitCount != 8 && nBitCount != 16 && nBitCount != 24 &&
        nBitCount != 32)
        return false;
    const bool bMasks = nCompression == BI_BITFIELDS;
    if (nCompression != BI_RGB && !(bMasks && (nBitCount == 16 || nBitCount == 32)))
        return false;
    // A negative height marks top-down rows; its magnitude must still be a valid height.
    layout.bTopDown = nHeight < 0;
    layout.nRows = layout.bTopDown ? -nHeight : nHeight;
    if (layout.nWidth <= 0 || layout.nRows <= 0 || layout.nRows > std::numeric_limits<int32_t>::max())
        return false;

    // An info header of 40 bytes with bit fields is followed by its three masks.
    layout.nPixelOffset = LoadUInt32(pData + 10);
    const uint64_t nMinOffset =
        FILE_HEADER_SIZE + nHeaderSize + (bMasks && nHeaderSize == INFO_HEADER_SIZE ? 12 : 0);
    if (layout.nPixelOffset < nMinOffset || layout.nPixelOffset > nFileSize)
        return false;
    const uint64_t nBits = static_cast<uint64_t>(layout.nWidth) * nBitCount;
    layout.nRowBytes = (nBits + 7) / 8;
    layout.nStride = (nBits + 31) / 32 * 4;
    // Checked by division: the product of two huge header values could overflow.
    return layout.nStride <= (nFileSize - layout.nPixelOffset) / static_cast<uint64_t>(layout.nRows);
}
} // namespace

bool CBitmapFile::Parse(std::string_view buffer)
{
    SBitmapLayout layout;
    if (!ParseLayout(buffer, buffer.size(), layout))
        return false;
    const auto* pData = reinterpret_cast<const uint8_t*>(buffer.data());
    const uint64_t nRowBytes = layout.nRowBytes;
    std::vector<uint8_t> pixels(static_cast<size_t>(nRowBytes * static_cast<uint64_t>(layout.nRows)));
    for (int64_t nRow = 0; nRow < layout.nRows; ++nRow)
    {
        const int64_t nSource = layout.bTopDown ? layout.nRows - 1 - nRow : nRow;
        std::memcpy(pixels.data() + static_cast<size_t>(nRow) * nRowBytes,
                    pData + layout.nPixelOffset + static_cast<size_t>(nSource) * layout.nStride, nRowBytes);
    }
    m_nWidth = static_cast<int32_t>(layout.nWidth);
    m_nHeight = static_cast<int32_t>(layout.nRows);
    m_nBitCount = static_cast<int>(layout.nBitCount);
    m_pixels.swap(pixels);
    return true;
}

bool CBitmapFile::Read(const std::string& strPath, int32_t nMaxSide)
{
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    // The headers alone decide whether the pixels are worth reading; a pipe has no size to judge
    // them by, so its rows are only known to fit once they are read.
    std::string contents;
    const uint64_t nFileSize = file.IsRegular() ? file.Size() : std::numeric_limits<uint64_t>::max();
    SBitmapLayout layout;
    if (!file.ReadUpTo(contents, MAX_HEADERS_SIZE) || !ParseLayout(contents, nFileSize, layout) ||
        layout.nWidth > nMaxSide || layout.nRows > nMaxSide)
        return false;
    try
    {
        if (layout.End() > contents.size() &&
            !file.ReadUpTo(contents, static_cast<size_t>(layout.End() - contents.size())))
            return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
    return Parse(contents);
}
