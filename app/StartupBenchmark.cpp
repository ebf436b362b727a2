#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>

#include "app/TeldViewGLApp.h"
#include "platform/ScriptedUiServices.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"
#include "view/GLContextGuard.h"
#include "view/TeldViewGLView.h"

// Start-up timing for one file: the same steps as a start with a file on the command line,
// split into window start, file read, display-list build and first frame. Messages go to
// stderr instead of boxes, so nothing waits for a user.
int CTeldViewGLApp::RunStartupBenchmark(int argc, char** argv, std::chrono::steady_clock::time_point tStart)
{
    using SteadyClock = std::chrono::steady_clock;
    const auto ms = [](SteadyClock::time_point a, SteadyClock::time_point b)
    { return std::chrono::duration<double, std::milli>(b - a).count(); };

    PrepareQt();
    QApplication application(argc, argv);
    const auto tQt = SteadyClock::now();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    arguments.removeAll(QStringLiteral("--benchmark-startup"));
    if (arguments.isEmpty())
    {
        std::fputs("usage: teldviewgl --benchmark-startup FILE.off\n", stderr);
        return 2;
    }
    const std::string strPath = arguments.front().toStdString();

    CScriptedUiServices ui;
    ui.m_bEchoToStderr = true;
    CTeldViewGLApp app(&ui);
    if (!app.InitInstance(QStringList()))
        return 1;
    CTeldViewGLView* pView = app.GetView();
    if (!pView->IsGLReady())
    {
        std::fputs("teldviewgl: no usable OpenGL context\n", stderr);
        return 1;
    }
    const auto tWindow = SteadyClock::now();

    CTeldViewGLDoc* pDocument = app.GetDocument();
    bool bOpened = false;
    pDocument->m_bCompileLists = false;
    {
        CGLContextGuard guard(*pView);
        bOpened = pDocument->OnOpenDocument(strPath);
    }
    pDocument->m_bCompileLists = true;
    if (!bOpened)
        return 1;
    const auto tRead = SteadyClock::now();
    {
        CGLContextGuard guard(*pView);
        static_cast<CMesh*>(pDocument->m_pCurrentObject)->BuildDisplayList();
    }
    const auto tList = SteadyClock::now();

    bool bDrawn = false;
    bool bSwapped = false;
    SteadyClock::time_point tDrawn;
    SteadyClock::time_point tSwapped;
    QObject::connect(pView, &CTeldViewGLView::FrameDrawn, pView,
                     [&]
                     {
                         if (!bDrawn)
                             tDrawn = SteadyClock::now();
                         bDrawn = true;
                     });
    QObject::connect(pView, &QOpenGLWidget::frameSwapped, pView,
                     [&]
                     {
                         if (bDrawn && !bSwapped)
                         {
                             tSwapped = SteadyClock::now();
                             bSwapped = true;
                         }
                     });
    pView->OnUpdate();
    QElapsedTimer wait;
    wait.start();
    while (!bSwapped && wait.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!bSwapped)
    {
        std::fputs("teldviewgl: the first frame never reached the screen\n", stderr);
        return 1;
    }

    const long long nMainNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(tStart.time_since_epoch()).count();
    std::printf("main_steady_ns %lld\n", nMainNs);
    std::printf("qt_start_ms %.1f\n", ms(tStart, tQt));
    std::printf("window_ms %.1f\n", ms(tQt, tWindow));
    std::printf("read_ms %.1f\n", ms(tWindow, tRead));
    std::printf("list_ms %.1f\n", ms(tRead, tList));
    std::printf("draw_ms %.1f\n", ms(tList, tDrawn));
    std::printf("compose_ms %.1f\n", ms(tDrawn, tSwapped));
    std::printf("frame_time_ms %d\n", pView->m_nFrameTime);
    std::printf("main_to_screen_ms %.1f\n", ms(tStart, tSwapped));
    std::fflush(stdout);
    return 0;
}
