// Start-up time of the viewer on a 1,000,000-triangle OFF file: from the moment the process is
// spawned to the first frame on screen, split into process start (loading libraries), Qt start,
// window start (window shown, GL context and baseline state), the wait for the file's read
// (which runs on a worker thread from the start), display-list build, first draw and
// composition. The worker's own read time is shown too; it overlaps the phases before it.
// Needs an X display (run under xvfb-run) and the teldviewgl binary beside this program (or its
// path as the first argument).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/GridOff.h"
#include "bench/ViewerProcess.h"

namespace
{
constexpr int GRID_X = 1000;
constexpr int GRID_Y = 500;

void WriteMesh(const std::string& strPath)
{
    WriteGridOff(strPath, GRID_X, GRID_Y);
}

// One start: the child's reported phases in ms, plus "spawn_to_main" measured from here.
std::map<std::string, double> RunOnce(const std::string& strViewer, const std::string& strMesh)
{
    std::chrono::steady_clock::time_point tSpawn;
    std::map<std::string, double> phases = RunViewer(strViewer, {"--benchmark-startup", strMesh}, tSpawn);
    if (phases.empty())
        return {};
    const double dSpawnNs = static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(tSpawn.time_since_epoch()).count());
    // A viewer that reads the file on its GUI thread reports the whole read as read_ms.
    if (phases.count("read_ms") != 0 && phases.count("read_wait_ms") == 0)
        phases["read_wait_ms"] = phases["read_ms"];
    phases["spawn_to_main_ms"] = (phases["main_steady_ns"] - dSpawnNs) / 1e6;
    phases["total_ms"] = phases["spawn_to_main_ms"] + phases["main_to_screen_ms"];
    return phases;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string strViewer = FindViewer(argc, argv);
    const std::string strMesh = (std::filesystem::temp_directory_path() / "teldview_bench_1m.off").string();
    const auto tWrite = std::chrono::steady_clock::now();
    WriteMesh(strMesh);
    std::printf("mesh: %d triangles, %.1f MB, written in %.0f ms to %s\n", 2 * GRID_X * GRID_Y,
                static_cast<double>(std::filesystem::file_size(strMesh)) / 1e6,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tWrite).count(),
                strMesh.c_str());

    const char* const phases[] = {"spawn_to_main_ms", "qt_start_ms",  "window_ms",  "read_wait_ms",
                                  "list_ms",          "draw_ms",      "compose_ms", "total_ms",
                                  "read_thread_ms",   "extra_frames", "preloaded"};
    constexpr int RUNS = 3;
    std::map<std::string, std::vector<double>> samples;
    for (int i = 0; i < RUNS; ++i)
    {
        const std::map<std::string, double> run = RunOnce(strViewer, strMesh);
        if (run.empty())
        {
            std::fprintf(stderr, "bench_startup: %s --benchmark-startup failed (is there a display?)\n",
                         strViewer.c_str());
            std::filesystem::remove(strMesh);
            return 1;
        }
        for (const char* pszPhase : phases)
        {
            const auto it = run.find(pszPhase);
            samples[pszPhase].push_back(it != run.end() ? it->second : NAN);
        }
    }
    std::filesystem::remove(strMesh);

    std::printf("%-18s %10s   (median of %d starts; runs)\n", "phase", "ms", RUNS);
    for (const char* pszPhase : phases)
    {
        std::vector<double> values = samples[pszPhase];
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-18s %10.1f  ", pszPhase, sorted[RUNS / 2]);
        for (const double d : values)
            std::printf(" %8.1f", d);
        std::printf("\n");
    }
    std::printf("aim: total under 1300 ms\n");
    return 0;
}
