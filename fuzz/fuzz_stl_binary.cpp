// Binary STL parser on arbitrary bytes: never a crash, and a success always matches the count in
// the header and the size of the input, with every coordinate finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/StlFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    std::vector<float> xyz;
    if (!ParseBinarySTL(buffer, xyz))
        return 0;
    if (nSize < 84 || xyz.size() % 9 != 0)
        std::abort();
    const uint64_t nFacets = xyz.size() / 9;
    const uint32_t nCount = static_cast<uint32_t>(pData[80]) | static_cast<uint32_t>(pData[81]) << 8 |
                            static_cast<uint32_t>(pData[82]) << 16 | static_cast<uint32_t>(pData[83]) << 24;
    if (nFacets != nCount || 84 + 50 * nFacets > nSize || (nFacets == 0 && nSize >= 84 + 50))
        std::abort();
    for (float f : xyz)
        if (!std::isfinite(f))
            std::abort();
    // The last facet's third vertex is the input's bytes.
    if (nFacets > 0 && std::memcmp(&xyz.back() - 2, pData + 84 + 50 * (nFacets - 1) + 36, 12) != 0)
        std::abort();
    return 0;
}
