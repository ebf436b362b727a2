// CMesh::SetTriangles: the bulk fill of the STL import.
#include <algorithm>

#include "platform/HugePages.h"
#include "scene/Mesh.h"

template <typename T> void CMesh::SetTriangles(const T* pXyz, int32_t nTriangles)
{
    const int32_t n = std::max(nTriangles, 0);
    Allocate(3 * n, n, 3 * n);
    const size_t nVertices = static_cast<size_t>(m_nVertices);
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    double* pRecord = m_pVertexPool.get();
    for (size_t i = 0; i < nVertices; ++i, pRecord += nRecord, pXyz += 3)
    {
        pRecord[0] = static_cast<double>(pXyz[0]);
        pRecord[1] = static_cast<double>(pXyz[1]);
        pRecord[2] = static_cast<double>(pXyz[2]);
    }
    // The faces share one index block instead of one allocation each.
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

template void CMesh::SetTriangles<float>(const float*, int32_t);
template void CMesh::SetTriangles<double>(const double*, int32_t);
