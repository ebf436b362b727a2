// Scene commands: scene mode on and off, Load Scene, the STL imports and the scene exports, and
// what the view does after new content arrived, or the old files were read again.
#include "formats/ModelFormats.h"
#include "formats/stl/StlFormat.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/SceneObject.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"
#include "platform/CommandIds.h"
#include "platform/Document.h"
#include "platform/UiServices.h"

namespace
{
const char* const SCENE_FILTER = "Scene File (*.scn)|*.scn|All Files (*.*)|*.*||";
const char* const STL_FILTER = "STL File (*.stl)|*.stl|All Files (*.*)|*.*||";
const char* const OFF_FILTER = "OFF File (*.off)|*.off|All Files (*.*)|*.*||";
const char* const PLY_FILTER = "PLY File (*.ply)|*.ply|All Files (*.*)|*.*||";
const char* const OBJ_FILTER = "OBJ File (*.obj)|*.obj|All Files (*.*)|*.*||";
const char* const POINT_CLOUD_FILTER = "Point Cloud File (*.pts)|*.pts|All Files (*.*)|*.*||";

// The file dialog of each command that reads or writes a scene file.
struct SSceneFileCommand
{
    int nID;
    bool bOpen;
    const char* pszExt;
    const char* pszInitialName;
    const char* pszFilter;
};

constexpr SSceneFileCommand SCENE_FILE_COMMANDS[] = {
    {ID_FILE_LOAD_SCENE, true, "scn", "scene1", SCENE_FILTER},
    {ID_IMPORT_BINARY_STL, true, "stl", "scene1", STL_FILTER},
    {ID_IMPORT_ASCII_STL, true, "stl", "scene1", STL_FILTER},
    {ID_EXPORT_SCENE_OFF, false, "off", "scene0001", OFF_FILTER},
    {ID_EXPORT_BINARY_STL, false, "stl", "scene0001", STL_FILTER},
    {ID_EXPORT_ASCII_STL, false, "stl", "scene0001", STL_FILTER},
    {ID_EXPORT_POINT_CLOUD, false, "pts", "scene0001", POINT_CLOUD_FILTER},
    {ID_EXPORT_PLY, false, "ply", "scene0001", PLY_FILTER},
    {ID_EXPORT_OBJ, false, "obj", "scene0001", OBJ_FILTER},
};
} // namespace

void CTeldViewGLView::RegisterSceneCommands()
{
    OnCommand(ID_FILE_MAKE_SCENE, [this] { OnFileMakeScene(); });
    OnUpdateCommand(ID_FILE_MAKE_SCENE, [this](CCmdUI& ui) { OnUpdateFileMakeScene(ui); });
    OnCommand(ID_FILE_LOAD_SCENE, [this] { OnFileLoadScene(); });
    OnCommand(ID_FILE_CLEAR_SCENE, [this] { OnFileClearScene(); });
    OnUpdateCommand(ID_FILE_CLEAR_SCENE, [this](CCmdUI& ui) { OnUpdateSceneMode(ui); });
    OnCommand(ID_IMPORT_BINARY_STL, [this] { OnImportSTL(STL_BINARY); });
    OnCommand(ID_IMPORT_ASCII_STL, [this] { OnImportSTL(STL_ASCII); });
    OnCommand(ID_EXPORT_SCENE_OFF, [this] { OnExportScene(ID_EXPORT_SCENE_OFF); });
    OnUpdateCommand(ID_EXPORT_SCENE_OFF, [this](CCmdUI& ui) { OnUpdateSceneMode(ui); });
    OnCommand(ID_EXPORT_BINARY_STL, [this] { OnExportScene(ID_EXPORT_BINARY_STL); });
    OnCommand(ID_EXPORT_ASCII_STL, [this] { OnExportScene(ID_EXPORT_ASCII_STL); });
    OnCommand(ID_EXPORT_POINT_CLOUD, [this] { OnExportScene(ID_EXPORT_POINT_CLOUD); });
    OnCommand(ID_EXPORT_PLY, [this] { OnExportScene(ID_EXPORT_PLY); });
    OnCommand(ID_EXPORT_OBJ, [this] { OnExportScene(ID_EXPORT_OBJ); });
}

bool CTeldViewGLView::AskForSceneFile(int nID, std::string& strPath)
{
    for (const SSceneFileCommand& command : SCENE_FILE_COMMANDS)
    {
        if (command.nID != nID)
            continue;
        const SFileDialogRequest request =
            command.bOpen
                ? SFileDialogRequest::Open(command.pszExt, command.pszInitialName, command.pszFilter)
                : SFileDialogRequest::Save(command.pszExt, command.pszInitialName, command.pszFilter);
        return Ui().RunFileDialog(request, strPath) && !strPath.empty();
    }
    return false;
}

void CTeldViewGLView::OnFileMakeScene()
{
    // Nothing is redrawn: the scene holds what it held.
    m_pDocument->m_bScene = true;
    m_pDocument->SetModifiedFlag(false);
    m_pDocument->SetTitle("New Scene");
}

void CTeldViewGLView::OnUpdateFileMakeScene(CCmdUI& ui)
{
    ui.Enable(!m_pDocument->m_bScene && m_pDocument->m_bHasMesh);
}

void CTeldViewGLView::OnFileClearScene()
{
    {
        CGLContextGuard guard(*this);
        m_pDocument->ClearScene();
    }
    m_pDocument->m_bScene = false;
    m_pDocument->SetModifiedFlag(false);
    m_pDocument->SetTitle("Untitled");
    // The camera is current now; neither the pane nor the guide may show a mesh that is gone.
    HideKeyframeGuide();
    OnSceneChanged();
}

void CTeldViewGLView::OnUpdateSceneMode(CCmdUI& ui)
{
    ui.Enable(m_pDocument->m_bScene);
}

void CTeldViewGLView::OnFileLoadScene()
{
    std::string strPath;
    if (!AskForSceneFile(ID_FILE_LOAD_SCENE, strPath))
        return;
    if (ReadScene(strPath))
        OnSceneLoaded();
    else
        OnSceneChanged();
}

void CTeldViewGLView::OnImportSTL(int nMode)
{
    std::string strPath;
    if (!AskForSceneFile(nMode == STL_ASCII ? ID_IMPORT_ASCII_STL : ID_IMPORT_BINARY_STL, strPath))
        return;
    // A failed import leaves the document as it was, so the view stays as it was too.
    if (ReadSTL(strPath, nMode))
        OnSceneLoaded();
}

bool CTeldViewGLView::ReadScene(const std::string& strPath)
{
    bool bRead = false;
    std::string strProblem;
    {
        CGLContextGuard guard(*this);
        try
        {
            bRead = m_pDocument->ReadSceneFile(strPath, &strProblem);
        }
        catch (const CArchiveException&)
        {
            // A mesh that cannot be read ends the load; the meshes before it stay.
            bRead = false;
        }
    }
    // The product's message first; then which file could not be read, and why.
    if (!bRead)
        Ui().MessageBox("Error reading scene file." + (strProblem.empty() ? "" : "\n" + strProblem), MB_OK);
    return bRead;
}

bool CTeldViewGLView::ReadSTL(const std::string& strPath, int nMode, CMeshPreloader* pRead)
{
    CWaitCursor wait(Ui());
    std::unique_ptr<CMeshPreloader> pOwnRead;
    if (pRead == nullptr)
    {
        pOwnRead = std::make_unique<CMeshPreloader>(strPath, nMode);
        pRead = pOwnRead.get();
    }
    const bool bRead =
        LoadInBackground(*pRead,
                         [this](std::unique_ptr<CMesh>& pMesh, std::vector<std::unique_ptr<CMesh>>&)
                         {
                             if (!pMesh || !m_pDocument->AdoptImportedMesh(pMesh.get()))
                                 return false;
                             pMesh.release(); // the document's now
                             return true;
                         });
    if (!bRead)
        Ui().MessageBox(ReadFailureMessage("Error reading STL file.", strPath), MB_OK);
    return bRead;
}

std::string CTeldViewGLView::ReadFailureMessage(const std::string& strMessage, const std::string& strPath)
{
    if (CDocument::OpenProblem(strPath).empty())
        return strMessage;
    return strMessage + "\n" + CDocument::ReadFailedMessage(strPath);
}

void CTeldViewGLView::OnSceneLoaded()
{
    m_strSelectedName = m_pDocument->m_pCurrentObject->m_strName;
    ApplyMaterials();
    ResetView();
    HideKeyframeGuide();
    m_pDocument->EvaluateScene(0);
    RefreshCameraView();
    StartReductions();
    emit SceneContentChanged();
}

void CTeldViewGLView::OnSceneChanged()
{
    m_strSelectedName = m_pDocument->m_pCurrentObject->m_strName;
    StartReductions();
    update();
    emit SceneContentChanged();
}

void CTeldViewGLView::OnSceneReloaded()
{
    m_strSelectedName = m_pDocument->m_pCurrentObject->m_strName;
    // The guide's size follows the current object's.
    if (m_nDragMode == DRAG_GUIDE)
        RebuildGuideList();
    StartReductions();
    RefreshCameraView();
}

void CTeldViewGLView::OnExportScene(int nID)
{
    std::string strPath;
    if (!AskForSceneFile(nID, strPath))
        return;
    CWaitCursor wait(Ui());
    bool bWritten = false;
    std::string strProblem;
    switch (nID)
    {
    case ID_EXPORT_SCENE_OFF:
        bWritten = m_pDocument->ExportSceneOFF(strPath, &strProblem);
        break;
    case ID_EXPORT_BINARY_STL:
        bWritten = m_pDocument->ExportScene(strPath, EXPORT_BINARY_STL, &strProblem);
        break;
    case ID_EXPORT_ASCII_STL:
        bWritten = m_pDocument->ExportScene(strPath, EXPORT_ASCII_STL, &strProblem);
        break;
    case ID_EXPORT_PLY:
    case ID_EXPORT_OBJ:
        // The writer by the format, whatever extension the name was given.
        if (const SModelWriter* pWriter =
                WriterFor(nID == ID_EXPORT_PLY ? "scene.ply" : "scene.obj", nullptr))
            bWritten = m_pDocument->ExportScene(strPath, *pWriter, false, &strProblem);
        break;
    default:
        bWritten = m_pDocument->ExportScene(strPath, EXPORT_POINT_CLOUD, &strProblem);
        break;
    }
    // The product's message first; then why, on a line of its own.
    if (!bWritten)
        Ui().MessageBox("Error exporting scene to file." + (strProblem.empty() ? "" : "\n" + strProblem),
                        MB_OK);
}
