// Start-up time of the viewer on a 1,000,000-triangle OFF file: from the moment the process is
// spawned to the first frame on screen, split into process start (loading libraries), Qt start,
// window start (window shown, GL context and baseline state), the wait for the file's read
// (which runs on a worker thread from the start), display-list build, first draw and
// composition. The worker's own read time is shown too; it overlaps the phases before it.
// Needs an X display (run under xvfb-run) and the teldviewgl binary beside this program (or its
// path as the first argument).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/GridOff.h"

extern char** environ;

namespace
{
constexpr int GRID_X = 1000;
constexpr int GRID_Y = 500;

void WriteMesh(const std::string& strPath)
{
    WriteGridOff(strPath, GRID_X, GRID_Y);
}

std::string FindViewer(int argc, char** argv)
{
    if (argc > 1)
        return argv[1];
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "teldviewgl").string();
}

// One start: the child's reported phases in ms, plus "spawn_to_main" measured from here.
std::map<std::string, double> RunOnce(const std::string& strViewer, const std::string& strMesh)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args = {strViewer, "--benchmark-startup", strMesh};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const auto tSpawn = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int nSpawn = posix_spawn(&pid, strViewer.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (nSpawn != 0)
    {
        close(pipeFds[0]);
        return {};
    }
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        return {};

    std::map<std::string, double> phases;
    size_t nPos = 0;
    while (nPos < output.size())
    {
        const size_t nEnd = output.find('\n', nPos);
        const std::string line = output.substr(nPos, nEnd - nPos);
        nPos = nEnd == std::string::npos ? output.size() : nEnd + 1;
        const size_t nSpace = line.find(' ');
        if (nSpace != std::string::npos)
            phases[line.substr(0, nSpace)] = std::strtod(line.c_str() + nSpace + 1, nullptr);
    }
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
