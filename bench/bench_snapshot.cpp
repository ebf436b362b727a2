// Whole-process time of `teldviewgl --snapshot OUT.bmp --size 800x600 grid.off` on the
// million-triangle grid, against f3d rendering the same file to a PNG at the same size when f3d
// is installed (it needs an X display: run under xvfb-run; the snapshot needs none).
//
//   bench_snapshot [runs] [teldviewgl]   (default 5 runs; teldviewgl beside this program)
//
// The two programs take turns, so that a busy machine slows both alike; each figure is the
// median of the runs: the wall time, and the processor time (user and system, all threads),
// which a machine shared with other work disturbs less. Files go to a temporary folder that is removed at the
// end.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ProcessTimes.h"

namespace
{
double Median(const std::vector<STimes>& runs, double STimes::*pField)
{
    std::vector<double> values;
    for (const STimes& run : runs)
        values.push_back(run.*pField);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Print(const char* pszName, const std::vector<STimes>& runs)
{
    std::printf("  %-22s %6.3f s wall, %6.3f s processor\n", pszName, Median(runs, &STimes::dWall),
                Median(runs, &STimes::dProcessor));
}

bool OnPath(const char* pszName)
{
    const char* pszPath = std::getenv("PATH");
    std::string strPath = pszPath != nullptr ? pszPath : "";
    for (size_t nStart = 0; nStart <= strPath.size();)
    {
        const size_t nEnd = std::min(strPath.find(':', nStart), strPath.size());
        if (access((strPath.substr(nStart, nEnd - nStart) + "/" + pszName).c_str(), X_OK) == 0)
            return true;
        nStart = nEnd + 1;
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    int nRuns = 0;
    std::string strViewer;
    if (!ProcessBenchArguments(argc, argv, 5, nRuns, strViewer))
        return 2;
    const std::string strDir = MakeGridFolder("bench_snapshot");
    if (strDir.empty())
        return 1;
    const bool bF3d = OnPath("f3d");
    if (!bF3d)
        std::printf("f3d is not on the PATH: timing the snapshot alone\n");
    std::vector<STimes> snapshot, f3d;
    bool bOk = true;
    for (int i = 0; i < nRuns && bOk; ++i)
    {
        snapshot.push_back(TimeProcess(
            {strViewer, "--snapshot", strDir + "/grid.bmp", "--size", "800x600", strDir + "/grid.off"}));
        if (bF3d)
            f3d.push_back(TimeProcess(
                {"f3d", "--output", strDir + "/grid.png", "--resolution", "800,600", strDir + "/grid.off"}));
        bOk = snapshot.back().dWall >= 0.0 && (!bF3d || f3d.back().dWall >= 0.0);
    }
    std::filesystem::remove_all(strDir);
    if (!bOk)
    {
        std::fprintf(stderr, "bench_snapshot: a run failed (%s)\n",
                     snapshot.back().dWall < 0.0 ? strViewer.c_str() : "f3d; is there an X display?");
        return 1;
    }
    std::printf("1,000,000 triangles at 800x600, whole process, median of %d alternating runs\n", nRuns);
    Print("teldviewgl --snapshot", snapshot);
    if (bF3d)
        Print("f3d --output", f3d);
    return 0;
}
