// Binary STL reader on arbitrary bytes: never a crash, and a success always matches the count in
// the header and the size of the input, with every coordinate finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    CMesh mesh;
    if (!mesh.ReadSTLBuffer(buffer, STL_BINARY, "fuzz.stl"))
    {
        if (mesh.m_nVertices != 0 || mesh.m_bLoaded)
            std::abort();
        return 0;
    }
    if (nSize < 84 || mesh.m_nVertices != 3 * mesh.m_nFaces)
        std::abort();
    const uint64_t nFacets = static_cast<uint64_t>(mesh.m_nFaces);
    const uint32_t nCount = static_cast<uint32_t>(pData[80]) | static_cast<uint32_t>(pData[81]) << 8 |
                            static_cast<uint32_t>(pData[82]) << 16 | static_cast<uint32_t>(pData[83]) << 24;
    if (nFacets != nCount || 84 + 50 * nFacets > nSize || (nFacets == 0 && nSize >= 84 + 50))
        std::abort();
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
        for (int k = 0; k < 3; ++k)
            if (!std::isfinite(mesh.m_ppVertices[i][k]))
                std::abort();
    // The last facet's third vertex is the input's bytes.
    if (nFacets > 0)
    {
        float last[3];
        std::memcpy(last, pData + 84 + 50 * (nFacets - 1) + 36, 12);
        const double* p = mesh.m_ppVertices[mesh.m_nVertices - 1];
        for (int k = 0; k < 3; ++k)
            if (p[k] != static_cast<double>(last[k]))
                std::abort();
    }
    return 0;
}
