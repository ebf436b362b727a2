// Triangle soups, as the STL import builds them: every face has three vertices of its own.
#include <algorithm>
#include <cfloat>

#include "platform/HugePages.h"
#include "scene/Mesh.h"
#include "scene/MeshMath.h"

void CMesh::AllocateTriangles(int32_t nTriangles)
{
    const int32_t n = std::max(nTriangles, 0);
    Allocate(3 * n, n, 3 * n);
    // The faces share one index block instead of one allocation each.
    const size_t nVertices = static_cast<size_t>(m_nVertices);
    ReserveHuge(m_indexPool, nVertices);
    m_indexPool.resize(nVertices);
    int32_t* pIndex = m_indexPool.data();
    for (int32_t f = 0; f < n; ++f, pIndex += 3)
    {
        pIndex[0] = 3 * f;
        pIndex[1] = 3 * f + 1;
        pIndex[2] = 3 * f + 2;
        m_ppFaces[f] = pIndex;
        m_pFaceSizes[f] = 3;
    }
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

void CMesh::CompleteTriangleSoup()
{
    // The steps of Transform and ComputeNormals with the same arithmetic in the same order, so
    // the same bits: the rows' products (which turn some negative zeros positive), the box over
    // the vertices in index order, each face's normal, and each vertex normal as the normalised
    // sum of the one face normal it gets.
    const CVector3 r0(1.0, 0.0, 0.0), r1(0.0, 1.0, 0.0), r2(0.0, 0.0, 1.0);
    CVector3 vMin(DBL_MAX, DBL_MAX, DBL_MAX);
    CVector3 vMax(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    m_bHasNormals = false;
    m_nLargestFace = m_nFaces > 0 ? 3 : 0;
    for (int32_t f = 0; f < m_nFaces; ++f)
    {
        const int32_t* pFace = m_ppFaces[f];
        for (int k = 0; k < 3; ++k)
        {
            double* p = m_ppVertices[pFace[k]];
            const CVector3 vOld(p);
            p[0] = r0.Dot(vOld);
            p[1] = r1.Dot(vOld);
            p[2] = r2.Dot(vOld);
            MeshMath::WidenBox(vMin, vMax, p);
        }
        const CVector3 vNormal = MeshMath::FaceNormal(m_ppVertices, pFace, 3);
        double* pNormal = m_pNormalPool.get() + static_cast<size_t>(f) * 3;
        vNormal.ToArray(pNormal);
        m_ppFaceNormals[f] = pNormal;
        // The three vertex normals are the same sum of the same one normal: computed once.
        CVector3 vVertexNormal;
        vVertexNormal += vNormal;
        vVertexNormal.Normalize();
        for (int k = 0; k < 3; ++k)
            vVertexNormal.ToArray(m_ppVertices[pFace[k]] + SLOT_NORMAL);
    }
    SetBounds(vMin, vMax);
}
