#include "model/TeldViewGLDoc.h"

#include <cfloat>
#include <memory>

#include "formats/NumberFormat.h"
#include "formats/off/OffWriter.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/SceneGraphics.h"
#include "platform/ArchiveException.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"

CTeldViewGLDoc::CTeldViewGLDoc()
{
    m_pCamera = new CCamera;
    m_pObjectList = m_pCamera;
    m_pCurrentObject = m_pCamera;
    m_pLastObject = m_pCamera;
    ResetSceneBounds();
}

CTeldViewGLDoc::~CTeldViewGLDoc()
{
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr;)
    {
        CSceneObject* pNext = pObject->m_pNext;
        delete pObject;
        pObject = pNext;
    }
}

void CTeldViewGLDoc::ResetSceneBounds()
{
    for (int i = 0; i < 6; i += 2)
    {
        m_dSceneBounds[i] = DBL_MAX;
        m_dSceneBounds[i + 1] = -DBL_MAX;
    }
}

void CTeldViewGLDoc::WidenSceneBounds(const CSceneObject& object)
{
    const double pMin[3] = {object.m_vBoundsMin.x, object.m_vBoundsMin.y, object.m_vBoundsMin.z};
    const double pMax[3] = {object.m_vBoundsMax.x, object.m_vBoundsMax.y, object.m_vBoundsMax.z};
    for (int a = 0; a < 3; ++a)
    {
        if (pMin[a] < m_dSceneBounds[2 * a])
            m_dSceneBounds[2 * a] = pMin[a];
        if (pMax[a] > m_dSceneBounds[2 * a + 1])
            m_dSceneBounds[2 * a + 1] = pMax[a];
    }
}

void CTeldViewGLDoc::LinkMesh(CMesh* pMesh, bool bAppend)
{
    CSceneObject* pPrev = bAppend ? m_pLastObject : m_pCamera;
    pPrev->m_pNext = pMesh;
    pMesh->m_pPrev = pPrev;
    // A mesh reused in replace mode keeps whatever follows it.
    if (pMesh->m_pNext == nullptr)
        m_pLastObject = pMesh;
    m_pCurrentObject = pMesh;
}

void CTeldViewGLDoc::Serialize(CArchive& ar)
{
    if (!ar.IsLoading())
        return;
    ar.Flush();
    LoadMeshFile(ar.GetFilePath(), m_bScene);
}

bool CTeldViewGLDoc::LoadMeshFile(const std::string& strPath, bool bAppend)
{
    // Read into a mesh of its own first, so that a file that cannot be read leaves the scene as
    // it was (replace mode's mesh included).
    std::unique_ptr<CMesh> pMesh = std::make_unique<CMesh>();
    CArchiveException failure(CArchiveException::badSchema);
    if (!pMesh->ReadOFF(strPath, nullptr, &failure.m_strDetail) || !AdoptMesh(pMesh.get(), bAppend))
        throw failure;
    pMesh.release(); // the document's now
    return true;
}

void CTeldViewGLDoc::LinkLoadedMesh(CMesh* pMesh, bool bAppend)
{
    m_bHasMesh = true;
    if (!bAppend)
        ResetSceneBounds();
    WidenSceneBounds(*pMesh);
    pMesh->SetFillColor(static_cast<int32_t>(m_crMeshFill));
    if (m_pGraphics != nullptr)
        m_pGraphics->MeshEntered(*pMesh);
    LinkMesh(pMesh, bAppend);
}

bool CTeldViewGLDoc::IsUnlinkedLoadedMesh(const CMesh* pMesh)
{
    return pMesh != nullptr && pMesh->m_bLoaded && pMesh->m_pPrev == nullptr && pMesh->m_pNext == nullptr;
}

CMesh* CTeldViewGLDoc::TakeIntoScene(CMesh* pRead, bool bAppend)
{
    if (bAppend || m_pCamera->m_pNext == nullptr)
        return pRead;
    CMesh* pReused = static_cast<CMesh*>(m_pCamera->m_pNext);
    // Points were the cloud's own way of showing, not the user's choice: the next mesh starts in
    // the mode it was read with.
    const bool bWasCloud = pReused->IsPointCloud();
    pReused->Reset();
    if (bWasCloud)
        pReused->m_nRenderMode = pRead->m_nRenderMode;
    pReused->TakeLoadedGeometry(*pRead);
    delete pRead;
    return pReused;
}

bool CTeldViewGLDoc::AdoptMesh(CMesh* pMesh, bool bAppend)
{
    if (!IsUnlinkedLoadedMesh(pMesh))
        return false;
    LinkLoadedMesh(TakeIntoScene(pMesh, bAppend), bAppend);
    return true;
}

bool CTeldViewGLDoc::OnOpenDocumentWithMesh(const std::string& strPath, CMesh* pMesh,
                                            const std::string& strDetail)
{
    if (pMesh == nullptr)
    {
        // The message of a failed OnOpenDocument; the document stays as it was.
        Ui().MessageBox(ReadFailedMessage(strPath) + DetailLine(strPath, strDetail), MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!IsUnlinkedLoadedMesh(pMesh))
        return false;
    // The steps of OnOpenDocument, with the read already done.
    DeleteContents();
    AdoptMesh(pMesh, m_bScene);
    SetPathName(strPath);
    SetModifiedFlag(false);
    return true;
}

bool CTeldViewGLDoc::OnOpenImportedMesh(const std::string& strPath, CMesh* pMesh)
{
    if (pMesh == nullptr)
        return OnOpenDocumentWithMesh(strPath, nullptr);
    if (!AdoptImportedMesh(pMesh))
        return false;
    if (m_fnAddToRecentFileList)
        m_fnAddToRecentFileList(strPath);
    return true;
}

bool CTeldViewGLDoc::OnOpenMeshSet(const std::string& strPath, CMesh* pFirst,
                                   std::vector<std::unique_ptr<CMesh>>& others)
{
    if (pFirst == nullptr || others.empty())
        return OnOpenImportedMesh(strPath, pFirst);
    if (!IsUnlinkedLoadedMesh(pFirst))
        return false;
    const bool bJoin = m_bScene;
    if (!bJoin)
    {
        m_bScene = true;
        ClearScene();
    }
    AdoptImportedMesh(pFirst);
    for (std::unique_ptr<CMesh>& pMesh : others)
        if (pMesh && AdoptImportedMesh(pMesh.get()))
            pMesh.release(); // the document's now
    // Save cannot write a scene: the document has no file of its own, and the title names it.
    if (!bJoin)
        SetUntitled(FileNameOfPath(strPath));
    if (m_fnAddToRecentFileList)
        m_fnAddToRecentFileList(strPath);
    return true;
}

std::string CTeldViewGLDoc::DetailLine(const std::string& strPath, const std::string& strDetail)
{
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "\n" + string.
    std::string strLine;
    if (!strDetail.empty())
        strLine.append("\n").append(FileNameOfPath(strPath)).append(": ").append(strDetail);
    return strLine;
}

CMesh* CTeldViewGLDoc::PrepareImportMesh(bool bAppend)
{
    CMesh* pMesh = nullptr;
    if (!bAppend && m_pCamera->m_pNext != nullptr)
    {
        pMesh = static_cast<CMesh*>(m_pCamera->m_pNext);
        pMesh->Reset();
    }
    else
        pMesh = new CMesh;
    pMesh->SetFillColor(static_cast<int32_t>(m_crMeshFill));
    LinkMesh(pMesh, bAppend);
    return pMesh;
}

void CTeldViewGLDoc::ClearScene()
{
    for (CSceneObject* pObject = m_pCamera->m_pNext; pObject != nullptr;)
    {
        CSceneObject* pNext = pObject->m_pNext;
        delete pObject;
        pObject = pNext;
    }
    m_pCamera->m_pNext = nullptr;
    m_pCurrentObject = m_pCamera;
    m_pLastObject = m_pCamera;
    ResetSceneBounds();
}

void CTeldViewGLDoc::UpdateSceneBounds()
{
    ResetSceneBounds();
    for (CSceneObject* pObject = m_pCamera->m_pNext; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            WidenSceneBounds(*pObject);
}

void CTeldViewGLDoc::ReleaseGraphics()
{
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            static_cast<CMesh*>(pObject)->ReleaseGraphics();
}

bool CTeldViewGLDoc::OnSaveDocument(const std::string& strPath)
{
    if (m_bScene)
    {
        Ui().MessageBox("To save a scene, Export it as an OFF file.", MB_OK);
        return true;
    }
    if (m_pCurrentObject == nullptr || m_pCurrentObject->GetType() != OBJECT_MESH)
    {
        Ui().MessageBox("No object selected to save.", MB_OK);
        return true;
    }
    const CMesh* pMesh = static_cast<const CMesh*>(m_pCurrentObject);
    if (!pMesh->m_bLoaded)
        return false;

    CWaitCursor wait(Ui());
    CSafeFileWriter file(strPath);
    // A write error (a full disk, say) is a failed save, and the old file stays as it was. A file
    // that cannot be created says so too, so that no failed save passes unnoticed.
    if (!file.IsOpen() || !WriteOFF(file.Stream(), pMesh->View()) || !file.Commit())
    {
        std::string strProblem;
        WriteFailed(file, strPath, &strProblem);
        Ui().MessageBox("Error trying to save file\n" + strProblem, MB_OK);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CTeldViewGLDoc::WriteFailed(const CSafeFileWriter& file, const std::string& strPath,
                                 std::string* pstrProblem)
{
    if (pstrProblem != nullptr)
        *pstrProblem = strPath + ": " + file.ErrorText();
    return false;
}

bool CTeldViewGLDoc::AdoptImportedMesh(CMesh* pMesh)
{
    if (!IsUnlinkedLoadedMesh(pMesh))
        return false;
    // Replace mode reuses its one mesh, scene mode appends, as PrepareImportMesh sets them up.
    CMesh* pTarget = TakeIntoScene(pMesh, m_bScene);
    pTarget->SetFillColor(static_cast<int32_t>(m_crMeshFill));
    LinkMesh(pTarget, m_bScene);
    m_bHasMesh = true;
    UpdateSceneBounds();
    if (m_pGraphics != nullptr)
        m_pGraphics->MeshEntered(*pTarget);
    // The mesh shown is no longer the document's file: Save must ask for a name rather than
    // write an OFF file over the one opened before.
    if (!m_bScene)
        SetUntitled(pTarget->m_strName);
    return true;
}
