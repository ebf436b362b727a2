#include <QApplication>

#include <chrono>
#include <cstdio>

#include "bench/observers/Benchmarks.h"
#include "bench/observers/StartupTrace.h"
#include "gui/EventWait.h"
#include "gui/FrameGapWatch.h"
#include "gui/MainFrame.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ScriptedUiServices.h"

// Start-up timing for one file: exactly the start with the file on the command line (the
// read ahead on the worker thread included), closing the window once the first frame with the
// mesh is on screen (after half a second more with --watch-frames, counting frames drawn again).
// With --frame-gaps the view is asked for a frame every 10 ms meanwhile, and the longest time
// between two frames until the first with the mesh is reported. Messages go to stderr instead of
// boxes, so nothing waits for a user.
QStringList BenchmarkArguments(const char* pszMode)
{
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    arguments.removeAll(QString::fromUtf8(pszMode));
    return arguments;
}

int RunStartupBenchmark(int argc, char** argv, std::chrono::steady_clock::time_point tStart)
{
    using Trace = CStartupTrace;
    const auto ms = [](Trace::TimePoint a, Trace::TimePoint b)
    { return std::chrono::duration<double, std::milli>(b - a).count(); };

    Trace trace;
    trace.m_tMain = tStart;
    // argv[1] is --benchmark-startup.
    CTeldViewGLApp::PrepareAllocator();
    std::unique_ptr<CMeshPreloader> pPreload = CTeldViewGLApp::PreloadCommandLineFile(argc, argv, 2);
    CTeldViewGLApp::PrepareQt();
    QApplication application(argc, argv);
    trace.Mark(Trace::TRACE_QT);
    QStringList arguments = BenchmarkArguments("--benchmark-startup");
    const bool bWatchFrames = arguments.removeAll(QStringLiteral("--watch-frames")) > 0;
    const bool bFrameGaps = arguments.removeAll(QStringLiteral("--frame-gaps")) > 0;
    if (arguments.isEmpty())
    {
        std::fputs("usage: teldviewgl --benchmark-startup FILE [--watch-frames] [--frame-gaps]\n", stderr);
        return 2;
    }

    CScriptedUiServices ui;
    ui.m_bEchoToStderr = true;
    CTeldViewGLApp app(&ui);
    app.SetObserver(&trace);
    app.SetCommandLinePreload(std::move(pPreload));
    CFrameGapWatch gaps(
        [&app] { return app.GetView(); },
        [&app] { return app.GetDocument() != nullptr && app.GetDocument()->m_pCamera->m_pNext != nullptr; },
        [&trace] { return trace.Has(Trace::TRACE_WINDOW); });
    if (bFrameGaps)
        gaps.Start();
    if (!app.InitInstance(arguments))
        return 1;
    if (!app.GetView()->IsGLReady() || !app.GetDocument()->m_bHasMesh || !trace.Has(Trace::TRACE_OPENED))
    {
        std::fputs("teldviewgl: no usable OpenGL context, or the file was not opened\n", stderr);
        return 1;
    }
    RunEventsUntil(30000, [&] { return trace.Has(Trace::TRACE_SWAPPED); });
    if (!trace.Has(Trace::TRACE_SWAPPED))
    {
        std::fputs("teldviewgl: the first frame never reached the screen\n", stderr);
        return 1;
    }
    // A frame drawn again soon after, with nothing changed, would be start-up work wasted.
    const int nFramesOnScreen = trace.m_nMeshFrames;
    const int nFramesBeforeMesh = trace.m_nFrames - trace.m_nMeshFrames;
    if (bWatchFrames)
        RunEventsUntil(500, [] { return false; });

    // Without a read ahead the read lies between the window and the opened document.
    const int nListFrom = trace.m_bPreloaded ? Trace::TRACE_READ_TAKEN : Trace::TRACE_WINDOW;
    const auto phase = [&](const char* pszName, int nFrom, int nTo)
    {
        std::printf("%s_ms %.1f\n", pszName, ms(trace.m_t[nFrom], trace.m_t[nTo]));
        std::printf("%s_faults %ld\n", pszName, trace.m_nFaults[nTo] - trace.m_nFaults[nFrom]);
    };
    std::printf("main_steady_ns %lld\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(tStart.time_since_epoch()).count()));
    std::printf("qt_start_ms %.1f\n", ms(tStart, trace.m_t[Trace::TRACE_QT]));
    phase("window", Trace::TRACE_QT, Trace::TRACE_WINDOW);
    std::printf("preloaded %d\n", trace.m_bPreloaded ? 1 : 0);
    std::printf("read_thread_ms %.1f\n", trace.m_bPreloaded ? ms(trace.m_tReadStart, trace.m_tReadEnd) : 0.0);
    std::printf("read_wait_ms %.1f\n",
                trace.m_bPreloaded ? ms(trace.m_t[Trace::TRACE_WINDOW], trace.m_t[Trace::TRACE_READ_TAKEN])
                                   : 0.0);
    phase("list", nListFrom, Trace::TRACE_OPENED);
    phase("draw", Trace::TRACE_OPENED, Trace::TRACE_DRAWN);
    phase("compose", Trace::TRACE_DRAWN, Trace::TRACE_SWAPPED);
    std::printf("first_frame_time_ms %d\n", trace.m_nFirstFrameMs);
    std::printf("frames_before_mesh %d\n", nFramesBeforeMesh);
    std::printf("extra_frames %d\n", trace.m_nMeshFrames - nFramesOnScreen);
    if (bFrameGaps)
    {
        std::printf("frames_during_load %d\n", gaps.Frames());
        std::printf("frame_gap_max_ms %.1f\n", gaps.LongestGapMs());
    }
    std::printf("main_to_screen_ms %.1f\n", ms(tStart, trace.m_t[Trace::TRACE_SWAPPED]));

    // Then the window is closed as a click on its close button closes it; the parent times the
    // rest, up to the end of the process, from this moment on the system clock.
    app.EndProcessOnClose();
    std::printf("close_epoch_us %lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                           std::chrono::system_clock::now().time_since_epoch())
                                           .count()));
    std::fflush(stdout);
    app.GetMainFrame()->close();
    RunEventsUntil(10000, [] { return false; });
    return 0;
}
