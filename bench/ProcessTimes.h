#pragma once

// The whole-process timing of the benchmarks that run teldviewgl (or a peer program) as a user
// would, and the command line they share.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/GridOff.h"

extern char** environ;

struct STimes
{
    double dWall = -1.0; // negative when the program could not run or failed
    double dProcessor = 0.0;
};

// Seconds from spawning the program (looked up on PATH) to its exit, and its processor time; its
// output is thrown away.
inline STimes TimeProcess(std::vector<std::string> args)
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

// "[runs] [teldviewgl]": the runs (1 to 100, nDefault when missing) and the viewer (teldviewgl
// beside the benchmark when missing); false after a usage line.
inline bool ProcessBenchArguments(int argc, char** argv, int nDefault, int& nRuns, std::string& strViewer)
{
    nRuns = nDefault;
    if (argc > 3 ||
        (argc >= 2 && (std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), nRuns).ec != std::errc() ||
                       nRuns < 1 || nRuns > 100)))
    {
        std::fprintf(stderr, "usage: %s [runs] [teldviewgl]\n", argv[0]);
        return false;
    }
    strViewer = argc == 3
                    ? argv[2]
                    : (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "teldviewgl").string();
    return true;
}

// A fresh temporary folder named after the benchmark, holding grid.off, the 1M-triangle sheet;
// empty after the reason on stderr.
inline std::string MakeGridFolder(const char* pszBench)
{
    std::string strDir =
        (std::filesystem::temp_directory_path() / (std::string(pszBench) + ".XXXXXX")).string();
    if (mkdtemp(strDir.data()) == nullptr || !WriteGridOff(strDir + "/grid.off", 1000, 500))
    {
        std::fprintf(stderr, "%s: cannot write the grid in %s\n", pszBench, strDir.c_str());
        return std::string();
    }
    return strDir;
}
