// The glTF reader on arbitrary bytes, as from a pipe: no file is ever read. Whatever it accepts
// must be a consistent set of meshes with finite records; a refusal must say why and leave the set
// alone.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/MeshSet.h"
#include "formats/gltf/GltfFormat.h"
#include "formats/gltf/GltfReader.h"

namespace
{
void Check(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "fuzz_gltf: %s\n", pszWhat);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view data(reinterpret_cast<const char*>(pData), nSize);
    RecogniseGLTF(data.substr(0, 4096), nSize);
    SMeshSet set;
    std::string strDetail;
    if (!ReadGLTF(data, std::string(), set, &strDetail))
    {
        Check(set.meshes.empty() && set.names.empty(), "a refusal changed the set");
        Check(!strDetail.empty(), "a refusal without a reason");
        return 0;
    }
    Check(strDetail.empty(), "a read that succeeded left a reason");
    Check(!set.meshes.empty() && set.meshes.size() == set.names.size(), "meshes and names differ");
    for (const SMeshParts& m : set.meshes)
    {
        const int32_t nExpected = m.bColors ? 11 : m.bTexCoords ? 8 : 6;
        Check(m.nRecordSize == nExpected, "record size does not follow the fields");
        Check(m.nVertices > 0 && m.nFaces > 0 && m.nEdges == 3 * int64_t(m.nFaces), "counts");
        Check(m.indices.size() == static_cast<size_t>(m.nEdges), "index count");
        for (int32_t f = 0; f < m.nFaces; ++f)
            Check(m.pFaceSizes[f] == 3, "face size");
        for (int32_t n : m.indices)
            Check(n >= 0 && n < m.nVertices, "index out of range");
        for (int64_t i = 0; i < int64_t(m.nVertices) * m.nRecordSize; ++i)
            Check(std::isfinite(m.pRecords[i]), "record not finite");
        if (m.bColors)
            for (int32_t v = 0; v < m.nVertices; ++v)
                for (int k = 0; k < 3; ++k)
                {
                    const double d = m.pRecords[int64_t(v) * m.nRecordSize + SLOT_COLOR + k];
                    Check(d >= 0 && d <= 1, "colour outside 0 to 1");
                }
    }
    return 0;
}
