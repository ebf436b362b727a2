#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/observers/Benchmarks.h"
#include "drawing/MeshGL.h"
#include "export/PngExport.h"
#include "gui/MainFrame.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/ScriptedUiServices.h"

namespace
{
constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;
// Degrees per tick about the camera's up axis, as a right drag of two pixels would set.
constexpr double SPIN_RATE = 1.0;
constexpr int IDLE_UPDATE_RUNS = 200;
// The longest wait for the reduced meshes before the spin starts.
constexpr int REDUCTION_WAIT_MS = 120000;

double Percentile(std::vector<double> values, double dFraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(dFraction * static_cast<double>(values.size() - 1) + 0.5)];
}

std::vector<double> Intervals(const std::vector<double>& times)
{
    std::vector<double> intervals;
    for (size_t i = 1; i < times.size(); ++i)
        intervals.push_back(times[i] - times[i - 1]);
    return intervals;
}

// Whether every mesh the view draws has its levels (or none to make).
bool ReductionsDone(const CTeldViewGLDoc& doc)
{
    for (const CSceneObject* p = doc.m_pObjectList; p != nullptr; p = p->m_pNext)
        if (p->GetType() == OBJECT_MESH)
        {
            const CMeshGL* pGL = CMeshGL::Find(*static_cast<const CMesh*>(p));
            if (pGL != nullptr && pGL->m_pReduction && !pGL->HasReduction())
                return false;
        }
    return true;
}

// The window's picture as it draws it now, written as a PNG; false after a message.
bool WritePicture(CTeldViewGLView& view, const QString& strPath)
{
    const QImage image = view.grabFramebuffer().convertToFormat(QImage::Format_BGR888);
    CDib dib;
    if (image.isNull() || !dib.Create(image.width(), image.height(), 24))
    {
        std::fprintf(stderr, "teldviewgl: the window gave no picture for %s\n", strPath.toUtf8().constData());
        return false;
    }
    // DIB rows run bottom-up.
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(image.height() - 1 - y), 3 * image.width(),
                    dib.GetPixels() + static_cast<size_t>(y) * dib.GetStride());
    const CImageWriteResult result = WritePngFile(strPath.toStdString(), dib);
    if (!result.m_bOk)
        std::fprintf(stderr, "teldviewgl: %s\n", result.m_strText.c_str());
    return result.m_bOk;
}
} // namespace

// The spin of one file in a window of fixed size, as the Spin command runs it, for a number of
// seconds: how the period settles, how long frames take, how many ticks each drawn frame costs,
// what pane 102 shows, and what the idle update of the command states costs.
int RunSpinBenchmark(int argc, char** argv)
{
    CTeldViewGLApp::PrepareAllocator();
    CTeldViewGLApp::PrepareQt();
    QApplication application(argc, argv);
    QStringList arguments = BenchmarkArguments("--benchmark-spin");
    // Every frame full, as before the reduced meshes, for comparison.
    const bool bFull = arguments.removeAll(QStringLiteral("--full")) > 0;
    // The reduced picture in motion and the full one once still, written as PNG files.
    QString strPictures;
    if (const qsizetype i = arguments.indexOf(QStringLiteral("--pictures"));
        i >= 0 && i + 1 < arguments.size())
    {
        strPictures = arguments[i + 1];
        arguments.remove(i, 2);
    }
    const double dSeconds = arguments.size() > 1 ? arguments[1].toDouble() : 4.0;
    if (arguments.isEmpty() || !(dSeconds > 0.0))
    {
        std::fputs("usage: teldviewgl --benchmark-spin FILE.off [SECONDS] [--full] [--pictures DIR]\n",
                   stderr);
        return 2;
    }

    CScriptedUiServices ui;
    ui.m_bEchoToStderr = true;
    CTeldViewGLApp app(&ui);
    if (!app.InitInstance({}))
        return 1;
    app.GetMainFrame()->resize(WINDOW_WIDTH, WINDOW_HEIGHT);
    CTeldViewGLView& view = *app.GetView();
    if (!view.IsGLReady() || !app.OpenDocumentFile(arguments[0].toStdString()))
    {
        std::fputs("teldviewgl: no usable OpenGL context, or the file could not be opened\n", stderr);
        return 1;
    }

    view.Motion().SetEnabled(!bFull);
    // The levels are made after the load while the window goes on; the spin measures them in use.
    QElapsedTimer reductionClock;
    reductionClock.start();
    while ((view.AreReductionsDue() || !ReductionsDone(*app.GetDocument())) &&
           reductionClock.elapsed() < REDUCTION_WAIT_MS)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double dReductionMs = static_cast<double>(reductionClock.nsecsElapsed()) / 1e6;

    QElapsedTimer clock;
    std::vector<double> ticks, drawn, swaps, frameTimes, paneRates, itemsDrawn;
    QObject::connect(&view, &CTeldViewGLView::TimerHandled, &view,
                     [&] { ticks.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6); });
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view,
                     [&]
                     {
                         if (!view.m_bSpinning)
                             return;
                         frameTimes.push_back(view.m_nFrameTime);
                         // Reduced frames count negative.
                         itemsDrawn.push_back(static_cast<double>(view.m_nItemsDrawn) *
                                              (view.m_bFrameReduced ? -1.0 : 1.0));
                         drawn.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
                     });
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, &view,
                     [&]
                     {
                         // The composition of the drawn frame into the window, up to the swap.
                         if (!drawn.empty() && swaps.size() < drawn.size())
                             swaps.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
                     });
    // Pane 102 as the user reads it, twice a second (the idle update has filled it).
    QTimer paneReader;
    QObject::connect(&paneReader, &QTimer::timeout, &view,
                     [&]
                     {
                         const QString strText = app.GetMainFrame()->Pane(ID_FRAME_RATE)->text();
                         paneRates.push_back(strText.section(u' ', 0, 0).toDouble());
                     });

    clock.start();
    view.StartSpin(false);
    view.m_dSpinRateY = SPIN_RATE;
    paneReader.start(500);
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(dSeconds * 1000.0), &loop, &QEventLoop::quit);
    loop.exec();
    paneReader.stop();
    const int nFinalPeriod = view.m_nSpinPeriod;
    size_t nReducedFrames = 0;
    for (const double dItems : itemsDrawn)
        nReducedFrames += dItems < 0 ? 1 : 0;
    bool bPictures = true;
    if (!strPictures.isEmpty())
        bPictures = WritePicture(view, strPictures + QStringLiteral("/spin-moving.png"));
    // The end of the motion, as the Spin command ends it: the time to the first full frame drawn.
    bool bFullDrawn = false;
    QMetaObject::Connection settled =
        QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view,
                         [&] { bFullDrawn = bFullDrawn || !view.m_bFrameReduced; });
    QElapsedTimer settleClock;
    settleClock.start();
    app.Router().Execute(ID_VIEW_SPIN);
    while (!bFullDrawn && settleClock.elapsed() < REDUCTION_WAIT_MS)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double dSettleMs = static_cast<double>(settleClock.nsecsElapsed()) / 1e6;
    QObject::disconnect(settled);
    if (!strPictures.isEmpty())
        bPictures = WritePicture(view, strPictures + QStringLiteral("/spin-still.png")) && bPictures;

    // What every tick also costs: the command states of all menus and the pane texts.
    QElapsedTimer idleClock;
    idleClock.start();
    for (int i = 0; i < IDLE_UPDATE_RUNS; ++i)
        app.GetMainFrame()->OnIdleUpdate();
    const double dIdleUs = static_cast<double>(idleClock.nsecsElapsed()) / 1e3 / IDLE_UPDATE_RUNS;

    const std::vector<double> periods = Intervals(ticks), frameIntervals = Intervals(swaps);
    std::vector<double> compose;
    for (size_t i = 0; i < swaps.size() && i < drawn.size(); ++i)
        compose.push_back(swaps[i] - drawn[i]);
    // The first half second is the period settling; the pane keeps the last full measurement.
    const std::vector<double> settledRates(paneRates.begin() + std::min<size_t>(1, paneRates.size()),
                                           paneRates.end());
    std::printf("ticks %zu\n", ticks.size());
    std::printf("frames %zu\n", frameTimes.size());
    std::printf("ticks_per_frame %.2f\n", frameTimes.empty() ? 0.0
                                                             : static_cast<double>(ticks.size()) /
                                                                   static_cast<double>(frameTimes.size()));
    std::printf("period_median_ms %.1f\n", Percentile(periods, 0.5));
    std::printf("period_p95_ms %.1f\n", Percentile(periods, 0.95));
    std::printf("final_period_ms %d\n", nFinalPeriod);
    std::printf("frame_time_median_ms %.1f\n", Percentile(frameTimes, 0.5));
    std::printf("frame_time_p95_ms %.1f\n", Percentile(frameTimes, 0.95));
    std::printf("compose_median_ms %.1f\n", Percentile(compose, 0.5));
    std::printf("frame_interval_median_ms %.1f\n", Percentile(frameIntervals, 0.5));
    std::printf("pane_fps_median %.1f\n", Percentile(settledRates, 0.5));
    std::printf("idle_update_us %.1f\n", dIdleUs);
    std::printf("reduction_wait_ms %.0f\n", dReductionMs);
    std::printf("reduced_frames %zu\n", nReducedFrames);
    std::vector<double> items;
    for (const double dItems : itemsDrawn)
        items.push_back(std::abs(dItems));
    std::printf("items_drawn_median %.0f\n", Percentile(items, 0.5));
    std::printf("settle_ms %.1f\n", dSettleMs);
    std::fflush(stdout);
    return bPictures ? 0 : 1;
}
