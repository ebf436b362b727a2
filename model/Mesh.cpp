#include "model/Mesh.h"

#include "model/MeshMath.h"
#include "platform/HugePages.h"

#include <algorithm>
#include <cfloat>
#include <functional>
#include <utility>
#include <vector>

CMesh::CMesh() = default;

CMesh::~CMesh()
{
    FreeGeometry();
}

bool CMesh::OwnsIndexPool(const int32_t* p) const
{
    const std::less<const int32_t*> before;
    return !m_indexPool.empty() && !before(p, m_indexPool.data()) &&
           before(p, m_indexPool.data() + m_indexPool.size());
}

void CMesh::FreeFaceNormals()
{
    if (m_ppFaceNormals != nullptr)
        std::fill(m_ppFaceNormals, m_ppFaceNormals + m_nFaces, nullptr);
    // The pool stays: ComputeNormals refills it for the same faces, without touching fresh memory.
}

void CMesh::FreeGeometry()
{
    // Whatever reads the records stops now; what else was made from them waits for a context.
    if (m_pGraphics)
        m_pGraphics->GeometryGone();
    if (m_ppFaces != nullptr)
    {
        for (int32_t f = 0; f < m_nFaces; ++f)
            if (m_ppFaces[f] != nullptr && !OwnsIndexPool(m_ppFaces[f]))
                delete[] m_ppFaces[f];
    }
    delete[] m_ppVertices;
    delete[] m_ppFaces;
    delete[] m_ppFaceNormals;
    delete[] m_pFaceSizes;
    m_ppVertices = nullptr;
    m_ppFaces = nullptr;
    m_ppFaceNormals = nullptr;
    m_pFaceSizes = nullptr;
    m_pVertexPool.reset();
    m_indexPool = std::vector<int32_t>();
    m_pNormalPool.reset();
    m_pWelder.reset();
    m_bWeldedNormals = false;
}

void CMesh::DiscardRead(int32_t nRecordSize)
{
    FreeGeometry();
    m_nVertices = m_nRecords = m_nFaces = m_nEdges = m_nLargestFace = 0;
    m_bHasNormals = m_bHasColors = m_bHasTexCoords = false;
    m_nRecordSize = nRecordSize;
}

void CMesh::TakeLoadedGeometry(CMesh& source)
{
    if (&source == this)
        return;
    FreeGeometry();
    m_nVertices = std::exchange(source.m_nVertices, 0);
    m_nRecords = std::exchange(source.m_nRecords, 0);
    m_nFaces = std::exchange(source.m_nFaces, 0);
    m_nEdges = std::exchange(source.m_nEdges, 0);
    m_nLargestFace = std::exchange(source.m_nLargestFace, 0);
    m_nRecordSize = source.m_nRecordSize;
    m_ppVertices = std::exchange(source.m_ppVertices, nullptr);
    m_ppFaces = std::exchange(source.m_ppFaces, nullptr);
    m_ppFaceNormals = std::exchange(source.m_ppFaceNormals, nullptr);
    m_pFaceSizes = std::exchange(source.m_pFaceSizes, nullptr);
    m_pVertexPool = std::move(source.m_pVertexPool);
    m_indexPool = std::move(source.m_indexPool);
    source.m_indexPool = std::vector<int32_t>();
    m_pNormalPool = std::move(source.m_pNormalPool);
    m_bHasNormals = std::exchange(source.m_bHasNormals, false);
    m_bWeldedNormals = std::exchange(source.m_bWeldedNormals, false);
    m_bHasColors = std::exchange(source.m_bHasColors, false);
    m_bHasTexCoords = std::exchange(source.m_bHasTexCoords, false);
    m_vBoundsMin = source.m_vBoundsMin;
    m_vBoundsMax = source.m_vBoundsMax;
    m_dHalfExtent = source.m_dHalfExtent;
    m_vCenter = source.m_vCenter;
    m_vPosition = source.m_vPosition;
    m_bLoaded = std::exchange(source.m_bLoaded, false);
    m_strPath = std::move(source.m_strPath);
    m_strName = std::move(source.m_strName);
    source.m_strPath.clear();
    source.m_strName.clear();
    ShowPointsOfCloud();
    // What was made ahead from the geometry travels with it.
    if (source.m_pGraphics)
        source.m_pGraphics->MoveAheadInto(m_pGraphics);
}

void CMesh::Reset()
{
    ReleaseGraphics();
    FreeGeometry();
    m_bLoaded = false;
    m_bLighting = true;
    m_nVertices = m_nRecords = m_nFaces = m_nEdges = m_nLargestFace = 0;
    m_bHasNormals = m_bHasColors = m_bHasTexCoords = m_bTextureOn = false;
    m_nShading = SHADE_GOURAUD;
    m_fFillColor[0] = m_fFillColor[1] = m_fFillColor[2] = 0.0f;
    m_strPath = "None";
    m_strName = "Invalid";
    m_vBoundsMax = CVector3(0.5, 0.5, 0.5);
    m_vBoundsMin = CVector3(-0.5, -0.5, -0.5);
    m_dHalfExtent = 0.5;
    m_qOrientation = CQuaternion();
}

void CMesh::Allocate(int32_t nVertices, int32_t nFaces, int32_t nEdges)
{
    FreeGeometry();
    m_nVertices = m_nRecords = std::max(nVertices, 0);
    m_nFaces = std::max(nFaces, 0);
    m_nEdges = nEdges;
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    const size_t nRecords = static_cast<size_t>(m_nVertices), nFaceCount = static_cast<size_t>(m_nFaces);
    m_pVertexPool.reset(NewHugeArray<double>(nRecords * nRecord));
    m_ppVertices = NewHugeArray<double*>(nRecords);
    for (int32_t i = 0; i < m_nVertices; ++i)
        m_ppVertices[i] = m_pVertexPool.get() + static_cast<size_t>(i) * nRecord;
    m_ppFaces = NewHugeArray<int32_t*>(nFaceCount);
    std::fill_n(m_ppFaces, nFaceCount, nullptr);
    m_ppFaceNormals = NewHugeArray<double*>(nFaceCount);
    m_pNormalPool.reset(NewHugeArray<double>(nFaceCount * 3));
    for (int32_t f = 0; f < m_nFaces; ++f)
        m_ppFaceNormals[f] = m_pNormalPool.get() + static_cast<size_t>(f) * 3;
    // Zero sizes, so that a face that is never set is an empty face rather than garbage.
    m_pFaceSizes = NewHugeArray<int32_t>(nFaceCount);
    std::fill_n(m_pFaceSizes, nFaceCount, 0);
}

void CMesh::SetVertex(int32_t nIndex, CVector3 vPosition)
{
    double* pRecord = m_ppVertices[nIndex];
    pRecord[0] = vPosition.x;
    pRecord[1] = vPosition.y;
    pRecord[2] = vPosition.z;
}

void CMesh::SetFace(int32_t nFace, int32_t nCount, const int32_t* pIndices)
{
    int32_t*& pFace = m_ppFaces[nFace];
    if (pFace != nullptr && !OwnsIndexPool(pFace))
        delete[] pFace;
    const int32_t nSize = std::max(nCount, 0);
    pFace = new int32_t[static_cast<size_t>(nSize)];
    std::copy(pIndices, pIndices + nSize, pFace);
    m_pFaceSizes[nFace] = nSize;
}

void CMesh::ComputeBounds()
{
    CVector3 vMin(DBL_MAX, DBL_MAX, DBL_MAX);
    CVector3 vMax(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    for (int32_t i = 0; i < m_nVertices; ++i)
        MeshMath::WidenBox(vMin, vMax, m_ppVertices[i]);
    SetBounds(vMin, vMax);
}

void CMesh::SetBounds(const CVector3& vMin, const CVector3& vMax)
{
    m_vBoundsMin = vMin;
    m_vBoundsMax = vMax;
    double dExtent = vMax.x - vMin.x;
    if (vMax.y - vMin.y > dExtent)
        dExtent = vMax.y - vMin.y;
    if (vMax.z - vMin.z > dExtent)
        dExtent = vMax.z - vMin.z;
    m_dHalfExtent = dExtent * 0.5;
    // Halves first: the sum of two bounds near the largest double would overflow.
    m_vCenter = m_vBoundsMin * 0.5 + m_vBoundsMax * 0.5;
}

void CMesh::ComputeNormals()
{
    // The normals are summed per vertex, and smoothed again into shared records after. Without the
    // memory for a record per vertex the records stay shared, each the sum of its vertices' faces,
    // the smoothing without the crease test (still none across a crease the records had).
    const bool bShared = !m_bHasNormals && !UnshareRecords();
    m_nLargestFace = 0;
    const size_t nFaces = static_cast<size_t>(std::max(m_nFaces, 0));
    // Generated vertex normals are summed straight in the records' normal slots, which they
    // replace anyway: the same sums as in separate accumulators, without the extra memory.
    if (!m_bHasNormals)
        for (int32_t i = 0; i < m_nVertices; ++i)
            std::fill(m_ppVertices[i] + SLOT_NORMAL, m_ppVertices[i] + SLOT_NORMAL + 3, 0.0);
    if (m_ppFaceNormals == nullptr)
    {
        m_ppFaceNormals = NewHugeArray<double*>(nFaces);
        std::fill_n(m_ppFaceNormals, nFaces, nullptr);
    }
    if (!m_pNormalPool)
        m_pNormalPool.reset(NewHugeArray<double>(nFaces * 3));
    for (size_t f = 0; f < nFaces; ++f)
    {
        const int32_t n = m_pFaceSizes[f];
        const int32_t* pFace = m_ppFaces[f];
        if (n > m_nLargestFace)
            m_nLargestFace = n;
        const CVector3 vNormal = MeshMath::FaceNormal(m_ppVertices, pFace, n);
        double* pNormal = m_pNormalPool.get() + f * 3;
        vNormal.ToArray(pNormal);
        m_ppFaceNormals[f] = pNormal;
        if (!m_bHasNormals)
            for (int32_t k = 0; k < n; ++k)
            {
                double* pSum = m_ppVertices[pFace[k]] + SLOT_NORMAL;
                pSum[0] += vNormal.x;
                pSum[1] += vNormal.y;
                pSum[2] += vNormal.z;
            }
    }
    if (bShared)
    {
        const size_t nRecord = static_cast<size_t>(m_nRecordSize);
        for (size_t r = 0; r < static_cast<size_t>(m_nRecords); ++r)
        {
            double* pNormal = m_pVertexPool.get() + r * nRecord + SLOT_NORMAL;
            CVector3 vNormal(pNormal);
            vNormal.Normalize();
            vNormal.ToArray(pNormal);
        }
    }
    else if (!m_bHasNormals)
    {
        for (int32_t i = 0; i < m_nVertices; ++i)
        {
            CVector3 vNormal(m_ppVertices[i] + SLOT_NORMAL);
            vNormal.Normalize();
            vNormal.ToArray(m_ppVertices[i] + SLOT_NORMAL);
        }
        if (m_bWeldedNormals)
            WeldVertexNormals();
    }
}

bool CMesh::SharesNoVertex() const
{
    if (m_nFaces == 0 || static_cast<int64_t>(m_nEdges) != m_nVertices)
        return false;
    std::vector<bool> used(static_cast<size_t>(m_nVertices), false);
    for (int32_t f = 0; f < m_nFaces; ++f)
        for (int32_t k = 0; k < m_pFaceSizes[f]; ++k)
        {
            const size_t v = static_cast<size_t>(m_ppFaces[f][k]);
            if (used[v])
                return false;
            used[v] = true;
        }
    return true;
}

bool CMesh::UnshareRecords()
{
    if (!SharesRecords())
        return true;
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    std::unique_ptr<double[]> pPool;
    try
    {
        pPool.reset(NewHugeArray<double>(static_cast<size_t>(m_nVertices) * nRecord));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    for (int32_t v = 0; v < m_nVertices; ++v)
    {
        double* pRecord = pPool.get() + static_cast<size_t>(v) * nRecord;
        std::copy_n(m_ppVertices[v], nRecord, pRecord);
        m_ppVertices[v] = pRecord;
    }
    m_pVertexPool = std::move(pPool);
    m_nRecords = m_nVertices;
    return true;
}

void CMesh::WeldVertexNormals()
{
    // The normals just made are the faces' own; they stay where there is no memory for more. The
    // welder shares records of positions and normals only: records that hold more than those are
    // smoothed through a copy of the positions, and keep a record per vertex.
    const size_t nVertices = static_cast<size_t>(m_nVertices), nRecord = static_cast<size_t>(m_nRecordSize);
    const bool bShare = nRecord == CSoupWelder::RECORD;
    std::unique_ptr<int32_t[]> pFaceOf;
    std::unique_ptr<double[]> pCopy;
    std::unique_ptr<double*[]> ppCopySlots;
    std::unique_ptr<CSoupWelder> pWelder;
    try
    {
        pFaceOf.reset(NewHugeArray<int32_t>(nVertices));
        for (int32_t f = 0; f < m_nFaces; ++f)
            for (int32_t k = 0; k < m_pFaceSizes[f]; ++k)
                pFaceOf[static_cast<size_t>(m_ppFaces[f][k])] = f;
        double* pPool = m_pVertexPool.get();
        double** ppSlots = m_ppVertices;
        if (!bShare)
        {
            pCopy.reset(NewHugeArray<double>(nVertices * CSoupWelder::RECORD));
            ppCopySlots.reset(NewHugeArray<double*>(nVertices));
            for (size_t v = 0; v < nVertices; ++v)
                std::copy_n(m_ppVertices[v], 3, pCopy.get() + v * CSoupWelder::RECORD);
            pPool = pCopy.get();
            ppSlots = ppCopySlots.get();
        }
        pWelder =
            std::make_unique<CSoupWelder>(pPool, m_nVertices, ppSlots, m_pNormalPool.get(), pFaceOf.get());
        if (!pWelder->Number(0, m_nVertices))
        {
            pWelder->Unshare();
            return;
        }
        const int32_t nRecords = pWelder->WriteNormals();
        if (bShare)
            m_nRecords = nRecords;
        else
            for (size_t v = 0; v < nVertices; ++v)
                std::copy_n(ppCopySlots[v] + 3, 3, m_ppVertices[v] + SLOT_NORMAL);
    }
    catch (const std::bad_alloc&)
    {
        if (pWelder)
            pWelder->Unshare();
    }
}

void CMesh::Invert()
{
    // Record by record: a record shared by several vertices turns once.
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (size_t r = 0; r < static_cast<size_t>(m_nRecords); ++r)
        for (size_t s = SLOT_NORMAL; s < SLOT_NORMAL + 3; ++s)
            m_pVertexPool[r * nRecord + s] *= -1.0;
    ReverseFaces();
    for (int32_t f = 0; f < m_nFaces; ++f)
        if (m_ppFaceNormals[f] != nullptr)
            for (int s = 0; s < 3; ++s)
                m_ppFaceNormals[f][s] *= -1.0;
}

void CMesh::ReverseFaces()
{
    for (int32_t f = 0; f < m_nFaces; ++f)
        std::reverse(m_ppFaces[f], m_ppFaces[f] + m_pFaceSizes[f]);
}

void CMesh::Transform(CVector3 r0, CVector3 r1, CVector3 r2)
{
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (size_t r = 0; r < static_cast<size_t>(m_nRecords); ++r)
    {
        double* p = m_pVertexPool.get() + r * nRecord;
        const CVector3 vOld(p);
        p[0] = r0.Dot(vOld);
        p[1] = r1.Dot(vOld);
        p[2] = r2.Dot(vOld);
    }
    ComputeBounds();
    // A mirror would turn every face's winding, and with it the side that counts as outside:
    // the faces are reversed so that the outside stays outside.
    if (r0.Dot(r1.Cross(r2)) < 0.0)
        ReverseFaces();
    FreeFaceNormals();
    m_bHasNormals = false;
    ComputeNormals();
}

void CMesh::Translate(CVector3 vOffset)
{
    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    for (size_t r = 0; r < static_cast<size_t>(m_nRecords); ++r)
    {
        double* p = m_pVertexPool.get() + r * nRecord;
        p[0] += vOffset.x;
        p[1] += vOffset.y;
        p[2] += vOffset.z;
    }
    ComputeBounds();
}

void CMesh::UpdateAxes()
{
    double m[16];
    m_qOrientation.ToMatrix(m);
    m_vAxisX = CVector3(m[0], m[1], m[2]);
    m_vAxisY = CVector3(m[4], m[5], m[6]);
    m_vAxisZ = CVector3(m[8], m[9], m[10]);
}

CVector3 CMesh::GetWorldVertex(int32_t nIndex) const
{
    const CVector3 d = CVector3(m_ppVertices[nIndex]) - m_vCenter;
    return CVector3(d.Dot(m_vAxisX), d.Dot(m_vAxisY), d.Dot(m_vAxisZ)) + m_vCenter + m_vPosition;
}

void CMesh::SetFillColor(int32_t nColor)
{
    const float fScale = 0.003921569f;
    m_fFillColor[0] = static_cast<float>(nColor & 0xFF) * fScale;
    m_fFillColor[1] = static_cast<float>((nColor >> 8) & 0xFF) * fScale;
    m_fFillColor[2] = static_cast<float>((nColor >> 16) & 0xFF) * fScale;
}

uint64_t CMesh::GeometryBytes() const
{
    const auto nVertices = static_cast<uint64_t>(m_nVertices);
    const auto nFaces = static_cast<uint64_t>(m_nFaces);
    // A record; a vertex: its pointer; a face: its size, its pointers, its normal (three doubles);
    // a corner: its index.
    return static_cast<uint64_t>(m_nRecords) * static_cast<uint64_t>(m_nRecordSize) * 8 + nVertices * 8 +
           nFaces * (4 + 8 + 8 + 24) + static_cast<uint64_t>(m_nEdges) * 4;
}

SMeshView CMesh::View() const
{
    SMeshView view;
    view.nVertices = m_nVertices;
    view.nFaces = m_nFaces;
    view.nEdges = m_nEdges;
    view.nRecordSize = m_nRecordSize;
    view.bNormals = m_bHasNormals;
    view.bWeldedNormals = m_bWeldedNormals;
    view.bColors = m_bHasColors;
    view.bTexCoords = m_bHasTexCoords;
    view.ppVertices = m_ppVertices;
    view.ppFaces = m_ppFaces;
    view.pFaceSizes = m_pFaceSizes;
    view.ppFaceNormals = m_ppFaceNormals;
    view.strName = m_strName;
    // The rows of the orientation's matrix, as UpdateAxes keeps them.
    double m[16];
    m_qOrientation.ToMatrix(m);
    view.vAxisX = CVector3(m[0], m[1], m[2]);
    view.vAxisY = CVector3(m[4], m[5], m[6]);
    view.vAxisZ = CVector3(m[8], m[9], m[10]);
    view.vCenter = m_vCenter;
    view.vPosition = m_vPosition;
    return view;
}

void CMesh::ShowPointsOfCloud()
{
    if (!IsPointCloud())
        return;
    m_nRenderMode = RENDER_POINTS;
    // Points without normals of their own would be lit as black: they show in their colour.
    if (!m_bHasNormals)
        m_bLighting = false;
}
