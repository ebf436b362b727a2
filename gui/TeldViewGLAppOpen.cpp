// Opening files: File > Open, the recent files, the command line's files and files dropped onto
// the window, all told apart by content; and the settings: the recent-file list and Reload on
// Change.
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <system_error>

#include "formats/ModelFormats.h"
#include "gui/MainFrame.h"
#include "gui/Resources.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/FileName.h"

namespace
{
const char* const SETTINGS_ORGANIZATION = "Local AppWizard-Generated Applications";
const char* const SETTINGS_APPLICATION = "TeldViewGL";
const char* const RECENT_FILE_GROUP = "Recent File List";
const char* const SETTINGS_GROUP = "Settings";
const char* const RELOAD_ON_CHANGE_KEY = "ReloadOnChange";

bool IsScene(const SModelFormat* pFormat)
{
    return pFormat != nullptr && pFormat->bScene;
}
} // namespace

void CTeldViewGLApp::RegisterOpenCommands()
{
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE5, [this](int nID) { OnOpenRecentFile(nID); });
    OnUpdateCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE5,
                         [this](CCmdUI& ui) { OnUpdateRecentFile(ui); });
}

void CTeldViewGLApp::SetCommandLinePreload(std::unique_ptr<CMeshPreloader> pPreload)
{
    m_pPreload = std::move(pPreload);
}

std::unique_ptr<CMeshPreloader> CTeldViewGLApp::PreloadCommandLineFile(int argc, char** argv, int nFirst)
{
    for (int i = nFirst; i < argc; ++i)
    {
        const std::string strArgument = argv[i] != nullptr ? argv[i] : "";
        if (strArgument.empty())
            continue;
        // Qt's own options (-style fusion, -display :1) are still in argv here; after one of
        // them the guess could be a value, so none is made. Only a regular file is judged:
        // opening a pipe would wait for a writer, and the open refuses it anyway.
        bool bReadable = false;
        const SModelFormat* pFormat =
            strArgument[0] == '-' ? nullptr : FindModelFormatOfFile(strArgument, bReadable);
        if (pFormat == nullptr || pFormat->fnRead == nullptr)
            return nullptr;
        return std::make_unique<CMeshPreloader>(strArgument, *pFormat);
    }
    return nullptr;
}

std::unique_ptr<CMeshPreloader> CTeldViewGLApp::TakePreload(const std::string& strPath,
                                                            const SModelFormat& format)
{
    std::unique_ptr<CMeshPreloader> pPreload = std::move(m_pPreload);
    if (!pPreload || pPreload->Path() != strPath || pPreload->Format() != &format)
        return nullptr;
    if (m_pObserver != nullptr)
        m_pObserver->PreloadTaken();
    return pPreload;
}

bool CTeldViewGLApp::OpenDocumentFiles(const std::vector<std::string>& paths)
{
    // Loading a scene file replaces what was loaded before it: refused before anything changes.
    for (size_t i = 1; i < paths.size(); ++i)
        if (bool bReadable = false; IsScene(FindModelFormatOfFile(paths[i], bReadable)))
        {
            m_pUi->MessageBox("A scene file must be the first input: " + FileNameOfPath(paths[i]),
                              MB_OK | MB_ICONWARNING);
            return false;
        }
    for (size_t i = 0; i < paths.size(); ++i)
    {
        // From the second file on, every file joins the scene (a scene file is one already).
        if (i == 1 && !m_pDocument->m_bScene)
            m_router.Execute(ID_FILE_MAKE_SCENE);
        if (!OpenDocumentFile(paths[i]))
            return false;
    }
    return true;
}

bool CTeldViewGLApp::OpenDocumentFile(const std::string& strPath)
{
    // As the framework's open: a file that cannot be opened (a folder, a pipe, a device) is
    // named with the reason before anything is read, so no read can wait forever for a writer.
    if (!m_pDocument->CanOpenFile(strPath))
        return ShowOpened(false);
    bool bReadable = false;
    const SModelFormat* pFormat = FindModelFormatOfFile(strPath, bReadable);
    if (IsScene(pFormat))
        return OpenScene(strPath);
    if (pFormat == nullptr || pFormat->fnRead == nullptr)
    {
        // Nothing the program reads: said at once, with no reader's detail.
        m_pUi->MessageBox(CDocument::ReadFailedMessage(strPath), MB_OK | MB_ICONWARNING);
        return ShowOpened(false);
    }
    return OpenMesh(strPath, *pFormat);
}

bool CTeldViewGLApp::OpenMesh(const std::string& strPath, const SModelFormat& format)
{
    std::unique_ptr<CMeshPreloader> pRead = TakePreload(strPath, format);
    if (!pRead)
        pRead = std::make_unique<CMeshPreloader>(strPath, format);
    // The display list goes into the view's context, which LoadInBackground makes current.
    std::optional<CWaitCursor> wait(std::in_place, *m_pUi);
    const bool bOpened = m_pView->LoadInBackground(
        *pRead,
        [&](std::unique_ptr<CMesh>& pMesh, std::vector<std::unique_ptr<CMesh>>& others)
        {
            // A file of several objects opens as a scene of them.
            const bool bTaken =
                pMesh && (format.bDocumentFile ? m_pDocument->OnOpenDocumentWithMesh(strPath, pMesh.get())
                                               : m_pDocument->OnOpenMeshSet(strPath, pMesh.get(), others));
            if (bTaken)
                pMesh.release(); // the document's now
            return bTaken;
        });
    if (m_pObserver != nullptr)
        m_pObserver->ReadEnded(*pRead);
    wait.reset();
    // The message of a failed open, once the wait cursor is gone; the document is as it was.
    if (!bOpened)
        m_pDocument->OnOpenDocumentWithMesh(strPath, nullptr, pRead->Error());
    return ShowOpened(bOpened);
}

bool CTeldViewGLApp::OpenScene(const std::string& strPath)
{
    const bool bLoaded = m_pView->ReadScene(strPath);
    // Save cannot write a scene, so the document has no file of its own; the title names it.
    if (bLoaded)
        m_pDocument->SetUntitled(FileNameOfPath(strPath));
    return ShowOpened(bLoaded);
}

bool CTeldViewGLApp::ShowOpened(bool bOpened)
{
    if (m_pObserver != nullptr)
        m_pObserver->Opened();
    if (!bOpened)
    {
        // A failed read leaves the document as it was, but a scene file that failed half way
        // keeps its first meshes: draw what there is.
        m_pView->OnSceneChanged();
        return false;
    }
    m_pView->OnUpdate();
    if (m_pFrame)
        m_pFrame->OnIdleUpdate();
    return true;
}

void CTeldViewGLApp::OnFileOpen()
{
    std::string strPath;
    if (!m_pUi->RunFileDialog(SFileDialogRequest::Open(std::string(), std::string(), OpenDialogFilter()),
                              strPath) ||
        strPath.empty())
        return;
    OpenDocumentFile(strPath);
}

void CTeldViewGLApp::OnOpenRecentFile(int nID)
{
    const size_t nIndex = static_cast<size_t>(nID - ID_FILE_MRU_FILE1);
    if (nIndex >= m_recentFiles.size())
        return;
    const std::string strPath = m_recentFiles[nIndex];
    // A file that can no longer be opened leaves the list; one that opens but does not read
    // stays, as it may be mended.
    if (!OpenDocumentFile(strPath) && !CDocument::OpenProblem(strPath).empty())
    {
        const auto it = std::find(m_recentFiles.begin(), m_recentFiles.end(), strPath);
        if (it != m_recentFiles.end())
            m_recentFiles.erase(it);
        SaveSettingsInBackground();
    }
}

void CTeldViewGLApp::OnUpdateRecentFile(CCmdUI& ui)
{
    ui.Enable(static_cast<size_t>(ui.m_nID - ID_FILE_MRU_FILE1) < m_recentFiles.size());
}

void CTeldViewGLApp::OnFilesDropped(const QStringList& files)
{
    std::vector<std::string> paths;
    for (const QString& strFile : files)
        paths.push_back(strFile.toStdString());
    // The program that dragged the files waits until the drop is over, so they open afterwards,
    // as File > Open would open them then (not while a file loads).
    QTimer::singleShot(0, m_pFrame.get(),
                       [this, paths]
                       {
                           if (m_router.Update(ID_FILE_OPEN).m_bEnabled)
                               OpenDocumentFiles(paths);
                       });
}

void CTeldViewGLApp::AddToRecentFileList(const std::string& strPath)
{
    if (strPath.empty())
        return;
    // The list holds full paths, so that a file stays reachable from any working directory.
    const std::string strFull = QFileInfo(QString::fromStdString(strPath)).absoluteFilePath().toStdString();
    const auto it = std::find(m_recentFiles.begin(), m_recentFiles.end(), strFull);
    if (it != m_recentFiles.end())
        m_recentFiles.erase(it);
    m_recentFiles.insert(m_recentFiles.begin(), strFull);
    if (m_recentFiles.size() > RECENT_FILE_COUNT)
        m_recentFiles.resize(RECENT_FILE_COUNT);
    SaveSettingsInBackground();
}

void CTeldViewGLApp::LoadStdProfileSettings()
{
    m_recentFiles.clear();
    QSettings settings(QString::fromUtf8(SETTINGS_ORGANIZATION), QString::fromUtf8(SETTINGS_APPLICATION));
    settings.beginGroup(QString::fromUtf8(RECENT_FILE_GROUP));
    for (int i = 1; i <= RECENT_FILE_COUNT; ++i)
    {
        const QString strPath = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!strPath.isEmpty())
            m_recentFiles.push_back(strPath.toStdString());
    }
    settings.endGroup();
    settings.beginGroup(QString::fromUtf8(SETTINGS_GROUP));
    m_bReloadOnChange = settings.value(QString::fromUtf8(RELOAD_ON_CHANGE_KEY), true).toBool();
}

void CTeldViewGLApp::WriteSettings(const std::vector<std::string>& files, bool bReloadOnChange)
{
    QSettings settings(QString::fromUtf8(SETTINGS_ORGANIZATION), QString::fromUtf8(SETTINGS_APPLICATION));
    settings.beginGroup(QString::fromUtf8(RECENT_FILE_GROUP));
    for (int i = 1; i <= RECENT_FILE_COUNT; ++i)
    {
        const QString strKey = QStringLiteral("File%1").arg(i);
        if (static_cast<size_t>(i) <= files.size())
            settings.setValue(strKey, QString::fromStdString(files[i - 1]));
        else
            settings.remove(strKey);
    }
    settings.endGroup();
    settings.beginGroup(QString::fromUtf8(SETTINGS_GROUP));
    settings.setValue(QString::fromUtf8(RELOAD_ON_CHANGE_KEY), bReloadOnChange);
    settings.sync();
}

void CTeldViewGLApp::SaveStdProfileSettings()
{
    if (m_settingsWrite.valid())
        m_settingsWrite.wait();
    WriteSettings(m_recentFiles, m_bReloadOnChange);
}

void CTeldViewGLApp::SaveSettingsInBackground()
{
    // One write at a time, in order: the last list is the one that stays.
    if (m_settingsWrite.valid())
        m_settingsWrite.wait();
    try
    {
        m_settingsWrite = std::async(std::launch::async, WriteSettings, m_recentFiles, m_bReloadOnChange);
    }
    catch (const std::system_error&)
    {
        // No thread to be had: written here, as before.
        WriteSettings(m_recentFiles, m_bReloadOnChange);
    }
}
