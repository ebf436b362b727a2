#include <QApplication>

#include <chrono>
#include <cstdio>

#include "bench/observers/Benchmarks.h"
#include "gui/EventWait.h"
#include "gui/FrameGapWatch.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/ScriptedUiServices.h"

// Import from Binary STL in the running program, as the user runs it: the window is up and
// empty, the command's file dialog answers FILE at once, and the time runs from the command to
// the first frame with the mesh on screen, split into the command itself (read, display list,
// what follows a load), the first draw and its composition. Meanwhile the view is asked for a
// frame every 10 ms, and the longest time between two frames from the command to the first frame
// with the mesh is reported. Messages go to stderr.
int RunImportBenchmark(int argc, char** argv)
{
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::time_point a, Clock::time_point b)
    { return std::chrono::duration<double, std::milli>(b - a).count(); };

    CTeldViewGLApp::PrepareAllocator();
    CTeldViewGLApp::PrepareQt();
    QApplication application(argc, argv);
    QStringList arguments = BenchmarkArguments("--benchmark-import");
    if (arguments.isEmpty())
    {
        std::fputs("usage: teldviewgl --benchmark-import FILE.stl\n", stderr);
        return 2;
    }

    CScriptedUiServices ui;
    ui.m_bEchoToStderr = true;
    CTeldViewGLApp app(&ui);
    if (!app.InitInstance({}) || !app.GetView()->IsGLReady())
    {
        std::fputs("teldviewgl: no usable OpenGL context\n", stderr);
        return 1;
    }
    // The empty window's own frames are done before the clock starts.
    RunEventsUntil(200, [] { return false; });

    CTeldViewGLView& view = *app.GetView();
    const CTeldViewGLDoc& doc = *app.GetDocument();
    Clock::time_point tDrawn, tSwapped;
    int nFirstFrameMs = 0;
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view,
                     [&]
                     {
                         if (doc.m_pCamera->m_pNext != nullptr && tDrawn == Clock::time_point())
                         {
                             tDrawn = Clock::now();
                             nFirstFrameMs = view.m_nFrameTime;
                         }
                     });
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, &view,
                     [&]
                     {
                         if (tDrawn != Clock::time_point() && tSwapped == Clock::time_point())
                             tSwapped = Clock::now();
                     });

    ui.m_fileAnswers = {arguments.front().toStdString()};
    CFrameGapWatch gaps([&view] { return &view; }, [&doc] { return doc.m_pCamera->m_pNext != nullptr; },
                        [] { return true; });
    const Clock::time_point tCommand = Clock::now();
    gaps.Start(tCommand);
    app.Router().Execute(ID_IMPORT_BINARY_STL);
    const Clock::time_point tImported = Clock::now();
    if (!doc.m_bHasMesh || !ui.m_messages.empty())
        return 1;
    RunEventsUntil(30000, [&] { return tSwapped != Clock::time_point(); });
    if (tSwapped == Clock::time_point())
    {
        std::fputs("teldviewgl: the first frame never reached the screen\n", stderr);
        return 1;
    }
    std::printf("command_ms %.1f\n", ms(tCommand, tImported));
    std::printf("draw_ms %.1f\n", ms(tImported, tDrawn));
    std::printf("compose_ms %.1f\n", ms(tDrawn, tSwapped));
    std::printf("first_frame_time_ms %d\n", nFirstFrameMs);
    std::printf("command_to_screen_ms %.1f\n", ms(tCommand, tSwapped));
    std::printf("frames_during_load %d\n", gaps.Frames());
    std::printf("frame_gap_max_ms %.1f\n", gaps.LongestGapMs());
    std::fflush(stdout);
    return 0;
}
