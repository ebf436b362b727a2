// Start-up in its order (the settings, the document, frame and view, the window, the command
// line's files), the event loop, and the end of the process.
#include "gui/TeldViewGLApp.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QIcon>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>

#include "gui/FileChangeWatch.h"
#include "gui/MainFrame.h"
#include "gui/QtUiServices.h"
#include "gui/Resources.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/view/TeldViewGLView.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"

namespace
{
// The commands and panes that go on while a file loads: leaving, the About box and the keys
// help, the status bar and the panes' texts.
bool IsAllowedWhileLoading(int nID)
{
    switch (nID)
    {
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_HELP_KEYS_AND_MOUSE:
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
    if (m_settingsWrite.valid())
        m_settingsWrite.wait();
}

void CTeldViewGLApp::RegisterCommands()
{
    RegisterOpenCommands();
    RegisterReloadCommands();
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_HELP_KEYS_AND_MOUSE, [this] { OnHelpKeysAndMouse(); });
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
    if (!CreateDocumentFrameAndView())
        return false;
    ConnectCommands();
    // Display lists can only be compiled once the view has its context, so the window comes up
    // before the command line's files are read.
    m_pFrame->show();
    WaitForContext();
    if (m_pObserver != nullptr)
        m_pObserver->WindowShown();
    m_pView->ReportContextProblem();
    m_pView->setFocus();
    if (!ProcessCommandLine(arguments))
        return false;
    m_pFrame->OnIdleUpdate();
    return true;
}

bool CTeldViewGLApp::CreateDocumentFrameAndView()
{
    m_pDocument = std::make_unique<CTeldViewGLDoc>();
    m_pDocument->SetUiServices(m_pUi);
    m_pDocument->m_fnAddToRecentFileList = [this](const std::string& strPath)
    { AddToRecentFileList(strPath); };

    m_pFrame = std::make_unique<CMainFrame>(m_router);
    if (m_bEndProcessOnClose)
        EndProcessOnClose();
    m_pView = new CTeldViewGLView(m_pDocument.get());
    m_pView->SetUiServices(m_pUi);
    if (m_pObserver != nullptr)
        m_pObserver->ViewMade(*m_pView, *m_pDocument);
    m_pFrame->setCentralWidget(m_pView);
    m_pFrame->SetDocument(m_pDocument.get());
    m_pFrame->SetRecentFileSource([this] { return m_recentFiles; });
    if (!m_pFrame->OnCreate())
        return false;
    if (m_pQtUi)
        m_pQtUi->SetParentWindow(m_pFrame.get());
    return true;
}

void CTeldViewGLApp::ConnectCommands()
{
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
    QObject::connect(m_pFrame.get(), &CMainFrame::FilesDropped, m_pFrame.get(),
                     [this](const QStringList& files) { OnFilesDropped(files); });
    ConnectReload();
}

bool CTeldViewGLApp::ProcessCommandLine(const QStringList& arguments)
{
    std::vector<std::string> files;
    for (const QString& strArgument : arguments)
        if (!strArgument.isEmpty())
            files.push_back(strArgument.toStdString());
    if (!files.empty() && !OpenDocumentFiles(files))
        return false;
    if (files.empty())
    {
        m_pDocument->OnNewDocument();
        m_pView->OnUpdate();
    }
    // A read ahead that the open did not use (the command line named another file in the end)
    // is finished and dropped here rather than kept for the whole run.
    m_pPreload.reset();
    return true;
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

void CTeldViewGLApp::OnAppExit()
{
    if (m_pFrame)
        m_pFrame->close();
}

void CTeldViewGLApp::OnAppAbout()
{
    CAboutDlg dialog(m_pFrame.get());
    dialog.exec();
}

void CTeldViewGLApp::OnHelpKeysAndMouse()
{
    m_pUi->MessageBox(Resources::KeysAndMouseText(), MB_OK, "Keys and Mouse");
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
