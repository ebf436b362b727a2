#include "app/TeldViewGLApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QSettings>
#include <QSurfaceFormat>
#include <QWindow>

#include <algorithm>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/QtUiServices.h"
#include "app/Resources.h"
#include "formats/FileKind.h"
#include "platform/ArchiveException.h"
#include "platform/CommandIds.h"
#include "platform/FileName.h"
#include "scene/TeldViewGLDoc.h"
#include "view/GLContextGuard.h"
#include "view/TeldViewGLView.h"

namespace
{
const char* const SETTINGS_ORGANIZATION = "Local AppWizard-Generated Applications";
const char* const SETTINGS_APPLICATION = "TeldViewGL";
const char* const RECENT_FILE_GROUP = "Recent File List";
} // namespace

void CTeldViewGLApp::PrepareQt()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    // Display lists, immediate mode and fixed-function lighting: the compatibility profile.
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setSamples(0);
    QSurfaceFormat::setDefaultFormat(format);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

CTeldViewGLApp::CTeldViewGLApp(CUiServices* pUi) : m_pUi(pUi)
{
    if (m_pUi == nullptr)
    {
        m_pQtUi = std::make_unique<CQtUiServices>();
        m_pUi = m_pQtUi.get();
    }
    RegisterCommands();
}

CTeldViewGLApp::~CTeldViewGLApp()
{
    m_router.RemoveTarget(this);
    if (m_pDocument)
        m_router.RemoveTarget(m_pDocument.get());
    if (m_pFrame)
    {
        m_router.RemoveTarget(m_pFrame.get());
        m_router.RemoveTarget(m_pView);
    }
    m_pFrame.reset();
    m_pView = nullptr;
}

void CTeldViewGLApp::RegisterCommands()
{
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE5, [this](int nID) { OnOpenRecentFile(nID); });
    OnUpdateCommandRange(
        ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE5,
        [this](CCmdUI& ui)
        { ui.Enable(static_cast<size_t>(ui.m_nID - ID_FILE_MRU_FILE1) < m_recentFiles.size()); });
    OnCommand(ID_APP_EXIT,
              [this]
              {
                  if (m_pFrame)
                      m_pFrame->close();
              });
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
}

bool CTeldViewGLApp::InitInstance(const QStringList& arguments)
{
    LoadStdProfileSettings();

    m_pDocument = std::make_unique<CTeldViewGLDoc>();
    m_pDocument->SetUiServices(m_pUi);
    m_pDocument->m_fnAddToRecentFileList = [this](const std::string& strPath)
    { AddToRecentFileList(strPath); };

    m_pFrame = std::make_unique<CMainFrame>(m_router);
    m_pView = new CTeldViewGLView(m_pDocument.get());
    m_pView->SetUiServices(m_pUi);
    m_pFrame->setCentralWidget(m_pView);
    m_pFrame->SetDocument(m_pDocument.get());
    m_pFrame->SetRecentFileSource([this] { return m_recentFiles; });
    if (!m_pFrame->OnCreate())
        return false;
    if (m_pQtUi)
        m_pQtUi->SetParentWindow(m_pFrame.get());

    m_router.AddTarget(m_pView);
    m_router.AddTarget(m_pDocument.get());
    m_router.AddTarget(m_pFrame.get());
    m_router.AddTarget(this);

    // Display lists can only be compiled once the view has its context, so the window comes up
    // before the command line's file is read.
    m_pFrame->show();
    WaitForContext();
    m_pView->ReportContextProblem();
    m_pView->setFocus();

    QString strFile;
    for (const QString& strArgument : arguments)
        if (!strArgument.isEmpty())
        {
            strFile = strArgument;
            break;
        }
    if (!strFile.isEmpty())
    {
        if (!OpenCommandLineFile(strFile.toStdString()))
            return false;
    }
    else
    {
        m_pDocument->OnNewDocument();
        m_pView->OnUpdate();
    }
    m_pFrame->OnIdleUpdate();
    return true;
}

void CTeldViewGLApp::WaitForContext()
{
    QElapsedTimer timer;
    timer.start();
    // The context comes with the first show; drawing reaches the screen once the window is
    // exposed, which the X server reports a little later.
    const auto ready = [this]
    {
        const QWindow* pWindow = m_pFrame->windowHandle();
        return m_pView->IsGLReady() && pWindow != nullptr && pWindow->isExposed();
    };
    while (!ready() && timer.elapsed() < 3000)
    {
        const QOpenGLContext* pContext = m_pView->context();
        if (pContext != nullptr && !pContext->isValid())
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

bool CTeldViewGLApp::OpenDocumentFile(const std::string& strPath)
{
    bool bOpened = false;
    {
        // Reading compiles the display lists, which go into the view's context.
        CGLContextGuard guard(*m_pView);
        bOpened = m_pDocument->OnOpenDocument(strPath);
    }
    if (!bOpened)
    {
        // The document keeps its list (a reused mesh is now empty): just draw what is left.
        m_pView->update();
        return false;
    }
    m_pView->OnUpdate();
    if (m_pFrame)
        m_pFrame->OnIdleUpdate();
    return true;
}

bool CTeldViewGLApp::OpenCommandLineFile(const std::string& strPath)
{
    const int nKind = InputKind(strPath);
    if (nKind == INPUT_OFF)
        return OpenDocumentFile(strPath);
    bool bLoaded = false;
    {
        CGLContextGuard guard(*m_pView);
        if (nKind == INPUT_STL)
        {
            CWaitCursor wait(*m_pUi);
            const int nMode = DetectSTLMode(strPath);
            bLoaded = nMode >= 0 && m_pDocument->ImportSTL(strPath, nMode);
            if (!bLoaded)
                m_pUi->MessageBox("Error reading STL file.");
        }
        else
        {
            try
            {
                bLoaded = m_pDocument->ReadSceneFile(strPath);
            }
            catch (const CArchiveException&)
            {
                bLoaded = false;
            }
            if (!bLoaded)
                m_pUi->MessageBox("Error reading scene file.");
        }
    }
    if (!bLoaded)
    {
        m_pView->update();
        return false;
    }
    // As after an import or Load Scene: the default view, then every object posed at time 0.
    m_pDocument->SetTitle(FileNameOfPath(strPath));
    m_pView->OnUpdate();
    {
        CGLContextGuard guard(*m_pView);
        m_pDocument->EvaluateScene(0);
    }
    m_pView->SetupView();
    m_pView->update();
    if (m_pFrame)
        m_pFrame->OnIdleUpdate();
    return true;
}

void CTeldViewGLApp::OnFileOpen()
{
    SFileDialogRequest request;
    request.bOpen = true;
    request.strTitle = "Open";
    request.strFilter = Resources::ALL_FILES_FILTER;
    request.bFileMustExist = true;
    std::string strPath;
    if (!m_pUi->RunFileDialog(request, strPath) || strPath.empty())
        return;
    OpenDocumentFile(strPath);
}

void CTeldViewGLApp::OnOpenRecentFile(int nID)
{
    const size_t nIndex = static_cast<size_t>(nID - ID_FILE_MRU_FILE1);
    if (nIndex >= m_recentFiles.size())
        return;
    const std::string strPath = m_recentFiles[nIndex];
    // A file that can no longer be opened leaves the list.
    if (!OpenDocumentFile(strPath))
    {
        const auto it = std::find(m_recentFiles.begin(), m_recentFiles.end(), strPath);
        if (it != m_recentFiles.end())
            m_recentFiles.erase(it);
        SaveStdProfileSettings();
    }
}

void CTeldViewGLApp::OnAppAbout()
{
    CAboutDlg dialog(m_pFrame.get());
    dialog.exec();
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
    SaveStdProfileSettings();
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
}

void CTeldViewGLApp::SaveStdProfileSettings() const
{
    QSettings settings(QString::fromUtf8(SETTINGS_ORGANIZATION), QString::fromUtf8(SETTINGS_APPLICATION));
    settings.beginGroup(QString::fromUtf8(RECENT_FILE_GROUP));
    for (int i = 1; i <= RECENT_FILE_COUNT; ++i)
    {
        const QString strKey = QStringLiteral("File%1").arg(i);
        if (static_cast<size_t>(i) <= m_recentFiles.size())
            settings.setValue(strKey, QString::fromStdString(m_recentFiles[i - 1]));
        else
            settings.remove(strKey);
    }
    settings.sync();
}

int CTeldViewGLApp::Run(int argc, char** argv)
{
    PrepareQt();
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    CTeldViewGLApp app;
    if (!app.InitInstance(arguments))
        return 1;
    return QApplication::exec();
}
