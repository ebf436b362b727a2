// The bitmap reader on arbitrary bytes: never a crash, never a read past the buffer, and what it
// accepts is consistent with its header and lies inside the buffer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "formats/bmp/BitmapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CBitmapFile bitmap;
    if (!bitmap.Parse(std::string_view(reinterpret_cast<const char*>(pData), nSize)))
    {
        if (bitmap.m_nWidth != 0 || !bitmap.m_pixels.empty())
            std::abort();
        return 0;
    }
    const uint64_t nRowBytes =
        (static_cast<uint64_t>(bitmap.m_nWidth) * static_cast<uint64_t>(bitmap.m_nBitCount) + 7) / 8;
    if (bitmap.m_nWidth <= 0 || bitmap.m_nHeight <= 0 ||
        bitmap.m_pixels.size() != nRowBytes * static_cast<uint64_t>(bitmap.m_nHeight) ||
        bitmap.m_pixels.size() > nSize)
    {
        std::fprintf(stderr, "fuzz_bitmap: %d x %d x %d gave %zu bytes\n", bitmap.m_nWidth, bitmap.m_nHeight,
                     bitmap.m_nBitCount, bitmap.m_pixels.size());
        std::abort();
    }
    return 0;
}
