// Drawing a mesh: its display list, and its faces straight from the mesh's own vertex records. A
// display list holds a copy of every vertex it is sent (three a triangle) and takes Mesa long to
// compile, as it hashes every vertex to share it; on a renderer that works in system memory the
// arrays draw the same triangles, in the same order and from the same values, with no copy and
// nothing to compile.
#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "drawing/MeshDrawing.h"
#include "drawing/MeshGL.h"
#include "drawing/MeshListRecipe.h"
#include "drawing/MeshPreparation.h"
#include "drawing/SampleCull.h"
#include "drawing/TessFan.h"
#include "model/Mesh.h"

namespace
{
// Triangles per draw call: Mesa's vertex fetch counts bytes from the array's start in 32 bits, so
// one call must stay well below 2 GB of records.
constexpr int32_t TRIANGLES_PER_DRAW = 1 << 17;

void PointArraysAt(const double* pRecord, GLsizei nStride, const CMeshDrawing& drawing)
{
    glVertexPointer(3, GL_DOUBLE, nStride, pRecord + SLOT_POSITION);
    glNormalPointer(GL_DOUBLE, nStride, pRecord + SLOT_NORMAL);
    if (drawing.m_bColors)
        glColorPointer(3, GL_DOUBLE, nStride, pRecord + SLOT_COLOR);
    if (drawing.m_bTexCoords)
        glTexCoordPointer(2, GL_DOUBLE, nStride, pRecord + SLOT_TEXCOORD);
}
// Whether the mesh can be a soup at all, and whether its face t is the soup's [3t, 3t+1, 3t+2].
bool MayBeSoup(const CMesh& mesh)
{
    return mesh.VertexPool() != nullptr && mesh.m_ppFaces != nullptr &&
           static_cast<int64_t>(mesh.m_nVertices) >= 3 * int64_t{mesh.m_nFaces};
}

bool IsSoupFace(const CMesh& mesh, int32_t t)
{
    const int32_t* pFace = mesh.m_ppFaces[t];
    return pFace != nullptr && mesh.m_pFaceSizes[t] == 3 && pFace[0] == 3 * t && pFace[1] == 3 * t + 1 &&
           pFace[2] == 3 * t + 2;
}
} // namespace

bool RendersInSystemMemory()
{
    const GLubyte* pRenderer = glGetString(GL_RENDERER);
    if (pRenderer == nullptr)
        return false;
    const char* psz = reinterpret_cast<const char*>(pRenderer);
    for (const char* pszSoftware : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (std::strstr(psz, pszSoftware) != nullptr)
            return true;
    return false;
}

bool CMeshGL::FindTriangleRuns(const CMesh& mesh, int32_t nFirst, int32_t nEnd,
                               std::vector<STriangleRun>& runs, int32_t& nLastVertex)
{
    // Unless the records are shared, every record pointer is the pool's record of its index
    // (Allocate and the readers set them so, and nothing changes them), so the faces alone decide
    // whether the records are in soup order.
    const double* pPool = mesh.VertexPool();
    if (!MayBeSoup(mesh) || mesh.SharesRecords())
        return false;
    const size_t nRecord = static_cast<size_t>(mesh.m_nRecordSize);
    for (int32_t t = nFirst; t < nEnd; ++t)
    {
        if (!IsSoupFace(mesh, t))
            return false;
        const double* pRecord = pPool + 3 * static_cast<size_t>(t) * nRecord;
        // The tessellator's own decision: nothing for a flat triangle, the points turned round for
        // one it finds facing away (a NaN coordinate does that).
        const int nOrder = TessTriangleOrder(pRecord, pRecord + nRecord, pRecord + 2 * nRecord);
        if (nOrder == TESS_FAN_NONE)
            continue;
        if (nOrder != TESS_FAN_FORWARD && nOrder != TESS_FAN_BACKWARD)
            return false;
        const bool bReversed = nOrder == TESS_FAN_BACKWARD;
        if (!bReversed && !runs.empty() && !runs.back().bReversed &&
            runs.back().nFirst + runs.back().nCount == t)
            ++runs.back().nCount;
        else
            runs.push_back({t, 1, bReversed});
        nLastVertex = 3 * t + (bReversed ? 1 : 2);
    }
    return true;
}

bool CMeshGL::DrawsSoupRuns(const CMesh& mesh)
{
    return MayBeSoup(mesh) && !mesh.SharesRecords() && mesh.m_nFaces > 0 && IsSoupFace(mesh, 0) &&
           IsSoupFace(mesh, mesh.m_nFaces - 1);
}

bool CMeshGL::FindIndexedBlock(const CMesh& mesh, int32_t nFirst, int32_t nEnd, SIndexedBlock& block,
                               int32_t& nLastRecord)
{
    const double* pPool = mesh.VertexPool();
    if (pPool == nullptr || mesh.m_ppFaces == nullptr || mesh.m_ppVertices == nullptr)
        return false;
    // A record's number from its pointer: the offset, always a whole number of records, divided
    // exactly by a multiplication (the records' odd factor's inverse modulo 2^64, after the shift
    // of its factor 2), as a division per corner would cost more than the rest of the work.
    const uint64_t nRecord = static_cast<uint64_t>(mesh.m_nRecordSize);
    const int nShift = std::countr_zero(nRecord);
    const uint64_t nOdd = nRecord >> nShift;
    uint64_t nInverse = nOdd;
    for (int i = 0; i < 5; ++i)
        nInverse *= 2 - nOdd * nInverse;
    const uint64_t nRecords = static_cast<uint64_t>(mesh.m_nRecords);
    block.shortIndices.clear();
    block.indices.clear();
    // Gathered in one buffer a thread, kept from block to block: a new one for each block would
    // cost its pages' faults every time.
    thread_local std::vector<uint32_t> t_indices;
    std::vector<uint32_t>& indices = t_indices;
    indices.clear();
    int64_t nLow = INT64_MAX, nHigh = -1;
    const double* ppPoints[TESS_FAN_MAX_POINTS];
    // Unless the records are shared, a vertex's record is the one of its number: no pointer to
    // load on the way, and no number to find.
    const bool bShared = mesh.SharesRecords();
    const auto recordOf = [&](int32_t nVertex) -> const double*
    { return bShared ? mesh.m_ppVertices[nVertex] : pPool + static_cast<size_t>(nVertex) * nRecord; };
    for (int32_t t = nFirst; t < nEnd; ++t)
    {
        // The records of the faces ahead, which lie wherever the faces point.
        if (t + 16 < nEnd && mesh.m_ppFaces[t + 16] != nullptr)
            for (int32_t k = 0; k < std::min(mesh.m_pFaceSizes[t + 16], 3); ++k)
                __builtin_prefetch(recordOf(mesh.m_ppFaces[t + 16][k]));
        const int32_t* pFace = mesh.m_ppFaces[t];
        const int32_t nSize = mesh.m_pFaceSizes[t];
        // What the list's faces skip: no face, and faces of more than three points with a NaN.
        if (pFace == nullptr)
            continue;
        if (nSize > TESS_FAN_MAX_POINTS)
            return false;
        bool bNaN = false;
        for (int32_t k = 0; k < nSize; ++k)
            ppPoints[k] = recordOf(pFace[k]);
        for (int32_t k = 0; k < nSize && nSize > 3; ++k)
            bNaN = bNaN || std::isnan(ppPoints[k][0]) || std::isnan(ppPoints[k][1]) ||
                   std::isnan(ppPoints[k][2]);
        if (bNaN)
            continue;
        const int nOrder = nSize == 3 ? TessTriangleOrder(ppPoints[0], ppPoints[1], ppPoints[2])
                                      : TessFanOrder(ppPoints, nSize);
        if (nOrder == TESS_FAN_NONE)
            continue;
        if (nOrder != TESS_FAN_FORWARD && nOrder != TESS_FAN_BACKWARD)
            return false;
        uint32_t records[TESS_FAN_MAX_POINTS];
        for (int32_t k = 0; k < nSize; ++k)
        {
            const uint64_t nIndex = bShared
                                        ? (static_cast<uint64_t>(ppPoints[k] - pPool) >> nShift) * nInverse
                                        : static_cast<uint64_t>(pFace[k]);
            if (nIndex >= nRecords)
                return false;
            records[k] = static_cast<uint32_t>(nIndex);
            nLow = std::min(nLow, static_cast<int64_t>(nIndex));
            nHigh = std::max(nHigh, static_cast<int64_t>(nIndex));
        }
        // The fan's triangles as the tessellator sends them: turned round, the points after the
        // first come in reverse.
        const auto point = [&](int32_t i) { return records[nOrder > 0 ? i : nSize - i]; };
        for (int32_t i = 1; i + 1 < nSize; ++i)
        {
            indices.push_back(records[0]);
            indices.push_back(point(i));
            indices.push_back(point(i + 1));
        }
        nLastRecord = static_cast<int32_t>(indices.back());
    }
    if (indices.empty())
    {
        block.nBase = block.nRange = 0;
        return true;
    }
    // One call converts the records of its whole range: a block whose records lie scattered over
    // the pool would convert most of it every time, and Mesa's vertex fetch counts bytes in 32 bits.
    const int64_t nRange = nHigh - nLow + 1;
    if (nRange > 8 * static_cast<int64_t>(indices.size()) + 65536 ||
        nRange * static_cast<int64_t>(nRecord * sizeof(double)) > (int64_t{1} << 30))
        return false;
    const uint32_t nBase = static_cast<uint32_t>(nLow);
    if (nRange <= 65536)
    {
        block.shortIndices.resize(indices.size());
        for (size_t i = 0; i < indices.size(); ++i)
            block.shortIndices[i] = static_cast<uint16_t>(indices[i] - nBase);
    }
    else
    {
        block.indices.resize(indices.size());
        for (size_t i = 0; i < indices.size(); ++i)
            block.indices[i] = indices[i] - nBase;
    }
    block.nBase = static_cast<int32_t>(nLow);
    block.nRange = static_cast<int32_t>(nRange);
    return true;
}

std::unique_ptr<CMeshDrawing> CMeshGL::DrawingFor(const CMesh& mesh, const SListRecipe& recipe)
{
    std::unique_ptr<CMeshDrawing> pPrepared = std::move(m_pPrepared);
    if (pPrepared && pPrepared->m_nKey == recipe.Key())
        return pPrepared;
    if (pPrepared)
        pPrepared->DeleteLists();
    return CMeshPreparation::MakeNow(mesh, recipe, RendersInSystemMemory());
}

double CMeshGL::Draw(const CMesh& mesh)
{
    const CMeshGL* pGL = Find(mesh);
    if (pGL == nullptr || pGL->m_nDisplayList == 0)
        return 1.0;
    glCallList(pGL->m_nDisplayList);
    if (!pGL->m_pDrawing || !pGL->m_pDrawing->m_bArrays)
        return 1.0;
    const CMeshDrawing& drawing = *pGL->m_pDrawing;
    // The list has set the mesh's own translation: the matrices are the frame's.
    bool bCulled = false;
    if (!drawing.m_indexedBlocks.empty())
    {
        if (!pGL->m_pCull)
            pGL->m_pCull = std::make_unique<CSampleCull>();
        bCulled = pGL->m_pCull->Cull(mesh, drawing.m_indexedBlocks);
    }
    if (!drawing.m_triangleRuns.empty() || !drawing.m_indexedBlocks.empty())
    {
        const size_t nRecord = static_cast<size_t>(mesh.m_nRecordSize);
        const GLsizei nStride = static_cast<GLsizei>(nRecord * sizeof(double));
        const double* pPool = mesh.VertexPool();
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        if (drawing.m_bColors)
            glEnableClientState(GL_COLOR_ARRAY);
        if (drawing.m_bTexCoords)
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        static const GLuint REVERSED[3] = {0, 2, 1};
        for (const STriangleRun& run : drawing.m_triangleRuns)
        {
            const int32_t nEnd = run.nFirst + run.nCount;
            const int32_t nStep = run.bReversed ? 1 : TRIANGLES_PER_DRAW;
            for (int32_t t = run.nFirst; t < nEnd; t += nStep)
            {
                PointArraysAt(pPool + 3 * static_cast<size_t>(t) * nRecord, nStride, drawing);
                if (run.bReversed)
                    glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_INT, REVERSED);
                else
                    glDrawArrays(GL_TRIANGLES, 0, 3 * std::min(nStep, nEnd - t));
            }
        }
        for (size_t b = 0; b < drawing.m_indexedBlocks.size(); ++b)
        {
            const SIndexedBlock* pKept = bCulled ? pGL->m_pCull->Kept(b) : nullptr;
            const SIndexedBlock& block = pKept != nullptr ? *pKept : drawing.m_indexedBlocks[b];
            const bool bShort = !block.shortIndices.empty();
            const size_t nCount = bShort ? block.shortIndices.size() : block.indices.size();
            if (nCount == 0)
                continue;
            PointArraysAt(pPool + static_cast<size_t>(block.nBase) * nRecord, nStride, drawing);
            glDrawRangeElements(GL_TRIANGLES, 0, static_cast<GLuint>(block.nRange - 1),
                                static_cast<GLsizei>(nCount), bShort ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                                bShort ? static_cast<const void*>(block.shortIndices.data())
                                       : block.indices.data());
        }
        glPopClientAttrib();
        // What stays current after the list's own drawing: the last vertex's values (with colour
        // material still on, so that the material follows as it did).
        const double* pLast = pPool + static_cast<size_t>(drawing.m_nLastVertex) * nRecord;
        glNormal3dv(pLast + SLOT_NORMAL);
        if (drawing.m_bTexCoords)
            glTexCoord2dv(pLast + SLOT_TEXCOORD);
        if (drawing.m_bColors)
            glColor3dv(pLast + SLOT_COLOR);
    }
    glCallList(drawing.m_nEndList);
    return bCulled ? pGL->m_pCull->KeptShare() : 1.0;
}
