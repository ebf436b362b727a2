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
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/GridOff.h"

extern char** environ;

namespace
{
struct STimes
{
    double dWall = -1.0; // negative when the program could not run or failed
    double dProcessor = 0.0;
};

// Seconds from spawning the program (looked up on PATH) to its exit, and its processor time.
STimes Run(std::vector<std::string> args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto tStart = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int nSpawn = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int nStatus = 0;
    rusage usage{};
    if (nSpawn != 0 || wait4(pid, &nStatus, 0, &usage) != pid || !WIFEXITED(nStatus) ||
        WEXITSTATUS(nStatus) != 0)
        return {};
    const auto seconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec * 1e-6; };
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

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
    int nRuns = 5;
    if (argc > 3 ||
        (argc >= 2 && (std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), nRuns).ec != std::errc() ||
                       nRuns < 1 || nRuns > 100)))
    {
        std::fprintf(stderr, "usage: %s [runs] [teldviewgl]\n", argv[0]);
        return 2;
    }
    const std::string strViewer =
        argc == 3 ? argv[2]
                  : (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "teldviewgl").string();
    std::string strDir = (std::filesystem::temp_directory_path() / "bench_snapshot.XXXXXX").string();
    if (mkdtemp(strDir.data()) == nullptr || !WriteGridOff(strDir + "/grid.off", 1000, 500))
    {
        std::fprintf(stderr, "bench_snapshot: cannot write the grid in %s\n", strDir.c_str());
        return 1;
    }
    const bool bF3d = OnPath("f3d");
    if (!bF3d)
        std::printf("f3d is not on the PATH: timing the snapshot alone\n");
    std::vector<STimes> snapshot, f3d;
    bool bOk = true;
    for (int i = 0; i < nRuns && bOk; ++i)
    {
        snapshot.push_back(
            Run({strViewer, "--snapshot", strDir + "/grid.bmp", "--size", "800x600", strDir + "/grid.off"}));
        if (bF3d)
            f3d.push_back(Run(
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
