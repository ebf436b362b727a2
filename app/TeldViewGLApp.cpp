#include "app/TeldViewGLApp.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QOpenGLContext>
#include <QSettings>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWindow>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/QtUiServices.h"
#include "app/Resources.h"
#include "formats/FileKind.h"
#include "platform/CommandIds.h"
#include "platform/FileName.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/MeshPreloader.h"
#include "scene/TeldViewGLDoc.h"
#include "view/GLContextGuard.h"
#include "view/TeldViewGLView.h"

namespace
{
const char* const SETTINGS_ORGANIZATION = "Local AppWizard-Generated Applications";
const char* const SETTINGS_APPLICATION = "TeldViewGL";
const char* const RECENT_FILE_GROUP = "Recent File List";

// The commands and panes that go on while a file loads: leaving, the About box, the status bar
// and the panes' texts.
bool IsAllowedWhileLoading(int nID)
{
    switch (nID)
    {
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_VIEW_STATUS_BAR:
    case ID_VIEW_SIZE:
    case ID_FRAME_RATE:
    case ID_SELECTED_MESH:
    case ID_INDICATOR_CAPS:
    case ID_INDICATOR_NUM:
    case ID_INDICATOR_SCRL:
        return true;
    default:
        return false;
    }
}
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

void CTeldViewGLApp::PrepareAllocator()
{
#if defined(__GLIBC__)
    // With glibc's adaptive defaults large blocks are mapped and unmapped per allocation and a
    // freed heap top goes back to the kernel at once, so the software renderer's per-frame
    // buffers arrive as fresh pages again and again: for a million triangles about 31,000
    // page faults in the first frame and 6,000 in each later one, against 17,000 and none
    // with these thresholds. The price is up to 64 MB of free heap held back.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
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

bool CTeldViewGLApp::CanCreateGLContext()
{
    // With shared contexts Qt made one while starting: its fate answers the question.
    if (const QOpenGLContext* pShared = QOpenGLContext::globalShareContext())
        return pShared->isValid();
    QOpenGLContext context;
    return context.create();
}

bool CTeldViewGLApp::InitInstance(const QStringList& arguments)
{
    // A GL widget on a platform without OpenGL takes Qt down when the window shows, so the
    // messages come before any window exists, and the program ends.
    if (!CanCreateGLContext())
    {
        CTeldViewGLView::ShowContextProblem(*m_pUi, CONTEXT_NO_FORMAT);
        return false;
    }
    LoadStdProfileSettings();

    m_pDocument = std::make_unique<CTeldViewGLDoc>();
    m_pDocument->SetUiServices(m_pUi);
    m_pDocument->m_fnAddToRecentFileList = [this](const std::string& strPath)
    { AddToRecentFileList(strPath); };

    m_pFrame = std::make_unique<CMainFrame>(m_router);
    if (m_bEndProcessOnClose)
        EndProcessOnClose();
    m_pView = new CTeldViewGLView(m_pDocument.get());
    m_pView->SetUiServices(m_pUi);
    if (m_pTrace != nullptr)
        TraceFrames();
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
    // While a file loads the window goes on, but the document must stay as it is until the load
    // takes it: only what leaves it alone is offered.
    m_router.SetRefusal(
        [this](int nID)
        { return m_pView != nullptr && m_pView->IsLoading() && !IsAllowedWhileLoading(nID); });
    QObject::connect(m_pView, &CTeldViewGLView::LoadMessage, m_pFrame.get(), &CMainFrame::SetBusyMessage);

    // Display lists can only be compiled once the view has its context, so the window comes up
    // before the command line's file is read.
    m_pFrame->show();
    WaitForContext();
    if (m_pTrace != nullptr)
        m_pTrace->Mark(SStartupTrace::TRACE_WINDOW);
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
    // A read ahead that the open did not use (the command line named another file in the end)
    // is finished and dropped here rather than kept for the whole run.
    m_pPreload.reset();
    m_pFrame->OnIdleUpdate();
    return true;
}

void CTeldViewGLApp::SStartupTrace::Mark(int nStep)
{
    if (Has(nStep))
        return;
    m_t[nStep] = std::chrono::steady_clock::now();
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0)
        m_nFaults[nStep] = usage.ru_minflt + usage.ru_majflt;
}

void CTeldViewGLApp::TraceFrames()
{
    QObject::connect(m_pView, &CTeldViewGLView::ReadTaken, m_pView,
                     [this] { m_pTrace->Mark(SStartupTrace::TRACE_READ_TAKEN); });
    QObject::connect(m_pView, &CTeldViewGLView::FrameDrawn, m_pView,
                     [this]
                     {
                         ++m_pTrace->m_nFrames;
                         if (m_pDocument->m_pCamera->m_pNext == nullptr)
                             return;
                         if (m_pTrace->m_nMeshFrames++ == 0)
                         {
                             m_pTrace->Mark(SStartupTrace::TRACE_DRAWN);
                             m_pTrace->m_nFirstFrameMs = m_pView->m_nFrameTime;
                         }
                     });
    QObject::connect(m_pView, &QOpenGLWidget::frameSwapped, m_pView,
                     [this]
                     {
                         if (m_pTrace->m_nMeshFrames > 0)
                             m_pTrace->Mark(SStartupTrace::TRACE_SWAPPED);
                     });
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
        // them the guess could be a value, so none is made.
        // Only a regular file: opening a pipe would wait for a writer, and the open refuses it.
        struct stat st;
        if (strArgument[0] == '-' || InputKind(strArgument) == INPUT_SCENE || stat(argv[i], &st) != 0 ||
            !S_ISREG(st.st_mode))
            return nullptr;
        return std::make_unique<CMeshPreloader>(strArgument, PreloadFormat(strArgument));
    }
    return nullptr;
}

int CTeldViewGLApp::PreloadFormat(const std::string& strPath)
{
    return InputKind(strPath) == INPUT_STL ? static_cast<int>(STL_BY_CONTENT) : static_cast<int>(PRELOAD_OFF);
}

std::unique_ptr<CMeshPreloader> CTeldViewGLApp::TakePreload(const std::string& strPath, int nFormat)
{
    std::unique_ptr<CMeshPreloader> pPreload = std::move(m_pPreload);
    if (!pPreload || pPreload->Path() != strPath || pPreload->Format() != nFormat)
        return nullptr;
    if (m_pTrace != nullptr)
        m_pTrace->m_bPreloaded = true;
    return pPreload;
}

void CTeldViewGLApp::TraceRead(const CMeshPreloader& read)
{
    if (m_pTrace == nullptr)
        return;
    m_pTrace->m_tReadStart = read.ReadStart();
    m_pTrace->m_tReadEnd = read.ReadEnd();
}

void CTeldViewGLApp::WaitForContext()
{
    // The context comes with the first show; drawing reaches the screen once the window is
    // exposed, which the X server reports a little later.
    const auto ready = [this]
    {
        const QWindow* pWindow = m_pFrame->windowHandle();
        return m_pView->IsGLReady() && pWindow != nullptr && pWindow->isExposed();
    };
    const auto failed = [this]
    {
        const QOpenGLContext* pContext = m_pView->context();
        return pContext != nullptr && !pContext->isValid();
    };
    if (ready() || failed())
        return;
    // Sleep in the event loop rather than spin on processEvents: a spinning GUI thread takes a
    // core from the worker that reads the command line's file meanwhile. Frames and a short
    // poll wake the check (the expose has no signal of its own).
    QEventLoop loop;
    const auto check = [&]
    {
        if (ready() || failed())
            loop.quit();
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    QObject::connect(m_pView, &CTeldViewGLView::FrameDrawn, &loop, check);
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
}

bool CTeldViewGLApp::OpenDocumentFile(const std::string& strPath)
{
    return OpenDocument(strPath, nullptr);
}

bool CTeldViewGLApp::OpenDocument(const std::string& strPath, std::unique_ptr<CMeshPreloader> pRead)
{
    // As the framework's open: a file that cannot be opened (a folder, a pipe, a device) is
    // named with the reason before anything is read, so no read can wait forever for a writer.
    if (!m_pDocument->CanOpenFile(strPath))
        return ShowOpened(false);
    if (!pRead)
        pRead = std::make_unique<CMeshPreloader>(strPath);
    // The display list goes into the view's context, which LoadInBackground makes current.
    std::optional<CWaitCursor> wait(std::in_place, *m_pUi);
    const bool bOpened = m_pView->LoadInBackground(
        *pRead,
        [&](std::unique_ptr<CMesh>& pMesh)
        {
            if (!pMesh || !m_pDocument->OnOpenDocumentWithMesh(strPath, pMesh.get()))
                return false;
            pMesh.release(); // the document's now
            return true;
        });
    TraceRead(*pRead);
    wait.reset();
    if (!bOpened)
    {
        // What a failed open gives, with its message, once the wait cursor is gone.
        CGLContextGuard guard(*m_pView);
        m_pDocument->OnOpenDocumentWithMesh(strPath, nullptr);
    }
    return ShowOpened(bOpened);
}

bool CTeldViewGLApp::ShowOpened(bool bOpened)
{
    if (m_pTrace != nullptr)
        m_pTrace->Mark(SStartupTrace::TRACE_OPENED);
    if (!bOpened)
    {
        // The document keeps what the failed read left (a reused mesh is now empty, a scene file
        // that failed half way its first meshes): just draw that.
        m_pView->OnSceneChanged();
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
        return OpenDocument(strPath, TakePreload(strPath, PRELOAD_OFF));
    // A missing file is named with the system's reason, as an OFF file's open names it.
    if (!m_pDocument->CanOpenFile(strPath))
        return false;
    bool bLoaded = false;
    if (nKind == INPUT_STL)
    {
        std::unique_ptr<CMeshPreloader> pRead = TakePreload(strPath, STL_BY_CONTENT);
        if (!pRead)
            pRead = std::make_unique<CMeshPreloader>(strPath, STL_BY_CONTENT);
        bLoaded = m_pView->ReadSTL(strPath, STL_BY_CONTENT, pRead.get());
        TraceRead(*pRead);
    }
    else
        bLoaded = m_pView->ReadScene(strPath);
    if (bLoaded)
        m_pDocument->SetTitle(FileNameOfPath(strPath));
    return ShowOpened(bLoaded);
}

void CTeldViewGLApp::OnFileOpen()
{
    std::string strPath;
    if (!m_pUi->RunFileDialog(
            SFileDialogRequest::Open(std::string(), std::string(), Resources::ALL_FILES_FILTER), strPath) ||
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
    // The command line's file is read on a worker thread while Qt and the window start; the
    // display list needs the window's context, so only the read can go ahead.
    PrepareAllocator();
    std::unique_ptr<CMeshPreloader> pPreload = PreloadCommandLineFile(argc, argv, 1);
    PrepareQt();
    QApplication application(argc, argv);
    // The desktop matches the window to the installed entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("teldviewgl"));
    QApplication::setWindowIcon(QIcon(CAboutDlg::ProgramIcon(64)));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    CTeldViewGLApp app;
    app.SetCommandLinePreload(std::move(pPreload));
    app.EndProcessOnClose();
    if (!app.InitInstance(arguments))
        return 1;
    const int nStatus = QApplication::exec();
    app.EndProcess(nStatus);
    return nStatus;
}

void CTeldViewGLApp::EndProcessOnClose()
{
    m_bEndProcessOnClose = true;
    if (m_pFrame)
        QObject::connect(m_pFrame.get(), &CMainFrame::Closed, m_pFrame.get(), [this] { EndProcess(0); });
}

void CTeldViewGLApp::EndProcess(int nStatus)
{
    if (const QClipboard* pClipboard = QGuiApplication::clipboard();
        pClipboard != nullptr && pClipboard->ownsClipboard())
        return;
    SaveStdProfileSettings();
    std::fflush(nullptr);
    _exit(nStatus);
}
