// Triangle soups, as the STL import builds them: every face has three vertices of its own.
#include <algorithm>
#include <cfloat>

#include "model/Mesh.h"
#include "model/MeshMath.h"
#include "platform/HugePages.h"
#include "platform/OnThreads.h"
#include "platform/PageSink.h"
#include "platform/Prefaulter.h"

namespace
{
// Prefaulting works in steps of this many triangles (about 8 MB of records).
constexpr int32_t PREFAULT_TRIANGLES = 1 << 16;
} // namespace

void CMesh::AllocateTrianglesUnfilled(int32_t nTriangles)
{
    FreeGeometry();
    const int32_t n = std::max(nTriangles, 0);
    m_nVertices = m_nRecords = 3 * n;
    m_nFaces = n;
    m_nEdges = 3 * n;
    const size_t nVertices = static_cast<size_t>(m_nVertices), nFaces = static_cast<size_t>(n);
    m_pVertexPool.reset(NewHugeArray<double>(nVertices * static_cast<size_t>(m_nRecordSize)));
    m_ppVertices = NewHugeArray<double*>(nVertices);
    m_pNormalPool.reset(NewHugeArray<double>(nFaces * 3));
}

std::unique_ptr<int32_t* []> CMesh::ReserveFaceArrays(CPageSink* pSink)
{
    // The faces share one index block instead of one allocation each. Nothing is written before a
    // sink's pages come, not even the index block's zeros; the array of faces waits apart, as the
    // mesh frees the pointers it holds.
    const size_t nFaces = static_cast<size_t>(m_nFaces);
    ReserveHuge(m_indexPool, 3 * nFaces);
    m_ppFaceNormals = NewHugeArray<double*>(nFaces);
    m_pFaceSizes = NewHugeArray<int32_t>(nFaces);
    std::unique_ptr<int32_t*[]> pFaces(NewHugeArray<int32_t*>(nFaces));
    if (pSink != nullptr)
    {
        pSink->AddTarget(m_indexPool.data(), 3 * nFaces * sizeof(int32_t));
        pSink->AddTarget(pFaces.get(), nFaces * sizeof(int32_t*));
        pSink->AddTarget(m_ppFaceNormals, nFaces * sizeof(double*));
        pSink->AddTarget(m_pFaceSizes, nFaces * sizeof(int32_t));
    }
    return pFaces;
}

void CMesh::AllocateFaceArrays(std::unique_ptr<int32_t*[]> pReserved)
{
    if (!pReserved)
        pReserved = ReserveFaceArrays(nullptr);
    m_indexPool.resize(3 * static_cast<size_t>(m_nFaces));
    // Last, as its pointers are freed with the mesh: nothing fails before they are filled.
    m_ppFaces = pReserved.release();
}

void CMesh::FillFaceArrays(int32_t nFirst, int32_t nEnd)
{
    for (int32_t f = nFirst; f < nEnd; ++f)
    {
        const size_t nVertex = 3 * static_cast<size_t>(f);
        int32_t* pIndex = m_indexPool.data() + nVertex;
        pIndex[0] = 3 * f;
        pIndex[1] = 3 * f + 1;
        pIndex[2] = 3 * f + 2;
        m_ppFaces[f] = pIndex;
        m_pFaceSizes[f] = 3;
        m_ppFaceNormals[f] = m_pNormalPool.get() + nVertex;
    }
}

void CMesh::FillTriangleArrays(int32_t nFirst, int32_t nEnd)
{
    FillFaceArrays(nFirst, nEnd);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (size_t v = 3 * static_cast<size_t>(nFirst); v < 3 * static_cast<size_t>(nEnd); ++v)
        m_ppVertices[v] = m_pVertexPool.get() + v * nRecord;
}

void CMesh::AddSoupFaceArrays(std::unique_ptr<int32_t*[]> pFaces)
{
    AllocateFaceArrays(std::move(pFaces));
    // On both cores, in steps that keep the threads apart.
    std::atomic<int32_t> nNext{0};
    OnThreads(m_nFaces >= PREFAULT_TRIANGLES ? WorkerThreadCount() : 1,
              [&]
              {
                  for (int32_t nFirst; (nFirst = nNext.fetch_add(PREFAULT_TRIANGLES)) < m_nFaces;)
                      FillFaceArrays(nFirst, std::min(m_nFaces - nFirst, PREFAULT_TRIANGLES) + nFirst);
              });
}

void CMesh::PrepareTriangleArrays(const std::atomic<int32_t>& nReached, bool bRecords, bool bFill)
{
    if (bFill)
        FillTriangleArrays(0, m_nFaces);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (int32_t nTop = m_nFaces; nTop > 0;)
    {
        const int32_t nBottom = std::max(nTop - PREFAULT_TRIANGLES, 0);
        // Leave a step's room to the reader, which faults its own pages anyway.
        if (nBottom < nReached.load(std::memory_order_relaxed) + PREFAULT_TRIANGLES)
            return;
        const size_t nFirst = static_cast<size_t>(nBottom), nCount = static_cast<size_t>(nTop - nBottom);
        if ((bRecords && !PrefaultForWrite(m_pVertexPool.get() + 3 * nFirst * nRecord,
                                           3 * nCount * nRecord * sizeof(double))) ||
            !PrefaultForWrite(m_pNormalPool.get() + 3 * nFirst, 3 * nCount * sizeof(double)))
            return;
        nTop = nBottom;
    }
}

int32_t CMesh::PrefaultRecordsAhead(int32_t nFrom, int32_t nReached)
{
    // Two steps ahead of the reader, so that it seldom meets a page of its own to fault in.
    const int32_t nTo =
        static_cast<int32_t>(std::min<int64_t>(m_nFaces, int64_t{nReached} + 2 * PREFAULT_TRIANGLES));
    nFrom = std::max(nFrom, nReached);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    if (nTo > nFrom && !PrefaultForWrite(m_pVertexPool.get() + 3 * static_cast<size_t>(nFrom) * nRecord,
                                         3 * static_cast<size_t>(nTo - nFrom) * nRecord * sizeof(double)))
        return m_nFaces;
    return std::max(nFrom, nTo);
}

void CMesh::AllocateTriangles(int32_t nTriangles)
{
    AllocateTrianglesUnfilled(nTriangles);
    AllocateFaceArrays();
    FillTriangleArrays(0, m_nFaces);
}

template <typename T> void CMesh::SetTriangles(const T* pXyz, int32_t nTriangles)
{
    AllocateTriangles(nTriangles);
    const size_t nVertices = static_cast<size_t>(m_nVertices);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    double* pRecord = m_pVertexPool.get();
    for (size_t i = 0; i < nVertices; ++i, pRecord += nRecord, pXyz += 3)
    {
        pRecord[0] = static_cast<double>(pXyz[0]);
        pRecord[1] = static_cast<double>(pXyz[1]);
        pRecord[2] = static_cast<double>(pXyz[2]);
    }
}

template void CMesh::SetTriangles<float>(const float*, int32_t);
template void CMesh::SetTriangles<double>(const double*, int32_t);

void CMesh::CompleteTriangles(int32_t nFirst, int32_t nEnd, CVector3& vMin, CVector3& vMax,
                              bool bVertexNormals)
{
    // The steps of Transform and ComputeNormals with the same arithmetic in the same order, so
    // the same bits: the rows' products (which turn some negative zeros positive), the box over
    // the vertices in index order, each face's normal, and each vertex normal as the normalised
    // sum of the one face normal it gets (unless a welder writes them). The records are reached by
    // the soup's layout, so the pointer arrays may still be on their way.
    const CVector3 r0(1.0, 0.0, 0.0), r1(0.0, 1.0, 0.0), r2(0.0, 0.0, 1.0);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (int32_t f = nFirst; f < nEnd; ++f)
    {
        double* ppRecords[3];
        for (int k = 0; k < 3; ++k)
        {
            double* p = m_pVertexPool.get() + (3 * static_cast<size_t>(f) + static_cast<size_t>(k)) * nRecord;
            ppRecords[k] = p;
            const CVector3 vOld(p);
            p[0] = r0.Dot(vOld);
            p[1] = r1.Dot(vOld);
            p[2] = r2.Dot(vOld);
            MeshMath::WidenBox(vMin, vMax, p);
        }
        static const int32_t CORNERS[3] = {0, 1, 2};
        const CVector3 vNormal = MeshMath::FaceNormal(ppRecords, CORNERS, 3);
        vNormal.ToArray(m_pNormalPool.get() + 3 * static_cast<size_t>(f));
        if (!bVertexNormals)
            continue;
        // The three vertex normals are the same sum of the same one normal: computed once.
        CVector3 vVertexNormal;
        vVertexNormal += vNormal;
        vVertexNormal.Normalize();
        for (double* p : ppRecords)
            vVertexNormal.ToArray(p + SLOT_NORMAL);
    }
}

void CMesh::CompleteTriangleSoup()
{
    CVector3 vMin(DBL_MAX, DBL_MAX, DBL_MAX);
    CVector3 vMax(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    CompleteTriangles(0, m_nFaces, vMin, vMax, true);
    FinishTriangleSoup(vMin, vMax);
}

void CMesh::FinishTriangleSoup(const CVector3& vMin, const CVector3& vMax)
{
    m_bHasNormals = false;
    m_nLargestFace = m_nFaces > 0 ? 3 : 0;
    SetBounds(vMin, vMax);
}
