#pragma once

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

// The threads that work shared out over the cores takes: one a core, at most 8.
inline int WorkerThreadCount()
{
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// Runs fn on nThreads threads, this one among them; a thread that cannot start leaves its share
// to the others.
template <typename Fn> void OnThreads(int nThreads, Fn fn)
{
    std::vector<std::thread> threads;
    for (int i = 1; i < nThreads; ++i)
    {
        try
        {
            threads.emplace_back(fn);
        }
        catch (const std::exception&)
        {
            break;
        }
    }
    fn();
    for (std::thread& thread : threads)
        thread.join();
}
