// The spin of meshes of 10,000, 100,000 and 1,000,000 triangles in a window of fixed size
// (800 x 600), each spun for a few seconds as the Spin command runs it: the spin period (median
// and 95th percentile of the time between ticks) against the frame time, the composition of each
// frame into the window, the ticks per drawn frame (1 when no tick is spent on a frame that is
// never drawn), the frame rate pane 102 shows, the cost of the idle update of the command
// states that follows every tick, the frames drawn reduced while spinning and the time from the
// end of the spin to the first full frame (settle_ms). Needs an X display (run under xvfb-run) and the
// teldviewgl binary beside this program (or its path as the first argument); an optional second argument
// gives the seconds per mesh.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/GridOff.h"
#include "bench/ViewerProcess.h"

int main(int argc, char** argv)
{
    const std::string strViewer = FindViewer(argc, argv);
    const std::string strSeconds = argc > 2 ? argv[2] : "4";
    // Cells of the waved sheet; each cell is two triangles.
    const struct
    {
        int nX, nY;
    } grids[] = {{100, 50}, {250, 200}, {1000, 500}};
    const char* const columns[] = {"period_median_ms",     "period_p95_ms",     "final_period_ms",
                                   "frame_time_median_ms", "frame_time_p95_ms", "compose_median_ms",
                                   "ticks_per_frame",      "pane_fps_median",   "idle_update_us",
                                   "reduced_frames",       "settle_ms"};
    std::printf("%10s", "triangles");
    for (const char* pszColumn : columns)
        std::printf(" %s", pszColumn);
    std::printf("\n");
    for (const auto& grid : grids)
    {
        const std::string strMesh = (std::filesystem::temp_directory_path() /
                                     ("teldview_bench_spin_" + std::to_string(grid.nX) + ".off"))
                                        .string();
        if (!WriteGridOff(strMesh, grid.nX, grid.nY))
        {
            std::fprintf(stderr, "bench_spin: cannot write %s\n", strMesh.c_str());
            return 1;
        }
        std::chrono::steady_clock::time_point tSpawn;
        const auto values = RunViewer(strViewer, {"--benchmark-spin", strMesh, strSeconds}, tSpawn);
        std::filesystem::remove(strMesh);
        if (values.empty())
        {
            std::fprintf(stderr, "bench_spin: %s --benchmark-spin failed (is there a display?)\n",
                         strViewer.c_str());
            return 1;
        }
        std::printf("%10d", 2 * grid.nX * grid.nY);
        for (const char* pszColumn : columns)
        {
            const auto it = values.find(pszColumn);
            std::printf(" %*.1f", static_cast<int>(std::string(pszColumn).size()),
                        it != values.end() ? it->second : -1.0);
        }
        std::printf("\n");
    }
    std::printf("aim: 100,000 triangles spin at frame time + 5 ms, 1.0 ticks per frame\n");
    return 0;
}
