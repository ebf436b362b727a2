#include "export/Dib.h"

#include <limits>
#include <new>

#include "formats/LittleEndian.h"
#include "platform/HugePages.h"

bool CDib::Create(int32_t nWidth, int32_t nHeight, int nBitCount)
{
    if (nWidth <= 0 || nHeight <= 0 ||
        (nBitCount != 1 && nBitCount != 4 && nBitCount != 8 && nBitCount != 16 && nBitCount != 24 &&
         nBitCount != 32))
    {
        Clear();
        return false;
    }
    const uint64_t nStride = (static_cast<uint64_t>(nWidth) * static_cast<uint64_t>(nBitCount) + 31) / 32 * 4;
    const uint64_t nImageSize = nStride * static_cast<uint64_t>(nHeight);
    const uint64_t nEntries = nBitCount <= 8 ? uint64_t(1) << nBitCount : 0;
    const uint64_t nBlockSize = HEADER_SIZE + 4 * nEntries + nImageSize;
    // The files store their sizes in 32 bits.
    if (nBlockSize + LARGEST_WRAPPER > std::numeric_limits<uint32_t>::max())
    {
        Clear();
        return false;
    }
    try
    {
        // A new block asks for huge pages: a big capture is mostly first touches of fresh memory.
        if (m_block.capacity() < nBlockSize)
        {
            std::vector<uint8_t>().swap(m_block);
            ReserveHuge(m_block, static_cast<size_t>(nBlockSize));
        }
        m_block.assign(static_cast<size_t>(nBlockSize), 0);
    }
    catch (const std::bad_alloc&)
    {
        Clear();
        return false;
    }

    using namespace LittleEndian;
    uint8_t* p = m_block.data();
    StoreUInt32(p, HEADER_SIZE);
    StoreUInt32(p + 4, static_cast<uint32_t>(nWidth));
    // Positive: rows bottom-up.
    StoreUInt32(p + 8, static_cast<uint32_t>(nHeight));
    StoreUInt16(p + 12, 1);
    StoreUInt16(p + 14, static_cast<uint16_t>(nBitCount));
    // Uncompressed; resolution, colours used and important colours stay 0.
    StoreUInt32(p + 16, 0);
    StoreUInt32(p + 20, static_cast<uint32_t>(nImageSize));
    for (uint64_t i = 0; i < nEntries; ++i)
    {
        const auto nGray = static_cast<uint8_t>(i * 255 / (nEntries - 1));
        uint8_t* pEntry = p + HEADER_SIZE + 4 * i;
        pEntry[0] = pEntry[1] = pEntry[2] = nGray;
    }
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nBitCount = nBitCount;
    m_nStride = static_cast<size_t>(nStride);
    m_nColorTableEntries = static_cast<size_t>(nEntries);
    return true;
}

void CDib::Clear()
{
    decltype(m_block)().swap(m_block);
    m_nWidth = m_nHeight = m_nBitCount = 0;
    m_nStride = m_nColorTableEntries = 0;
}

size_t CDib::GetPixelOffset() const
{
    return m_block.empty() ? 0 : HEADER_SIZE + 4 * m_nColorTableEntries;
}
