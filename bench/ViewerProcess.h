#pragma once

// Runs the teldviewgl binary in one of its hidden benchmark modes and reads the "name value"
// lines it prints. Needs an X display (run under xvfb-run).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

// The viewer: the first argument, or teldviewgl beside the benchmark.
inline std::string FindViewer(int argc, char** argv)
{
    if (argc > 1)
        return argv[1];
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "teldviewgl").string();
}

// One run: the values the viewer printed, empty when it could not start or failed. tSpawn is
// when it was spawned.
inline std::map<std::string, double> RunViewer(const std::string& strViewer, std::vector<std::string> args,
                                               std::chrono::steady_clock::time_point& tSpawn)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    args.insert(args.begin(), strViewer);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    tSpawn = std::chrono::steady_clock::now();
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

    std::map<std::string, double> values;
    size_t nPos = 0;
    while (nPos < output.size())
    {
        const size_t nEnd = output.find('\n', nPos);
        const std::string line = output.substr(nPos, nEnd - nPos);
        nPos = nEnd == std::string::npos ? output.size() : nEnd + 1;
        const size_t nSpace = line.find(' ');
        if (nSpace != std::string::npos)
            values[line.substr(0, nSpace)] = std::strtod(line.c_str() + nSpace + 1, nullptr);
    }
    return values;
}
