// The OBJ reader on arbitrary bytes. What it accepts must be a sound mesh (indices in range,
// counts that add up, finite records), and must write back and read again with the same faces.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/MeshPartsKeeper.h"
#include "formats/obj/ObjReader.h"
#include "formats/obj/ObjWriter.h"

namespace
{
void Check(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "fuzz_obj: %s\n", pszWhat);
        std::abort();
    }
}

void CheckParts(const SMeshParts& parts)
{
    Check(parts.nVertices > 0 && parts.nFaces >= 0, "counts");
    Check(parts.nRecordSize == (parts.bColors ? 11 : parts.bTexCoords ? 8 : 6), "record size");
    int64_t nEdges = 0;
    for (int32_t f = 0; f < parts.nFaces; ++f)
    {
        Check(parts.pFaceSizes[f] >= 1, "face size");
        nEdges += parts.pFaceSizes[f];
    }
    Check(nEdges == parts.nEdges && static_cast<int64_t>(parts.indices.size()) == nEdges, "edge count");
    for (const int32_t n : parts.indices)
        Check(n >= 0 && n < parts.nVertices, "index out of range");
    const int64_t nValues = int64_t(parts.nVertices) * parts.nRecordSize;
    for (int64_t i = 0; i < nValues; ++i)
    {
        const double d = parts.pRecords[i];
        Check(std::isfinite(d), "record not finite");
        if (parts.bColors && i % parts.nRecordSize >= SLOT_COLOR)
            Check(d >= 0.0 && d <= 1.0, "colour outside 0 to 1");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CMeshPartsKeeper keeper;
    std::string strDetail;
    const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    const bool bRead = ReadOBJBuffer(input, keeper, &strDetail);
    Check(keeper.m_nSoupsAsked == 0, "the reader asked for a soup");
    if (!bRead)
    {
        Check(keeper.m_nAdopted == 0, "a failed read handed over parts");
        Check(!strDetail.empty(), "a failed read without a detail");
        return 0;
    }
    Check(keeper.m_nAdopted == 1 && strDetail.empty(), "adopted once");
    const SMeshParts& parts = keeper.m_parts;
    CheckParts(parts);

    // Written back as one mesh and read again: the same faces, fields and records.
    std::vector<double*> ppVertices(static_cast<size_t>(parts.nVertices));
    for (int32_t i = 0; i < parts.nVertices; ++i)
        ppVertices[static_cast<size_t>(i)] = parts.pRecords.get() + int64_t(i) * parts.nRecordSize;
    std::vector<int32_t*> ppFaces(static_cast<size_t>(parts.nFaces));
    std::vector<int32_t> indices = parts.indices;
    for (int32_t f = 0, k = 0; f < parts.nFaces; k += parts.pFaceSizes[f], ++f)
        ppFaces[static_cast<size_t>(f)] = indices.data() + k;
    SMeshView view;
    view.nVertices = parts.nVertices;
    view.nFaces = parts.nFaces;
    view.nEdges = static_cast<int32_t>(parts.nEdges);
    view.nRecordSize = parts.nRecordSize;
    view.bNormals = parts.bNormals;
    view.bColors = parts.bColors;
    view.bTexCoords = parts.bTexCoords;
    view.ppVertices = ppVertices.data();
    view.ppFaces = ppFaces.data();
    view.pFaceSizes = parts.pFaceSizes.get();
    view.strName = "fuzz";
    const std::vector<SMeshView> meshes = {view};
    Check(CheckOBJ(meshes).empty(), "the check refused what was read");
    std::ostringstream out;
    std::string strProblem;
    Check(WriteOBJ(out, meshes, strProblem), "write failed");
    CMeshPartsKeeper again;
    Check(ReadOBJBuffer(out.str(), again, &strDetail), "the written file does not read back");
    const SMeshParts& back = again.m_parts;
    CheckParts(back);
    Check(back.nVertices == parts.nVertices && back.nFaces == parts.nFaces && back.nEdges == parts.nEdges,
          "counts differ after the round trip");
    Check(back.bNormals == parts.bNormals && back.bTexCoords == parts.bTexCoords &&
              back.bColors == parts.bColors,
          "fields differ after the round trip");
    Check(back.indices == parts.indices, "faces differ after the round trip");
    for (int32_t f = 0; f < parts.nFaces; ++f)
        Check(back.pFaceSizes[f] == parts.pFaceSizes[f], "face size differs");
    return 0;
}
