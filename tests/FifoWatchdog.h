#pragma once

// Runs fnRead so that a test that reads a FIFO cannot hang: after a second a watchdog keeps
// opening the FIFO for writing, which lets a reader held in open() go on (it reads an empty
// file). True when that was needed: fnRead waited for a writer.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

inline bool WaitsForFifoWriter(const std::string& strFifo, const std::function<void()>& fnRead)
{
    std::atomic<bool> bDone{false}, bRescued{false};
    std::thread watchdog(
        [&, tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(1)]
        {
            for (; !bDone; std::this_thread::sleep_for(std::chrono::milliseconds(10)))
                if (std::chrono::steady_clock::now() >= tEnd)
                    // Opening for writing succeeds only while a reader has the FIFO open.
                    if (const int fd = ::open(strFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                    {
                        bRescued = true;
                        ::close(fd);
                    }
        });
    fnRead();
    bDone = true;
    watchdog.join();
    return bRescued;
}
