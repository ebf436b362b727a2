// Reading model files into a mesh: the readers of formats/ fill it through its builder side; and
// a mesh that takes its file's geometry again.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>
#include <utility>

#include "formats/MeshSet.h"
#include "formats/ModelFormat.h"
#include "formats/TokenReader.h"
#include "formats/off/OffReader.h"
#include "formats/stl/StlFormat.h"
#include "formats/stl/StlReader.h"
#include "model/Mesh.h"
#include "platform/FileName.h"
#include "platform/HugePages.h"
#include "platform/PageSink.h"
#include "platform/Prefaulter.h"
#include "platform/ReadProgress.h"

template <typename FnRead> bool CMesh::ReadWith(const std::string& strPath, FnRead&& fnRead)
{
    if (m_bLoaded)
        return false;
    const int32_t nRecordSize = m_nRecordSize;
    m_bFilled = false;
    if (!fnRead(static_cast<CMeshBuilder&>(*this)))
    {
        // A reader that refused the file before it gave anything leaves the mesh as it was.
        if (m_bFilled)
            DiscardRead(nRecordSize);
        return false;
    }
    m_vPosition = CVector3();
    m_strPath = strPath;
    m_strName = FileNameOfPath(strPath);
    m_bLoaded = true;
    ShowPointsOfCloud();
    return true;
}

bool CMesh::ReadOFF(const std::string& strPath, CReadProgress* pProgress, std::string* pstrError)
{
    if (m_bLoaded && pstrError != nullptr)
        *pstrError = "a mesh is loaded already";
    return ReadWith(strPath,
                    [&](CMeshBuilder& builder) { return ::ReadOFF(strPath, builder, pProgress, pstrError); });
}

bool CMesh::ReadOFFBuffer(std::string_view buffer, const std::string& strPath, CReadProgress* pProgress,
                          std::string* pstrError)
{
    if (m_bLoaded && pstrError != nullptr)
        *pstrError = "a mesh is loaded already";
    return ReadWith(strPath, [&](CMeshBuilder& builder)
                    { return ::ReadOFFBuffer(buffer, builder, pProgress, pstrError); });
}

bool CMesh::ReadSTL(const std::string& strPath, int nMode, CReadProgress* pProgress)
{
    return ReadWith(strPath,
                    [&](CMeshBuilder& builder) { return ::ReadSTL(strPath, nMode, builder, pProgress); });
}

bool CMesh::ReadSTLBuffer(std::string_view buffer, int nMode, const std::string& strPath)
{
    return ReadWith(strPath, [&](CMeshBuilder& builder) { return ::ReadSTLBuffer(buffer, nMode, builder); });
}

bool CMesh::ReadModel(const SModelFormat& format, const std::string& strPath, CReadProgress* pProgress,
                      std::string* pstrDetail)
{
    if (m_bLoaded && pstrDetail != nullptr)
        *pstrDetail = "a mesh is loaded already";
    return format.fnRead != nullptr &&
           ReadWith(strPath, [&](CMeshBuilder& builder)
                    { return format.fnRead(strPath, builder, pProgress, pstrDetail); });
}

bool CMesh::ReadModelBuffer(const SModelFormat& format, std::string_view buffer, const std::string& strPath,
                            std::string* pstrDetail)
{
    if (m_bLoaded && pstrDetail != nullptr)
        *pstrDetail = "a mesh is loaded already";
    return format.fnReadBuffer != nullptr &&
           ReadWith(strPath,
                    [&](CMeshBuilder& builder) { return format.fnReadBuffer(buffer, builder, pstrDetail); });
}

namespace
{
// The objects of a set as meshes; the set is left empty.
bool MeshesOfSet(SMeshSet& set, const std::string& strPath, std::vector<std::unique_ptr<CMesh>>& meshes,
                 std::string* pstrDetail)
{
    std::vector<std::unique_ptr<CMesh>> made;
    for (size_t i = 0; i < set.meshes.size(); ++i)
    {
        auto pMesh = std::make_unique<CMesh>();
        SMeshParts& parts = set.meshes[i];
        if (!pMesh->ReadModelParts(parts, strPath))
            return false;
        // One object stands for the file; several are told apart by their own names.
        if (set.meshes.size() > 1)
            pMesh->m_strName = i < set.names.size() && !set.names[i].empty()
                                   ? set.names[i]
                                   : pMesh->m_strName + " #" + std::to_string(i + 1);
        made.push_back(std::move(pMesh));
    }
    if (made.empty())
    {
        if (pstrDetail != nullptr)
            *pstrDetail = "the file holds no object";
        return false;
    }
    meshes = std::move(made);
    set = SMeshSet();
    return true;
}
} // namespace

bool CMesh::ReadModelParts(SMeshParts& parts, const std::string& strPath)
{
    return ReadWith(strPath,
                    [&](CMeshBuilder& builder)
                    {
                        builder.AdoptPolygons(parts);
                        return true;
                    });
}

bool CMesh::ReadModelSet(const SModelFormat& format, const std::string& strPath,
                         std::vector<std::unique_ptr<CMesh>>& meshes, CReadProgress* pProgress,
                         std::string* pstrDetail)
{
    meshes.clear();
    if (format.fnReadSet == nullptr)
    {
        auto pMesh = std::make_unique<CMesh>();
        if (!pMesh->ReadModel(format, strPath, pProgress, pstrDetail))
            return false;
        meshes.push_back(std::move(pMesh));
        return true;
    }
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
    {
        if (pstrDetail != nullptr)
            pstrDetail->clear();
        return false;
    }
    if (pProgress != nullptr)
        pProgress->SetTotal(contents.size());
    try
    {
        SMeshSet set;
        return format.fnReadSet(contents, strPath, set, pstrDetail) &&
               MeshesOfSet(set, strPath, meshes, pstrDetail);
    }
    catch (const std::bad_alloc&)
    {
        if (pstrDetail != nullptr)
            *pstrDetail = "not enough memory";
        return false;
    }
}

bool CMesh::ReadModelSetBuffer(const SModelFormat& format, std::string_view buffer,
                               const std::string& strPath, std::vector<std::unique_ptr<CMesh>>& meshes,
                               std::string* pstrDetail)
{
    meshes.clear();
    if (format.fnReadSet == nullptr)
    {
        auto pMesh = std::make_unique<CMesh>();
        if (!pMesh->ReadModelBuffer(format, buffer, strPath, pstrDetail))
            return false;
        meshes.push_back(std::move(pMesh));
        return true;
    }
    try
    {
        // Data from a pipe has no folder: nothing beside it is read.
        SMeshSet set;
        return format.fnReadSet(buffer, std::string(), set, pstrDetail) &&
               MeshesOfSet(set, strPath, meshes, pstrDetail);
    }
    catch (const std::bad_alloc&)
    {
        if (pstrDetail != nullptr)
            *pstrDetail = "not enough memory";
        return false;
    }
}

double* CMesh::AllocateSoup(int32_t nTriangles)
{
    m_bFilled = true;
    m_nRecordSize = 6;
    // A smoothed soup's face arrays wait for the end of the read (see FinishSoup).
    AllocateTrianglesUnfilled(nTriangles);
    m_bWeldInline = m_bWeldFailed = false;
    m_nNumberedFaces.store(0, std::memory_order_relaxed);
    m_nSlotsFaulted = 0;
    try
    {
        m_pWelder = std::make_unique<CSoupWelder>(m_pVertexPool.get(), m_nVertices, m_ppVertices,
                                                  m_pNormalPool.get(), nullptr);
    }
    catch (const std::bad_alloc&)
    {
        // Flat normals need no more memory than the soup itself.
    }
    if (!m_pWelder)
        AllocateFaceArrays();
    return m_pVertexPool.get();
}

void CMesh::PrepareSoup(const std::atomic<int32_t>& nReached, bool bBehind)
{
    // The records of a soup that is smoothed are given back behind the numbering, so they are not
    // all faulted in ahead of the reader, only a step at a time (below).
    // Without smoothing the arrays are filled at once, before the reader begins or on the second
    // thread; a welder points the vertices at their records itself.
    PrepareTriangleArrays(nReached, !(bBehind && m_pWelder), !m_pWelder);
    if (!bBehind)
    {
        m_bWeldInline = true;
        return;
    }
    if (!m_pWelder)
        return;
    // The numbering follows the reader on this thread, which has nothing else to do, instead of
    // lengthening the read; the reader waits for it where it falls behind (see CompleteSoup).
    struct SNumberingEnds
    {
        std::atomic<int32_t>& nNumbered;
        ~SNumberingEnds() { nNumbered.store(NUMBERING_ENDED, std::memory_order_release); }
    } ends{m_nNumberedFaces};
    try
    {
        // The triangles' records from triangle f on, as an address, the end of the pool at most.
        const auto RecordsAt = [this](int64_t f)
        {
            return reinterpret_cast<uintptr_t>(m_pVertexPool.get() +
                                               3 * static_cast<size_t>(std::min<int64_t>(f, m_nFaces)) *
                                                   static_cast<size_t>(m_nRecordSize));
        };
        uintptr_t nMovedTo = 0;
        for (int32_t nDone = 0, nFaulted = 0; nDone < m_nFaces;)
        {
            const int32_t nFilled = nReached.load(std::memory_order_acquire);
            if (nFilled == READ_STOPPED)
                return;
            nFaulted = PrefaultRecordsAhead(nFaulted, nFilled);
            if (nFilled == nDone)
            {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if (!m_pWelder->Number(3 * nDone, 3 * nFilled))
            {
                m_bWeldFailed = true;
                return;
            }
            nDone = nFilled;
            // The pages numbered are handed on to where the reader cannot be writing yet: it waits
            // for the numbering once it is MOST_FACES_BEHIND ahead, and fills a step at a time.
            nMovedTo = m_pWelder->MoveBehindTo(
                std::max(nMovedTo, RecordsAt(nDone + MOST_FACES_BEHIND + 2 * MOST_TRIANGLES_A_STEP)),
                RecordsAt(m_nFaces));
            m_pWelder->ReleaseBehind();
            m_nNumberedFaces.store(nDone, std::memory_order_release);
        }
    }
    catch (const std::bad_alloc&)
    {
        m_bWeldFailed = true;
    }
}

void CMesh::CompleteSoup(int32_t nFirst, int32_t nEnd, CVector3& vMin, CVector3& vMax)
{
    // A welder writes every vertex's normal, whether it smooths them or not.
    CompleteTriangles(nFirst, nEnd, vMin, vMax, !m_pWelder);
    if (m_pWelder && !m_bWeldInline)
    {
        // The numbering writes each vertex's slot: this thread, which waits for it anyway, faults
        // them in, up to the end of the huge page of the last.
        const uintptr_t nSlotsEnd =
            HugePageUp(reinterpret_cast<uintptr_t>(m_ppVertices + 3 * static_cast<size_t>(nEnd)));
        if (nSlotsEnd > m_nSlotsFaulted)
        {
            const uintptr_t nFrom = std::max(m_nSlotsFaulted, reinterpret_cast<uintptr_t>(m_ppVertices));
            const uintptr_t nTo =
                std::min(nSlotsEnd, reinterpret_cast<uintptr_t>(m_ppVertices + m_nVertices));
            PrefaultForWrite(reinterpret_cast<const void*>(nFrom), nTo - nFrom);
            m_nSlotsFaulted = nSlotsEnd;
        }
        // The records the numbering has not reached stay in memory: past a limit the read waits
        // for it, which costs nothing, as the normals wait for the numbering anyway.
        while (nFirst - m_nNumberedFaces.load(std::memory_order_acquire) > MOST_FACES_BEHIND)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        return;
    }
    if (!m_pWelder)
        return;
    bool bNumbered = false;
    try
    {
        bNumbered = m_pWelder->Number(3 * nFirst, 3 * nEnd);
    }
    catch (const std::bad_alloc&)
    {
    }
    if (!bNumbered)
    {
        // The rest is read as behind a numbering that has ended: nothing to wait for.
        m_bWeldFailed = true;
        m_bWeldInline = false;
        m_nNumberedFaces.store(NUMBERING_ENDED, std::memory_order_release);
    }
}

void CMesh::FinishSoup(const CVector3& vMin, const CVector3& vMax)
{
    FinishTriangleSoup(vMin, vMax);
    if (!m_pWelder)
        return;
    // The face arrays take the pages that the smoothing frees, instead of fresh ones.
    CPageSink sink;
    std::unique_ptr<int32_t*[]> pFaces = ReserveFaceArrays(&sink);
    if (!m_bWeldFailed)
    {
        try
        {
            m_nRecords = m_pWelder->WriteNormals(&sink);
            m_bWeldedNormals = true;
        }
        catch (const std::bad_alloc&)
        {
        }
    }
    if (!m_bWeldedNormals)
        m_pWelder->UnshareAll();
    m_pWelder.reset();
    AddSoupFaceArrays(std::move(pFaces));
}

void CMesh::AdoptPolygons(SMeshParts& data)
{
    m_bFilled = true;
    FreeGeometry();
    m_bHasNormals = data.bNormals;
    m_bHasColors = data.bColors;
    m_bHasTexCoords = data.bTexCoords;
    m_nRecordSize = data.nRecordSize;
    m_nVertices = m_nRecords = data.nVertices;
    m_nFaces = data.nFaces;
    m_nEdges = static_cast<int32_t>(data.nEdges);

    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    const size_t nVertices = static_cast<size_t>(m_nVertices), nFaces = static_cast<size_t>(m_nFaces);
    m_pVertexPool = std::move(data.pRecords);
    m_ppVertices = NewHugeArray<double*>(nVertices);
    m_ppFaceNormals = NewHugeArray<double*>(nFaces);
    m_pNormalPool.reset(NewHugeArray<double>(nFaces * 3));
    // Last, as its pointers are freed with the mesh: nothing fails before they are filled.
    m_ppFaces = NewHugeArray<int32_t*>(nFaces);
    // Filled in this order, and whole (the face normals in ComputeNormals).
    const CPrefaulter prefault({{m_ppVertices, nVertices * sizeof(double*)},
                                {m_ppFaces, nFaces * sizeof(int32_t*)},
                                {m_ppFaceNormals, nFaces * sizeof(double*)},
                                {m_pNormalPool.get(), nFaces * 3 * sizeof(double)}});
    for (int32_t i = 0; i < m_nVertices; ++i)
        m_ppVertices[i] = m_pVertexPool.get() + static_cast<size_t>(i) * nRecord;

    m_indexPool = std::move(data.indices);
    m_pFaceSizes = data.pFaceSizes.release();
    size_t nOffset = 0;
    for (int32_t f = 0; f < m_nFaces; ++f)
    {
        m_ppFaces[f] = m_indexPool.data() + nOffset;
        nOffset += static_cast<size_t>(m_pFaceSizes[f]);
    }

    ComputeBounds();
    std::fill_n(m_ppFaceNormals, m_nFaces, nullptr);
    m_bWeldedNormals = data.bSmoothSoup && !m_bHasNormals && SharesNoVertex();
    ComputeNormals();
}

void CMesh::KeepDisplaySettingsOf(const CMesh& kept)
{
    if (IsPointCloud() == kept.IsPointCloud())
    {
        m_nRenderMode = kept.m_nRenderMode;
        m_bLighting = kept.m_bLighting;
    }
    m_nShading = kept.m_nShading;
    m_bCulling = kept.m_bCulling;
    // A texture is mapped by coordinates the records must hold.
    m_bTextureOn = kept.m_bTextureOn && m_bHasTexCoords;
    std::copy(std::begin(kept.m_fFillColor), std::end(kept.m_fFillColor), m_fFillColor);
}

void CMesh::TakeReloadedGeometry(CMesh& source)
{
    source.KeepDisplaySettingsOf(*this);
    const int32_t nRenderMode = source.m_nRenderMode;
    const bool bLighting = source.m_bLighting, bTextureOn = source.m_bTextureOn;
    const CVector3 vPosition = m_vPosition;
    TakeLoadedGeometry(source);
    m_vPosition = vPosition;
    m_nRenderMode = nRenderMode;
    m_bLighting = bLighting;
    m_bTextureOn = bTextureOn;
}
