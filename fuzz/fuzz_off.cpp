// The OFF reader on arbitrary bytes. Whatever it accepts must be written back and read again
// with the same counts and faces.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "formats/off/OffWriter.h"
#include "model/Mesh.h"

namespace
{
void Check(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "fuzz_off: %s\n", pszWhat);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CMesh mesh;
    if (!mesh.ReadOFFBuffer(std::string_view(reinterpret_cast<const char*>(pData), nSize), "fuzz/input.off"))
    {
        Check(mesh.m_nVertices == 0 && mesh.m_ppVertices == nullptr && !mesh.m_bLoaded,
              "failed read left data");
        return 0;
    }
    Check(mesh.m_bLoaded && mesh.m_strName == "input.off", "loaded state");
    std::ostringstream out;
    Check(WriteOFF(out, mesh.View()), "write failed");

    CMesh again;
    Check(again.ReadOFFBuffer(out.str(), "again.off"), "written file does not read back");
    Check(again.m_nVertices == mesh.m_nVertices && again.m_nFaces == mesh.m_nFaces &&
              again.m_nEdges == mesh.m_nEdges && again.m_nLargestFace == mesh.m_nLargestFace,
          "counts differ after the round trip");
    Check(again.m_nRecordSize == mesh.m_nRecordSize && again.m_bHasNormals == mesh.m_bHasNormals &&
              again.m_bHasColors == mesh.m_bHasColors && again.m_bHasTexCoords == mesh.m_bHasTexCoords,
          "fields differ after the round trip");
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
    {
        Check(again.m_pFaceSizes[f] == mesh.m_pFaceSizes[f], "face size differs");
        for (int32_t k = 0; k < mesh.m_pFaceSizes[f]; ++k)
            Check(again.m_ppFaces[f][k] == mesh.m_ppFaces[f][k], "face index differs");
    }

    // The operations that follow a load must cope with whatever was accepted.
    mesh.Invert();
    mesh.Translate(CVector3(1, -2, 0.5));
    mesh.Transform(CVector3(0, 1, 0), CVector3(-1, 0, 0), CVector3(0, 0, 2));
    // The fixed transformation may carry a coordinate near the largest double beyond it: then
    // the vertex write refuses, and only then.
    std::ostringstream world;
    WriteOFFVertices(world, mesh.View(), true, true, true);
    if (!world)
    {
        bool bInfinite = false;
        for (int32_t i = 0; i < mesh.m_nVertices && !bInfinite; ++i)
        {
            const CVector3 v = mesh.GetWorldVertex(i);
            const double* p = mesh.m_ppVertices[i];
            bInfinite = !std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z);
            for (int s = 0; s < mesh.m_nRecordSize; ++s)
                bInfinite = bInfinite || !std::isfinite(p[s]);
        }
        Check(bInfinite, "vertex write refused finite values");
        world.clear();
    }
    Check(WriteOFFFaces(world, mesh.View(), 7), "face write failed");
    return 0;
}
