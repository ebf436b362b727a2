// A 1,000,000-triangle binary STL file shown two ways: Import from Binary STL in the running,
// empty window (from the command to the first frame with the mesh on screen), and the program
// started with the file on its command line (from the spawn to that frame). Needs an X display
// (run under xvfb-run) and the teldviewgl binary beside this program (or its path as the first
// argument).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/ViewerProcess.h"

namespace
{
constexpr int GRID_X = 1000;
constexpr int GRID_Y = 500;
constexpr int RUNS = 3;

// The waved sheet of the other benchmarks, two triangles per cell, as a triangle soup.
bool WriteGridStl(const std::string& strPath)
{
    std::vector<char> bytes(80, ' ');
    const uint32_t nCount = 2u * GRID_X * GRID_Y;
    const auto put = [&](const void* p, size_t n)
    {
        const char* pc = static_cast<const char*>(p);
        bytes.insert(bytes.end(), pc, pc + n);
    };
    put(&nCount, 4);
    const auto corner = [](int i, int j, float* p)
    {
        const double x = i * 0.01 - 5.0, y = j * 0.01 - 2.5;
        p[0] = static_cast<float>(x), p[1] = static_cast<float>(y);
        p[2] = static_cast<float>(0.25 * std::sin(x) * std::cos(y));
    };
    for (int j = 0; j < GRID_Y; ++j)
        for (int i = 0; i < GRID_X; ++i)
        {
            const int triangles[2][6] = {{i, j, i + 1, j, i + 1, j + 1}, {i, j, i + 1, j + 1, i, j + 1}};
            for (const int* t : triangles)
            {
                float facet[12] = {0, 0, 1};
                for (int k = 0; k < 3; ++k)
                    corner(t[2 * k], t[2 * k + 1], facet + 3 + 3 * k);
                put(facet, sizeof facet);
                bytes.push_back(0), bytes.push_back(0);
            }
        }
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    const std::string strViewer = FindViewer(argc, argv);
    const std::string strMesh =
        (std::filesystem::temp_directory_path() / "teldview_bench_import_1m.stl").string();
    if (!WriteGridStl(strMesh))
    {
        std::fprintf(stderr, "bench_import: cannot write %s\n", strMesh.c_str());
        return 1;
    }
    std::printf("mesh: %d triangles, %.1f MB binary STL\n", 2 * GRID_X * GRID_Y,
                static_cast<double>(std::filesystem::file_size(strMesh)) / 1e6);

    std::map<std::string, std::vector<double>> samples;
    for (int i = 0; i < RUNS; ++i)
    {
        std::chrono::steady_clock::time_point tSpawn;
        const auto import = RunViewer(strViewer, {"--benchmark-import", strMesh}, tSpawn);
        const auto start = RunViewer(strViewer, {"--benchmark-startup", strMesh}, tSpawn);
        if (import.empty() || start.empty())
        {
            std::fprintf(stderr, "bench_import: %s failed (is there a display?)\n", strViewer.c_str());
            std::filesystem::remove(strMesh);
            return 1;
        }
        for (const auto& [strName, dValue] : import)
            samples["import " + strName].push_back(dValue);
        const double dSpawnNs = static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(tSpawn.time_since_epoch()).count());
        samples["start list_ms (read and list)"].push_back(start.at("list_ms"));
        samples["start draw_ms"].push_back(start.at("draw_ms"));
        samples["start compose_ms"].push_back(start.at("compose_ms"));
        samples["start spawn_to_screen_ms"].push_back((start.at("main_steady_ns") - dSpawnNs) / 1e6 +
                                                      start.at("main_to_screen_ms"));
    }
    std::filesystem::remove(strMesh);

    std::printf("%-34s %10s   (median of %d; runs)\n", "phase", "ms", RUNS);
    for (const auto& [strName, values] : samples)
    {
        std::printf("%-34s %10.1f  ", strName.c_str(), Median(values));
        for (const double d : values)
            std::printf(" %8.1f", d);
        std::printf("\n");
    }
    return 0;
}
