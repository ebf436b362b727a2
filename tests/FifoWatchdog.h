#pragma once

// Keeps a test that reads a FIFO from hanging: once the deadline has passed, the watchdog opens
// the FIFO for writing again and again until it is destroyed. A reader held in open() (waiting
// for a writer) is then let go and reads an empty file, so the test goes on, and Rescued() tells
// that the reader had waited.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

class CFifoWatchdog
{
public:
    explicit CFifoWatchdog(std::string strFifo,
                           std::chrono::milliseconds deadline = std::chrono::milliseconds(1000))
        : m_strFifo(std::move(strFifo)), m_thread([this, deadline] { Watch(deadline); })
    {
    }
    ~CFifoWatchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    CFifoWatchdog(const CFifoWatchdog&) = delete;
    CFifoWatchdog& operator=(const CFifoWatchdog&) = delete;

    bool Rescued() const { return m_bRescued; }

private:
    void Watch(std::chrono::milliseconds deadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_wake.wait_for(lock, deadline, [this] { return m_bStop; }))
            return;
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_bStop; }))
        {
            // Succeeds only while a reader has the FIFO open.
            const int fd = ::open(m_strFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
            {
                m_bRescued = true;
                ::close(fd);
            }
        }
    }

    std::string m_strFifo;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::atomic<bool> m_bRescued{false};
    std::thread m_thread;
};
