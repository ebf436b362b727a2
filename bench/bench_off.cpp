// Times the OFF reader and writer on a generated grid of a million triangles.
//
//   bench_off [FILE] [RUNS]
//
// FILE (default /tmp/teldview_bench_off_1m.off) is written first, then read RUNS times (default 5);
// the best run is reported. The file is left in place so that the whole program can be timed on
// it too (teldviewgl --info FILE).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "formats/off/OffWriter.h"
#include "bench/GridOff.h"
#include "formats/TokenReader.h"
#include "model/Mesh.h"

namespace
{
// 1000 x 500 cells, two triangles each: 1,000,000 triangles on 501,501 vertices.
constexpr int CELLS_X = 1000;
constexpr int CELLS_Y = 500;

bool WriteGrid(const std::string& strPath)
{
    return WriteGridOff(strPath, CELLS_X, CELLS_Y);
}

double Seconds(const std::function<void()>& fn, int nRuns)
{
    double dBest = 1e30;
    for (int r = 0; r < nRuns; ++r)
    {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const auto t1 = std::chrono::steady_clock::now();
        dBest = std::min(dBest, std::chrono::duration<double>(t1 - t0).count());
    }
    return dBest;
}

void Report(const char* pszWhat, double dSeconds, double dBytes)
{
    std::printf("%-34s %8.3f s %9.1f MB/s\n", pszWhat, dSeconds, dBytes / dSeconds / 1e6);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string strPath = argc > 1 ? argv[1] : "/tmp/teldview_bench_off_1m.off";
    const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!WriteGrid(strPath))
    {
        std::fprintf(stderr, "bench_off: cannot write %s\n", strPath.c_str());
        return 1;
    }
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
        return 1;
    const double dBytes = static_cast<double>(contents.size());
    std::printf("%s: %.1f MB, %d triangles\n", strPath.c_str(), dBytes / 1e6, 2 * CELLS_X * CELLS_Y);

    Report("ReadWholeFile", Seconds([&] { ReadWholeFile(strPath, contents); }, nRuns), dBytes);
    bool bOk = true;
    Report("ReadOFFBuffer (parse, bounds, normals)",
           Seconds(
               [&]
               {
                   CMesh mesh;
                   bOk = bOk && mesh.ReadOFFBuffer(contents, strPath);
               },
               nRuns),
           dBytes);
    Report("ReadOFF (file to mesh)",
           Seconds(
               [&]
               {
                   CMesh mesh;
                   bOk = bOk && mesh.ReadOFF(strPath);
               },
               nRuns),
           dBytes);

    CMesh mesh;
    bOk = bOk && mesh.ReadOFF(strPath);
    if (!bOk)
    {
        std::fprintf(stderr, "bench_off: cannot read %s\n", strPath.c_str());
        return 1;
    }
    std::printf("%-34s %8.3f s\n", "ComputeNormals", Seconds([&] { mesh.ComputeNormals(); }, nRuns));

    size_t nWritten = 0;
    const double dWrite = Seconds(
        [&]
        {
            std::ostringstream out;
            WriteOFF(out, mesh.View());
            nWritten = out.str().size();
        },
        nRuns);
    Report("WriteOFF (to memory)", dWrite, static_cast<double>(nWritten));
    return 0;
}
