// The PLY reader on arbitrary bytes. What it accepts must be a consistent mesh, and must be
// written and read again with the same faces.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <vector>

#include "formats/MeshPartsKeeper.h"
#include "formats/ply/PlyReader.h"
#include "formats/ply/PlyWriter.h"

namespace
{
void Check(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "fuzz_ply: %s\n", pszWhat);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CMeshPartsKeeper keeper;
    std::string strDetail;
    const bool bRead =
        ReadPLYBuffer(std::string_view(reinterpret_cast<const char*>(pData), nSize), keeper, &strDetail);
    Check(keeper.m_nSoupsAsked == 0, "the reader asked for a soup");
    if (!bRead)
    {
        Check(keeper.m_nAdopted == 0, "a failed read handed parts over");
        Check(!strDetail.empty(), "a refusal without a reason");
        return 0;
    }
    const SMeshParts& parts = keeper.m_parts;
    Check(keeper.m_nAdopted == 1 && parts.nVertices > 0 && parts.nFaces >= 0, "counts");
    Check(parts.nRecordSize == (parts.bColors ? 11 : parts.bTexCoords ? 8 : 6), "record size");
    int64_t nEdges = 0;
    for (int32_t f = 0; f < parts.nFaces; ++f)
    {
        Check(parts.pFaceSizes[f] >= 1, "a face of no corners");
        nEdges += parts.pFaceSizes[f];
    }
    Check(nEdges == parts.nEdges && static_cast<int64_t>(parts.indices.size()) == nEdges,
          "corners differ from the face sizes");
    for (const int32_t nIndex : parts.indices)
        Check(nIndex >= 0 && nIndex < parts.nVertices, "index out of range");
    const size_t nRecords = static_cast<size_t>(parts.nVertices) * static_cast<size_t>(parts.nRecordSize);
    for (size_t n = 0; n < nRecords; ++n)
        Check(std::isfinite(parts.pRecords[n]), "a record that is not finite");

    // The parts as the writer sees a mesh.
    std::vector<double*> vertices(static_cast<size_t>(parts.nVertices));
    for (size_t i = 0; i < vertices.size(); ++i)
        vertices[i] = parts.pRecords.get() + i * static_cast<size_t>(parts.nRecordSize);
    std::vector<int32_t> indices = parts.indices;
    std::vector<int32_t*> faces(static_cast<size_t>(parts.nFaces));
    size_t nCorner = 0;
    for (size_t f = 0; f < faces.size(); nCorner += static_cast<size_t>(parts.pFaceSizes[f]), ++f)
        faces[f] = indices.data() + nCorner;
    SMeshView view;
    view.nVertices = parts.nVertices;
    view.nFaces = parts.nFaces;
    view.nEdges = static_cast<int32_t>(parts.nEdges);
    view.nRecordSize = parts.nRecordSize;
    view.bNormals = parts.bNormals;
    view.bColors = parts.bColors;
    view.bTexCoords = parts.bTexCoords;
    view.ppVertices = vertices.data();
    view.ppFaces = faces.data();
    view.pFaceSizes = parts.pFaceSizes.get();
    view.strName = "input";
    const std::vector<SMeshView> views = {view};
    Check(CheckPLY(views).empty(), "what was read cannot be written");
    std::ostringstream out;
    std::string strProblem;
    if (!WritePLY(out, views, strProblem))
    {
        // Only a value beyond the float range may stop the write.
        Check(!strProblem.empty(), "write failed without a problem");
        return 0;
    }
    CMeshPartsKeeper again;
    Check(ReadPLYBuffer(out.str(), again, &strDetail), "written file does not read back");
    Check(again.m_parts.nFaces == parts.nFaces && again.m_parts.nEdges == parts.nEdges &&
              again.m_parts.nVertices == parts.nVertices && again.m_parts.indices == parts.indices,
          "the mesh differs after the round trip");
    for (int32_t f = 0; f < parts.nFaces; ++f)
        Check(again.m_parts.pFaceSizes[f] == parts.pFaceSizes[f], "face size differs");
    return 0;
}
