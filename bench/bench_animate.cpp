// The animation's speed:
// 1. whole-process time of `teldviewgl --animate OUT.mp4 scene.scn` on the bundled scene: 101
//    frames (0 to 4 s at 25 a second) at 800x600, H.264 in MP4;
// 2. in this process, a turning 1,000,000-triangle grid at 1280x720: the frames a second of the
//    drawing (posing, drawing and reading back) and of the H.264 encoding (colour conversion,
//    encoding, muxing, writing), timed apart, so that it shows which of the two holds the
//    recording back.
//
//   bench_animate [runs] [teldviewgl]   (default 3 runs; teldviewgl beside this program)
//
// Each figure is the median of the runs. Files go to a temporary folder removed at the end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/OffscreenScene.h"
#include "bench/ProcessTimes.h"
#include "export/AnimationOutput.h"
#include "export/Dib.h"
#include "model/SceneTime.h"

namespace
{
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point tStart)
{
    return std::chrono::duration<double>(Clock::now() - tStart).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct SRates
{
    double dDraw = 0.0;
    double dEncode = 0.0;
};

// nFrames of the grid turning once about y, drawn and encoded; false when a step failed.
bool TimeGrid(const std::string& strScene, const std::string& strOut, int nFrames, SRates& rates)
{
    COffscreenScene scene;
    if (!scene.Load(strOut, 1280, 720, {strScene}, SSnapshotLook()))
        return false;
    std::string strError;
    const auto pSink = OpenFrameSink(strOut, 1280, 720, 25, strError);
    if (!pSink)
    {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return false;
    }
    // Drawn first, then encoded, so that neither pays for the other (x264 works on threads of
    // its own, which would otherwise run while the next frame is drawn).
    std::vector<CDib> frames(static_cast<size_t>(nFrames));
    const auto tDraw = Clock::now();
    for (int k = 0; k < nFrames; ++k)
        if (!scene.DrawAt(SceneTime::FrameTime(0, k, 25), frames[static_cast<size_t>(k)], false, strOut))
            return false;
    const double dDraw = Seconds(tDraw);
    const auto tEncode = Clock::now();
    for (const CDib& dib : frames)
        if (!pSink->WriteFrame(dib))
            break;
    if (!pSink->Finish())
    {
        std::fprintf(stderr, "%s\n", pSink->GetError().c_str());
        return false;
    }
    const double dEncode = Seconds(tEncode);
    rates = {nFrames / dDraw, nFrames / dEncode};
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    int nRuns = 0;
    std::string strViewer;
    if (!ProcessBenchArguments(argc, argv, 3, nRuns, strViewer))
        return 2;
    const std::string strDir = MakeGridFolder("bench_animate");
    if (strDir.empty())
        return 1;
    // One turn about y in 4 s, in two halves (records hold x, y, z, w).
    std::ofstream(strDir + "/none.kff") << "KFF\n0 0\n";
    std::ofstream(strDir + "/turn.kff")
        << "KFF\n0 3\nORI_FRAME\n0\n0 0 0 1\n0 0 0 1\nORI_FRAME\n200\n0 1 0 0\n"
           "0 0 0 1\nORI_FRAME\n400\n0 0 0 -1\n0 0 0 1\n";
    std::ofstream(strDir + "/grid.scn") << "SCENE 1\n"
                                        << strDir << "/none.kff\n"
                                        << strDir << "/grid.off " << strDir << "/turn.kff\n";

    std::vector<double> scene;
    std::vector<SRates> grid;
    bool bOk = true;
    for (int i = 0; i < nRuns && bOk; ++i)
    {
        scene.push_back(
            TimeProcess({strViewer, "--animate", strDir + "/scene.mp4", TELDVIEW_EXAMPLES_DIR "/scene.scn"})
                .dWall);
        grid.emplace_back();
        bOk = scene.back() >= 0.0 && TimeGrid(strDir + "/grid.scn", strDir + "/grid.mp4", 50, grid.back());
    }
    std::filesystem::remove_all(strDir);
    if (!bOk)
    {
        std::fprintf(stderr, "bench_animate: a run failed\n");
        return 1;
    }
    std::vector<double> draws, encodes;
    for (const SRates& rates : grid)
    {
        draws.push_back(rates.dDraw);
        encodes.push_back(rates.dEncode);
    }
    std::printf("median of %d runs\n", nRuns);
    std::printf("  bundled scene, 101 frames at 800x600 to MP4, whole process: %6.3f s\n", Median(scene));
    std::printf("  1,000,000 triangles at 1280x720, 50 frames: drawing %6.1f frames/s, H.264 encoding %6.1f "
                "frames/s\n",
                Median(draws), Median(encodes));
    return 0;
}
