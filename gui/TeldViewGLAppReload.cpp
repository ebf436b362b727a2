// File > Reload and Reload on Change: the files the scene's meshes were read from, read again on
// the worker thread as an open reads them, into the objects that show them.
#include <QApplication>
#include <QFileInfo>
#include <QString>

#include <map>
#include <optional>

#include "formats/ModelFormats.h"
#include "gui/FileChangeWatch.h"
#include "gui/MainFrame.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/FileName.h"

namespace
{
// A changed file is read again once it has stayed as it is this long: a program that writes it in
// pieces has most likely finished by then.
constexpr int SETTLE_MS = 300;

// The meshes of the scene that were read from a file, in scene order.
std::vector<CMesh*> MeshesFromFiles(const CTeldViewGLDoc& doc)
{
    std::vector<CMesh*> meshes;
    for (CSceneObject* pObject = doc.m_pCamera->m_pNext; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            if (auto* pMesh = static_cast<CMesh*>(pObject); pMesh->m_bLoaded && !pMesh->m_strPath.empty())
                meshes.push_back(pMesh);
    return meshes;
}

// The file a mesh comes from: the document's own, once Save As has given it another, for the one
// mesh outside scene mode.
const std::string& FileOf(const CTeldViewGLDoc& doc, const CMesh& mesh)
{
    const bool bDocumentMesh = !doc.m_bScene && doc.m_pCamera->m_pNext == &mesh;
    return bDocumentMesh && !doc.GetPathName().empty() ? doc.GetPathName() : mesh.m_strPath;
}

// One read of a reload: a file and the objects that show what it holds.
struct SReloadRead
{
    std::string strPath;
    const SModelFormat* pFormat;
    std::vector<CMesh*> targets;
};

// The reads that bring the meshes' files back: one for each mesh, but one for all the objects of a
// file of several. False, with why in strProblem, for a file that cannot be opened or that no
// format reads.
bool PlanReads(const CTeldViewGLDoc& doc, const std::vector<CMesh*>& meshes, std::vector<SReloadRead>& reads,
               std::string& strProblem)
{
    std::map<std::string, const SModelFormat*> formats;
    std::map<std::string, size_t> setReads;
    for (CMesh* pMesh : meshes)
    {
        const std::string& strPath = FileOf(doc, *pMesh);
        auto itFormat = formats.find(strPath);
        if (itFormat == formats.end())
        {
            // Judged before anything is read, as an open judges it: no read may wait for a writer.
            bool bReadable = false;
            const SModelFormat* pFormat =
                CDocument::OpenProblem(strPath).empty() ? FindModelFormatOfFile(strPath, bReadable) : nullptr;
            if (pFormat == nullptr || pFormat->fnRead == nullptr)
            {
                strProblem = CDocument::ReadFailedMessage(strPath);
                return false;
            }
            itFormat = formats.emplace(strPath, pFormat).first;
        }
        if (itFormat->second->fnReadSet == nullptr)
        {
            reads.push_back({strPath, itFormat->second, {pMesh}});
            continue;
        }
        const auto [itRead, bNew] = setReads.emplace(strPath, reads.size());
        if (bNew)
            reads.push_back({strPath, itFormat->second, {}});
        reads[itRead->second].targets.push_back(pMesh);
    }
    return true;
}

// Reads the file on the worker thread as an open does, prepared for the settings of the objects it
// goes into; its meshes join taken, and their objects targets, in the same order. False, with why
// in strProblem, when the file does not read or holds another number of objects now.
bool ReadAgain(CTeldViewGLView& view, const SReloadRead& plan, std::vector<CMesh*>& targets,
               std::vector<std::unique_ptr<CMesh>>& taken, std::string& strProblem)
{
    CMeshPreloader read(plan.strPath, *plan.pFormat);
    const size_t nBefore = taken.size();
    const auto adopt = [&](std::unique_ptr<CMesh>& pMesh, std::vector<std::unique_ptr<CMesh>>& others)
    {
        if (!pMesh)
            return false;
        taken.push_back(std::move(pMesh));
        for (std::unique_ptr<CMesh>& pOther : others)
            if (pOther)
                taken.push_back(std::move(pOther));
        return true;
    };
    view.LoadInBackground(read, adopt,
                          [&](size_t i) -> const CMesh*
                          { return i < plan.targets.size() ? plan.targets[i] : nullptr; });
    const size_t nRead = taken.size() - nBefore;
    if (nRead == 0)
    {
        strProblem = CDocument::ReadFailedMessage(plan.strPath) +
                     CTeldViewGLDoc::DetailLine(plan.strPath, read.Error());
        return false;
    }
    if (nRead != plan.targets.size())
    {
        strProblem = "Unable to reload " + FileNameOfPath(plan.strPath) + ": it holds " +
                     std::to_string(nRead) + " objects now, " + std::to_string(plan.targets.size()) +
                     " before. Open it again.";
        return false;
    }
    targets.insert(targets.end(), plan.targets.begin(), plan.targets.end());
    return true;
}
} // namespace

void CTeldViewGLApp::RegisterReloadCommands()
{
    OnCommand(ID_FILE_RELOAD, [this] { OnFileReload(); });
    OnUpdateCommand(ID_FILE_RELOAD, [this](CCmdUI& ui) { OnUpdateFileReload(ui); });
    OnCommand(ID_FILE_RELOAD_ON_CHANGE, [this] { OnFileReloadOnChange(); });
    OnUpdateCommand(ID_FILE_RELOAD_ON_CHANGE, [this](CCmdUI& ui) { OnUpdateFileReloadOnChange(ui); });
}

void CTeldViewGLApp::ConnectReload()
{
    m_pWatch = std::make_unique<CFileChangeWatch>(SETTLE_MS, [this](const std::string& strPath)
                                                  { OnFileSettled(strPath); });
    QObject::connect(m_pView, &CTeldViewGLView::SceneContentChanged, m_pFrame.get(),
                     [this] { WatchOpenedFiles(); });
    // A save writes the document's file, which the watch must not take for a change from outside.
    m_pDocument->m_fnFileWritten = [this](const std::string& strPath)
    {
        WatchOpenedFiles();
        m_pWatch->MarkRead(strPath);
    };
}

void CTeldViewGLApp::OnFileReload()
{
    ReloadFiles(std::string(), false);
}

void CTeldViewGLApp::OnUpdateFileReload(CCmdUI& ui)
{
    ui.Enable(!MeshesFromFiles(*m_pDocument).empty());
}

void CTeldViewGLApp::OnFileReloadOnChange()
{
    m_bReloadOnChange = !m_bReloadOnChange;
    WatchOpenedFiles();
    SaveSettingsInBackground();
}

void CTeldViewGLApp::OnUpdateFileReloadOnChange(CCmdUI& ui)
{
    ui.Enable();
    ui.SetCheck(m_bReloadOnChange);
}

void CTeldViewGLApp::WatchOpenedFiles()
{
    std::vector<std::string> paths;
    if (m_bReloadOnChange)
        for (const CMesh* pMesh : MeshesFromFiles(*m_pDocument))
            paths.push_back(FileOf(*m_pDocument, *pMesh));
    m_pWatch->SetPaths(paths);
}

void CTeldViewGLApp::OnFileSettled(const std::string& strPath)
{
    // A load or a dialog holds the document as it is: the reload waits for it.
    if (m_pView->IsLoading() || QApplication::activeModalWidget() != nullptr)
        m_pWatch->Postpone(strPath);
    else if (m_router.Update(ID_FILE_RELOAD).m_bEnabled)
        ReloadFiles(strPath, true);
}

bool CTeldViewGLApp::ReloadFiles(const std::string& strOnly, bool bAutomatic)
{
    std::vector<CMesh*> meshes = MeshesFromFiles(*m_pDocument);
    if (!strOnly.empty())
    {
        // The watch names a file once, however many ways the objects name it.
        const QString strWanted = QFileInfo(QString::fromStdString(strOnly)).absoluteFilePath();
        std::erase_if(meshes,
                      [&](const CMesh* pMesh)
                      {
                          const std::string& strFile = FileOf(*m_pDocument, *pMesh);
                          return strFile != strOnly &&
                                 QFileInfo(QString::fromStdString(strFile)).absoluteFilePath() != strWanted;
                      });
    }
    if (meshes.empty())
        return false;
    // What is read from here on is what the program has; a change after it is a change again.
    for (const CMesh* pMesh : meshes)
        m_pWatch->MarkRead(FileOf(*m_pDocument, *pMesh));
    m_pFrame->SetBusyMessage(QString());
    std::vector<SReloadRead> reads;
    std::vector<CMesh*> targets;
    std::vector<std::unique_ptr<CMesh>> taken;
    std::string strProblem;
    {
        // An automatic reload leaves the cursor alone: the user did not ask for it.
        std::optional<CWaitCursor> wait;
        if (!bAutomatic)
            wait.emplace(*m_pUi);
        if (PlanReads(*m_pDocument, meshes, reads, strProblem))
            for (const SReloadRead& read : reads)
                if (!ReadAgain(*m_pView, read, targets, taken, strProblem))
                    break;
    }
    bool bReloaded = false;
    {
        // Every file read, or none is taken; what was read goes with the context current.
        CGLContextGuard guard(*m_pView);
        bReloaded = strProblem.empty() && m_pDocument->ReloadMeshes(targets, taken);
        taken.clear();
    }
    if (!bReloaded)
    {
        if (strProblem.empty())
            strProblem = "Unable to reload the scene's files.";
        // No message box pops up for a change the user did not ask to read: the status bar says
        // why, until the next load.
        if (bAutomatic)
            m_pFrame->SetBusyMessage(
                QStringLiteral("Not reloaded: ") +
                QString::fromStdString(strProblem).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        else
            m_pUi->MessageBox(strProblem, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_pView->OnSceneReloaded();
    // The document's mesh now names the document's file, which may be another after Save As.
    WatchOpenedFiles();
    m_pFrame->OnIdleUpdate();
    return true;
}
