// Times the OFF reader and writer on a generated grid of a million triangles.
//
//   bench_off [FILE] [RUNS]
//
// FILE (default /tmp/teldview_bench_off_1m.off) is written first, then read RUNS times (default 5);
// the best run is reported. The file is left in place so that the whole program can be timed on
// it too (teldviewgl --info FILE).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/TokenReader.h"
#include "scene/Mesh.h"

namespace
{
// 1000 x 500 cells, two triangles each: 1,000,000 triangles on 501,501 vertices.
constexpr int CELLS_X = 1000;
constexpr int CELLS_Y = 500;

bool WriteGrid(const std::string& strPath)
{
    std::string text = "OFF\n";
    const int nVertices = (CELLS_X + 1) * (CELLS_Y + 1);
    const int nFaces = 2 * CELLS_X * CELLS_Y;
    NumberFormat::AppendInt(text, nVertices);
    text += ' ';
    NumberFormat::AppendInt(text, nFaces);
    text += " 0\n";
    for (int j = 0; j <= CELLS_Y; ++j)
        for (int i = 0; i <= CELLS_X; ++i)
        {
            const double x = i * 0.01 - 5.0, y = j * 0.01 - 2.5;
            NumberFormat::AppendFixed(text, x);
            text += ' ';
            NumberFormat::AppendFixed(text, y);
            text += ' ';
            NumberFormat::AppendFixed(text, 0.25 * std::sin(x) * std::cos(y));
            text += '\n';
        }
    auto index = [](int i, int j) { return static_cast<int64_t>(j) * (CELLS_X + 1) + i; };
    for (int j = 0; j < CELLS_Y; ++j)
        for (int i = 0; i < CELLS_X; ++i)
        {
            for (int64_t n : {index(i, j), index(i + 1, j), index(i + 1, j + 1)})
            {
                text += text.back() == '\n' ? "3 " : " ";
                NumberFormat::AppendInt(text, n);
            }
            text += '\n';
            for (int64_t n : {index(i, j), index(i + 1, j + 1), index(i, j + 1)})
            {
                text += text.back() == '\n' ? "3 " : " ";
                NumberFormat::AppendInt(text, n);
            }
            text += '\n';
        }
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
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
            mesh.WriteOFF(out);
            nWritten = out.str().size();
        },
        nRuns);
    Report("WriteOFF (to memory)", dWrite, static_cast<double>(nWritten));
    return 0;
}
